// The skin description parser on any text, cutting from a small template
// picture, then every placement record laid out for the design size and for
// a larger and a tiny window.
#include "fuzzsupport.h"
#include "skin.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace korvidfuzz {

namespace {

void ensureApplication() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "korvid-fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

}  // namespace

int skinTarget(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    static const QImage picture = [] {
        QImage p(96, 64, QImage::Format_RGB32);
        p.fill(Qt::darkGray);
        return p;
    }();
    CSkin skin;
    skin.parse(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)), picture);
    const QSize design = skin.designSize();
    for (const CtrlRect& r : skin.records()) {
        FUZZ_CHECK(r.width >= 0 && r.height >= 0);
        for (const QSize& window : {design, design + QSize(400, 300), QSize(1, 1)}) {
            const QRect placed = CSkin::place(r, window.width(), window.height(), design);
            FUZZ_CHECK(placed.width() >= 0 && placed.height() >= 0);
        }
    }
    for (const QString& name : CSkin::buttonNames())
        if (const SkinButtonImages* b = skin.button(name)) FUZZ_CHECK(b->images.size() <= 6);
    int mode = 0, value = 0;
    (void)CSkin::parseValue(
        QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(std::min<std::size_t>(size, 16))),
        size & 1, &mode, &value);
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(skinTarget)
