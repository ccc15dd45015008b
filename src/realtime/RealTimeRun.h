// SPDX-License-Identifier: GPL-3.0-or-later
// The state of a real-time run and its pure rules: when a sample is due, how
// Run, Pause and Stop change the controls, the graph's time span and the
// start-up layout of the real-time windows.
#pragma once

#include "platform/DayCount.h"

#include <QDateTime>
#include <QRect>
#include <QString>

class QObject;

namespace vandrel {

class MeterLink;

// What the Run controls show, and so what their next click does.
enum class RunFace {
    Run,   // stopped or paused: the next click starts or resumes
    Pause, // running: the next click pauses
};

struct RealTimeRun {
    int SampleRate = 2;          // seconds between samples
    bool RealTimeRunning = false;
    bool RealTimeUnsaved = false;
    bool SaveFromPrompt = false;
    int NextPointIndex = 0;      // next point of the real-time graph
    int TickCounter = 0;         // ticks since the last sample
    double GraphSpan = 0.0;      // width of the graph's time window, days
    QRect SavedGraphBounds, SavedTableBounds;

    RunFace RunTag = RunFace::Run;
    QString RunCaption = QStringLiteral("&Run");
    bool StopEnabled = false;
};

// The sampling rule of a tick that saw a frame: due when running and at least
// SampleRate ticks passed; a due sample restarts the count.
bool takeSampleIfDue(const RealTimeRun &run, int &tickCounter);

// Keeps the run's TickCounter from the link's tick: every tick counts, and a
// tick that finds no frame while connected starts the count over.
void countTicks(MeterLink &link, RealTimeRun &run, QObject *context);

// Control faces for the three states.
void showRunFace(RealTimeRun &run);   // stopped or paused: Run glyph, "Run"
void showPauseFace(RealTimeRun &run); // running: Pause glyph, "Pause"

// 100 sampling periods, in days.
double graphSpanFor(int sampleRate);

// Where start-up puts the real-time windows: right of the panel, the graph on
// top (400 high on screens taller than 600, else 227) and the table below it
// (300, else 221), as wide as the rest of the client area. The two fill the
// client area's height, in that proportion: a shorter one never cuts off the
// table's bottom rows (the newest samples), a taller one leaves no empty band.
struct StartupLayout {
    QRect graph, table;
};
StartupLayout startupLayout(int panelWidth, int clientWidth, int clientHeight, int screenHeight);

// The temperature-axis widening rule: a new maximum is value × 1.1 (× 0.9 when
// the value is 0 or below) + 20, at least 140; a new minimum is value × 0.9
// (× 1.1 when 0 or below) − 20, at most −40. Single precision, as drawn.
float axisMaxFrom(float value);
float axisMinFrom(float value);

} // namespace vandrel
