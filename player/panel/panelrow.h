// One 78-pixel entry of the list and of the calendar's items: mark area,
// picture, times, length, size and rate, file name and event kinds.
#pragma once

#include "panelcontext.h"

#include <QCoreApplication>
#include <QStringList>

class QPainter;

class CPanelRow {
    Q_DECLARE_TR_FUNCTIONS(CThumbnailCtrl)
public:
    // Date, time, length, picture size and rate, file name.
    static QStringList texts(const CVideoLibrary& library, int file);
    static void draw(QPainter& p, const panel::Context& ctx, int file, int top);

private:
    static void drawPicture(QPainter& p, const panel::Context& ctx, int file, int top);
    static void drawEventKinds(QPainter& p, const panel::Context& ctx, int file, int top);
};
