// SPDX-License-Identifier: GPL-3.0-or-later
// What a report holds (the record, where it came from, the limits) and its
// figures as tables, as the PDF and the CSV file both write them; the CSV file
// itself; and limits as a command line writes them. QtCore only.
#pragma once

#include "insight/RecordSources.h"
#include "insight/StatsText.h"
#include "platform/SafeSaveFile.h"

#include <optional>

namespace vandrel {

struct ReportInput {
    RecordHeader header;
    Record record;
    ReadNotes notes;
    StatsOptions options;
};

struct ReportTables {
    TextTable header, statistics, derived, daily, crossings;
    // The record's gaps, listed only where it has some.
    TextTable gaps;
    // Daily summaries only for a record longer than a day.
    bool showDaily = false;
    QList<TextTable> all() const;
};
ReportTables reportTables(const ReportInput &input, const QLocale &locale = QLocale());

// Writes the report's tables as CSV through a safe save: on failure nothing
// is left at `path` but what was there, and `error` says why.
bool writeReportCsv(const QString &path, const ReportTables &tables, QString &error,
                    const DiskCalls &calls = systemDiskCalls());

// "Cannot write the file PATH.\nREASON"
QString reportWriteError(const QString &path, const QString &reason);

// Limits as text, one channel each: "rh=40:65", "t1=:25/0.5/300" (CHANNEL=
// [LOW]:[HIGH][/HYSTERESIS[/DELAY SECONDS]]), channel rh (or humidity), t1, t2
// or dp (or dewpoint), numbers with a decimal point. A temperature limit may
// end in its unit, C or F ("t1=:77F"); without one it is in °C. Sets that
// channel in `options`; false with `error` set for text that is not one.
bool readLimitsText(const QString &text, StatsOptions &options, QString &error);

} // namespace vandrel
