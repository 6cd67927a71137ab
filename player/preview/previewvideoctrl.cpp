#include "previewvideoctrl.h"

#include "framegrabber.h"
#include "skin.h"
#include "skinkeys.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>
#include <QToolTip>

#include <algorithm>
#include <limits>

namespace {

constexpr int kIntervals[] = {1, 2, 3, 5, 10, 20, 30, 60};
constexpr int kPlayIntervals[] = {1, 2, 3, 5};
constexpr const char* kIntervalKey = "Setup/PreviewImageInterval";
constexpr const char* kPlayIntervalKey = "Setup/PreviewPlayInterval";

// x ranges of the page bar, from its left end.
struct BarItem {
    int x1, x2;  // inclusive
    int upper, lower;
};
constexpr BarItem kPageBar[] = {
    {0, 49, 1000, 1004},    {50, 99, 1001, 1005},   {100, 149, 1002, 1006}, {150, 199, 1003, 1007},
    {210, 259, 1008, 1008}, {260, 309, 1009, 1009}, {310, 359, 1010, 1010}, {360, 409, 1011, 1011},
    {410, 459, 1012, 1012}, {460, 509, 1013, 1013}, {520, 569, 1014, 1014}, {580, 629, 1015, 1017},
    {630, 719, 1016, 1018},
};
struct LargeItem {
    int x1, x2;
    int code;
};
constexpr LargeItem kLargeBar[] = {{0, 49, 502}, {50, 99, 503}, {110, 204, 504}, {215, 309, 505}};

const QColor kBackground(10, 11, 13);
const QColor kCell(24, 26, 30);
const QColor kHoverFrame(240, 160, 40);

bool oneOf(int v, const int* first, const int* last) { return std::find(first, last, v) != last; }

// The bitmap family and the value each bar button stands for.
const char* secondsKey(int seconds) {
    switch (seconds) {
    case 1: return "01";
    case 2: return "02";
    case 3: return "03";
    case 5: return "05";
    case 10: return "10";
    case 20: return "20";
    case 30: return "30";
    default: return "60";
    }
}

}  // namespace

CPreviewVideoCtrl::CPreviewVideoCtrl(CVideoLibrary& library, QWidget* parent)
    : QWidget(parent), library_(library), grabber_(new CAsyncFrameGrabber(this)) {
    setObjectName(QStringLiteral("PreviewVideoCtrl"));
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    autoTimer_.setObjectName(QStringLiteral("autoTimer"));
    connect(&autoTimer_, &QTimer::timeout, this, &CPreviewVideoCtrl::autoTick);
    connect(grabber_, &CAsyncFrameGrabber::grabbed, this, &CPreviewVideoCtrl::onGrabbed);
}

CPreviewVideoCtrl::~CPreviewVideoCtrl() { autoTimer_.stop(); }

void CPreviewVideoCtrl::setSkin(const CSkin* skin) {
    skin_ = skin;
    update();
}

// ---------------------------------------------------------------- settings

void CPreviewVideoCtrl::loadSettings() {
    QSettings s;
    const int i = s.value(QLatin1String(kIntervalKey), kDefaultInterval).toInt();
    const int pi = s.value(QLatin1String(kPlayIntervalKey), kDefaultPlayInterval).toInt();
    // A value no button offers falls back to the default.
    interval_ = oneOf(i, std::begin(kIntervals), std::end(kIntervals)) ? i : kDefaultInterval;
    playInterval_ =
        oneOf(pi, std::begin(kPlayIntervals), std::end(kPlayIntervals)) ? pi : kDefaultPlayInterval;
}

void CPreviewVideoCtrl::saveSettings() const {
    QSettings s;
    s.setValue(QLatin1String(kIntervalKey), interval_);
    s.setValue(QLatin1String(kPlayIntervalKey), playInterval_);
}

// ---------------------------------------------------------------- lifecycle

void CPreviewVideoCtrl::start(int file, int sliderPosition) {
    stop();
    if (file < 0 || file >= library_.fileCount()) return;
    loadSettings();
    file_ = file;
    if (library_.selectedFile() != file) library_.readVideoInfo(file);
    pageStart_ = std::max(0, sliderPosition - playInterval_ * 15);
    buildTimes();
    buildPage();
}

