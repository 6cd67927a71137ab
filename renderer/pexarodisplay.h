// The renderer's drawing side: the composition picture, presenting it to the
// presentation target, the overlay surfaces and snapshots. Surfaces are
// QImages; transparency replaces the black colour key.
#pragma once

#include "overlaystate.h"
#include "pexarocontrol.h"
#include "presentgeometry.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

class CPexaroDisplay {
public:
    CPexaroDisplay() = default;
    CPexaroDisplay(const CPexaroDisplay&) = delete;
    CPexaroDisplay& operator=(const CPexaroDisplay&) = delete;

    void SetTarget(IPexaroPresentationTarget* target);

    // Overlay surfaces follow the picture size of the stream. The overlay
    // calls below run under the filter's lock.
    void SetPictureSize(QSize size);

    // Composition: the picture about to be shown (shares the pixels).
    void SetComposition(const QImage& picture);
    QImage Composition() const;
    void ClearComposition();

    void SetStretch(bool stretch);
    void SetCrop();

    // Presents the composition: through the zoom rectangle, with the rubber
    // band drawn over it, or plain.
    void PresentComposition(const std::optional<QRect>& zoom, const std::optional<QRect>& band);
    void PresentPlain();

    // Label surface (item 6) and grid surface; called by the intake.
    void ClearOsdSurface();
    void DrawOsdItem(const pexaro::OsdItem& item);
    void BlendOsd(QImage& picture) const;
    void ClearGridSurface();
    void DrawGridCells(const std::vector<QRect>& cells, const std::vector<bool>& flagged);
    void BlendGrid(QImage& picture) const;

    // Speed text of fast forward and rewind, drawn into a group picture.
    static void DrawSpeedText(QImage& picture, const QString& text);

    // Text needs a QGuiApplication; without one no text is drawn.
    static bool TextAvailable();

    // Snapshots of the composition; false when nothing could be written.
    bool SnapShotJpeg(const QString& fileName) const;
    bool SnapShotRaw(const QString& fileName) const;

private:
    void Present(const QImage& picture, const std::optional<QRect>& givenSource);

    mutable std::mutex compLock_;  // composition (render thread vs callers)
    QImage composition_;
    bool stretch_ = true;
    bool crop_ = false;

    std::mutex presentLock_;  // target, shrink and band surfaces
    IPexaroPresentationTarget* target_ = nullptr;
    QImage shrink_;
    QSize shrinkFor_;  // picture size the shrink surface was made for

    QSize pictureSize_;
    QImage osd_;   // intake thread only
    QImage grid_;  // intake thread only
};
