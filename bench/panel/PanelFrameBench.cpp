// SPDX-License-Identifier: GPL-3.0-or-later
// Benchmarks of the work one display frame causes on the panel: rebuilding
// the LCD state, and the paint when nothing or everything changed.
#include "panel/LcdState.h"
#include "panel/TfrmPanel.h"

#include <benchmark/benchmark.h>

using namespace vandrel;

namespace {

const MeterIdentity Meter{580, 0};

// Two readings that differ in every digit position and in most icons.
MeterReading readingA()
{
    MeterReading r;
    r.ShownRh = 45.6, r.ShownT1 = 23.4, r.ShownT2 = -12.3;
    r.MaxMinMode = 1, r.RecOn = true, r.LowBattery = true;
    return r;
}

MeterReading readingB()
{
    MeterReading r;
    r.ShownRh = 123.7, r.ShownT1 = 567.8, r.ShownT2 = 456.7;
    r.MaxMinMode = 2, r.HoldOn = true, r.RelativeOn = true, r.AutoPowerOff = false;
    r.TempUnit = QStringLiteral("F");
    return r;
}

void BM_BuildLcdState(benchmark::State &bench)
{
    const MeterReading r = readingA();
    LcdState state;
    for (auto _ : bench) {
        BuildLcdState(r, Meter, state);
        benchmark::DoNotOptimize(state);
    }
}
BENCHMARK(BM_BuildLcdState);

void BM_FrameNothingChanged(benchmark::State &bench)
{
    const MeterReading r = readingA();
    LcdState state;
    TfrmPanel panel(state);
    panel.show();
    BuildLcdState(r, Meter, state);
    panel.PaintPanel();
    for (auto _ : bench) {
        BuildLcdState(r, Meter, state);
        panel.PaintPanel();
    }
    bench.counters["touched"] = panel.lastTouchCount();
    bench.SetLabel("Panel: one frame, nothing changed; <= 16.7 ms (one 60 Hz refresh)");
}
BENCHMARK(BM_FrameNothingChanged);

void BM_FrameEverythingChanged(benchmark::State &bench)
{
    const MeterReading readings[2] = {readingA(), readingB()};
    LcdState state;
    TfrmPanel panel(state);
    panel.show();
    int next = 0;
    for (auto _ : bench) {
        BuildLcdState(readings[next], Meter, state);
        panel.PaintPanel();
        next ^= 1;
    }
    bench.counters["touched"] = panel.lastTouchCount();
    bench.SetLabel("Panel: one frame, everything changed; <= 16.7 ms (one 60 Hz refresh)");
}
BENCHMARK(BM_FrameEverythingChanged);

} // namespace
