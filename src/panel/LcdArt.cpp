// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the seven-segment glyphs and the icons. Segments are hexagons whose
// long edges sit on pixel boundaries, so they stay sharp at 14 x 24 and 8 x 14.
#include "panel/LcdArt.h"

#include "panel/LcdState.h"
#include "panel/PanelLayout.h"
#include "panel/PanelScale.h"
#include "panel/PixelFont.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

// Segment bits: a top, b upper right, c lower right, d bottom, e lower left,
// f upper left, g middle.
enum Segment : unsigned { SegA = 1, SegB = 2, SegC = 4, SegD = 8, SegE = 16, SegF = 32, SegG = 64 };

constexpr std::array<unsigned, 16> MainSegments{
    SegA | SegB | SegC | SegD | SegE | SegF, SegB | SegC, SegA | SegB | SegD | SegE | SegG,
    SegA | SegB | SegC | SegD | SegG, SegB | SegC | SegF | SegG, SegA | SegC | SegD | SegF | SegG,
    SegA | SegC | SegD | SegE | SegF | SegG, SegA | SegB | SegC, 127u,
    SegA | SegB | SegC | SegD | SegF | SegG,
    SegG,                                  // 10 middle bar
    0, 0,                                  // 11 blank, 12 blank
    SegD | SegE | SegF,                    // 13 L
    SegA | SegD | SegE | SegF | SegG,      // 14 E
    SegE | SegG,                           // 15 r
};

unsigned smallSegments(int code)
{
    switch (code) {
    case glyph::BlankOrH:
        return SegB | SegC | SegE | SegF | SegG;
    case glyph::E:
    case glyph::SmallR:
        return 0;
    default:
        return MainSegments[static_cast<std::size_t>(code)];
    }
}

// Geometry of one glyph cell: the outer box and the stroke thickness.
struct DigitShape {
    double left, top, right, bottom, thickness, gap;
    // Plain bars on whole pixels: at six pixels of width, tapered segments
    // would leave the top of a 7 a dot.
    bool square = false;
};

constexpr DigitShape MainShape{1.0, 0.0, 13.0, 24.0, 3.0, 0.55};
// The small rows put their point, dash and colon right against the digit
// cells: the segments keep one pixel clear on either side, or "24.9" reads "249".
constexpr DigitShape SmallShape{1.0, 0.0, 7.0, 14.0, 2.0, 0.0, true};

QPolygonF horizontalSegment(double x0, double x1, double yCentre, double t)
{
    const double h = t / 2;
    return QPolygonF({{x0, yCentre}, {x0 + h, yCentre - h}, {x1 - h, yCentre - h},
                      {x1, yCentre}, {x1 - h, yCentre + h}, {x0 + h, yCentre + h}});
}

QPolygonF verticalSegment(double y0, double y1, double xCentre, double t)
{
    const double h = t / 2;
    return QPolygonF({{xCentre, y0}, {xCentre + h, y0 + h}, {xCentre + h, y1 - h},
                      {xCentre, y1}, {xCentre - h, y1 - h}, {xCentre - h, y0 + h}});
}

QPainterPath squareSegmentPath(const DigitShape &s, unsigned segments)
{
    const double t = s.thickness;
    const double w = s.right - s.left;
    const double ym = std::floor((s.top + s.bottom - t) / 2);
    QPainterPath path;
    auto add = [&](unsigned bit, const QRectF &r) {
        if (segments & bit)
            path.addRect(r);
    };
    add(SegA, QRectF(s.left, s.top, w, t));
    add(SegG, QRectF(s.left, ym, w, t));
    add(SegD, QRectF(s.left, s.bottom - t, w, t));
    add(SegF, QRectF(s.left, s.top, t, ym + t - s.top));
    add(SegB, QRectF(s.right - t, s.top, t, ym + t - s.top));
    add(SegE, QRectF(s.left, ym, t, s.bottom - ym));
    add(SegC, QRectF(s.right - t, ym, t, s.bottom - ym));
    path.setFillRule(Qt::WindingFill);
    return path;
}

