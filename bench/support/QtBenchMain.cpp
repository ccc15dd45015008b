// SPDX-License-Identifier: GPL-3.0-or-later
// Entry of the Google Benchmark programs that draw widgets: an application
// object on the offscreen platform, then the benchmarks. A benchmark whose
// label reads "<figure>; <target>" also gets a RESULT line for bench/run-all.sh,
// with its median time (or its only one when it is not repeated).
#include "BenchSupport.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class ResultReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            const std::size_t split = r.report_label.find("; ");
            if (split == std::string::npos || r.error_occurred)
                continue;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median")
                continue;
            lines_.push_back("RESULT | " + r.report_label.substr(0, split) + " | " +
                             readable(r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit)) +
                             " | " + r.report_label.substr(split + 2));
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (const std::string &line : lines_)
            std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    // Seconds in the unit that keeps three digits before the point at most.
    static std::string readable(double seconds)
    {
        const char *units[] = {"ns", "us", "ms", "s"};
        double v = seconds * 1e9;
        int u = 0;
        while (u < 3 && v >= 1000.0) {
            v /= 1000.0;
            ++u;
        }
        char text[32];
        std::snprintf(text, sizeof text, v < 100.0 ? "%.3g %s" : "%.0f %s", v, units[u]);
        return text;
    }

    std::vector<std::string> lines_;
};

} // namespace

int main(int argc, char **argv)
{
    vandrel::bench::defaultToOffscreen();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ResultReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
