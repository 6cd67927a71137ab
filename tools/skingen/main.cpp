// skingen: draws the player's skin (template pictures in English and Japanese,
// dialog backgrounds) and writes the templates.ini that describes it.
//
//   skingen <output folder>
//
// The two template pictures share one layout; only their texts differ, so one
// templates.ini serves both.
#include "gifwriter.h"
#include "skinkeys.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Design size of the main window.
constexpr int kDesignW = 1100;
constexpr int kDesignH = 720;

const QColor kFill(8, 8, 8);
const QColor kTopBar(20, 22, 26);
const QColor kBottomBar(18, 20, 24);
const QColor kBorder(48, 52, 60);
const QColor kSeparator(38, 42, 49);
const QColor kIcon(184, 190, 200);
const QColor kIconHover(255, 255, 255);
const QColor kAccent(61, 139, 253);
const QColor kAccentDark(29, 79, 145);
const QColor kHoverBg(38, 43, 51);
const QColor kOnBg(23, 39, 61);
const QColor kOnHoverBg(31, 53, 84);
const QColor kPanelLight(222, 225, 230);

struct Lang {
    bool jp = false;
    QString t(const char* en, const char* ja) const {
        return jp ? QString::fromUtf8(ja) : QString::fromUtf8(en);
    }
    QFont font(int pixels, int weight = QFont::Normal) const {
        QFont f(jp ? QStringLiteral("IPAGothic") : QStringLiteral("DejaVu Sans"));
        f.setPixelSize(pixels);
        f.setWeight(QFont::Weight(weight));
        f.setStyleStrategy(QFont::PreferAntialias);
        return f;
    }
};

enum class State { Normal, Hover, Pressed, OnNormal, OnHover, OnPressed, Off };

bool isOn(State s) { return s == State::OnNormal || s == State::OnHover || s == State::OnPressed; }

using Content = std::function<void(QPainter&, const QRectF&, const QColor&, const Lang&)>;
using Drawer = std::function<void(QPainter&, const QRect&, const Lang&)>;

struct Element {
    QRect rect;  // in the template, absolute
    int section = 0;
    Drawer draw;
    QString line;  // ini line with "%X %Y" placeholders for the relative position
};

class Template {
public:
    explicit Template(int width) : width_(width) {}

    void beginSection() {
        newRow();
        ++section_;
        sectionTop_.push_back(y_);
    }
    QRect place(int w, int h) {
        if (x_ + w > width_) newRow();
        QRect r(x_, y_, w, h);
        x_ += w + 2;
        rowH_ = std::max(rowH_, h);
        return r;
    }
    void add(Element e) {
        e.section = section_;
        elements_.push_back(std::move(e));
    }
    int height() const { return y_ + rowH_ + 2; }
    int width() const { return width_; }
    const std::vector<Element>& elements() const { return elements_; }
    int sectionTop(int s) const { return sectionTop_[std::size_t(s)]; }

private:
    void newRow() {
        if (rowH_ > 0) y_ += rowH_ + 2;
        x_ = 0;
        rowH_ = 0;
    }
    int width_;
    int x_ = 0, y_ = 0, rowH_ = 0;
    int section_ = -1;
    std::vector<int> sectionTop_;
    std::vector<Element> elements_;
};

// ---- drawing helpers -------------------------------------------------------

void fillRounded(QPainter& p, const QRectF& r, qreal radius, const QColor& c) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, c);
}

void drawCentredText(QPainter& p, const QRectF& r, const QString& text, const QFont& f, const QColor& c) {
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, text);
    // The Japanese font has no bold face: a second pass half a pixel over
    // gives the labels the same weight as the English ones.
    if (f.weight() >= QFont::DemiBold && f.family() == QLatin1String("IPAGothic"))
        p.drawText(r.translated(0.5, 0), Qt::AlignCenter | Qt::TextSingleLine, text);
}

// Icons are drawn in a 24 x 24 box scaled into r.
void withIconBox(QPainter& p, const QRectF& r, qreal box, const std::function<void()>& draw) {
    p.save();
    const qreal s = std::min(r.width(), r.height()) / box;
    p.translate(r.center().x() - 12 * s, r.center().y() - 12 * s);
    p.scale(s, s);
    draw();
    p.restore();
}

QPainterPath triangle(QPointF a, QPointF b, QPointF c) {
    QPainterPath path;
    path.moveTo(a);
    path.lineTo(b);
    path.lineTo(c);
    path.closeSubpath();
    return path;
}

enum class Icon {
    Play,
    Pause,
    FastForward,
    Rewind,
    FrameNext,
    FrameBack,
    Folder,
    File,
    Recovery,
    Backup,
    Setup,
    Help,
    Minimise,
    Maximise,
    Exit,
    Ratio,
    MarkA,
    MarkB,
    ExportClip,
    ExportStill,
    Preview,
    Prev,
    Next,
    Close
};

