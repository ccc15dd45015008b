// SPDX-License-Identifier: GPL-3.0-or-later
// Both transfer variants against a port with its own clock: the simulated
// meter's download logic answers on it, or a script of arrivals does. Waits
// move the clock, so the tests never sleep and count how often they waited.
#include "datalogger/DownloadProtocol.h"

#include "DownloadSession.h"
#include "LoggerMemory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <optional>

using namespace vandrel;

namespace {

QByteArray toQ(const sim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), static_cast<qsizetype>(b.size()));
}

// A port whose time only moves when the transfer waits. Bytes arrive at
// scheduled times; with a session attached, the simulated meter answers
// every byte written, a little later.
class ClockPort : public DownloadPort {
public:
    std::optional<sim::DownloadSession> meter;
    QByteArray written;
    int waits = 0;
    bool broken = false;
    int latencyMs = 5;
    int wakeDelayMs = 0; // how late the waiting thread runs again after input came
    // A line of this many bytes a second hands over one byte at a time; 0 = each answer at once.
    double rate = 0.0;
    int pauses = 0;
    // Bytes the port claims to hold on top of those it has, and never hands over.
    int phantom = 0;
    int inputCounts = 0;
    // The device vanishes once this many bytes have come (-1: never); when it did.
    long vanishAfter = -1;
    qint64 vanishedAt = -1;

    void arrive(qint64 at, const QByteArray &bytes) { pending_.push_back({at, bytes}); }

    int inputCount() override
    {
        // A transfer that spins with the clock standing still would never
        // end; after this many polls the port breaks so the test fails fast.
        if (++inputCounts > kSpinLimit)
            broken = true;
        deliver();
        return static_cast<int>(queue_.size()) + (broken ? 0 : phantom);
    }
    static constexpr int kSpinLimit = 100000;
    int read(char *buffer, int length) override
    {
        deliver();
        const int n = qMin(length, static_cast<int>(queue_.size()));
        memcpy(buffer, queue_.constData(), static_cast<size_t>(n));
        queue_.remove(0, n);
        return n;
    }
    void write(char byte) override
    {
        written.append(byte);
        if (!meter)
            return;
        const sim::Bytes out = byte == 'P' ? meter->start() : meter->onHandshake(static_cast<std::uint8_t>(byte));
        if (out.empty())
            return;
        if (rate <= 0.0) {
            arrive(now_ + latencyMs, toQ(out));
            return;
        }
        for (std::size_t i = 0; i < out.size(); ++i)
            arrive(now_ + latencyMs + static_cast<qint64>(std::ceil((i + 1) * 1000.0 / rate)),
                   QByteArray(1, static_cast<char>(out[i])));
    }
    WaitStatus waitForInput(int ms) override
    {
        ++waits;
        EXPECT_GT(ms, 0);
        if (broken)
            return WaitStatus::Broken;
        deliver();
        for (const auto &p : pending_) {
            if (p.at <= now_ + ms) {
                now_ = qMax(now_, p.at) + wakeDelayMs;
                return WaitStatus::Input;
            }
        }
        now_ += ms;
        return WaitStatus::Timeout;
    }
    void pause(int ms) override
    {
        ++pauses;
        now_ += ms;
    }
    qint64 elapsedMs() override { return now_; }
    double lineBytesPerSecond() override { return rate; }

private:
    struct Arrival {
        qint64 at;
        QByteArray bytes;
    };
    void deliver()
    {
        while (!pending_.empty() && pending_.front().at <= now_ && vanishedAt < 0) {
            queue_ += pending_.front().bytes;
            delivered_ += pending_.front().bytes.size();
            pending_.pop_front();
            if (vanishAfter >= 0 && delivered_ >= vanishAfter) {
                broken = true;
                vanishedAt = now_;
            }
        }
    }
    qint64 delivered_ = 0;
    qint64 now_ = 0;
    std::deque<Arrival> pending_;
    QByteArray queue_;
};

