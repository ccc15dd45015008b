// SPDX-License-Identifier: GPL-3.0-or-later
// A table window: the real-time table of a run, or a table read from a file.
// Thin: the cells a sample writes come from TableRow.
#pragma once

#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"
#include "platform/MdiChild.h"
#include "platform/MeterChart.h"
#include "platform/StringGrid.h"

#include <QDateTime>

#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace vandrel {

class TfrmList : public MdiChild {
    Q_OBJECT
public:
    static constexpr const char *kRealTimeCaption = "Real Time Table";

    explicit TfrmList(QWidget *parent = nullptr);

    StringGrid *Grid1 = nullptr;

    // Puts the window into `area` with `caption` (deleted when closed) and shows it.
    QMdiSubWindow *showIn(QMdiArea &area, const QString &caption, const QRect &bounds = {});

    // Headings of columns 0 to 4, row height and column widths.
    void FormShow();

    // Asked before the window closes; returning false keeps it open.
    std::function<bool()> closeQuery;

protected:
    void closeEvent(QCloseEvent *event) override;
};

// Widths of a sample table's columns 0 to 8, scaled from the grid's default
// column width (column 9 keeps the default).
void ApplyTableColumnWidths(StringGrid &grid);
// Headings of columns 5 to 8 (and 9) for a model.
void ApplyTableHeadings(StringGrid &grid, int model);
// Appends one sample as the next row of a real-time table and scrolls to it.
void AppendTableRow(StringGrid &grid, const QDateTime &timestamp, const MeterReading &reading,
                    const MeterIdentity &id);
// Empties a real-time table: two rows, row 1 blank, headings kept.
void ClearTable(StringGrid &grid);
// Moves the chart's marker to the point of table row `row` and labels it with
// the row's time and values.
void SyncMarker(MeterChart &chart, const StringGrid &grid, int row, char modelSuffix);

} // namespace vandrel
