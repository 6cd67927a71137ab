// The main window's commands: the table from command id to handler, and the
// handlers that are not playback (dialogs, export, index recovery, filters,
// panel pages, opening recordings).
#include "korvidappdlg.h"

#include "backupdlg.h"
#include "exportavidlg.h"
#include "exportimagedlg.h"
#include "framegrabber.h"
#include "helpdlg.h"
#include "indexrecovery.h"
#include "logging.h"
#include "lumacastctrl.h"
#include "previewvideoctrl.h"
#include "setup.h"
#include "skinbutton.h"
#include "skinkeys.h"
#include "tempdirs.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoexport.h"
#include "videoplayslider.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryFile>

#include <memory>

namespace {

constexpr int kFilterButtons[] = {IDC_FILTER_A, IDC_FILTER_M, IDC_FILTER_E, IDC_FILTER_T};

}  // namespace

void CKorvidAppDlg::buildCommandTable() {
    CPlaybackController* p = playback_;
    auto thenRelease = [this](int id, void (CKorvidAppDlg::*handler)()) {
        return [this, id, handler] {
            (this->*handler)();
            release(id);
        };
    };
    commands_ = {
        {IDC_OPEN_DIR, thenRelease(IDC_OPEN_DIR, &CKorvidAppDlg::openFolderDialog)},
        {IDC_OPEN_FILE,
         [this] {
             playback_->stop();
             openFilesDialog();
             release(IDC_OPEN_FILE);
         }},
        {IDC_PLAY, [p] { p->play(); }},
        {IDC_PAUSE, [p] { p->pause(); }},
        {IDC_FF, [p] { p->fastForward(); }},
        {IDC_REWIND, [p] { p->rewind(); }},
        {IDC_FRAME_BACK, [p] { p->frameBack(); }},
        {IDC_FRAME_NEXT, [p] { p->frameForward(); }},
        {IDC_EXIT, [this] { askExit(); }},
        {IDC_MINIMIZE,
         [this] {
             release(IDC_MINIMIZE);
             showMinimized();
         }},
        {IDC_PLAY_SLIDER,
         [this, p] {
             // In display mode 2 the slider pages the preview instead.
             if (p->displayMode() == 2) preview_->seek(playSlider_->value());
             else p->seekToSlider();
         }},
        {IDC_EXPORT_A, [this] { exportCommand(IDC_EXPORT_A); }},
        {IDC_EXPORT_B, [this] { exportCommand(IDC_EXPORT_B); }},
        {IDC_EXPORT_AVI, [this] { exportCommand(IDC_EXPORT_AVI); }},
        {IDC_EXPORT_JPEG, [this] { exportCommand(IDC_EXPORT_JPEG); }},
        {IDC_FILE_RECOVERY, thenRelease(IDC_FILE_RECOVERY, &CKorvidAppDlg::recoverIndex)},
        {IDC_THUMBNAIL, [this] { playback_->playChosenFile(thumb_->selectedFile()); }},
        {IDC_PREVIEW_CHOSEN, [this] { playFromPreview(); }},
        {IDC_MAXIMIZE, [this] { toggleMaximise(); }},
        {IDC_PREVIEW, [this] { startPreview(); }},
        {IDC_SETUP, [this] { showSetup(); }},
        {IDC_BACKUP, [this] { openBackup(IDC_BACKUP); }},
        {IDC_TAB_CALENDAR, [this] { choosePanelPage(IDC_TAB_CALENDAR); }},
        {IDC_TAB_LIST, [this] { choosePanelPage(IDC_TAB_LIST); }},
        {IDC_TAB_INFO, [this] { choosePanelPage(IDC_TAB_INFO); }},
        {IDC_HELP, [this] { showHelp(); }},
        {IDC_CHANGE_RATIO, thenRelease(IDC_CHANGE_RATIO, &CKorvidAppDlg::changeRatio)},
        {IDC_NEXT_EVENT, [this] { jumpToEvent(true); }},
        {IDC_PREV_EVENT, [this] { jumpToEvent(false); }},
    };
    for (int id : kFilterButtons) commands_[id] = [this, id] { toggleFilter(id); };
}

