// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: a report's input of any content. The first line is a set of
// limits as a command line gives them (space-separated), the rest a table
// file. Checks that every row is counted once, that each channel's cells are
// taken in or counted as left out, that extremes bound the mean, that the
// times below, within and above never add up to more than the record
// covers, and that every crossing of a record in time order ends after it
// starts.
#include "FuzzCheck.h"

#include "insight/RecordSources.h"
#include "insight/Report.h"

#include <QBuffer>

#include <algorithm>
#include <cmath>

using namespace vandrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::useCLocale();
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype eol = bytes.indexOf('\n');
    const QString limitsLine = QString::fromUtf8(eol < 0 ? bytes : bytes.left(eol));
    QByteArray table = eol < 0 ? QByteArray() : bytes.mid(eol + 1);

    StatsOptions options;
    for (const QString &word : limitsLine.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QString error;
        if (!readLimitsText(word, options, error))
            FUZZ_CHECK(!error.isEmpty());
    }
    for (const Limits &l : options.limits)
        FUZZ_CHECK(!l.low || !l.high || *l.low < *l.high);

    QBuffer device(&table);
    device.open(QIODevice::ReadOnly);
    const RecordFile file = readRecordFile(device, '\t', QLocale::c());
    FUZZ_CHECK(file.error.isEmpty());
    const Record &r = file.record;
    const std::size_t rows = r.seconds.size();
    const RecordStats stats = computeStats(r, options);
    for (int c = 0; c < kChannelCount; ++c) {
        FUZZ_CHECK(r.values[c].empty() || r.values[c].size() == rows);
        const ChannelStats &s = stats.channels[c];
        if (!s.present)
            continue;
        FUZZ_CHECK(static_cast<std::size_t>(s.count + s.empty + s.unreadable + s.overloaded) == rows);
        if (s.count > 0 && std::isfinite(s.mean))
            FUZZ_CHECK(s.min <= s.mean + 1e-9 * std::fabs(s.mean) + 1e-9 &&
                       s.mean <= s.max + 1e-9 * std::fabs(s.mean) + 1e-9);
        FUZZ_CHECK(s.secondsBelow + s.secondsWithin + s.secondsAbove <= stats.coveredSeconds * (1 + 1e-9) + 1e-6);
    }
    // Not even a clock set back (the autumn hour of a table kept in clock
    // time) ends a crossing before it began, or gives it negative time.
    for (const Crossing &x : limitCrossings(r, options))
        FUZZ_CHECK(x.start <= x.end && x.seconds >= 0);
    ReportInput in;
    in.record = r;
    in.options = options;
    const ReportTables tables = reportTables(in, QLocale::c());
    for (const TextTable &t : tables.all()) {
        for (const QStringList &row : t.rows)
            FUZZ_CHECK(row.size() == t.headings.size());
    }
    (void)tablesCsv(tables.all());
    return 0;
}
