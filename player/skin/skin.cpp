#include "skin.h"

#include "skinkeys.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSet>

namespace {

QStringList bitmapNameList() {
    using namespace skinkey;
    QStringList n = CSkin::backgroundNames();
    for (const char* key : {m_pbmSliderVideoBgLeft, m_pbmSliderVideoBgMid, m_pbmSliderAudioBg,
                            m_pbmThumbCalBg, m_pbmPBG, m_pbmPBG2})
        n << QLatin1String(key);
    auto family = [&n](const QString& prefix, const auto& states) {
        for (const char* state : states) n << prefix + QLatin1String(state);
    };
    for (const char* p : kPageButtonFamilies) family(QLatin1String(p), kPageButtonStates);
    for (const char* p : kDialogButtonFamilies) family(QLatin1String(p), kDialogButtonStates);
    for (const char* sec : kPreviewSeconds)
        family(QLatin1String(m_pbmPSec) + QLatin1String(sec), kPreviewSecondStates);
    for (const char* nav : kPreviewNavButtons)
        family(QLatin1String(m_pbmPNav_) + QLatin1String(nav), kPreviewNavStates);
    for (const char* nav : kPreviewWideButtons)
        family(QLatin1String(m_pbmPNav_) + QLatin1String(nav), kPreviewWideStates);
    return n;
}

// The control type of a CTRL line and the skin key it must name.
struct CtrlType {
    const char* type;
    int kind;
    const char* name;
};
constexpr CtrlType kCtrlTypes[] = {
    {skinkey::kCtrlEdit, CtrlRect::PlayTime, skinkey::m_edtNavPlaytime},
    {skinkey::kCtrlThumb, CtrlRect::Thumbnail, skinkey::m_ThumbnailCtrl},
    {skinkey::kCtrlAudioSlider, CtrlRect::AudioSlider, skinkey::m_sldNavAudio},
    {skinkey::kCtrlVideoSlider, CtrlRect::VideoSlider, skinkey::m_sldPlaySlider},
    {skinkey::kCtrlViewer, CtrlRect::Video, skinkey::m_Korvid},
};

// Larger pictures and windows than any screen are a broken skin, not a
// reason to allocate gigabytes.
constexpr int kMaxExtent = 8192;
bool sizeOk(int w, int h) { return w > 0 && h > 0 && w <= 4096 && h <= 4096; }

}  // namespace

const QStringList& CSkin::backgroundNames() {
    using namespace skinkey;
    static const QStringList names = [] {
        QStringList l;
        for (const char* key : {m_pbmBG11, m_pbmBG12, m_pbmBG13, m_pbmBG21, m_pbmBG22, m_pbmBG23, m_pbmBG31,
                                m_pbmBG32, m_pbmBG33})
            l << QLatin1String(key);
        return l;
    }();
    return names;
}

bool CSkin::isBitmapName(const QString& name) {
    static const QSet<QString> names = [] {
        const QStringList l = bitmapNameList();
        return QSet<QString>(l.begin(), l.end());
    }();
    return names.contains(name);
}

const QStringList& CSkin::buttonNames() {
    using namespace skinkey;
    static const QStringList names = [] {
        QStringList l;
        for (const char* key :
             {m_btnMainBackup,       m_btnMainHelp,     m_btnMainSetup,       m_btnMainMin,
              m_btnMainMax,          m_btnMainExit,     m_btnMainTabCalendar, m_btnMainTabList,
              m_btnMainTabInfo,      m_btnNavFrameBack, m_btnNavRewind,       m_btnNavPause,
              m_btnNavPlay,          m_btnNavFF,        m_btnNavFrameNext,    m_btnMainChangeRatio,
              m_btnMainFileRecovery, m_btnMainOpenFile, m_btnMainOpenDir,     m_btnAVIExport_A,
              m_btnAVIExport_B,      m_btnAVIExport,    m_btnJPEGExport,      m_btnNavPreview,
              m_btnFilterA,          m_btnFilterM,      m_btnFilterE,         m_btnFilterT})
            l << QLatin1String(key);
        return l;
    }();
    return names;
}

const SkinButtonImages* CSkin::button(const QString& name) const {
    auto it = buttons_.constFind(name);
    return it == buttons_.constEnd() ? nullptr : &it.value();
}

void CSkin::clear() {
    designSize_ = QSize();
    bitmaps_.clear();
    buttons_.clear();
    records_.clear();
    warnings_.clear();
    pictureLoaded_ = false;
}

bool CSkin::load(const QString& iniPath, const QString& picturePath) {
    clear();
    QFile f(iniPath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    const QString text = QString::fromUtf8(f.readAll());
    QImageReader reader(picturePath);
    QImage picture = reader.read();
    parse(text, picture);
    pictureLoaded_ = !picture.isNull();
    if (picture.isNull()) warnings_.prepend(QStringLiteral("%1: %2").arg(picturePath, reader.errorString()));
    return true;
}

bool CSkin::parseValue(const QString& field, bool sizeField, int* mode, int* value) {
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

void CSkin::warn(int line, const QString& why) {
    warnings_ << QStringLiteral("line %1: %2").arg(line).arg(why);
}

QPixmap CSkin::cut(const QImage& picture, qint64 x, qint64 y, int w, int h) const {
    if (picture.isNull() || !sizeOk(w, h)) return QPixmap();
    QImage out(w, h, QImage::Format_RGB32);
    out.fill(Qt::black);
    // Positions come from the text and may lie anywhere; only a part that
    // overlaps the picture is drawn, and only then do they fit an int.
    if (x < picture.width() && y < picture.height() && x + w > 0 && y + h > 0) {
        QPainter p(&out);
        p.drawImage(QPoint(0, 0), picture, QRect(int(x), int(y), w, h));
        p.end();
    }
    return QPixmap::fromImage(out);
}

void CSkin::parse(const QString& text, const QImage& picture) {
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
                warn(lineNo,
                     QStringLiteral("DLGSIZE needs a width and a height from 1 to %1").arg(kMaxExtent));
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
            bitmaps_.insert(f[1], cut(picture, qint64(x) + baseX, qint64(y) + baseY, w, h));
        } else if (type == QLatin1String("BUTTON")) {
            int x, y, w, h;
            CtrlRect r;
            if (f.size() < 11 || !number(4, &x) || !number(5, &y) || !number(6, &w) || !number(7, &h) ||
                !parseValue(f[9].trimmed(), false, &r.xMode, &r.x) ||
                !parseValue(f[10].trimmed(), false, &r.yMode, &r.y)) {
                warn(lineNo,
                     QStringLiteral("BUTTON needs name, kind, direction, x, y, width, height, a spare field "
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
                images.images << cut(picture, qint64(x) + baseX + (down ? 0 : k * w),
                                     qint64(y) + baseY + (down ? k * h : 0), w, h);
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
                !parseValue(f[4].trimmed(), false, &r.yMode, &r.y) ||
                !parseValue(f[5].trimmed(), true, &wMode, &r.width) ||
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

QRect CSkin::place(const CtrlRect& r, int W, int H, QSize design) {
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
