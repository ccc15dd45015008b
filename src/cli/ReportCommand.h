// SPDX-License-Identifier: GPL-3.0-or-later
// "report": the statistics and graph of a table file as a PDF (and CSV),
// without a display.
#pragma once

namespace vandrel::cli {

struct CliOptions;

// Needs a QGuiApplication (the offscreen platform does). Returns the exit status.
int runReport(const CliOptions &options);

} // namespace vandrel::cli
