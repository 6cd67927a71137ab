#include "panelcontext.h"

#include "language.h"

namespace panel {

namespace {

QFont makeFont(const QString& family, int px, bool bold = false) {
    QFont f(family);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

}  // namespace

QColor eventColour(std::uint8_t events) {
    if (events & 0x01) return QColor(220, 70, 60);
    if (events & 0x02) return QColor(235, 150, 40);
    if (events & 0x04) return QColor(70, 180, 90);
    if (events & 0x08) return QColor(80, 140, 230);
    return QColor(110, 116, 126);
}

Fonts Fonts::make() {
    Fonts f;
    if (isJapaneseUi()) {
        f.title = makeFont(QStringLiteral("MS PGothic"), 14, true);
        f.text = makeFont(QStringLiteral("MS PGothic"), 12);
    } else {
        f.title = makeFont(QStringLiteral("Arial Black"), 14);
        f.text = makeFont(QStringLiteral("Arial"), 13);
    }
    f.bold = makeFont(QStringLiteral("Arial"), 14, true);
    f.small = makeFont(QStringLiteral("Arial"), 11);
    f.smallBold = makeFont(QStringLiteral("Arial"), 10, true);
    f.tiny = makeFont(QStringLiteral("Arial"), 10);
    f.black = makeFont(QStringLiteral("Arial Black"), 12);
    f.letters = makeFont(QStringLiteral("Arial"), 9, true);
    return f;
}

}  // namespace panel
