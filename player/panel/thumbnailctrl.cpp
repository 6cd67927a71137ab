#include "thumbnailctrl.h"

#include "framegrabber.h"
#include "language.h"
#include "skin.h"
#include "skinkeys.h"
#include "videolibrary.h"

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSet>

#include <algorithm>

namespace {

QDateTime local(std::int64_t s)
{
    return QDateTime::fromSecsSinceEpoch(s);
}

QString fmt(std::int64_t s, const char* pattern)
{
    return local(s).toString(QLatin1String(pattern));
}

QFont makeFont(const QString& family, int px, bool bold = false)
{
    QFont f(family);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

const QColor kBack(16, 18, 22);
const QColor kText(214, 218, 224);
const QColor kDim(150, 156, 166);
const QColor kChosen(38, 60, 96);

// Event colours: Alarm, Emergency, Motion, Time.
QColor eventColour(std::uint8_t events)
{
    if (events & 0x01) return QColor(220, 70, 60);
    if (events & 0x02) return QColor(235, 150, 40);
    if (events & 0x04) return QColor(70, 180, 90);
    if (events & 0x08) return QColor(80, 140, 230);
    return QColor(110, 116, 126);
}

int ceilDiv(int a, int b)
{
    return b <= 0 ? 0 : (a + b - 1) / b;
}

}  // namespace

CThumbnailCtrl::CThumbnailCtrl(CVideoLibrary& library, QWidget* parent)
    : QWidget(parent), library_(library), grabber_(new CAsyncFrameGrabber(this))
{
    setObjectName(QLatin1String(skinkey::m_ThumbnailCtrl));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (isJapaneseUi()) {
        titleFont_ = makeFont(QStringLiteral("MS PGothic"), 14, true);
        textFont_ = makeFont(QStringLiteral("MS PGothic"), 12);
    } else {
        titleFont_ = makeFont(QStringLiteral("Arial Black"), 14);
        textFont_ = makeFont(QStringLiteral("Arial"), 13);
    }
    boldFont_ = makeFont(QStringLiteral("Arial"), 14, true);
    smallFont_ = makeFont(QStringLiteral("Arial"), 11);
    smallBoldFont_ = makeFont(QStringLiteral("Arial"), 10, true);
    tinyFont_ = makeFont(QStringLiteral("Arial"), 10);
    blackFont_ = makeFont(QStringLiteral("Arial Black"), 12);
    connect(grabber_, &CAsyncFrameGrabber::grabbed, this, &CThumbnailCtrl::onGrabbed);
    connect(grabber_, &CAsyncFrameGrabber::toolProblem, this, &CThumbnailCtrl::toolProblem);
}

CThumbnailCtrl::~CThumbnailCtrl() = default;

void CThumbnailCtrl::setSkin(const CSkin* skin)
{
    skin_ = skin;
    update();
}

int CThumbnailCtrl::rows() const
{
    return std::max(0, (height() - kBarHeight) / kRowHeight);
}

int CThumbnailCtrl::pageCount() const
{
    return ceilDiv(int(shown_.size()), rows());
}

int CThumbnailCtrl::calendarItemsPerPage() const
{
    const int r = rows();
    return r == 6 ? 1 : std::max(1, r - 6);
}

int CThumbnailCtrl::calendarItemPageCount() const
{
    return ceilDiv(int(calItems_.size()), calendarItemsPerPage());
}

std::vector<int> CThumbnailCtrl::calendarPageItems() const
{
    const int per = calendarItemsPerPage();
    std::vector<int> out;
    for (int k = calItemPage_ * per; k < int(calItems_.size()) && k < (calItemPage_ + 1) * per; ++k)
        out.push_back(calItems_[std::size_t(k)]);
    return out;
}

int CThumbnailCtrl::picturesPending() const
{
    return int(pending_.size());
}

bool CThumbnailCtrl::passes(int file) const
{
    return (library_.eventSummary(file) & mask_) != 0;
}

void CThumbnailCtrl::setPage(int page)
{
    page_ = std::clamp(page, 0, 2);
    pressed_ = -1;
    refresh(-1, -1);
}

bool CThumbnailCtrl::isListed(int file) const
{
    return file >= 0 && file < library_.fileCount() && passes(file);
}

void CThumbnailCtrl::setFilterBit(int bit, bool on)
{
    mask_ &= ~bit;
    if (on) mask_ |= bit;
    pressed_ = -1;
    if (!isListed(selected_)) selected_ = -1;
    refresh(-1, -1);
}

void CThumbnailCtrl::setFilterMask(int mask)
{
    mask_ = mask & 15;
    refresh(-1, -1);
}

void CThumbnailCtrl::markSelection(int file)
{
    selected_ = file;
    update();
}

void CThumbnailCtrl::clearSelection()
{
    selected_ = -1;
    pressed_ = -1;
    update();
}

void CThumbnailCtrl::resetForOpen()
{
    grabber_->cancelPending();
    pending_.clear();
    pictures_.clear();
    failed_.clear();
    grabsAsked_ = 0;
    mask_ = 15;
    selected_ = -1;
    pressed_ = -1;
    lastSlot_ = -1;
    calItemPage_ = 0;
    // The calendar opens on the newest recording that is listed.
    rebuildShown();
    calDate_ = !shown_.empty() ? library_.startTime(shown_.front()) : QDateTime::currentSecsSinceEpoch();
    refresh(0, calDate_);
}

void CThumbnailCtrl::rebuildShown()
{
    shown_.clear();
    for (int i = 0; i < library_.fileCount(); ++i)
        if (passes(i)) shown_.push_back(i);
}

void CThumbnailCtrl::rebuildCalendar()
{
    slotFlags_.fill(0);
    slotEvents_.fill(0);
    calItems_.clear();
    const QDate day = local(calDate_).date();
    auto mark = [&](std::int64_t t, int file) {
        const QDateTime dt = local(t);
        if (dt.date() != day) return;
        const int slot = dt.time().hour() * 2 + (dt.time().minute() > 29 ? 1 : 0);
        slotFlags_[std::size_t(slot)] = 1;
        slotEvents_[std::size_t(slot)] |= library_.eventSummary(file);
    };
    for (int file : shown_) {
        const std::int64_t start = library_.startTime(file), end = library_.endTime(file);
        mark(start, file);
        mark(end, file);
        const bool touches = local(start).date() == day || local(end).date() == day;
        if (touches && end >= calDate_ && start <= calDate_ + 1800) calItems_.push_back(file);
    }
    const int count = calendarItemPageCount();
    if (calItemPage_ < 0) calItemPage_ = std::max(0, count - 1);
    if (calItemPage_ >= count) calItemPage_ = 0;
}

void CThumbnailCtrl::refresh(int listPage, std::int64_t calendarDate)
{
    if (listPage >= 0) listPage_ = listPage;
    if (calendarDate >= 0) calDate_ = calendarDate;
    rebuildShown();
    const int count = pageCount();
    listPage_ = count == 0 ? 0 : std::clamp(listPage_, 0, count - 1);
    rebuildCalendar();
    requestPictures();
    update();
}

void CThumbnailCtrl::requestPictures()
{
    std::vector<int> visible;
    if (page_ == ListPage) {
        const int r = rows();
        for (int k = listPage_ * r; k < int(shown_.size()) && k < (listPage_ + 1) * r; ++k)
            visible.push_back(shown_[std::size_t(k)]);
    } else if (page_ == CalendarPage) {
        visible = calendarPageItems();
    }
    for (int file : visible) {
        if (pictures_.contains(file)) continue;
        const GrabJob job = FrameGrabber::makeJob(library_, file, kPictureSize, -1);
        const QString qpath = QString::fromStdString(job.cachePath);
        // Only a picture of this very recording: a same-named file of the
        // folder opened before may have left one under the same name.
        if (const std::string cached = grabber_->cachedPicture(job); !cached.empty()) {
            QImage img(QString::fromStdString(cached));
            if (!img.isNull()) {
                pictures_.insert(file, QPixmap::fromImage(img));
                continue;
            }
        }
        if (library_.damaged(file) || failed_.contains(file) || pending_.contains(qpath)) continue;
        pending_.insert(qpath, file);
        ++grabsAsked_;
        grabber_->request(job);
    }
    if (!pending_.isEmpty())
        emit statusText(tr("Preparing Pictures (%1/%2)").arg(grabsAsked_ - int(pending_.size())).arg(grabsAsked_));
}

void CThumbnailCtrl::onGrabbed(const QString& cachePath, const QString& result)
{
    auto it = pending_.find(cachePath);
    if (it == pending_.end()) return;  // asked before the last open
    const int file = it.value();
    pending_.erase(it);
    QImage img;
    if (!result.isEmpty() && result != QLatin1String("ERR")) img.load(result);
    if (img.isNull()) failed_.insert(file);
    else pictures_.insert(file, QPixmap::fromImage(img));
    if (pending_.isEmpty()) {
        grabsAsked_ = 0;
        emit statusText(QString());
    } else {
        emit statusText(tr("Preparing Pictures (%1/%2)").arg(grabsAsked_ - int(pending_.size())).arg(grabsAsked_));
    }
    update();
}

QString CThumbnailCtrl::pageBarText() const
{
    const int count = pageCount();
    if (page_ == CalendarPage)
        return QString::asprintf("%d / %d", calendarItemPageCount() == 0 ? 0 : calItemPage_ + 1,
                                 calendarItemPageCount());
    if (count == 0) return QStringLiteral("0 / 0");
    if (hoverX_ >= 0) {
        const int p = trackPageAt(hoverX_);
        const int r = rows();
        const int last = std::min(int(shown_.size()) - 1, (p + 1) * r - 1);
        const QString when = fmt(library_.startTime(shown_[std::size_t(last)]), "yyyy-MM-dd HH:mm:ss");
        return QString::asprintf("%3d / %3d (%s)", p + 1, count, qPrintable(when));
    }
    return QString::asprintf("%3d / %3d", listPage_ + 1, count);
}

int CThumbnailCtrl::trackPageAt(int x) const
{
    const int count = pageCount();
    if (count == 0) return 0;
    return std::clamp((x - 30) * count / 213, 0, count - 1);
}

QStringList CThumbnailCtrl::infoLines() const
{
    const int n = library_.fileCount();
    std::uint64_t bytes = 0;
    std::int64_t seconds = 0;
    int a = 0, m = 0, e = 0, t = 0;
    for (int i = 0; i < n; ++i) {
        bytes += library_.fileSize(i);
        seconds += library_.length(i);
        const std::uint8_t s = library_.eventSummary(i);
        a += (s & 0x01) != 0;
        e += (s & 0x02) != 0;
        m += (s & 0x04) != 0;
        t += (s & 0x08) != 0;
    }
    // Damaged recordings have no times: they would make the period start in 1970.
    std::int64_t first = 0, last = 0;
    bool any = false;
    for (int i = 0; i < n; ++i) {
        if (library_.damaged(i) || library_.startTime(i) <= 0) continue;
        first = any ? std::min(first, library_.startTime(i)) : library_.startTime(i);
        last = any ? std::max(last, library_.endTime(i)) : library_.endTime(i);
        any = true;
    }
    const std::int64_t period = std::max<std::int64_t>(0, last - first);
    const QString pcs = tr("pcs");
    QStringList lines;
    lines << tr("File Information");
    lines << QStringLiteral("- %1 : %2 %3").arg(tr("Total Number of Files")).arg(n).arg(pcs);
    lines << QStringLiteral("- %1 : %2 MB").arg(tr("Total Memory Size")).arg(bytes / 1048576);
    lines << QString::asprintf("- %s : %d:%02d:%02d", qPrintable(tr("Total Recording Time")), int(seconds / 3600),
                               int(seconds / 60 % 60), int(seconds % 60));
    const std::int64_t rest = period % 86400;
    lines << QString::asprintf("- %s : %d%s %d:%02d:%02d", qPrintable(tr("Total Recording Period")),
                               int(period / 86400), qPrintable(tr("day(s)")), int(rest / 3600), int(rest / 60 % 60),
                               int(rest % 60));
    lines << QStringLiteral("- %1 : %2").arg(tr("Start Time"), any ? fmt(first, "yyyy/MM/dd HH:mm:ss") : QString());
    lines << QStringLiteral("- %1 : %2").arg(tr("Finish Time"), any ? fmt(last, "yyyy/MM/dd HH:mm:ss") : QString());
    lines << tr("Event Information (File Count)");
    lines << QStringLiteral("- Event A : %1 %2").arg(a).arg(pcs);
    lines << QStringLiteral("- Event M : %1 %2").arg(m).arg(pcs);
    lines << QStringLiteral("- Event E : %1 %2").arg(e).arg(pcs);
    lines << QStringLiteral("- Event T : %1 %2").arg(t).arg(pcs);
    return lines;
}

QStringList CThumbnailCtrl::rowTexts(int file) const
{
    const std::int64_t start = library_.startTime(file);
    const int len = library_.length(file);
    return {fmt(start, "yyyy-MM-dd"), fmt(start, "HH:mm:ss"),
            QString::asprintf("(%2d%s %2d%s)", len / 60, qPrintable(tr("m")), len % 60, qPrintable(tr("s"))),
            QString::asprintf("%d x %d (%dFPS)", library_.width(file), library_.height(file), library_.frameRate(file)),
            QString::fromStdString(library_.fileName(file))};
}

// ---------------------------------------------------------------- drawing

void CThumbnailCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kBack);
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (page_) {
    case ListPage: drawList(p); break;
    case CalendarPage: drawCalendar(p); break;
    default: drawInfo(p); break;
    }
}

