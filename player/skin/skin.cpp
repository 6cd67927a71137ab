#include "skin.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSet>

namespace {

QStringList bitmapNameList()
{
    QStringList n = CSkin::backgroundNames();
    n << QStringLiteral("m_pbmSliderVideoBgLeft") << QStringLiteral("m_pbmSliderVideoBgMid")
      << QStringLiteral("m_pbmSliderAudioBg") << QStringLiteral("m_pbmThumbCalBg");
    const QStringList four = {QStringLiteral("NM"), QStringLiteral("RO"), QStringLiteral("CK")};
    for (const char* p : {"m_pbmThumbPagePrev", "m_pbmThumbPageNext"})
        for (const char* s : {"NM", "RO", "CK", "OFF"}) n << QLatin1String(p) + QLatin1String(s);
    for (const char* p :
         {"m_pbmHelpExit", "m_pbmImageSave", "m_pbmImageCaption", "m_pbmImageCLeft", "m_pbmImageCRight",
          "m_pbmImageR704x480", "m_pbmImageR352x240", "m_pbmImageR704x576", "m_pbmImageR352x288",
          "m_pbmImageROriginal", "m_pbmAviSave", "m_pbmAviPrev", "m_pbmAviNext", "m_pbmAviFirst", "m_pbmAviLast",
          "m_pbmBackupStart", "m_pbmBackupStop"})
        for (const QString& s : four) n << QLatin1String(p) + s;
    n << QStringLiteral("m_pbmPBG") << QStringLiteral("m_pbmPBG2");
    for (const char* sec : {"01", "02", "03", "05", "10", "20", "30", "60"})
        for (const char* s : {"NM", "RO", "CK", "ON"})
            n << QStringLiteral("m_pbmPSec") + QLatin1String(sec) + QLatin1String(s);
    for (const char* nav : {"PF", "PB", "FB", "FN", "PN", "PL", "PA"})
        for (const char* s : {"ON", "CK", "RO", "NM"})
            n << QStringLiteral("m_pbmPNav_") + QLatin1String(nav) + QLatin1String(s);
    for (const char* nav : {"BACK", "PLAY"})
        for (const char* s : {"CK", "RO", "NM"}) n << QStringLiteral("m_pbmPNav_") + QLatin1String(nav) + QLatin1String(s);
    return n;
}

// The control type of a CTRL line and the skin key it must name.
struct CtrlType {
    const char* type;
    int kind;
    const char* name;
};
constexpr CtrlType kCtrlTypes[] = {
    {"EDIT", CtrlRect::PlayTime, "m_edtNavPlaytime"},   {"THUMB", CtrlRect::Thumbnail, "m_ThumbnailCtrl"},
    {"SLD_AUDIO", CtrlRect::AudioSlider, "m_sldNavAudio"}, {"SLD_VIDEO", CtrlRect::VideoSlider, "m_sldPlaySlider"},
    {"VIEWER", CtrlRect::Video, "m_Korvid"},
};

// Larger pictures and windows than any screen are a broken skin, not a
// reason to allocate gigabytes.
constexpr int kMaxExtent = 8192;
bool sizeOk(int w, int h) { return w > 0 && h > 0 && w <= 4096 && h <= 4096; }

}  // namespace

const QStringList& CSkin::backgroundNames()
{
    static const QStringList names = {
        QStringLiteral("m_pbmBG11"), QStringLiteral("m_pbmBG12"), QStringLiteral("m_pbmBG13"),
        QStringLiteral("m_pbmBG21"), QStringLiteral("m_pbmBG22"), QStringLiteral("m_pbmBG23"),
        QStringLiteral("m_pbmBG31"), QStringLiteral("m_pbmBG32"), QStringLiteral("m_pbmBG33")};
    return names;
}

bool CSkin::isBitmapName(const QString& name)
{
    static const QSet<QString> names = [] {
        const QStringList l = bitmapNameList();
        return QSet<QString>(l.begin(), l.end());
    }();
    return names.contains(name);
}