QPainterPath segmentPath(const DigitShape &s, unsigned segments)
{
    if (s.square)
        return squareSegmentPath(s, segments);
    const double h = s.thickness / 2;
    const double xl = s.left + h, xr = s.right - h;
    const double yt = s.top + h, yb = s.bottom - h, ym = std::floor((yt + yb) / 2) + (s.thickness == 3 ? 0.5 : 0);
    const double g = s.gap;
    QPainterPath path;
    auto add = [&](unsigned bit, const QPolygonF &poly) {
        if (segments & bit)
            path.addPolygon(poly), path.closeSubpath();
    };
    add(SegA, horizontalSegment(xl + g, xr - g, yt, s.thickness));
    add(SegG, horizontalSegment(xl + g, xr - g, ym, s.thickness));
    add(SegD, horizontalSegment(xl + g, xr - g, yb, s.thickness));
    add(SegF, verticalSegment(yt + g, ym - g, xl, s.thickness));
    add(SegB, verticalSegment(yt + g, ym - g, xr, s.thickness));
    add(SegE, verticalSegment(ym + g, yb - g, xl, s.thickness));
    add(SegC, verticalSegment(ym + g, yb - g, xr, s.thickness));
    return path;
}

QImage transparentImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Unlit segments stay faintly visible, as on a real liquid crystal.
constexpr int GhostAlpha = 16;

QImage drawGlyph(const DigitShape &shape, int w, int h, unsigned segments, int percent)
{
    const QSize size = scaledSize(QSize(w, h), percent);
    QImage image = transparentImage(size.width(), size.height());
    QPainter p(&image);
    p.scale(double(size.width()) / w, double(size.height()) / h);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor ghost = LcdArt::segmentColor();
    ghost.setAlpha(GhostAlpha);
    p.fillPath(segmentPath(shape, 127u), ghost);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillPath(segmentPath(shape, segments), LcdArt::segmentColor());
    return image;
}

QImage blankIcon(int bit)
{
    const PanelElement &e = IconElements[static_cast<std::size_t>(bit)];
    return transparentImage(e.width, e.height);
}

QImage textIcon(int bit, const char *text, bool bold, int yOffset = 0)
{
    QImage image = blankIcon(bit);
    pixelfont::drawCentred(image, text, bold, LcdArt::segmentColor(), yOffset);
    return image;
}

QImage filledIcon(int bit, QRect area)
{
    QImage image = blankIcon(bit);
    QPainter p(&image);
    p.fillRect(area, LcdArt::segmentColor());
    return image;
}

QImage holdIcon()
{
    QImage image = blankIcon(IconHold);
    image.fill(QColor(0x10, 0x12, 0x0e));
    pixelfont::drawText(image, 1, 3, "H", false, Qt::white);
    return image;
}

QImage batteryIcon()
{
    QImage image = blankIcon(IconLowBattery);
    QPainter p(&image);
    const QColor c = LcdArt::segmentColor();
    p.fillRect(0, 0, 9, 1, c);
    p.fillRect(0, 6, 9, 1, c);
    p.fillRect(0, 0, 1, 7, c);
    p.fillRect(8, 0, 1, 7, c);
    p.fillRect(9, 2, 1, 3, c);
    p.fillRect(2, 2, 2, 3, c); // one bar left: the battery is nearly empty
    return image;
}

QImage autoOffIcon()
{
    // A clock face: the meter switches itself off after a while.
    QImage image = blankIcon(IconAutoOff);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(LcdArt::segmentColor(), 1.6));
    p.drawEllipse(QRectF(1.3, 1.3, 11.4, 11.4));
    p.setPen(QPen(LcdArt::segmentColor(), 1.4, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(7, 3.6), QPointF(7, 7.4));
    p.drawLine(QPointF(6.4, 7), QPointF(9.8, 7));
    return image;
}

QImage unitIcon(int bit, bool celsius)
{
    QImage image = blankIcon(bit);
    pixelfont::drawText(image, 0, 0, "o", false, LcdArt::segmentColor());
    pixelfont::drawText(image, 4, 0, celsius ? "C" : "F", false, LcdArt::segmentColor());
    return image;
}

