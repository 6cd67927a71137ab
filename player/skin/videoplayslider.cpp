#include "videoplayslider.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSurfaceW = 1600;
constexpr int kSurfaceH = 30;

bool validClock(const QDateTime& t) {
    const QDate d = t.date();
    const QTime c = t.time();
    return d.year() >= 1971 && d.year() <= 2999 && c.isValid();
}
}  // namespace

CVideoPlaySlider::CVideoPlaySlider(const CVideoLibrary& library, QWidget* parent) : CVideoPlaySlider(parent) {
    library_ = &library;
}

CVideoPlaySlider::CVideoPlaySlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent), surface_(kSurfaceW, kSurfaceH) {
    markFont_ = QFont(QStringLiteral("Arial"));
    markFont_.setPointSizeF(6.5);
    surface_.fill(Qt::black);
    setFocusPolicy(Qt::ClickFocus);
    pauseDelay_.setSingleShot(true);
    pauseDelay_.setInterval(200);
    connect(&pauseDelay_, &QTimer::timeout, this, &CVideoPlaySlider::pauseNow);
    connect(this, &QSlider::rangeChanged, this, [this] { redraw(); });
    connect(this, &QSlider::valueChanged, this, [this] { update(); });
}

void CVideoPlaySlider::setSkin(const QPixmap& left, const QPixmap& middle) {
    background_ = QPixmap(kSurfaceW, kSurfaceH);
    background_.fill(Qt::black);
    QPainter p(&background_);
    if (!left.isNull()) p.drawPixmap(0, 0, left);
    const int x0 = left.isNull() ? 0 : left.width();
    if (!middle.isNull() && middle.width() > 0)
        for (int x = x0; x < kSurfaceW; x += middle.width()) p.drawPixmap(x, 0, middle);
    p.end();
    redraw();
}

void CVideoPlaySlider::setRecording(int index) {
    index_ = index;
    clips_.clear();
    events_.clear();
    if (index < 0) {
        name_.clear();
    } else if (library_) {
        const QMR3FILE* f = library_->file(index);
        name_ = f ? QString::fromStdString(f->name) : QString();
        start_ = f ? f->startTime : 0;
        clips_ = library_->clips();
        events_ = library_->events();
    }
    redraw();
}

void CVideoPlaySlider::setRecordingData(int index, const QString& name, qint64 startTime,
                                        std::vector<QMR3VIDEOCLIP> clips, std::vector<QMR3EVENT> events) {
    index_ = index;
    name_ = index < 0 ? QString() : name;
    start_ = startTime;
    clips_ = std::move(clips);
    events_ = std::move(events);
    redraw();
}

void CVideoPlaySlider::setHighlightRange(int first, int last) {
    highlightFirst_ = first;
    highlightLast_ = last;
    redraw();
}

void CVideoPlaySlider::setStartMark(int pos) {
    startMark_ = pos < 0 ? -1 : std::clamp(pos, minimum(), maximum());
    update();
}

void CVideoPlaySlider::setEndMark(int pos) {
    endMark_ = pos < 0 ? -1 : std::clamp(pos, minimum(), maximum());
    update();
}

void CVideoPlaySlider::moveStartMark(int delta) {
    setStartMark(std::clamp((startMark_ < 0 ? value() : startMark_) + delta, minimum(), maximum()));
}

void CVideoPlaySlider::moveEndMark(int delta) {
    setEndMark(std::clamp((endMark_ < 0 ? value() : endMark_) + delta, minimum(), maximum()));
}

void CVideoPlaySlider::clearMarks() {
    startMark_ = -1;
    endMark_ = -1;
    update();
}

// The labels' boxes are sized for a narrow system font; with a wider one the
// text is made smaller rather than cut off.
QFont CVideoPlaySlider::fittedLabelFont(const std::vector<Label>& labels) const {
    QFont f = font();
    for (int pixels = 9;; --pixels) {
        f.setPixelSize(pixels);
        const QFontMetrics metrics(f);
        const bool fits = std::all_of(labels.begin(), labels.end(), [&](const Label& l) {
            return metrics.horizontalAdvance(l.text) <= l.rect.width();
        });
        if (fits || pixels <= 6) return f;
    }
}

