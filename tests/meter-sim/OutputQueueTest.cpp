// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the output scheduling on a simulated clock: split answers arrive
// whole and in order, and pacing never gets ahead of 960 bytes per second.
#include "OutputQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vandrel::sim;
using namespace std::chrono_literals;
using Clock = OutputQueue::Clock;

namespace {

const Clock::time_point t0 = Clock::time_point(1000s);

struct Written {
    Bytes bytes;
    int writes = 0;
};

// Drives the queue like the event loop does: sleep until due, write what is ready.
Written drain(OutputQueue &q, Clock::time_point &now, std::size_t maxPerWrite = 1 << 20)
{
    Written w;
    for (int guard = 0; !q.empty() && guard < 1000000; ++guard) {
        const auto ready = q.ready(now);
        if (ready.empty()) {
            const auto due = q.nextDue(now);
            EXPECT_TRUE(due.has_value());
            EXPECT_GT(*due, now) << "nothing ready but due now: the loop would spin";
            now = *due;
            continue;
        }
        const std::size_t n = std::min(ready.size(), maxPerWrite);
        w.bytes.insert(w.bytes.end(), ready.begin(), ready.begin() + static_cast<std::ptrdiff_t>(n));
        ++w.writes;
        q.consumed(n, now);
    }
    return w;
}

} // namespace

TEST(OutputQueue, plainAnswersGoOutAtOnceInOneWrite)
{
    OutputQueue q;
    q.push({1, 2, 3}, t0);
    q.push({4, 5}, t0);
    auto now = t0;
    const Written w = drain(q, now);
    EXPECT_EQ(w.bytes, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(now, t0);
    EXPECT_FALSE(q.nextDue(now).has_value());
}

TEST(OutputQueue, splitAnswersArriveWholeInOrderInSeveralDelayedWrites)
{
    OutputQueue q(42);
    q.setSplit(true);
    Bytes expected;
    for (int i = 0; i < 50; ++i) {
        Bytes frame{0x02, static_cast<std::uint8_t>(i), 1, 2, 3, 4, 5, 6, 7, 0x03};
        expected.insert(expected.end(), frame.begin(), frame.end());
        q.push(frame, t0);
    }
    auto now = t0;
    const Written w = drain(q, now);
    EXPECT_EQ(w.bytes, expected);
    EXPECT_GE(w.writes, 100);
    EXPECT_GE(now - t0, 50 * 10ms); // at least one gap of 10 ms per answer
}

TEST(OutputQueue, pacingNeverRunsAheadOfTheLineRate)
{
    OutputQueue q;
    q.setPace(true);
    q.push(Bytes(2000, 0xAA), t0);
    auto now = t0;
    std::size_t sent = 0;
    int writes = 0;
    while (!q.empty()) {
        const auto ready = q.ready(now);
        if (ready.empty()) {
            now = *q.nextDue(now);
            continue;
        }
        sent += ready.size();
        ++writes;
        q.consumed(ready.size(), now);
        const double allowed = 1.0 + std::chrono::duration<double>(now - t0).count() * 960.0;
        ASSERT_LE(static_cast<double>(sent), allowed + 1e-6);
    }
    // It also does not dawdle: 2000 bytes need a little over two seconds.
    EXPECT_LT(now - t0, 2200ms);
    EXPECT_LE(writes, 2000 / static_cast<int>(OutputQueue::kPaceBatch) + 2);
}

// A paced transfer keeps the line's rate however late the event loop wakes:
// the schedule runs from the start of each transmission, so lateness is made
// up at the next wake-up instead of adding up byte batch after byte batch.
struct PaceCase {
    const char *name;
    std::size_t total;            // bytes the meter sends
    std::size_t piece;            // the whole transfer, or one block answered at once
    std::chrono::microseconds late; // how late each wake-up comes at most
    bool jitter;                  // lateness random up to `late`, else always `late`
};

class Pacing : public ::testing::TestWithParam<PaceCase> {};

TEST_P(Pacing, HoldsTheLineRateWithinHalfAPercentAndNeverRunsAhead)
{
    const PaceCase &c = GetParam();
    OutputQueue q;
    q.setPace(true);
    std::mt19937 rng(7);
    std::uniform_int_distribution<long> spread(0, c.late.count());
    auto now = t0;
    std::size_t sent = 0, sentInPiece = 0;
    auto pieceStart = now;
    q.push(Bytes(c.piece, 0x55), now);
    while (sent < c.total) {
        const auto ready = q.ready(now);
        if (ready.empty()) {
            ASSERT_TRUE(q.nextDue(now).has_value());
            now = *q.nextDue(now) + std::chrono::microseconds(c.jitter ? spread(rng) : c.late.count());
            continue;
        }
        sent += ready.size();
        sentInPiece += ready.size();
        q.consumed(ready.size(), now);
        // No byte before its ten bits have passed on the wire.
        const double onWire = std::chrono::duration<double>(now - pieceStart).count() * 960.0;
        ASSERT_LE(static_cast<double>(sentInPiece), onWire + 1e-6);
        if (q.empty() && sent < c.total) {
            // The host answers a block the moment its last byte is in.
            pieceStart = now;
            sentInPiece = 0;
            q.push(Bytes(c.piece, 0x55), now);
        }
    }
    const double seconds = std::chrono::duration<double>(now - t0).count();
    const double wire = static_cast<double>(c.total) / 960.0;
    EXPECT_NEAR(c.total / seconds, 960.0, 960.0 * 0.005) << seconds << " s for " << wire << " s of wire time";
}

INSTANTIATE_TEST_SUITE_P(
    Lateness, Pacing,
    ::testing::Values(PaceCase{"StreamOnTime", 98304, 98304, std::chrono::microseconds(0), false},
                      PaceCase{"StreamMillisecondLate", 98304, 98304, std::chrono::microseconds(900), false},
                      PaceCase{"StreamJittery", 98304, 98304, std::chrono::microseconds(20000), true},
                      PaceCase{"BlocksOnTime", 99840, 65, std::chrono::microseconds(0), false},
                      PaceCase{"BlocksJittery", 99840, 65, std::chrono::microseconds(150), true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(OutputQueue, pacingSavesNoCreditWhileIdle)
{
    OutputQueue q;
    q.setPace(true);
    q.push({1}, t0);
    auto now = t0;
    drain(q, now);
    now += 10s;
    q.push(Bytes(100, 7), now);
    EXPECT_LE(q.ready(now).size(), 1u);
}

TEST(OutputQueue, partialWritesResumeWhereTheyStopped)
{
    OutputQueue q;
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    q.push(data, t0);
    auto now = t0;
    EXPECT_EQ(drain(q, now, 7).bytes, data);
}

TEST(OutputQueue, refusesToGrowBeyondItsCapAndClearDropsEverything)
{
    OutputQueue q;
    EXPECT_TRUE(q.push(Bytes(OutputQueue::kMaxQueued, 0), t0));
    EXPECT_FALSE(q.push({1}, t0));
    q.clear();
    EXPECT_TRUE(q.empty());
    EXPECT_TRUE(q.push({1}, t0));
    EXPECT_EQ(q.queuedBytes(), 1u);
}