void CThumbnailCtrl::drawRow(QPainter& p, int file, int top)
{
    if (file == selected_) p.fillRect(QRect(0, top, kWidth, kRowHeight), kChosen);
    // Mark area.
    p.setPen(kDim);
    p.setBrush(library_.marked(file) ? QBrush(QColor(240, 200, 60)) : Qt::NoBrush);
    p.drawEllipse(QRectF(3, top + 33, 10, 10));
    // Picture in a one-pixel grey frame.
    const QRect frame(15, top + 1, 110, 76);
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::black);
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    auto it = pictures_.constFind(file);
    if (it != pictures_.constEnd()) {
        p.drawPixmap(frame.adjusted(1, 1, -1, -1), it.value());
    } else {
        p.setFont(tinyFont_);
        p.setPen(kDim);
        const bool waiting = pending_.key(file, QString()).size() > 0;
        p.drawText(frame, Qt::AlignCenter,
                   library_.damaged(file) ? tr("Damaged") : waiting ? tr("Loading...") : QString());
    }
    const QStringList t = rowTexts(file);
    p.setPen(kText);
    p.setFont(boldFont_);
    p.drawText(QPoint(130, top + 15), t[0]);
    p.setFont(smallFont_);
    p.drawText(QRect(210, top + 3, kWidth - 212, 16), Qt::AlignLeft | Qt::AlignVCenter, t[1]);
    p.drawText(QPoint(130, top + 32), t[2]);
    const int bar = std::min(100, library_.length(file) * 65 / 1800);
    p.fillRect(QRect(200, top + 24, std::max(1, bar), 6), QColor(80, 140, 230));
    p.setPen(kDim);
    p.drawText(QRect(130, top + 36, 106, 16), Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(t[3], Qt::ElideRight, 106));
    p.setFont(tinyFont_);
    p.drawText(QRect(130, top + 54, 104, 16), Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(t[4], Qt::ElideMiddle, 104));
    // A, M, E, T squares.
    const std::uint8_t s = library_.eventSummary(file);
    const struct { int bit; int x; int y; const char* letter; } kinds[] = {
        {0x01, 238, 38, "A"}, {0x04, 252, 38, "M"}, {0x02, 238, 52, "E"}, {0x08, 252, 52, "T"}};
    p.setFont(makeFont(QStringLiteral("Arial"), 9, true));
    for (const auto& k : kinds) {
        const QRect sq(k.x, top + k.y, 12, 12);
        p.fillRect(sq, (s & k.bit) ? eventColour(std::uint8_t(k.bit)) : QColor(36, 40, 48));
        p.setPen((s & k.bit) ? Qt::white : QColor(70, 76, 86));
        p.drawText(sq, Qt::AlignCenter, QLatin1String(k.letter));
    }
}

