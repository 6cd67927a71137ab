#include "xsliderctrl.h"

#include "skinbutton.h"

#include <QPainter>
#include <QStyleOptionSlider>

CXSliderCtrl::CXSliderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) { setFocusPolicy(Qt::NoFocus); }

void CXSliderCtrl::setBackground(const QPixmap& picture) {
    background_ = opaqueOnBlack(picture.toImage());
    update();
}

QRect CXSliderCtrl::thumbRect() const {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
}

void CXSliderCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!background_.isNull()) p.drawPixmap(0, 0, background_);
    const QRect t = thumbRect().adjusted(0, 1, -1, -2);
    p.fillRect(t, QColor(0x73, 0x73, 0x73));
    // 3-D frame: light top-left, dark bottom-right.
    const QColor light(0xE1, 0xE1, 0xFF);
    const QColor dark(0x40, 0x40, 0x54);
    p.setPen(light);
    p.drawLine(t.topLeft(), t.topRight());
    p.drawLine(t.topLeft(), t.bottomLeft());
    p.setPen(dark);
    p.drawLine(t.bottomLeft(), t.bottomRight());
    p.drawLine(t.topRight(), t.bottomRight());
}
