#include "backupdlg.h"

#include "backupjob.h"
#include "skinbutton.h"
#include "toolpath.h"
#include "videolibrary.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSettings>
#include <QWheelEvent>

#include <algorithm>
#include <utility>
#include <chrono>
#include <future>

namespace {

constexpr int kListLeft = 20;
constexpr int kListRight = 910;
constexpr int kListTop = 40;
constexpr int kListBottom = 480;
constexpr int kRowHeight = 20;
constexpr int kColumnWidth = 445;
constexpr int kColumnX[2] = {23, 468};
constexpr int kBarWidth = 378;
const QColor kRowColour(0x46, 0x46, 0x46);
const QColor kRed(0xE6, 0x14, 0x14);
const QColor kGrey(0x96, 0x96, 0x96);
const QString kSettingsKey = QStringLiteral("dirName/strBackupPath");

QRect ltrb(int l, int t, int r, int b) { return QRect(QPoint(l, t), QPoint(r - 1, b - 1)); }

QString withSlash(QString folder) {
    folder = QDir::cleanPath(folder);
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}

QFont arial(int pixels) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

}  // namespace

CBackupDlg::CBackupDlg(QWidget* parent, const CVideoLibrary& library)
    : CSkinDialog(parent, QStringLiteral("template-backup"), QSize(925, 534), 20), library_(library) {
    setWindowTitle(tr("Backup Files"));
    setDragLimit(30);
    setMouseTracking(true);
    selected_.assign(std::size_t(std::max(0, library_.fileCount())), 0);
    const QString saved = QSettings().value(kSettingsKey).toString();
    targetFolder_ = withSlash(saved.isEmpty() ? QDir::homePath() : saved);
    createButtons();
    timer10_.setObjectName(QStringLiteral("timer10"));
    timer10_.setInterval(100);
    connect(&timer10_, &QTimer::timeout, this, &CBackupDlg::poll);
}

