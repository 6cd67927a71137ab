#include "panelpagebar.h"

#include "skin.h"
#include "skinkeys.h"

#include <QPainter>

int CPanelPageBar::buttonAt(int x) { return x < kTrackLeft ? kPrev : x >= kNextLeft ? kNext : 0; }

int CPanelPageBar::trackPageAt(int x, int pageCount) {
    if (pageCount == 0) return 0;
    return std::clamp((x - kTrackLeft) * pageCount / kTrackWidth, 0, pageCount - 1);
}

void CPanelPageBar::draw(QPainter& p, const panel::Context& ctx, const View& view) {
    const int top = ctx.pageBarTop();
    p.fillRect(QRect(0, top, panel::kWidth, panel::kBarHeight), QColor(24, 27, 33));
    auto button = [&](const char* base, int x, int code) {
        const char* state = skinkey::kNM;
        if (ctx.pointer.pressed == pressedCode(code)) state = skinkey::kCK;
        else if (ctx.pointer.hover.code == code) state = skinkey::kRO;
        const QPixmap pm =
            ctx.skin ? ctx.skin->bitmap(QLatin1String(base) + QLatin1String(state)) : QPixmap();
        if (!pm.isNull()) {
            p.drawPixmap(x, top, pm);
        } else {
            p.setPen(panel::kText);
            p.setFont(ctx.fonts.bold);
            p.drawText(QRect(x, top, 30, 30), Qt::AlignCenter,
                       code == kPrev ? QStringLiteral("<") : QStringLiteral(">"));
        }
    };
    button(skinkey::m_pbmThumbPagePrev, 0, kPrev);
    button(skinkey::m_pbmThumbPageNext, kNextLeft, kNext);
    if (view.trackPage >= 0 && view.pageCount > 0) {
        // The marker shows where the current page lies.
        const int count = view.pageCount;
        const int x0 = kTrackLeft + view.trackPage * kTrackWidth / count;
        const int x1 = kTrackLeft + (view.trackPage + 1) * kTrackWidth / count;
        p.fillRect(QRect(x0, top + 26, std::max(2, x1 - x0), 3), panel::kAccent);
    }
    p.setPen(panel::kText);
    p.setFont(view.trackHover ? ctx.fonts.tiny : ctx.fonts.smallBold);
    p.drawText(QRect(kTrackLeft, top, kNextLeft - kTrackLeft, panel::kBarHeight), Qt::AlignCenter, view.text);
}
