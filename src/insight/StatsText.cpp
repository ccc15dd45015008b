// SPDX-License-Identifier: GPL-3.0-or-later
// Figures as texts.
#include "insight/StatsText.h"

#include "insight/LimitSettings.h"

#include "platform/DayCount.h"
#include "platform/NumberText.h"
#include "records/TableFile.h"
#include "records/TableRow.h"

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
    const auto counted = [](const ChannelStats &s) { return s.secondsBelow + s.secondsWithin + s.secondsAbove; };
    row(QStringLiteral("Values"), [](Channel, const ChannelStats &s) { return QString::number(s.count); });
    row(QStringLiteral("Empty cells (left out)"), [](Channel, const ChannelStats &s) { return QString::number(s.empty); });
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
    row(QStringLiteral("Limits"),
        [&](Channel c, const ChannelStats &) { return limitsText(options.limits[c], c, record.unit, locale); });
    row(QStringLiteral("Time below"), [&](Channel c, const ChannelStats &s) {
        return options.limits[c].low && s.count > 0 ? share(s.secondsBelow, counted(s), locale) : noFigure();
    });
    row(QStringLiteral("Time within"), [&](Channel c, const ChannelStats &s) {
        return options.limits[c].any() && s.count > 0 ? share(s.secondsWithin, counted(s), locale) : noFigure();
    });
    row(QStringLiteral("Time above"), [&](Channel c, const ChannelStats &s) {
        return options.limits[c].high && s.count > 0 ? share(s.secondsAbove, counted(s), locale) : noFigure();
    });
    if (stats.channels[kT1].present || stats.channels[kT2].present) {
        row(QStringLiteral("Mean kinetic temperature"), [&](Channel c, const ChannelStats &s) {
            return c == kT1 || c == kT2 ? number(s.mkt, 1, locale) : QString();
        });
    }
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

TextTable crossingsTable(const Record &record, const std::vector<Crossing> &crossings, const QLocale &locale)
{
    TextTable t;
    t.title = QStringLiteral("Limit crossings");
    t.headings = {QStringLiteral("Channel"), QStringLiteral("Limit"), QStringLiteral("Start"), QStringLiteral("End"),
                  QStringLiteral("Duration"), QStringLiteral("Extreme")};
    for (const Crossing &x : crossings) {
        const QString limit = (x.side == LimitSide::High ? QStringLiteral("above ") : QStringLiteral("below ")) +
                              formatFixed(x.limit, 1, locale) + QLatin1Char(' ') + unitText(x.channel, record.unit);
        t.rows.append({channelName(x.channel), limit, recordTimeText(x.start, locale),
                       x.open ? QStringLiteral("(still beyond at the end)") : recordTimeText(x.end, locale),
                       durationText(x.seconds), number(x.extreme, 1, locale)});
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
    }
    return out;
}

} // namespace vandrel
