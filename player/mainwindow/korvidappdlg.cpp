#include "korvidappdlg.h"

#include "framegrabber.h"
#include "language.h"
#include "logging.h"
#include "lumacastctrl.h"
#include "previewvideoctrl.h"
#include "setup.h"
#include "skinbutton.h"
#include "skindialog.h"
#include "skinedit.h"
#include "skinkeys.h"
#include "tempdirs.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"
#include "xsliderctrl.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QSet>
#include <QShortcut>

namespace {

// Deletes the files (not the sub-folders) of a folder.
void removeFilesIn(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists()) return;
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& f : files) dir.remove(f);
}

}  // namespace

const std::vector<CKorvidAppDlg::ButtonInfo>& CKorvidAppDlg::buttonTable() {
    using namespace skinkey;
    static const std::vector<ButtonInfo> table = {
        {m_btnMainBackup, IDC_BACKUP, QT_TR_NOOP("Backup Files")},
        {m_btnMainHelp, IDC_HELP, QT_TR_NOOP("Help")},
        {m_btnMainSetup, IDC_SETUP, QT_TR_NOOP("Setup")},
        {m_btnMainMin, IDC_MINIMIZE, QT_TR_NOOP("Minimize")},
        {m_btnMainMax, IDC_MAXIMIZE, QT_TR_NOOP("Maximize")},
        {m_btnMainExit, IDC_EXIT, QT_TR_NOOP("Exit")},
        {m_btnMainTabCalendar, IDC_TAB_CALENDAR, nullptr},
        {m_btnMainTabList, IDC_TAB_LIST, nullptr},
        {m_btnMainTabInfo, IDC_TAB_INFO, nullptr},
        {m_btnNavFrameBack, IDC_FRAME_BACK, QT_TR_NOOP("Frame Back")},
        {m_btnNavRewind, IDC_REWIND, QT_TR_NOOP("Rewind")},
        {m_btnNavPause, IDC_PAUSE, QT_TR_NOOP("Pause")},
        {m_btnNavPlay, IDC_PLAY, QT_TR_NOOP("Play")},
        {m_btnNavFF, IDC_FF, QT_TR_NOOP("Fast Forward")},
        {m_btnNavFrameNext, IDC_FRAME_NEXT, QT_TR_NOOP("Frame Forward")},
        {m_btnMainChangeRatio, IDC_CHANGE_RATIO, QT_TR_NOOP("Change Video Ratio")},
        {m_btnMainFileRecovery, IDC_FILE_RECOVERY, QT_TR_NOOP("Recover Index File")},
        {m_btnMainOpenFile, IDC_OPEN_FILE, QT_TR_NOOP("Open File")},
        {m_btnMainOpenDir, IDC_OPEN_DIR, QT_TR_NOOP("Open Folder")},
        {m_btnAVIExport_A, IDC_EXPORT_A, QT_TR_NOOP("Assign Start Point")},
        {m_btnAVIExport_B, IDC_EXPORT_B, QT_TR_NOOP("Assign End Point")},
        {m_btnAVIExport, IDC_EXPORT_AVI, QT_TR_NOOP("Export Movie Clip")},
        {m_btnJPEGExport, IDC_EXPORT_JPEG, QT_TR_NOOP("Export Still Image")},
        {m_btnNavPreview, IDC_PREVIEW, QT_TR_NOOP("Preview")},
        {m_btnFilterA, IDC_FILTER_A, QT_TR_NOOP("Filter A(Alarm)")},
        {m_btnFilterM, IDC_FILTER_M, QT_TR_NOOP("Filter M(Motion)")},
        {m_btnFilterE, IDC_FILTER_E, QT_TR_NOOP("Filter E(Emergency)")},
        {m_btnFilterT, IDC_FILTER_T, QT_TR_NOOP("Filter T(Time)")},
    };
    return table;
}

