// SPDX-License-Identifier: GPL-3.0-or-later
// The report as a PDF: a header, the statistics, the graph of the whole
// record with its limits as dashed lines in each curve's colour, daily
// summaries for records longer than a day and the list of limit crossings.
// Written through a safe save, so a failure leaves no half file. QtGui only.
#pragma once

#include "insight/Report.h"

class QPainter;
class QRectF;

namespace vandrel {

enum class ReportPaper { A4, Letter };

bool writeReportPdf(const QString &path, const ReportInput &input, const ReportTables &tables, ReportPaper paper,
                    QString &error, const DiskCalls &calls = systemDiskCalls());

// The colours of the curves, as the program's graphs draw them.
QColor channelColour(Channel channel);

// The graph of a record in `area`: humidity above, the temperatures below,
// each set limit a dashed line in its curve's colour.
void drawRecordGraph(QPainter &painter, const QRectF &area, const Record &record, const StatsOptions &options,
                     const QLocale &locale = QLocale());

} // namespace vandrel
