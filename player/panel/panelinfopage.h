// The information page: totals and event counts of every catalogue file,
// whatever the filter.
#pragma once

#include "panelcontext.h"

#include <QCoreApplication>
#include <QStringList>

class QPainter;

class CPanelInfoPage {
    Q_DECLARE_TR_FUNCTIONS(CThumbnailCtrl)
public:
    explicit CPanelInfoPage(const panel::Context& ctx) : ctx_(ctx) {}

    // Heading, six totals, heading, four event counts.
    QStringList lines() const;
    void paint(QPainter& p) const;

private:
    const panel::Context& ctx_;
};
