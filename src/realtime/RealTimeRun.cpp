// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time run rules.
#include "realtime/RealTimeRun.h"

#include "meter/MeterLink.h"

#include <algorithm>
#include <cmath>

namespace vandrel {

bool takeSampleIfDue(const RealTimeRun &run, int &tickCounter)
{
    if (!run.RealTimeRunning || tickCounter < run.SampleRate)
        return false;
    tickCounter = 0;
    return true;
}

void countTicks(MeterLink &link, RealTimeRun &run, QObject *context)
{
    QObject::connect(&link, &MeterLink::tickStarted, context, [&run] { ++run.TickCounter; });
    QObject::connect(&link, &MeterLink::frameMissed, context, [&run] { run.TickCounter = 0; });
}

void showRunFace(RealTimeRun &run)
{
    run.RunTag = RunFace::Run;
    run.RunCaption = QStringLiteral("Run");
}

void showPauseFace(RealTimeRun &run)
{
    run.RunTag = RunFace::Pause;
    run.RunCaption = QStringLiteral("Pause");
}

double graphSpanFor(int sampleRate)
{
    return sampleRate * 100 / 86400.0;
}

StartupLayout startupLayout(int panelWidth, int clientWidth, int clientHeight, int screenHeight)
{
    const bool tall = screenHeight > 600;
    const int width = std::max(clientWidth - panelWidth, 300);
    int graphHeight = tall ? 400 : 227;
    int tableHeight = tall ? 300 : 221;
    const int wanted = graphHeight + tableHeight;
    // A client area not laid out yet (0 high) keeps the sizes as they are;
    // any other is filled, the two sharing what is short or spare alike, so
    // a tall screen shows no empty band under the table.
    if (clientHeight > 0 && wanted != clientHeight) {
        graphHeight = graphHeight * clientHeight / wanted;
        tableHeight = clientHeight - graphHeight;
    }
    StartupLayout l;
    l.graph = QRect(panelWidth, 0, width, graphHeight);
    l.table = QRect(panelWidth, graphHeight, width, tableHeight);
    return l;
}

float axisMaxFrom(float value)
{
    const float v = value * (value <= 0 ? 0.9f : 1.1f) + 20.0f;
    return std::max(v, 140.0f);
}

float axisMinFrom(float value)
{
    const float v = value * (value <= 0 ? 1.1f : 0.9f) - 20.0f;
    return std::min(v, -40.0f);
}

} // namespace vandrel
