// SPDX-License-Identifier: GPL-3.0-or-later
// A full 98,304-byte logger memory from the simulated meter at the wire's real
// rate (9600 baud 8N1: 960 bytes a second). First the meter's own pace, read
// raw from its line; then the data-logger command end to end, both variants:
// the time from the click to the data on screen beyond the wire time and the
// fixed waits, and the processor time the program takes during the transfer.
// The line time is the nominal one (bytes / 960) or, when the pace was
// measured first, what a plain reader took on the same simulated line if that
// is longer: the meter's own reaction to each block's acknowledgement is not
// the program's time.
// Usage: QT_QPA_PLATFORM=offscreen bench_download [pace] [stream] [blocks]   (default all)
#include "datalogger/DataLoggerCommand.h"
#include "datalogger/LoadData.h"
#include "datalogger/TfrmDataLogger.h"
#include "meter/MeterLink.h"

#include "FullMemory.h"
#include "LinkRig.h"
#include "SimProcess.h"
#include "TestSupport.h"

#include "../support/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

using namespace vandrel;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr double kLineRate = 960.0; // bytes a second at 9600 baud with start and stop bits
constexpr long kStreamBytes = 98304;                 // header and image, up to address 98303
constexpr long kBlockBytes = 98304 / 64 * 65;        // every block with its checksum byte

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The meter's pace as a plain reader sees it: the bytes after the first read
// of each transmission (the whole stream, or one block) over the time from that
// read to the last one, so the round trip of each block's acknowledgement is
// left out; that round trip is reported on its own.
struct Pace {
    long bytes = 0;     // all bytes received
    long paced = 0;     // bytes after each transmission's first read
    double sending = 0; // seconds from each transmission's first read to its last
    double turnaround = 0; // seconds from each acknowledgement to the next block's first read
    long blocks = 0;
    double total = 0; // seconds from the request to the last byte
    double rate() const { return sending > 0 ? paced / sending : 0.0; }
};

Pace measurePace(const QString &device, bool blocks)
{
    Pace pace;
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return pace;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    const long expected = blocks ? kBlockBytes : kStreamBytes;
    long inBlock = 0;
    char request = kRequest;
    [[maybe_unused]] ssize_t w = ::write(fd, &request, 1);
    const SteadyClock::time_point start = SteadyClock::now();
    SteadyClock::time_point asked = start, first{};
    char buf[512];
    while (pace.bytes < expected) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            continue;
        const SteadyClock::time_point now = SteadyClock::now();
        pace.bytes += n;
        pace.total = std::chrono::duration<double>(now - start).count();
        if (inBlock == 0) {
            first = now;
            pace.turnaround += std::chrono::duration<double>(now - asked).count();
        } else {
            pace.paced += n;
        }
        inBlock += n;
        if (blocks && inBlock >= kBlockSize + 1) {
            pace.sending += std::chrono::duration<double>(now - first).count();
            ++pace.blocks;
            inBlock = 0;
            char ack = kAckGood;
            w = ::write(fd, &ack, 1);
            asked = SteadyClock::now();
        } else if (!blocks) {
            pace.sending = std::chrono::duration<double>(now - first).count();
        }
    }
    ::close(fd);
    return pace;
}

// The progress window of the real command, with the moments that matter noted.
class TimedView : public ScopeDownloadView {
public:
    TimedView(QWidget *parent, DataLoggerState &state, QPointer<TfrmDataLogger> window, const QElapsedTimer &clock)
        : ScopeDownloadView(parent, state, std::move(window)), clock_(clock)
    {
    }
    double requestAt = -1, lastBytesAt = -1, cpuAtRequest = 0, cpuAtLast = 0;
    QStringList messages;

    void busyCursor(bool busy) override
    {
        ScopeDownloadView::busyCursor(busy);
        if (!busy && requestAt < 0) { // the port is taken over; "P" goes out next
            requestAt = clock_.nsecsElapsed() / 1e9;
            cpuAtRequest = cpuSeconds();
        }
    }
    void progressReceived(int bytes) override
    {
        ScopeDownloadView::progressReceived(bytes);
        if (bytes > 0) {
            lastBytesAt = clock_.nsecsElapsed() / 1e9;
            cpuAtLast = cpuSeconds();
        }
    }
    void message(const QString &text) override { messages << text; }

private:
    const QElapsedTimer &clock_;
};

