// Renders the help book from its Markdown source into a help folder: the
// page images, help-bg.gif and help.ini.
//
// Source: "# Chapter" and "## Section" headings with Markdown text under
// them. A chapter with text of its own is selectable; one without is a plain
// heading. A section taller than one view is cut between paragraphs into
// several entries.
#include "../skingen/gifwriter.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>
#include <QTextDocument>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The view shows a page from x 30 to 720 and at most this many rows.
constexpr int kPageWidth = 720;
constexpr int kPageHeight = 960;
constexpr int kTextLeft = 50;
constexpr int kTextWidth = 640;
constexpr int kMaxSlice = 520;
// Each slice starts this far below the previous one; the view shows these
// rows above the slice too.
constexpr int kGap = 10;

struct Entry {
    QString kind;
    QString title;
    QString body;  // Markdown; empty for a plain heading
};

struct Slice {
    QImage picture;
    QString kind;
    QString title;
};

std::vector<Entry> readBook(const QString& text) {
    std::vector<Entry> entries;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("## "))) {
            entries.push_back({QStringLiteral("SECTION"), line.mid(3).trimmed(), QString()});
        } else if (line.startsWith(QLatin1String("# "))) {
            entries.push_back({QStringLiteral("CHAPTER"), line.mid(2).trimmed(), QString()});
        } else if (!entries.empty()) {
            entries.back().body += line + QLatin1Char('\n');
        }
    }
    return entries;
}

QString styleSheet(bool japanese) {
    const QString family = japanese ? QStringLiteral("IPAPGothic") : QStringLiteral("Liberation Sans");
    return QStringLiteral(
               "body { font-family: '%1'; font-size: %2px; color: #202020; }"
               "h1 { font-size: 22px; color: #1d4f91; }"
               "h2 { font-size: 18px; color: #1d4f91; }"
               "h3 { font-size: 15px; color: #303030; }"
               "code { font-family: 'DejaVu Sans Mono'; color: #7a2e00; }"
               "th { background-color: #e8eef6; }")
        .arg(family)
        .arg(japanese ? 14 : 14);
}

// Pictures (screenshots of the program) are shrunk to the text width.
void fitPictures(QTextDocument& doc) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.charFormat().isImageFormat()) continue;
            QTextImageFormat img = f.charFormat().toImageFormat();
            const QVariant data = doc.resource(QTextDocument::ImageResource, QUrl(img.name()));
            QImage picture = data.value<QImage>();
            if (picture.isNull()) picture = QImage::fromData(data.toByteArray());
            if (picture.isNull()) {
                std::fprintf(stderr, "helpgen: cannot read the picture %s\n", qPrintable(img.name()));
                std::exit(1);
            }
            const double scale = std::min(1.0, double(kTextWidth) / picture.width());
            img.setWidth(picture.width() * scale);
            img.setHeight(picture.height() * scale);
            QTextCursor c(&doc);
            c.setPosition(f.position());
            c.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(img);
        }
    }
}

// Draws one entry's text and cuts it into slices no taller than a view.
std::vector<Slice> renderEntry(const Entry& e, bool japanese, const QString& sourceFolder) {
    QTextDocument doc;
    QFont font(japanese ? QStringLiteral("IPAPGothic") : QStringLiteral("Liberation Sans"));
    font.setPixelSize(14);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(styleSheet(japanese));
    doc.setDocumentMargin(0);
    doc.setTextWidth(kTextWidth);
    const QString heading = e.kind == QLatin1String("CHAPTER") ? QStringLiteral("# ") : QStringLiteral("## ");
    doc.setBaseUrl(QUrl::fromLocalFile(sourceFolder + QLatin1Char('/')));
    doc.setMarkdown(heading + e.title + QStringLiteral("\n\n") + e.body);
    fitPictures(doc);
    // Air between paragraphs and lines, headings in the accent colour.
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextCursor c(b);
        QTextBlockFormat f = b.blockFormat();
        const bool listItem = b.textList() != nullptr;
        const bool lastOfList = listItem && (!b.next().isValid() || b.next().textList() != b.textList());
        bool picture = false;
        for (auto it = b.begin(); !it.atEnd() && !picture; ++it)
            picture = it.fragment().charFormat().isImageFormat();
        if (!picture) f.setLineHeight(japanese ? 135 : 125, QTextBlockFormat::ProportionalHeight);
        f.setBottomMargin(listItem && !lastOfList ? 2 : 8);
        if (f.headingLevel() > 0) {
            f.setBottomMargin(6);
            f.setTopMargin(b == doc.begin() ? 0 : 6);
            c.setBlockFormat(f);
            c.select(QTextCursor::BlockUnderCursor);
            QTextCharFormat cf;
            cf.setForeground(QColor(0x1d, 0x4f, 0x91));
            c.mergeCharFormat(cf);
            continue;
        }
        c.setBlockFormat(f);
    }
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QTextTableFormat f = table->format();
        f.setBorderCollapse(true);
        f.setBorder(1);
        f.setBorderBrush(QColor(0xb8, 0xc2, 0xd0));
        f.setCellPadding(4);
        f.setCellSpacing(0);
        f.setBottomMargin(8);
        f.setWidth(QTextLength(QTextLength::PercentageLength, 80));
        table->setFormat(f);
        for (int col = 0; col < table->columns(); ++col) {
            QTextTableCellFormat head = table->cellAt(0, col).format().toTableCellFormat();
            head.setBackground(QColor(0xe8, 0xee, 0xf6));
            table->cellAt(0, col).setFormat(head);
        }
    }
    // Lay the document out again with the changed pictures and formats.
    doc.markContentsDirty(0, doc.characterCount());
    const int total = int(std::ceil(doc.size().height()));

    QImage whole(kPageWidth, total + 1, QImage::Format_RGB32);
    whole.fill(Qt::white);
    {
        QPainter p(&whole);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.translate(kTextLeft, 0);
        doc.drawContents(&p, QRectF(0, 0, kTextWidth, total + 1));
    }

    // Cut points: block tops, never more than a view apart.
    std::vector<int> cuts{0};
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF r = layout->blockBoundingRect(b);
        const int top = int(r.top());
        const int bottom = int(std::ceil(r.bottom()));
        while (bottom - cuts.back() > kMaxSlice) {
            const bool atTop = top > cuts.back() + 40 && top - cuts.back() <= kMaxSlice;
            cuts.push_back(atTop ? top : cuts.back() + kMaxSlice);
        }
    }
    cuts.push_back(total);

    std::vector<Slice> slices;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const int height = cuts[i + 1] - cuts[i];
        if (height <= 0) continue;
        Slice s;
        s.picture = whole.copy(0, cuts[i], kPageWidth, height);
        s.kind = e.kind;
        s.title = slices.empty() ? e.title : QStringLiteral("%1 (%2)").arg(e.title).arg(slices.size() + 1);
        slices.push_back(s);
    }
    return slices;
}

