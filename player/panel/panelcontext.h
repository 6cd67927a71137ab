// What the pages of the info, list and calendar panel share: its geometry,
// fonts and colours, the files the filter lets through, the selection, the
// pointer and the pictures.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <vector>

class CAsyncFrameGrabber;
class CPanelPictures;
class CSkin;
class CVideoLibrary;

namespace panel {

constexpr int kWidth = 274;
constexpr int kRowHeight = 78;
constexpr int kBarHeight = 30;
// A press left of this x on a row is in the mark area.
constexpr int kMarkAreaWidth = 16;

const QColor kBack(16, 18, 22);
const QColor kText(214, 218, 224);
const QColor kDim(150, 156, 166);
const QColor kChosen(38, 60, 96);
const QColor kAccent(80, 140, 230);

// Event colours: Alarm, Emergency, Motion, Time.
QColor eventColour(std::uint8_t events);

inline QDateTime local(std::int64_t s) { return QDateTime::fromSecsSinceEpoch(s); }

inline QString fmt(std::int64_t s, const char* pattern) { return local(s).toString(QLatin1String(pattern)); }

inline int ceilDiv(int a, int b) { return b <= 0 ? 0 : (a + b - 1) / b; }

struct Fonts {
    QFont title, text, bold, small, smallBold, tiny, black, letters;
    // The title and text fonts follow the interface language.
    static Fonts make();
};

// What the pointer is over: x on the list's page track (else -1) and the hit
// code under it.
struct Hover {
    int x = -1;
    int code = 0;
    bool operator==(const Hover&) const = default;
};

// Mouse state. pressed: the list row (page x rows + row) or the calendar hit
// code, with the page buttons as 302 and 304.
struct Pointer {
    int pressed = -1;
    bool pressedInMark = false;
    Hover hover;
};

// What a mouse action on a page asks of the panel.
struct Action {
    enum Kind { None, Refresh, Choose } kind = None;
    int listPage = -1;               // Refresh: -1 keeps the page
    std::int64_t calendarDate = -1;  // Refresh: -1 keeps the date
    int file = -1;                   // Choose
    bool markArea = false;           // Choose: flip the backup mark instead

    static Action refresh(int listPage, std::int64_t calendarDate) {
        return {Refresh, listPage, calendarDate, -1, false};
    }
    static Action choose(int file, bool markArea) { return {Choose, -1, -1, file, markArea}; }
};

struct Context {
    Context(CVideoLibrary& lib, const QWidget& w) : library(lib), widget(w) {}

    CVideoLibrary& library;
    const QWidget& widget;
    const CSkin* skin = nullptr;
    const CPanelPictures* pictures = nullptr;
    // Files the filter lets through, in catalogue order (newest first).
    std::vector<int> shown;
    int selected = -1;
    Pointer pointer;
    Fonts fonts;

    int rows() const { return std::max(0, (widget.height() - kBarHeight) / kRowHeight); }
    int pageBarTop() const { return widget.height() - kBarHeight; }
};

}  // namespace panel
