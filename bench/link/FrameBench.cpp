// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting and decoding a recorded byte stream the way the receive handler does:
// each receive event takes what the port holds in the handler's 64-byte reads,
// reads the clock and the decimal separator once, and cuts and decodes every whole frame into the reading
// of a dew-point 580. Prints frames per second for events of a full driver
// queue (4096 bytes), and the cost of one frame per event as live polling has it.
// Usage: bench_frames [frames]   (default 200000; best of 7 passes)
#include "meter/DecodeFrame.h"
#include "meter/FrameCutter.h"

#include <QByteArray>
#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace vandrel;

namespace {

// A stream as a meter sends it: readings that move, status bits that change
// now and then, and a stray byte every thousand frames that the cutter skips.
QByteArray recordedStream(int frames)
{
    QByteArray s;
    s.reserve(frames * 10 + frames / 1000 + 1);
    for (int i = 0; i < frames; ++i) {
        if (i % 1000 == 999)
            s.append(char(0x55));
        const int rh = 300 + i % 500, t1 = 150 + (i * 7) % 400, t2 = (i * 13) % 2600;
        const std::uint8_t a = static_cast<std::uint8_t>((i / 500) % 4 == 3 ? 0x01 : 0x00);
        const std::uint8_t b = static_cast<std::uint8_t>((i / 300) % 5 == 4 ? 0x08 : 0x00);
        const char f[10] = {0x02, char(a), char(b), char(rh >> 8), char(rh & 0xFF), char(t1 >> 8),
                            char(t1 & 0xFF), char(t2 >> 8), char(t2 & 0xFF), 0x03};
        s.append(f, 10);
    }
    return s;
}

// Seconds for the best of seven passes over `stream` in receive events of
// `eventBytes`; `decoded` is the frame count of a pass.
double bestPass(const QByteArray &stream, qsizetype eventBytes, long &decoded)
{
    const MeterIdentity id{580, 'D'};
    double best = 1e9;
    for (int pass = 0; pass < 7; ++pass) {
        MeterReading reading;
        QByteArray rx;
        long count = 0;
        const auto t0 = std::chrono::steady_clock::now();
        for (qsizetype event = 0; event < stream.size(); event += eventBytes) {
            const qsizetype end = std::min(stream.size(), event + eventBytes);
            for (qsizetype at = event; at < end; at += 64)
                rx.append(stream.constData() + at, std::min<qsizetype>(64, end - at));
            const std::vector<DisplayFrame> frames = cutFrames(rx);
            if (frames.empty())
                continue;
            const QDateTime now = QDateTime::currentDateTime();
            const DecimalPoint point;
            for (const DisplayFrame &f : frames) {
                DecodeFrame(reading, f, id, now, point);
                ++count;
            }
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        decoded = count;
        if (reading.RhText.isEmpty())
            return -1; // keeps the decoding from being optimised away
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    const int frames = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
    const QByteArray stream = recordedStream(frames);
    long decoded = 0, live = 0;
    const double full = bestPass(stream, 4096, decoded);
    const double single = bestPass(stream.left(20000), 10, live);
    if (full <= 0 || single <= 0 || decoded != frames)
        return 1;
    const double rate = decoded / full;
    std::printf("%ld frames in events of 4096 bytes: %.1f ms (best of 7), %.0f frames/s, %.0f ns a frame\n", decoded,
                full * 1e3, rate, 1e9 / rate);
    std::printf("%ld frames one per event (live polling, clock read each time): %.0f ns a frame\n", live,
                1e9 * single / static_cast<double>(live));
    std::printf("RESULT | Frames cut and decoded (580D, 4096-byte receive events) | %.2f M frames/s | >= 2 M frames/s\n",
                rate / 1e6);
    return 0;
}