void drawIcon(QPainter& p, const QRectF& r, Icon icon, const QColor& c) {
    withIconBox(p, r, 24.0, [&] {
        QPen pen(c, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        switch (icon) {
        case Icon::Play: p.fillPath(triangle({8, 5}, {19, 12}, {8, 19}), c); break;
        case Icon::Pause:
            p.fillRect(QRectF(7, 5, 3.5, 14), c);
            p.fillRect(QRectF(13.5, 5, 3.5, 14), c);
            break;
        case Icon::FastForward:
            p.fillPath(triangle({4, 6}, {12, 12}, {4, 18}), c);
            p.fillPath(triangle({12, 6}, {20, 12}, {12, 18}), c);
            break;
        case Icon::Rewind:
            p.fillPath(triangle({20, 6}, {12, 12}, {20, 18}), c);
            p.fillPath(triangle({12, 6}, {4, 12}, {12, 18}), c);
            break;
        case Icon::FrameNext:
            p.fillPath(triangle({6, 6}, {15, 12}, {6, 18}), c);
            p.fillRect(QRectF(16, 6, 2.5, 12), c);
            break;
        case Icon::FrameBack:
            p.fillPath(triangle({18, 6}, {9, 12}, {18, 18}), c);
            p.fillRect(QRectF(5.5, 6, 2.5, 12), c);
            break;
        case Icon::Folder: {
            QPainterPath f;
            f.moveTo(3, 7);
            f.lineTo(9, 7);
            f.lineTo(11, 9);
            f.lineTo(21, 9);
            f.lineTo(21, 19);
            f.lineTo(3, 19);
            f.closeSubpath();
            p.drawPath(f);
            p.drawLine(QPointF(3, 12), QPointF(21, 12));
            break;
        }
        case Icon::File: {
            QPainterPath f;
            f.moveTo(6, 3);
            f.lineTo(14, 3);
            f.lineTo(19, 8);
            f.lineTo(19, 21);
            f.lineTo(6, 21);
            f.closeSubpath();
            p.drawPath(f);
            p.drawPolyline(QPolygonF({QPointF(14, 3), QPointF(14, 8), QPointF(19, 8)}));
            break;
        }
        case Icon::Recovery: {
            p.drawLine(QPointF(5, 6), QPointF(13, 6));
            p.drawLine(QPointF(5, 11), QPointF(11, 11));
            p.drawLine(QPointF(5, 16), QPointF(10, 16));
            p.drawArc(QRectF(12, 10, 9, 9), 30 * 16, 280 * 16);
            p.fillPath(triangle({20.5, 8.5}, {21.5, 13.5}, {17, 12}), c);
            break;
        }
        case Icon::Backup:
            p.drawPolyline(QPolygonF({QPointF(4, 14), QPointF(4, 20), QPointF(20, 20), QPointF(20, 14)}));
            p.drawLine(QPointF(12, 4), QPointF(12, 15));
            p.drawPolyline(QPolygonF({QPointF(8, 11), QPointF(12, 15), QPointF(16, 11)}));
            break;
        case Icon::Setup: {
            p.drawEllipse(QPointF(12, 12), 3, 3);
            for (int k = 0; k < 8; ++k) {
                const double a = k * M_PI / 4;
                p.drawLine(QPointF(12 + 6 * std::cos(a), 12 + 6 * std::sin(a)),
                           QPointF(12 + 8.5 * std::cos(a), 12 + 8.5 * std::sin(a)));
            }
            p.drawEllipse(QPointF(12, 12), 6, 6);
            break;
        }
        case Icon::Help: {
            p.drawEllipse(QPointF(12, 12), 9, 9);
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(13);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(3, 3, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        case Icon::Minimise: p.drawLine(QPointF(6, 16), QPointF(18, 16)); break;
        case Icon::Maximise: p.drawRect(QRectF(6, 6, 12, 12)); break;
        case Icon::Exit:
        case Icon::Close:
            p.drawLine(QPointF(7, 7), QPointF(17, 17));
            p.drawLine(QPointF(17, 7), QPointF(7, 17));
            break;
        case Icon::Ratio:
            p.drawRect(QRectF(3, 6, 18, 12));
            p.drawPolyline(QPolygonF({QPointF(7, 12), QPointF(7, 9), QPointF(10, 9)}));
            p.drawPolyline(QPolygonF({QPointF(17, 12), QPointF(17, 15), QPointF(14, 15)}));
            break;
        case Icon::MarkA:
        case Icon::MarkB: {
            const bool a = icon == Icon::MarkA;
            p.drawLine(QPointF(a ? 6 : 18, 4), QPointF(a ? 6 : 18, 20));
            p.drawLine(QPointF(a ? 6 : 18, 4), QPointF(a ? 9 : 15, 4));
            p.drawLine(QPointF(a ? 6 : 18, 20), QPointF(a ? 9 : 15, 20));
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(12);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(a ? 8 : 2, 4, 14, 16), Qt::AlignCenter,
                       a ? QStringLiteral("A") : QStringLiteral("B"));
            break;
        }
        case Icon::ExportClip:
            p.drawRect(QRectF(3, 6, 13, 12));
            p.fillPath(triangle({16, 12}, {21, 8}, {21, 16}), c);
            p.drawLine(QPointF(6, 12), QPointF(13, 12));
            break;
        case Icon::ExportStill:
            p.drawRoundedRect(QRectF(3, 7, 18, 13), 2, 2);
            p.drawPolyline(QPolygonF({QPointF(8, 7), QPointF(10, 4), QPointF(14, 4), QPointF(16, 7)}));
            p.drawEllipse(QPointF(12, 13.5), 3.5, 3.5);
            break;
        case Icon::Preview:
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) p.fillRect(QRectF(4 + i * 6, 4 + j * 6, 4.5, 4.5), c);
            break;
        case Icon::Prev: p.drawPolyline(QPolygonF({QPointF(14, 6), QPointF(8, 12), QPointF(14, 18)})); break;
        case Icon::Next: p.drawPolyline(QPolygonF({QPointF(10, 6), QPointF(16, 12), QPointF(10, 18)})); break;
        }
    });
}

QColor contentColour(State s) {
    switch (s) {
    case State::Normal: return kIcon;
    case State::Hover: return kIconHover;
    case State::Pressed: return kIconHover;
    case State::OnNormal: return QColor(120, 180, 255);
    case State::OnHover: return QColor(170, 210, 255);
    case State::OnPressed: return kIconHover;
    case State::Off: return QColor(70, 74, 82);
    }
    return kIcon;
}

// A flat button face over the bar colour underneath.
void drawFace(QPainter& p, const QRectF& r, State s, const QColor& under, bool danger = false) {
    p.fillRect(r, under);
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    switch (s) {
    case State::Normal:
    case State::Off: break;
    case State::Hover: fillRounded(p, inner, 5, danger ? QColor(196, 43, 28) : kHoverBg); break;
    case State::Pressed: fillRounded(p, inner, 5, danger ? QColor(150, 30, 20) : kAccentDark); break;
    case State::OnNormal: fillRounded(p, inner, 5, kOnBg); break;
    case State::OnHover: fillRounded(p, inner, 5, kOnHoverBg); break;
    case State::OnPressed: fillRounded(p, inner, 5, kAccentDark); break;
    }
    if (isOn(s)) {
        // A thin accent line under a turned-on button.
        p.fillRect(QRectF(inner.left() + 6, inner.bottom() - 2, inner.width() - 12, 2), kAccent);
    }
}

std::vector<State> statesOf(const QString& kind) {
    if (kind == QLatin1String("4BTN")) return {State::Normal, State::Hover, State::Pressed, State::OnNormal};
    if (kind == QLatin1String("6BTN"))
        return {State::Normal,   State::Hover,   State::Pressed,
                State::OnNormal, State::OnHover, State::OnPressed};
    return {State::Normal, State::Hover, State::Pressed};
}

// ---- the skin --------------------------------------------------------------

struct Builder {
    Template tpl{1100};
    QStringList ctrlLines;

    void bitmap(const QString& name, int w, int h, Drawer draw) {
        Element e;
        e.rect = tpl.place(w, h);
        e.draw = std::move(draw);
        e.line = QStringLiteral("BITMAP\t%1\t%X\t%Y\t%2\t%3").arg(name).arg(w).arg(h);
        tpl.add(std::move(e));
    }

    // Images for one state each, laid out side by side ("r") or stacked ("d").
    void button(const QString& name, const QString& kind, const QString& dir, int w, int h,
                const QString& posX, const QString& posY, const QColor& under, const Content& content,
                bool danger = false) {
        const auto states = statesOf(kind);
        const int n = int(states.size());
        Element e;
        e.rect = dir == QLatin1String("d") ? tpl.place(w, h * n) : tpl.place(w * n, h);
        e.draw = [=](QPainter& p, const QRect& r, const Lang& lang) {
            for (int i = 0; i < n; ++i) {
                const QRectF cell = dir == QLatin1String("d") ? QRectF(r.x(), r.y() + i * h, w, h)
                                                              : QRectF(r.x() + i * w, r.y(), w, h);
                p.save();
                p.setClipRect(cell);
                drawFace(p, cell, states[std::size_t(i)], under, danger);
                content(p, cell, contentColour(states[std::size_t(i)]), lang);
                p.restore();
            }
        };
        e.line = QStringLiteral("BUTTON\t%1\t%2\t%3\t%X\t%Y\t%4\t%5\t0\t%6\t%7")
                     .arg(name, kind, dir)
                     .arg(w)
                     .arg(h)
                     .arg(posX, posY);
        tpl.add(std::move(e));
    }

    // Named state images of a dialog or panel button (BITMAP lines).
    void stateBitmaps(const QString& prefix, const QStringList& suffixes, int w, int h, const QColor& under,
                      const Content& content) {
        for (const QString& suffix : suffixes) {
            State s = State::Normal;
            if (suffix == QLatin1String("RO")) s = State::Hover;
            if (suffix == QLatin1String("CK")) s = State::Pressed;
            if (suffix == QLatin1String("ON")) s = State::OnNormal;
            if (suffix == QLatin1String("OFF")) s = State::Off;
            bitmap(prefix + suffix, w, h, [=](QPainter& p, const QRect& r, const Lang& lang) {
                drawFace(p, r, s, under);
                content(p, r, contentColour(s), lang);
            });
        }
    }
};

Content icon(Icon i) {
    return [i](QPainter& p, const QRectF& r, const QColor& c, const Lang&) {
        drawIcon(p, r.adjusted(6, 6, -6, -6), i, c);
    };
}

Content iconLabel(Icon i, const char* en, const char* ja) {
    return [=](QPainter& p, const QRectF& r, const QColor& c, const Lang& lang) {
        const qreal side = r.height() - 12;
        drawIcon(p, QRectF(r.x() + 8, r.y() + 6, side, side), i, c);
        drawCentredText(p, QRectF(r.x() + 12 + side, r.y(), r.width() - 16 - side, r.height()),
                        lang.t(en, ja), lang.font(13, QFont::DemiBold), c);
    };
}

Content label(const char* en, const char* ja, int pixels = 13) {
    return [=](QPainter& p, const QRectF& r, const QColor& c, const Lang& lang) {
        drawCentredText(p, r, lang.t(en, ja), lang.font(pixels, QFont::DemiBold), c);
    };
}

Content filterLabel(const char* letter, const char* en, const char* ja, QColor badge) {
    return [=](QPainter& p, const QRectF& r, const QColor& c, const Lang& lang) {
        const QRectF b(r.x() + 6, r.center().y() - 8, 16, 16);
        fillRounded(p, b, 3, c == contentColour(State::Normal) ? badge.darker(170) : badge);
        drawCentredText(p, b, QString::fromLatin1(letter), lang.font(11, QFont::Bold), Qt::white);
        drawCentredText(p, QRectF(b.right() + 2, r.y(), r.right() - b.right() - 4, r.height()),
                        lang.t(en, ja), lang.font(11, QFont::DemiBold), c);
    };
}

// A push button of the dialogs: an accent surface with a label.
Content dialogButton(const char* en, const char* ja, bool primary) {
    return [=](QPainter& p, const QRectF& r, const QColor& c, const Lang& lang) {
        const QRectF inner = r.adjusted(2, 2, -2, -2);
        QColor bg = primary ? kAccent : QColor(52, 58, 68);
        if (c == contentColour(State::Hover)) bg = bg.lighter(120);
        if (c == contentColour(State::Pressed)) bg = bg.darker(140);
        fillRounded(p, inner, 6, bg);
        drawCentredText(p, inner, lang.t(en, ja),
                        lang.font(std::min(15, int(r.height() / 2)), QFont::DemiBold), Qt::white);
    };
}

// ---- background set --------------------------------------------------------

constexpr int kTopH = 48;
constexpr int kBottomH = 72;
constexpr int kEdge = 8;
constexpr int kCornerW = 220;

void drawTopStrip(QPainter& p, const QRect& r) {
    // Flat: a gradient would band once reduced to 256 colours.
    p.fillRect(r, kTopBar);
    p.fillRect(QRect(r.x(), r.bottom(), r.width(), 1), kSeparator);
    p.fillRect(QRect(r.x(), r.y(), r.width(), 1), kBorder);
}

void drawBottomStrip(QPainter& p, const QRect& r) {
    p.fillRect(r, kBottomBar);
    p.fillRect(QRect(r.x(), r.y(), r.width(), 1), kSeparator);
    p.fillRect(QRect(r.x(), r.bottom(), r.width(), 1), kBorder);
}

void addBackground(Builder& b) {
    // Corners: top-left carries the name of the program.
    b.bitmap(skinkey::m_pbmBG11, kCornerW, kTopH, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kFill);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(r.x(), r.y(), r.width() + 20, r.height() + 20), 7, 7);
        p.save();
        p.setClipPath(shape);
        drawTopStrip(p, r);
        p.fillRect(QRect(r.x(), r.y(), 1, r.height()), kBorder);
        p.restore();
        QPainterPath outline;
        outline.addRoundedRect(QRectF(r.x() + 0.5, r.y() + 0.5, r.width() + 20, r.height() + 20), 7, 7);
        p.save();
        p.setClipRect(r);
        p.setPen(QPen(kBorder, 1));
        p.drawPath(outline);
        p.restore();
        // Logo mark: a rounded play symbol.
        const QRectF mark(r.x() + 14, r.y() + 10, 28, 28);
        QLinearGradient g(mark.topLeft(), mark.bottomRight());
        g.setColorAt(0, QColor(92, 166, 255));
        g.setColorAt(1, QColor(36, 98, 214));
        QPainterPath m;
        m.addRoundedRect(mark, 7, 7);
        p.fillPath(m, g);
        p.fillPath(triangle({mark.x() + 10, mark.y() + 7}, {mark.x() + 21, mark.y() + 14},
                            {mark.x() + 10, mark.y() + 21}),
                   Qt::white);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(19);
        f.setBold(true);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
        p.setFont(f);
        p.setPen(QColor(232, 236, 242));
        p.drawText(QRectF(r.x() + 52, r.y(), 160, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("KORVID"));
    });
    b.bitmap(skinkey::m_pbmBG12, kEdge, 16, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kFill);
        p.fillRect(QRect(r.x(), r.y(), 1, r.height()), kBorder);
    });
    b.bitmap(skinkey::m_pbmBG13, kCornerW, kBottomH, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kFill);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(r.x(), r.y() - 20, r.width() + 20, r.height() + 20), 7, 7);
        p.save();
        p.setClipPath(shape);
        drawBottomStrip(p, r);
        p.fillRect(QRect(r.x(), r.y(), 1, r.height()), kBorder);
        p.restore();
        QPainterPath outline;
        outline.addRoundedRect(QRectF(r.x() + 0.5, r.y() - 20, r.width() + 20, r.height() + 19.5), 7, 7);
        p.save();
        p.setClipRect(r);
        p.setPen(QPen(kBorder, 1));
        p.drawPath(outline);
        p.restore();
    });
    b.bitmap(skinkey::m_pbmBG21, 16, kTopH,
             [](QPainter& p, const QRect& r, const Lang&) { drawTopStrip(p, r); });
    // Centre picture: shown in the video area while nothing plays; the
    // version text is written at (135, 63).
    b.bitmap(skinkey::m_pbmBG22, 440, 110, [](QPainter& p, const QRect& r, const Lang& lang) {
        p.fillRect(r, kFill);
        const QRectF mark(r.x() + 60, r.y() + 26, 60, 60);
        QPainterPath m;
        m.addRoundedRect(mark, 14, 14);
        p.fillPath(m, QColor(24, 28, 34));
        p.setPen(QPen(QColor(44, 50, 60), 1.5));
        p.drawPath(m);
        p.fillPath(triangle({mark.x() + 22, mark.y() + 16}, {mark.x() + 44, mark.y() + 30},
                            {mark.x() + 22, mark.y() + 44}),
                   QColor(70, 80, 96));
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(28);
        f.setBold(true);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 3);
        p.setFont(f);
        p.setPen(QColor(70, 80, 96));
        p.drawText(QRectF(r.x() + 133, r.y() + 24, 220, 36), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("KORVID"));
        p.setFont(lang.font(11));
        p.setPen(QColor(56, 62, 74));
        p.drawText(
            QRectF(r.x() + 135, r.y() + 80, 300, 18), Qt::AlignLeft | Qt::AlignVCenter,
            lang.t("Open a folder or a recording to begin", "フォルダまたは録画ファイルを開いてください"));
    });
    b.bitmap(skinkey::m_pbmBG23, 16, kBottomH,
             [](QPainter& p, const QRect& r, const Lang&) { drawBottomStrip(p, r); });
    b.bitmap(skinkey::m_pbmBG31, 16, kTopH, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kFill);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(r.x() - 20, r.y(), r.width() + 20, r.height() + 20), 7, 7);
        p.save();
        p.setClipPath(shape);
        drawTopStrip(p, r);
        p.fillRect(QRect(r.right(), r.y(), 1, r.height()), kBorder);
        p.restore();
        QPainterPath outline;
        outline.addRoundedRect(QRectF(r.x() - 20, r.y() + 0.5, r.width() + 19.5, r.height() + 20), 7, 7);
        p.save();
        p.setClipRect(r);
        p.setPen(QPen(kBorder, 1));
        p.drawPath(outline);
        p.restore();
    });
    b.bitmap(skinkey::m_pbmBG32, kEdge, 16, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kFill);
        p.fillRect(QRect(r.right(), r.y(), 1, r.height()), kBorder);
    });
    b.bitmap(skinkey::m_pbmBG33, 24, kBottomH, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kFill);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(r.x() - 20, r.y() - 20, r.width() + 20, r.height() + 20), 7, 7);
        p.save();
        p.setClipPath(shape);
        drawBottomStrip(p, r);
        p.fillRect(QRect(r.right(), r.y(), 1, r.height()), kBorder);
        p.restore();
        QPainterPath outline;
        outline.addRoundedRect(QRectF(r.x() - 20, r.y() - 20, r.width() + 19.5, r.height() + 19.5), 7, 7);
        p.save();
        p.setClipRect(r);
        p.setPen(QPen(kBorder, 1));
        p.drawPath(outline);
        p.restore();
        // Sizing grip dots in the corner.
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j <= i; ++j)
                p.fillRect(QRect(r.right() - 6 - 4 * j, r.bottom() - 6 - 4 * (i - j), 2, 2),
                           QColor(90, 96, 108));
    });
}