void CThumbnailCtrl::drawPageBar(QPainter& p)
{
    const int top = pageBarTop();
    p.fillRect(QRect(0, top, kWidth, kBarHeight), QColor(24, 27, 33));
    auto button = [&](const char* base, int x, int code, int pressedCode) {
        const char* state = skinkey::kNM;
        if (pressed_ == pressedCode) state = skinkey::kCK;
        else if (hoverCode_ == code) state = skinkey::kRO;
        const QPixmap pm = skin_ ? skin_->bitmap(QLatin1String(base) + QLatin1String(state)) : QPixmap();
        if (!pm.isNull()) {
            p.drawPixmap(x, top, pm);
        } else {
            p.setPen(kText);
            p.setFont(boldFont_);
            p.drawText(QRect(x, top, 30, 30), Qt::AlignCenter, code == 301 ? QStringLiteral("<") : QStringLiteral(">"));
        }
    };
    button(skinkey::m_pbmThumbPagePrev, 0, 301, 302);
    button(skinkey::m_pbmThumbPageNext, 244, 303, 304);
    if (page_ == ListPage && pageCount() > 0) {
        // The track shows where the current page lies.
        const int count = pageCount();
        const int x0 = 30 + listPage_ * 213 / count, x1 = 30 + (listPage_ + 1) * 213 / count;
        p.fillRect(QRect(x0, top + 26, std::max(2, x1 - x0), 3), QColor(80, 140, 230));
    }
    p.setPen(kText);
    p.setFont(hoverX_ >= 0 && page_ == ListPage ? tinyFont_ : smallBoldFont_);
    p.drawText(QRect(30, top, 214, kBarHeight), Qt::AlignCenter, pageBarText());
}