QImage colonIcon()
{
    QImage image = blankIcon(IconColon);
    QPainter p(&image);
    p.fillRect(0, 3, 2, 2, LcdArt::segmentColor());
    p.fillRect(0, 9, 2, 2, LcdArt::segmentColor());
    return image;
}

QImage drawIcon(int bit)
{
    switch (bit) {
    case IconLowBattery: return batteryIcon();
    case IconAutoOff: return autoOffIcon();
    case IconHold: return holdIcon();
    case IconRel: return textIcon(bit, "REL", true);
    case IconMax: return textIcon(bit, "MAX", true);
    case IconMin: return textIcon(bit, "MIN", true);
    case IconRec: return textIcon(bit, "REC", true);
    case IconMainMinus:
    case IconSubMinus:
    case IconThirdMinus: return filledIcon(bit, QRect(0, 0, 5, 3));
    case IconMainPoint: return filledIcon(bit, QRect(1, 4, 3, 3));
    // The legends sit low in their boxes, next to the digits they name.
    case IconYear: return textIcon(bit, "y", false, -1);
    case IconRh: return textIcon(bit, "%RH", true);
    case IconMonthDay: return textIcon(bit, "m-d", false, 2);
    case IconT1: return textIcon(bit, "T1", false);
    // Its box reaches into the next digit's cell: its last column stays blank.
    case IconDash: return filledIcon(bit, QRect(0, 0, 2, 2));
    case IconSubPoint:
    case IconThirdPoint: return filledIcon(bit, QRect(0, 0, 2, 2));
    case IconSubC:
    case IconThirdC: return unitIcon(bit, true);
    case IconSubF:
    case IconThirdF: return unitIcon(bit, false);
    case IconHourMinute: return textIcon(bit, "h-m", false, 2);
    case IconMinuteSecond: return textIcon(bit, "m-s", false, 2);
    case IconT2: return textIcon(bit, "T2", false);
    case IconColon: return colonIcon();
    default: return {};
    }
}

// An icon drawn pixel by pixel, at a larger size: each pixel doubled (as
// often as it takes), then brought down to the size asked for. Doubling keeps
// the pixel art's edges; only the last step, if any, is smoothed.
QImage largerIcon(const QImage &icon, int percent)
{
    if (percent <= 100 || icon.isNull())
        return icon;
    QImage large = icon;
    for (int factor = 1; factor * 100 < percent; factor *= 2)
        large = large.scaled(large.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QSize wanted = scaledSize(icon.size(), percent);
    return large.size() == wanted ? large : large.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

const LcdArt &LcdArt::instance()
{
    static const LcdArt art(100);
    return art;
}

LcdArt::LcdArt(int percent)
{
    percent = std::max(percent, 100);
    for (int code = 0; code < glyph::Count; ++code) {
        const auto i = static_cast<std::size_t>(code);
        main_[i] = drawGlyph(MainShape, 14, 24, MainSegments[i], percent);
        small_[i] = drawGlyph(SmallShape, 8, 14, smallSegments(code), percent);
    }
    for (int bit = FirstIconBit; bit <= LastIconBit; ++bit)
        icons_[static_cast<std::size_t>(bit)] = largerIcon(drawIcon(bit), percent);
}

const QImage &LcdArt::glyph(GlyphSet set, int code) const
{
    if (code < 0 || code >= glyph::Count)
        code = glyph::Blank;
    const auto i = static_cast<std::size_t>(code);
    return set == GlyphSet::Main ? main_[i] : small_[i];
}

const QImage &LcdArt::icon(int bit) const
{
    if (bit < FirstIconBit || bit > LastIconBit)
        return none_;
    return icons_[static_cast<std::size_t>(bit)];
}

QString LcdArt::glyphName(GlyphSet set, int code)
{
    return QStringLiteral("LCD%1%2").arg(set == GlyphSet::Main ? 'M' : 'S').arg(code);
}

QColor LcdArt::lcdBackgroundTop() { return QColor(0xc4, 0xcd, 0xb2); }
QColor LcdArt::lcdBackgroundBottom() { return QColor(0xae, 0xb9, 0x9c); }
QColor LcdArt::segmentColor() { return QColor(0x1a, 0x1f, 0x16); }

} // namespace vandrel