// ---- main window buttons, in creation order ----------------------------------

void addMainButtons(Builder& b) {
    const QColor top = kTopBar;
    const QColor bottom = kBottomBar;
    auto topBg = QColor(top);
    // System group, right end of the title bar.
    b.button(skinkey::m_btnMainBackup, "3BTN", "r", 36, 32, "-292", "8", topBg, icon(Icon::Backup));
    b.button(skinkey::m_btnMainHelp, "3BTN", "r", 36, 32, "-214", "8", topBg, icon(Icon::Help));
    b.button(skinkey::m_btnMainSetup, "3BTN", "r", 36, 32, "-254", "8", topBg, icon(Icon::Setup));
    b.button(skinkey::m_btnMainMin, "3BTN", "r", 36, 32, "-150", "8", topBg, icon(Icon::Minimise));
    b.button(skinkey::m_btnMainMax, "4BTN", "r", 36, 32, "-112", "8", topBg, icon(Icon::Maximise));
    b.button(skinkey::m_btnMainExit, "3BTN", "r", 36, 32, "-74", "8", topBg, icon(Icon::Exit), true);
    // Panel page tabs.
    const QColor body = kFill;
    b.button(skinkey::m_btnMainTabCalendar, "6BTN", "r", 90, 28, "-292", "56", body,
             label("Calendar", "カレンダー"));
    b.button(skinkey::m_btnMainTabList, "6BTN", "r", 90, 28, "-200", "56", body, label("List", "リスト"));
    b.button(skinkey::m_btnMainTabInfo, "6BTN", "r", 90, 28, "-108", "56", body, label("Info", "情報"));
    // Transport.
    b.button(skinkey::m_btnNavFrameBack, "4BTN", "r", 36, 36, "10", "-56", bottom, icon(Icon::FrameBack));
    b.button(skinkey::m_btnNavRewind, "4BTN", "r", 36, 36, "50", "-56", bottom, icon(Icon::Rewind));
    b.button(skinkey::m_btnNavPause, "4BTN", "r", 36, 36, "90", "-56", bottom, icon(Icon::Pause));
    b.button(skinkey::m_btnNavPlay, "4BTN", "r", 36, 36, "130", "-56", bottom, icon(Icon::Play));
    b.button(skinkey::m_btnNavFF, "4BTN", "r", 36, 36, "170", "-56", bottom, icon(Icon::FastForward));
    b.button(skinkey::m_btnNavFrameNext, "4BTN", "r", 36, 36, "210", "-56", bottom, icon(Icon::FrameNext));
    b.button(skinkey::m_btnMainChangeRatio, "3BTN", "r", 36, 36, "-350", "-56", bottom, icon(Icon::Ratio));
    b.button(skinkey::m_btnMainFileRecovery, "3BTN", "r", 36, 32, "-332", "8", topBg, icon(Icon::Recovery));
    b.button(skinkey::m_btnMainOpenFile, "3BTN", "r", 128, 32, "362", "8", topBg,
             iconLabel(Icon::File, "Open File", "ファイル"));
    b.button(skinkey::m_btnMainOpenDir, "3BTN", "r", 128, 32, "230", "8", topBg,
             iconLabel(Icon::Folder, "Open Folder", "フォルダ"));
    b.button(skinkey::m_btnAVIExport_A, "3BTN", "r", 36, 36, "-550", "-56", bottom, icon(Icon::MarkA));
    b.button(skinkey::m_btnAVIExport_B, "3BTN", "r", 36, 36, "-510", "-56", bottom, icon(Icon::MarkB));
    b.button(skinkey::m_btnAVIExport, "3BTN", "r", 36, 36, "-470", "-56", bottom, icon(Icon::ExportClip));
    b.button(skinkey::m_btnJPEGExport, "3BTN", "r", 36, 36, "-430", "-56", bottom, icon(Icon::ExportStill));
    b.button(skinkey::m_btnNavPreview, "4BTN", "r", 36, 36, "-390", "-56", bottom, icon(Icon::Preview));
    // Event filters, stacked images to keep the template narrow.
    b.button(skinkey::m_btnFilterA, "6BTN", "d", 67, 26, "-292", "-106", body,
             filterLabel("A", "Alarm", "アラーム", QColor(214, 66, 48)));
    b.button(skinkey::m_btnFilterM, "6BTN", "d", 67, 26, "-223", "-106", body,
             filterLabel("M", "Motion", "動体", QColor(46, 160, 90)));
    b.button(skinkey::m_btnFilterE, "6BTN", "d", 67, 26, "-154", "-106", body,
             filterLabel("E", "Emerg.", "緊急", QColor(226, 140, 30)));
    b.button(skinkey::m_btnFilterT, "6BTN", "d", 67, 26, "-85", "-106", body,
             filterLabel("T", "Time", "定時", QColor(80, 130, 230)));
}