void CPreviewVideoCtrl::stop() {
    autoTimer_.stop();
    if (slider_) {
        slider_->clearMarks();
        slider_->setEnabled(false);
    }
    grabber_->cancelPending();
    pending_.clear();
    building_ = false;
    wantedSeek_ = -1;
    hover_ = pressed_ = NoCode;
    hoverText_.clear();
    file_ = -1;
    large_ = false;
    largeIndex_ = -1;
    largePending_.clear();
    update();
}

void CPreviewVideoCtrl::reset() {
    grabber_->cancelPending();
    pending_.clear();
    building_ = false;
    largePending_.clear();
    slots_.clear();
    page_.clear();
    largeImage_ = QImage();
    largeSettled_ = false;
    update();
}

void CPreviewVideoCtrl::rebuild() {
    // The large view keeps its picture; the page under it is drawn for the
    // new size when it is shown again.
    if (large_) {
        update();
        return;
    }
    if (file_ < 0 || building_) return;
    buildPage();
}

std::int64_t CPreviewVideoCtrl::fileStart() const { return firstTime_; }

void CPreviewVideoCtrl::buildTimes() {
    times_.clear();
    const auto& positions = library_.framePositions();
    if (positions.empty() || library_.selectedFile() != file_) return;
    firstTime_ = positions.front().time;
    for (const QMR3FRAMEPOSITION& p : positions) {
        const std::int64_t off = p.time - firstTime_;
        // A clock that stepped back before the first picture has no place on a page.
        if (off < 0 || off > std::numeric_limits<int>::max()) continue;
        times_.push_back(int(off));
    }
    // Ascending and distinct, also where the recorder's clock stepped back.
    std::sort(times_.begin(), times_.end());
    times_.erase(std::unique(times_.begin(), times_.end()), times_.end());
}

int CPreviewVideoCtrl::firstAtOrAfter(int offset) const {
    const auto it = std::lower_bound(times_.begin(), times_.end(), offset);
    return it == times_.end() ? -1 : int(it - times_.begin());
}

int CPreviewVideoCtrl::lastAtOrBefore(int offset) const {
    const auto it = std::upper_bound(times_.begin(), times_.end(), offset);
    return it == times_.begin() ? -1 : int(it - times_.begin()) - 1;
}

int CPreviewVideoCtrl::walkBack(int from, int limit) const {
    // Walks backwards from `from`, taking times spaced by the interval (a hole
    // restarts the spacing), and stops at the time that would be taken once
    // `limit` are. The limits start above every time, whatever the length.
    std::int64_t last = std::numeric_limits<std::int64_t>::max();
    std::int64_t previous = std::numeric_limits<std::int64_t>::max();
    int count = 0;
    for (int i = from; i >= 0; --i) {
        const std::int64_t g = times_[std::size_t(i)];
        if (last >= g || interval_ < previous - g) {
            if (count >= limit) return int(g);
            last = g - interval_;
            ++count;
        }
        previous = g;
    }
    return times_.empty() ? 0 : times_.front();
}

// ---------------------------------------------------------------- page building

