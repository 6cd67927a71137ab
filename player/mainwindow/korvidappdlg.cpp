#include "korvidappdlg.h"

#include "lumacastctrl.h"
#include "language.h"
#include "setup.h"
#include "skinbutton.h"
#include "skindialog.h"
#include "skinedit.h"
#include "thumbnailctrl.h"
#include "tempdirs.h"
#include "indexrecovery.h"
#include "videolibrary.h"
#include "videoplayslider.h"
#include "xsliderctrl.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QShortcut>
#include <QWindow>

namespace {

// Deletes the files (not the sub-folders) of a folder.
void removeFilesIn(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists()) return;
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& f : files) dir.remove(f);
}

}  // namespace

const std::vector<CKorvidAppDlg::ButtonInfo>& CKorvidAppDlg::buttonTable()
{
    static const std::vector<ButtonInfo> table = {
        {"m_btnMainBackup", IDC_BACKUP},          {"m_btnMainHelp", IDC_HELP},
        {"m_btnMainSetup", IDC_SETUP},            {"m_btnMainMin", IDC_MINIMIZE},
        {"m_btnMainMax", IDC_MAXIMIZE},           {"m_btnMainExit", IDC_EXIT},
        {"m_btnMainTabCalendar", IDC_TAB_CALENDAR}, {"m_btnMainTabList", IDC_TAB_LIST},
        {"m_btnMainTabInfo", IDC_TAB_INFO},       {"m_btnNavFrameBack", IDC_FRAME_BACK},
        {"m_btnNavRewind", IDC_REWIND},           {"m_btnNavPause", IDC_PAUSE},
        {"m_btnNavPlay", IDC_PLAY},               {"m_btnNavFF", IDC_FF},
        {"m_btnNavFrameNext", IDC_FRAME_NEXT},    {"m_btnMainChangeRatio", IDC_CHANGE_RATIO},
        {"m_btnMainFileRecovery", IDC_FILE_RECOVERY}, {"m_btnMainOpenFile", IDC_OPEN_FILE},
        {"m_btnMainOpenDir", IDC_OPEN_DIR},       {"m_btnAVIExport_A", IDC_EXPORT_A},
        {"m_btnAVIExport_B", IDC_EXPORT_B},       {"m_btnAVIExport", IDC_EXPORT_AVI},
        {"m_btnJPEGExport", IDC_EXPORT_JPEG},     {"m_btnNavPreview", IDC_PREVIEW},
        {"m_btnFilterA", IDC_FILTER_A},           {"m_btnFilterM", IDC_FILTER_M},
        {"m_btnFilterE", IDC_FILTER_E},           {"m_btnFilterT", IDC_FILTER_T},
    };
    return table;
}

