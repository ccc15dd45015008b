// SPDX-License-Identifier: GPL-3.0-or-later
// What follows the last byte of a download: a full 98,304-byte memory decoded
// into its set table, the set list filled, the largest set decoded into the
// table, graph and min/max block of the open window, and the window painted.
// Usage: QT_QPA_PLATFORM=offscreen bench_logger_decode [passes]   (default 7)
#include "datalogger/DataLoggerCommand.h"
#include "datalogger/KeptMemory.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "platform/StringGrid.h"

#include "FullMemory.h"

#include "../support/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vandrel;

namespace {

struct Meter {
    const char *name;
    int model;
    char suffix;
};

// Milliseconds for each pass; the first pass also opens the window, which a
// download has done before its transfer began, so it is not counted.
std::vector<double> decodeAndShow(const Meter &m, int passes, int &samples)
{
    const sim::Bytes memory = bench::fullMemory(sampleSizeFor(m.model));
    const QByteArray bytes = bench::toBytes(memory);
    const MemoryHeader header = parseMemoryHeader(bytes);
    KeptMemory kept;
    kept.model = m.model;
    kept.suffix = m.suffix;
    kept.sampleSize = sampleSizeFor(m.model);
    kept.setCount = header.SetCount;
    kept.image = bytes.mid(kHeaderSize, header.EndAddress + 1 - kHeaderSize);

    QMdiArea area;
    area.resize(1280, 960);
    area.show();
    DataLoggerState state;
    QPointer<TfrmDataLogger> window;
    std::vector<double> ms;
    for (int pass = 0; pass <= passes; ++pass) {
        QElapsedTimer clock;
        clock.start();
        if (!showKeptMemory(area, state, kept, window))
            return {};
        QCoreApplication::processEvents(); // the paint that puts it on screen
        const double took = clock.nsecsElapsed() / 1e6;
        if (pass > 0)
            ms.push_back(took);
    }
    samples = state.Table.Sets.at(0).Count;
    if (window->Grid1->RowCount() != samples + 1)
        return {};
    state.LoggerDataUnsaved = false;
    delete window.data();
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    vandrel::bench::defaultToOffscreen();
    QApplication app(argc, argv);
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const Meter meters[] = {{"580D", 580, 'D'}, {"560", 560, 0}};
    int status = 0;
    for (const Meter &m : meters) {
        int samples = 0;
        std::vector<double> ms = decodeAndShow(m, passes, samples);
        if (ms.empty()) {
            std::fprintf(stderr, "%s: the full memory did not decode\n", m.name);
            status = 1;
            continue;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%s, full memory, largest set %d samples: best %.1f ms, median %.1f ms, worst %.1f ms (%d passes)\n",
                    m.name, samples, ms.front(), ms[ms.size() / 2], ms.back(), passes);
        std::printf("RESULT | Logger decode and display, full memory, %s (%d samples) | %.1f ms | <= 100 ms\n", m.name,
                    samples, ms.front());
    }
    return status;
}
