#include "panelcalendarpage.h"

#include "panelpagebar.h"
#include "panelrow.h"
#include "skin.h"
#include "skinkeys.h"
#include "videolibrary.h"

#include <QPainter>
#include <QSet>

using namespace panel;

namespace {

// Sunday 0.
int weekdayOfFirst(const QDate& date) { return QDate(date.year(), date.month(), 1).dayOfWeek() % 7; }

int slotOf(const QDateTime& t) { return t.time().hour() * 2 + (t.time().minute() > 29 ? 1 : 0); }

}  // namespace

void CPanelCalendarPage::resetForOpen(std::int64_t date) {
    date_ = date;
    itemPage_ = 0;
    lastSlot_ = -1;
}

void CPanelCalendarPage::refresh(std::int64_t date) {
    if (date >= 0) date_ = date;
    rebuild();
}

void CPanelCalendarPage::rebuild() {
    slotFlags_.fill(0);
    slotEvents_.fill(0);
    items_.clear();
    const QDate day = local(date_).date();
    auto mark = [&](std::int64_t t, int file) {
        const QDateTime dt = local(t);
        if (dt.date() != day) return;
        const int slot = slotOf(dt);
        slotFlags_[std::size_t(slot)] = 1;
        slotEvents_[std::size_t(slot)] |= ctx_.library.eventSummary(file);
    };
    for (int file : ctx_.shown) {
        const std::int64_t start = ctx_.library.startTime(file), end = ctx_.library.endTime(file);
        mark(start, file);
        mark(end, file);
        const bool touches = local(start).date() == day || local(end).date() == day;
        if (touches && end >= date_ && start <= date_ + 1800) items_.push_back(file);
    }
    // Below the first page is the last, beyond the last the first.
    const int count = itemPageCount();
    if (itemPage_ < 0) itemPage_ = std::max(0, count - 1);
    if (itemPage_ >= count) itemPage_ = 0;
}

int CPanelCalendarPage::itemsPerPage() const {
    const int r = ctx_.rows();
    const int rows = r == 6 ? 1 : std::max(1, r - 6);
    return rows >= 3 ? rows - 1 : rows;
}

QRect CPanelCalendarPage::timelineRect() const {
    const int r = ctx_.rows();
    if (r < 9) return {};
    return QRect(0, ctx_.pageBarTop() - kRowHeight, kWidth, kRowHeight);
}

int CPanelCalendarPage::itemPageCount() const { return ceilDiv(int(items_.size()), itemsPerPage()); }

std::vector<int> CPanelCalendarPage::pageItems() const {
    const int per = itemsPerPage();
    std::vector<int> out;
    for (int k = itemPage_ * per; k < int(items_.size()) && k < (itemPage_ + 1) * per; ++k)
        out.push_back(items_[std::size_t(k)]);
    return out;
}

QString CPanelCalendarPage::pageBarText() const {
    const int count = itemPageCount();
    return QString::asprintf("%d / %d", count == 0 ? 0 : itemPage_ + 1, count);
}

// ---------------------------------------------------------------- mouse

int CPanelCalendarPage::gridDayAt(QPoint pos) const {
    const QDate date = local(date_).date();
    const int day = (pos.y() - 33) / 18 * 7 + (pos.x() - 7) / 37 - weekdayOfFirst(date) + 1;
    return day >= 1 && day <= date.daysInMonth() ? day : 0;
}

int CPanelCalendarPage::hitCode(QPoint pos) const {
    const int x = pos.x(), y = pos.y();
    const int top = ctx_.pageBarTop();
    if (y >= top && y < top + kBarHeight) return x >= 0 && x < kWidth ? CPanelPageBar::buttonAt(x) : 0;
    if (y >= 3 && y <= 18) {
        if (x >= 7 && x <= 44) return kPrevMonth;
        if (x >= 229 && x <= 266) return kNextMonth;
    }
    if (x >= 7 && x < 266 && y >= 33 && y < 141) {
        const int day = gridDayAt(pos);
        return day ? kDayBase + day : 0;
    }
    for (int half = 0; half < 2; ++half) {
        const int x0 = half ? 167 : 37;
        if (x >= x0 && x < x0 + 100 && y >= 162 && y < 162 + 12 * 24) {
            const int slot = half * 24 + (y - 162) / 24 * 2 + (x - x0) / 50;
            return slotFlags_[std::size_t(slot)] ? kSlotBase + slot : 0;
        }
    }
    if (y >= kItemsTop && y < top) {
        const int item = (y - kItemsTop) / kRowHeight;
        if (item < int(pageItems().size())) return kItemBase + item;
    }
    return 0;
}

int CPanelCalendarPage::pressCode(QPoint pos) const {
    const int code = hitCode(pos);
    if (const int pressed = CPanelPageBar::pressedCode(code)) return pressed;
    return code ? code : -1;
}

