// The help view: the contents list on the left, the shown slice of its page
// image on the right, drawn into an off-screen picture after every change.
#pragma once

#include "helpbook.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QWidget>

class CHelpCtrl : public QWidget {
    Q_OBJECT
public:
    enum Target { None = -1, Next = 1001, Previous = 1002 };
    static constexpr int kRowHeight = 20;
    static constexpr int kListWidth = 180;

    // Reads folder + "help.ini" at once.
    CHelpCtrl(const QString& folder, QWidget* parent = nullptr);

    const std::vector<HELPITEM>& items() const { return items_; }
    // Lines left out of help.ini, and whether the file could be read at all.
    const QStringList& problems() const { return problems_; }
    bool bookOpened() const { return opened_; }
    QString folder() const { return folder_; }

    int shownItem() const { return shown_; }
    void showItem(int index);
    void showNext();
    void showPrevious();
    int hoveredTarget() const { return hover_; }
    // The first list row at the top when the contents are longer than the view.
    int listTop() const { return listTop_; }
    int visibleRows() const { return height() / kRowHeight; }
    void scrollList(int rows);
    // Which target a point of the control is over.
    int targetAt(QPoint pos) const;
    // The drawn page (without hover marks).
    const QImage& surface() const { return surface_; }

signals:
    void shownItemChanged(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void load();
    void drawPage();
    void keepShownInView();
    const QImage& pageImage(const QString& name);
    void setHover(int target);

    QString folder_;
    std::vector<HELPITEM> items_;
    QStringList problems_;
    bool opened_ = false;
    int shown_ = -1;
    int hover_ = None;
    int pressed_ = None;
    int listTop_ = 0;
    QFont chapterFont_;
    QFont sectionFont_;
    QImage surface_;
    QHash<QString, QImage> pages_;
};