void CKorvidAppDlg::onCommand(int id) {
    const auto it = commands_.find(id);
    if (it == commands_.end()) {
        qCWarning(lcWindow) << "no handler for command" << id;
        return;
    }
    qCDebug(lcWindow) << "command" << id;
    it->second();
}

void CKorvidAppDlg::askExit() {
    if (exitBox_) return;
    exitBox_ = new QMessageBox(QMessageBox::Question, QStringLiteral("Korvid"), tr("Do you want to exit?"),
                               QMessageBox::Yes | QMessageBox::No, this);
    exitBox_->setAttribute(Qt::WA_DeleteOnClose);
    exitBox_->setDefaultButton(QMessageBox::No);
    connect(exitBox_, &QMessageBox::finished, this, [this](int result) {
        exitBox_.clear();
        release(IDC_EXIT);
        if (result != QMessageBox::Yes) return;
        emit exitConfirmed();
        close();
    });
    exitBox_->open();
}

void CKorvidAppDlg::showSetup() {
    if (playback_->isPlaying()) playback_->stop();
    QDialog* dlg = setup_ ? setup_->createDialog(this, version_) : nullptr;
    if (!dlg) return;
    connect(dlg, &QDialog::finished, this, [this] {
        release(IDC_SETUP);
        library_.setReadEventData(setup_->readEventData != 0);
    });
    dlg->open();
}

void CKorvidAppDlg::showHelp() {
    release(IDC_HELP);
    if (help_) {
        help_->raise();
        return;
    }
    const QString folder = CHelpDlg::programHelpFolder();
    if (!QFileInfo(folder).isDir()) {
        qCWarning(lcWindow) << "no help folder" << folder;
        showMessage(CHelpDlg::missingFolderText(folder));
        return;
    }
    // Playback stops while the help is read and goes on where it was after.
    const bool wasPlaying = playback_->suspend();
    help_ = new CHelpDlg(this, folder);
    help_->setAttribute(Qt::WA_DeleteOnClose);
    connect(help_, &QDialog::finished, this, [this, wasPlaying] {
        if (wasPlaying) playback_->resume(true);
    });
    help_->open();
}

void CKorvidAppDlg::exportCommand(int id) {
    release(id);
    // Movie clips are also made from files marked for backup without anything playing.
    const bool haveSource = playback_->isPlaying() || (id == IDC_EXPORT_AVI && library_.markedCount() > 0);
    if (!haveSource) {
        showMessage(tr("Video is not opened."));
        return;
    }
    switch (id) {
    case IDC_EXPORT_A:
    case IDC_EXPORT_B: markExportPoint(id); break;
    case IDC_EXPORT_JPEG: exportStill(); break;
    case IDC_EXPORT_AVI:
        if (playback_->isPlaying()) exportMovieClip();
        else openBackup(id);
        break;
    default: notAvailable(id);
    }
}

void CKorvidAppDlg::markExportPoint(int id) {
    const int at = playSlider_->value();
    if (id == IDC_EXPORT_A) playSlider_->setStartMark(at);
    else playSlider_->setEndMark(at);
    playSlider_->update();
    playback_->pause();
}

