#include "helpbook.h"

#include <QStringDecoder>

namespace {

// A decimal number after trimming blanks; false for anything else.
bool readNumber(const QString& text, int& value) {
    bool ok = false;
    value = text.trimmed().toInt(&ok, 10);
    return ok;
}

}  // namespace

QString decodeHelpText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid()) {
        text = sjis.decode(bytes);
        if (!sjis.hasError()) return text;
    }
    return QString::fromLatin1(bytes);
}

HelpBook parseHelpIni(const QByteArray& bytes) {
    HelpBook book;
    QString text = decodeHelpText(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        const auto skip = [&](const QString& why) {
            book.problems << QStringLiteral("line %1: %2").arg(n + 1).arg(why);
        };
        const QStringList f = line.split(QLatin1Char('|'));
        HELPITEM item;
        item.kind = f[0].trimmed();
        if (f.size() == 2) {
            item.title = f[1];
            book.items.push_back(item);
            continue;
        }
        if (f.size() < 5) {
            skip(QStringLiteral("too few fields (%1)").arg(f.size()));
            continue;
        }
        if (f.size() > 5) {
            skip(QStringLiteral("too many fields (%1)").arg(f.size()));
            continue;
        }
        item.title = f[1];
        item.image = f[2].trimmed();
        if (item.image.isEmpty()) {
            skip(QStringLiteral("no page image"));
            continue;
        }
        if (!readNumber(f[3], item.offset) || !readNumber(f[4], item.height)) {
            skip(QStringLiteral("offset and height must be whole numbers"));
            continue;
        }
        if (item.offset < 0 || item.height <= 0) {
            skip(QStringLiteral("offset below 0 or height not above 0"));
            continue;
        }
        item.selectable = true;
        book.items.push_back(item);
    }
    return book;
}

QString helpFolderFor(const QString& programFolder, bool japanese) {
    return programFolder + (japanese ? QStringLiteral("/Helps/jp/") : QStringLiteral("/Helps/en/"));
}

int firstSelectable(const std::vector<HELPITEM>& items) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].selectable) return int(i);
    return -1;
}

int lastSelectable(const std::vector<HELPITEM>& items) {
    for (std::size_t i = items.size(); i-- > 0;)
        if (items[i].selectable) return int(i);
    return -1;
}

int nextSelectable(const std::vector<HELPITEM>& items, int from) {
    for (int i = from + 1; i < int(items.size()); ++i)
        if (items[std::size_t(i)].selectable) return i;
    return firstSelectable(items);
}

int previousSelectable(const std::vector<HELPITEM>& items, int from) {
    for (int i = std::min(from, int(items.size())) - 1; i >= 0; --i)
        if (items[std::size_t(i)].selectable) return i;
    return lastSelectable(items);
}
