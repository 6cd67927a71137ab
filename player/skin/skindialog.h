// Frameless skinned dialogs: background picture by language, rounded shape,
// centred over the main window, dragged by the background with edge snapping.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QRect>
#include <QRegion>

class QPainter;

// Snapping of a dragged window: a bottom (right) edge within 20 pixels of the
// screen height (width) puts the window at screen - snapSize; a top (left)
// edge from -20 to 19 goes to 0. Returns the new top-left corner.
QPoint snapToScreenEdges(const QRect& window, const QSize& screen, const QSize& snapSize);

// Union of rounded rectangles (0,0)-(w+1,300) with corner 24 and
// (0,100)-(w+1,h+1) with corner 18.
QRegion skinDialogShape(int width, int height);

// Rounded rectangle region from corner to corner, ellipse of d x d.
QRegion roundedRegion(const QRect& r, int d);

class CSkinDialog : public QDialog {
    Q_OBJECT
public:
    // baseName "template-backup" picks "<program folder>/template-backup-jp.gif"
    // or "-en.gif" by language.
    CSkinDialog(QWidget* parent, const QString& baseName, const QSize& size, int raiseBy = 0);

    static QString backgroundPath(const QString& baseName);
    bool hasBackground() const { return !background_.isNull(); }
    // Only presses above this y drag the dialog (default: anywhere).
    void setDragLimit(int y) { dragLimit_ = y; }

protected:
    // A background from elsewhere than the program folder (the help folder).
    void setBackground(const QPixmap& picture) { background_ = picture; }
    // Drawn over the background in the same off-screen pass.
    virtual void paintOver(QPainter&) {}
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QPixmap background_;
    int raiseBy_ = 0;
    int dragLimit_ = -1;
    bool dragging_ = false;
    QPoint pressPoint_;
};
