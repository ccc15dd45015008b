// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the one-second tick at one second on average: each tick shortens or
// lengthens the next interval by how late or early it came.
#pragma once

#include <QtGlobal>

namespace vandrel {

constexpr int kTickMs = 1000;
constexpr int kMinTickIntervalMs = 500;

// `currentInterval` is the timer's interval, `elapsedMs` the time since the
// previous tick. Returns the next interval, never below 500 ms.
inline int regulateTickInterval(int currentInterval, qint64 elapsedMs)
{
    const qint64 overshoot = elapsedMs - kTickMs;
    const qint64 next = currentInterval - overshoot;
    return next > kMinTickIntervalMs ? static_cast<int>(qMin<qint64>(next, 2 * kTickMs)) : kMinTickIntervalMs;
}

} // namespace vandrel
