#include "thumbnail.h"

#include "framedecoder.h"
#include "keypicture.h"
#include "qmr3format.h"
#include "videolibrary.h"

#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

int failWith(const std::string& why) {
    std::fprintf(stderr, "qmr3tool: %s\n", why.c_str());
    return 1;
}

}  // namespace

int cmdThumbnail(const std::vector<std::string>& args) {
    std::vector<std::string> names;
    int size = 128;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size()) {
            char* end = nullptr;
            const long n = std::strtol(args[++i].c_str(), &end, 10);
            if (!end || *end || n < 8 || n > 4096) {
                std::fprintf(stderr, "qmr3tool: --size takes a number of pixels from 8 to 4096\n");
                return 2;
            }
            size = int(n);
        } else {
            names.push_back(args[i]);
        }
    }
    if (names.size() != 2 || names[0].empty() || names[1].empty()) {
        std::fprintf(stderr, "usage: qmr3tool thumbnail FILE OUT.png [--size N]\n");
        return 2;
    }
    const std::string& path = names[0];
    CVideoLibrary lib;
    lib.scanFileList({path});
    const QMR3FILE* f = lib.fileCount() == 1 ? lib.file(0) : nullptr;
    if (!f) return failWith(lib.errors().empty() ? "not a recording: " + path : lib.errors().front());
    if (f->damaged) return failWith("damaged recording: " + path);
    std::string why;
    const auto coded =
        keypicture::firstPicture(path, qmr3::kFileHeaderSize, f->productId, f->width, f->height, &why);
    if (!coded) return failWith(why);
    const auto bmp = grabdecode::pictureAsBmp(coded->stream(), f->width, f->height,
                                              keypicture::deinterlaceFor(f->productId, f->width),
                                              {int(f->width), int(f->height)}, &why);
    if (!bmp) return failWith(why + " (" + path + ")");
    QImage picture;
    if (!picture.loadFromData(bmp->data(), int(bmp->size()), "BMP"))
        return failWith("cannot read the decoded picture");
    if (picture.width() > size || picture.height() > size)
        picture = picture.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Whole or not at all: the file manager may read it at any moment.
    QSaveFile out(QString::fromStdString(names[1]));
    if (!out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit())
        return failWith("cannot write " + names[1] + ": " + out.errorString().toStdString());
    return 0;
}
