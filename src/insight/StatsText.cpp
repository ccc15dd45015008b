// SPDX-License-Identifier: GPL-3.0-or-later
// Figures as texts.
#include "insight/StatsText.h"

#include "insight/LimitSettings.h"

#include "platform/DayCount.h"
#include "platform/NumberText.h"
#include "records/TableFile.h"
#include "records/TableRow.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

namespace vandrel {

namespace {

QString number(double v, int decimals, const QLocale &locale)
{
    return std::isfinite(v) ? formatFixed(v, decimals, locale) : noFigure();
}

QString timeOrNone(double seconds, const QLocale &locale)
{
    return std::isfinite(seconds) ? recordTimeText(seconds, locale) : noFigure();
}

// A share of the time: "hh:mm:ss (p %)".
QString share(double seconds, double total, const QLocale &locale)
{
    if (!(total > 0))
        return noFigure();
    return durationText(seconds) + QStringLiteral(" (") + formatFixed(100.0 * seconds / total, 1, locale) +
           QStringLiteral(" %)");
}

QString limitsText(const Limits &l, Channel c, char unit, const QLocale &locale)
{
    if (!l.any())
        return QStringLiteral("none");
    QStringList parts;
    if (l.low)
        parts << QStringLiteral("low ") + formatFixed(*l.low, 1, locale);
    if (l.high)
        parts << QStringLiteral("high ") + formatFixed(*l.high, 1, locale);
    // In the unit they were given in, which may not be the record's.
    return parts.join(QStringLiteral(", ")) + QLatin1Char(' ') + unitText(c, l.unit ? l.unit : unit) +
           QStringLiteral(", hysteresis ") +
           formatFixed(l.hysteresis, 1, locale) + QStringLiteral(", delay ") + durationText(l.delaySeconds);
}

} // namespace

QString noFigure() { return QStringLiteral("—"); }

QString durationText(double seconds)
{
    if (!std::isfinite(seconds))
        return noFigure();
    const auto total = static_cast<long long>(std::llround(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2:%3")
        .arg(total / 3600, 2, 10, QLatin1Char('0'))
        .arg((total / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(total % 60, 2, 10, QLatin1Char('0'));
}

QString recordTimeText(double seconds, const QLocale &locale)
{
    const QDateTime t = fromDays(std::round(seconds) / 86400.0);
    if (!t.isValid())
        return noFigure();
    return tableDate(t.date(), locale) + QLatin1Char(' ') + tableTime(t.time());
}

QString channelTitle(Channel channel, char unit)
{
    return channelName(channel) + QStringLiteral(" (") + unitText(channel, unit) + QLatin1Char(')');
}

TextTable headerTable(const RecordHeader &header, const Record &record, const ReadNotes &notes, const QLocale &locale)
{
    TextTable t;
    t.headings = {QStringLiteral("Item"), QStringLiteral("Value")};
    t.rows.append({QStringLiteral("Meter model"), header.model.isEmpty() ? noFigure() : header.model});
    t.rows.append({QStringLiteral("Source"), header.source});
    const bool any = !record.seconds.empty();
    t.rows.append({QStringLiteral("From"), any ? recordTimeText(record.seconds.front(), locale) : noFigure()});
    t.rows.append({QStringLiteral("To"), any ? recordTimeText(record.seconds.back(), locale) : noFigure()});
    t.rows.append({QStringLiteral("Rows"), QString::number(record.seconds.size())});
    const double interval = usualInterval(record);
    t.rows.append({QStringLiteral("Rate"),
                   interval > 0 ? QStringLiteral("a row every ") + durationText(interval) : noFigure()});
    t.rows.append({QStringLiteral("Temperature unit"), unitText(kT1, record.unit)});
    if (notes.rowsConverted > 0)
        t.rows.append({QStringLiteral("Rows converted from %1").arg(unitText(kT1, notes.convertedFrom)),
                       QString::number(notes.rowsConverted)});
    if (notes.unreadable.count > 0)
        t.rows.append({QStringLiteral("Not read (left out)"), notes.unreadable.text(notes.noun)});
    return t;
}

namespace {

// The limits and the time each channel spent against them.
void appendTimeRows(TextTable &t, const std::vector<Channel> &shown, const RecordStats &stats,
                    const StatsOptions &options, char unit, const QLocale &locale)
{
    const auto row = [&](const QString &label, auto &&text) {
        QStringList r{label};
        for (const Channel c : shown)
            r << text(c, stats.channels[c], options.limits[c]);
        t.rows.append(r);
    };
    const auto shareIf = [&](bool shown, double seconds, const ChannelStats &s) {
        return shown ? share(seconds, s.secondsRead, locale) : noFigure();
    };
    row(QStringLiteral("Limits"), [&](Channel c, const ChannelStats &, const Limits &l) {
        return limitsText(l, c, unit, locale);
    });
    row(QStringLiteral("Time below"), [&](Channel, const ChannelStats &s, const Limits &l) {
        return shareIf(l.low.has_value(), s.secondsBelow, s);
    });
    row(QStringLiteral("Time within"), [&](Channel, const ChannelStats &s, const Limits &l) {
        return shareIf(l.any(), s.secondsWithin, s);
    });
    row(QStringLiteral("Time above"), [&](Channel, const ChannelStats &s, const Limits &l) {
        return shareIf(l.high.has_value(), s.secondsAbove, s);
    });
    row(QStringLiteral("Time beyond the low limit"), [&](Channel, const ChannelStats &s, const Limits &l) {
        return shareIf(l.low.has_value(), s.secondsBeyondLow, s);
    });
    row(QStringLiteral("Time beyond the high limit"), [&](Channel, const ChannelStats &s, const Limits &l) {
        return shareIf(l.high.has_value(), s.secondsBeyondHigh, s);
    });
    row(QStringLiteral("Time out of the meter's range"), [&](Channel, const ChannelStats &s, const Limits &) {
        return share(s.secondsOutOfRange, s.secondsRead, locale);
    });
}

} // namespace

TextTable statisticsTable(const Record &record, const RecordStats &stats, const StatsOptions &options,
                          const QLocale &locale)
{
    TextTable t;
    t.title = QStringLiteral("Statistics");
    t.headings << QStringLiteral("Figure");
    std::vector<Channel> shown;
    for (const Channel c : kChannels) {
        if (stats.channels[c].present) {
            shown.push_back(c);
            t.headings << channelTitle(c, record.unit);
        }
    }
    const auto row = [&](const QString &label, auto &&text) {
        QStringList r{label};
        for (const Channel c : shown)
            r << text(c, stats.channels[c]);
        t.rows.append(r);
    };
    row(QStringLiteral("Values"), [](Channel, const ChannelStats &s) { return QString::number(s.count); });
    row(QStringLiteral("Empty cells (left out)"), [](Channel, const ChannelStats &s) { return QString::number(s.empty); });
    if (std::any_of(shown.begin(), shown.end(), [&](Channel c) { return stats.channels[c].unreadable > 0; }))
        row(QStringLiteral("Unreadable cells (left out)"),
            [](Channel, const ChannelStats &s) { return QString::number(s.unreadable); });
    row(QStringLiteral("Overloaded cells (left out)"),
        [](Channel, const ChannelStats &s) { return QString::number(s.overloaded); });
    row(QStringLiteral("First"), [&](Channel, const ChannelStats &s) { return timeOrNone(s.firstTime, locale); });
    row(QStringLiteral("Last"), [&](Channel, const ChannelStats &s) { return timeOrNone(s.lastTime, locale); });
    row(QStringLiteral("Minimum"), [&](Channel, const ChannelStats &s) { return number(s.min, 1, locale); });
    row(QStringLiteral("Minimum at"), [&](Channel, const ChannelStats &s) { return timeOrNone(s.minTime, locale); });
    row(QStringLiteral("Maximum"), [&](Channel, const ChannelStats &s) { return number(s.max, 1, locale); });
    row(QStringLiteral("Maximum at"), [&](Channel, const ChannelStats &s) { return timeOrNone(s.maxTime, locale); });
    row(QStringLiteral("Mean"), [&](Channel, const ChannelStats &s) { return number(s.mean, 1, locale); });
    row(QStringLiteral("Standard deviation"), [&](Channel, const ChannelStats &s) { return number(s.stddev, 2, locale); });
    appendTimeRows(t, shown, stats, options, record.unit, locale);
    if (stats.channels[kT1].present || stats.channels[kT2].present) {
        row(QStringLiteral("Mean kinetic temperature"), [&](Channel c, const ChannelStats &s) {
            return c == kT1 || c == kT2 ? number(s.mkt, 1, locale) : QString();
        });
    }
    t.notes << QStringLiteral("Mean and standard deviation are of the readings, each counted once; the mean kinetic "
                              "temperature and all times weigh each reading by the time it stands for, until the next "
                              "reading (a gap longer than twice the usual interval counts for nothing).")
            << QStringLiteral("Time below, within and above: time in alarm, with the hysteresis and the delay. Time "
                              "beyond a limit: the readings' own time past it by a tenth or more, without either.")
            << QStringLiteral("An overloaded reading (OL, -OL) lies beyond any limit on its side; on a side without "
                              "a limit it counts only as out of the meter's range.");
    return t;
}

TextTable derivedTable(const Record &record, const RecordStats &stats, const StatsOptions &options,
                       const QLocale &locale)
{
    TextTable t;
    t.title = QStringLiteral("Condensation and vapour pressure deficit");
    t.headings = {QStringLiteral("Figure"), QStringLiteral("Value")};
    if (std::isfinite(stats.condensationSeconds)) {
        const double margin = std::isnan(options.condensationMargin) ? (record.unit == 'F' ? 2.0 : 1.0)
                                                                     : options.condensationMargin;
        t.rows.append({QStringLiteral("Condensation risk (T2 at or below the dew point + ") +
                           formatFixed(margin, 1, locale) + QLatin1Char(' ') + unitText(kT2, record.unit) +
                           QLatin1Char(')'),
                       share(stats.condensationSeconds, stats.coveredSeconds, locale)});
    }
    if (record.has(kHumidity) && record.has(kT1)) {
        t.rows.append({QStringLiteral("Vapour pressure deficit, mean (kPa)"), number(stats.vpdKPa.mean, 2, locale)});
        t.rows.append({QStringLiteral("Vapour pressure deficit, minimum (kPa)"), number(stats.vpdKPa.min, 2, locale)});
        t.rows.append({QStringLiteral("Vapour pressure deficit, maximum (kPa)"), number(stats.vpdKPa.max, 2, locale)});
        t.notes << QStringLiteral("Vapour pressure deficit: the saturation vapour pressure over water at T1 (Tetens: "
                                  "0.6108 kPa × exp(17.27 T / (T + 237.3)), T in °C) times (1 − humidity/100); "
                                  "mean, minimum and maximum of the readings, each counted once.");
    }
    return t;
}

TextTable dailyTable(const Record &record, const std::vector<DaySummary> &days, const StatsOptions &options,
                     const QLocale &locale)
{
    TextTable t;
    t.title = QStringLiteral("Daily summaries");
    t.headings << QStringLiteral("Day");
    std::vector<Channel> shown;
    for (const Channel c : kChannels) {
        if (!record.has(c))
            continue;
        shown.push_back(c);
        const QString name = channelName(c);
        t.headings << name + QStringLiteral(" min") << name + QStringLiteral(" max") << name + QStringLiteral(" mean");
        if (options.limits[c].any())
            t.headings << name + QStringLiteral(" outside");
    }
    for (const DaySummary &d : days) {
        QStringList r{tableDate(fromDays(static_cast<double>(d.day)).date(), locale)};
        for (const Channel c : shown) {
            const ChannelStats &s = d.channels[c];
            r << number(s.min, 1, locale) << number(s.max, 1, locale) << number(s.mean, 1, locale);
            if (options.limits[c].any())
                r << (s.count > 0 ? durationText(s.secondsBelow + s.secondsAbove) : noFigure());
        }
        t.rows.append(r);
    }
    return t;
}

namespace {

// The farthest value of a crossing; an overload as the meter shows it.
QString extremeText(double v, const QLocale &locale)
{
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("OL") : QStringLiteral("-OL");
    return number(v, 1, locale);
}

// "… and N more THINGS not listed" for a list cut at `listed`.
void noteLeftOut(TextTable &t, std::size_t total, std::size_t listed, const QString &things)
{
    if (total > listed)
        t.notes << QStringLiteral("… and %1 more %2 not listed").arg(total - listed).arg(things);
}

} // namespace

TextTable crossingsTable(const Record &record, const std::vector<Crossing> &crossings, const QLocale &locale)
{
    TextTable t;
    t.title = QStringLiteral("Limit crossings");
    t.headings = {QStringLiteral("Channel"), QStringLiteral("Limit"), QStringLiteral("Start"), QStringLiteral("End"),
                  QStringLiteral("Duration"), QStringLiteral("Extreme")};
    // A record that hovers at a limit without a hysteresis may cross it
    // hundreds of thousands of times; a report lists the first ones.
    const std::size_t listed = std::min(crossings.size(), static_cast<std::size_t>(kListedCrossings));
    for (std::size_t i = 0; i < listed; ++i) {
        const Crossing &x = crossings[i];
        const QString limit = (x.side == LimitSide::High ? QStringLiteral("above ") : QStringLiteral("below ")) +
                              formatFixed(x.limit, 1, locale) + QLatin1Char(' ') + unitText(x.channel, record.unit);
        t.rows.append({channelName(x.channel), limit, recordTimeText(x.start, locale),
                       x.open ? QStringLiteral("(still beyond at the end)") : recordTimeText(x.end, locale),
                       durationText(x.seconds), extremeText(x.extreme, locale)});
    }
    noteLeftOut(t, crossings.size(), listed, QStringLiteral("crossings"));
    return t;
}

QList<QStringList> coverageRows(const Record &record, const RecordStats &stats, const QLocale &locale)
{
    QList<QStringList> rows;
    if (stats.rowsOutOfOrder > 0) {
        const auto first = static_cast<std::size_t>(stats.firstRowOutOfOrder);
        rows.append({QStringLiteral("Rows out of time order"),
                     QStringLiteral("%1, the first row %2 at %3 after %4")
                         .arg(stats.rowsOutOfOrder)
                         .arg(stats.firstRowOutOfOrder + 1)
                         .arg(recordTimeText(record.seconds[first], locale),
                              recordTimeText(record.seconds[first - 1], locale))});
    }
    if (stats.gapCount > 0) {
        rows.append({QStringLiteral("Time not covered (gaps)"),
                     QStringLiteral("%1 in %2 gaps longer than twice the usual interval")
                         .arg(durationText(stats.uncoveredSeconds))
                         .arg(stats.gapCount)});
    }
    return rows;
}

TextTable gapsTable(const std::vector<RecordGap> &gaps, const RecordStats &stats, const QLocale &locale)
{
    TextTable t;
    t.title = QStringLiteral("Gaps");
    t.headings = {QStringLiteral("Start"), QStringLiteral("Length")};
    const std::size_t listed = std::min(gaps.size(), static_cast<std::size_t>(kListedGaps));
    for (std::size_t i = 0; i < listed; ++i)
        t.rows.append({recordTimeText(gaps[i].start, locale), durationText(gaps[i].seconds)});
    noteLeftOut(t, gaps.size(), listed, QStringLiteral("gaps"));
    if (!gaps.empty()) {
        t.notes << QStringLiteral("Time not covered: %1. The row before a gap stands for one usual interval; the "
                                  "rest of the gap counts for nothing.")
                       .arg(durationText(stats.uncoveredSeconds));
    }
    return t;
}

std::string tablesCsv(const QList<TextTable> &tables, char separator)
{
    std::string out;
    const auto line = [&](const QStringList &cells) {
        std::vector<std::string> utf8;
        utf8.reserve(static_cast<std::size_t>(cells.size()));
        for (const QString &c : cells)
            utf8.push_back(c.toStdString());
        std::vector<std::string_view> views(utf8.begin(), utf8.end());
        appendTableLine(out, views, separator);
    };
    bool first = true;
    for (const TextTable &t : tables) {
        if (!first)
            out += "\r\n";
        first = false;
        if (!t.title.isEmpty())
            line({t.title});
        line(t.headings);
        for (const QStringList &r : t.rows)
            line(r);
        for (const QString &note : t.notes)
            line({note});
    }
    return out;
}

} // namespace vandrel
