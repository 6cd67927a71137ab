#include "panelinfopage.h"

#include "videolibrary.h"

#include <QPainter>

using namespace panel;

namespace {

struct Totals {
    int files = 0;
    std::uint64_t bytes = 0;
    std::int64_t seconds = 0;
    int a = 0, m = 0, e = 0, t = 0;
    // Earliest start and latest end of the recordings that have times.
    bool timed = false;
    std::int64_t first = 0, last = 0;
};

Totals totalsOf(const CVideoLibrary& library) {
    Totals s;
    s.files = library.fileCount();
    for (int i = 0; i < s.files; ++i) {
        s.bytes += library.fileSize(i);
        s.seconds += library.length(i);
        const std::uint8_t kinds = library.eventSummary(i);
        s.a += (kinds & 0x01) != 0;
        s.e += (kinds & 0x02) != 0;
        s.m += (kinds & 0x04) != 0;
        s.t += (kinds & 0x08) != 0;
        // Damaged recordings have no times: they would make the period start in 1970.
        if (library.damaged(i) || library.startTime(i) <= 0) continue;
        s.first = s.timed ? std::min(s.first, library.startTime(i)) : library.startTime(i);
        s.last = s.timed ? std::max(s.last, library.endTime(i)) : library.endTime(i);
        s.timed = true;
    }
    return s;
}

}  // namespace

QStringList CPanelInfoPage::lines() const {
    const Totals s = totalsOf(ctx_.library);
    const std::int64_t period = std::max<std::int64_t>(0, s.last - s.first);
    const std::int64_t rest = period % 86400;
    const QString pcs = tr("pcs");
    QStringList lines;
    lines << tr("File Information");
    lines << QStringLiteral("- %1 : %2 %3").arg(tr("Total Number of Files")).arg(s.files).arg(pcs);
    lines << QStringLiteral("- %1 : %2 MB").arg(tr("Total Memory Size")).arg(s.bytes / 1048576);
    lines << QString::asprintf("- %s : %d:%02d:%02d", qPrintable(tr("Total Recording Time")),
                               int(s.seconds / 3600), int(s.seconds / 60 % 60), int(s.seconds % 60));
    lines << QString::asprintf("- %s : %d%s %d:%02d:%02d", qPrintable(tr("Total Recording Period")),
                               int(period / 86400), qPrintable(tr("day(s)")), int(rest / 3600),
                               int(rest / 60 % 60), int(rest % 60));
    lines << QStringLiteral("- %1 : %2")
                 .arg(tr("Start Time"), s.timed ? fmt(s.first, "yyyy/MM/dd HH:mm:ss") : QString());
    lines << QStringLiteral("- %1 : %2")
                 .arg(tr("Finish Time"), s.timed ? fmt(s.last, "yyyy/MM/dd HH:mm:ss") : QString());
    lines << tr("Event Information (File Count)");
    lines << QStringLiteral("- Event A : %1 %2").arg(s.a).arg(pcs);
    lines << QStringLiteral("- Event M : %1 %2").arg(s.m).arg(pcs);
    lines << QStringLiteral("- Event E : %1 %2").arg(s.e).arg(pcs);
    lines << QStringLiteral("- Event T : %1 %2").arg(s.t).arg(pcs);
    return lines;
}

void CPanelInfoPage::paint(QPainter& p) const {
    const QStringList lines = this->lines();
    int y = 12;
    for (int i = 0; i < lines.size(); ++i) {
        const bool heading = i == 0 || i == 7;
        if (i == 7) y += 16;
        p.setPen(heading ? QColor(255, 255, 255) : kText);
        p.setFont(heading ? ctx_.fonts.title : ctx_.fonts.text);
        const QRect r(heading ? 10 : 14, y, kWidth - 20, heading ? 26 : 22);
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(lines[i], Qt::ElideRight, r.width()));
        y += heading ? 30 : 22;
    }
}
