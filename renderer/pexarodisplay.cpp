#include "pexarodisplay.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QSaveFile>

#include <cstring>

using namespace pexaro;

namespace {

const QColor kLabelColour(0, 0, 255);  // fixed: the item's own colour is not used
const QColor kGridColour(255, 50, 50);
const QColor kBandColour(15, 16, 200);
const QColor kSpeedColour(255, 0, 0);

QImage TransparentSurface(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont OverlayFont(const QString& family, int height) {
    QFont font(family);
    font.setPixelSize(height != 0 ? std::abs(height) : 12);
    font.setWeight(QFont::Bold);
    return font;
}

// Text with its top edge at y; align 0 left, 1 right, 2 centred on x.
void DrawTopAlignedText(QImage& surface, const QFont& font, const QColor& colour, int x, int y, int align,
                        const QString& text) {
    QPainter p(&surface);
    p.setFont(font);
    p.setPen(colour);
    const QFontMetrics fm(font);
    int left = x;
    if (align == 1) left = x - fm.horizontalAdvance(text);
    else if (align == 2) left = x - fm.horizontalAdvance(text) / 2;
    p.drawText(QPoint(left, y + fm.ascent()), text);
}

void DrawFrameRect(QImage& surface, const QRect& rect, const QColor& colour) {
    QPainter p(&surface);
    p.setPen(QPen(colour, 2));
    p.setBrush(Qt::NoBrush);  // interiors stay see-through
    p.drawRect(rect);
}

}  // namespace

bool CPexaroDisplay::TextAvailable() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

void CPexaroDisplay::SetTarget(IPexaroPresentationTarget* target) {
    std::lock_guard<std::mutex> lock(presentLock_);
    target_ = target;
}

void CPexaroDisplay::SetPictureSize(QSize size) {
    if (size == pictureSize_) return;
    pictureSize_ = size;
    osd_ = TransparentSurface(size);
    grid_ = TransparentSurface(size);
    std::lock_guard<std::mutex> lock(compLock_);
    if (composition_.size() != size) {
        composition_ = QImage(size, QImage::Format_RGB32);
        composition_.fill(Qt::black);
    }
}

void CPexaroDisplay::SetComposition(const QImage& picture) {
    std::lock_guard<std::mutex> lock(compLock_);
    composition_ = picture;
}

QImage CPexaroDisplay::Composition() const {
    std::lock_guard<std::mutex> lock(compLock_);
    return composition_;
}

void CPexaroDisplay::ClearComposition() {
    std::lock_guard<std::mutex> lock(compLock_);
    if (composition_.isNull()) return;
    QImage cleared(composition_.size(), QImage::Format_RGB32);
    cleared.fill(Qt::black);
    composition_ = cleared;
}

void CPexaroDisplay::SetStretch(bool stretch) {
    std::lock_guard<std::mutex> lock(presentLock_);
    stretch_ = stretch;
}

void CPexaroDisplay::SetCrop() {
    std::lock_guard<std::mutex> lock(presentLock_);
    crop_ = true;
}

void CPexaroDisplay::PresentComposition(const std::optional<QRect>& zoom, const std::optional<QRect>& band) {
    const QImage picture = Composition();
    if (picture.isNull()) return;
    if (zoom) {
        Present(picture, zoom);
    } else if (band) {
        QImage withBand = picture.copy();
        DrawFrameRect(withBand, *band, kBandColour);
        Present(withBand, std::nullopt);
    } else {
        Present(picture, std::nullopt);
    }
}

void CPexaroDisplay::PresentPlain() {
    const QImage picture = Composition();
    if (!picture.isNull()) Present(picture, std::nullopt);
}

void CPexaroDisplay::Present(const QImage& picture, const std::optional<QRect>& givenSource) {
    std::lock_guard<std::mutex> lock(presentLock_);
    if (!target_) return;
    const auto plan = PlanPresentation(picture.size(), target_->WindowSize(), stretch_, crop_, givenSource);
    if (!plan) return;
    if (!plan->shrink) {
        target_->Present(picture, plan->source, plan->destination);
        return;
    }
    const QSize dest = plan->destination.size();
    if (shrinkFor_ != picture.size() || shrink_.isNull()) {
        shrinkFor_ = picture.size();
        shrink_ = QImage(InitialShrinkSurface(picture.size()), QImage::Format_RGB32);
    }
    const QSize grown = GrowShrinkSurface(shrink_.size(), dest);
    if (grown != shrink_.size()) shrink_ = QImage(grown, QImage::Format_RGB32);
    if (shrink_.isNull()) return;
    {
        QPainter p(&shrink_);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(QPoint(0, 0), dest), picture, plan->source);
    }
    target_->Present(shrink_, QRect(QPoint(0, 0), dest), plan->destination);
}

void CPexaroDisplay::ClearOsdSurface() {
    if (!osd_.isNull()) osd_.fill(Qt::transparent);
}

void CPexaroDisplay::DrawOsdItem(const OsdItem& item) {
    if (osd_.isNull() || item.text.isEmpty() || !TextAvailable()) return;
    DrawTopAlignedText(osd_, OverlayFont(item.fontName, item.fontHeight), kLabelColour, item.x, item.y,
                       item.align, item.text);
}

void CPexaroDisplay::BlendOsd(QImage& picture) const {
    if (osd_.isNull()) return;
    QPainter p(&picture);
    p.drawImage(0, 0, osd_);
}

void CPexaroDisplay::ClearGridSurface() {
    if (!grid_.isNull()) grid_.fill(Qt::transparent);
}

void CPexaroDisplay::DrawGridCells(const std::vector<QRect>& cells, const std::vector<bool>& flagged) {
    if (grid_.isNull()) return;
    QPainter p(&grid_);
    p.setPen(QPen(kGridColour, 2));
    p.setBrush(Qt::NoBrush);
    for (size_t k = 0; k < cells.size() && k < flagged.size(); ++k)
        if (flagged[k]) p.drawRect(cells[k]);
}

void CPexaroDisplay::BlendGrid(QImage& picture) const {
    if (grid_.isNull()) return;
    QPainter p(&picture);
    p.drawImage(0, 0, grid_);
}

void CPexaroDisplay::DrawSpeedText(QImage& picture, const QString& text) {
    if (picture.isNull() || !TextAvailable()) return;
    DrawTopAlignedText(picture, OverlayFont(QStringLiteral("Tahoma"), 20), kSpeedColour, 10, 10, 0, text);
}

bool CPexaroDisplay::SnapShotJpeg(const QString& fileName) const {
    const QImage picture = Composition();
    if (picture.isNull() || fileName.isEmpty()) return false;
    // Written under a temporary name and renamed, so a failure leaves nothing.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!picture.convertToFormat(QImage::Format_RGB888).save(&file, "JPEG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool CPexaroDisplay::SnapShotRaw(const QString& fileName) const {
    const QImage picture = Composition();
    if (picture.isNull() || fileName.isEmpty()) return false;
    if (picture.width() > 0xffff || picture.height() > 0xffff) return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray header;
    for (int v : {picture.width(), picture.height(), 4}) {
        header.append(static_cast<char>(v & 0xff));
        header.append(static_cast<char>((v >> 8) & 0xff));
    }
    bool ok = file.write(header) == header.size();
    const qint64 rowBytes = static_cast<qint64>(picture.width()) * 4;
    for (int y = 0; ok && y < picture.height(); ++y)
        ok = file.write(reinterpret_cast<const char*>(picture.constScanLine(y)), rowBytes) == rowBytes;
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