void CThumbnailCtrl::drawList(QPainter& p)
{
    const int r = rows();
    for (int row = 0; row < r; ++row) {
        const int k = listPage_ * r + row;
        if (k >= int(shown_.size())) break;
        drawRow(p, shown_[std::size_t(k)], row * kRowHeight);
        p.fillRect(QRect(0, row * kRowHeight + kRowHeight - 1, kWidth, 1), QColor(30, 33, 40));
    }
    if (shown_.empty()) {
        p.setPen(kDim);
        p.setFont(textFont_);
        p.drawText(QRect(0, 20, kWidth, 40), Qt::AlignCenter,
                   library_.fileCount() ? tr("No recordings for this filter") : tr("No recordings opened"));
    }
    drawPageBar(p);
}

void CThumbnailCtrl::drawCalendar(QPainter& p)
{
    const QPixmap bg = skin_ ? skin_->bitmap(QLatin1String(skinkey::m_pbmThumbCalBg)) : QPixmap();
    if (!bg.isNull()) p.drawPixmap(QRect(0, 0, 274, 465), bg);
    const QDateTime now = local(calDate_);
    const QDate date = now.date();
    p.setPen(kText);
    p.setFont(titleFont_);
    p.drawText(QRect(44, 1, 185, 20), Qt::AlignCenter, now.toString(QStringLiteral("yyyy/MM")));
    if (bg.isNull()) {
        p.setFont(boldFont_);
        p.drawText(QRect(7, 3, 37, 16), Qt::AlignCenter, QStringLiteral("<"));
        p.drawText(QRect(229, 3, 37, 16), Qt::AlignCenter, QStringLiteral(">"));
    }
    // Days with recordings of the filter.
    QSet<int> busyDays;
    for (int file : shown_)
        for (std::int64_t t : {library_.startTime(file), library_.endTime(file)}) {
            const QDate d = local(t).date();
            if (d.year() == date.year() && d.month() == date.month()) busyDays.insert(d.day());
        }
    const int firstWeekday = QDate(date.year(), date.month(), 1).dayOfWeek() % 7;  // Sunday 0
    p.setFont(smallFont_);
    for (int day = 1; day <= date.daysInMonth(); ++day) {
        const int idx = day - 1 + firstWeekday;
        const QRect cell(7 + idx % 7 * 37, 33 + idx / 7 * 18, 37, 18);
        if (day == date.day()) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(80, 140, 230));
            p.drawRoundedRect(QRectF(cell).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
        } else if (hoverCode_ == 101 + idx - firstWeekday) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(44, 50, 60));
            p.drawRoundedRect(QRectF(cell).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
        }
        p.setPen(busyDays.contains(day) ? QColor(255, 255, 255) : kDim);
        QFont f = smallFont_;
        f.setBold(busyDays.contains(day));
        p.setFont(f);
        p.drawText(cell, Qt::AlignCenter, QString::number(day));
    }
    // Half-hour slots.
    const int chosenSlot = now.time().hour() * 2 + (now.time().minute() > 29 ? 1 : 0);
    for (int s = 0; s < 48; ++s) {
        const int within = s % 24;
        const int x = (s < 24 ? 37 : 167) + (within % 2) * 50;
        const int y = 162 + within / 2 * 24;
        const QRectF cell(x + 1, y + 2, 48, 20);
        if (slotFlags_[std::size_t(s)]) {
            p.setPen(Qt::NoPen);
            p.setBrush(eventColour(slotEvents_[std::size_t(s)]));
            p.drawRoundedRect(cell.adjusted(3, 3, -3, -3), 3, 3);
        }
        if (s == chosenSlot) {
            p.setPen(QPen(Qt::white, 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(cell, 3, 3);
        }
    }
    if (bg.isNull()) {
        p.setPen(kDim);
        p.setFont(tinyFont_);
        for (int h = 0; h < 12; ++h) {
            p.drawText(QRect(7, 162 + h * 24, 28, 24), Qt::AlignCenter, QString::number(h));
            p.drawText(QRect(137, 162 + h * 24, 28, 24), Qt::AlignCenter, QString::number(h + 12));
        }
    }
    // Recordings of the chosen half hour.
    const std::vector<int> items = calendarPageItems();
    // A short panel shows the first item cut off at the page bar.
    p.save();
    p.setClipRect(QRect(0, kCalendarItemsTop, kWidth, std::max(0, pageBarTop() - kCalendarItemsTop)));
    for (std::size_t k = 0; k < items.size(); ++k) {
        const int top = kCalendarItemsTop + int(k) * kRowHeight;
        if (top >= pageBarTop()) break;
        drawRow(p, items[k], top);
    }
    p.restore();
    drawPageBar(p);
}

void CThumbnailCtrl::drawInfo(QPainter& p)
{
    const QStringList lines = infoLines();
    int y = 12;
    for (int i = 0; i < lines.size(); ++i) {
        const bool heading = i == 0 || i == 7;
        if (i == 7) y += 16;
        p.setPen(heading ? QColor(255, 255, 255) : kText);
        p.setFont(heading ? titleFont_ : textFont_);
        const QRect r(heading ? 10 : 14, y, kWidth - 20, heading ? 26 : 22);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, p.fontMetrics().elidedText(lines[i], Qt::ElideRight, r.width()));
        y += heading ? 30 : 22;
    }
}