void addControls(Builder& b) {
    const int videoW = kDesignW - 322;
    auto ctrl = [&](const char* type, const char* key, const QString& place) {
        b.ctrlLines << QStringLiteral("CTRL\t%1\t%2\t%3").arg(QLatin1String(type), QLatin1String(key), place);
    };
    using namespace skinkey;
    ctrl(kCtrlViewer, m_Korvid, QStringLiteral("10\t56\t+%1\t+%2").arg(videoW).arg(kDesignH - 110 - 56));
    ctrl(kCtrlVideoSlider, m_sldPlaySlider, QStringLiteral("10\t-104\t+%1\t30").arg(videoW));
    ctrl(kCtrlEdit, m_edtNavPlaytime, QStringLiteral("258\t-51\t170\t26"));
    ctrl(kCtrlAudioSlider, m_sldNavAudio, QStringLiteral("440\t-50\t96\t24"));
    ctrl(kCtrlThumb, m_ThumbnailCtrl, QStringLiteral("-292\t86\t274\t+%1").arg(kDesignH - 118 - 86));
}

void addSliders(Builder& b) {
    auto track = [](QPainter& p, const QRect& r, bool left) {
        p.fillRect(r, kFill);
        QRectF groove(r.x() + (left ? 10 : 0), r.y() + 10, r.width() + (left ? -10 : 0), 3);
        p.fillRect(groove, QColor(44, 48, 56));
        if (left) fillRounded(p, QRectF(r.x() + 9, r.y() + 9.5, 6, 4), 2, QColor(44, 48, 56));
    };
    b.bitmap(skinkey::m_pbmSliderVideoBgLeft, 20, 30,
             [=](QPainter& p, const QRect& r, const Lang&) { track(p, r, true); });
    b.bitmap(skinkey::m_pbmSliderVideoBgMid, 20, 30,
             [=](QPainter& p, const QRect& r, const Lang&) { track(p, r, false); });
    b.bitmap(skinkey::m_pbmSliderAudioBg, 96, 24, [](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, kBottomBar);
        // A rising wedge: louder to the right.
        QPainterPath w;
        w.moveTo(r.x() + 4, r.y() + 16);
        w.lineTo(r.right() - 4, r.y() + 6);
        w.lineTo(r.right() - 4, r.y() + 16);
        w.closeSubpath();
        p.fillPath(w, QColor(52, 58, 68));
    });
}