void CPreviewVideoCtrl::buildPage() {
    if (building_) return;
    grabber_->cancelPending();
    pending_.clear();
    page_.clear();
    slots_.clear();
    settled_ = 0;
    atEnd_ = true;
    nextPageStart_ = times_.empty() ? 0 : times_.back();

    const int first = firstAtOrAfter(pageStart_);
    if (first >= 0) {
        pageStart_ = times_[std::size_t(first)];
        int taken = 0, looked = 0;
        bool any = false;
        for (std::size_t i = std::size_t(first); i < times_.size(); ++i) {
            const int t = times_[i];
            // A time far enough from the last one taken, or the first after a hole.
            if (!any || t >= taken + interval_ || t - looked > interval_) {
                if (int(page_.size()) == kPageSize) {
                    nextPageStart_ = t;
                    atEnd_ = false;
                    break;
                }
                page_.push_back(t);
                taken = t;
                any = true;
            }
            looked = t;
        }
    }
    slots_.resize(page_.size());
    update();
    if (page_.empty()) {
        finishPage();
        return;
    }

    building_ = true;
    setStatus(tr("Prepare Previews"));
    const std::int64_t recordingStart = library_.startTime(file_);
    for (std::size_t k = 0; k < page_.size(); ++k) {
        const int grabOffset = int(firstTime_ + page_[k] - recordingStart);
        const GrabJob job = FrameGrabber::makeJob(library_, file_, kPagePictureSize, grabOffset);
        if (const std::string cached = grabber_->cachedPicture(job); !cached.empty()) {
            slots_[k].image = QImage(QString::fromStdString(cached));
            slots_[k].settled = true;
            ++settled_;
            continue;
        }
        const QString path = QString::fromStdString(job.cachePath);
        if (path.isEmpty() || pending_.contains(path)) {
            // Nothing to make it from: drawn empty.
            slots_[k].settled = true;
            ++settled_;
            continue;
        }
        pending_.insert(path, int(k));
        grabber_->request(job);
    }
    if (pending_.isEmpty()) finishPage();
    else showProgress();
}

void CPreviewVideoCtrl::showProgress() {
    // The picture being made, counted from 1; the first one says only that
    // the page is being prepared.
    const int n = int(page_.size());
    if (settled_ >= 1 && settled_ < n) setStatus(tr("Preparing (%1/%2)").arg(settled_ + 1).arg(n));
}

void CPreviewVideoCtrl::onGrabbed(const QString& cachePath, const QString& result) {
    if (cachePath == largePending_) {
        largePending_.clear();
        largeImage_ = QImage();
        if (!result.isEmpty() && result != QLatin1String("ERR")) largeImage_.load(result);
        largeSettled_ = true;
        update();
    }
    const auto it = pending_.find(cachePath);
    if (it == pending_.end()) return;  // asked for a page no longer shown
    const int k = it.value();
    pending_.erase(it);
    Slot& slot = slots_[std::size_t(k)];
    if (!result.isEmpty() && result != QLatin1String("ERR")) slot.image.load(result);
    // A picture that could not be made stays empty; the page goes on.
    slot.settled = true;
    ++settled_;
    update(pictureRect(k));
    if (pending_.isEmpty()) finishPage();
    else showProgress();
}

void CPreviewVideoCtrl::finishPage() {
    building_ = false;
    setStatus(QString());
    update();
    emit pageBuilt();
    if (wantedSeek_ >= 0) {
        const int position = wantedSeek_;
        wantedSeek_ = -1;
        seek(position);
    }
}

QImage CPreviewVideoCtrl::pagePicture(int k) const {
    return k >= 0 && k < int(slots_.size()) ? slots_[std::size_t(k)].image : QImage();
}

bool CPreviewVideoCtrl::pictureSettled(int k) const {
    return k >= 0 && k < int(slots_.size()) && slots_[std::size_t(k)].settled;
}

// ---------------------------------------------------------------- navigation

void CPreviewVideoCtrl::seek(int position) {
    if (file_ < 0) return;
    if (large_) {
        // The large picture stays; the slider goes back to its time.
        if (largeIndex_ >= 0 && largeIndex_ < int(page_.size()))
            showPictureTime(page_[std::size_t(largeIndex_)]);
        return;
    }
    if (building_) {
        wantedSeek_ = position;
        return;
    }
    const int i = firstAtOrAfter(position);
    pageStart_ = i >= 0 ? times_[std::size_t(i)] : (times_.empty() ? 0 : times_.back());
    buildPage();
}