void CKorvidAppDlg::exportStill() {
    if (stillDlg_ && stillDlg_->isVisible()) {
        stillDlg_->raise();
        return;
    }
    const bool wasRunning = playback_->isPlaying() && !playback_->isPaused();
    viewer_->SeekToPause();
    // Back to playing at normal speed, with the transport buttons saying so.
    auto resume = [this, wasRunning] {
        if (wasRunning && playback_->isPlaying()) playback_->play();
    };
    // A name of this run's own in the program's temporary folder.
    const QString folder = QString::fromStdString(qmr3::temporaryDir());
    QDir().mkpath(folder);
    auto picture = std::make_shared<QTemporaryFile>(folder + QStringLiteral("still-XXXXXX.jpg"));
    if (!picture->open()) {
        showMessage(tr("The temporary folder %1 cannot be written.").arg(QDir::toNativeSeparators(folder)));
        resume();
        return;
    }
    picture->close();
    // Without a picture there is nothing to export; said rather than shown empty.
    if (viewer_->SnapShot(picture->fileName()) != 0) {
        qCWarning(lcWindow) << "no snapshot of the picture on screen";
        showMessage(tr("The picture on screen cannot be taken."));
        resume();
        return;
    }
    short y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    viewer_->GetCurrTime(&y, &mo, &d, &h, &mi, &s);
    const QString name = QString::asprintf("%04d%02d%02d-%02d%02d%02d", y, mo, d, h, mi, s);

    auto* dlg = new CExportImageDlg(picture->fileName(), name, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    giveStillImages(dlg);
    stillDlg_ = dlg;
    connect(dlg, &QDialog::finished, this, [picture, resume] {
        picture->remove();
        resume();
    });
    dlg->open();
}

void CKorvidAppDlg::giveStillImages(CExportImageDlg* dlg) const {
    using namespace skinkey;
    // The two standard sizes have their own pictures for 576 and 480 line recordings.
    const bool lines576 = playback_->pictureSize().height() % 288 == 0;
    const std::pair<int, const char*> families[] = {
        {CExportImageDlg::IDC_IMAGE_CLOSE, m_pbmHelpExit},
        {CExportImageDlg::IDC_IMAGE_SAVE, m_pbmImageSave},
        {CExportImageDlg::IDC_IMAGE_SIZE_LARGE, lines576 ? m_pbmImageR704x576 : m_pbmImageR704x480},
        {CExportImageDlg::IDC_IMAGE_SIZE_SMALL, lines576 ? m_pbmImageR352x288 : m_pbmImageR352x240},
        {CExportImageDlg::IDC_IMAGE_SIZE_SOURCE, m_pbmImageROriginal},
        {CExportImageDlg::IDC_IMAGE_APPLY, m_pbmImageCaption},
        {CExportImageDlg::IDC_IMAGE_POS_0, m_pbmImageCLeft},
        {CExportImageDlg::IDC_IMAGE_POS_1, m_pbmImageCLeft},
        {CExportImageDlg::IDC_IMAGE_POS_2, m_pbmImageCLeft},
        {CExportImageDlg::IDC_IMAGE_POS_3, m_pbmImageCLeft},
        {CExportImageDlg::IDC_IMAGE_POS_10, m_pbmImageCRight},
        {CExportImageDlg::IDC_IMAGE_POS_11, m_pbmImageCRight},
        {CExportImageDlg::IDC_IMAGE_POS_12, m_pbmImageCRight},
        {CExportImageDlg::IDC_IMAGE_POS_13, m_pbmImageCRight},
    };
    for (const auto& [id, family] : families) {
        auto image = [this, family = family](const char* state) {
            return skin_.bitmap(QLatin1String(family) + QLatin1String(state));
        };
        dlg->setButtonImages(id, image(kNM), image(kRO), image(kCK));
    }
}

void CKorvidAppDlg::exportMovieClip() {
    // Marks not yet set take the current position.
    if (playSlider_->startMark() < 0) playSlider_->setStartMark(playSlider_->value());
    if (playSlider_->endMark() < 0) playSlider_->setEndMark(playSlider_->value());
    const int index = playback_->currentFileIndex();
    const bool wasPlaying = playback_->suspend();
    FrameGrabber grabber;
    CExportAviDlg range(this, playSlider_, library_, index, &grabber);
    if (range.exec() == QDialog::Accepted)
        exportMarkedRange(this, playSlider_, library_, index, range.format(), range.bitRate(),
                          videoExportUi_);
    playSlider_->clearMarks();
    playSlider_->update();
    if (wasPlaying) playback_->resume(false);
}

CBackupDlg* CKorvidAppDlg::backupDialog() const { return backup_; }

void CKorvidAppDlg::openBackup(int id) {
    release(id);
    if (backup_) {
        backup_->raise();
        return;
    }
    using namespace skinkey;
    auto images = [this](const char* family, const char* state) {
        return skin_.bitmap(QLatin1String(family) + QLatin1String(state));
    };
    backup_ = new CBackupDlg(this, library_);
    backup_->setAttribute(Qt::WA_DeleteOnClose);
    backup_->setCloseImages(images(m_pbmHelpExit, kNM), images(m_pbmHelpExit, kRO),
                            images(m_pbmHelpExit, kCK));
    backup_->setStartImages(images(m_pbmBackupStart, kNM), images(m_pbmBackupStart, kRO),
                            images(m_pbmBackupStart, kCK));
    backup_->setStopImages(images(m_pbmBackupStop, kNM), images(m_pbmBackupStop, kRO),
                           images(m_pbmBackupStop, kCK));
    // Window-modal: the catalogue cannot be opened anew under a running backup.
    backup_->open();
}

void CKorvidAppDlg::notAvailable(int id) {
    release(id);
    qCInfo(lcWindow) << "command" << id << "is not available in this version";
    showMessage(tr("This function is not available in this version."));
}

void CKorvidAppDlg::recoverIndex() {
    // The index belongs to the folder the catalogue was read from, whatever
    // path playback last used.
    if (library_.fileCount() == 0) {
        showMessage(tr("In order to restore index file,\nplease open the target folder first."));
        return;
    }
    const IndexRecoveryResult r = recoverIndexFile(library_, library_.folder());
    qCInfo(lcLibrary) << "index recovery into" << r.indexPath.c_str() << (r.ok ? "done" : "failed");
    QString text;
    if (r.ok) {
        text = tr("Index Recovery Completed (%1 files)").arg(r.written);
        if (!r.skipped.empty()) {
            text += QLatin1Char('\n') + tr("Left out:");
            for (const std::string& s : r.skipped) text += QLatin1Char('\n') + QString::fromStdString(s);
        }
    } else {
        // A file that could not be written is said, not passed over.
        text = QString::fromStdString(r.message);
    }
    showMessage(text);
}

void CKorvidAppDlg::toggleFilter(int id) {
    CSkinButton* b = button(id);
    if (!b) return;
    // Inactive (the second image set) means the kind is shown.
    b->setActive(!b->active());
    const int bit = id == IDC_FILTER_A ? 0x01 : id == IDC_FILTER_E ? 0x02 : id == IDC_FILTER_M ? 0x04 : 0x08;
    leavePreview();
    const int playing = playback_->isPlaying() ? thumb_->selectedFile() : -1;
    thumb_->setFilterBit(bit, !b->active());
    // A recording the filter no longer lists cannot stay the one playing.
    if (playing >= 0 && !thumb_->isListed(playing)) playback_->stop();
}

void CKorvidAppDlg::choosePanelPage(int id) {
    const int page = id == IDC_TAB_LIST       ? CThumbnailCtrl::ListPage
                     : id == IDC_TAB_CALENDAR ? CThumbnailCtrl::CalendarPage
                                              : CThumbnailCtrl::InfoPage;
    for (int tab : {IDC_TAB_CALENDAR, IDC_TAB_LIST, IDC_TAB_INFO})
        if (CSkinButton* t = button(tab)) t->setActive(tab != id);
    thumb_->setPage(page);
}

void CKorvidAppDlg::openRecordings(const QString& text) {
    if (text.isEmpty()) return;
    playback_->stop();
    playback_->setCurrentPath(text);
    playback_->forgetCurrentFile();
    preview_->reset();
    CVideoLibrary::clearThumbnails();
    library_.scan(text.toStdString());
    afterOpen();
}

void CKorvidAppDlg::openRecordingFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    playback_->stop();
    playback_->setCurrentPath(files.join(QLatin1Char('|')));
    playback_->forgetCurrentFile();
    preview_->reset();
    CVideoLibrary::clearThumbnails();
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(f.toStdString());
    // The list as chosen: a "|" inside a file name cannot split it.
    library_.scanFileList(paths);
    afterOpen();
}