void addPanelBitmaps(Builder& b) {
    b.bitmap(skinkey::m_pbmThumbCalBg, 274, 465, [](QPainter& p, const QRect& r, const Lang& lang) {
        p.fillRect(r, QColor(16, 18, 22));
        const QPoint o = r.topLeft();
        // Month bar with the two arrows.
        fillRounded(p, QRectF(o.x() + 4, o.y() + 1, 266, 20), 4, QColor(28, 32, 38));
        drawIcon(p, QRectF(o.x() + 17, o.y() + 2, 18, 18), Icon::Prev, kIcon);
        drawIcon(p, QRectF(o.x() + 239, o.y() + 2, 18, 18), Icon::Next, kIcon);
        // Weekday names above the day grid.
        const char* en[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        const char* ja[] = {"日", "月", "火", "水", "木", "金", "土"};
        for (int c = 0; c < 7; ++c) {
            QColor col = c == 0   ? QColor(230, 110, 100)
                         : c == 6 ? QColor(110, 160, 240)
                                  : QColor(150, 156, 166);
            drawCentredText(p, QRectF(o.x() + 7 + c * 37, o.y() + 21, 37, 12), lang.t(en[c], ja[c]),
                            lang.font(10), col);
        }
        for (int row = 0; row < 6; ++row)
            for (int c = 0; c < 7; ++c)
                fillRounded(p, QRectF(o.x() + 8 + c * 37, o.y() + 34 + row * 18, 35, 16), 3,
                            QColor(24, 27, 33));
        // Half-hour slots: hours 0-11 at x 37, 12-23 at x 167.
        QFont small = lang.font(10);
        for (int half = 0; half < 2; ++half) {
            const int x0 = half ? 167 : 37;
            drawCentredText(p, QRectF(o.x() + x0, o.y() + 150, 50, 12), QStringLiteral(":00"), small,
                            QColor(150, 156, 166));
            drawCentredText(p, QRectF(o.x() + x0 + 50, o.y() + 150, 50, 12), QStringLiteral(":30"), small,
                            QColor(150, 156, 166));
            for (int h = 0; h < 12; ++h) {
                const int y = 162 + h * 24;
                drawCentredText(p, QRectF(o.x() + x0 - 30, o.y() + y, 28, 24), QString::number(half * 12 + h),
                                small, QColor(150, 156, 166));
                fillRounded(p, QRectF(o.x() + x0 + 1, o.y() + y + 2, 48, 20), 3, QColor(24, 27, 33));
                fillRounded(p, QRectF(o.x() + x0 + 51, o.y() + y + 2, 48, 20), 3, QColor(24, 27, 33));
            }
        }
    });
    b.stateBitmaps(skinkey::m_pbmThumbPagePrev, {"NM", "RO", "CK", "OFF"}, 30, 30, QColor(16, 18, 22),
                   icon(Icon::Prev));
    b.stateBitmaps(skinkey::m_pbmThumbPageNext, {"NM", "RO", "CK", "OFF"}, 30, 30, QColor(16, 18, 22),
                   icon(Icon::Next));
}

void addDialogBitmaps(Builder& b) {
    const QColor dlg(16, 18, 22);
    const QStringList three = {"NM", "RO", "CK"};
    b.stateBitmaps(skinkey::m_pbmHelpExit, three, 24, 24, dlg,
                   [](QPainter& p, const QRectF& r, const QColor& c, const Lang&) {
                       drawIcon(p, r.adjusted(2, 2, -2, -2), Icon::Close, c);
                   });
    b.stateBitmaps(skinkey::m_pbmImageSave, three, 178, 64, dlg, dialogButton("Save", "保存", true));
    b.stateBitmaps(skinkey::m_pbmImageCaption, three, 66, 27, dlg, dialogButton("Apply", "適用", false));
    b.stateBitmaps(skinkey::m_pbmImageCLeft, three, 43, 26, dlg, dialogButton("Left", "左", false));
    b.stateBitmaps(skinkey::m_pbmImageCRight, three, 43, 26, dlg, dialogButton("Right", "右", false));
    b.stateBitmaps(skinkey::m_pbmImageR704x480, three, 178, 30, dlg,
                   dialogButton("704 x 480", "704 x 480", false));
    b.stateBitmaps(skinkey::m_pbmImageR352x240, three, 178, 30, dlg,
                   dialogButton("352 x 240", "352 x 240", false));
    b.stateBitmaps(skinkey::m_pbmImageR704x576, three, 178, 30, dlg,
                   dialogButton("704 x 576", "704 x 576", false));
    b.stateBitmaps(skinkey::m_pbmImageR352x288, three, 178, 30, dlg,
                   dialogButton("352 x 288", "352 x 288", false));
    b.stateBitmaps(skinkey::m_pbmImageROriginal, three, 178, 30, dlg,
                   dialogButton("Original Size", "元のサイズ", false));
    b.stateBitmaps(skinkey::m_pbmAviSave, three, 178, 36, dlg, dialogButton("Export", "書き出し", true));
    b.stateBitmaps(skinkey::m_pbmAviPrev, three, 40, 28, dlg, dialogButton("-", "-", false));
    b.stateBitmaps(skinkey::m_pbmAviNext, three, 40, 28, dlg, dialogButton("+", "+", false));
    b.stateBitmaps(skinkey::m_pbmAviFirst, three, 28, 96, dlg,
                   [](QPainter& p, const QRectF& r, const QColor& c, const Lang& l) {
                       dialogButton("", "", false)(p, r, c, l);
                       drawIcon(p, QRectF(r.x() + 2, r.center().y() - 12, 24, 24), Icon::Rewind, Qt::white);
                   });
    b.stateBitmaps(skinkey::m_pbmAviLast, three, 28, 96, dlg,
                   [](QPainter& p, const QRectF& r, const QColor& c, const Lang& l) {
                       dialogButton("", "", false)(p, r, c, l);
                       drawIcon(p, QRectF(r.x() + 2, r.center().y() - 12, 24, 24), Icon::FastForward,
                                Qt::white);
                   });
    // The backup dialog's buttons sit on its light sheet.
    b.stateBitmaps(skinkey::m_pbmBackupStart, three, 178, 36, kPanelLight,
                   dialogButton("Start Backup", "バックアップ開始", true));
    b.stateBitmaps(skinkey::m_pbmBackupStop, three, 178, 36, kPanelLight,
                   dialogButton("Stop", "停止", false));
}

void addPreviewBitmaps(Builder& b) {
    const QColor bar(18, 20, 24);
    b.bitmap(skinkey::m_pbmPBG, 720, 30, [=](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, bar);
        p.fillRect(QRect(r.x(), r.y(), r.width(), 1), kSeparator);
    });
    b.bitmap(skinkey::m_pbmPBG2, 310, 30, [=](QPainter& p, const QRect& r, const Lang&) {
        p.fillRect(r, bar);
        p.fillRect(QRect(r.x(), r.y(), r.width(), 1), kSeparator);
    });
    const QStringList four = {"NM", "RO", "CK", "ON"};
    const char* secs[] = {"01", "02", "03", "05", "10", "20", "30", "60"};
    for (const char* s : secs) {
        const QString text = QString::number(QString::fromLatin1(s).toInt()) + QStringLiteral("s");
        b.stateBitmaps(QLatin1String(skinkey::m_pbmPSec) + QLatin1String(s), four, 50, 15, bar,
                       [text](QPainter& p, const QRectF& r, const QColor& c, const Lang& l) {
                           drawCentredText(p, r, text, l.font(10, QFont::DemiBold), c);
                       });
    }
    struct Nav {
        const char* key;
        Icon icon;
    };
    const Nav navs[] = {{"PF", Icon::Rewind},    {"PB", Icon::Prev}, {"FB", Icon::FrameBack},
                        {"FN", Icon::FrameNext}, {"PN", Icon::Next}, {"PL", Icon::FastForward},
                        {"PA", Icon::Play}};
    for (const Nav& n : navs)
        b.stateBitmaps(QLatin1String(skinkey::m_pbmPNav_) + QLatin1String(n.key), {"ON", "CK", "RO", "NM"},
                       50, 30, bar, [i = n.icon](QPainter& p, const QRectF& r, const QColor& c, const Lang&) {
                           drawIcon(p, r.adjusted(13, 3, -13, -3), i, c);
                       });
    b.stateBitmaps(QLatin1String(skinkey::m_pbmPNav_) + QLatin1String("BACK"), {"CK", "RO", "NM"}, 95, 30,
                   bar, label("Back", "戻る", 12));
    b.stateBitmaps(QLatin1String(skinkey::m_pbmPNav_) + QLatin1String("PLAY"), {"CK", "RO", "NM"}, 95, 30,
                   bar, label("Play", "再生", 12));
}

