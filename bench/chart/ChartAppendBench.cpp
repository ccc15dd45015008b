// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of what one real-time sample costs on a full 5000-point, 4-series chart:
// writing the sample, Refresh and a paint, with and without the 100-point scroll.
#include "platform/MeterChart.h"
#include "realtime/GraphSetup.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace vandrel;

namespace {

constexpr int Points = 5000;
constexpr int Series = 4;
constexpr double Start = 45000.5;
constexpr double Second = 1.0 / 86400.0;

// A chart set up like the real-time graph and filled to its last point.
void setUpFullChart(MeterChart &chart)
{
    chart.resize(800, 520);
    chart.SetPointCount(Points);
    chart.SetSeriesCount(Series);
    chart.SetNullY(9999.0);
    const BgrColor colours[Series] = {0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFF0000};
    const char *labels[Series] = {"%RH", "T1", "T2", "Dewpoint"};
    for (int s = 0; s < Series; ++s) {
        chart.SetSeriesColor(s, colours[s]);
        chart.SetSeriesLabel(s, QString::fromLatin1(labels[s]));
    }
    chart.SetAxisSeries(0, 1);
    chart.SetAxisSeries(1, Series - 1);
    chart.SetWorkingAxis(0);
    chart.SetYMin(0), chart.SetYMax(110);
    chart.SetWorkingAxis(1);
    chart.SetYMin(-20), chart.SetYMax(140);
    chart.SetXMin(Start), chart.SetXMax(Start + Points * Second);
    for (int p = 0; p < Points; ++p) {
        for (int s = 0; s < Series; ++s) {
            chart.SetX(s, p, Start + p * Second);
            chart.SetY(s, p, 20.0 * s + 10.0 * std::sin(p / 50.0 + s));
        }
    }
    chart.ShowMarker(true);
    chart.SetMarker(Start + 2500 * Second, QStringLiteral("12:41:40 RH:45.6 T:21.3"), 0x00FF00);
    chart.show();
    chart.Refresh();
}

void writeSample(MeterChart &chart, int point, double time, double value)
{
    for (int s = 0; s < Series; ++s) {
        chart.SetX(s, point, time);
        chart.SetY(s, point, value + s);
    }
}

void BM_AppendRefreshPaint(benchmark::State &bench)
{
    MeterChart chart;
    setUpFullChart(chart);
    int n = 0;
    for (auto _ : bench) {
        writeSample(chart, Points - 1, chart.GetX(0, Points - 1), 40.0 + (n++ % 10));
        chart.Refresh();
        benchmark::DoNotOptimize(chart.grab());
    }
    bench.SetLabel("Chart: one sample on a full 5000x4 graph, drawn; <= 16.7 ms (one 60 Hz refresh)");
}
BENCHMARK(BM_AppendRefreshPaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The sample that overflows the chart: scroll by 100, move the window, write, draw.
void BM_ShiftAppendRefreshPaint(benchmark::State &bench)
{
    MeterChart chart;
    setUpFullChart(chart);
    int n = 0;
    for (auto _ : bench) {
        chart.ShiftPoints(100);
        chart.SetXMin(chart.GetX(0, 0));
        double time = chart.GetX(0, Points - 101) + Second;
        writeSample(chart, Points - 100, time, 40.0 + (n++ % 10));
        chart.Refresh();
        benchmark::DoNotOptimize(chart.grab());
        bench.PauseTiming();
        for (int p = Points - 99; p < Points; ++p)
            writeSample(chart, p, time += Second, 40.0); // full again for the next round
        chart.SetXMax(time);
        bench.ResumeTiming();
    }
    bench.SetLabel("Chart: the sample that scrolls a full graph by 100, drawn; <= 16.7 ms (one 60 Hz refresh)");
}
BENCHMARK(BM_ShiftAppendRefreshPaint)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The program's own step on its own set-up: AppendGraphSample on a full
// real-time graph (it scrolls by 100 once every 100 samples), then a paint.
void BM_RealTimeAppendGraphSample(benchmark::State &bench)
{
    MeterChart chart;
    chart.resize(800, 520);
    SetupMeterGraph(chart, kRealTimePoints, Start + 100 * Second, Start, 580);
    MeterReading reading;
    int next = 0;
    double t = Start;
    for (int p = 0; p < kRealTimePoints; ++p) {
        reading.Rh = 50 + 10 * std::sin(p / 50.0);
        AppendGraphSample(chart, next, 100 * Second, reading, t += Second);
    }
    chart.show();
    for (auto _ : bench) {
        reading.Rh = 50 + 10 * std::sin(t);
        reading.T1 = 20 + std::cos(t);
        AppendGraphSample(chart, next, 100 * Second, reading, t += Second);
        benchmark::DoNotOptimize(chart.grab());
    }
    bench.SetLabel("Chart: the program's append on a full real-time graph, drawn; <= 16.7 ms (one 60 Hz refresh)");
}
BENCHMARK(BM_RealTimeAppendGraphSample)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
