// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding of values and status bits into the meter's display frame.
// Values go out as magnitudes; their signs and overloads live in status byte B.
#include "DisplayFrame.h"

#include <cmath>

namespace vandrel::sim {

namespace {

// Status byte B keeps sign and overload per slot, slot 0 in the top bits.
constexpr std::uint8_t signBit(int slot) { return static_cast<std::uint8_t>(0x80 >> (2 * slot)); }
constexpr std::uint8_t overloadBit(int slot) { return static_cast<std::uint8_t>(0x40 >> (2 * slot)); }

} // namespace

void setValue(FrameContent &content, int slot, double value, bool overload)
{
    const auto sign = signBit(slot);
    const auto over = overloadBit(slot);
    content.statusB = static_cast<std::uint8_t>(content.statusB & ~(sign | over));

    const double tenths = std::round(std::fabs(value) * 10.0);
    if (value < 0.0 && tenths > 0.0)
        content.statusB |= sign;
    if (overload || !(tenths <= 65535.0)) {
        content.statusB |= over;
        content.values[static_cast<std::size_t>(slot)] = 0xFFFF;
        return;
    }
    content.values[static_cast<std::size_t>(slot)] = static_cast<std::uint16_t>(tenths);
}

void setTimeRow(FrameContent &content, int first, int second)
{
    content.values[2] = static_cast<std::uint16_t>(((first & 0xFF) << 8) | (second & 0xFF));
    content.statusB = static_cast<std::uint8_t>(content.statusB & ~(signBit(2) | overloadBit(2)));
}

Frame buildFrame(const FrameContent &content)
{
    Frame f{};
    f[0] = kFrameStart;
    f[1] = content.statusA;
    f[2] = content.statusB;
    for (std::size_t i = 0; i < 3; ++i) {
        f[3 + 2 * i] = static_cast<std::uint8_t>(content.values[i] >> 8);
        f[4 + 2 * i] = static_cast<std::uint8_t>(content.values[i] & 0xFF);
    }
    f[9] = kFrameEnd;
    return f;
}

} // namespace vandrel::sim
