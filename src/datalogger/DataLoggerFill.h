// SPDX-License-Identifier: GPL-3.0-or-later
// What the data-logger window shows of a download: the set list, a decoded set's
// table rows, graph points, extremes texts, temperature axis and marker label.
#pragma once

#include "datalogger/LoggerRecords.h"
#include "datalogger/LoggerTable.h"

#include <QLocale>
#include <QColor>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace vandrel {

class MeterChart;
class StringGrid;

// The heights the window gives the set list and the graph on a screen this
// high; the min/max block and the sample table take what is left below them.
struct LoggerPaneHeights {
    int setList = 0;
    int graph = 0;
};
LoggerPaneHeights loggerPaneHeights(int screenHeight);

// Widens (never narrows) each column so that its heading and the texts of
// rows 1..lastRow show whole.
void widenColumnsToTexts(StringGrid &grid, int lastRow);

// Headings, widths and the empty row of the set list.
void setupSetList(StringGrid &grid2);
// One row per set, the rows before it cleared away.
void fillSetList(StringGrid &grid2, const DataSetTable &table, const QLocale &locale = QLocale());

// Column count, headings and widths of the sample table, with one empty row.
void setupSampleGrid(StringGrid &grid1, const LoggerModel &model);
// One row per sample (row i + 1), temperatures in the set's `unit`. `progress` hears each sample index first.
// A set without samples leaves one empty row, as a fresh table has.
void fillSampleRows(StringGrid &grid1, const DecodedSet &set, char unit, const LoggerModel &model,
                    const std::function<void(int)> &progress = {}, const QLocale &locale = QLocale());

// Prepares the chart for `count` samples from `startTime` every `interval` s
// and draws them: X in every series, Y of RH, T1 and where the model has them
// T2 and DP. Overloaded values are drawn as decoded.
void plotSamples(MeterChart &chart, const DataSet &set, const DecodedSet &decoded, const LoggerModel &model);

// The temperature pane's range for a set: widened around the T1 and T2 extremes.
struct AxisRange {
    float upper = 140.0f;
    float lower = -40.0f;
};
AxisRange temperatureAxisFor(const DecodedSet &decoded);

// Panel tags 1..8: RH max/min, T1 max/min, T2 max/min, DP max/min.
enum ExtremeTag { RhMax = 1, RhMin, T1Max, T1Min, T2Max, T2Min, DpMax, DpMin };
// The table row of each extreme (index tag - 1); 1 where the set has none.
std::array<int, 8> extremeRows(const DecodedSet &decoded, const LoggerModel &model);
// "hh:nn:ss", a tab, the value with one decimal; `withDate` puts the day and
// month first ("16 Jun 02:00:00").
QString extremeText(const Extreme &e, bool withDate = false);
// Whether a set's samples fall on more than one day, so that a time alone
// does not say which sample it is.
bool spansDays(const DecodedSet &decoded);
// Whether the panels of a quantity are written for this set (else they keep
// what they showed).
bool extremesShown(const DecodedSet &decoded, const LoggerModel &model, int tag);
// What panel `tag` shows for this set: nothing to write when its quantity has
// no values (the panel keeps its text), an empty text for an extreme that no
// sample reached, else the extreme's time (and date, for a set over more than
// one day) and value.
std::optional<QString> extremePanelText(const DecodedSet &decoded, const LoggerModel &model, int tag);
const Extreme &extremeOf(const DecodedSet &decoded, int tag);

// The marker's label for table row `row`: its time (with its date where the
// table runs over more than one day) and the row's values.
QString markerText(const StringGrid &grid1, int row, const LoggerModel &model);

// The WCAG contrast ratio of two colours, 1 (none) to 21 (black on white);
// text wants at least 4.5.
double contrastRatio(const QColor &a, const QColor &b);

} // namespace vandrel
