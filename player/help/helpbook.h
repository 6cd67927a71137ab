// The help book described by help.ini: one entry per line, "kind|title" for
// a heading or "kind|title|image|offset|height" for a page slice.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

struct HELPITEM {
    QString kind;  // "CHAPTER", "SECTION"; other words draw nothing
    QString title;
    QString image;   // relative to the help folder; empty for headings
    int offset = 0;  // first page row shown
    int height = 0;  // rows shown
    bool selectable = false;
};

struct HelpBook {
    std::vector<HELPITEM> items;
    // One text per line that was left out, "line N: why".
    QStringList problems;
};

// Decodes help.ini (UTF-8, or Shift-JIS when it is not valid UTF-8) and
// reads its lines. Lines that do not fit the format are skipped and named in
// problems; nothing in the text can make this fail.
HelpBook parseHelpIni(const QByteArray& bytes);
QString decodeHelpText(const QByteArray& bytes);

// The help folder beside the program: "<folder>/Helps/jp/" or "/Helps/en/".
QString helpFolderFor(const QString& programFolder, bool japanese);

// Navigation among the selectable items; -1 when there is none.
int firstSelectable(const std::vector<HELPITEM>& items);
int lastSelectable(const std::vector<HELPITEM>& items);
// The next selectable item after `from`, wrapping to the first.
int nextSelectable(const std::vector<HELPITEM>& items, int from);
// The nearest selectable item before `from`, wrapping to the last.
int previousSelectable(const std::vector<HELPITEM>& items, int from);
