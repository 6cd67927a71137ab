#include "skinedit.h"

#include <QMouseEvent>
#include <QPalette>

CSkinEdit::CSkinEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setColours(Qt::white, QColor(0x43, 0x43, 0x43));
    connect(this, &QLineEdit::textChanged, this, [this] { repaintParentBehind(); });
}

void CSkinEdit::setColours(const QColor& text, const QColor& background) {
    QPalette pal = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Text, text);
        pal.setColor(group, QPalette::Base, background);
        pal.setColor(group, QPalette::Window, background);
    }
    setPalette(pal);
    setAutoFillBackground(true);
}

void CSkinEdit::mousePressEvent(QMouseEvent* e) {
    repaintParentBehind();
    QLineEdit::mousePressEvent(e);
}

void CSkinEdit::repaintParentBehind() {
    if (parentWidget()) parentWidget()->update(geometry());
}
