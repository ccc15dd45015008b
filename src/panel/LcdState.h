// SPDX-License-Identifier: GPL-3.0-or-later
// The imitated LCD as data: twelve glyph codes, the icon word, what the open
// panel shows right now, the blink phases, and the rules that fill them from a reading.
#pragma once

#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"

#include <array>
#include <cstdint>

namespace vandrel {

// Glyph codes 0..9 are the digits; the rest as named. Both glyph sets hold 16.
namespace glyph {
inline constexpr int Bar = 10;
inline constexpr int Blank = 11;
inline constexpr int BlankOrH = 12;  // blank in the main set, H in the small set
inline constexpr int L = 13;
inline constexpr int E = 14;         // blank in the small set
inline constexpr int SmallR = 15;    // blank in the small set
inline constexpr int Count = 16;
} // namespace glyph

// Bits of the icon word.
enum LcdIcon : int {
    IconLowBattery = 1, IconAutoOff = 2, IconHold = 3, IconRel = 4,
    IconMax = 5, IconMin = 6, IconRec = 7, IconMainMinus = 8,
    IconMainPoint = 9, IconYear = 10, IconRh = 11, IconMonthDay = 12,
    IconT1 = 13, IconSubMinus = 14, IconDash = 15, IconSubPoint = 16,
    IconSubC = 17, IconSubF = 18, IconHourMinute = 19, IconMinuteSecond = 20,
    IconT2 = 21, IconThirdMinus = 22, IconColon = 23, IconThirdPoint = 24,
    IconThirdC = 25, IconThirdF = 26,
};
inline constexpr int FirstIconBit = 1;
inline constexpr int LastIconBit = 26;

constexpr std::uint32_t iconBit(int bit) { return std::uint32_t{1} << bit; }

// Every bit that stands for an icon (bits 1..26).
inline constexpr std::uint32_t AllIconBits = ((std::uint32_t{1} << 27) - 1) & ~std::uint32_t{1};
inline constexpr std::uint32_t MaxMinBits = iconBit(IconMax) | iconBit(IconMin);

inline constexpr int GlyphPositionCount = 12; // 0..3 main row, 4..7 second, 8..11 third
using GlyphCodes = std::array<int, GlyphPositionCount>;

struct LcdState {
    GlyphCodes Codes = blankCodes();
    std::uint32_t LcdIconFlags = 0;

    // What the open panel shows: codes last drawn, flag word last applied,
    // and the visibility of every icon (icons start hidden on a new panel).
    GlyphCodes DrawnCodes{};
    std::uint32_t AppliedFlags = 0xFFFFFFFFu;
    std::uint32_t VisibleIcons = 0;

    // MAX and MIN blink together in MAX+MIN mode; REC blinks on its own.
    bool MaxMinBlink = false;
    bool MaxMinPhaseOn = false;
    bool RecPhaseOn = false;

    // Set by BuildLcdState: the dew-point legends should blink.
    bool DpTimerWanted = false;

    static constexpr GlyphCodes blankCodes()
    {
        GlyphCodes c{};
        c.fill(glyph::Blank);
        return c;
    }
};

// Rebuilds the twelve codes and the icon word from the reading, and updates
// MaxMinBlink. Returns whether the dew-point timer should be running (also
// stored in DpTimerWanted); the caller owns the timer.
bool BuildLcdState(const MeterReading &reading, const MeterIdentity &id, LcdState &state);

// True while the display shows the dew point: a "D" meter with HOLD on.
bool isDewPointDisplay(const MeterReading &reading, const MeterIdentity &id);

} // namespace vandrel