void CPreviewVideoCtrl::act(int code) {
    if (file_ < 0) return;
    if (large_) {
        switch (code) {
        case LargePrevious:
            if (largeIndex_ > 0) openLarge(largeIndex_ - 1);
            break;
        case LargeNext:
            if (largeIndex_ + 1 < int(page_.size())) openLarge(largeIndex_ + 1);
            break;
        case LargePlay:
            chosen_ =
                largeIndex_ >= 0 && largeIndex_ < int(page_.size()) ? page_[std::size_t(largeIndex_)] : -1;
            emit commandSent(kCommandId);
            break;
        case LargeBack:
        case LargeElsewhere: leaveLarge(); break;
        default: break;
        }
        return;
    }
    if (code >= 0 && code < int(page_.size())) {
        openLarge(code);
        return;
    }
    if (code < Interval1 || code > Speed5 || times_.empty()) return;
    const int last = int(times_.size()) - 1;
    switch (code) {
    case FirstPage: pageStart_ = times_.front(); break;
    case PreviousPage: {
        const int i = firstAtOrAfter(pageStart_);
        pageStart_ = walkBack(i < 0 ? last : i, kPageSize);
        break;
    }
    case PreviousFrame: {
        const int i = lastAtOrBefore(pageStart_ - interval_);
        pageStart_ = i >= 0 ? times_[std::size_t(i)] : times_.front();
        break;
    }
    case NextFrame: {
        const int i = firstAtOrAfter(pageStart_ + interval_);
        if (i >= 0) pageStart_ = times_[std::size_t(i)];
        break;
    }
    case NextPage:
        if (!atEnd_) pageStart_ = nextPageStart_;
        break;
    case LastPage:
        // The last time and the pictures before it fill the last page.
        pageStart_ = walkBack(last, kPageSize - 1);
        break;
    case AutoPreview:
        if (autoTimer_.isActive()) autoTimer_.stop();
        else restartAutoTimer();
        break;
    case Speed1:
    case Speed2:
    case Speed3:
    case Speed5:
        playInterval_ = code == Speed1 ? 1 : code == Speed2 ? 2 : code == Speed3 ? 3 : 5;
        if (autoTimer_.isActive()) restartAutoTimer();
        break;
    default: interval_ = kIntervals[code - Interval1]; break;
    }
    saveSettings();
    buildPage();
}

void CPreviewVideoCtrl::restartAutoTimer() { autoTimer_.start(playInterval_ * kAutoMsPerSecond); }

void CPreviewVideoCtrl::autoTick() {
    if (file_ < 0 || large_) {
        autoTimer_.stop();
        return;
    }
    if (building_) return;  // the page in the making is shown first
    if (atEnd_) {
        autoTimer_.stop();
        update();
        return;
    }
    pageStart_ = nextPageStart_;
    buildPage();
    restartAutoTimer();
}

void CPreviewVideoCtrl::openLarge(int k) {
    if (k < 0 || k >= int(page_.size())) return;
    autoTimer_.stop();
    large_ = true;
    largeIndex_ = k;
    largeImage_ = QImage();
    largeSettled_ = false;
    largePending_.clear();
    const int offset = page_[std::size_t(k)];
    showPictureTime(offset);
    const GrabJob job = FrameGrabber::makeJob(library_, file_, kLargePictureSize,
                                              int(firstTime_ + offset - library_.startTime(file_)));
    if (const std::string cached = grabber_->cachedPicture(job); !cached.empty()) {
        largeImage_.load(QString::fromStdString(cached));
        largeSettled_ = true;
    } else if (!job.cachePath.empty()) {
        largePending_ = QString::fromStdString(job.cachePath);
        grabber_->request(job);
    } else {
        largeSettled_ = true;
    }
    setHover(codeAt(mapFromGlobal(QCursor::pos())));
    update();
}

void CPreviewVideoCtrl::leaveLarge() {
    large_ = false;
    largeIndex_ = -1;
    largePending_.clear();
    setStatus(QString());
    setHover(NoCode);
    update();
}

