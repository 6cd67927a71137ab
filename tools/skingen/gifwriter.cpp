#include "gifwriter.h"

#include <gif_lib.h>

#include <QFile>

#include <vector>

bool writeGif(const QImage& image, const QString& path, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (image.isNull()) return fail(QStringLiteral("empty picture"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const int w = rgb.width();
    const int h = rgb.height();
    const std::size_t n = std::size_t(w) * std::size_t(h);
    std::vector<GifByteType> r(n), g(n), b(n), out(n);
    for (int y = 0; y < h; ++y) {
        const uchar* line = rgb.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            r[i] = line[3 * x];
            g[i] = line[3 * x + 1];
            b[i] = line[3 * x + 2];
        }
    }
    int colours = 256;
    std::vector<GifColorType> palette(256);
    if (GifQuantizeBuffer(unsigned(w), unsigned(h), &colours, r.data(), g.data(), b.data(), out.data(),
                          palette.data()) == GIF_ERROR)
        return fail(QStringLiteral("colour reduction failed"));
    ColorMapObject* map = GifMakeMapObject(256, palette.data());
    if (!map) return fail(QStringLiteral("out of memory"));

    int err = 0;
    const QByteArray name = QFile::encodeName(path);
    GifFileType* gif = EGifOpenFileName(name.constData(), false, &err);
    if (!gif) {
        GifFreeMapObject(map);
        return fail(QStringLiteral("cannot create %1: %2").arg(path, QString::fromUtf8(GifErrorString(err))));
    }
    EGifSetGifVersion(gif, false);
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map) != GIF_ERROR &&
              EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) != GIF_ERROR;
    for (int y = 0; ok && y < h; ++y)
        ok = EGifPutLine(gif, out.data() + std::size_t(y) * std::size_t(w), w) != GIF_ERROR;
    const int writeError = gif->Error;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &err) == GIF_ERROR) ok = false;
    if (!ok)
        return fail(
            QStringLiteral("cannot write %1 (giflib error %2)").arg(path).arg(writeError ? writeError : err));
    return true;
}