CKorvidAppDlg::CKorvidAppDlg(const QString& skinFolder, const QString& versionText, CSetup* setup,
                             const QString& commandLinePath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      skinFolder_(skinFolder),
      version_(versionText),
      setup_(setup),
      currentPath_(commandLinePath),
      playGeneration_(std::make_shared<std::atomic<int>>(0))
{
    setObjectName(QStringLiteral("KorvidMainWindow"));
    setWindowTitle(QStringLiteral("Talvix Player"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    timer500_.setObjectName(QStringLiteral("500"));
    timer500_.setInterval(500);
    timer506_.setObjectName(QStringLiteral("506"));
    timer506_.setSingleShot(true);
    timer506_.setInterval(200);

    createControls();

    // Skin: loaded once, before the window is initialised.
    picturePath_ = QDir(skinFolder_).filePath(QStringLiteral("templates") + languageSuffix() + QStringLiteral(".gif"));
    skinLoaded_ = skin_.load(QDir(skinFolder_).filePath(QStringLiteral("templates.ini")), picturePath_);
    for (const QString& w : skin_.warnings()) qWarning("korvid: skin: %s", qPrintable(w));
    applySkinToButtons();
    setTooltips();
    thumb_->setSkin(&skin_);

    // Initialisation.
    playSlider_->setSkin(skin_.bitmap(QStringLiteral("m_pbmSliderVideoBgLeft")),
                         skin_.bitmap(QStringLiteral("m_pbmSliderVideoBgMid")));
    playSlider_->setPositionTimer(&timer500_);
    playSlider_->setEnabled(false);
    volumeSlider_->setBackground(skin_.bitmap(QStringLiteral("m_pbmSliderAudioBg")));
    volumeSlider_->setRange(0, 10);
    volumeSlider_->setPageStep(2);
    volumeSlider_->setValue(5);
    connect(volumeSlider_, &QSlider::valueChanged, this, &CKorvidAppDlg::applyVolume);
    applyVolume();
    connect(&timer500_, &QTimer::timeout, this, &CKorvidAppDlg::updatePosition);
    playSlider_->setPauseHandler([this] {
        if (playing_) viewer_->SeekToPause();
    });
    playSlider_->setPreviewModeQuery([this] { return displayMode_ == 2; });

    const QSize design = skin_.designSize().isValid() ? skin_.designSize() : QSize(800, 600);
    setMinimumSize(design);
    move(0, 0);
    resize(design);
    layoutWindow();

    // Keyboard routes to the commands of the buttons.
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), IDC_OPEN_FILE},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), IDC_OPEN_DIR},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), IDC_EXIT},
        {QKeySequence(Qt::Key_F1), IDC_HELP},
        {QKeySequence(Qt::Key_Right), IDC_FRAME_NEXT},
        {QKeySequence(Qt::Key_Left), IDC_FRAME_BACK},
        {QKeySequence(Qt::CTRL | Qt::Key_Right), IDC_FF},
        {QKeySequence(Qt::CTRL | Qt::Key_Left), IDC_REWIND},
        {QKeySequence(Qt::Key_R), IDC_CHANGE_RATIO},
    };
    for (const auto& [key, id] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, [this, id = id] { onCommand(id); });
    }
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(space, &QShortcut::activated, this, &CKorvidAppDlg::togglePlayPause);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F11), QKeySequence(Qt::Key_F)}) {
        auto* full = new QShortcut(key, this);
        connect(full, &QShortcut::activated, this, [this] { setFullScreen(!fullScreen_); });
    }
    const std::pair<Qt::Key, int> volumeKeys[] = {{Qt::Key_Up, 1}, {Qt::Key_Down, -1}};
    for (const auto& [key, step] : volumeKeys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = step] { volumeSlider_->setValue(volumeSlider_->value() + step); });
    }

    connect(&timer506_, &QTimer::timeout, this, [this] { openByPath(currentPath_); });
    if (!currentPath_.isEmpty()) timer506_.start();
}

CKorvidAppDlg::~CKorvidAppDlg()
{
    theVideoLibrary().setStatusCallback({});
    // The panel's grabs end before their folders are emptied.
    delete thumb_;
    thumb_ = nullptr;
    timer500_.stop();
    timer506_.stop();
    // The pipeline and its threads end before the window's parts go.
    viewer_->StopService();
    // Temporary files of this run; the folders themselves stay.
    removeFilesIn(QString::fromStdString(qmr3::thumbnailDir()));
    removeFilesIn(QString::fromStdString(qmr3::temporaryDir()));
}