void CPreviewVideoCtrl::showPictureTime(int offset) {
    const QDateTime t = QDateTime::fromSecsSinceEpoch(fileStart() + offset);
    setStatus(t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
    if (slider_ && !slider_->isTracking()) slider_->setValue(offset);
}

void CPreviewVideoCtrl::setStatus(const QString& text) {
    if (!status_) return;
    status_->setText(text);
    status_->repaint();
}

// ---------------------------------------------------------------- geometry

QRect CPreviewVideoCtrl::gridRect() const { return QRect(0, 0, width(), std::max(0, height() - kBarHeight)); }

QRect CPreviewVideoCtrl::pictureRect(int k) const {
    const QRect g = gridRect();
    const int cw = g.width() / kColumns, ch = g.height() / kRows;
    return QRect((k % kColumns) * cw, (k / kColumns) * ch, cw, ch);
}

int CPreviewVideoCtrl::barX() const { return (width() - (large_ ? kLargeBarWidth : kPageBarWidth)) / 2; }

int CPreviewVideoCtrl::codeAt(QPoint p) const {
    if (file_ < 0 || !rect().contains(p)) return NoCode;
    const int x = p.x() - barX();
    if (large_) {
        if (p.y() >= height() - kLargeBarHeight)
            for (const LargeItem& item : kLargeBar)
                if (x >= item.x1 && x <= item.x2) return item.code;
        return LargeElsewhere;
    }
    if (p.y() < height() - kBarHeight) {
        const QRect g = gridRect();
        const int cw = g.width() / kColumns, ch = g.height() / kRows;
        if (cw <= 0 || ch <= 0) return NoCode;
        const int col = p.x() / cw, row = p.y() / ch;
        if (col >= kColumns || row >= kRows) return NoCode;
        const int k = row * kColumns + col;
        return k < int(page_.size()) ? k : NoCode;
    }
    if (p.y() < height() - 30) return NoCode;
    const bool upper = p.y() < height() - 15;
    for (const BarItem& item : kPageBar)
        if (x >= item.x1 && x <= item.x2) return upper ? item.upper : item.lower;
    return NoCode;
}

QRect CPreviewVideoCtrl::elementRect(int code) const {
    if (file_ < 0) return {};
    const int x0 = barX();
    if (large_) {
        for (const LargeItem& item : kLargeBar)
            if (item.code == code)
                return QRect(x0 + item.x1, height() - kLargeBarHeight, item.x2 - item.x1 + 1,
                             kLargeBarHeight);
        return code == LargeElsewhere ? QRect(0, 0, width(), std::max(0, height() - kLargeBarHeight))
                                      : QRect();
    }
    if (code >= 0 && code < int(page_.size())) return pictureRect(code);
    for (const BarItem& item : kPageBar) {
        const int w = item.x2 - item.x1 + 1;
        if (item.upper == item.lower && item.upper == code) return QRect(x0 + item.x1, height() - 30, w, 30);
        if (item.upper == code) return QRect(x0 + item.x1, height() - 30, w, 15);
        if (item.lower == code) return QRect(x0 + item.x1, height() - 15, w, 15);
    }
    return {};
}

QString CPreviewVideoCtrl::labelFor(int code) const {
    switch (code) {
    case 1000: return tr("Interval : 1 Sec");
    case 1001: return tr("Interval : 2 Sec");
    case 1002: return tr("Interval : 3 Sec");
    case 1003: return tr("Interval : 5 Sec");
    case 1004: return tr("Interval : 10 Sec");
    case 1005: return tr("Interval : 20 Sec");
    case 1006: return tr("Interval : 30 Sec");
    case 1007: return tr("Interval : 60 Sec");
    case FirstPage: return tr("First Page");
    case PreviousPage: return tr("Previous Page");
    case PreviousFrame:
    case LargePrevious: return tr("Previous Frame");
    case NextFrame:
    case LargeNext: return tr("Next Frame");
    case NextPage: return tr("Next Page");
    case LastPage: return tr("Last Page");
    case AutoPreview: return tr("Auto Preview");
    case Speed1: return tr("Preview Speed : 1 Sec");
    case Speed2: return tr("Preview Speed : 2 Sec");
    case Speed3: return tr("Preview Speed : 3 Sec");
    case Speed5: return tr("Preview Speed : 5 Sec");
    case LargeBack: return tr("Back to Preview");
    case LargePlay: return tr("Play Video");
    default: return QString();
    }
}

// ---------------------------------------------------------------- mouse and keys

void CPreviewVideoCtrl::setHover(int code) {
    if (code == hover_) return;
    hover_ = code;
    hoverText_ = labelFor(code);
    // The label of a bar button, as a tooltip where there is a screen to show it on.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        if (hoverText_.isEmpty()) QToolTip::hideText();
        else
            QToolTip::showText(mapToGlobal(elementRect(code).topLeft()), hoverText_, this, elementRect(code));
    }
    // A picture of the page shows its time while the pointer is over it.
    if (!large_ && code >= 0 && code < int(page_.size()) && !building_)
        showPictureTime(page_[std::size_t(code)]);
    update();
}