const QStringList& CSkin::buttonNames()
{
    static const QStringList names = {
        QStringLiteral("m_btnMainBackup"),       QStringLiteral("m_btnMainHelp"),
        QStringLiteral("m_btnMainSetup"),        QStringLiteral("m_btnMainMin"),
        QStringLiteral("m_btnMainMax"),          QStringLiteral("m_btnMainExit"),
        QStringLiteral("m_btnMainTabCalendar"),  QStringLiteral("m_btnMainTabList"),
        QStringLiteral("m_btnMainTabInfo"),      QStringLiteral("m_btnNavFrameBack"),
        QStringLiteral("m_btnNavRewind"),        QStringLiteral("m_btnNavPause"),
        QStringLiteral("m_btnNavPlay"),          QStringLiteral("m_btnNavFF"),
        QStringLiteral("m_btnNavFrameNext"),     QStringLiteral("m_btnMainChangeRatio"),
        QStringLiteral("m_btnMainFileRecovery"), QStringLiteral("m_btnMainOpenFile"),
        QStringLiteral("m_btnMainOpenDir"),      QStringLiteral("m_btnAVIExport_A"),
        QStringLiteral("m_btnAVIExport_B"),      QStringLiteral("m_btnAVIExport"),
        QStringLiteral("m_btnJPEGExport"),       QStringLiteral("m_btnNavPreview"),
        QStringLiteral("m_btnFilterA"),          QStringLiteral("m_btnFilterM"),
        QStringLiteral("m_btnFilterE"),          QStringLiteral("m_btnFilterT")};
    return names;
}

const SkinButtonImages* CSkin::button(const QString& name) const
{
    auto it = buttons_.constFind(name);
    return it == buttons_.constEnd() ? nullptr : &it.value();
}

void CSkin::clear()
{
    designSize_ = QSize();
    bitmaps_.clear();
    buttons_.clear();
    records_.clear();
    warnings_.clear();
    pictureLoaded_ = false;
}