void CKorvidAppDlg::createControls()
{
    playSlider_ = new CVideoPlaySlider(this);
    playSlider_->setObjectName(QStringLiteral("m_sldPlaySlider"));
    connect(playSlider_, &CVideoPlaySlider::commandSent, this, &CKorvidAppDlg::onCommand);

    playTime_ = new CSkinEdit(this);
    playTime_->setObjectName(QStringLiteral("m_edtNavPlaytime"));
    playTime_->setReadOnly(true);
    // The field never takes keyboard input.
    playTime_->setFocusPolicy(Qt::NoFocus);
    playTime_->setColours(Qt::white, QColor(0x15, 0x17, 0x19));
    QFont bold(QStringLiteral("Arial"));
    bold.setPointSize(11);
    bold.setWeight(QFont::DemiBold);
    playTime_->setFont(bold);
    playTime_->setAlignment(Qt::AlignCenter);

    for (const ButtonInfo& info : buttonTable()) {
        auto* b = new CSkinButton(this, info.id);
        b->setObjectName(QLatin1String(info.key));
        connect(b, &CSkinButton::commandSent, this, &CKorvidAppDlg::onCommand);
        buttons_.push_back(b);
        byId_[info.id] = b;
        byKey_[QLatin1String(info.key)] = b;
    }

    volumeSlider_ = new CXSliderCtrl(this);
    volumeSlider_->setObjectName(QStringLiteral("m_sldNavAudio"));

    viewer_ = new CLumacastCtrl(this);
    viewer_->setObjectName(QStringLiteral("m_Korvid"));
    viewer_->hide();
    // The media stop thread emits; the window acts on it in its own thread,
    // and only for the start that is still current.
    connect(viewer_, &CLumacastCtrl::OnMediaStop, this, [this, generation = playGeneration_] {
        const int seen = generation->load();
        QMetaObject::invokeMethod(this, [this, generation, seen] {
            if (generation->load() == seen && playing_) mediaStopped();
        }, Qt::QueuedConnection);
    }, Qt::DirectConnection);
    connect(viewer_, &CLumacastCtrl::MouseDown, this, [this](short button, short, int, int) {
        if (button & 2) setFullScreen(!fullScreen_);
    });

    thumb_ = new CThumbnailCtrl(theVideoLibrary(), this);
    connect(thumb_, &CThumbnailCtrl::fileChosen, this, &CKorvidAppDlg::playChosenFile);
    connect(thumb_, &CThumbnailCtrl::statusText, this, &CKorvidAppDlg::showStatusText);
    connect(thumb_, &CThumbnailCtrl::toolProblem, this, [this](const QString& text) {
        // One message per run, however many pictures are missing.
        if (toolProblemShown_) return;
        toolProblemShown_ = true;
        showMessage(text);
    });
    theVideoLibrary().setStatusCallback([this](const std::string& text) {
        // The catalogue speaks English; its two progress words are translated here.
        QString t = QString::fromStdString(text);
        static const char* const words[] = {QT_TR_NOOP("Read Video List"), QT_TR_NOOP("Read Video Info")};
        for (const char* word : words)
            if (t.startsWith(QLatin1String(word))) t = tr(word) + t.mid(int(qstrlen(word)));
        showStatusText(t);
    });
}

void CKorvidAppDlg::applySkinToButtons()
{
    for (CSkinButton* b : buttons_) {
        const SkinButtonImages* images = skin_.button(b->objectName());
        if (!images) {
            // Not in the skin: nowhere to put it.
            b->hide();
            continue;
        }
        const auto& img = images->images;
        if (img.size() >= 3) b->setImages(img[0], img[1], img[2]);
        if (images->stateKind == QLatin1String("4BTN") && img.size() >= 4) {
            b->setMode(2);
            b->setImages2(img[3]);
        } else if (images->stateKind == QLatin1String("6BTN") && img.size() >= 6) {
            b->setMode(3);
            b->setImages2(img[3], img[4], img[5]);
        } else {
            b->setMode(2);
        }
        b->resize(img.isEmpty() ? QSize() : img[0].size());
    }
    // All four event kinds shown, the list page chosen.
    for (int id : {IDC_FILTER_A, IDC_FILTER_M, IDC_FILTER_E, IDC_FILTER_T, IDC_TAB_LIST})
        if (CSkinButton* b = button(id)) b->setActive(false);
}