struct ViewLog : DownloadView {
    QList<int> opened;
    int closed = 0, lastReceived = -1, retries = 0, maximum = -1;
    QString total;
    void progressOpened(int maximum, const QString &totalText) override
    {
        opened << maximum;
        total = totalText;
    }
    void progressMaximum(int m) override { maximum = m; }
    void progressTotalText(const QString &t) override { total = t; }
    void progressReceived(int bytes) override { lastReceived = bytes; }
    void blockRetried(int r) override { retries = r; }
    void progressClosed() override { ++closed; }
};

sim::Bytes plausibleMemory(int sets, int sampleSize) { return sim::buildMemory(sim::plausibleSets(sets, 3), sampleSize); }

// A memory with the given header and `imageBytes` of content after it: one
// empty set, then filler.
sim::Bytes memoryWith(unsigned setCount, unsigned endAddress, std::size_t totalBytes)
{
    sim::Bytes m(totalBytes, 0xFF);
    m[1] = static_cast<std::uint8_t>(setCount >> 8);
    m[2] = static_cast<std::uint8_t>(setCount);
    m[3] = static_cast<std::uint8_t>(endAddress >> 16);
    m[4] = static_cast<std::uint8_t>(endAddress >> 8);
    m[5] = static_cast<std::uint8_t>(endAddress);
    const sim::Bytes set = sim::encodeSet(sim::RecordedSet{}, 4);
    for (std::size_t i = 0; i < set.size() && 256 + i < m.size(); ++i)
        m[256 + i] = set[i];
    return m;
}

QByteArray imageOf(const sim::Bytes &memory)
{
    return toQ(memory).mid(256, sim::readHeader(memory).endAddress - 255);
}

int runBlocks(ClockPort &port, ViewLog &view, DataSetTable &table, int sampleSize = 4)
{
    openBlockProgress(view);
    return DownloadBlocks(port, view, sampleSize, table);
}

} // namespace

class StreamTransfer : public ::testing::TestWithParam<int> {};

TEST_P(StreamTransfer, WholeMemoryArrivesAsTheImage)
{
    const int sampleSize = GetParam();
    const sim::Bytes memory = plausibleMemory(4, sampleSize);
    ClockPort port;
    port.meter.emplace(memory, sim::DownloadVariant::Stream, sim::DownloadFaults{});
    ViewLog view;
    DataSetTable table;

    ASSERT_EQ(DownloadStream(port, view, sampleSize, table), kDownloadSuccess);
    EXPECT_EQ(table.Image, imageOf(memory));
    EXPECT_EQ(table.setCount(), 4);
    EXPECT_EQ(port.written, QByteArray("P"));
    const int expected = static_cast<int>(sim::readHeader(memory).endAddress) - 255;
    EXPECT_EQ(view.opened, QList<int>{expected});
    EXPECT_EQ(view.total, QString::number(expected));
    EXPECT_EQ(view.lastReceived, expected);
    EXPECT_EQ(view.closed, 1);
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, StreamTransfer, ::testing::Values(4, 6));

struct StreamCase {
    const char *name;
    sim::Bytes memory;
    long stopAfter;
    int result;
};

class StreamOutcomes : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamOutcomes, ResultCodeAndTableUntouchedOnFailure)
{
    const StreamCase &c = GetParam();
    ClockPort port;
    if (!c.memory.empty())
        port.meter.emplace(c.memory, sim::DownloadVariant::Stream, sim::DownloadFaults{-1, 1, c.stopAfter});
    ViewLog view;
    DataSetTable table;
    table.Image = "previous";

