// SPDX-License-Identifier: GPL-3.0-or-later
// The one chart set-up every meter graph shares, and the append step of the
// real-time graph with its moving time window and its point limit.
#pragma once

#include "meter/MeterReading.h"
#include "meter/ModelTraits.h"
#include "platform/MeterChart.h"
#include "records/Channel.h"

namespace vandrel {

constexpr double kNullY = 9999.0;
constexpr int kRealTimePoints = 5000;
constexpr int kShiftPoints = 100;

// Prepares `chart` for a meter graph: points per series, 4 series for models
// with two temperatures (else 2), humidity pane above temperature pane, the
// look and the fixed ranges (the X range only when minX is not 0). The legend
// names only what the meter measures: no "Dewpoint" without the dew-point
// variant's `suffix`.
void SetupMeterGraph(MeterChart &chart, int points, double maxX, double minX, int model,
                     char suffix = kDewPointSuffix);
// The same for a graph of `seriesCount` curves (4 or 2) that no model decides,
// such as one drawn from a table file.
void SetupMeterGraphSeries(MeterChart &chart, int points, double maxX, double minX, int seriesCount);

// Writes one sample of the reading at point `nextPointIndex` (shifting out the
// oldest 100 points when the chart is full; the dew point only where the reading
// has one, else the null value), widens the temperature axis for
// T2 and moves the time window when the sample reaches its right edge and the
// chart is not zoomed. The temperature axis keeps the unit of the graph's
// first sample; readings in the other unit are converted to it. Chart errors
// are swallowed: the run goes on. With Redraw::Later the caller redraws once
// after many samples.
enum class Redraw { Now, Later };
void AppendGraphSample(MeterChart &chart, int &nextPointIndex, double graphSpan, const MeterReading &reading,
                       double timestamp, Redraw redraw = Redraw::Now);

// The temperature axis's label for a unit as the data gives it ("C" or "F");
// without a known unit the label names no unit.
QString temperatureAxisLabel(const QString &unit);
// Shows the unit ("C" or "F") on the temperature axis; any other text leaves the
// label as it is. The working axis stays as it was.
void ShowTemperatureUnit(MeterChart &chart, const QString &unit);

// The unit ("C" or "F") the temperature axis shows, or an empty text while it
// shows none.
QString ShownTemperatureUnit(MeterChart &chart);
// A temperature in unit `from` ("C" or "F") given in unit `to`; unchanged when
// the units agree or either is not one of the two.
double convertTemperature(double value, const QString &from, const QString &to);

// Makes every point null again and starts the time window at `now`.
void ClearGraph(MeterChart &chart, double now, double graphSpan);

} // namespace vandrel