// ---------------------------------------------------------------- mouse

void CThumbnailCtrl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    refresh(-1, -1);
}

int CThumbnailCtrl::listRowAt(QPoint pos) const
{
    if (pos.y() < 0 || pos.y() >= pageBarTop()) return -1;
    const int row = pos.y() / kRowHeight;
    if (row >= rows()) return -1;
    const int k = listPage_ * rows() + row;
    return k < int(shown_.size()) ? k : -1;
}

int CThumbnailCtrl::calendarHitCode(QPoint pos) const
{
    const int x = pos.x(), y = pos.y();
    const int top = pageBarTop();
    if (y >= top && y < top + kBarHeight) {
        if (x >= 0 && x < 30) return 301;
        if (x >= 244 && x < 274) return 303;
        return 0;
    }
    if (y >= 3 && y <= 18) {
        if (x >= 7 && x <= 44) return 1;
        if (x >= 229 && x <= 266) return 2;
    }
    if (x >= 7 && x < 266 && y >= 33 && y < 141) {
        const QDate date = local(calDate_).date();
        const int firstWeekday = QDate(date.year(), date.month(), 1).dayOfWeek() % 7;
        const int day = (y - 33) / 18 * 7 + (x - 7) / 37 - firstWeekday + 1;
        if (day >= 1 && day <= date.daysInMonth()) return 100 + day;
        return 0;
    }
    for (int half = 0; half < 2; ++half) {
        const int x0 = half ? 167 : 37;
        if (x >= x0 && x < x0 + 100 && y >= 162 && y < 162 + 12 * 24) {
            const int slot = half * 24 + (y - 162) / 24 * 2 + (x - x0) / 50;
            return slotFlags_[std::size_t(slot)] ? 200 + slot : 0;
        }
    }
    if (y >= kCalendarItemsTop && y < top) {
        const int item = (y - kCalendarItemsTop) / kRowHeight;
        if (item < int(calendarPageItems().size())) return 1001 + item;
    }
    return 0;
}

