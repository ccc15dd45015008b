// SPDX-License-Identifier: GPL-3.0-or-later
// Day counts from and to calendar fields, by plain arithmetic on the date and
// the milliseconds of the day, so that no local-time conversion is involved.
#include "platform/DayCount.h"

#include <cmath>

namespace vandrel {

namespace {

const QDate kDayZero(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;
// About 8000 years either side of day zero: far beyond any meter's clock.
constexpr double kFarthestDay = 3.0e6;

} // namespace

double toDays(const QDate &date, const QTime &time)
{
    return static_cast<double>(kDayZero.daysTo(date)) + time.msecsSinceStartOfDay() / double(kMsPerDay);
}

double toDays(const QDateTime &t)
{
    return toDays(t.date(), t.time());
}

double addSeconds(double days, qint64 seconds)
{
    if (!std::isfinite(days) || std::abs(days) > kFarthestDay)
        return days + seconds / 86400.0;
    const qint64 ms = std::llround(days * double(kMsPerDay)) + seconds * 1000;
    return static_cast<double>(ms) / double(kMsPerDay);
}

QDateTime fromDays(double days)
{
    if (!std::isfinite(days) || std::abs(days) > kFarthestDay)
        return {};
    const double whole = std::floor(days);
    qint64 day = static_cast<qint64>(whole);
    qint64 ms = std::llround((days - whole) * double(kMsPerDay));
    // A fraction a hair below one rounds up to the next midnight.
    if (ms >= kMsPerDay) {
        ++day;
        ms -= kMsPerDay;
    }
    return QDateTime(kDayZero.addDays(day), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

} // namespace vandrel