CVideoPlaySlider::Timeline CVideoPlaySlider::timeline() const {
    Timeline t;
    if (index_ < 0) return t;
    const double r = range();
    const int w = width();
    const double usable = usableWidth();
    // An empty range or a slider too narrow to draw on shows no time line.
    if (r <= 0 || usable <= 0) return t;
    const double perMinute = usable / (r / 60.0);
    if (perMinute < 0.5) return t;
    for (int k = 0;; ++k) {
        const int x = int(13 + k * perMinute);
        if (x > w) break;
        t.ticks.push_back({x, k % 5 == 0 ? 10 : 5});
        if (k % 5 == 0) {
            int left = x;
            if (left + 35 > w) left = w - 35;
            const QDateTime when = QDateTime::fromSecsSinceEpoch(start_ + 60 * qint64(k));
            t.labels.push_back({QRect(left, 20, 35, 10), when.toString(QStringLiteral("HH:mm:ss"))});
        }
    }
    t.labelFont = fittedLabelFont(t.labels);
    for (const QMR3VIDEOCLIP& c : clips_) {
        if (c.endTime < c.startTime) continue;
        t.clips.push_back(
            {int((c.startTime - start_) * usable / r + 15), int((c.endTime - start_) * usable / r + 15)});
    }
    if (highlightFirst_ >= 0 && highlightLast_ >= 0) {
        t.hasHighlight = true;
        t.highlight = {int(highlightFirst_ * usable / r) + 15, int(highlightLast_ * usable / r) + 15};
    }
    for (const QMR3EVENT& e : events_) {
        const int x = int((e.time - start_) * usable / r + 13);
        if (e.flags & 0x10)
            t.events.push_back(
                {QPolygon({QPoint(x + 2, 9), QPoint(x, 4), QPoint(x + 4, 4)}), QColor(0x50, 0x96, 0x0A)});
        if (e.flags & 0x01)
            t.events.push_back(
                {QPolygon({QPoint(x + 2, 18), QPoint(x, 23), QPoint(x + 4, 23)}), QColor(0xF0, 0x96, 0x08)});
    }
    return t;
}

int CVideoPlaySlider::positionForX(int x) const {
    const double span = width() - 20.0;
    if (span <= 0) return minimum();
    const int pos = int(std::trunc((x - 10) * range() / span));
    return std::clamp(pos, minimum(), maximum());
}

int CVideoPlaySlider::xForPosition(int pos) const {
    const double r = range();
    return r > 0 ? int(pos * usableWidth() / r) + 15 : 15;
}

QPolygon CVideoPlaySlider::thumbPolygon() const {
    const int x = xForPosition(value());
    return QPolygon(
        {QPoint(x - 1, 12), QPoint(x - 4, 17), QPoint(x - 4, 22), QPoint(x + 2, 22), QPoint(x + 2, 17)});
}

void CVideoPlaySlider::redraw() {
    QPainter p(&surface_);
    if (background_.isNull()) surface_.fill(QColor(8, 8, 8));
    else p.drawPixmap(0, 0, background_);
    const Timeline t = timeline();
    for (const Tick& k : t.ticks) {
        p.setPen(Qt::white);
        p.drawLine(k.x, 10, k.x, 10 + k.length - 1);
        p.setPen(QColor(0x96, 0x96, 0x96));
        p.drawLine(k.x + 1, 10, k.x + 1, 10 + k.length - 1);
    }
    p.setPen(QColor(0xAA, 0xAA, 0xAA));
    p.setFont(t.labelFont);
    for (const Label& l : t.labels)
        p.drawText(l.rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, l.text);
    for (const Band& b : t.clips)
        p.fillRect(QRect(QPoint(b.x1, 10), QPoint(b.x2, 12)), QColor(0x66, 0xCC, 0xFF));
    if (t.hasHighlight)
        p.fillRect(QRect(QPoint(t.highlight.x1, 12), QPoint(t.highlight.x2, 14)), QColor(0xFF, 0x00, 0x00));
    p.setRenderHint(QPainter::Antialiasing);
    for (const Mark& m : t.events) {
        p.setPen(m.colour);
        p.setBrush(m.colour);
        p.drawPolygon(m.triangle);
    }
    p.end();
    update();
}

