// The calendar page: one month, the half-hour slots of the chosen day in
// which shown recordings start or end, and the recordings of the chosen half
// hour, paged through the page bar.
#pragma once

#include "panelcontext.h"

#include <array>

class QPainter;

class CPanelCalendarPage {
public:
    // Top of the first recording of the chosen half hour.
    static constexpr int kItemsTop = 468;
    // Hit codes: the month arrows, a day (code - 100 is the day), a flagged
    // slot (code - 200 is the slot), an item of the page (code - 1001 is its
    // row); the page bar's buttons use CPanelPageBar's codes.
    static constexpr int kPrevMonth = 1;
    static constexpr int kNextMonth = 2;
    static constexpr int kDayBase = 100;
    static constexpr int kSlotBase = 200;
    static constexpr int kItemBase = 1001;

    explicit CPanelCalendarPage(panel::Context& ctx) : ctx_(ctx) {}

    std::int64_t date() const { return date_; }
    // After an open: the date, item page 0 and no slot chosen before.
    void resetForOpen(std::int64_t date);
    // After the shown files changed: date -1 keeps the date.
    void refresh(std::int64_t date);

    const std::array<int, 48>& slotFlags() const { return slotFlags_; }
    const std::array<std::uint8_t, 48>& slotEvents() const { return slotEvents_; }
    const std::vector<int>& items() const { return items_; }
    int itemsPerPage() const;
    // Where the day timeline goes: the last item row above the page bar when
    // at least two rows are left for items; empty when there is no room.
    QRect timelineRect() const;
    int itemPage() const { return itemPage_; }
    int itemPageCount() const;
    std::vector<int> pageItems() const;
    QString pageBarText() const;

    // Hit code at a point, 0 for none.
    int hitCode(QPoint pos) const;
    void paint(QPainter& p) const;
    // The code a press at pos remembers, -1 for none.
    int pressCode(QPoint pos) const;
    panel::Action release(QPoint pos, int pressed);

private:
    // Marks the slots of the chosen day and collects the chosen half hour's items.
    void rebuild();
    int gridDayAt(QPoint pos) const;
    panel::Action moveMonth(int delta);
    panel::Action chooseSlot(int slot);
    // Whether the month background was drawn.
    bool drawMonthTitle(QPainter& p) const;
    void drawDays(QPainter& p) const;
    void drawSlots(QPainter& p, bool background) const;
    void drawItems(QPainter& p) const;

    panel::Context& ctx_;
    std::int64_t date_ = 0;
    int itemPage_ = 0;
    int lastSlot_ = -1;
    std::array<int, 48> slotFlags_{};
    std::array<std::uint8_t, 48> slotEvents_{};
    std::vector<int> items_;
};
