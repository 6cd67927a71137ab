// An edit field with its own colours over a skinned parent.
#pragma once

#include <QLineEdit>

class CSkinEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CSkinEdit(QWidget* parent = nullptr);
    // Text and background colours (default white on RGB 67, 67, 67).
    void setColours(const QColor& text, const QColor& background);

protected:
    void mousePressEvent(QMouseEvent* e) override;

private:
    void repaintParentBehind();
};
