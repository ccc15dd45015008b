// SPDX-License-Identifier: GPL-3.0-or-later
// Meter graph set-up and the real-time append step.
#include "realtime/GraphSetup.h"

#include "meter/ModelTraits.h"
#include "realtime/RealTimeRun.h"

#include <stdexcept>

namespace vandrel {

namespace {

// The dew point is a light blue: pure blue hardly shows on the black background.
constexpr BgrColor kYellow = 0x00FFFF, kFuchsia = 0xFF00FF, kAqua = 0xFFFF00, kDewPointBlue = 0xFFA040;
const QString kTemperatureLabel = QStringLiteral("TEMPERATURE");

// Widens the temperature axis so that T2 (in the graph's unit) stays in view.
void widenForT2(MeterChart &chart, double graphT2, bool t2Over)
{
    chart.SetWorkingAxis(1);
    const float t2 = static_cast<float>(graphT2);
    if (t2Over)
        return;
    if (t2 > static_cast<float>(chart.GetYMax()))
        chart.SetYMax(axisMaxFrom(t2));
    if (t2 < static_cast<float>(chart.GetYMin()))
        chart.SetYMin(axisMinFrom(t2));
}

} // namespace

void SetupMeterGraph(MeterChart &chart, int points, double maxX, double minX, int model, char suffix)
{
    SetupMeterGraphSeries(chart, points, maxX, minX, modelTraits(model).seriesCount());
    // A meter without the dew-point variant draws no dew-point curve, so the
    // legend does not offer one.
    if (chart.SeriesCount() == 4 && !isDewPointVariant(suffix))
        chart.SetSeriesLabel(3, QString());
}

void SetupMeterGraphSeries(MeterChart &chart, int points, double maxX, double minX, int seriesCount)
{
    const bool four = seriesCount == 4;
    chart.SetPointCount(points);
    chart.SetSeriesCount(four ? 4 : 2);
    chart.ShowMarker(true);
    chart.SetMainTitle(QString());
    chart.SetSubTitle(QString());
    chart.SetXLabel(QStringLiteral("Time"));
    chart.SetNullY(kNullY);
    // One temperature is "T", as its min/max captions and marker name it.
    const QString labels[] = {QStringLiteral("%RH"), four ? QStringLiteral("T1") : QStringLiteral("T"),
                              QStringLiteral("T2"), QStringLiteral("Dewpoint")};
    const BgrColor colours[] = {kYellow, kFuchsia, kAqua, kDewPointBlue};
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
    chart.SetYLabel(QStringLiteral("HUMIDITY (%RH)"));
    chart.SetYMin(0);
    chart.SetYMax(110);
    if (minX != 0) {
        chart.SetXMin(minX);
        chart.SetXMax(maxX);
    }
    chart.SetWorkingAxis(1);
    chart.SetYLabel(kTemperatureLabel);
    chart.SetYAxisColor(0x0000FF);
    chart.SetYMin(-20);
    chart.SetYMax(140);
    chart.SetWorkingAxis(0);
    chart.Refresh();
}

void AppendGraphSample(MeterChart &chart, int &nextPointIndex, double graphSpan, const MeterReading &reading,
                       double timestamp, Redraw redraw)
{
    int i = nextPointIndex;
    try {
        if (i > chart.PointCount() - 1) {
            i -= kShiftPoints;
            nextPointIndex = i;
            chart.ShiftPoints(kShiftPoints);
            chart.SetXMin(chart.GetX(0, 0));
        }
        // One unit per axis: the run's first sample sets it, and a unit
        // switched on the meter later is converted, not drawn on the same scale.
        QString unit = i == 0 ? QString() : ShownTemperatureUnit(chart);
        if (unit.isEmpty()) {
            unit = reading.TempUnit;
            ShowTemperatureUnit(chart, unit);
        }
        const auto inGraphUnit = [&](double v) { return convertTemperature(v, reading.TempUnit, unit); };
        chart.SetX(0, i, timestamp);
        chart.SetY(0, i, reading.Rh);
        chart.SetX(1, i, timestamp);
        chart.SetY(1, i, inGraphUnit(reading.T1));
        if (chart.SeriesCount() == 4) {
            const double t2 = inGraphUnit(reading.T2);
            chart.SetX(2, i, timestamp);
            chart.SetY(2, i, t2);
            chart.SetX(3, i, timestamp);
            // A meter without the dew-point variant measures none: no curve.
            chart.SetY(3, i, reading.HasDewPoint ? inGraphUnit(reading.DewPoint) : kNullY);
            widenForT2(chart, t2, reading.T2Over);
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
    if (redraw == Redraw::Now)
        chart.Refresh();
}

QString temperatureAxisLabel(const QString &unit)
{
    if (unit == QLatin1String("C") || unit == QLatin1String("F"))
        return kTemperatureLabel + QStringLiteral(" (\u00b0") + unit + QLatin1Char(')');
    return kTemperatureLabel;
}

void ShowTemperatureUnit(MeterChart &chart, const QString &unit)
{
    if (unit != QLatin1String("C") && unit != QLatin1String("F"))
        return;
    const int working = chart.WorkingAxis();
    chart.SetWorkingAxis(1);
    // Set only on a change: a new label lays the whole chart out again.
    const QString label = temperatureAxisLabel(unit);
    if (chart.GetYLabel() != label)
        chart.SetYLabel(label);
    chart.SetWorkingAxis(working);
}

QString ShownTemperatureUnit(MeterChart &chart)
{
    const int working = chart.WorkingAxis();
    chart.SetWorkingAxis(1);
    const QString label = chart.GetYLabel();
    chart.SetWorkingAxis(working);
    for (const QString &unit : {QStringLiteral("C"), QStringLiteral("F")}) {
        if (label == temperatureAxisLabel(unit))
            return unit;
    }
    return {};
}

double convertTemperature(double value, const QString &from, const QString &to)
{
    const auto unit = [](const QString &u) { return u.size() == 1 ? u.front().toLatin1() : '\0'; };
    return convertTemperature(value, unit(from), unit(to));
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
