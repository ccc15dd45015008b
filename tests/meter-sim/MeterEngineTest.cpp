// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the byte handler: answers to "K", "A" and "P", scripted frames, and
// the identification, silence, garbage and abandoned-download behaviours.
#include "MeterEngine.h"

#include <gtest/gtest.h>

using namespace vandrel::sim;
using namespace std::chrono_literals;

namespace {

MeterEngine engineFor(int model, std::uint8_t suffix, int sets = 2)
{
    return MeterEngine(SimMeter(*findModel(model), suffix, 3),
                       buildMemory(plausibleSets(sets, 3), findModel(model)->sampleSize), 9);
}

const Clock::time_point t0 = Clock::time_point(100s);

Bytes join(const std::vector<Bytes> &answers)
{
    Bytes all;
    for (const Bytes &a : answers)
        all.insert(all.end(), a.begin(), a.end());
    return all;
}

} // namespace

TEST(MeterEngine, answersIdentificationPollAndIgnoresUnknownBytes)
{
    MeterEngine e = engineFor(540, 'D');
    EXPECT_EQ(join(e.receive('K', t0)), (Bytes{'5', '4', '0', 'D'}));
    const Bytes frame = join(e.receive('A', t0));
    ASSERT_EQ(frame.size(), 10u);
    EXPECT_EQ(frame.front(), 0x02);
    EXPECT_EQ(frame.back(), 0x03);
    EXPECT_TRUE(e.receive('z', t0).empty());
    EXPECT_TRUE(e.receive(0x00, t0).empty());
}

TEST(MeterEngine, keyBytesChangeTheNextFrameButAreNotAnswered)
{
    MeterEngine e = engineFor(580, 0);
    EXPECT_TRUE(e.receive('E', t0).empty());
    EXPECT_EQ(join(e.receive('A', t0))[1] & 0x10, 0x10);
}

TEST(MeterEngine, withoutIdentificationOnlyTheFrameComesBack)
{
    MeterEngine e = engineFor(580, 'D');
    e.faults().noIdentification = true;
    EXPECT_TRUE(e.receive('K', t0).empty());
    EXPECT_EQ(join(e.receive('A', t0)).size(), 10u);
}

TEST(MeterEngine, silenceIgnoresEverythingIncludingKeysUntilItEnds)
{
    MeterEngine e = engineFor(580, 0);
    e.faults().silentUntil = t0 + 5s;
    EXPECT_TRUE(e.receive('K', t0).empty());
    EXPECT_TRUE(e.receive('C', t0 + 1s).empty());
    EXPECT_TRUE(e.receive('A', t0 + 4s).empty());
    const Bytes frame = join(e.receive('A', t0 + 5s));
    ASSERT_EQ(frame.size(), 10u);
    EXPECT_EQ(frame[1] & 0x08, 0); // the unit key was not taken
}

TEST(MeterEngine, garbageComesAsItsOwnPieceWithoutStartMarks)
{
    MeterEngine e = engineFor(580, 0);
    e.faults().garbage = true;
    for (int i = 0; i < 200; ++i) {
        const auto answers = e.receive('A', t0 + std::chrono::seconds(i));
        ASSERT_EQ(answers.size(), 2u);
        EXPECT_GE(answers[0].size(), 1u);
        EXPECT_LE(answers[0].size(), 4u);
        for (std::uint8_t b : answers[0])
            ASSERT_NE(b, 0x02);
        EXPECT_EQ(answers[1].size(), 10u);
    }
}

TEST(MeterEngine, scriptedFramesAreSentInTurnAndCycle)
{
    MeterEngine e = engineFor(580, 0);
    e.setScript({{0x02, 1, 2, 3, 4, 5, 6, 7, 8, 0x03}, {0x55}});
    EXPECT_EQ(join(e.receive('A', t0)), (Bytes{0x02, 1, 2, 3, 4, 5, 6, 7, 8, 0x03}));
    EXPECT_EQ(join(e.receive('A', t0)), Bytes{0x55});
    EXPECT_EQ(join(e.receive('A', t0)).size(), 10u);
    e.setScript({});
    EXPECT_EQ(join(e.receive('A', t0))[0], 0x02);
}

TEST(MeterEngine, carriageReturnSuffixStreamsTheMemoryOtherSuffixesSendBlocks)
{
    MeterEngine stream = engineFor(580, '\r');
    const Bytes all = join(stream.receive('P', t0));
    EXPECT_EQ(all.size(), readHeader(stream.memory()).endAddress + 1);
    EXPECT_EQ(stream.download(), nullptr);

    MeterEngine blocks = engineFor(580, 'D');
    EXPECT_EQ(join(blocks.receive('P', t0)).size(), 65u);
    ASSERT_NE(blocks.download(), nullptr);
    EXPECT_EQ(blocks.download()->variant(), DownloadVariant::Blocks);
    const auto events = blocks.takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("DOWNLOAD START blocks bytes=", 0), 0u);
}

TEST(MeterEngine, aPollDuringTheHandshakeAbandonsTheDownloadAndIsAnswered)
{
    MeterEngine e = engineFor(560, 0);
    e.receive('P', t0);
    EXPECT_EQ(join(e.receive('y', t0 + 1s)).size(), 65u);
    EXPECT_EQ(join(e.receive('A', t0 + 2s)).size(), 10u);
    EXPECT_EQ(e.download(), nullptr);
    EXPECT_TRUE(e.receive('y', t0 + 3s).empty()); // no longer a handshake
    const auto events = e.takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].rfind("DOWNLOAD END abandoned sent=130", 0), 0u);
}

TEST(MeterEngine, overdueAcknowledgementEndsTheDownload)
{
    MeterEngine e = engineFor(580, 0);
    e.receive('P', t0);
    ASSERT_TRUE(e.nextDeadline().has_value());
    EXPECT_EQ(*e.nextDeadline(), t0 + kAckTimeout);
    e.checkTimeouts(t0 + kAckTimeout - 1ms);
    EXPECT_NE(e.download(), nullptr);
    e.checkTimeouts(t0 + kAckTimeout);
    EXPECT_EQ(e.download(), nullptr);
    EXPECT_FALSE(e.nextDeadline().has_value());
}

TEST(MeterEngine, emptyMemoryStillSendsTheHeaderBlocks)
{
    MeterEngine e = engineFor(580, 0, 0);
    Bytes received = join(e.receive('P', t0));
    while (e.download())
        for (const Bytes &b : e.receive('y', t0))
            received.insert(received.end(), b.begin(), b.end());
    ASSERT_EQ(received.size(), 4u * 65u);
    EXPECT_EQ(received[1], 0); // no sets
    EXPECT_EQ(received[2], 0);
    EXPECT_EQ(received[5], 255); // end address 255: nothing recorded
}