    const int result = DownloadStream(port, view, 4, table);
    EXPECT_EQ(result, c.result);
    if (result != kDownloadSuccess) {
        EXPECT_EQ(table.Image, QByteArray("previous"));
    }
    EXPECT_EQ(view.closed, static_cast<int>(view.opened.size())); // never left open
    // Each silence is waited out in a few long waits, not many short ones.
    EXPECT_LE(port.waits, 8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StreamOutcomes,
    ::testing::Values(
        StreamCase{"NoAnswer", {}, -1, kDownloadNoAnswer},
        StreamCase{"HeaderCutShort", plausibleMemory(2, 4), 200, kDownloadNoAnswer},
        StreamCase{"Empty", memoryWith(0, 255, 256), -1, kDownloadEmpty},
        StreamCase{"End272Refused", memoryWith(1, 272, 273), -1, kDownloadEndOutOfRange},
        StreamCase{"End273Accepted", memoryWith(1, 273, 274), -1, kDownloadSuccess},
        StreamCase{"EndBeyondMemory", memoryWith(1, 98305, 300), -1, kDownloadEndOutOfRange},
        StreamCase{"BreaksOff", plausibleMemory(2, 4), 700, kDownloadBrokeOff},
        StreamCase{"SetCountZero", memoryWith(0, 300, 301), -1, kDownloadSetCountOutOfRange},
        StreamCase{"SetCountTooLarge", memoryWith(4001, 300, 301), -1, kDownloadSetCountOutOfRange},
        StreamCase{"MalformedSet", memoryWith(2, 300, 301), -1, kDownloadMalformedSet}),
    [](const auto &info) { return std::string(info.param.name); });

class BlockTransfer : public ::testing::TestWithParam<int> {};

TEST_P(BlockTransfer, WholeMemoryArrivesBlockByBlock)
{
    const int sampleSize = GetParam();
    const sim::Bytes memory = plausibleMemory(4, sampleSize);
    ClockPort port;
    port.meter.emplace(memory, sim::DownloadVariant::Blocks, sim::DownloadFaults{});
    ViewLog view;
    DataSetTable table;

    ASSERT_EQ(runBlocks(port, view, table, sampleSize), kDownloadSuccess);
    EXPECT_EQ(table.Image, imageOf(memory));
    const unsigned end = sim::readHeader(memory).endAddress;
    const int blocks = roundedTotal(static_cast<int>(end)) / 64;
    EXPECT_EQ(port.written, QByteArray("P") + QByteArray(blocks, 'y'));
    EXPECT_EQ(view.opened, QList<int>{kLoggerMemorySize});
    EXPECT_EQ(view.maximum, static_cast<int>(end) + 1);
    EXPECT_EQ(view.total, QString::number(blocks * 64));
    EXPECT_EQ(view.lastReceived, blocks * 64);
    EXPECT_EQ(view.closed, 1);
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, BlockTransfer, ::testing::Values(4, 6));

// On a line of known rate the transfer sleeps while a block or a stream chunk
// is still on its way: a few wake-ups per block instead of one per byte, every
// byte still taken, and no later than the line allows.
class PacedLine : public ::testing::TestWithParam<sim::DownloadVariant> {};

TEST_P(PacedLine, SleepsWhileTheLineCarriesTheBytesAndTakesThemAll)
{
    const sim::DownloadVariant variant = GetParam();
    const bool stream = variant == sim::DownloadVariant::Stream;
    const sim::Bytes memory = plausibleMemory(4, 6);
    ClockPort port;
    port.rate = 960.0;
    port.latencyMs = 0;
    port.meter.emplace(memory, variant, sim::DownloadFaults{});
    ViewLog view;
    DataSetTable table;
    const DownloadTiming timing;

    ASSERT_EQ(stream ? DownloadStream(port, view, 6, table) : runBlocks(port, view, table, 6), kDownloadSuccess);
    EXPECT_EQ(table.Image, imageOf(memory));
    const auto bytes = static_cast<qint64>(port.meter->bytesSent());
    const qint64 blocks = bytes / 65 + 1;
    EXPECT_LE(port.waits + port.pauses, 3 * blocks + 6) << bytes << " bytes";
    // Each block costs at most two milliseconds of rounding beyond its line time.
    const qint64 lineMs = bytes * 1000 / 960 + 2 * blocks + (stream ? 0 : timing.silenceMs);
    EXPECT_LE(port.elapsedMs(), lineMs);
}

INSTANTIATE_TEST_SUITE_P(Variants, PacedLine,
                         ::testing::Values(sim::DownloadVariant::Stream, sim::DownloadVariant::Blocks),
                         [](const auto &info) {
                             return std::string(info.param == sim::DownloadVariant::Stream ? "Stream" : "Blocks");
                         });

// A slow meter on a busy machine: every block comes just before the silence
// would end, and the program only runs again just after that moment. A block
// that is waiting then arrived in time and must not end the transfer.
TEST(BlockTransfer, BlockWaitingWhenTheSilenceRunsOutIsTaken)
{
    const sim::Bytes memory = plausibleMemory(2, 4);
    ClockPort port;
    port.meter.emplace(memory, sim::DownloadVariant::Blocks, sim::DownloadFaults{});
    const DownloadTiming timing;
    port.latencyMs = timing.silenceMs - 5;
    port.wakeDelayMs = 10;
    ViewLog view;
    DataSetTable table;

    ASSERT_EQ(runBlocks(port, view, table), kDownloadSuccess);
    EXPECT_EQ(table.Image, imageOf(memory));
}

TEST(BlockTransfer, DamagedBlockIsRefusedAndItsRepeatKept)
{
    const sim::Bytes memory = plausibleMemory(3, 4);
    ClockPort port;
    port.meter.emplace(memory, sim::DownloadVariant::Blocks, sim::DownloadFaults{2, 2, -1});
    ViewLog view;
    DataSetTable table;

    ASSERT_EQ(runBlocks(port, view, table), kDownloadSuccess);
    EXPECT_EQ(table.Image, imageOf(memory));
    EXPECT_EQ(port.written.left(5), QByteArray("Pyynn"));
    EXPECT_EQ(port.written.count('n'), 2);
    EXPECT_EQ(view.retries, 2);
}

struct BlockCase {
    const char *name;
    sim::Bytes memory;
    sim::DownloadFaults faults;
    int result;
    QByteArray writtenEnd; // what the transfer sent last
};

class BlockOutcomes : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockOutcomes, ResultCodeAndLastHandshake)
{
    const BlockCase &c = GetParam();
    ClockPort port;
    port.meter.emplace(c.memory, sim::DownloadVariant::Blocks, c.faults);
    ViewLog view;
    DataSetTable table;
    table.Image = "previous";