void CKorvidAppDlg::setTooltips()
{
    const std::pair<int, QString> tips[] = {
        {IDC_BACKUP, tr("Backup Files")},
        {IDC_HELP, tr("Help")},
        {IDC_SETUP, tr("Setup")},
        {IDC_MINIMIZE, tr("Minimize")},
        {IDC_MAXIMIZE, tr("Maximize")},
        {IDC_EXIT, tr("Exit")},
        {IDC_FRAME_BACK, tr("Frame Back")},
        {IDC_REWIND, tr("Rewind")},
        {IDC_PAUSE, tr("Pause")},
        {IDC_PLAY, tr("Play")},
        {IDC_FF, tr("Fast Forward")},
        {IDC_FRAME_NEXT, tr("Frame Forward")},
        {IDC_CHANGE_RATIO, tr("Change Video Ratio")},
        {IDC_FILE_RECOVERY, tr("Recover Index File")},
        {IDC_OPEN_FILE, tr("Open File")},
        {IDC_OPEN_DIR, tr("Open Folder")},
        {IDC_EXPORT_A, tr("Assign Start Point")},
        {IDC_EXPORT_B, tr("Assign End Point")},
        {IDC_EXPORT_AVI, tr("Export Movie Clip")},
        {IDC_EXPORT_JPEG, tr("Export Still Image")},
        {IDC_PREVIEW, tr("Preview")},
        {IDC_FILTER_A, tr("Filter A(Alarm)")},
        {IDC_FILTER_M, tr("Filter M(Motion)")},
        {IDC_FILTER_E, tr("Filter E(Emergency)")},
        {IDC_FILTER_T, tr("Filter T(Time)")},
    };
    for (const auto& [id, text] : tips)
        if (CSkinButton* b = button(id)) b->setTooltipText(text, true);
}

CSkinButton* CKorvidAppDlg::button(int id) const
{
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
}

QWidget* CKorvidAppDlg::controlFor(const CtrlRect& r) const
{
    switch (r.kind) {
    case CtrlRect::Button: {
        auto it = byKey_.find(r.name);
        return it == byKey_.end() ? nullptr : it->second;
    }
    case CtrlRect::AudioSlider: return volumeSlider_;
    case CtrlRect::VideoSlider: return playSlider_;
    case CtrlRect::PlayTime: return playTime_;
    case CtrlRect::Thumbnail: return thumb_;
    default: return nullptr;
    }
}

void CKorvidAppDlg::composeBackground(int W, int H)
{
    background_ = QPixmap(W, H);
    QPainter p(&background_);
    p.fillRect(0, 0, W, H, QColor(8, 8, 8));
    auto bm = [this](const char* name) { return skin_.bitmap(QLatin1String(name)); };
    const QPixmap tl = bm("m_pbmBG11"), left = bm("m_pbmBG12"), bl = bm("m_pbmBG13");
    const QPixmap top = bm("m_pbmBG21"), bottom = bm("m_pbmBG23");
    const QPixmap tr = bm("m_pbmBG31"), right = bm("m_pbmBG32"), br = bm("m_pbmBG33");
    QPixmap centre = bm("m_pbmBG22");

    if (!centre.isNull()) {
        QPainter c(&centre);
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(11);
        f.setBold(true);
        f.setItalic(true);
        c.setFont(f);
        c.setPen(QColor(0x32, 0x3C, 0x50));
        c.drawText(QRect(135, 63, centre.width() - 135, 16), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("V") + version_);
    }
    if (left.height() > 0)
        for (int y = tl.height(); y < H; y += left.height()) p.drawPixmap(0, y, left);
    if (right.height() > 0)
        for (int y = tr.height(); y < H; y += right.height()) p.drawPixmap(W - right.width(), y, right);
    if (top.width() > 0)
        for (int x = tl.width(); x < W; x += top.width()) p.drawPixmap(x, 0, top);
    if (bottom.width() > 0)
        for (int x = bl.width(); x < W; x += bottom.width()) p.drawPixmap(x, H - bottom.height(), bottom);
    p.drawPixmap(0, 0, tl);
    p.drawPixmap(W - tr.width(), 0, tr);
    p.drawPixmap(0, H - bl.height(), bl);
    p.drawPixmap(W - br.width(), H - br.height(), br);
    if (!centre.isNull())
        p.drawPixmap((W - centre.width() - 300) / 2, (H - centre.height() - 60) / 2, centre);
}

