// SPDX-License-Identifier: GPL-3.0-or-later
// Where every element of the panel window sits, in pixels of its 128 x 356
// client area. Shared by the window, its tests and the picture generator.
#pragma once

#include <array>

namespace vandrel {

struct PanelElement {
    const char *name;
    int left, top, width, height;
};

inline constexpr int PanelClientWidth = 128;
inline constexpr int PanelClientHeight = 356;

// The meter body picture; it starts one pixel above the client area.
inline constexpr PanelElement BackgroundElement{"Image1", 4, -1, 120, 355};
inline constexpr int BackgroundWidth = 120;
inline constexpr int BackgroundHeight = 355;

inline constexpr PanelElement NoLinkElement{"lblnolink", 12, 40, 105, 20};

// The twelve digit positions: main row, second row, third row, left to right.
inline constexpr std::array<PanelElement, 12> GlyphElements{{
    {"MainD1", 20, 66, 14, 24},  {"MainD2", 36, 66, 14, 25},
    {"MainD3", 52, 67, 14, 24},  {"MainD4", 70, 67, 14, 24},
    {"SubD1", 15, 105, 8, 14},   {"SubD2", 24, 105, 8, 14},
    {"SubD3", 35, 105, 8, 14},   {"SubD4", 46, 105, 8, 14},
    {"ThirdD1", 71, 105, 8, 14}, {"ThirdD2", 81, 105, 8, 14},
    {"ThirdD3", 92, 105, 8, 14}, {"ThirdD4", 103, 105, 8, 14},
}};

// Icons indexed by their bit in the icon word; index 0 is unused.
inline constexpr std::array<PanelElement, 27> IconElements{{
    {nullptr, 0, 0, 0, 0},
    {"imglbt", 17, 47, 10, 7},
    {"imgAutoOff", 29, 42, 14, 14},
    {"imgHOLD", 44, 43, 7, 13},
    {"imgREL", 54, 45, 30, 10},
    {"imgMAX", 41, 56, 25, 9},
    {"imgMIN", 69, 55, 21, 11},
    {"imgREC", 90, 45, 24, 10},
    {"MainMinus", 15, 77, 5, 3},
    {"imgPoint", 66, 84, 6, 7},
    {"imgy", 88, 66, 9, 14},
    {"imgRH", 89, 80, 26, 10},
    {"imgmd", 16, 90, 21, 12},
    {"imgT1", 41, 92, 11, 9},
    {"imgSubMinus", 9, 110, 5, 3},
    {"imgdash", 33, 111, 3, 2},
    {"imgSubPoint", 43, 116, 2, 2},
    {"imgSubC", 55, 103, 10, 8},
    {"imgSubF", 55, 111, 8, 8},
    {"imghm", 70, 89, 21, 13},
    {"imgms", 81, 89, 21, 13},
    {"imgT2", 100, 91, 12, 9},
    {"imgThirdMinus", 65, 111, 5, 3},
    {"imgCOL", 89, 105, 2, 14},
    {"imgThirdPoint", 101, 116, 2, 2},
    {"imgThirdC", 110, 103, 10, 8},
    {"imgThirdF", 111, 110, 8, 8},
}};

// The six click areas over the keys, indexed by PanelKey.
inline constexpr std::array<PanelElement, 6> KeyElements{{
    {"lblbtn0", 69, 152, 41, 25},
    {"lblbtn1", 69, 200, 41, 25},
    {"lblbtn2", 69, 240, 41, 25},
    {"lblbtn3", 24, 240, 37, 25},
    {"lblbtn4", 21, 200, 33, 25},
    {"Label1", 21, 152, 33, 25},
}};

} // namespace vandrel
