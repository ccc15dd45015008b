// SPDX-License-Identifier: GPL-3.0-or-later
// The report command.
#include "cli/ReportCommand.h"

#include "cli/CliOptions.h"
#include "insight/RecordSources.h"
#include "insight/ReportPdf.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace vandrel::cli {

int runReport(const CliOptions &o)
{
    RecordFile file = readRecordFile(o.in);
    if (!file.error.isEmpty()) {
        printError(QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(o.in), file.error));
        return kExitFailed;
    }
    if (file.record.seconds.empty()) {
        printError(QStringLiteral("%1 holds no table row with a date and time; no report written")
                       .arg(QDir::toNativeSeparators(o.in)));
        return kExitFailed;
    }
    // The report is made of what could be read; what could not is said here
    // as well as in the report, so a script sees it too.
    if (file.notes.unreadable.count > 0)
        printError(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(o.in), file.notes.unreadable.text()));
    ReportInput in;
    in.header.model = QString(); // a table file does not name its meter
    in.header.source = QStringLiteral("File: ") + QFileInfo(o.in).fileName();
    in.record = std::move(file.record);
    in.notes = file.notes;
    in.options = o.limits;
    const ReportTables tables = reportTables(in);
    QString error;
    if (!writeReportPdf(o.out, in, tables, o.letter ? ReportPaper::Letter : ReportPaper::A4, error)) {
        printError(error.replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return kExitFailed;
    }
    if (!o.csv.isEmpty() && !writeReportCsv(o.csv, tables, error)) {
        printError(error.replace(QLatin1Char('\n'), QLatin1Char(' ')));
        return kExitFailed;
    }
    return 0;
}

} // namespace vandrel::cli