CKorvidAppDlg::CKorvidAppDlg(CVideoLibrary& library, const QString& skinFolder, const QString& versionText,
                             CSetup* setup, const QString& commandLinePath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      library_(library),
      skinFolder_(skinFolder),
      version_(versionText),
      setup_(setup) {
    setObjectName(QStringLiteral("KorvidMainWindow"));
    setWindowTitle(QStringLiteral("Talvix Player"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (setup_) library_.setReadEventData(setup_->readEventData != 0);

    createControls();
    frame_ = new CFramelessWindowBehaviour(this);
    connect(frame_, &CFramelessWindowBehaviour::maximiseToggleRequested, this,
            &CKorvidAppDlg::toggleMaximise);
    playback_ = new CPlaybackController(library_, setup_, {viewer_, playSlider_, playTime_, thumb_}, this);
    playback_->setCurrentPath(commandLinePath);
    connectPlayback();
    connectLibrary();

    // Skin: loaded once, before the window is initialised.
    picturePath_ =
        QDir(skinFolder_).filePath(QStringLiteral("templates") + languageSuffix() + QStringLiteral(".gif"));
    skinLoaded_ = skin_.load(QDir(skinFolder_).filePath(QStringLiteral("templates.ini")), picturePath_);
    for (const QString& w : skin_.warnings()) qCWarning(lcWindow) << "skin:" << w;
    applySkinToButtons();
    thumb_->setSkin(&skin_);
    preview_->setSkin(&skin_);
    playSlider_->setSkin(skin_.bitmap(QLatin1String(skinkey::m_pbmSliderVideoBgLeft)),
                         skin_.bitmap(QLatin1String(skinkey::m_pbmSliderVideoBgMid)));
    volumeSlider_->setBackground(skin_.bitmap(QLatin1String(skinkey::m_pbmSliderAudioBg)));

    const QSize design = skin_.designSize().isValid() ? skin_.designSize() : QSize(800, 600);
    setMinimumSize(design);
    move(0, 0);
    resize(design);
    layoutWindow();

    buildCommandTable();
    createShortcuts();

    openTimer_.setObjectName(QStringLiteral("openTimer"));
    openTimer_.setSingleShot(true);
    openTimer_.setInterval(kOpenDelayMs);
    connect(&openTimer_, &QTimer::timeout, this, [this] { openByPath(playback_->currentPath()); });
    if (!commandLinePath.isEmpty()) openTimer_.start();
}

CKorvidAppDlg::~CKorvidAppDlg() {
    library_.setStatusCallback({});
    // The panel's grabs end before their folders are emptied.
    delete thumb_;
    thumb_ = nullptr;
    delete preview_;
    preview_ = nullptr;
    playback_->positionTimer()->stop();
    openTimer_.stop();
    // The pipeline and its threads end before the window's parts go.
    viewer_->StopService();
    // Temporary files of this run; the folders themselves stay.
    removeFilesIn(QString::fromStdString(qmr3::thumbnailDir()));
    removeFilesIn(QString::fromStdString(qmr3::temporaryDir()));
}

void CKorvidAppDlg::createControls() {
    playSlider_ = new CVideoPlaySlider(library_, this);
    playSlider_->setObjectName(QLatin1String(skinkey::m_sldPlaySlider));
    playSlider_->setEnabled(false);
    connect(playSlider_, &CVideoPlaySlider::commandSent, this, &CKorvidAppDlg::onCommand);

    playTime_ = new CSkinEdit(this);
    playTime_->setObjectName(QLatin1String(skinkey::m_edtNavPlaytime));
    playTime_->setReadOnly(true);
    // The field never takes keyboard input.
    playTime_->setFocusPolicy(Qt::NoFocus);
    // The event keys have no buttons; where the times and the marks are shown, they are told.
    const QString eventKeys = tr("Next event (E) / Previous event (Shift+E)");
    playTime_->setToolTip(eventKeys);
    playSlider_->setToolTip(eventKeys);
    playTime_->setColours(Qt::white, QColor(0x15, 0x17, 0x19));
    QFont bold(QStringLiteral("Arial"));
    bold.setPointSize(11);
    bold.setWeight(QFont::DemiBold);
    playTime_->setFont(bold);
    playTime_->setAlignment(Qt::AlignCenter);

    for (const ButtonInfo& info : buttonTable()) {
        auto* b = new CSkinButton(this, info.id);
        b->setObjectName(QLatin1String(info.key));
        if (info.tooltip) b->setTooltipText(tr(info.tooltip), true);
        connect(b, &CSkinButton::commandSent, this, &CKorvidAppDlg::onCommand);
        buttons_.push_back(b);
        byId_[info.id] = b;
        byKey_[QLatin1String(info.key)] = b;
    }

    volumeSlider_ = new CXSliderCtrl(this);
    volumeSlider_->setObjectName(QLatin1String(skinkey::m_sldNavAudio));
    volumeSlider_->setRange(0, 10);
    volumeSlider_->setPageStep(2);
    volumeSlider_->setValue(5);

    viewer_ = new CLumacastCtrl(this);
    viewer_->setObjectName(QLatin1String(skinkey::m_Korvid));
    viewer_->hide();
    connect(viewer_, &CLumacastCtrl::MouseDown, this, [this](short button, short, int, int) {
        if (button & 2) setFullScreen(!frame_->isFullScreen());
    });

    preview_ = new CPreviewVideoCtrl(library_, this);
    preview_->hide();
    preview_->setStatusWindow(playTime_);
    preview_->setSlider(playSlider_);
    connect(preview_, &CPreviewVideoCtrl::commandSent, this, &CKorvidAppDlg::onCommand);

    thumb_ = new CThumbnailCtrl(library_, this);
    connect(thumb_, &CThumbnailCtrl::fileChosen, this, &CKorvidAppDlg::playChosenFile);
    connect(thumb_, &CThumbnailCtrl::statusText, this, &CKorvidAppDlg::showStatusText);
    auto toolProblem = [this](const QString& text) {
        // One message per run, however many pictures are missing.
        if (toolProblemShown_) return;
        toolProblemShown_ = true;
        showMessage(text);
    };
    connect(thumb_, &CThumbnailCtrl::toolProblem, this, toolProblem);
    connect(preview_->grabber(), &CAsyncFrameGrabber::toolProblem, this, toolProblem);
}

void CKorvidAppDlg::connectPlayback() {
    connect(playback_, &CPlaybackController::buttonsChanged, this, &CKorvidAppDlg::showButtons);
    connect(playback_, &CPlaybackController::message, this, &CKorvidAppDlg::showMessage);
    connect(playback_, &CPlaybackController::displayChanged, this, [this] {
        if (playback_->displayMode() == 0) {
            ownSize_ = false;
            thumb_->setPlaybackTime(-1);
        }
        nativeRect_ = QRect(QPoint(0, 0), playback_->pictureSize());
        nativeRect_.moveCenter(videoArea_.center());
        // Whatever left display mode 2 (a stop, an open) ends the preview pages.
        if (playback_->displayMode() != 2 && preview_->isActive()) {
            preview_->stop();
            release(IDC_PREVIEW);
        }
        placeViewer();
    });
    connect(playback_, &CPlaybackController::aboutToPlay, this, [this] {
        leavePreview();
        preview_->reset();
    });
    connect(thumb_, &CThumbnailCtrl::timeChosen, this, [this](int file, qint64 seconds) {
        leavePreview();
        playback_->playAt(file, seconds);
    });
    connect(playback_, &CPlaybackController::positionChanged, thumb_, &CThumbnailCtrl::setPlaybackTime);
    connect(playback_, &CPlaybackController::mediaEnded, this, [this] {
        if (frame_->isFullScreen()) setFullScreen(false);
    });
    playSlider_->setPositionTimer(playback_->positionTimer());
    playSlider_->setPauseHandler([this] { playback_->holdForDrag(); });
    playSlider_->setPreviewModeQuery([this] { return playback_->displayMode() == 2; });
    connect(volumeSlider_, &QSlider::valueChanged, playback_, &CPlaybackController::setVolumePosition);
    playback_->setVolumePosition(volumeSlider_->value());
}

void CKorvidAppDlg::connectLibrary() {
    library_.setStatusCallback([this](const std::string& text) {
        // The catalogue speaks English; its two progress words are translated here.
        QString t = QString::fromStdString(text);
        static const char* const words[] = {QT_TR_NOOP("Read Video List"), QT_TR_NOOP("Read Video Info")};
        for (const char* word : words)
            if (t.startsWith(QLatin1String(word))) t = tr(word) + t.mid(int(qstrlen(word)));
        showStatusText(t);
    });
}

void CKorvidAppDlg::createShortcuts() {
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
        {QKeySequence(Qt::Key_E), IDC_NEXT_EVENT},
        {QKeySequence(Qt::SHIFT | Qt::Key_E), IDC_PREV_EVENT},
    };
    for (const auto& [key, id] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, [this, id = id] { onCommand(id); });
    }
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(space, &QShortcut::activated, playback_, &CPlaybackController::togglePlayPause);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F11), QKeySequence(Qt::Key_F)}) {
        auto* full = new QShortcut(key, this);
        connect(full, &QShortcut::activated, this, [this] { setFullScreen(!frame_->isFullScreen()); });
    }
    const std::pair<Qt::Key, int> volumeKeys[] = {{Qt::Key_Up, 1}, {Qt::Key_Down, -1}};
    for (const auto& [key, step] : volumeKeys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = step] { volumeSlider_->setValue(volumeSlider_->value() + step); });
    }
}