CBackupDlg::~CBackupDlg() {
    // Closing the program while a backup runs: the worker is told to stop
    // and waited for, so it never outlives what it reads.
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

void CBackupDlg::createButtons() {
    struct Def {
        int id;
        QRect rect;
    };
    const Def defs[] = {
        {IDC_CLOSE, ltrb(890, 5, 914, 29)},
        {IDC_START, ltrb(739, 491, 917, 527)},
        {IDC_PAGE_PREV, ltrb(10, 500, 40, 520)},
        {IDC_PAGE_NEXT, ltrb(40, 500, 70, 520)},
        {IDC_SELECT_ALL, ltrb(80, 500, 180, 520)},
        {IDC_REMOVE_ALL, ltrb(180, 500, 280, 520)},
        {IDC_SELECT_MARKED, ltrb(280, 500, 410, 520)},
        {IDC_FORMAT, ltrb(410, 500, 530, 520)},
        {IDC_MERGE, ltrb(530, 500, 630, 520)},
        {IDC_CHOOSE_FOLDER, ltrb(630, 500, 730, 520)},
    };
    const QColor normal(0x3C, 0x3C, 0x3C), hot(0xFA, 0x3C, 0x3C);
    for (const Def& d : defs) {
        auto* b = new CSkinButton(this, d.id);
        b->setGeometry(d.rect);
        if (d.id >= IDC_PAGE_PREV) {
            b->setMode(d.id <= IDC_PAGE_NEXT ? 6 : 4);
            b->setColours(Qt::white, Qt::white, Qt::white, normal, hot, hot);
            b->setFont(arial(d.id <= IDC_PAGE_NEXT ? 15 : 12));
        }
        connect(b, &CSkinButton::commandSent, this, &CBackupDlg::command);
        buttons_[d.id] = b;
    }
    buttons_[IDC_CLOSE]->setTooltipText(tr("Close"));
    buttons_[IDC_PAGE_PREV]->setText(QStringLiteral("<"));
    buttons_[IDC_PAGE_NEXT]->setText(QStringLiteral(">"));
    buttons_[IDC_PAGE_PREV]->setTooltipText(tr("Previous page"));
    buttons_[IDC_PAGE_NEXT]->setTooltipText(tr("Next page"));
    buttons_[IDC_MERGE]->hide();
    retitleButtons();
}

void CBackupDlg::retitleButtons() {
    buttons_[IDC_SELECT_ALL]->setText(tr("Select All"));
    buttons_[IDC_REMOVE_ALL]->setText(tr("Remove All"));
    buttons_[IDC_SELECT_MARKED]->setText(tr("Select Marked"));
    buttons_[IDC_CHOOSE_FOLDER]->setText(tr("Choose Folder"));
    buttons_[IDC_FORMAT]->setText(format_ == Copy  ? tr("Format:QMR3")
                                  : format_ == Avi ? tr("Format:AVI")
                                                   : tr("Format:WMV"));
    buttons_[IDC_MERGE]->setText(merge_ ? tr("Merge:Yes") : tr("Merge:No "));
    buttons_[IDC_MERGE]->setVisible(format_ != Copy);
}

CSkinButton* CBackupDlg::button(int id) const {
    const auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

void CBackupDlg::setCloseImages(const QPixmap& nm, const QPixmap& ro, const QPixmap& ck) {
    buttons_[IDC_CLOSE]->setImages(nm, ro, ck);
}

void CBackupDlg::setStartImages(const QPixmap& nm, const QPixmap& ro, const QPixmap& ck) {
    startImages_[0] = nm;
    startImages_[1] = ro;
    startImages_[2] = ck;
    if (!running_) buttons_[IDC_START]->setImages(nm, ro, ck);
}

void CBackupDlg::setStopImages(const QPixmap& nm, const QPixmap& ro, const QPixmap& ck) {
    stopImages_[0] = nm;
    stopImages_[1] = ro;
    stopImages_[2] = ck;
    if (running_) buttons_[IDC_START]->setImages(nm, ro, ck);
}

int CBackupDlg::recordingCount() const { return int(selected_.size()); }

int CBackupDlg::pageCount() const { return (recordingCount() + kRowsPerColumn - 1) / kRowsPerColumn; }

QRect CBackupDlg::rowRect(int i) const {
    const int slot = i - page_ * kRowsPerColumn;
    if (i < 0 || i >= recordingCount() || slot < 0 || slot >= 2 * kRowsPerColumn) return {};
    return QRect(kColumnX[slot / kRowsPerColumn], kListTop + (slot % kRowsPerColumn) * kRowHeight,
                 kColumnWidth - 3, kRowHeight);
}

bool CBackupDlg::isSelected(int i) const {
    return i >= 0 && i < recordingCount() && selected_[std::size_t(i)] != 0;
}

void CBackupDlg::setSelected(int i, bool on) {
    if (i < 0 || i >= recordingCount() || running_) return;
    selected_[std::size_t(i)] = on ? 1 : 0;
    update();
}

int CBackupDlg::selectedCount() const { return int(std::count(selected_.begin(), selected_.end(), 1)); }

void CBackupDlg::setTargetFolder(const QString& folder) {
    if (folder.trimmed().isEmpty()) return;
    targetFolder_ = withSlash(folder);
    QSettings().setValue(kSettingsKey, targetFolder_);
    update();
}

void CBackupDlg::command(int id) {
    if (id == IDC_CLOSE) {
        close();
        return;
    }
    if (id == IDC_START) {
        startOrStop();
        return;
    }
    if (running_) {
        message(tr("Backup is ongoing."));
        return;
    }
    switch (id) {
    case IDC_PAGE_PREV: goToPage(page_ - 1); break;
    case IDC_PAGE_NEXT: goToPage(page_ + 1); break;
    case IDC_SELECT_ALL: std::fill(selected_.begin(), selected_.end(), 1); break;
    case IDC_REMOVE_ALL: std::fill(selected_.begin(), selected_.end(), 0); break;
    case IDC_SELECT_MARKED:
        for (int i = 0; i < recordingCount(); ++i)
            if (library_.marked(i)) selected_[std::size_t(i)] = 1;
        break;
    case IDC_FORMAT: cycleFormat(); break;
    case IDC_MERGE: toggleMerge(); break;
    case IDC_CHOOSE_FOLDER: chooseFolder(); break;
    default: return;
    }
    update();
}

void CBackupDlg::goToPage(int page) {
    page_ = std::clamp(page, 0, std::max(0, pageCount() - 1));
    update();
}

void CBackupDlg::cycleFormat() {
    format_ = Format((int(format_) + 1) % 3);
    retitleButtons();
}

void CBackupDlg::toggleMerge() {
    merge_ = !merge_;
    retitleButtons();
}

void CBackupDlg::chooseFolder() {
    auto* dlg = new QFileDialog(this, tr("Please choose a folder"), targetFolder_);
    dlg->setFileMode(QFileDialog::Directory);
    dlg->setOption(QFileDialog::ShowDirsOnly, true);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    // Cancelling keeps the folder there was.
    connect(dlg, &QFileDialog::fileSelected, this,
            [this](const QString& chosen) { setTargetFolder(chosen); });
    dlg->open();
}

void CBackupDlg::message(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- the list ---------------------------------------------------------------

std::vector<int> CBackupDlg::bandRows() const {
    std::vector<int> out;
    if (!bandActive_) return out;
    const int c1 = (bandStart_.x() - kListLeft) / kColumnWidth;
    const int c2 = (bandCurrent_.x() - kListLeft) / kColumnWidth;
    const int r1 = (bandStart_.y() - kListTop) / kRowHeight;
    const int r2 = (bandCurrent_.y() - kListTop) / kRowHeight;
    for (int column = std::min(c1, c2); column <= std::max(c1, c2); ++column) {
        if (column < 0 || column > 1) continue;
        for (int row = std::min(r1, r2); row <= std::max(r1, r2); ++row) {
            if (row < 0 || row >= kRowsPerColumn) continue;
            const int i = page_ * kRowsPerColumn + column * kRowsPerColumn + row;
            if (i < recordingCount()) out.push_back(i);
        }
    }
    return out;
}

void CBackupDlg::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton && p.y() > kListTop && p.y() < kListBottom) {
        if (running_) {
            message(tr("Backup is ongoing."));
            return;
        }
        bandActive_ = true;
        bandStart_ = bandCurrent_ = p;
        update();
        return;
    }
    CSkinDialog::mousePressEvent(e);
}

void CBackupDlg::mouseMoveEvent(QMouseEvent* e) {
    if (bandActive_) {
        const QPoint p = e->position().toPoint();
        if (p.x() <= kListLeft || p.x() >= kListRight || p.y() <= kListTop || p.y() >= kListBottom)
            bandActive_ = false;
        else bandCurrent_ = p;
        update();
        return;
    }
    CSkinDialog::mouseMoveEvent(e);
}

void CBackupDlg::mouseReleaseEvent(QMouseEvent* e) {
    if (bandActive_ && e->button() == Qt::LeftButton) {
        for (int i : bandRows()) selected_[std::size_t(i)] ^= 1;
        bandActive_ = false;
        update();
        return;
    }
    CSkinDialog::mouseReleaseEvent(e);
}

void CBackupDlg::wheelEvent(QWheelEvent* e) {
    const int dy = e->angleDelta().y();
    if (dy > 0) goToPage(page_ - 1);
    else if (dy < 0) goToPage(page_ + 1);
    e->accept();
}

void CBackupDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_PageUp) command(IDC_PAGE_PREV);
    else if (e->key() == Qt::Key_PageDown) command(IDC_PAGE_NEXT);
    else if (e->matches(QKeySequence::SelectAll)) command(IDC_SELECT_ALL);
    else if (e->key() == Qt::Key_Escape) close();
    else CSkinDialog::keyPressEvent(e);
}

