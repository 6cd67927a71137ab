// The help book parser on any bytes (UTF-8, Shift-JIS or neither): every
// item it keeps is well formed, every line it leaves out is named, and the
// navigation among the items stays inside the list.
#include "fuzzsupport.h"
#include "helpbook.h"

namespace korvidfuzz {

int helpTarget(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const HelpBook book = parseHelpIni(bytes);
    const int lines = int(bytes.count('\n')) + 1;
    FUZZ_CHECK(int(book.items.size() + std::size_t(book.problems.size())) <= lines);
    for (const HELPITEM& item : book.items) {
        if (!item.selectable) {
            FUZZ_CHECK(item.image.isEmpty());
            continue;
        }
        FUZZ_CHECK(!item.image.isEmpty() && item.offset >= 0 && item.height > 0);
    }
    for (const QString& p : book.problems) FUZZ_CHECK(p.startsWith(QStringLiteral("line ")));
    const int n = int(book.items.size());
    const int first = firstSelectable(book.items);
    const int last = lastSelectable(book.items);
    FUZZ_CHECK(first >= -1 && first < n && last >= -1 && last < n && (first < 0) == (last < 0));
    for (int from = -1; from <= n; ++from) {
        const int next = nextSelectable(book.items, from);
        const int previous = previousSelectable(book.items, from);
        FUZZ_CHECK(next >= -1 && next < n && previous >= -1 && previous < n);
        FUZZ_CHECK(next < 0 || book.items[std::size_t(next)].selectable);
        FUZZ_CHECK(previous < 0 || book.items[std::size_t(previous)].selectable);
    }
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(helpTarget)