// ---- dialog backgrounds ----------------------------------------------------

QImage dialogFrame(int w, int h, const QString& title, const Lang& lang, int barHeight = 34) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kFill);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 10, 10);
    p.fillPath(body, QColor(16, 18, 22));
    QPainterPath head;
    head.addRoundedRect(QRectF(0.5, 0.5, w - 1, 60), 10, 10);
    p.save();
    p.setClipRect(QRect(0, 0, w, barHeight));
    p.fillPath(head, kTopBar);
    p.restore();
    p.fillRect(QRect(1, barHeight, w - 2, 1), kSeparator);
    p.setPen(QPen(kBorder, 1));
    p.drawPath(body);
    p.setFont(lang.font(15, QFont::Bold));
    p.setPen(QColor(230, 234, 240));
    p.drawText(QRectF(20, 0, w - 80, barHeight), Qt::AlignVCenter | Qt::AlignLeft, title);
    return img;
}

void drawPanel(QPainter& p, const QRectF& r, const QColor& c = QColor(24, 27, 33)) {
    fillRounded(p, r, 6, c);
}

void drawSmallLabel(QPainter& p, const QRectF& r, const QString& text, const Lang& l,
                    Qt::Alignment a = Qt::AlignLeft) {
    p.setFont(l.font(12, QFont::DemiBold));
    p.setPen(QColor(150, 156, 166));
    p.drawText(r, a | Qt::AlignVCenter, text);
}