void CBackupDlg::paintOver(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    // The folder written into, on the sheet beside the title.
    p.setFont(arial(14));
    p.setPen(QColor(0x32, 0x32, 0x32));
    const QString label = QStringLiteral("(") + tr("Backup to ") + QDir::toNativeSeparators(targetFolder_) +
                          QStringLiteral(")");
    p.drawText(QRect(155, 5, 725, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(label, Qt::ElideMiddle, 720));
    paintList(p);
    if (running_) paintPanel(p);
}

void CBackupDlg::paintList(QPainter& p) {
    const std::vector<int> band = bandRows();
    const int work = recordingInWork();
    const QFont font = arial(12);
    p.setFont(font);
    const QFontMetrics fm(font);
    for (int slot = 0; slot < 2 * kRowsPerColumn; ++slot) {
        const int i = page_ * kRowsPerColumn + slot;
        if (i >= recordingCount()) break;
        const int x = kColumnX[slot / kRowsPerColumn];
        const int y = kListTop + (slot % kRowsPerColumn) * kRowHeight;
        const bool under = std::find(band.begin(), band.end(), i) != band.end();
        const QColor colour = under ? kRed : kRowColour;
        p.setPen(QPen(colour, 2));
        p.setBrush(i == work ? QBrush(colour) : Qt::NoBrush);
        p.drawEllipse(QRect(x, y + 3, 10, 10));
        if (selected_[std::size_t(i)] && i != work) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(QRect(x + 2, y + 5, 6, 6));
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(colour);
        const QString name = QString::fromStdString(library_.fileName(i)) +
                             QStringLiteral("(%1MB)").arg(library_.fileSize(i) / (1024 * 1024));
        p.drawText(QRect(x + 17, y, 216, 16), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(name, Qt::ElideMiddle, 216));
        const int length = library_.length(i);
        const QString when = QDateTime::fromSecsSinceEpoch(library_.startTime(i))
                                 .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) +
                             QString::asprintf(" (%02d:%02d)", length / 60, length % 60);
        p.drawText(QRect(x + 237, y, 200, 16), Qt::AlignLeft | Qt::AlignVCenter, when);
        if (running_ && selected_[std::size_t(i)]) {
            const int done = progressOf(i) * kBarWidth / 100;
            p.fillRect(QRect(x + 17, y + 16, done, 3), kRed);
            p.fillRect(QRect(x + 17 + done, y + 16, kBarWidth - done, 3), kGrey);
        }
    }
    const int pages = pageCount();
    if (pages > 0) {
        const int w = 890 / pages;
        for (int j = 0; j < pages; ++j)
            p.fillRect(QRect(20 + j * w, 480, std::max(1, w - 2), 2), j == page_ ? kRed : QColor(80, 80, 80));
    }
    if (bandActive_) {
        p.setPen(QColor(0xC8, 0xC8, 0x64, 0xC8));
        p.setBrush(QColor(0xC8, 0xC8, 0x64, 0x40));
        p.drawRect(QRect(bandStart_, bandCurrent_).normalized());
        p.setBrush(Qt::NoBrush);
    }
}

