// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the meter link against the simulated meter for a while and reports the
// mean poll interval, the mean tick interval and the CPU the process used.
// Usage: bench_link_timing [seconds]   (default 60)
#include "meter/MeterLink.h"

#include "LinkRig.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <vector>

using namespace vandrel;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Stats {
    double mean = 0, stddev = 0, min = 0, max = 0;
};

Stats intervals(const std::vector<qint64> &t)
{
    Stats s;
    if (t.size() < 2)
        return s;
    std::vector<double> d;
    for (size_t i = 1; i < t.size(); ++i)
        d.push_back(double(t[i] - t[i - 1]));
    double sum = 0;
    s.min = s.max = d[0];
    for (double v : d) {
        sum += v;
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
    }
    s.mean = sum / d.size();
    double sq = 0;
    for (double v : d)
        sq += (v - s.mean) * (v - s.mean);
    s.stddev = std::sqrt(sq / d.size());
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;

    test::SimProcess sim;
    test::LinkRig rig;
    MeterLink &link = rig.link;
    if (!rig.connectTo(sim.device())) {
        std::fprintf(stderr, "no meter found on %s\n", qPrintable(sim.device()));
        return 1;
    }

    QElapsedTimer clock;
    std::vector<qint64> polls, ticks;
    int frames = 0;
    QObject::connect(&link.aTimer(), &QTimer::timeout, [&] { polls.push_back(clock.elapsed()); });
    QObject::connect(&link, &MeterLink::tickStarted, [&] { ticks.push_back(clock.elapsed()); });
    QObject::connect(&link, &MeterLink::frameDecoded, [&] { ++frames; });

    const double cpu0 = cpuSeconds();
    clock.start();
    link.startTimers();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double wall = clock.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    link.shutDown();

    const Stats p = intervals(polls), t = intervals(ticks);
    std::printf("run: %.1f s, %d frames decoded, meter connected at end: %s\n", wall, frames,
                link.state().MeterConnected ? "yes" : "no");
    std::printf("poll interval: mean %.2f ms, sd %.2f, min %.0f, max %.0f (%zu polls; target 300 +- 5)\n", p.mean,
                p.stddev, p.min, p.max, polls.size());
    std::printf("tick interval: mean %.2f ms, sd %.2f, min %.0f, max %.0f (%zu ticks; target 1000 +- 10)\n", t.mean,
                t.stddev, t.min, t.max, ticks.size());
    std::printf("CPU: %.3f s over %.1f s = %.2f %% of one core (link process only)\n", cpu, wall, 100.0 * cpu / wall);
    std::printf("RESULT | Poll interval, mean over %.0f s | %.2f ms | 300 +- 5 ms\n", wall, p.mean);
    std::printf("RESULT | Tick interval, mean over %.0f s | %.2f ms | 1000 +- 10 ms\n", wall, t.mean);
    std::printf("RESULT | CPU of the link while connected (no window) | %.2f %% of one core | <= 1 %%\n",
                100.0 * cpu / wall);
    return 0;
}
