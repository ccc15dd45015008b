// SPDX-License-Identifier: GPL-3.0-or-later
// The pixel font's letters: only the characters the LCD legends need.
#include "panel/PixelFont.h"

#include <cstring>

namespace vandrel::pixelfont {

namespace {

struct Letter {
    char ch;
    const char *rows[9]; // '#' = pixel; rows 7 and 8 are the descender
};

constexpr Letter Letters[] = {
    {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'N', {"#...#", "##..#", "#.#.#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'F', {"####", "#...", "#...", "###.", "#...", "#...", "#..."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'1', {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'h', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'y', {".....", ".....", "#...#", "#...#", "#...#", ".####", "....#", "#...#", ".###."}},
    {'-', {"...", "...", "...", "###", "...", "...", "..."}},
    {'o', {".#.", "#.#", ".#.", "...", "...", "...", "..."}}, // degree sign
};

const Letter *find(char ch)
{
    for (const Letter &l : Letters) {
        if (l.ch == ch)
            return &l;
    }
    return nullptr;
}

int letterWidth(const Letter &l, bool bold)
{
    return static_cast<int>(std::strlen(l.rows[0])) + (bold ? 1 : 0);
}

void plot(QImage &image, int x, int y, QRgb rgb)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        image.setPixel(x, y, rgb);
}

} // namespace

int textWidth(const char *text, bool bold)
{
    int width = 0;
    for (const char *p = text; *p; ++p) {
        if (const Letter *l = find(*p))
            width += letterWidth(*l, bold) + (p[1] ? 1 : 0);
    }
    return width;
}

void drawText(QImage &image, int x, int y, const char *text, bool bold, QColor color)
{
    const QRgb rgb = color.rgba();
    for (const char *p = text; *p; ++p) {
        const Letter *l = find(*p);
        if (!l)
            continue;
        for (int row = 0; row < 9 && l->rows[row]; ++row) {
            for (int col = 0; l->rows[row][col]; ++col) {
                if (l->rows[row][col] != '#')
                    continue;
                plot(image, x + col, y + row, rgb);
                if (bold)
                    plot(image, x + col + 1, y + row, rgb);
            }
        }
        x += letterWidth(*l, bold) + 1;
    }
}

void drawCentred(QImage &image, const char *text, bool bold, QColor color, int yOffset)
{
    const int x = (image.width() - textWidth(text, bold)) / 2;
    const int y = (image.height() - 7) / 2 + yOffset;
    drawText(image, x, y, text, bold, color);
}

} // namespace vandrel::pixelfont
