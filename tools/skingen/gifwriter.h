// Writes a QImage as a single-frame GIF through giflib.
#pragma once

#include <QImage>
#include <QString>

// Reduces the picture to 256 colours (median cut) and writes it; false on
// any giflib failure, with the reason in *error.
bool writeGif(const QImage& image, const QString& path, QString* error = nullptr);
