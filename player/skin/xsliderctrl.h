// A horizontal slider drawn over a background picture with a flat thumb
// (the volume slider).
#pragma once

#include <QPixmap>
#include <QSlider>

class CXSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CXSliderCtrl(QWidget* parent = nullptr);
    void setBackground(const QPixmap& picture);
    QPixmap background() const { return background_; }
    QRect thumbRect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap background_;
};