void CKorvidAppDlg::layoutWindow()
{
    const int W = width() + 2;
    const int H = height() + 2;
    const QSize design = skin_.designSize().isValid() ? skin_.designSize() : QSize(W, H);

    composeBackground(W, H);

    const int radius = fullScreen_ ? 0 : 7;
    const int d = radius * 2;
    shape_ = roundedRegion(QRect(QPoint(0, 0), QPoint(W - 1, 499)), d) |
             roundedRegion(QRect(QPoint(0, 300), QPoint(499, H - 1)), d) |
             roundedRegion(QRect(QPoint(400, 300), QPoint(W - 1, H - 1)), d);
    // The shape is in window coordinates; the window is W - 2 by H - 2.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) setMask(shape_);

    // A control the skin does not place stays out of sight.
    QSet<QWidget*> placed;
    for (const CtrlRect& r : skin_.records()) {
        const QRect g = CSkin::place(r, W, H, design);
        if (r.kind == CtrlRect::Video) {
            videoArea_ = g;
            continue;
        }
        if (QWidget* w = controlFor(r)) {
            w->setGeometry(g);
            placed.insert(w);
        }
    }
    for (QWidget* w : {static_cast<QWidget*>(playSlider_), static_cast<QWidget*>(playTime_),
                       static_cast<QWidget*>(volumeSlider_), static_cast<QWidget*>(thumb_)})
        w->setVisible(placed.contains(w) && !fullScreen_);
    for (CSkinButton* b : buttons_) b->setVisible(placed.contains(b));
    playSlider_->update();

    placeViewer();
    update();
}

void CKorvidAppDlg::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    if (background_.isNull())
        p.fillRect(e->rect(), QColor(8, 8, 8));
    else
        p.drawPixmap(e->rect(), background_, e->rect());
}

void CKorvidAppDlg::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutWindow();
}

void CKorvidAppDlg::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (!skinLoaded_ && !templateReported_) {
        templateReported_ = true;
        QTimer::singleShot(0, this, [this] { showMessage(tr("No Template File")); });
    } else if (skinLoaded_ && !skin_.pictureLoaded() && !templateReported_) {
        templateReported_ = true;
        QTimer::singleShot(0, this, [this] {
            showMessage(tr("The skin picture %1 cannot be read.").arg(QDir::toNativeSeparators(picturePath_)));
        });
    }
}

bool CKorvidAppDlg::inSizeGrip(const QPoint& p) const
{
    return !maximised_ && p.x() >= width() - 15 && p.y() >= height() - 15 && rect().contains(p);
}

void CKorvidAppDlg::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    if (inSizeGrip(pos)) {
        if (windowHandle() && windowHandle()->startSystemResize(Qt::BottomEdge | Qt::RightEdge)) return;
        resizing_ = true;
        resizeStart_ = e->globalPosition().toPoint();
        resizeStartSize_ = size();
        return;
    }
    dragging_ = true;
    pressPoint_ = pos;
}

void CKorvidAppDlg::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    if (resizing_) {
        const QPoint delta = e->globalPosition().toPoint() - resizeStart_;
        resize((resizeStartSize_ + QSize(delta.x(), delta.y())).expandedTo(minimumSize()));
        return;
    }
    if (dragging_) {
        if (maximised_) return;
        const QPoint topLeft = e->globalPosition().toPoint() - pressPoint_;
        const QSize screenSize = screen() ? screen()->geometry().size() : QSize(1920, 1080);
        move(snapToScreenEdges(QRect(topLeft, size()), screenSize, QSize(width() + 2, height() + 2)));
        return;
    }
    setCursor(inSizeGrip(pos) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
}

void CKorvidAppDlg::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    resizing_ = false;
}

void CKorvidAppDlg::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && e->position().y() < 35) toggleMaximise();
}

void CKorvidAppDlg::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        e->accept();  // never closes the window
        return;
    case Qt::Key_Escape:
        if (fullScreen_) setFullScreen(false);
        e->accept();
        return;
    default: QWidget::keyPressEvent(e);
    }
}

void CKorvidAppDlg::closeEvent(QCloseEvent* e)
{
    if (exitBox_) exitBox_->close();
    e->accept();
}