bool CSkin::load(const QString& iniPath, const QString& picturePath)
{
    clear();
    QFile f(iniPath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    const QString text = QString::fromUtf8(f.readAll());
    QImageReader reader(picturePath);
    QImage picture = reader.read();
    parse(text, picture);
    pictureLoaded_ = !picture.isNull();
    if (picture.isNull())
        warnings_.prepend(QStringLiteral("%1: %2").arg(picturePath, reader.errorString()));
    return true;
}

bool CSkin::parseValue(const QString& field, bool sizeField, int* mode, int* value)
{
    QString s = field;
    *mode = CtrlRect::Absolute;
    if (!sizeField && s.startsWith(QLatin1Char('-'))) {
        *mode = CtrlRect::FromEnd;
        s.remove(0, 1);
    } else if (!sizeField && s.startsWith(QLatin1Char('*'))) {
        *mode = CtrlRect::Percent;
        s.remove(0, 1);
    } else if (sizeField && s.startsWith(QLatin1Char('+'))) {
        *mode = CtrlRect::Grows;
        s.remove(0, 1);
    }
    bool ok = false;
    *value = s.toInt(&ok, 10);
    return ok && !s.startsWith(QLatin1Char('+')) && !s.startsWith(QLatin1Char('-'));
}

void CSkin::warn(int line, const QString& why)
{
    warnings_ << QStringLiteral("line %1: %2").arg(line).arg(why);
}

QPixmap CSkin::cut(const QImage& picture, int x, int y, int w, int h) const
{
    if (picture.isNull() || !sizeOk(w, h)) return QPixmap();
    QImage out(w, h, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.drawImage(QPoint(0, 0), picture, QRect(x, y, w, h));
    p.end();
    return QPixmap::fromImage(out);
}

void CSkin::parse(const QString& text, const QImage& picture)
{
    int baseX = 0;
    int baseY = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        const QString& type = f[0];
        auto number = [&](int idx, int* out) {
            bool ok = false;
            *out = f[idx].trimmed().toInt(&ok, 10);
            return ok;
        };
        if (type == QLatin1String("DLGSIZE")) {
            int w = 0, h = 0;
            if (f.size() < 3 || !number(1, &w) || !number(2, &h) || w <= 0 || h <= 0 || w > kMaxExtent ||
                h > kMaxExtent) {
                warn(lineNo, QStringLiteral("DLGSIZE needs a width and a height from 1 to %1").arg(kMaxExtent));
                continue;
            }
            designSize_ = QSize(w, h);
        } else if (type == QLatin1String("BASE")) {
            int x = 0, y = 0;
            if (f.size() < 3 || !number(1, &x) || !number(2, &y)) {
                warn(lineNo, QStringLiteral("BASE needs x and y"));
                continue;
            }
            baseX = x;
            baseY = y;
        } else if (type == QLatin1String("BITMAP")) {
            int x, y, w, h;
            if (f.size() < 6 || !number(2, &x) || !number(3, &y) || !number(4, &w) || !number(5, &h)) {
                warn(lineNo, QStringLiteral("BITMAP needs a name, x, y, width and height"));
                continue;
            }
            if (!sizeOk(w, h)) {
                warn(lineNo, QStringLiteral("BITMAP %1: size %2 x %3 out of range").arg(f[1]).arg(w).arg(h));
                continue;
            }
            if (!isBitmapName(f[1])) continue;  // unknown names are ignored
            bitmaps_.insert(f[1], cut(picture, x + baseX, y + baseY, w, h));
        } else if (type == QLatin1String("BUTTON")) {
            int x, y, w, h;
            CtrlRect r;
            if (f.size() < 11 || !number(4, &x) || !number(5, &y) || !number(6, &w) || !number(7, &h) ||
                !parseValue(f[9].trimmed(), false, &r.xMode, &r.x) || !parseValue(f[10].trimmed(), false, &r.yMode, &r.y)) {
                warn(lineNo, QStringLiteral("BUTTON needs name, kind, direction, x, y, width, height, a spare field "
                                            "and two positions"));
                continue;
            }
            if (!sizeOk(w, h)) {
                warn(lineNo, QStringLiteral("BUTTON %1: size %2 x %3 out of range").arg(f[1]).arg(w).arg(h));
                continue;
            }
            if (!buttonNames().contains(f[1])) continue;
            SkinButtonImages images;
            images.stateKind = f[2];
            const int count = f[2] == QLatin1String("3BTN")   ? 3
                              : f[2] == QLatin1String("4BTN") ? 4
                              : f[2] == QLatin1String("6BTN") ? 6
                                                              : 0;
            const bool down = f[3] == QLatin1String("d");
            for (int k = 0; k < count; ++k)
                images.images << cut(picture, x + baseX + (down ? 0 : k * w), y + baseY + (down ? k * h : 0), w, h);
            buttons_.insert(f[1], images);
            r.kind = CtrlRect::Button;
            r.name = f[1];
            r.width = w;
            r.height = h;
            records_ << r;
        } else if (type == QLatin1String("CTRL")) {
            CtrlRect r;
            int wMode = 0, hMode = 0;
            if (f.size() < 7 || !parseValue(f[3].trimmed(), false, &r.xMode, &r.x) ||
                !parseValue(f[4].trimmed(), false, &r.yMode, &r.y) || !parseValue(f[5].trimmed(), true, &wMode, &r.width) ||
                !parseValue(f[6].trimmed(), true, &hMode, &r.height)) {
                warn(lineNo, QStringLiteral("CTRL needs a type, a name, x, y, width and height"));
                continue;
            }
            if (r.width < 0 || r.height < 0 || r.width > kMaxExtent || r.height > kMaxExtent) {
                warn(lineNo, QStringLiteral("CTRL %1: size out of range").arg(f[2]));
                continue;
            }
            const CtrlType* t = nullptr;
            for (const CtrlType& c : kCtrlTypes)
                if (f[1] == QLatin1String(c.type)) t = &c;
            if (!t) {
                warn(lineNo, QStringLiteral("unknown control type %1").arg(f[1]));
                continue;
            }
            if (f[2] != QLatin1String(t->name)) {
                warn(lineNo, QStringLiteral("%1 does not name a %2 control").arg(f[2], f[1]));
                continue;
            }
            r.kind = t->kind;
            r.name = f[2];
            r.xMode += wMode;
            r.yMode += hMode;
            records_ << r;
        }
        // Other line types are ignored.
    }
}

QRect CSkin::place(const CtrlRect& r, int W, int H, QSize design)
{
    auto pos = [](int mode, int v, int extent) {
        switch (mode % 10) {
        case CtrlRect::FromEnd: return extent - v;
        case CtrlRect::Percent: return int(qint64(v) * extent / 100);
        default: return v;
        }
    };
    const int x = pos(r.xMode, r.x, W);
    const int y = pos(r.yMode, r.y, H);
    const int w = r.xMode >= CtrlRect::Grows ? r.width + W - design.width() : r.width;
    const int h = r.yMode >= CtrlRect::Grows ? r.height + H - design.height() : r.height;
    return QRect(x, y, std::max(0, w), std::max(0, h));
}