void CThumbnailCtrl::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    pressedInMark_ = pos.x() < 16;
    if (page_ == ListPage) {
        const int top = pageBarTop();
        if (pos.y() >= top && pos.x() >= 30 && pos.x() < 244) {
            if (pageCount() > 0) refresh(trackPageAt(pos.x()), -1);
            pressed_ = -1;
            return;
        }
        if (pos.y() >= top) {
            pressed_ = pos.x() < 30 ? 302 : pos.x() >= 244 ? 304 : -1;
        } else {
            pressed_ = listRowAt(pos);
        }
    } else if (page_ == CalendarPage) {
        const int code = calendarHitCode(pos);
        pressed_ = code == 301 ? 302 : code == 303 ? 304 : code ? code : -1;
    }
    update();
}

void CThumbnailCtrl::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint pos = e->position().toPoint();
    const int top = pageBarTop();
    int hoverX = -1;
    int code = 0;
    if (page_ == ListPage) {
        if (pos.y() >= top && pos.x() >= 30 && pos.x() < 244) hoverX = pos.x();
        if (pos.y() >= top) code = pos.x() < 30 ? 301 : pos.x() >= 244 ? 303 : 0;
    } else if (page_ == CalendarPage) {
        code = calendarHitCode(pos);
    }
    if (hoverX != hoverX_ || code != hoverCode_) {
        hoverX_ = hoverX;
        hoverCode_ = code;
        update();
    }
}