QImage background(bool japanese) {
    QImage bg(925, 600, QImage::Format_RGB32);
    bg.fill(QColor(8, 8, 8));
    QPainter p(&bg);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(58, 64, 74), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, 924, 599), 10, 10);
    // The frame around the view.
    p.setPen(QPen(QColor(70, 78, 90), 1));
    p.drawRect(QRect(9, 31, 906, 561));
    QFont f(japanese ? QStringLiteral("IPAPGothic") : QStringLiteral("Liberation Sans"));
    f.setPixelSize(15);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(230, 234, 240));
    p.drawText(QRect(18, 4, 600, 24), Qt::AlignLeft | Qt::AlignVCenter,
               japanese ? QStringLiteral("Korvid ヘルプ") : QStringLiteral("Korvid Help"));
    f.setBold(false);
    f.setPixelSize(12);
    p.setFont(f);
    p.setPen(QColor(140, 148, 160));
    p.drawText(QRect(300, 4, 570, 24), Qt::AlignRight | Qt::AlignVCenter,
               japanese ? QStringLiteral("↑↓ キーまたはページの上半分・下半分のクリックで前後の項目へ")
                        : QStringLiteral(
                              "Up/Down keys or a click on the upper/lower half of the page: previous/next"));
    return bg;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 4 || (qstrcmp(argv[3], "en") != 0 && qstrcmp(argv[3], "jp") != 0)) {
        std::fprintf(stderr, "usage: helpgen <book.md> <output folder> en|jp\n");
        return 2;
    }
    const bool japanese = qstrcmp(argv[3], "jp") == 0;
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "helpgen: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::vector<Entry> entries = readBook(QString::fromUtf8(source.readAll()));
    if (entries.empty()) {
        std::fprintf(stderr, "helpgen: %s has no chapters\n", argv[1]);
        return 1;
    }
    QDir out(QString::fromLocal8Bit(argv[2]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "helpgen: cannot create %s\n", argv[2]);
        return 1;
    }
    for (const QString& old : out.entryList({QStringLiteral("page*.png")}, QDir::Files)) out.remove(old);

    QString ini;
    QTextStream ts(&ini);
    QImage page;
    int pageNumber = 0;
    int cursor = kPageHeight;
    const auto flush = [&] {
        if (page.isNull()) return true;
        return page.save(out.filePath(QStringLiteral("page%1.png").arg(pageNumber, 2, 10, QLatin1Char('0'))));
    };
    for (const Entry& e : entries) {
        if (e.body.trimmed().isEmpty()) {
            ts << e.kind << '|' << e.title << '\n';
            continue;
        }
        for (const Slice& s : renderEntry(e, japanese, QFileInfo(source).absolutePath())) {
            const int need = kGap + s.picture.height();
            if (cursor + need > kPageHeight) {
                if (!flush()) {
                    std::fprintf(stderr, "helpgen: cannot write page %d\n", pageNumber);
                    return 1;
                }
                ++pageNumber;
                page = QImage(kPageWidth, kPageHeight, QImage::Format_RGB32);
                page.fill(Qt::white);
                cursor = 0;
            }
            const int offset = cursor + kGap;
            QPainter p(&page);
            p.drawImage(0, offset, s.picture);
            p.end();
            cursor = offset + s.picture.height();
            ts << s.kind << '|' << s.title << '|'
               << QStringLiteral("page%1.png").arg(pageNumber, 2, 10, QLatin1Char('0')) << '|' << offset
               << '|' << s.picture.height() << '\n';
        }
    }
    if (!flush()) {
        std::fprintf(stderr, "helpgen: cannot write page %d\n", pageNumber);
        return 1;
    }
    ts.flush();
    QString error;
    if (!writeGif(background(japanese), out.filePath(QStringLiteral("help-bg.gif")), &error)) {
        std::fprintf(stderr, "helpgen: %s\n", qPrintable(error));
        return 1;
    }
    QFile iniFile(out.filePath(QStringLiteral("help.ini")));
    if (!iniFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || iniFile.write(ini.toUtf8()) < 0) {
        std::fprintf(stderr, "helpgen: cannot write help.ini\n");
        return 1;
    }
    return 0;
}
