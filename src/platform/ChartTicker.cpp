// SPDX-License-Identifier: GPL-3.0-or-later
// Time axis ticks for MeterChart, whose X values count days since 30 December 1899
// in local wall-clock time, spaced so that no two labels overlap at any size and span.
#include "platform/ChartTicker.h"

#include <QFontMetricsF>

#include <algorithm>
#include <array>

namespace vandrel {

namespace {
constexpr double UnixEpochDays = 25569.0; // 1 January 1970 as a day count
constexpr double Minute = 60.0;
constexpr double Hour = 3600.0;
constexpr double Day = 86400.0;
// The date-time ticker's month: the average one, leap years included.
constexpr double TickerMonth = Day * 30.4375;

// A step as the ticker takes it, and the least time it can leave between two ticks.
struct Rung {
    double step;
    double shortest;
};

constexpr Rung Steps(double seconds)
{
    return {seconds, seconds};
}

constexpr Rung Months(double months, double shortestDays)
{
    return {TickerMonth * months, Day * shortestDays};
}

constexpr std::array<Rung, 34> Ladder = {{
    Steps(1), Steps(2), Steps(5), Steps(10), Steps(15), Steps(30),
    Steps(Minute), Steps(2 * Minute), Steps(5 * Minute), Steps(10 * Minute), Steps(15 * Minute),
    Steps(30 * Minute), Steps(Hour), Steps(2 * Hour), Steps(3 * Hour), Steps(6 * Hour), Steps(12 * Hour),
    Steps(Day), Steps(2 * Day), Steps(7 * Day), Steps(14 * Day),
    Months(1, 28), Months(2, 59), Months(3, 89), Months(6, 181),
    Months(12, 365), Months(24, 730), Months(60, 1826), Months(120, 3652), Months(240, 7305),
    Months(600, 18262), Months(1200, 36524), Months(2400, 73048), Months(6000, 182621),
}};

TimeLabelKind kindFor(double step, double span, bool dated)
{
    if (step >= Day)
        return TimeLabelKind::Date;
    return span > Day || dated ? TimeLabelKind::DateAndTime : TimeLabelKind::Time;
}

double widthOf(TimeLabelKind kind, const TimeLabelRoom &room)
{
    switch (kind) {
    case TimeLabelKind::Time:
        return room.timeWidth;
    case TimeLabelKind::Date:
        return room.dateWidth;
    case TimeLabelKind::DateAndTime:
        break;
    }
    return std::max(room.timeWidth, room.dateWidth); // two lines, one above the other
}

} // namespace

TimeAxisStep timeAxisStep(double spanSeconds, double axisPixels, const TimeLabelRoom &room, bool dated)
{
    const double span = std::max(spanSeconds, 1e-9);
    for (const Rung &rung : Ladder) {
        const TimeLabelKind kind = kindFor(rung.step, span, dated);
        if (axisPixels * rung.shortest / span >= widthOf(kind, room) + room.gap)
            return {rung.step, kind};
    }
    // No step fits (an axis narrower than one label): at most one label shows.
    return {Ladder.back().step, kindFor(Ladder.back().step, span, dated)};
}

ChartTicker::ChartTicker()
{
    setTimeZone(QTimeZone::utc());
}

double ChartTicker::daysToSeconds(double days)
{
    return (days - UnixEpochDays) * Day;
}

double ChartTicker::secondsToDays(double seconds)
{
    return seconds / Day + UnixEpochDays;
}

const TimeLabelRoom &ChartTicker::labelRoom(const QLocale &locale)
{
    // Every redraw asks; the widths change only with the font or the locale.
    const QString key = labelFont_.key() + QLatin1Char('|') + locale.name();
    if (key == roomKey_)
        return room_;
    const QFontMetricsF metrics(labelFont_);
    TimeLabelRoom room;
    for (const char *sample : {"00:00:00", "22:22:22", "88:88:88"})
        room.timeWidth = std::max(room.timeWidth, metrics.horizontalAdvance(QLatin1String(sample)));
    // Month names, where the format has them, differ in width.
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    for (int month = 1; month <= 12; ++month) {
        const QString text = QLocale::c().toString(QDate(2000, month, 28), format);
        room.dateWidth = std::max(room.dateWidth, metrics.horizontalAdvance(text));
    }
    room.gap = 1.5 * metrics.horizontalAdvance(QLatin1Char('0'));
    roomKey_ = key;
    room_ = room;
    return room_;
}

double ChartTicker::getTickStep(const QCPRange &)
{
    // Days and longer keep their ticks at the same time of day, months on the same
    // day of the month.
    if (step_.seconds >= Day * 28)
        mDateStrategy = dsUniformDayInMonth;
    else if (step_.seconds >= Day)
        mDateStrategy = dsUniformTimeInDay;
    else
        mDateStrategy = dsNone;
    return step_.seconds;
}

void ChartTicker::generate(const QCPRange &range, const QLocale &locale, QChar formatChar,
                           int precision, QVector<double> &ticks, QVector<double> *subTicks,
                           QVector<QString> *tickLabels)
{
    const QCPRange seconds(daysToSeconds(range.lower), daysToSeconds(range.upper));
    step_ = timeAxisStep(seconds.size(), axisPixels_, labelRoom(locale), dated_);
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    const QString time = QStringLiteral("hh:mm:ss");
    switch (step_.kind) {
    case TimeLabelKind::Time:
        setDateTimeFormat(time);
        break;
    case TimeLabelKind::Date:
        setDateTimeFormat(date);
        break;
    case TimeLabelKind::DateAndTime:
        // Past about a day the time alone is ambiguous, so the date goes above it.
        setDateTimeFormat(date + QLatin1Char('\n') + time);
        break;
    }
    QCPAxisTickerDateTime::generate(seconds, locale, formatChar, precision, ticks, subTicks,
                                    tickLabels);
    for (double &t : ticks)
        t = secondsToDays(t);
    if (subTicks) {
        for (double &t : *subTicks)
            t = secondsToDays(t);
    }
}

QString ChartTicker::getTickLabel(double tick, const QLocale &, QChar formatChar, int precision)
{
    return QCPAxisTickerDateTime::getTickLabel(tick, QLocale::c(), formatChar, precision);
}

QString ValueTicker::getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision)
{
    // A tick at zero reached from below is no negative number.
    QString text = QLocale::c().toString(tick == 0.0 ? 0.0 : tick, formatChar.toLatin1(), precision);
    const QString point = locale.decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

QString fittedAxisTitle(const QString &title, int room, const QFontMetrics &metrics)
{
    if (metrics.horizontalAdvance(title) <= room)
        return title;
    // A title runs along its pane and never past it into the next one: the
    // unit alone when there is one, else the title cut short with an ellipsis.
    const qsizetype open = title.lastIndexOf(QLatin1Char('('));
    const qsizetype close = title.lastIndexOf(QLatin1Char(')'));
    const QString shorter = open < 0 || close <= open + 1 ? title : title.mid(open + 1, close - open - 1);
    return metrics.elidedText(shorter, Qt::ElideRight, room);
}

} // namespace vandrel
