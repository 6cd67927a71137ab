// Off-screen drawing: paint into a pixmap of the rectangle's size, copied to
// the target painter when the object goes away (no flicker).
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>

class CMemDC {
public:
    CMemDC(QPainter* target, const QRect& rect);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Draw here, in the target's coordinates.
    QPainter* painter() { return &painter_; }
    QPainter* operator->() { return &painter_; }

private:
    QPainter* target_;
    QRect rect_;
    QPixmap pixmap_;
    QPainter painter_;
};
