// SPDX-License-Identifier: GPL-3.0-or-later
// The report's tables, its CSV file and limits from a command line.
#include "insight/Report.h"

#include <QDir>

namespace vandrel {

QList<TextTable> ReportTables::all() const
{
    QList<TextTable> out{header, statistics};
    if (!derived.rows.isEmpty())
        out << derived;
    if (!gaps.rows.isEmpty())
        out << gaps;
    if (showDaily)
        out << daily;
    out << crossings;
    return out;
}

ReportTables reportTables(const ReportInput &in, const QLocale &locale)
{
    ReportTables t;
    const Record &r = in.record;
    const RecordStats stats = computeStats(r, in.options);
    t.header = headerTable(in.header, r, in.notes, locale);
    t.header.title = QStringLiteral("Record");
    t.header.rows += coverageRows(r, stats, locale);
    t.statistics = statisticsTable(r, stats, in.options, locale);
    t.derived = derivedTable(r, stats, in.options, locale);
    t.gaps = gapsTable(recordGaps(r), stats, locale);
    t.showDaily = r.seconds.size() > 1 && r.seconds.back() - r.seconds.front() > 86400.0;
    if (t.showDaily)
        t.daily = dailyTable(r, dailySummaries(r, in.options), in.options, locale);
    t.crossings = crossingsTable(r, limitCrossings(r, in.options), locale);
    return t;
}

QString reportWriteError(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write the file %1.\n%2").arg(QDir::toNativeSeparators(path), reason);
}

bool writeReportCsv(const QString &path, const ReportTables &tables, QString &error, const DiskCalls &calls)
{
    SafeSaveFile file(path, calls);
    if (!file.open(QIODevice::WriteOnly)) {
        error = reportWriteError(path, file.errorString());
        return false;
    }
    const std::string text = tablesCsv(tables.all(), ',');
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        error = reportWriteError(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool readLimitsText(const QString &text, StatsOptions &options, QString &error)
{
    const auto fail = [&](const QString &why) {
        error = QStringLiteral("\"%1\": %2").arg(text, why);
        return false;
    };
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0)
        return fail(QStringLiteral("write CHANNEL=LOW:HIGH, e.g. rh=40:65 or t1=:25"));
    const std::optional<Channel> channel = channelFromKey(text.left(eq).trimmed());
    if (!channel)
        return fail(QStringLiteral("the channel is rh, t1, t2 or dp"));
    const QStringList parts = text.mid(eq + 1).split(QLatin1Char('/'));
    if (parts.size() > 3)
        return fail(QStringLiteral("at most LOW:HIGH/HYSTERESIS/DELAY"));
    const QStringList range = parts[0].split(QLatin1Char(':'));
    if (range.size() != 2)
        return fail(QStringLiteral("the limits are LOW:HIGH, either may be left out"));
    const QLocale c = QLocale::c();
    const auto number = [&](const QString &s, std::optional<double> &out) {
        if (s.trimmed().isEmpty())
            return true;
        bool ok = false;
        const double v = c.toDouble(s.trimmed(), &ok);
        if (!ok || !std::isfinite(v))
            return false;
        out = v;
        return true;
    };
    // A temperature limit may name its unit: "t1=:25C", "t1=50:77F" (°C when it names none).
    char unit = 0;
    const auto limit = [&](QString s, std::optional<double> &out) {
        s = s.trimmed();
        if (s.endsWith(QLatin1Char('C'), Qt::CaseInsensitive) || s.endsWith(QLatin1Char('F'), Qt::CaseInsensitive)) {
            const char u = s.back().toUpper().toLatin1();
            if ((unit != 0 && unit != u) || !isTemperature(*channel))
                return false;
            unit = u;
            s.chop(1);
            if (s.endsWith(QChar(0x00B0)))
                s.chop(1);
        }
        return number(s, out);
    };
    Limits l;
    if (!limit(range[0], l.low) || !limit(range[1], l.high))
        return fail(isTemperature(*channel) ? QStringLiteral("a limit is not a number (a unit C or F may follow it)")
                                            : QStringLiteral("a limit is not a number"));
    l.unit = isTemperature(*channel) ? (unit ? unit : 'C') : 0;
    if (!l.any())
        return fail(QStringLiteral("give a low or a high limit"));
    if (l.low && l.high && *l.low >= *l.high)
        return fail(QStringLiteral("the low limit must lie below the high one"));
    std::optional<double> h, d;
    if (parts.size() > 1 && (!number(parts[1], h) || (h && *h < 0)))
        return fail(QStringLiteral("the hysteresis is a number, 0 or more"));
    if (parts.size() > 2 && (!number(parts[2], d) || (d && *d < 0)))
        return fail(QStringLiteral("the delay is seconds, 0 or more"));
    if (h)
        l.hysteresis = *h;
    if (d)
        l.delaySeconds = *d;
    options.limits[*channel] = l;
    return true;
}

} // namespace vandrel
