// An image-skinned push button: set 1 (normal, hover, pressed), an optional
// set 2 shown while the button is not active, optional centred text.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

// A picture flattened onto an opaque black background.
QPixmap opaqueOnBlack(const QImage& image);

class CSkinButton : public QWidget {
    Q_OBJECT
public:
    enum class Image { None, Set1Normal, Set1Hover, Set1Pressed, Set2Normal, Set2Hover, Set2Pressed };

    explicit CSkinButton(QWidget* parent = nullptr, int id = 0);

    int id() const { return id_; }
    void setId(int id) { id_ = id; }

    void setImages(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed);
    bool loadImages(const QString& normalFile, const QString& hoverFile, const QString& pressedFile);
    // In-memory pictures; transparent parts become black.
    void setImages(const QImage& normal, const QImage& hover, const QImage& pressed);
    void setImages2(const QImage& normal, const QImage& hover, const QImage& pressed);
    void setImages2(const QPixmap& normal);
    void setImages2(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed);
    bool hasImages2() const { return set2Loaded_; }

    // 2 image button, 3 toggle, 4 and 6 also draw the text.
    void setMode(int mode);
    int mode() const { return mode_; }

    void setActive(bool on);
    bool active() const { return active_; }

    // The three kept colours, then the text colours for normal, hover, pressed.
    void setColours(const QColor& k1, const QColor& k2, const QColor& k3, const QColor& normal,
                    const QColor& hover, const QColor& pressed);
    void setText(const QString& text);
    QString text() const { return text_; }
    void setTooltipText(const QString& text, bool active = true);
    QString tooltipText() const { return tooltip_; }

    bool isHovered() const { return hover_; }
    bool isPressed() const { return pressed_; }
    // What the next paint shows, by the drawing rules.
    Image currentImage() const;
    QColor currentTextColour() const;
    QPixmap currentPixmap() const;

    QSize sizeHint() const override;

signals:
    // Sent on release over the button, with the button's id.
    void commandSent(int id);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    void enterHover();
    void leaveHover();

    int id_ = 0;
    QPixmap set1_[3];
    QPixmap set2_[3];
    bool set2Loaded_ = false;
    int mode_ = 2;
    bool active_ = true;
    bool hover_ = false;
    bool pressed_ = false;
    bool tracking_ = false;
    QColor kept_[3] = {Qt::white, Qt::white, Qt::white};
    QColor textNormal_ = Qt::white;
    QColor textHover_ = Qt::white;
    QColor textPressed_ = Qt::white;
    QString text_;
    QString tooltip_;
};
