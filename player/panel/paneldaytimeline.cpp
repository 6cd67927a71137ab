#include "paneldaytimeline.h"

#include "eventspans.h"
#include "panelcontext.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <array>

namespace {

constexpr int kMargin = 8;
constexpr int kTrackTop = 20;
constexpr int kTrackHeight = 34;
// Four rows of event marks above the bands, one per kind.
constexpr int kMarkRow = 3;
constexpr int kMarksHeight = 4 * kMarkRow + 2;

std::int64_t startOfDay(std::int64_t t) {
    return QDateTime(panel::local(t).date(), QTime(0, 0)).toSecsSinceEpoch();
}

}  // namespace

CPanelDayTimeline::CPanelDayTimeline(const panel::Context& ctx, QWidget* parent)
    : QWidget(parent), ctx_(ctx) {
    setObjectName(QStringLiteral("DayTimeline"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(tr("Click to play the recording at that time; the wheel zooms in to one hour"));
}

void CPanelDayTimeline::setDay(std::int64_t date) {
    const std::int64_t start = date > 0 ? startOfDay(date) : 0;
    if (start != dayStart_) {
        dayStart_ = start;
        // The next day's midnight, whatever daylight saving does to the length.
        dayEnd_ = QDateTime(panel::local(start).date().addDays(1), QTime(0, 0)).toSecsSinceEpoch();
        viewStart_ = dayStart_;
        viewSpan_ = dayEnd_ - dayStart_;
    }
    reload();
}

void CPanelDayTimeline::reload() {
    std::vector<Band> bands;
    std::vector<std::string> paths;
    for (int f : ctx_.shown) {
        const std::int64_t s = ctx_.library.startTime(f);
        const std::int64_t e = std::max(ctx_.library.endTime(f), s);
        if (s == 0 || e < dayStart_ || s >= dayEnd_) continue;
        bands.push_back({f, s, e, ctx_.library.eventSummary(f)});
        paths.push_back(ctx_.library.filePath(f));
    }
    // The panel refreshes on every click; the events are read again only
    // when the day's recordings changed.
    const bool same =
        paths == paths_ && bands.size() == bands_.size() &&
        std::equal(bands.begin(), bands.end(), bands_.begin(), [](const Band& a, const Band& b) {
            return a.file == b.file && a.start == b.start && a.end == b.end;
        });
    bands_ = std::move(bands);
    if (same) {
        update();
        return;
    }
    paths_ = paths;
    marks_.clear();
    if (!paths.empty()) {
        events_.scanFileList(paths);
        for (int i = 0; i < events_.fileCount(); ++i) {
            if (events_.damaged(i) || !events_.readVideoInfo(i)) continue;
            for (const EventSpan& span : eventSpans(events_.events(), events_.framePositions()))
                marks_.push_back({span.start, span.end, span.kind});
        }
    }
    update();
}

void CPanelDayTimeline::setPlaybackTime(std::int64_t seconds) {
    if (seconds == playback_) return;
    playback_ = seconds;
    update();
}

QRect CPanelDayTimeline::track() const {
    return QRect(kMargin, kTrackTop, std::max(1, width() - 2 * kMargin), kTrackHeight);
}

int CPanelDayTimeline::xForTime(std::int64_t t) const {
    const QRect r = track();
    return r.left() + int((t - viewStart_) * r.width() / std::max<std::int64_t>(1, viewSpan_));
}

std::int64_t CPanelDayTimeline::timeAtX(int x) const {
    const QRect r = track();
    return viewStart_ + std::int64_t(x - r.left()) * viewSpan_ / r.width();
}

int CPanelDayTimeline::recordingAt(std::int64_t t) const {
    // A recording shorter than a pixel is still hit when the click is on its pixel.
    const std::int64_t slack = viewSpan_ / track().width();
    int best = -1;
    std::int64_t bestDistance = 0;
    for (const Band& b : bands_) {
        const std::int64_t d = t < b.start ? b.start - t : t > b.end ? t - b.end : 0;
        if (d > slack) continue;
        if (best < 0 || d < bestDistance) {
            best = b.file;
            bestDistance = d;
        }
    }
    return best;
}

void CPanelDayTimeline::clampView() {
    viewSpan_ = std::clamp(viewSpan_, kClosest, dayEnd_ - dayStart_);
    viewStart_ = std::clamp(viewStart_, dayStart_, dayEnd_ - viewSpan_);
}

void CPanelDayTimeline::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 120;
    if (steps == 0 || dayStart_ == 0) return;
    // The time under the pointer stays where it is.
    const int x = int(e->position().x());
    const std::int64_t pivot = timeAtX(x);
    std::int64_t span = viewSpan_;
    for (int k = 0; k < std::abs(steps); ++k) span = steps > 0 ? span / 2 : span * 2;
    viewSpan_ = span;
    clampView();
    viewStart_ = pivot - std::int64_t(x - track().left()) * viewSpan_ / track().width();
    clampView();
    e->accept();
    update();
}

void CPanelDayTimeline::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !track().adjusted(0, -12, 0, 12).contains(e->position().toPoint()))
        return;
    const std::int64_t t = timeAtX(e->position().toPoint().x());
    const int file = recordingAt(t);
    if (file >= 0) emit timeChosen(file, qint64(t));
}

