// SPDX-License-Identifier: GPL-3.0-or-later
// Time axis ticks for MeterChart, whose X values count days since 30 December 1899
// in local wall-clock time: time of day, and the date too once the view spans days.
#include "platform/ChartTicker.h"

namespace vandrel {

namespace {
constexpr double UnixEpochDays = 25569.0; // 1 January 1970 as a day count
constexpr double SecondsPerDay = 86400.0;
} // namespace

ChartTicker::ChartTicker()
{
    setTimeZone(QTimeZone::utc());
    setTickCount(6);
}

double ChartTicker::daysToSeconds(double days)
{
    return (days - UnixEpochDays) * SecondsPerDay;
}

double ChartTicker::secondsToDays(double seconds)
{
    return seconds / SecondsPerDay + UnixEpochDays;
}

double ChartTicker::getTickStep(const QCPRange &range)
{
    // Steps of 2.5 seconds or minutes give labels like 12:00:02 next to 12:00:05;
    // whole steps read better on a clock.
    const double step = QCPAxisTickerDateTime::getTickStep(range);
    if (step == 2.5 || step == 150.0)
        return step * 0.8;
    return step;
}

void ChartTicker::generate(const QCPRange &range, const QLocale &locale, QChar formatChar,
                           int precision, QVector<double> &ticks, QVector<double> *subTicks,
                           QVector<QString> *tickLabels)
{
    // Past about a day the time alone is ambiguous, so the date goes above it.
    const QString time = QStringLiteral("hh:mm:ss");
    if (range.size() > 1.0)
        setDateTimeFormat(locale.dateFormat(QLocale::ShortFormat) + QLatin1Char('\n') + time);
    else
        setDateTimeFormat(time);
    const QCPRange seconds(daysToSeconds(range.lower), daysToSeconds(range.upper));
    QCPAxisTickerDateTime::generate(seconds, locale, formatChar, precision, ticks, subTicks,
                                    tickLabels);
    for (double &t : ticks)
        t = secondsToDays(t);
    if (subTicks) {
        for (double &t : *subTicks)
            t = secondsToDays(t);
    }
}

} // namespace vandrel
