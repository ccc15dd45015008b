// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: both download variants over a port whose arrivals, timing and
// misbehaviour (claimed bytes that never come, short reads, breaking) follow
// the input. Time is the port's own, so each run is instant; the transfer
// must always end, soon after the last byte, without spinning.
#include "FuzzCheck.h"

#include "datalogger/DownloadProtocol.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <deque>

using namespace vandrel;

namespace {

// What happens at one moment: bytes arrive, or the port changes its ways.
struct Event {
    qint64 at = 0;
    QByteArray bytes;
    bool changesBehaviour = false;
    int phantom = 0;  // bytes claimed on top of those really waiting
    int readCap = -1; // most bytes one read hands over; -1 = no limit
    bool breaks = false;
};

class ScriptedPort : public DownloadPort {
public:
    explicit ScriptedPort(std::deque<Event> events) : pending_(std::move(events)) {}

    int inputCount() override
    {
        ++polls;
        FUZZ_CHECK(polls < 10'000'000); // a spinning transfer, caught before the run's timeout
        deliver();
        return static_cast<int>(queue_.size()) + (broken_ ? 0 : phantom_);
    }
    int read(char *buffer, int length) override
    {
        FUZZ_CHECK(length > 0);
        deliver();
        int n = qMin(length, static_cast<int>(queue_.size()));
        if (readCap_ >= 0)
            n = qMin(n, readCap_);
        memcpy(buffer, queue_.constData(), static_cast<size_t>(n));
        queue_.remove(0, n);
        lastRead = QByteArray(buffer, n);
        return n;
    }
    void write(char byte) override
    {
        written.append(byte);
        if (byte != kAckGood)
            return;
        // "Good" follows only the read of one whole block whose last byte is
        // the sum of the 64 before it; that block's bytes are what the
        // memory must be made of.
        FUZZ_CHECK(lastRead.size() == kBlockSize + 1);
        unsigned sum = 0;
        for (int i = 0; i < kBlockSize; ++i)
            sum += static_cast<quint8>(lastRead.at(i));
        FUZZ_CHECK((sum & 0xFF) == static_cast<quint8>(lastRead.at(kBlockSize)));
        acknowledged += lastRead.left(kBlockSize);
    }
    WaitStatus waitForInput(int ms) override
    {
        FUZZ_CHECK(ms > 0);
        deliver();
        if (broken_)
            return WaitStatus::Broken;
        if (!pending_.empty() && pending_.front().at <= now_ + ms) {
            now_ = qMax(now_, pending_.front().at);
            deliver();
            return WaitStatus::Input;
        }
        now_ += ms;
        return WaitStatus::Timeout;
    }
    void pause(int ms) override
    {
        FUZZ_CHECK(ms >= 0);
        now_ += ms;
    }
    qint64 elapsedMs() override { return now_; }

    QByteArray written;
    qint64 polls = 0;
    QByteArray lastRead;     // what the latest read handed over
    QByteArray acknowledged; // the blocks answered "good", in order

private:
    void deliver()
    {
        while (!pending_.empty() && pending_.front().at <= now_) {
            const Event &e = pending_.front();
            queue_ += e.bytes;
            if (e.changesBehaviour) {
                phantom_ = e.phantom;
                readCap_ = e.readCap;
                broken_ = broken_ || e.breaks;
            }
            pending_.pop_front();
        }
    }