QImage exportImageBackground(const Lang& l) {
    // A lower title bar: the caption band above a picture starts at y 30.
    QImage img = dialogFrame(925, 696, l.t("Export Still Image", "静止画の書き出し"), l, 29);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The picture at (12, 50) up to 704 x 576, with a 20-pixel band above or below.
    drawPanel(p, QRectF(8, 31, 714, 618), QColor(8, 8, 8));
    drawSmallLabel(p, QRectF(729, 52, 178, 22), l.t("Picture size", "画像サイズ"), l);
    drawSmallLabel(p, QRectF(729, 220, 178, 22), l.t("Caption position", "キャプションの位置"), l);
    // Left and right buttons of each row; the picture rows lie on the small
    // preview drawn at (731, 279), 174 x 118.
    drawPanel(p, QRectF(776, 248, 86, 26));
    drawPanel(p, QRectF(776, 401, 86, 26));
    drawSmallLabel(p, QRectF(776, 248, 86, 26), l.t("Above", "上の帯"), l, Qt::AlignHCenter);
    drawSmallLabel(p, QRectF(776, 401, 86, 26), l.t("Below", "下の帯"), l, Qt::AlignHCenter);
    drawPanel(p, QRectF(729, 277, 178, 122));
    drawSmallLabel(p, QRectF(14, 660, 100, 26), l.t("Caption", "キャプション"), l);
    drawPanel(p, QRectF(116, 660, 717, 25), QColor(67, 67, 67));
    return img;
}

