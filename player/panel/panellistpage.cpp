#include "panellistpage.h"

#include "panelpagebar.h"
#include "panelrow.h"
#include "videolibrary.h"

#include <QPainter>

using namespace panel;

int CPanelListPage::pageCount() const { return ceilDiv(int(ctx_.shown.size()), ctx_.rows()); }

void CPanelListPage::refresh(int page) {
    if (page >= 0) page_ = page;
    const int count = pageCount();
    page_ = count == 0 ? 0 : std::clamp(page_, 0, count - 1);
}

std::vector<int> CPanelListPage::visibleFiles() const {
    std::vector<int> out;
    const int r = ctx_.rows();
    for (int k = page_ * r; k < int(ctx_.shown.size()) && k < (page_ + 1) * r; ++k)
        out.push_back(ctx_.shown[std::size_t(k)]);
    return out;
}

QString CPanelListPage::pageBarText() const {
    const int count = pageCount();
    if (count == 0) return QStringLiteral("0 / 0");
    if (ctx_.pointer.hover.x >= 0) {
        const int p = CPanelPageBar::trackPageAt(ctx_.pointer.hover.x, count);
        const int last = std::min(int(ctx_.shown.size()) - 1, (p + 1) * ctx_.rows() - 1);
        const QString when =
            fmt(ctx_.library.startTime(ctx_.shown[std::size_t(last)]), "yyyy-MM-dd HH:mm:ss");
        return QString::asprintf("%3d / %3d (%s)", p + 1, count, qPrintable(when));
    }
    return QString::asprintf("%3d / %3d", page_ + 1, count);
}

void CPanelListPage::paint(QPainter& p) const {
    const int r = ctx_.rows();
    for (int row = 0; row < r; ++row) {
        const int k = page_ * r + row;
        if (k >= int(ctx_.shown.size())) break;
        CPanelRow::draw(p, ctx_, ctx_.shown[std::size_t(k)], row * kRowHeight);
        p.fillRect(QRect(0, row * kRowHeight + kRowHeight - 1, kWidth, 1), QColor(30, 33, 40));
    }
    if (ctx_.shown.empty()) {
        p.setPen(kDim);
        p.setFont(ctx_.fonts.text);
        p.drawText(
            QRect(0, 20, kWidth, 40), Qt::AlignCenter,
            ctx_.library.fileCount() ? tr("No recordings for this filter") : tr("No recordings opened"));
    }
    CPanelPageBar::draw(p, ctx_, {pageBarText(), page_, pageCount(), ctx_.pointer.hover.x >= 0});
}

int CPanelListPage::rowAt(QPoint pos) const {
    if (pos.y() < 0 || pos.y() >= ctx_.pageBarTop()) return -1;
    const int row = pos.y() / kRowHeight;
    if (row >= ctx_.rows()) return -1;
    const int k = page_ * ctx_.rows() + row;
    return k < int(ctx_.shown.size()) ? k : -1;
}

Action CPanelListPage::press(QPoint pos) {
    if (pos.y() >= ctx_.pageBarTop()) {
        if (CPanelPageBar::onTrack(pos.x())) {
            ctx_.pointer.pressed = -1;
            const int count = pageCount();
            return count > 0 ? Action::refresh(CPanelPageBar::trackPageAt(pos.x(), count), -1) : Action{};
        }
        ctx_.pointer.pressed = CPanelPageBar::pressedCode(CPanelPageBar::buttonAt(pos.x()));
    } else {
        ctx_.pointer.pressed = rowAt(pos);
    }
    return {};
}

Hover CPanelListPage::hoverAt(QPoint pos) const {
    Hover h;
    if (pos.y() >= ctx_.pageBarTop()) {
        if (CPanelPageBar::onTrack(pos.x())) h.x = pos.x();
        h.code = CPanelPageBar::buttonAt(pos.x());
    }
    return h;
}

Action CPanelListPage::release(QPoint pos, int pressed) const {
    if (pos.y() >= ctx_.pageBarTop()) {
        const int count = pageCount();
        const int button = CPanelPageBar::buttonAt(pos.x());
        if (count == 0 || button == 0 || CPanelPageBar::pressedCode(button) != pressed) return {};
        // Past either end the pages wrap around.
        if (button == CPanelPageBar::kPrev) return Action::refresh(page_ == 0 ? count - 1 : page_ - 1, -1);
        return Action::refresh(page_ + 1 >= count ? 0 : page_ + 1, -1);
    }
    const int k = rowAt(pos);
    if (k < 0 || k != pressed) return {};
    return Action::choose(ctx_.shown[std::size_t(k)], ctx_.pointer.pressedInMark && pos.x() < kMarkAreaWidth);
}
