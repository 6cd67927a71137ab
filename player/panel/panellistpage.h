// The list page: the shown files in rows of 78 pixels, a page at a time,
// with the page bar's track showing where the page lies.
#pragma once

#include "panelcontext.h"

#include <QCoreApplication>

class QPainter;

class CPanelListPage {
    Q_DECLARE_TR_FUNCTIONS(CThumbnailCtrl)
public:
    explicit CPanelListPage(panel::Context& ctx) : ctx_(ctx) {}

    int number() const { return page_; }
    int pageCount() const;
    // After the shown files changed: page -1 keeps the page; either way it is
    // clamped to the last one.
    void refresh(int page);
    std::vector<int> visibleFiles() const;
    // "  1 /   3", or while the pointer is over the track the page under it
    // and the start time of that page's last file.
    QString pageBarText() const;

    void paint(QPainter& p) const;
    panel::Action press(QPoint pos);
    // The hover position on the track (-1 when off it) and the hit code.
    panel::Hover hoverAt(QPoint pos) const;
    panel::Action release(QPoint pos, int pressed) const;

private:
    // Index into the shown files of the row at pos, -1 when none.
    int rowAt(QPoint pos) const;

    panel::Context& ctx_;
    int page_ = 0;
};