void CBackupDlg::paintBar(QPainter& p, int top, double fraction, const QString& text) {
    const QRect bar(575, top, 320, 20);
    fraction = std::clamp(fraction, 0.0, 1.0);
    p.fillRect(bar, Qt::white);
    QLinearGradient g(bar.topLeft(), bar.topRight());
    g.setColorAt(0, QColor(0xFF, 0x64, 0x64));
    g.setColorAt(1, QColor(0xFF, 0x00, 0x00));
    p.fillRect(QRect(bar.left(), bar.top(), int(320 * fraction), 20), g);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar);
    p.drawText(bar, Qt::AlignCenter, text);
}

// ---- running ----------------------------------------------------------------

int CBackupDlg::recordingInWork() const {
    if (!running_ || !job_) return -1;
    const int k = job_->itemInWork();
    return k >= 0 && k < int(jobItems_.size()) ? jobItems_[std::size_t(k)] : -1;
}

int CBackupDlg::progressOf(int i) const {
    if (!job_ || i < 0) return 0;
    const auto it = std::find(jobItems_.begin(), jobItems_.end(), i);
    if (it == jobItems_.end()) return 0;
    return std::clamp(job_->itemProgress(std::size_t(it - jobItems_.begin())), 0, 100);
}

void CBackupDlg::startOrStop() {
    if (running_) askStop(false);
    else start();
}