void CKorvidAppDlg::afterOpen() {
    thumb_->resetForOpen();
    showButtons({IDC_FILTER_A, IDC_FILTER_M, IDC_FILTER_E, IDC_FILTER_T}, {});
    thumb_->update();
    qCDebug(lcLibrary) << "opened" << library_.fileCount() << "recordings," << library_.errors().size()
                       << "problems";
    // What could not be read is said, not passed over in silence.
    const std::vector<std::string>& errors = library_.errors();
    if (!errors.empty()) {
        QStringList lines;
        for (std::size_t i = 0; i < errors.size() && i < 10; ++i) lines << QString::fromStdString(errors[i]);
        if (errors.size() > 10) lines << tr("... and %1 more").arg(errors.size() - 10);
        showMessage(lines.join(QLatin1Char('\n')));
    }
}

void CKorvidAppDlg::openByPath(QString path) {
    openTimer_.stop();
    while (path.startsWith(QLatin1Char('"'))) path.remove(0, 1);
    while (path.endsWith(QLatin1Char('"'))) path.chop(1);
    if (path.isEmpty()) return;
    openRecordings(path);
    if (library_.fileCount() == 0) {
        // A folder or file that holds nothing playable says so.
        if (library_.errors().empty()) showMessage(tr("No recording found in %1").arg(path));
        return;
    }
    playback_->playFirstFile();
}

