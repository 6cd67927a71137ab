#include "helpctrl.h"

#include "language.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace {
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kListGrey = 0xFFE6E6E6;
constexpr QRgb kShownFill = 0xFFFFFFC8;
constexpr QRgb kShownFrame = 0xFF646464;
constexpr QRgb kHoverFrame = 0xFF787878;
constexpr QRgb kArrowPen = 0x6478AADC;
// Pages are drawn at this size whatever their files hold.
constexpr QSize kPageSize(720, 960);
}  // namespace

CHelpCtrl::CHelpCtrl(const QString& folder, QWidget* parent) : QWidget(parent), folder_(folder) {
    setObjectName(QStringLiteral("helpCtrl"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const bool japanese = isJapaneseUi();
    chapterFont_ = QFont(japanese ? QStringLiteral("MS PGothic") : QStringLiteral("Arial"));
    chapterFont_.setPixelSize(14);
    chapterFont_.setBold(true);
    sectionFont_ = QFont(chapterFont_.family());
    sectionFont_.setPixelSize(japanese ? 13 : 11);
    load();
}

void CHelpCtrl::load() {
    QFile file(QDir(folder_).filePath(QStringLiteral("help.ini")));
    if (!file.open(QIODevice::ReadOnly)) return;
    opened_ = true;
    HelpBook book = parseHelpIni(file.readAll());
    items_ = std::move(book.items);
    problems_ = book.problems;
    for (const HELPITEM& item : items_)
        if (item.selectable && !QFileInfo::exists(QDir(folder_).filePath(item.image)))
            problems_ << tr("The page image %1 of \"%2\" is missing.").arg(item.image, item.title);
    shown_ = firstSelectable(items_);
}

const QImage& CHelpCtrl::pageImage(const QString& name) {
    auto it = pages_.find(name);
    if (it == pages_.end()) {
        QImage image(QDir(folder_).filePath(name));
        if (!image.isNull() && image.size() != kPageSize)
            image = image.scaled(kPageSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        it = pages_.insert(name, image);
    }
    return it.value();
}

void CHelpCtrl::showItem(int index) {
    if (index < 0 || index >= int(items_.size()) || !items_[std::size_t(index)].selectable) return;
    shown_ = index;
    keepShownInView();
    drawPage();
    emit shownItemChanged(index);
}

void CHelpCtrl::showNext() { showItem(nextSelectable(items_, shown_)); }

void CHelpCtrl::showPrevious() { showItem(previousSelectable(items_, shown_)); }

void CHelpCtrl::scrollList(int rows) {
    const int most = std::max(0, int(items_.size()) - visibleRows());
    const int top = std::clamp(listTop_ + rows, 0, most);
    if (top == listTop_) return;
    listTop_ = top;
    drawPage();
}

void CHelpCtrl::keepShownInView() {
    const int rows = std::max(1, visibleRows());
    if (shown_ < 0) return;
    // The heading just above a section stays in view with it where it can.
    if (shown_ < listTop_) listTop_ = std::max(0, shown_ - 1);
    else if (shown_ >= listTop_ + rows) listTop_ = shown_ - rows + 1;
    listTop_ = std::clamp(listTop_, 0, std::max(0, int(items_.size()) - rows));
}

int CHelpCtrl::targetAt(QPoint pos) const {
    if (!rect().contains(pos)) return None;
    if (pos.x() >= 6 && pos.x() <= 174) {
        const int row = pos.y() / kRowHeight + listTop_;
        if (row < int(items_.size()) && items_[std::size_t(row)].selectable) return row;
        return None;
    }
    if (pos.x() > kListWidth) return pos.y() <= height() / 2 ? Previous : Next;
    return None;
}

void CHelpCtrl::drawPage() {
    if (size().isEmpty()) return;
    // Sharp on a scaled screen: the surface has the screen's pixels.
    const qreal dpr = devicePixelRatioF();
    surface_ = QImage((QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    surface_.setDevicePixelRatio(dpr);
    surface_.fill(kWhite);
    QPainter p(&surface_);
    p.fillRect(QRect(0, 0, kListWidth, height()), QColor::fromRgba(kListGrey));
    for (int i = listTop_; i < int(items_.size()); ++i) {
        const int y = kRowHeight * (i - listTop_);
        if (y >= height()) break;
        const HELPITEM& item = items_[std::size_t(i)];
        if (i == shown_) {
            p.fillRect(QRect(5, y, 170, kRowHeight), QColor::fromRgba(kShownFill));
            p.setPen(QColor::fromRgba(kShownFrame));
            p.drawRect(QRect(5, y, 170 - 1, kRowHeight - 1));
        }
        int x = -1;
        if (item.kind == QLatin1String("CHAPTER")) {
            p.setFont(chapterFont_);
            x = 5;
        } else if (item.kind == QLatin1String("SECTION")) {
            p.setFont(sectionFont_);
            x = 15;
        }
        if (x < 0) continue;
        p.setPen(Qt::black);
        const QRect box(x, y + 2, 175 - x, kRowHeight - 2);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop,
                   p.fontMetrics().elidedText(item.title, Qt::ElideRight, box.width()));
    }
    // Small marks at the column's edge say the contents go on above or below.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 120, 120));
    if (listTop_ > 0) p.drawPolygon(QPolygon({QPoint(173, 8), QPoint(179, 8), QPoint(176, 3)}));
    if (listTop_ + visibleRows() < int(items_.size()))
        p.drawPolygon(
            QPolygon({QPoint(173, height() - 8), QPoint(179, height() - 8), QPoint(176, height() - 3)}));
    p.setBrush(Qt::NoBrush);
    if (shown_ >= 0) {
        const HELPITEM& item = items_[std::size_t(shown_)];
        const QImage& page = pageImage(item.image);
        if (!page.isNull()) {
            p.setClipRect(QRect(185, 10, 720, item.height + 10));
            p.drawImage(QPoint(155, 20 - item.offset), page);
        }
    }
    p.end();
    update();
}

void CHelpCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (surface_.deviceIndependentSize() != QSizeF(size())) drawPage();
    p.drawImage(QPointF(0, 0), surface_);
    if (hover_ == None) return;
    if (hover_ >= 0) {
        p.setPen(QColor::fromRgba(kHoverFrame));
        p.drawRect(QRect(5, (hover_ - listTop_) * kRowHeight, 170 - 1, kRowHeight - 1));
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor::fromRgba(kArrowPen), 10));
    const int half = height() / 2;
    if (hover_ == Previous) {
        p.drawArc(QRect(845, 10, 50, 40), 0, 180 * 16);
        p.drawLine(840, 45, 900, 45);
    } else {
        p.drawArc(QRect(845, 2 * half - 50, 50, 40), 180 * 16, 180 * 16);
        p.drawLine(840, 2 * half - 45, 900, 2 * half - 45);
    }
}

void CHelpCtrl::resizeEvent(QResizeEvent*) {
    keepShownInView();
    drawPage();
}

void CHelpCtrl::setHover(int target) {
    if (target == hover_) return;
    hover_ = target;
    update();
}

void CHelpCtrl::mouseMoveEvent(QMouseEvent* e) { setHover(targetAt(e->position().toPoint())); }

void CHelpCtrl::leaveEvent(QEvent*) { setHover(None); }

void CHelpCtrl::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    setHover(targetAt(e->position().toPoint()));
    pressed_ = hover_;
}

void CHelpCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const int target = targetAt(e->position().toPoint());
    const int pressed = pressed_;
    pressed_ = None;
    if (target == None || target != pressed) return;
    if (target == Next) showNext();
    else if (target == Previous) showPrevious();
    else showItem(target);
}

void CHelpCtrl::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 120;
    if (steps == 0) return;
    // Over the contents the wheel scrolls the list, over the page it turns pages.
    if (e->position().x() < kListWidth) scrollList(-3 * steps);
    else if (steps < 0) showNext();
    else showPrevious();
    e->accept();
}

void CHelpCtrl::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Down:
    case Qt::Key_PageDown:
    case Qt::Key_Space: showNext(); break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
    case Qt::Key_Backspace: showPrevious(); break;
    case Qt::Key_Home: showItem(firstSelectable(items_)); break;
    case Qt::Key_End: showItem(lastSelectable(items_)); break;
    default: QWidget::keyPressEvent(e); return;
    }
    e->accept();
}