void CPreviewVideoCtrl::mouseMoveEvent(QMouseEvent* e) { setHover(codeAt(e->position().toPoint())); }

void CPreviewVideoCtrl::leaveEvent(QEvent*) { setHover(NoCode); }

void CPreviewVideoCtrl::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    pressed_ = codeAt(e->position().toPoint());
    setHover(pressed_);
    update();
}

void CPreviewVideoCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int pressed = pressed_;
    pressed_ = NoCode;
    update();
    // Only the element pressed, still under the pointer, and never while a page is made.
    if (pressed == NoCode || building_ || codeAt(e->position().toPoint()) != pressed) return;
    act(pressed);
}

void CPreviewVideoCtrl::keyPressEvent(QKeyEvent* e) {
    if (file_ < 0 || building_) return QWidget::keyPressEvent(e);
    int code = NoCode;
    switch (e->key()) {
    case Qt::Key_Home: code = large_ ? NoCode : FirstPage; break;
    case Qt::Key_End: code = large_ ? NoCode : LastPage; break;
    case Qt::Key_PageUp: code = large_ ? LargePrevious : PreviousPage; break;
    case Qt::Key_PageDown: code = large_ ? LargeNext : NextPage; break;
    case Qt::Key_Escape: code = large_ ? LargeBack : NoCode; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: code = large_ ? LargePlay : NoCode; break;
    default: break;
    }
    if (code == NoCode) return QWidget::keyPressEvent(e);
    act(code);
}

// ---------------------------------------------------------------- drawing

void CPreviewVideoCtrl::drawButton(QPainter& p, const QRect& r, const QString& family, const char* state,
                                   const QString& text) {
    const QPixmap pm = skin_ ? skin_->bitmap(family + QLatin1String(state)) : QPixmap();
    if (!pm.isNull()) {
        p.drawPixmap(r.topLeft(), pm);
        return;
    }
    const bool on = qstrcmp(state, skinkey::kON) == 0 || qstrcmp(state, skinkey::kCK) == 0;
    const bool over = qstrcmp(state, skinkey::kRO) == 0;
    p.fillRect(r.adjusted(1, 1, -1, -1), on     ? QColor(70, 90, 120)
                                         : over ? QColor(50, 54, 62)
                                                : QColor(32, 34, 40));
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(10);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, text);
}

void CPreviewVideoCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    if (file_ < 0) return;
    if (large_) drawLargeView(p);
    else drawPageView(p);
}