void CKorvidAppDlg::applySkinToButtons() {
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
    showButtons({IDC_FILTER_A, IDC_FILTER_M, IDC_FILTER_E, IDC_FILTER_T, IDC_TAB_LIST}, {});
}

CSkinButton* CKorvidAppDlg::button(int id) const {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
}

void CKorvidAppDlg::showButtons(const QList<int>& on, const QList<int>& released) {
    // A button shows its second set ("on") while it is not active.
    for (int id : on)
        if (CSkinButton* b = button(id)) b->setActive(false);
    for (int id : released)
        if (CSkinButton* b = button(id)) b->setActive(true);
}

void CKorvidAppDlg::release(int id) {
    if (CSkinButton* b = button(id)) b->setActive(true);
}

QWidget* CKorvidAppDlg::controlFor(const CtrlRect& r) const {
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

void CKorvidAppDlg::composeBackground(int W, int H) {
    background_ = QPixmap(W, H);
    QPainter p(&background_);
    p.fillRect(0, 0, W, H, QColor(8, 8, 8));
    auto bm = [this](const char* name) { return skin_.bitmap(QLatin1String(name)); };
    using namespace skinkey;
    const QPixmap tl = bm(m_pbmBG11), left = bm(m_pbmBG12), bl = bm(m_pbmBG13);
    const QPixmap top = bm(m_pbmBG21), bottom = bm(m_pbmBG23);
    const QPixmap tr = bm(m_pbmBG31), right = bm(m_pbmBG32), br = bm(m_pbmBG33);
    QPixmap centre = bm(m_pbmBG22);

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

void CKorvidAppDlg::layoutWindow() {
    const int W = width() + 2;
    const int H = height() + 2;
    const QSize design = skin_.designSize().isValid() ? skin_.designSize() : QSize(W, H);
    const bool fullScreen = frame_->isFullScreen();

    composeBackground(W, H);

    const int radius = fullScreen ? 0 : 7;
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
        w->setVisible(placed.contains(w) && !fullScreen);
    for (CSkinButton* b : buttons_) b->setVisible(placed.contains(b));
    playSlider_->update();
    nativeRect_.moveCenter(videoArea_.center());

    placeViewer();
    if (playback_->displayMode() == 2) preview_->rebuild();
    update();
}

void CKorvidAppDlg::placeViewer() {
    if (playback_->displayMode() == 2) {
        preview_->setGeometry(videoArea_);
        preview_->show();
        preview_->raise();
    } else {
        preview_->setGeometry(0, 0, 0, 0);
        preview_->hide();
    }
    if (playback_->displayMode() != 1) {
        viewer_->setGeometry(0, 0, 0, 0);
        viewer_->hide();
        return;
    }
    QRect r = videoArea_;
    if (frame_->isFullScreen()) {
        r = rect();
    } else if (ownSize_ && nativeRect_.isValid()) {
        // Own size, centred; a picture larger than the area is shrunk to fit it.
        QSize s = nativeRect_.size();
        if (s.width() > videoArea_.width() || s.height() > videoArea_.height())
            s.scale(videoArea_.size(), Qt::KeepAspectRatio);
        r = QRect(QPoint(0, 0), s);
        r.moveCenter(videoArea_.center());
    }
    viewer_->setGeometry(r);
    viewer_->show();
    viewer_->raise();
}

void CKorvidAppDlg::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (background_.isNull()) p.fillRect(e->rect(), QColor(8, 8, 8));
    else p.drawPixmap(e->rect(), background_, e->rect());
}

void CKorvidAppDlg::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layoutWindow();
}

