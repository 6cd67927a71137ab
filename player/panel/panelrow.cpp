#include "panelrow.h"

#include "panelpictures.h"
#include "videolibrary.h"

#include <QPainter>

using namespace panel;

QStringList CPanelRow::texts(const CVideoLibrary& library, int file) {
    const std::int64_t start = library.startTime(file);
    const int len = library.length(file);
    return {fmt(start, "yyyy-MM-dd"), fmt(start, "HH:mm:ss"),
            QString::asprintf("(%2d%s %2d%s)", len / 60, qPrintable(tr("m")), len % 60, qPrintable(tr("s"))),
            QString::asprintf("%d x %d (%dFPS)", library.width(file), library.height(file),
                              library.frameRate(file)),
            QString::fromStdString(library.fileName(file))};
}

void CPanelRow::draw(QPainter& p, const Context& ctx, int file, int top) {
    const CVideoLibrary& library = ctx.library;
    if (file == ctx.selected) p.fillRect(QRect(0, top, kWidth, kRowHeight), kChosen);
    // Mark area.
    p.setPen(kDim);
    p.setBrush(library.marked(file) ? QBrush(QColor(240, 200, 60)) : Qt::NoBrush);
    p.drawEllipse(QRectF(3, top + 33, 10, 10));
    drawPicture(p, ctx, file, top);
    const QStringList t = texts(library, file);
    p.setPen(kText);
    p.setFont(ctx.fonts.bold);
    p.drawText(QPoint(130, top + 15), t[0]);
    p.setFont(ctx.fonts.small);
    p.drawText(QRect(210, top + 3, kWidth - 212, 16), Qt::AlignLeft | Qt::AlignVCenter, t[1]);
    p.drawText(QPoint(130, top + 32), t[2]);
    const int bar = std::min(100, library.length(file) * 65 / 1800);
    p.fillRect(QRect(200, top + 24, std::max(1, bar), 6), kAccent);
    p.setPen(kDim);
    p.drawText(QRect(130, top + 36, 106, 16), Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(t[3], Qt::ElideRight, 106));
    p.setFont(ctx.fonts.tiny);
    p.drawText(QRect(130, top + 54, 104, 16), Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(t[4], Qt::ElideMiddle, 104));
    drawEventKinds(p, ctx, file, top);
}

void CPanelRow::drawPicture(QPainter& p, const Context& ctx, int file, int top) {
    // Picture in a one-pixel grey frame.
    const QRect frame(15, top + 1, 110, 76);
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::black);
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    if (const QPixmap* pm = ctx.pictures->picture(file)) {
        p.drawPixmap(frame.adjusted(1, 1, -1, -1), *pm);
    } else {
        p.setFont(ctx.fonts.tiny);
        p.setPen(kDim);
        const QString note = ctx.library.damaged(file)     ? tr("Damaged")
                             : ctx.pictures->waiting(file) ? tr("Loading...")
                                                           : QString();
        p.drawText(frame, Qt::AlignCenter, note);
    }
}

void CPanelRow::drawEventKinds(QPainter& p, const Context& ctx, int file, int top) {
    // A, M, E, T squares.
    const std::uint8_t s = ctx.library.eventSummary(file);
    const struct {
        int bit;
        int x;
        int y;
        const char* letter;
    } kinds[] = {{0x01, 238, 38, "A"}, {0x04, 252, 38, "M"}, {0x02, 238, 52, "E"}, {0x08, 252, 52, "T"}};
    p.setFont(ctx.fonts.letters);
    for (const auto& k : kinds) {
        const QRect sq(k.x, top + k.y, 12, 12);
        p.fillRect(sq, (s & k.bit) ? eventColour(std::uint8_t(k.bit)) : QColor(36, 40, 48));
        p.setPen((s & k.bit) ? Qt::white : QColor(70, 76, 86));
        p.drawText(sq, Qt::AlignCenter, QLatin1String(k.letter));
    }
}
