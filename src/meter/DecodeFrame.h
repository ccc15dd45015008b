// SPDX-License-Identifier: GPL-3.0-or-later
// Turns one ten-byte display frame into the current reading. Pure: no port,
// no timer, no widget; the time of the frame and the locale are passed in.
#pragma once

#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"
#include "platform/NumberText.h"

#include <QDateTime>
#include <QLocale>

#include <array>
#include <cstdint>

namespace vandrel {

using DisplayFrame = std::array<std::uint8_t, 10>;

constexpr std::uint8_t kFrameStart = 0x02;
constexpr std::uint8_t kFrameEnd = 0x03;

// Updates `r` from `frame` (both end marks included and already matched).
// `now` is the local time of arrival (for the clock display); the table
// texts use the decimal separator of `locale`.
void DecodeFrame(MeterReading &r, const DisplayFrame &frame, const MeterIdentity &id,
                 const QDateTime &now = QDateTime::currentDateTime(), const QLocale &locale = QLocale());
// The same with the decimal separator looked up once by the caller, for many frames at a time.
void DecodeFrame(MeterReading &r, const DisplayFrame &frame, const MeterIdentity &id, const QDateTime &now,
                 const DecimalPoint &point);

// The dew point of humidity `rh` (%) and temperature `t` (degrees Celsius). Returns false when
// no dew point exists (humidity of zero or below, or a result that is not a
// finite number).
bool computeDewPoint(double rh, double t, double &dewPoint);
// The same for a temperature in degrees Fahrenheit when `fahrenheit` is set:
// the dew point is found in degrees Celsius and given back in the unit of `t`.
bool dewPointInUnit(double rh, double t, bool fahrenheit, double &dewPoint);

} // namespace vandrel