void CPreviewVideoCtrl::drawPageView(QPainter& p) {
    if (page_.empty() && !building_) {
        // A recording without frame positions (or unreadable) says so rather than show nothing.
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(15);
        p.setFont(f);
        p.setPen(QColor(200, 200, 200));
        p.drawText(gridRect(), Qt::AlignCenter, tr("No pictures in this recording"));
    }
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(10);
    p.setFont(small);
    for (int k = 0; k < int(page_.size()); ++k) {
        const QRect cell = pictureRect(k).adjusted(3, 3, -3, -3);
        p.fillRect(cell, kCell);
        const QImage& img = slots_[std::size_t(k)].image;
        if (!img.isNull()) {
            const QSize s = img.size().scaled(cell.size(), Qt::KeepAspectRatio);
            QRect r(QPoint(0, 0), s);
            r.moveCenter(cell.center());
            p.drawImage(r, img);
        }
        const QDateTime t = QDateTime::fromSecsSinceEpoch(fileStart() + page_[std::size_t(k)]);
        const QRect label(cell.left() + 4, cell.bottom() - 15, cell.width() - 8, 14);
        p.setPen(Qt::black);
        p.drawText(label.translated(1, 1), Qt::AlignLeft | Qt::AlignVCenter,
                   t.toString(QStringLiteral("HH:mm:ss")));
        p.setPen(Qt::white);
        p.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, t.toString(QStringLiteral("HH:mm:ss")));
        if (k == hover_) {
            p.setPen(QPen(kHoverFrame, 2));
            p.drawRect(cell.adjusted(1, 1, -1, -1));
        }
    }

    const int x0 = barX();
    const int y = height() - 30;
    const QPixmap bg = skin_ ? skin_->bitmap(QLatin1String(skinkey::m_pbmPBG)) : QPixmap();
    if (!bg.isNull()) p.drawPixmap(x0, y, bg);
    else p.fillRect(x0, y, 720, 30, QColor(18, 20, 24));

    auto stateOf = [this](int code, bool on) -> const char* {
        if (pressed_ == code && hover_ == code) return skinkey::kCK;
        if (on) return skinkey::kON;
        if (hover_ == code) return skinkey::kRO;
        return skinkey::kNM;
    };
    const QString sec = QLatin1String(skinkey::m_pbmPSec);
    for (int i = 0; i < 8; ++i) {
        const int code = Interval1 + i;
        const int seconds = kIntervals[i];
        drawButton(p, elementRect(code), sec + QLatin1String(secondsKey(seconds)),
                   stateOf(code, interval_ == seconds), QString::number(seconds) + QLatin1Char('s'));
    }
    const std::pair<int, int> speeds[] = {{Speed1, 1}, {Speed2, 2}, {Speed3, 3}, {Speed5, 5}};
    for (const auto& [code, seconds] : speeds)
        drawButton(p, elementRect(code), sec + QLatin1String(secondsKey(seconds)),
                   stateOf(code, playInterval_ == seconds), QString::number(seconds) + QLatin1Char('s'));
    const QString nav = QLatin1String(skinkey::m_pbmPNav_);
    const std::pair<int, const char*> navs[] = {
        {FirstPage, "PF"}, {PreviousPage, "PB"}, {PreviousFrame, "FB"}, {NextFrame, "FN"},
        {NextPage, "PN"},  {LastPage, "PL"},     {AutoPreview, "PA"}};
    const char* arrows[] = {"|<<", "<<", "<", ">", ">>", ">>|", "Auto"};
    int n = 0;
    for (const auto& [code, key] : navs)
        drawButton(p, elementRect(code), nav + QLatin1String(key),
                   stateOf(code, code == AutoPreview && autoTimer_.isActive()), QLatin1String(arrows[n++]));
}

void CPreviewVideoCtrl::drawLargeView(QPainter& p) {
    const QRect area(0, 0, width(), std::max(0, height() - kLargeBarHeight));
    if (!largeImage_.isNull()) {
        const QSize s = largeImage_.size().scaled(area.size(), Qt::KeepAspectRatio);
        QRect r(QPoint(0, 0), s);
        r.moveCenter(area.center());
        p.drawImage(r, largeImage_);
    } else if (!largeSettled_) {
        QFont big(QStringLiteral("Arial"));
        big.setPixelSize(30);
        p.setFont(big);
        p.setPen(QColor(200, 200, 200));
        p.drawText(area, Qt::AlignCenter, tr("Prepare Previews"));
    }
    const int x0 = barX();
    const int y = height() - kLargeBarHeight;
    const QPixmap bg = skin_ ? skin_->bitmap(QLatin1String(skinkey::m_pbmPBG2)) : QPixmap();
    if (!bg.isNull()) p.drawPixmap(x0, y, bg);
    else p.fillRect(x0, y, kLargeBarWidth, kLargeBarHeight, QColor(18, 20, 24));
    auto stateOf = [this](int code) -> const char* {
        if (pressed_ == code && hover_ == code) return skinkey::kCK;
        return hover_ == code ? skinkey::kRO : skinkey::kNM;
    };
    const QString nav = QLatin1String(skinkey::m_pbmPNav_);
    drawButton(p, elementRect(LargePrevious), nav + QLatin1String("FB"), stateOf(LargePrevious),
               QStringLiteral("<"));
    drawButton(p, elementRect(LargeNext), nav + QLatin1String("FN"), stateOf(LargeNext), QStringLiteral(">"));
    drawButton(p, elementRect(LargeBack), nav + QLatin1String("BACK"), stateOf(LargeBack), tr("Back"));
    drawButton(p, elementRect(LargePlay), nav + QLatin1String("PLAY"), stateOf(LargePlay), tr("Play"));
}