void CKorvidAppDlg::toggleMaximise()
{
    CSkinButton* maxButton = button(IDC_MAXIMIZE);
    // Full screen owns the window's size until it is left.
    if (fullScreen_) {
        if (maxButton) maxButton->setActive(!maximised_);
        return;
    }
    if (!maximised_) {
        restoreRect_ = geometry();
        const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 1920, 1080);
        maximised_ = true;
        setGeometry(QRect(screenRect.topLeft(), screenRect.size() + QSize(1, 1)));
        layoutWindow();
        if (maxButton) {
            maxButton->setActive(false);
            maxButton->setTooltipText(tr("Back to Original Size"), true);
        }
    } else {
        maximised_ = false;
        setGeometry(restoreRect_);
        layoutWindow();
        if (maxButton) {
            maxButton->setActive(true);
            maxButton->setTooltipText(tr("Maximize"), true);
        }
    }
}

void CKorvidAppDlg::bringToFront()
{
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CKorvidAppDlg::showMessage(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Korvid"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CKorvidAppDlg::askExit()
{
    if (exitBox_) return;
    exitBox_ = new QMessageBox(QMessageBox::Question, QStringLiteral("Korvid"), tr("Do you want to exit?"),
                               QMessageBox::Yes | QMessageBox::No, this);
    exitBox_->setAttribute(Qt::WA_DeleteOnClose);
    exitBox_->setDefaultButton(QMessageBox::No);
    connect(exitBox_, &QMessageBox::finished, this, [this](int result) {
        exitBox_.clear();
        if (CSkinButton* b = button(IDC_EXIT)) b->setActive(true);
        if (result != QMessageBox::Yes) return;
        exitConfirmed_ = true;
        emit exitConfirmed();
        close();
    });
    exitBox_->open();
}

void CKorvidAppDlg::showSetup()
{
    if (playing_) {
        stopPlayback();
        thumb_->clearSelection();
    }
    QDialog* dlg = setup_ ? setup_->createDialog(this, version_) : nullptr;
    if (!dlg) return;
    connect(dlg, &QDialog::finished, this, [this] {
        if (CSkinButton* b = button(IDC_SETUP)) b->setActive(true);
    });
    dlg->open();
}

void CKorvidAppDlg::recoverIndex()
{
    const CVideoLibrary& library = theVideoLibrary();
    if (library.fileCount() == 0) {
        showMessage(tr("In order to restore index file,\nplease open the target folder first."));
        return;
    }
    const IndexRecoveryResult r = recoverIndexFile(library, currentPath_.toStdString());
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

void CKorvidAppDlg::onCommand(int id)
{
    CSkinButton* b = button(id);
    switch (id) {
    case IDC_EXIT: askExit(); return;
    case IDC_MINIMIZE:
        if (b) b->setActive(true);
        showMinimized();
        return;
    case IDC_MAXIMIZE: toggleMaximise(); return;
    case IDC_SETUP: showSetup(); return;
    case IDC_EXPORT_A:
    case IDC_EXPORT_B:
    case IDC_EXPORT_JPEG:
        if (b) b->setActive(true);
        if (!playing_) showMessage(tr("Video is not opened."));
        return;
    case IDC_EXPORT_AVI:
        if (b) b->setActive(true);
        if (theVideoLibrary().markedCount() == 0 && !playing_) showMessage(tr("Video is not opened."));
        return;
    case IDC_CHANGE_RATIO:
        if (b) b->setActive(true);
        changeRatio();
        return;
    case IDC_FILE_RECOVERY:
        recoverIndex();
        if (b) b->setActive(true);
        return;
    case IDC_PLAY_SLIDER: seekToSlider(); return;
    case IDC_PLAY: play(); return;
    case IDC_PAUSE: pause(); return;
    case IDC_FF: fastForward(); return;
    case IDC_REWIND: rewind(); return;
    case IDC_FRAME_NEXT: frameForward(); return;
    case IDC_FRAME_BACK: frameBack(); return;
    case IDC_FILTER_A:
    case IDC_FILTER_M:
    case IDC_FILTER_E:
    case IDC_FILTER_T: toggleFilter(id); return;
    case IDC_TAB_CALENDAR:
    case IDC_TAB_LIST:
    case IDC_TAB_INFO: choosePanelPage(id); return;
    case IDC_OPEN_DIR:
        openFolderDialog();
        if (b) b->setActive(true);
        return;
    case IDC_OPEN_FILE:
        stopPlayback();
        openFilesDialog();
        if (b) b->setActive(true);
        return;
    case IDC_THUMBNAIL:
        if (thumb_) playChosenFile(thumb_->selectedFile());
        return;
    default:
        // Commands whose work arrives with later parts of the player do
        // nothing yet; the button just comes back up.
        if (b) b->setActive(true);
        return;
    }
}

void CKorvidAppDlg::showStatusText(const QString& text)
{
    // Scans run on this thread: draw the text at once.
    playTime_->setText(text);
    playTime_->repaint();
}

void CKorvidAppDlg::toggleFilter(int id)
{
    CSkinButton* b = button(id);
    if (!b) return;
    // Inactive (the second image set) means the kind is shown.
    b->setActive(!b->active());
    const int bit = id == IDC_FILTER_A ? 0x01 : id == IDC_FILTER_E ? 0x02 : id == IDC_FILTER_M ? 0x04 : 0x08;
    thumb_->setFilterBit(bit, !b->active());
}

void CKorvidAppDlg::choosePanelPage(int id)
{
    const int page = id == IDC_TAB_LIST ? CThumbnailCtrl::ListPage
                     : id == IDC_TAB_CALENDAR ? CThumbnailCtrl::CalendarPage
                                              : CThumbnailCtrl::InfoPage;
    for (int tab : {IDC_TAB_CALENDAR, IDC_TAB_LIST, IDC_TAB_INFO})
        if (CSkinButton* t = button(tab)) t->setActive(tab != id);
    thumb_->setPage(page);
}

void CKorvidAppDlg::openRecordings(const QString& text)
{
    if (text.isEmpty()) return;
    stopPlayback();
    currentPath_ = text;
    currentFileIndex_ = -1;
    CVideoLibrary::clearThumbnails();
    theVideoLibrary().scan(text.toStdString());
    afterOpen();
}

void CKorvidAppDlg::openRecordingFiles(const QStringList& files)
{
    if (files.isEmpty()) return;
    stopPlayback();
    currentPath_ = files.join(QLatin1Char('|'));
    currentFileIndex_ = -1;
    CVideoLibrary::clearThumbnails();
    std::vector<std::string> paths;
    for (const QString& f : files) paths.push_back(f.toStdString());
    // The list as chosen: a "|" inside a file name cannot split it.
    theVideoLibrary().scanFileList(paths);
    afterOpen();
}

void CKorvidAppDlg::afterOpen()
{
    thumb_->resetForOpen();
    for (int id : {IDC_FILTER_A, IDC_FILTER_M, IDC_FILTER_E, IDC_FILTER_T})
        if (CSkinButton* f = button(id)) f->setActive(false);
    thumb_->update();
    // What could not be read is said, not passed over in silence.
    const std::vector<std::string>& errors = theVideoLibrary().errors();
    if (!errors.empty()) {
        QStringList lines;
        for (std::size_t i = 0; i < errors.size() && i < 10; ++i) lines << QString::fromStdString(errors[i]);
        if (errors.size() > 10) lines << tr("... and %1 more").arg(errors.size() - 10);
        showMessage(lines.join(QLatin1Char('\n')));
    }
}

void CKorvidAppDlg::openFolderDialog()
{
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

void CKorvidAppDlg::openFilesDialog()
{
    QSettings settings;
    const QString start = settings.value(QStringLiteral("dirName/strPath"), QDir::homePath()).toString();
    auto* dlg = new QFileDialog(this, tr("QMR3 Video File"), start, tr("QMR3 Files (*.qmr3)"));
    dlg->setFileMode(QFileDialog::ExistingFiles);
    dlg->setDefaultSuffix(QStringLiteral("qmr3"));
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QFileDialog::filesSelected, this, [this](const QStringList& files) {
        if (files.isEmpty()) return;
        QSettings().setValue(QStringLiteral("dirName/strPath"), QFileInfo(files.first()).absolutePath() + QLatin1Char('/'));
        openRecordingFiles(files);
    });
    dlg->open();
}