    std::deque<Event> pending_;
    QByteArray queue_;
    qint64 now_ = 0;
    int phantom_ = 0;
    int readCap_ = -1;
    bool broken_ = false;
};

struct ViewCheck : DownloadView {
    int opened = 0, closed = 0, maximum = -1, lastReceived = -1;
    void progressOpened(int max, const QString &) override
    {
        ++opened;
        maximum = max;
    }
    void progressReceived(int bytes) override
    {
        FUZZ_CHECK(bytes >= 0);
        lastReceived = bytes;
    }
    void progressClosed() override { ++closed; }
};

Event nextEvent(FuzzedDataProvider &in, qint64 &clock)
{
    Event e;
    clock += in.ConsumeIntegralInRange(0, 4000);
    e.at = clock;
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: // raw bytes
        e.bytes = QByteArray::fromStdString(in.ConsumeBytesAsString(in.ConsumeIntegralInRange(0, 300)));
        break;
    case 1: { // a block with a correct checksum, so transfers get deep
        e.bytes = QByteArray::fromStdString(in.ConsumeBytesAsString(kBlockSize));
        e.bytes.resize(kBlockSize, '\xFF');
        e.bytes.append(static_cast<char>(blockChecksum(e.bytes.constData(), kBlockSize)));
        break;
    }
    case 2: // the port starts to misbehave, or stops
        e.changesBehaviour = true;
        e.phantom = in.ConsumeIntegralInRange(0, 130);
        e.readCap = in.ConsumeIntegralInRange(-1, 70);
        e.breaks = in.ConsumeIntegralInRange(0, 15) == 0;
        break;
    default: // a long stream of filler, as a big memory would send
        e.bytes = QByteArray(in.ConsumeIntegralInRange(0, 4096), static_cast<char>(in.ConsumeIntegral<char>()));
        break;
    }
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool stream = in.ConsumeBool();
    const int sampleSize = in.ConsumeBool() ? 6 : 4;
    std::deque<Event> events;
    qint64 clock = 0, bytes = 0;
    QByteArray sent; // every byte the meter's side sends, in order
    while (in.remaining_bytes() > 0 && events.size() < 200) {
        events.push_back(nextEvent(in, clock));
        bytes += events.back().bytes.size();
        sent += events.back().bytes;
    }
    const qint64 lastEvent = clock;
    const auto eventCount = static_cast<qint64>(events.size());

    ScriptedPort port(std::move(events));
    ViewCheck view;
    DataSetTable table;
    table.Image = "previous";
    if (!stream)
        openBlockProgress(view);
    QByteArray received;
    const int result = stream ? DownloadStream(port, view, sampleSize, table, {}, &received)
                              : DownloadBlocks(port, view, sampleSize, table, {}, &received);

    // It ends, and soon: at worst every refused block costs its wait, then
    // the silence rule ends the transfer.
    FUZZ_CHECK(port.elapsedMs() <= lastEvent + 3000 + (kMaxRetries + 1) * 1600 + 3100);
    // Without spinning: each poll takes bytes, waits for an event, waits a
    // while or refuses a block.
    FUZZ_CHECK(port.polls <= 3 * (bytes + eventCount) + port.elapsedMs() / 10 + 200);

    FUZZ_CHECK((result >= kDownloadNoAnswer && result <= kDownloadEmpty) || result == kDownloadSuccess);
    FUZZ_CHECK(view.closed == view.opened && view.opened <= 1);
    FUZZ_CHECK(port.written.startsWith('P'));
    if (stream) {
        FUZZ_CHECK(port.written == "P");
        FUZZ_CHECK(view.lastReceived <= view.maximum);
    } else {
        const QByteArray answers = port.written.mid(1);
        for (const char c : answers)
            FUZZ_CHECK(c == kAckGood || c == kAckBad || c == kAckQuit);
        FUZZ_CHECK(answers.count(kAckQuit) <= 1 && (!answers.contains(kAckQuit) || answers.endsWith(kAckQuit)));
        FUZZ_CHECK(answers.count(kAckBad) <= kMaxRetries + 1);
        FUZZ_CHECK(answers.count(kAckGood) <= kLoggerMemorySize / kBlockSize + 1);
    }
    // The memory is exactly what was sent: the stream's bytes from the first
    // on, or the acknowledged blocks, up to the end address of its header.
    const QByteArray &source = stream ? sent : port.acknowledged;
    FUZZ_CHECK(received.isEmpty() || received == source.left(received.size()));
    if (!received.isEmpty()) {
        FUZZ_CHECK(received.size() >= 256);
        const int end = static_cast<quint8>(received.at(3)) << 16 | static_cast<quint8>(received.at(4)) << 8 |
                        static_cast<quint8>(received.at(5));
        // An end address inside the header (a memory that cannot decode)
        // still leaves the whole header as it came.
        FUZZ_CHECK(received.size() == std::max(end + 1, 256));
    }
    if (result == kDownloadSuccess) {
        FUZZ_CHECK(!received.isEmpty() && table.Image == received.mid(256));
        FUZZ_CHECK(table.setCount() >= 1 && table.setCount() <= kMaxSetCount);
        FUZZ_CHECK(table.SampleSize == sampleSize);
        FUZZ_CHECK(table.Sets.last().EndOffset < table.Image.size());
    } else {
        FUZZ_CHECK(table.Image == "previous" && table.Sets.isEmpty());
    }
    return 0;
}
