// SPDX-License-Identifier: GPL-3.0-or-later
// Meter graph set-up and the real-time append step.
#include "realtime/GraphSetup.h"

#include "meter/MeterIdentity.h"
#include "realtime/RealTimeRun.h"

#include <stdexcept>

namespace vandrel {

namespace {

constexpr BgrColor kYellow = 0x00FFFF, kFuchsia = 0xFF00FF, kAqua = 0xFFFF00, kBlue = 0xFF0000;

// Widens the temperature axis so that T2 stays in view.
void widenForT2(MeterChart &chart, const MeterReading &reading)
{
    chart.SetWorkingAxis(1);
    const float t2 = static_cast<float>(reading.T2);
    if (reading.T2Over)
        return;
    if (t2 > static_cast<float>(chart.GetYMax()))
        chart.SetYMax(axisMaxFrom(t2));
    if (t2 < static_cast<float>(chart.GetYMin()))
        chart.SetYMin(axisMinFrom(t2));
}

} // namespace

void SetupMeterGraph(MeterChart &chart, int points, double maxX, double minX, int model)
{
    const bool four = models::hasTwoTemperatures(model);
    chart.SetPointCount(points);
    chart.SetSeriesCount(four ? 4 : 2);
    chart.ShowMarker(true);
    chart.SetMainTitle(QString());
    chart.SetSubTitle(QString());
    chart.SetXLabel(QStringLiteral("Time"));
    chart.SetNullY(kNullY);
    const QString labels[] = {QStringLiteral("%RH"), QStringLiteral("T1"), QStringLiteral("T2"),
                              QStringLiteral("Dewpoint")};
    const BgrColor colours[] = {kYellow, kFuchsia, kAqua, kBlue};
    for (int s = 0; s < 4; ++s) {
        chart.SetSeriesLabel(s, labels[s]);
        chart.SetSeriesColor(s, colours[s]);
        chart.SetLineType(s, 0);
    }
    chart.SetDottedGrid(true);
    chart.SetGraphForeColor(0x008000);
    chart.SetGraphBackColor(0x000000);
    chart.SetDeskColor(0xC0C0C0);
    chart.SetTextColor(0x000000);
    chart.SetAxisSeries(0, 1);
    chart.SetAxisSeries(1, four ? 3 : 1);

    chart.SetWorkingAxis(0);
    chart.SetYLabel(QStringLiteral("HUMIDITY"));
    chart.SetYMin(0);
    chart.SetYMax(110);
    if (minX != 0) {
        chart.SetXMin(minX);
        chart.SetXMax(maxX);
    }
    chart.SetWorkingAxis(1);
    chart.SetYLabel(QStringLiteral("TEMPERATURE"));
    chart.SetYAxisColor(0x0000FF);
    chart.SetYMin(-20);
    chart.SetYMax(140);
    chart.SetWorkingAxis(0);
    chart.Refresh();
}

void AppendGraphSample(MeterChart &chart, int &nextPointIndex, double graphSpan, const MeterReading &reading,
                       double timestamp, bool refresh)
{
    int i = nextPointIndex;
    try {
        if (i > chart.PointCount() - 1) {
            i -= kShiftPoints;
            nextPointIndex = i;
            chart.ShiftPoints(kShiftPoints);
            chart.SetXMin(chart.GetX(0, 0));
        }
        chart.SetX(0, i, timestamp);
        chart.SetY(0, i, reading.Rh);
        chart.SetX(1, i, timestamp);
        chart.SetY(1, i, reading.T1);
        if (chart.SeriesCount() == 4) {
            chart.SetX(2, i, timestamp);
            chart.SetY(2, i, reading.T2);
            chart.SetX(3, i, timestamp);
            // A meter without the dew-point variant measures none: no curve.
            chart.SetY(3, i, reading.HasDewPoint ? reading.DewPoint : kNullY);
            widenForT2(chart, reading);
        }
    } catch (const std::exception &) {
        // A point that cannot be written is missed; the run goes on.
    }
    nextPointIndex = i + 1;
    try {
        if (timestamp >= chart.GetXMax() && !chart.IsZoomed()) {
            chart.SetXMax(chart.GetXMax() + graphSpan);
            chart.SetXMin(chart.GetX(0, 0));
        }
    } catch (const std::exception &) {
    }
    if (refresh)
        chart.Refresh();
}

void ClearGraph(MeterChart &chart, double now, double graphSpan)
{
    for (int p = 0; p < chart.PointCount(); ++p)
        for (int s = 0; s < chart.SeriesCount(); ++s)
            chart.SetY(s, p, kNullY);
    chart.SetXMin(now);
    chart.SetXMax(now + graphSpan);
    chart.Refresh();
}

} // namespace vandrel