QImage exportAviBackground(const Lang& l) {
    QImage img = dialogFrame(925, 534, l.t("Export Movie Clip", "動画の書き出し"), l);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Frames around the two previews drawn at (22, 64) and (472, 64), 430 x 287.
    drawPanel(p, QRectF(16, 40, 442, 316));
    drawPanel(p, QRectF(466, 40, 442, 316));
    drawSmallLabel(p, QRectF(24, 42, 200, 20), l.t("Start point (A)", "開始点 (A)"), l);
    drawSmallLabel(p, QRectF(474, 42, 200, 20), l.t("End point (B)", "終了点 (B)"), l);
    const char* rows[] = {"1 min", "10 sec", "1 sec"};
    const char* rowsJa[] = {"1分", "10秒", "1秒"};
    for (int i = 0; i < 3; ++i) {
        drawSmallLabel(p, QRectF(228, 362 + i * 34, 54, 28), l.t(rows[i], rowsJa[i]), l, Qt::AlignHCenter);
        drawSmallLabel(p, QRectF(644, 362 + i * 34, 54, 28), l.t(rows[i], rowsJa[i]), l, Qt::AlignHCenter);
    }
    drawSmallLabel(p, QRectF(120, 464, 90, 20), l.t("1 hour", "1時間"), l, Qt::AlignHCenter);
    drawSmallLabel(p, QRectF(716, 464, 90, 20), l.t("1 hour", "1時間"), l, Qt::AlignHCenter);
    return img;
}

QImage backupBackground(const Lang& l) {
    QImage img = dialogFrame(925, 534, l.t("Backup Files", "バックアップ"), l);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // The list, the page bars, the text buttons and the target folder label
    // are drawn in dark colours, so they sit on light sheets.
    drawPanel(p, QRectF(148, 5, 734, 24), kPanelLight);
    drawPanel(p, QRectF(8, 38, 909, 490), kPanelLight);
    p.fillRect(QRectF(462, 46, 1, 430), QColor(190, 194, 200));
    return img;
}

// The window icon: the logo mark on its own.
QImage programIcon(int size = 64) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    QLinearGradient g(QPointF(0, 0), QPointF(64, 64));
    g.setColorAt(0, QColor(92, 166, 255));
    g.setColorAt(1, QColor(36, 98, 214));
    QPainterPath m;
    m.addRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
    p.fillPath(m, g);
    p.fillPath(triangle({24, 17}, {47, 32}, {24, 47}), Qt::white);
    return img;
}

bool writeText(const QString& path, const QString& text, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot create %1: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (f.write(bytes) != bytes.size()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: skingen <output folder> [icon theme folder]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "skingen: cannot create %s\n", argv[1]);
        return 1;
    }

    Builder b;
    b.tpl.beginSection();
    addBackground(b);
    addMainButtons(b);
    addSliders(b);
    b.tpl.beginSection();
    addPanelBitmaps(b);
    b.tpl.beginSection();
    addDialogBitmaps(b);
    b.tpl.beginSection();
    addPreviewBitmaps(b);
    addControls(b);

    QString ini;
    QTextStream ts(&ini);
    ts << "# Korvid skin: written by skingen, do not edit by hand.\n"
          "# Fields are separated by tabs. Positions: -N from the right/bottom edge,\n"
          "# *N per cent of the width/height; sizes: +N grows with the window.\n\n";
    ts << "DLGSIZE\t" << kDesignW << '\t' << kDesignH << "\n";
    int section = -1;
    for (const Element& e : b.tpl.elements()) {
        if (e.section != section) {
            section = e.section;
            ts << "\nBASE\t0\t" << b.tpl.sectionTop(section) << "\n";
        }
        QString line = e.line;
        line.replace(QLatin1String("%X"), QString::number(e.rect.x()));
        line.replace(QLatin1String("%Y"), QString::number(e.rect.y() - b.tpl.sectionTop(section)));
        ts << line << "\n";
    }
    ts << "\n# Controls placed by the window\n";
    for (const QString& line : b.ctrlLines) ts << line << "\n";
    ts.flush();

    QString error;
    for (int jp = 0; jp < 2; ++jp) {
        Lang lang;
        lang.jp = jp == 1;
        QImage img(b.tpl.width(), b.tpl.height(), QImage::Format_RGB32);
        img.fill(kFill);  // unused cells; a loud colour would cost palette entries
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::TextAntialiasing);
            for (const Element& e : b.tpl.elements()) {
                p.save();
                p.setClipRect(e.rect);
                e.draw(p, e.rect, lang);
                p.restore();
            }
        }
        const QString suffix = lang.jp ? QStringLiteral("-jp.gif") : QStringLiteral("-en.gif");
        const struct {
            QString name;
            QImage image;
        } files[] = {
            {QStringLiteral("templates") + suffix, img},
            {QStringLiteral("template-exportimage") + suffix, exportImageBackground(lang)},
            {QStringLiteral("template-exportavi") + suffix, exportAviBackground(lang)},
            {QStringLiteral("template-backup") + suffix, backupBackground(lang)},
        };
        for (const auto& f : files) {
            if (!writeGif(f.image, out.filePath(f.name), &error)) {
                std::fprintf(stderr, "skingen: %s\n", qPrintable(error));
                return 1;
            }
        }
    }
    if (!programIcon().save(out.filePath(QStringLiteral("korvid.png")))) {
        std::fprintf(stderr, "skingen: cannot write korvid.png\n");
        return 1;
    }
    // The application icon in the sizes of the hicolor theme.
    if (argc == 3) {
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString dir =
                QStringLiteral("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
            if (!QDir().mkpath(dir) || !programIcon(size).save(dir + QStringLiteral("/korvid.png"))) {
                std::fprintf(stderr, "skingen: cannot write the %dx%d icon\n", size, size);
                return 1;
            }
        }
    }
    if (!writeText(out.filePath(QStringLiteral("templates.ini")), ini, &error)) {
        std::fprintf(stderr, "skingen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
