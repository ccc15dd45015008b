// SPDX-License-Identifier: GPL-3.0-or-later
// Building the ten-byte display frame the meter sends in answer to a poll:
// start mark, two status bytes, three 16-bit values in tenths, end mark.
#pragma once

#include <array>
#include <cstdint>

namespace vandrel::sim {

using Frame = std::array<std::uint8_t, 10>;

inline constexpr std::uint8_t kFrameStart = 0x02;
inline constexpr std::uint8_t kFrameEnd = 0x03;

// Bits of the first status byte.
namespace StatusA {
inline constexpr std::uint8_t MaxMinMask = 0x03;
inline constexpr std::uint8_t Hold = 0x04; // dew-point mode on a "D" 540/580
inline constexpr std::uint8_t Fahrenheit = 0x08;
inline constexpr std::uint8_t Rec = 0x10;
inline constexpr std::uint8_t Bit5 = 0x20; // meaning depends on the model
inline constexpr std::uint8_t AutoPowerOff = 0x40;
inline constexpr std::uint8_t LowBattery = 0x80;
} // namespace StatusA

// Bits of the second status byte.
namespace StatusB {
inline constexpr std::uint8_t RecBlink = 0x01;
inline constexpr std::uint8_t T2NoDecimals = 0x02;
} // namespace StatusB

// The raw contents of a frame; `values` are the 16-bit magnitudes in tenths.
struct FrameContent {
    std::uint8_t statusA = 0;
    std::uint8_t statusB = 0;
    std::array<std::uint16_t, 3> values{};
};

// Puts `value` into slot 0..2 (humidity, first, second temperature): magnitude
// in tenths, sign bit for negatives, overload bit (and 0xFFFF) when the
// magnitude does not fit in 16 bits or `overload` is asked for.
void setValue(FrameContent &content, int slot, double value, bool overload = false);

// Puts two small numbers (a time of day or an elapsed time) raw into bytes 7 and 8.
void setTimeRow(FrameContent &content, int first, int second);

Frame buildFrame(const FrameContent &content);

} // namespace vandrel::sim
