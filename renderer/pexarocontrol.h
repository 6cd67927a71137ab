// Public interface of the renderer element `pexarosink`. The viewer needs
// only this header: it obtains the element's IPexaroControl through the
// read-only pointer property "control":
//
//     IPexaroControl* control = nullptr;
//     g_object_get(sink, "control", &control, NULL);
//
// The pointer belongs to the element and stays valid while it exists.
// Results: 0 success, -1 failure. Needing SetWindow first (-1 before it):
// SetStretch, the motion-grid methods, SetTemporaryFlag1, Repaint and both
// snapshots. Snapshots return -1 when no file could be written, and then
// leave no file behind. Pointers and events handed in are borrowed and must
// outlive the element.
#pragma once

#include "event.h"
#include "sharedwords.h"

#include <QImage>
#include <QRect>
#include <QSize>

// Where the renderer shows its pictures; implemented by the viewer's widget.
// Both methods are called from the renderer's render thread (and from the
// thread calling Repaint/SetStretch); they must not block on the GUI thread
// nor call back into IPexaroControl.
class IPexaroPresentationTarget {
public:
    virtual ~IPexaroPresentationTarget() = default;

    // Current size of the drawing area in pixels.
    virtual QSize WindowSize() = 0;

    // Draw the `source` part of `picture` into `destination` (window
    // coordinates), scaled to fit it; keep the latest call for repaints.
    // Stretch, centring, crop, shrink and zoom are already applied.
    virtual void Present(const QImage& picture, const QRect& source, const QRect& destination) = 0;
};

// How the viewer steers the renderer: its window, the shared words and
// events, play mode and rate, overlays, motion grid, zoom and snapshots.
class IPexaroControl {
public:
    virtual int ShowOSD() = 0;
    virtual int HideOSD() = 0;
    virtual int AddOSD(int index, const char* text, int x, int y, int align, const char* fontName,
                       int fontHeight, int r, int g, int b) = 0;
    virtual int RemoveOSD(int index) = 0;
    // Borrowed: the target must outlive the element or be replaced first.
    virtual int SetWindow(IPexaroPresentationTarget* window) = 0;
    virtual int SetStretch(int stretch) = 0;
    virtual int ShowMDArea() = 0;
    virtual int HideMDArea() = 0;
    virtual int ShowMDAreaForHitTest() = 0;
    virtual int EndMDAreaHitTest() = 0;
    virtual int SetMDArea(korvid::SharedWord* gridWord, int rows, int cols, korvid::SharedByte* cells,
                          korvid::SharedByte* hitCells) = 0;
    virtual int ClearMDArea() = 0;
    virtual int HitTestMDArea(int* result, int x, int y) = 0;
    virtual int SnapShot(const char* fileName) = 0;
    virtual int Repaint() = 0;
    virtual int SetEventMarkPointer(korvid::SharedByte* eventMark) = 0;
    virtual int Reserved19() = 0;
    virtual int SetFrameRate(int picturesPerSecond) = 0;
    virtual int SetPlayMode(int mode) = 0;
    virtual int SetDeliveryEnablePointer(korvid::SharedWord* word) = 0;
    virtual int SetSkipRatePointer(korvid::SharedWord* word) = 0;
    virtual int SetGroupEndPointer(korvid::SharedByte* flag) = 0;
    virtual int SetFrameRequestEvent(korvid::Event* event) = 0;
    virtual int SetPictureIndexPointer(korvid::SharedWord* word) = 0;
    virtual int SetTemporaryFlag1(int flag) = 0;
    virtual int Reserved28(int value) = 0;
    virtual int Reserved29(int value) = 0;
    virtual int Reserved30(int value) = 0;
    virtual int SetGopMode(int isGopMode) = 0;
    virtual int SetZoomRect(int top, int left, int bottom, int right) = 0;
    virtual int SetBandRect(int top, int left, int bottom, int right) = 0;
    virtual int IsZoomed() = 0;
    virtual int SnapShotRawData(const char* fileName) = 0;
    virtual int SetRateCode(int rateCode, int videoType) = 0;
    virtual int Sync() = 0;
    virtual int SetFirstFrameEvent(korvid::Event* event) = 0;

protected:
    ~IPexaroControl() = default;  // owned by the element, never deleted through this
};