void CVideoPlaySlider::drawMark(QPainter& p, int pos, const QString& letter) const {
    const int h = xForPosition(pos);
    p.setPen(Qt::white);
    p.setBrush(QColor(0x47, 0x93, 0xDF));
    p.drawPolygon(QPolygon({QPoint(h, 12), QPoint(h - 4, 3), QPoint(h + 4, 3)}));
    const QRect box(QPoint(h + 5, 0), QPoint(h + 14, 8));
    p.fillRect(box, Qt::black);
    p.setFont(markFont_);
    p.drawText(box, Qt::AlignCenter, letter);
}

void CVideoPlaySlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, surface_);
    if (index_ < 0) return;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0x32, 0x64, 0xFF));
    p.setBrush(QColor(0x66, 0xCC, 0xFF));
    p.drawPolygon(thumbPolygon());
    if (startMark_ >= 0) drawMark(p, startMark_, QStringLiteral("A"));
    if (endMark_ >= 0) drawMark(p, endMark_, QStringLiteral("B"));
}

void CVideoPlaySlider::resizeEvent(QResizeEvent* e) {
    QSlider::resizeEvent(e);
    redraw();
}

void CVideoPlaySlider::pauseNow() {
    pauseDelay_.stop();
    pressedOnce_ = true;
    if (!(previewMode_ && previewMode_()) && pauseHandler_) pauseHandler_();
}

QString CVideoPlaySlider::timeLabelText() const {
    const QDateTime t = QDateTime::fromSecsSinceEpoch(start_ + value());
    if (!validClock(t)) return QString();
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

void CVideoPlaySlider::showTimeLabel() {
    const QString text = timeLabelText();
    if (text.isEmpty()) return;
    if (!timeLabel_) {
        timeLabel_ = new QLabel(this, Qt::ToolTip);
        timeLabel_->setStyleSheet(
            QStringLiteral("QLabel { background: #1a1d22; color: #e6e9ee; border: 1px solid "
                           "#3d8bfd; padding: 2px 6px; }"));
    }
    timeLabel_->setText(text);
    timeLabel_->adjustSize();
    const QPoint at =
        mapToGlobal(QPoint(xForPosition(value()) - timeLabel_->width() / 2, -timeLabel_->height() - 4));
    timeLabel_->move(at);
    timeLabel_->show();
}

void CVideoPlaySlider::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    setFocus();
    if (positionTimer_) positionTimer_->stop();
    setValue(positionForX(int(e->position().x())));
    update();
    // The pause follows after the viewer's graph has had time to settle; the
    // window keeps running meanwhile, and a release flushes it first.
    pauseDelay_.start();
    tracking_ = true;
    // A dialog that blocks the window takes the mouse without a release here.
    if (QWidget* top = window(); top != this) top->installEventFilter(this);
}

void CVideoPlaySlider::mouseMoveEvent(QMouseEvent* e) {
    if (!tracking_) return;
    setValue(positionForX(int(e->position().x())));
    showTimeLabel();
}

void CVideoPlaySlider::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !tracking_) return;
    if (pauseDelay_.isActive()) pauseNow();
    clearTracking();
    emit commandSent(kCommandId);
}

void CVideoPlaySlider::clearTracking() {
    tracking_ = false;
    if (timeLabel_) timeLabel_->hide();
    if (QWidget* top = window(); top != this) top->removeEventFilter(this);
}

void CVideoPlaySlider::cancelDrag() {
    if (!tracking_) return;
    pauseDelay_.stop();
    clearTracking();
    if (isEnabled() && positionTimer_) positionTimer_->start();
}

void CVideoPlaySlider::changeEvent(QEvent* e) {
    QSlider::changeEvent(e);
    if (e->type() == QEvent::EnabledChange && !isEnabled()) cancelDrag();
}

void CVideoPlaySlider::focusOutEvent(QFocusEvent* e) {
    QSlider::focusOutEvent(e);
    cancelDrag();
}

void CVideoPlaySlider::hideEvent(QHideEvent* e) {
    QSlider::hideEvent(e);
    cancelDrag();
}

bool CVideoPlaySlider::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window() &&
        (event->type() == QEvent::WindowBlocked || event->type() == QEvent::WindowDeactivate))
        cancelDrag();
    return QSlider::eventFilter(watched, event);
}

void CVideoPlaySlider::wheelEvent(QWheelEvent* e) {
    // Seeking goes through the press and release only.
    e->ignore();
}

void CVideoPlaySlider::keyPressEvent(QKeyEvent* e) { e->ignore(); }