void CBackupDlg::start() {
    if (selectedCount() == 0) {
        message(tr("Please choose files."));
        return;
    }
    // Every missing level of the folder is made here, so that a folder that
    // cannot be made is said before anything is written.
    if (!QDir().mkpath(targetFolder_)) {
        message(tr("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(targetFolder_)));
        return;
    }
    std::vector<vantrex::BackupItem> items;
    jobItems_.clear();
    for (int i = 0; i < recordingCount(); ++i) {
        if (!selected_[std::size_t(i)]) continue;
        jobItems_.push_back(i);
        items.push_back({library_.filePath(i), library_.fileName(i), library_.fileSize(i),
                         library_.startTime(i), library_.length(i), library_.indexCount(i)});
    }
    vantrex::BackupOptions options;
    options.targetFolder = QDir::toNativeSeparators(targetFolder_).toStdString();
    options.format = format_ == Avi   ? vantrex::BackupFormat::Avi
                     : format_ == Wmv ? vantrex::BackupFormat::Wmv
                                      : vantrex::BackupFormat::Copy;
    options.merge = merge_ && format_ != Copy;
    const std::string programFolder = QCoreApplication::applicationDirPath().toStdString();
    options.ffmpeg = qmr3::findProgram("ffmpeg", programFolder);
    options.mencoder = qmr3::findProgram("mencoder", programFolder);
    options.onConflict = [this](const std::string& target) { return conflictAnswer(target); };

    job_ = std::make_unique<vantrex::BackupJob>(std::move(items), std::move(options));
    stop_ = false;
    done_ = false;
    stopping_ = false;
    running_ = true;
    summary_.clear();
    buttons_[IDC_START]->setImages(stopImages_[0], stopImages_[1], stopImages_[2]);
    buttons_[IDC_START]->setTooltipText(tr("Stop"));
    vantrex::BackupJob* job = job_.get();
    worker_ = std::thread([this, job] {
        outcome_ = job->run(stop_);
        done_ = true;
    });
    timer10_.start();
    update();
}

void CBackupDlg::askStop(bool thenClose) {
    // Already stopping: the run ends on its own in a moment.
    if (stopping_) {
        closeAfterStop_ = closeAfterStop_ || thenClose;
        return;
    }
    if (question_ && question_->isVisible()) {
        question_->raise();
        return;
    }
    question_ = new QMessageBox(QMessageBox::Question, windowTitle(), tr("Do you want to stop backup?"),
                                QMessageBox::Yes | QMessageBox::No, this);
    question_->setAttribute(Qt::WA_DeleteOnClose);
    question_->setDefaultButton(QMessageBox::No);
    connect(question_, &QMessageBox::finished, this, [this, thenClose](int answer) {
        question_ = nullptr;
        if (answer != QMessageBox::Yes || !running_) return;
        closeAfterStop_ = closeAfterStop_ || thenClose;
        stopNow();
    });
    question_->open();
}

void CBackupDlg::stopNow() {
    stopping_ = true;
    stop_ = true;
    // A conflict question still open is answered by the stop itself.
    if (conflictBox_) conflictBox_->done(QMessageBox::Cancel);
}

void CBackupDlg::poll() {
    if (!running_) return;
    sector_ = (sector_ + 45) % 360;
    if (done_) {
        finishRun();
        return;
    }
    // The page follows the recording being written.
    const int work = recordingInWork();
    if (work >= 0) page_ = work / kRowsPerColumn;
    update(QRect(QPoint(20, 40), QPoint(910, 486)));
}

void CBackupDlg::reject() {
    if (running_) askStop(true);
    else CSkinDialog::reject();
}

void CBackupDlg::closeEvent(QCloseEvent* e) {
    if (running_) {
        e->ignore();
        askStop(true);
        return;
    }
    CSkinDialog::closeEvent(e);
}

void CBackupDlg::finishRun() {
    timer10_.stop();
    if (worker_.joinable()) worker_.join();
    running_ = false;
    stopping_ = false;
    if (question_) question_->done(QMessageBox::No);
    if (conflictBox_) conflictBox_->done(QMessageBox::Cancel);
    buttons_[IDC_START]->setImages(startImages_[0], startImages_[1], startImages_[2]);
    buttons_[IDC_START]->setTooltipText(QString());
    summary_ = summaryText();
    update();
    if (closeAfterStop_) {
        closeAfterStop_ = false;
        close();
        emit runFinished();
        return;
    }
    const bool bad = outcome_.status == vantrex::BackupStatus::Failed || !outcome_.failed.empty();
    auto* box = new QMessageBox(bad ? QMessageBox::Warning : QMessageBox::Information, windowTitle(),
                                summary_, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    emit runFinished();
}

QString CBackupDlg::summaryText() const {
    const vantrex::BackupOutcome& o = outcome_;
    QString head;
    switch (o.status) {
    case vantrex::BackupStatus::Completed: head = tr("Backup Completed"); break;
    case vantrex::BackupStatus::Stopped: head = tr("Backup Stopped"); break;
    case vantrex::BackupStatus::Failed: head = tr("Backup Failed"); break;
    }
    if (!o.mergedName.empty())
        head += QStringLiteral("\n(") + QString::fromStdString(o.mergedName) + QLatin1Char(')');
    QStringList text{head};
    // Long runs name the first few and count the rest.
    auto section = [&text](const QString& title, const QStringList& lines) {
        if (lines.isEmpty()) return;
        text << QString() << title.arg(lines.size());
        constexpr int kShown = 12;
        for (int i = 0; i < lines.size() && i < kShown; ++i) text << QStringLiteral("  ") + lines[i];
        if (lines.size() > kShown)
            text << QStringLiteral("  ") + tr("... and %1 more").arg(lines.size() - kShown);
    };
    auto names = [](const std::vector<std::string>& paths) {
        QStringList out;
        for (const std::string& p : paths) out << QFileInfo(QString::fromStdString(p)).fileName();
        return out;
    };
    auto reasons = [](const std::vector<vantrex::BackupFailure>& list) {
        QStringList out;
        for (const vantrex::BackupFailure& f : list)
            out << (f.recording.empty() ? QString::fromStdString(f.reason)
                                        : QString::fromStdString(f.recording) + QStringLiteral(": ") +
                                              QString::fromStdString(f.reason));
        return out;
    };
    section(tr("Backed up (%1):"), names(o.backedUp));
    section(tr("Already in the folder with the same contents (%1):"), names(o.skippedIdentical));
    section(tr("Skipped, a different file of that name is kept (%1):"), names(o.skipped));
    section(tr("Failed (%1):"), reasons(o.failed));
    section(tr("Written with warnings (%1):"), reasons(o.warnings));
    return text.join(QLatin1Char('\n'));
}

vantrex::ConflictChoice CBackupDlg::conflictAnswer(const std::string& target) {
    // The box lives on the window's thread; the worker waits for its answer
    // and gives up at a stop, so a stop never waits on an open question.
    auto answer = std::make_shared<std::promise<vantrex::ConflictChoice>>();
    std::future<vantrex::ConflictChoice> future = answer->get_future();
    const QString path = QString::fromStdString(target);
    QMetaObject::invokeMethod(
        this,
        [this, answer, path] {
            auto* box = new QMessageBox(
                QMessageBox::Question, windowTitle(),
                tr("%1 already exists and is not the same as the new file.\n\nReplace it, keep both (the new "
                   "file gets a numbered name) or skip this one?")
                    .arg(QDir::toNativeSeparators(path)),
                QMessageBox::NoButton, this);
            QPushButton* replace = box->addButton(tr("Replace"), QMessageBox::DestructiveRole);
            QPushButton* both = box->addButton(tr("Keep both"), QMessageBox::AcceptRole);
            QPushButton* skip = box->addButton(tr("Skip"), QMessageBox::RejectRole);
            box->setDefaultButton(both);
            box->setEscapeButton(skip);
            box->setAttribute(Qt::WA_DeleteOnClose);
            conflictBox_ = box;
            auto answered = std::make_shared<bool>(false);
            connect(box, &QMessageBox::finished, this, [this, box, answer, answered, replace, both] {
                // Closed by a stop after an answer: the first answer stands.
                if (std::exchange(*answered, true)) return;
                conflictBox_ = nullptr;
                const QAbstractButton* b = box->clickedButton();
                answer->set_value(b == replace ? vantrex::ConflictChoice::Replace
                                  : b == both  ? vantrex::ConflictChoice::KeepBoth
                                               : vantrex::ConflictChoice::Skip);
            });
            box->open();
        },
        Qt::QueuedConnection);
    while (future.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        if (stop_) return vantrex::ConflictChoice::Skip;
    return future.get();
}

// ---- the progress panel -------------------------------------------------------

void CBackupDlg::paintPanel(QPainter& p) {
    if (!job_) return;
    const bool merged = merge_ && format_ != Copy;
    const int rows = !merged ? 1 : format_ == Avi ? 3 : 4;
    const int top = !merged ? 430 : format_ == Avi ? 380 : 355;
    p.setPen(QPen(QColor(120, 124, 130), 1));
    p.setBrush(QColor(250, 250, 252, 235));
    p.drawRoundedRect(QRectF(565, top, 340, 25 * rows + 15), 10, 10);
    p.setBrush(Qt::NoBrush);
    p.setFont(arial(12));

    const std::int64_t kbAll = job_->kbSelected();
    paintBar(p, top + 10, kbAll > 0 ? double(job_->kbDone()) / double(kbAll) : 0.0,
             QStringLiteral("%1 : %2/%3")
                 .arg(tr("Exporting"))
                 .arg(job_->recordingsDone())
                 .arg(job_->recordingsSelected()));
    if (!merged) return;
    auto stage = [&](int y, const QString& title, std::int64_t done, std::int64_t expected, std::int64_t mb) {
        if (expected <= 0) {
            paintBar(p, y, 0.0, title + QStringLiteral(" : 0% (0MB)"));
            return;
        }
        const double f = std::min(1.0, double(done) / double(expected));
        paintBar(p, y, f, QStringLiteral("%1 : %2% (%3MB)").arg(title).arg(int(f * 100)).arg(mb));
    };
    stage(top + 35, tr("Merging"), job_->mergeFramesDone(), job_->mergeExpectedFrames(),
          job_->mergedSizeMb());
    if (format_ == Wmv)
        stage(top + 60, tr("Converting to WMV"), job_->wmvFramesDone(), job_->wmvExpectedFrames(),
              job_->wmvSizeMb());
    const QString name = QString::fromStdString(job_->outputName());
    if (name.isEmpty()) return;
    const int y = format_ == Avi ? top + 60 : top + 85;
    // A turning sector says the merge is alive while its counters stand still.
    const QRect circle(575, y, 20, 20);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.drawEllipse(circle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0x64, 0x64));
    p.drawPie(circle, (90 - sector_) * 16, -45 * 16);
    p.setBrush(Qt::NoBrush);
    p.setPen(QColor(0x32, 0x32, 0x32));
    p.drawText(QRect(602, y, 293, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetrics(p.font()).elidedText(name, Qt::ElideMiddle, 293));
}
