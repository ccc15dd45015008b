// SPDX-License-Identifier: GPL-3.0-or-later
// A tiny 5 x 7 pixel font for the LCD legends. Hand-made pixels stay sharp at
// sizes where any system font turns to grey mush, and look the same everywhere.
#pragma once

#include <QColor>
#include <QImage>

namespace vandrel::pixelfont {

// Width in pixels of `text` (one pixel between letters; one more per letter when bold).
int textWidth(const char *text, bool bold);

// Draws `text` with its top-left corner at (x, y). Bold doubles every stroke
// sideways. Letters with descenders (y) reach two rows below the 7-row cell.
void drawText(QImage &image, int x, int y, const char *text, bool bold, QColor color);

// Draws `text` centred in the whole image.
void drawCentred(QImage &image, const char *text, bool bold, QColor color, int yOffset = 0);

} // namespace vandrel::pixelfont
