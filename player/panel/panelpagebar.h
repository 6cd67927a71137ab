// The 30-pixel bar at the bottom of the list and calendar pages: the previous
// button, the page track between the buttons and the next button, with the
// page text over the track.
#pragma once

#include "panelcontext.h"

#include <QString>

class QPainter;

class CPanelPageBar {
public:
    static constexpr int kTrackLeft = 30;
    static constexpr int kTrackWidth = 213;
    static constexpr int kNextLeft = 244;
    // Hit codes of the buttons, and of the buttons while pressed.
    static constexpr int kPrev = 301;
    static constexpr int kPrevPressed = 302;
    static constexpr int kNext = 303;
    static constexpr int kNextPressed = 304;

    // The button a point of the bar at x falls on: kPrev left of the track,
    // kNext right of it, 0 over the track.
    static int buttonAt(int x);
    static int pressedCode(int button) {
        return button == kPrev ? kPrevPressed : button == kNext ? kNextPressed : 0;
    }
    static bool onTrack(int x) { return x >= kTrackLeft && x < kNextLeft; }
    // The page of pageCount under x on the track.
    static int trackPageAt(int x, int pageCount);

    // What the bar shows. A track page of -1 draws no marker on the track;
    // trackHover draws the text in the smaller font that fits a time.
    struct View {
        QString text;
        int trackPage = -1;
        int pageCount = 0;
        bool trackHover = false;
    };
    static void draw(QPainter& p, const panel::Context& ctx, const View& view);
};
