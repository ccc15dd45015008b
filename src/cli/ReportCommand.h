// SPDX-License-Identifier: GPL-3.0-or-later
// "report": the statistics and graph of a table file as a PDF (and CSV),
// without a display.
#pragma once

#include "cli/OutputFiles.h"
#include "insight/ReportPdf.h"

namespace vandrel::cli {

struct CliOptions;

// Why the files of `options` must not be written: --out or --csv is the file
// --in reads, or --out and --csv are one file (symbolic links followed).
Refusal reportPathsRefusal(const CliOptions &options);

// Why the limits of `options` do not fit `record`: a channel it does not have.
Refusal reportLimitsRefusal(const CliOptions &options, const Record &record);

// Writes the PDF at `pdfPath` and, unless `csvPath` is empty, the CSV: both
// or neither. Each is first written whole beside its target; only then do
// they take their places, and when the second cannot, the first is put back
// as it was (or removed when it is new). False with `error` set on failure.
bool writeReportFiles(const QString &pdfPath, const QString &csvPath, const ReportInput &input,
                      const ReportTables &tables, ReportPaper paper, QString &error,
                      const DiskCalls &calls = systemDiskCalls());

// Needs a QGuiApplication (the offscreen platform does). Returns the exit status.
int runReport(const CliOptions &options);

} // namespace vandrel::cli