Action CPanelCalendarPage::release(QPoint pos, int pressed) {
    const int code = pressCode(pos);
    if (code < 0 || code != pressed) return {};
    if (code == kPrevMonth || code == kNextMonth) return moveMonth(code == kPrevMonth ? -1 : 1);
    if (code > kDayBase && code <= kDayBase + 31) {
        itemPage_ = 0;
        return Action::refresh(-1, date_ + std::int64_t(code - kDayBase - local(date_).date().day()) * 86400);
    }
    if (code >= kSlotBase && code < kSlotBase + 48) return chooseSlot(code - kSlotBase);
    if (code >= kItemBase) {
        const std::vector<int> items = pageItems();
        const std::size_t item = std::size_t(code - kItemBase);
        if (item >= items.size()) return {};
        return Action::choose(items[item], ctx_.pointer.pressedInMark && pos.x() < kMarkAreaWidth);
    }
    if (code == CPanelPageBar::kPrevPressed) --itemPage_;
    else if (code == CPanelPageBar::kNextPressed) ++itemPage_;
    else return {};
    return Action::refresh(-1, -1);
}

Action CPanelCalendarPage::moveMonth(int delta) {
    const QDateTime now = local(date_);
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
    itemPage_ = 0;
    lastSlot_ = -1;
    return Action::refresh(-1, moved.toSecsSinceEpoch());
}

Action CPanelCalendarPage::chooseSlot(int slot) {
    // The same slot again shows its next page of items.
    const QDateTime at(local(date_).date(), QTime(slot / 2, slot % 2 ? 30 : 0));
    itemPage_ = slot == lastSlot_ ? itemPage_ + 1 : 0;
    lastSlot_ = slot;
    return Action::refresh(-1, at.toSecsSinceEpoch());
}

// ---------------------------------------------------------------- drawing

void CPanelCalendarPage::paint(QPainter& p) const {
    const bool background = drawMonthTitle(p);
    drawDays(p);
    drawSlots(p, background);
    drawItems(p);
    CPanelPageBar::draw(p, ctx_, {pageBarText()});
}

bool CPanelCalendarPage::drawMonthTitle(QPainter& p) const {
    const QPixmap bg = ctx_.skin ? ctx_.skin->bitmap(QLatin1String(skinkey::m_pbmThumbCalBg)) : QPixmap();
    if (!bg.isNull()) p.drawPixmap(QRect(0, 0, 274, 465), bg);
    p.setPen(kText);
    p.setFont(ctx_.fonts.title);
    p.drawText(QRect(44, 1, 185, 20), Qt::AlignCenter, local(date_).toString(QStringLiteral("yyyy/MM")));
    if (bg.isNull()) {
        p.setFont(ctx_.fonts.bold);
        p.drawText(QRect(7, 3, 37, 16), Qt::AlignCenter, QStringLiteral("<"));
        p.drawText(QRect(229, 3, 37, 16), Qt::AlignCenter, QStringLiteral(">"));
    }
    return !bg.isNull();
}

void CPanelCalendarPage::drawDays(QPainter& p) const {
    const QDate date = local(date_).date();
    // Days with recordings of the filter.
    QSet<int> busyDays;
    for (int file : ctx_.shown)
        for (std::int64_t t : {ctx_.library.startTime(file), ctx_.library.endTime(file)}) {
            const QDate d = local(t).date();
            if (d.year() == date.year() && d.month() == date.month()) busyDays.insert(d.day());
        }
    const int firstWeekday = weekdayOfFirst(date);
    for (int day = 1; day <= date.daysInMonth(); ++day) {
        const int idx = day - 1 + firstWeekday;
        const QRect cell(7 + idx % 7 * 37, 33 + idx / 7 * 18, 37, 18);
        const bool chosen = day == date.day();
        if (chosen || ctx_.pointer.hover.code == kDayBase + day) {
            p.setPen(Qt::NoPen);
            p.setBrush(chosen ? kAccent : QColor(44, 50, 60));
            p.drawRoundedRect(QRectF(cell).adjusted(1.5, 1.5, -1.5, -1.5), 3, 3);
        }
        p.setPen(busyDays.contains(day) ? QColor(255, 255, 255) : kDim);
        QFont f = ctx_.fonts.small;
        f.setBold(busyDays.contains(day));
        p.setFont(f);
        p.drawText(cell, Qt::AlignCenter, QString::number(day));
    }
}

void CPanelCalendarPage::drawSlots(QPainter& p, bool background) const {
    const int chosenSlot = slotOf(local(date_));
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
    if (background) return;
    // Without the background the hours are written beside the slots.
    p.setPen(kDim);
    p.setFont(ctx_.fonts.tiny);
    for (int h = 0; h < 12; ++h) {
        p.drawText(QRect(7, 162 + h * 24, 28, 24), Qt::AlignCenter, QString::number(h));
        p.drawText(QRect(137, 162 + h * 24, 28, 24), Qt::AlignCenter, QString::number(h + 12));
    }
}

void CPanelCalendarPage::drawItems(QPainter& p) const {
    // Recordings of the chosen half hour; a short panel shows the first item
    // cut off at the page bar.
    const std::vector<int> items = pageItems();
    const int barTop = ctx_.pageBarTop();
    p.save();
    p.setClipRect(QRect(0, kItemsTop, kWidth, std::max(0, barTop - kItemsTop)));
    for (std::size_t k = 0; k < items.size(); ++k) {
        const int top = kItemsTop + int(k) * kRowHeight;
        if (top >= barTop) break;
        CPanelRow::draw(p, ctx_, items[k], top);
    }
    p.restore();
}
