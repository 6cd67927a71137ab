#include "skinbutton.h"

#include <QMouseEvent>
#include <QPainter>

QPixmap opaqueOnBlack(const QImage& image) {
    if (image.isNull()) return QPixmap();
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.drawImage(0, 0, image);
    p.end();
    return QPixmap::fromImage(out);
}

CSkinButton::CSkinButton(QWidget* parent, int id) : QWidget(parent), id_(id) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void CSkinButton::setImages(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed) {
    set1_[0] = normal;
    set1_[1] = hover;
    set1_[2] = pressed;
    update();
}

void CSkinButton::setImages(const QImage& normal, const QImage& hover, const QImage& pressed) {
    setImages(opaqueOnBlack(normal), opaqueOnBlack(hover), opaqueOnBlack(pressed));
}

void CSkinButton::setImages2(const QImage& normal, const QImage& hover, const QImage& pressed) {
    setImages2(opaqueOnBlack(normal), opaqueOnBlack(hover), opaqueOnBlack(pressed));
}

bool CSkinButton::loadImages(const QString& normalFile, const QString& hoverFile,
                             const QString& pressedFile) {
    const QPixmap n(normalFile), h(hoverFile), p(pressedFile);
    setImages(n, h, p);
    return !n.isNull() && !h.isNull() && !p.isNull();
}

void CSkinButton::setImages2(const QPixmap& normal) {
    set2_[0] = normal;
    set2_[1] = QPixmap();
    set2_[2] = QPixmap();
    set2Loaded_ = true;
    update();
}

void CSkinButton::setImages2(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed) {
    set2_[0] = normal;
    set2_[1] = hover;
    set2_[2] = pressed;
    set2Loaded_ = true;
    update();
}

void CSkinButton::setMode(int mode) {
    mode_ = mode;
    update();
}

void CSkinButton::setActive(bool on) {
    active_ = on;
    hover_ = false;
    pressed_ = mode_ != 3 && !on;
    update();
}

void CSkinButton::setColours(const QColor& k1, const QColor& k2, const QColor& k3, const QColor& normal,
                             const QColor& hover, const QColor& pressed) {
    kept_[0] = k1;
    kept_[1] = k2;
    kept_[2] = k3;
    textNormal_ = normal;
    textHover_ = hover;
    textPressed_ = pressed;
    update();
}

void CSkinButton::setText(const QString& text) {
    text_ = text;
    update();
}

void CSkinButton::setTooltipText(const QString& text, bool active) {
    tooltip_ = text;
    setToolTip(active ? text : QString());
}

CSkinButton::Image CSkinButton::currentImage() const {
    if (!set2Loaded_ || active_) {
        if (mode_ == 0) return Image::Set1Normal;
        if (hover_) return Image::Set1Hover;
        if (pressed_) return Image::Set1Pressed;
        return Image::Set1Normal;
    }
    if (mode_ != 3) return Image::Set2Normal;
    if (hover_) return Image::Set2Hover;
    if (pressed_) return Image::Set2Pressed;
    return Image::Set2Normal;
}

QColor CSkinButton::currentTextColour() const {
    switch (currentImage()) {
    case Image::Set1Hover:
    case Image::Set2Hover: return textHover_;
    case Image::Set1Pressed:
    case Image::Set2Pressed: return textPressed_;
    default: return textNormal_;
    }
}

QPixmap CSkinButton::currentPixmap() const {
    switch (currentImage()) {
    case Image::Set1Normal: return set1_[0];
    case Image::Set1Hover: return set1_[1];
    case Image::Set1Pressed: return set1_[2];
    case Image::Set2Normal: return set2_[0];
    case Image::Set2Hover: return set2_[1];
    case Image::Set2Pressed: return set2_[2];
    case Image::None: break;
    }
    return QPixmap();
}

QSize CSkinButton::sizeHint() const { return set1_[0].isNull() ? QSize(32, 24) : set1_[0].size(); }

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap pm = currentPixmap();
    if (!pm.isNull()) {
        p.drawPixmap(0, 0, pm);
    } else if (mode_ != 4 && mode_ != 6) {
        // Without its image (broken skin) the button stays findable.
        p.setPen(QColor(90, 96, 108));
        p.setBrush(hover_ ? QColor(38, 43, 51) : QColor(24, 27, 33));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
    if (mode_ == 4 || mode_ == 6) {
        p.setPen(currentTextColour());
        p.setFont(font());
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
    }
}

void CSkinButton::enterHover() {
    tracking_ = true;
    hover_ = true;
    update();
}

void CSkinButton::leaveHover() {
    tracking_ = false;
    hover_ = false;
    pressed_ = false;
    update();
}

void CSkinButton::enterEvent(QEnterEvent*) {
    if (!tracking_) enterHover();
}

void CSkinButton::leaveEvent(QEvent*) {
    if (tracking_) leaveHover();
}

void CSkinButton::mouseMoveEvent(QMouseEvent* e) {
    const bool inside = rect().contains(e->position().toPoint());
    if (tracking_ && !inside) {
        leaveHover();
    } else if (!tracking_ && inside) {
        enterHover();
    } else if (inside && !hover_ && !pressed_ && !(e->buttons() & Qt::LeftButton)) {
        // Back to hover once a command has reset the button under the pointer.
        hover_ = true;
        update();
    }
}

void CSkinButton::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    pressed_ = true;
    hover_ = false;
    update();
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    hover_ = false;
    if (mode_ == 3) pressed_ = false;
    update();
    // A release away from the button cancels the click.
    if (rect().contains(e->position().toPoint())) emit commandSent(id_);
}