void CThumbnailCtrl::leaveEvent(QEvent*)
{
    hoverX_ = -1;
    hoverCode_ = 0;
    update();
}

void CThumbnailCtrl::choose(int file, bool markArea)
{
    if (markArea) {
        library_.setMarked(file, !library_.marked(file));
        pressed_ = -1;
        update();
        return;
    }
    selected_ = file;
    refresh(-1, -1);
    emit fileChosen(file);
}

void CThumbnailCtrl::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    const int was = pressed_;
    pressed_ = -1;
    if (page_ == ListPage) {
        const int top = pageBarTop();
        const int count = pageCount();
        if (pos.y() >= top) {
            if (was == 302 && pos.x() < 30 && count > 0) refresh(listPage_ == 0 ? count - 1 : listPage_ - 1, -1);
            else if (was == 304 && pos.x() >= 244 && count > 0) refresh(listPage_ + 1 >= count ? 0 : listPage_ + 1, -1);
            update();
            return;
        }
        const int k = listRowAt(pos);
        if (k >= 0 && k == was) choose(shown_[std::size_t(k)], pressedInMark_ && pos.x() < 16);
        update();
        return;
    }
    if (page_ != CalendarPage) return;
    int code = calendarHitCode(pos);
    if (code == 301) code = 302;
    if (code == 303) code = 304;
    if (code == 0 || code != was) {
        update();
        return;
    }
    const QDateTime now = local(calDate_);
    if (code == 1 || code == 2) {
        setCalendarMonth(code == 1 ? -1 : 1);
    } else if (code >= 101 && code <= 131) {
        calItemPage_ = 0;
        refresh(-1, calDate_ + std::int64_t(code - 100 - now.date().day()) * 86400);
    } else if (code >= 200 && code < 248) {
        const int slot = code - 200;
        const QDateTime at(now.date(), QTime(slot / 2, slot % 2 ? 30 : 0));
        calItemPage_ = slot == lastSlot_ ? calItemPage_ + 1 : 0;
        lastSlot_ = slot;
        refresh(-1, at.toSecsSinceEpoch());
    } else if (code >= 1001) {
        const std::vector<int> items = calendarPageItems();
        const std::size_t item = std::size_t(code - 1001);
        if (item < items.size()) choose(items[item], pressedInMark_ && pos.x() < 16);
    } else if (code == 302) {
        --calItemPage_;
        refresh(-1, -1);
    } else if (code == 304) {
        ++calItemPage_;
        refresh(-1, -1);
    }
    update();
}

void CThumbnailCtrl::setCalendarMonth(int delta)
{
    const QDateTime now = local(calDate_);
    int year = now.date().year(), month = now.date().month() + delta;
    if (month < 1) {
        month = 12;
        --year;
    } else if (month > 12) {
        month = 1;
        ++year;
    }
    // A day beyond the month's end carries over into the next month, as the
    // platform's local-time conversion does.
    const QDate first(year, month, 1);
    const QDateTime moved(first.addDays(now.date().day() - 1), now.time());
    calItemPage_ = 0;
    lastSlot_ = -1;
    refresh(-1, moved.toSecsSinceEpoch());
}