// `plainReader`: seconds a plain reader took from the request to the last
// byte on the same simulated line (0 when not measured).
bool download(const QString &memoryPath, const QByteArray &image, bool stream, double plainReader)
{
    const char *name = stream ? "stream" : "blocks";
    test::SimProcess sim({"--model", "580", "--suffix", stream ? "CR" : "D", "--memory", memoryPath, "--pace"});
    test::LinkRig rig;
    if (!rig.connectTo(sim.device()))
        return false;
    MeterLink &link = rig.link;
    int frames = 0;
    QObject::connect(&link, &MeterLink::frameDecoded, [&] { ++frames; });
    link.startTimers();
    test::waitUntil([&] { return frames >= 3; }, 5000);

    QMdiArea area;
    area.resize(1280, 960);
    area.show();
    DataLoggerState state;
    QPointer<TfrmDataLogger> window = new TfrmDataLogger(state, LoggerModel{580, stream ? '\r' : 'D'});
    window->showIn(area, kDataLoggerCaption, QRect(0, 0, 1280, 900), QSize(738, 570))->show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    TimedView view(&area, state, window, clock);
    const int result = downloadAndShowMemory(area, link, state, window, view);
    QCoreApplication::processEvents(); // the paint that puts the set on screen
    const double total = clock.nsecsElapsed() / 1e9;
    link.shutDown();
    if (result != kDownloadSuccess || state.Table.Image != image || view.lastBytesAt < 0) {
        std::fprintf(stderr, "%s: download failed with %d %s\n", name, result, qPrintable(view.messages.join(' ')));
        return false;
    }

    const DownloadTiming t;
    const double nominal = (stream ? kStreamBytes : kBlockBytes) / kLineRate;
    const double fixed = (t.settleMs + t.closedMs + t.reopenMs + (stream ? 0 : t.silenceMs)) / 1000.0;
    const double transfer = view.lastBytesAt - view.requestAt;
    const double cpu = 100.0 * (view.cpuAtLast - view.cpuAtRequest) / transfer;
    // The line as the simulated meter delivers it: for blocks that includes
    // its own reaction to each acknowledgement, which is no time of ours.
    const double wire = plainReader > 0 ? std::max(nominal, plainReader) : nominal;
    std::printf("%s: click to data on screen %.2f s = take-over %.2f s + request to last byte %.2f s + "
                "last byte to screen %.2f s; nominal line time %.2f s, fixed waits %.2f s\n",
                name, total, view.requestAt, transfer, total - view.lastBytesAt, nominal, fixed);
    if (plainReader > 0)
        std::printf("%s: request to last byte %.2f s against %.2f s for a plain reader of the same line: %+.2f s; "
                    "beyond the nominal line time and the fixed waits: %.2f s\n",
                    name, transfer, plainReader, transfer - plainReader, total - nominal - fixed);
    std::printf("RESULT | Download of a full memory, %s: click to data on screen | %.2f s | <= %.2f s\n", name, total,
                wire + fixed + 1.0);
    std::printf("RESULT | Download, %s: program's time beyond the line (%.2f s) and fixed waits | %.2f s | <= 1 s\n",
                name, wire, total - wire - fixed);
    std::printf("RESULT | Download, %s: program's CPU during the transfer | %.2f %% of one core | <= 2 %%\n", name, cpu);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    vandrel::bench::defaultToOffscreen();
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.isEmpty())
        wanted = {"pace", "stream", "blocks"};

    const sim::Bytes memory = bench::fullMemory(6);
    const QByteArray bytes = bench::toBytes(memory);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.bin"));
    QFile f(path);
    if (bytes.size() != kLoggerMemorySize || !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return 1;
    f.close();
    const QByteArray image = bytes.mid(kHeaderSize);

    int status = 0;
    Pace measured[2];
    bool havePace = false;
    if (wanted.contains("pace")) {
        // Both variants at once: each reader sleeps in poll() nearly all the time.
        test::SimProcess streamSim({"--model", "580", "--suffix", "CR", "--memory", path, "--pace"});
        test::SimProcess blockSim({"--model", "580", "--suffix", "D", "--memory", path, "--pace"});
        Pace paces[2];
        havePace = true;
        std::thread a([&] { paces[0] = measurePace(streamSim.device(), false); });
        std::thread b([&] { paces[1] = measurePace(blockSim.device(), true); });
        a.join();
        b.join();
        for (int v = 0; v < 2; ++v) {
            measured[v] = paces[v];
            const bool blocks = v == 1;
            const char *name = blocks ? "blocks" : "stream";
            const Pace &pc = paces[v];
            std::printf("%s: %ld bytes; %ld of them in %.3f s after each transmission's first read: %.2f bytes/s; "
                        "request or acknowledgement to first read %.2f ms on average\n",
                        name, pc.bytes, pc.paced, pc.sending, pc.rate(),
                        1e3 * pc.turnaround / static_cast<double>(std::max(1L, blocks ? pc.blocks : 1L)));
            std::printf("RESULT | Simulated meter's line rate, %s | %.1f B/s | 960 B/s +- 0.5 %%\n", name, pc.rate());
            if (paces[v].bytes != (v == 0 ? kStreamBytes : kBlockBytes))
                status = 1;
        }
    }
    for (const bool stream : {true, false}) {
        const double plainReader = havePace ? measured[stream ? 0 : 1].total : 0.0;
        if (wanted.contains(stream ? "stream" : "blocks") && !download(path, image, stream, plainReader))
            status = 1;
    }
    return status;
}