    const int result = runBlocks(port, view, table);
    EXPECT_EQ(result, c.result);
    EXPECT_TRUE(port.written.endsWith(c.writtenEnd)) << port.written.right(8).toStdString();
    if (result != kDownloadSuccess) {
        EXPECT_EQ(table.Image, QByteArray("previous"));
    }
    EXPECT_EQ(view.closed, 1);
    // One wait per answer the meter gives, plus the final silence.
    EXPECT_LE(port.waits, port.written.size() + 4);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockOutcomes,
    ::testing::Values(
        // 21 refusals are tolerated; the 22nd attempt is never made.
        BlockCase{"AlwaysDamagedAfterHeader", plausibleMemory(3, 4), {6, 0, -1}, kDownloadBrokeOff,
                  QByteArray(21, 'n') + "Q"},
        BlockCase{"AlwaysDamagedInHeader", plausibleMemory(3, 4), {1, 0, -1}, kDownloadNoAnswer,
                  QByteArray("y") + QByteArray(21, 'n') + "Q"},
        BlockCase{"StopsMidway", plausibleMemory(3, 4), {-1, 1, 65 * 9 + 30}, kDownloadBrokeOff, "yyn"},
        BlockCase{"Silent", plausibleMemory(3, 4), {-1, 1, 0}, kDownloadNoAnswer, "P"},
        BlockCase{"Empty", memoryWith(0, 255, 256), {}, kDownloadEmpty, "yyyy"},
        BlockCase{"End98303Accepted", memoryWith(1, 98303, 98304), {}, kDownloadSuccess, "y"},
        BlockCase{"End98304AbandonedAfterFirstBlock", memoryWith(1, 98304, 98305), {}, kDownloadNoAnswer, "PyQ"},
        BlockCase{"SetCountZeroButData", memoryWith(0, 300, 320), {}, kDownloadSetCountOutOfRange, "y"},
        BlockCase{"MalformedSet", memoryWith(3, 300, 320), {}, kDownloadMalformedSet, "y"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(BlockTransfer, IncompleteBlockIsDiscardedAndRefused)
{
    // Half a block, then nothing: after the partial-block time it is thrown
    // away with "n"; silence then ends the transfer.
    ClockPort port;
    port.arrive(10, QByteArray(30, '\x01'));
    ViewLog view;
    DataSetTable table;
    EXPECT_EQ(runBlocks(port, view, table), kDownloadNoAnswer);
    EXPECT_EQ(port.written, QByteArray("Pn"));
    EXPECT_EQ(view.retries, 1);
    EXPECT_LE(port.waits, 6);
}

TEST(BlockTransfer, BlocksPastTheAnnouncedEndStopTheTransfer)
{
    // A meter that keeps sending would never fall silent; once every block is
    // in, the next one is answered with "Q" and the memory is kept.
    const sim::Bytes memory = memoryWith(1, 319, 320);
    QByteArray stream;
    for (int b = 0; b < 40; ++b) {
        const QByteArray block = toQ(memory).mid((b % 5) * 64, 64);
        stream += block + static_cast<char>(blockChecksum(block.constData(), 64));
    }
    ClockPort port;
    for (int b = 0; b < 40; ++b)
        port.arrive(10 + b * 100, stream.mid(b * 65, 65));
    ViewLog view;
    DataSetTable table;
    EXPECT_EQ(runBlocks(port, view, table), kDownloadSuccess);
    EXPECT_EQ(port.written, QByteArray("Pyyyyy") + "Q");
    EXPECT_EQ(table.Image, toQ(memory).mid(256));
}

struct PhantomCase {
    const char *name;
    bool stream;
    int phantom;
    long stopAfter;
    QByteArray written;
};

class ClaimedBytesNeverCome : public ::testing::TestWithParam<PhantomCase> {};

TEST_P(ClaimedBytesNeverCome, OnlyReceivedBytesKeepTheTransferGoing)
{
    // The meter falls silent mid-transfer while the port keeps reporting
    // bytes that no read returns: the transfer must end by its silence rule,
    // without refusing blocks that never came.
    const PhantomCase &c = GetParam();
    ClockPort port;
    port.phantom = c.phantom;
    port.meter.emplace(plausibleMemory(3, 4), c.stream ? sim::DownloadVariant::Stream : sim::DownloadVariant::Blocks,
                       sim::DownloadFaults{-1, 1, c.stopAfter});
    ViewLog view;
    DataSetTable table;
    const int result = c.stream ? DownloadStream(port, view, 4, table) : runBlocks(port, view, table);
    EXPECT_EQ(result, kDownloadBrokeOff);
    EXPECT_EQ(port.written, c.written);
    EXPECT_LT(port.inputCounts, 1000); // a few polls per pause, not a spin
    EXPECT_LT(port.elapsedMs(), 5000); // silence of 3 s after the last byte at 5 ms
    EXPECT_EQ(view.closed, static_cast<int>(view.opened.size()));
}

INSTANTIATE_TEST_SUITE_P(Variants, ClaimedBytesNeverCome,
                         ::testing::Values(PhantomCase{"Stream", true, 5, 700, "P"},
                                           PhantomCase{"BlocksMoreThanABlock", false, 70, 65 * 5, "Pyyyyy"},
                                           PhantomCase{"BlocksPartOfABlock", false, 30, 65 * 5, "Pyyyyy"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Transfers, BrokenPortEndsAtOnceWithoutSpinning)
{
    for (bool stream : {true, false}) {
        ClockPort port;
        port.broken = true;
        ViewLog view;
        DataSetTable table;
        const int result = stream ? DownloadStream(port, view, 4, table) : runBlocks(port, view, table);
        EXPECT_EQ(result, kDownloadNoAnswer);
        EXPECT_EQ(port.waits, 1);
    }
}

TEST(Transfers, ChecksumRoundingAndMessages)
{
    const QByteArray block(64, '\xFF');
    EXPECT_EQ(blockChecksum(block.constData(), 64), 0xC0);
    EXPECT_EQ(roundedTotal(255), 256);
    EXPECT_EQ(roundedTotal(256), 320);
    EXPECT_EQ(roundedTotal(98303), 98304);
    EXPECT_EQ(roundedTotal(98304), 98368);
    EXPECT_EQ(downloadErrorText(3), "There was error when reading data from meter,please click DataLogger from "
                                    "menu to try again. Error number=3");
    EXPECT_EQ(downloadErrorText(6), "There was not any data recorded in momery of meter !");
    EXPECT_TRUE(downloadErrorText(0).isEmpty());
    EXPECT_TRUE(downloadErrorText(10).isEmpty());
}

// The silence that breaks a stream off is counted from the last byte that
// came, not from the start: a memory that takes longer than the silence to
// cross the line still arrives whole.
TEST(StreamTransfer, PacedLongerThanTheSilenceArrivesWhole)
{
    const sim::Bytes memory = plausibleMemory(12, 6);
    ClockPort port;
    port.rate = 960.0;
    port.latencyMs = 0;
    port.meter.emplace(memory, sim::DownloadVariant::Stream, sim::DownloadFaults{});
    ViewLog view;
    DataSetTable table;
    const DownloadTiming timing;

    ASSERT_EQ(DownloadStream(port, view, 6, table), kDownloadSuccess);
    EXPECT_EQ(table.Image, imageOf(memory));
    ASSERT_GT(port.elapsedMs(), 2 * timing.headerMs) << "the memory must take longer than the silence";
}

// A port that says bytes are waiting and never hands any over must not be
// asked again and again: the polls stay in proportion to the time waited.
TEST(ClaimedBytesNeverCome, PollsStayBoundedWhileTheMeterIsSilent)
{
    for (const bool stream : {true, false}) {
        ClockPort port;
        port.phantom = stream ? 5 : 70;
        port.meter.emplace(plausibleMemory(3, 4), stream ? sim::DownloadVariant::Stream : sim::DownloadVariant::Blocks,
                           sim::DownloadFaults{-1, 1, 0});
        ViewLog view;
        DataSetTable table;
        EXPECT_EQ(stream ? DownloadStream(port, view, 4, table) : runBlocks(port, view, table), kDownloadNoAnswer);
        // At most one poll for every 10 ms of waiting, and a few to begin with.
        EXPECT_LE(port.inputCounts, port.elapsedMs() / 10 + 5) << (stream ? "stream" : "blocks");
        EXPECT_LT(port.elapsedMs(), 5000);
    }
}

// A device that goes away in the middle of the transfer ends it at once, as
// a failed port; it is not waited on until its silence would end it.
TEST(Transfers, VanishingDeviceEndsTheTransferAtOnce)
{
    for (const bool stream : {true, false}) {
        ClockPort port;
        port.rate = 960.0;
        port.vanishAfter = 65 * 6 + 20;
        port.meter.emplace(plausibleMemory(3, 4), stream ? sim::DownloadVariant::Stream : sim::DownloadVariant::Blocks,
                           sim::DownloadFaults{});
        ViewLog view;
        DataSetTable table;
        table.Image = "previous";
        EXPECT_EQ(stream ? DownloadStream(port, view, 4, table) : runBlocks(port, view, table), kDownloadBrokeOff);
        ASSERT_GE(port.vanishedAt, 0);
        EXPECT_LT(port.elapsedMs() - port.vanishedAt, 100) << (stream ? "stream" : "blocks");
        EXPECT_EQ(table.Image, QByteArray("previous"));
        EXPECT_EQ(view.closed, 1);
    }
}