void CKorvidAppDlg::openFolderDialog() {
    QSettings settings;
    const QString start = settings.value(QStringLiteral("dirName/strPath"), QDir::homePath()).toString();
    auto* dlg = new QFileDialog(this, tr("Please choose a folder"), start);
    dlg->setFileMode(QFileDialog::Directory);
    dlg->setOption(QFileDialog::ShowDirsOnly, true);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QFileDialog::fileSelected, this, [this](const QString& chosen) {
        if (chosen.isEmpty()) return;
        QString folder = QDir::cleanPath(chosen);
        if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
        QSettings().setValue(QStringLiteral("dirName/strPath"), folder);
        openRecordings(folder);
    });
    dlg->open();
}

void CKorvidAppDlg::openFilesDialog() {
    QSettings settings;
    const QString start = settings.value(QStringLiteral("dirName/strPath"), QDir::homePath()).toString();
    auto* dlg = new QFileDialog(this, tr("QMR3 Video File"), start, tr("QMR3 Files (*.qmr3)"));
    dlg->setFileMode(QFileDialog::ExistingFiles);
    dlg->setDefaultSuffix(QStringLiteral("qmr3"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QFileDialog::filesSelected, this, [this](const QStringList& files) {
        if (files.isEmpty()) return;
        QSettings().setValue(QStringLiteral("dirName/strPath"),
                             QFileInfo(files.first()).absolutePath() + QLatin1Char('/'));
        openRecordingFiles(files);
    });
    dlg->open();
}

void CKorvidAppDlg::startPreview() {
    const int file = thumb_->selectedFile();
    if (file < 0 || file >= library_.fileCount()) {
        release(IDC_PREVIEW);
        showMessage(tr("No video selected"));
        return;
    }
    if (playback_->displayMode() == 2) {
        showButtons({IDC_PREVIEW}, {});
        return;
    }
    const int position = playSlider_->value();
    showStatusText(tr("Preparing Preview..."));
    playback_->stop();
    playback_->enterPreview(file);
    preview_->start(file, position);
    // The page's keys work at once.
    preview_->setFocus();
    playSlider_->setEnabled(true);
    showButtons({IDC_PREVIEW}, {});
    qCDebug(lcWindow) << "preview of" << library_.filePath(file).c_str() << "from" << preview_->pageStart()
                      << "s";
}

void CKorvidAppDlg::playFromPreview() {
    const int offset = preview_->chosenOffset();
    const int file = preview_->fileIndex();
    leavePreview();
    if (offset < 0 || file < 0) return;
    playback_->playFromOffset(file, offset);
}

void CKorvidAppDlg::leavePreview() {
    if (preview_->isActive()) preview_->stop();
    release(IDC_PREVIEW);
    playback_->leavePreview();
}

void CKorvidAppDlg::jumpToEvent(bool forward) {
    if (!playback_->isPlaying()) {
        showMessage(tr("Available only while playing video"));
        return;
    }
    if (!(forward ? playback_->nextEvent() : playback_->previousEvent()))
        showStatusText(forward ? tr("No later event") : tr("No earlier event"));
}