void CKorvidAppDlg::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (templateReported_) return;
    if (!skinLoaded_) {
        templateReported_ = true;
        QTimer::singleShot(0, this, [this] { showMessage(tr("No Template File")); });
    } else if (!skin_.pictureLoaded()) {
        templateReported_ = true;
        QTimer::singleShot(0, this, [this] {
            showMessage(
                tr("The skin picture %1 cannot be read.").arg(QDir::toNativeSeparators(picturePath_)));
        });
    }
}

void CKorvidAppDlg::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        e->accept();  // never closes the window
        return;
    case Qt::Key_Escape:
        if (frame_->isFullScreen()) setFullScreen(false);
        e->accept();
        return;
    default: QWidget::keyPressEvent(e);
    }
}

void CKorvidAppDlg::closeEvent(QCloseEvent* e) {
    if (exitBox_) exitBox_->close();
    leavePreview();
    e->accept();
}

void CKorvidAppDlg::toggleMaximise() {
    const bool maximise = !frame_->isMaximised();
    // Full screen owns the window's size until it is left.
    if (frame_->isFullScreen()) {
        if (CSkinButton* maxButton = button(IDC_MAXIMIZE)) maxButton->setActive(maximise);
        return;
    }
    frame_->setMaximised(maximise);
    layoutWindow();
    if (CSkinButton* maxButton = button(IDC_MAXIMIZE)) {
        maxButton->setActive(!maximise);
        maxButton->setTooltipText(maximise ? tr("Back to Original Size") : tr("Maximize"), true);
    }
}

void CKorvidAppDlg::setFullScreen(bool on) {
    if (on == frame_->isFullScreen()) return;
    if (on && !playback_->isPlaying()) {
        showMessage(tr("Available only while playing video"));
        return;
    }
    frame_->setFullScreen(on);
    layoutWindow();
}

void CKorvidAppDlg::changeRatio() {
    if (!playback_->isPlaying()) {
        showMessage(tr("Available only while playing video"));
        return;
    }
    viewer_->hide();
    ownSize_ = !ownSize_;
    placeViewer();
}

void CKorvidAppDlg::bringToFront() {
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void CKorvidAppDlg::showMessage(const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Information, QStringLiteral("Korvid"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CKorvidAppDlg::showStatusText(const QString& text) {
    // Scans run on this thread: draw the text at once.
    playTime_->setText(text);
    playTime_->repaint();
}