void CPanelDayTimeline::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), panel::kBack);
    const QRect r = track();
    p.setFont(ctx_.fonts.small);
    p.setPen(panel::kDim);
    if (dayStart_ == 0) return;
    p.drawText(QRect(kMargin, 2, r.width(), 16), Qt::AlignLeft | Qt::AlignVCenter,
               panel::fmt(dayStart_, "yyyy/MM/dd"));
    const std::int64_t hours = viewSpan_ / 3600;
    p.drawText(QRect(kMargin, 2, r.width(), 16), Qt::AlignRight | Qt::AlignVCenter,
               hours >= 24 ? tr("24 hours") : tr("%1 h").arg(double(viewSpan_) / 3600.0, 0, 'g', 3));
    p.fillRect(r, QColor(28, 31, 38));

    // Ticks with labels, spaced for the zoom.
    const std::int64_t step = viewSpan_ > 12 * 3600  ? 3 * 3600
                              : viewSpan_ > 4 * 3600 ? 3600
                              : viewSpan_ > 3600     ? 1800
                                                     : 600;
    for (std::int64_t t = dayStart_; t <= dayEnd_; t += step) {
        if (t < viewStart_ || t > viewStart_ + viewSpan_) continue;
        const int x = xForTime(t);
        p.setPen(QColor(70, 76, 88));
        p.drawLine(x, r.top(), x, r.bottom() + 4);
        p.setPen(panel::kDim);
        // A label that would not fit whole is left out rather than crowd its neighbour.
        const QRect label(x - 20, r.bottom() + 4, 40, 14);
        if (label.left() >= 0 && label.right() < width())
            p.drawText(label, Qt::AlignCenter, panel::fmt(t, "HH:mm"));
    }

    p.setClipRect(r);
    for (const Band& b : bands_) {
        const int x1 = xForTime(b.start), x2 = std::max(x1 + 3, xForTime(b.end + 1));
        const bool chosen = b.file == ctx_.selected;
        p.fillRect(QRect(x1, r.top() + 8, x2 - x1, r.height() - 8),
                   chosen ? panel::kAccent : QColor(90, 104, 128));
    }
    // Event marks above the bands, one row per kind.
    const std::array<std::uint8_t, 4> kinds = {0x01, 0x02, 0x04, 0x08};
    for (const Mark& m : marks_) {
        const int row = int(std::find(kinds.begin(), kinds.end(), m.kind) - kinds.begin());
        const int x1 = xForTime(m.start), x2 = std::max(x1 + 2, xForTime(m.end + 1));
        p.fillRect(QRect(x1, r.top() + 1 + row * kMarkRow, x2 - x1, kMarkRow - 1),
                   panel::eventColour(m.kind));
    }
    p.setClipping(false);

    if (playback_ >= viewStart_ && playback_ <= viewStart_ + viewSpan_) {
        const int x = xForTime(playback_);
        p.setPen(QPen(QColor(255, 255, 255), 2));
        p.drawLine(x, r.top() - 4, x, r.bottom() + 2);
        p.setBrush(QColor(255, 255, 255));
        p.setPen(Qt::NoPen);
        p.drawPolygon(
            QPolygon({QPoint(x - 4, r.top() - 8), QPoint(x + 4, r.top() - 8), QPoint(x, r.top() - 3)}));
    }
}
