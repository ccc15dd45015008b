// SPDX-License-Identifier: GPL-3.0-or-later
// The LCD's own pictures: the two seven-segment glyph sets ("LCDM0".."LCDM15",
// "LCDS0".."LCDS15") and the icons, drawn in code at the size they are shown.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <array>

namespace vandrel {

enum class GlyphSet { Main, Small };

class LcdArt {
public:
    // The pictures, drawn on first use. Plain images (no pixmaps), so they can
    // outlive the application object without harm.
    static const LcdArt &instance();
    // The pictures drawn for a panel shown `percent` as large (at least 100):
    // the glyphs from their shapes, the pixel-drawn icons from their pixels
    // doubled, never a smoothly stretched small picture.
    explicit LcdArt(int percent);

    // code 0..15; anything else gives the blank glyph.
    const QImage &glyph(GlyphSet set, int code) const;
    // bit 1..26 of the icon word; anything else gives an empty image.
    const QImage &icon(int bit) const;

    static QString glyphName(GlyphSet set, int code);

    // The liquid crystal's colours; the body pictures paint their window with them.
    static QColor lcdBackgroundTop();
    static QColor lcdBackgroundBottom();
    static QColor segmentColor();

private:

    std::array<QImage, 16> main_;
    std::array<QImage, 16> small_;
    std::array<QImage, 27> icons_;
    QImage none_;
};

} // namespace vandrel
