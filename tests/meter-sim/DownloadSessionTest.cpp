// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the meter's side of the download: block sizes and checksums, the
// y/n/Q handshake, padding to whole blocks, and the damaged-block and
// broken-off transfer faults.
#include "DownloadSession.h"

#include <gtest/gtest.h>

using namespace vandrel::sim;

namespace {

Bytes memoryWithEnd(unsigned endAddress, std::size_t size)
{
    Bytes m(size);
    for (std::size_t i = 0; i < size; ++i)
        m[i] = static_cast<std::uint8_t>(i * 7 + 3);
    m[3] = static_cast<std::uint8_t>(endAddress >> 16);
    m[4] = static_cast<std::uint8_t>(endAddress >> 8);
    m[5] = static_cast<std::uint8_t>(endAddress);
    return m;
}

bool checksumMatches(const Bytes &block)
{
    return block.size() == kBlockSize + 1 &&
           blockChecksum(std::span(block).first(kBlockSize)) == block[kBlockSize];
}

} // namespace

TEST(DownloadSession, checksumIsTheByteSumModulo256)
{
    Bytes block(kBlockSize, 0xFF);
    EXPECT_EQ(blockChecksum(block), (64 * 255) % 256);
    block.assign(kBlockSize, 0);
    block[5] = 200;
    block[60] = 100;
    EXPECT_EQ(blockChecksum(block), 44);
}

TEST(DownloadSession, transferLengthRoundsToWholeBlocksOnlyForTheBlockVariant)
{
    EXPECT_EQ(transferLength(DownloadVariant::Stream, 272), 273u);
    EXPECT_EQ(transferLength(DownloadVariant::Blocks, 272), 320u);
    EXPECT_EQ(transferLength(DownloadVariant::Blocks, 255), 256u);
    EXPECT_EQ(transferLength(DownloadVariant::Blocks, 98303), 98304u);
    EXPECT_EQ(transferLength(DownloadVariant::Blocks, 98304), 98368u);
    EXPECT_EQ(transferLength(DownloadVariant::Stream, 0xFFFFFF), kMaxTransfer);
}

TEST(DownloadSession, goodAcknowledgementsWalkEveryBlockThenTheMeterStops)
{
    const Bytes memory = memoryWithEnd(300, 301);
    DownloadSession d(memory, DownloadVariant::Blocks, {});
    Bytes received;
    Bytes block = d.start();
    while (!block.empty()) {
        ASSERT_TRUE(checksumMatches(block));
        received.insert(received.end(), block.begin(), block.begin() + kBlockSize);
        block = d.onHandshake('y');
    }
    EXPECT_EQ(d.state(), DownloadSession::State::Complete);
    ASSERT_EQ(received.size(), 320u);
    EXPECT_TRUE(std::equal(memory.begin(), memory.end(), received.begin()));
    for (std::size_t i = memory.size(); i < received.size(); ++i)
        EXPECT_EQ(received[i], 0xFF) << "padding at " << i;
}

TEST(DownloadSession, badAcknowledgementResendsTheSameBlockAndQuitEndsAtOnce)
{
    DownloadSession d(memoryWithEnd(1000, 1001), DownloadVariant::Blocks, {});
    d.start();
    const Bytes second = d.onHandshake('y');
    EXPECT_EQ(d.onHandshake('n'), second);
    EXPECT_EQ(d.onHandshake('n'), second);
    EXPECT_EQ(d.resends(), 2);
    EXPECT_EQ(d.currentBlock(), 1u);
    EXPECT_TRUE(d.onHandshake('Q').empty());
    EXPECT_EQ(d.state(), DownloadSession::State::Quit);
    EXPECT_TRUE(d.onHandshake('y').empty());
}

TEST(DownloadSession, otherBytesDuringTheHandshakeAreNotAcknowledgements)
{
    DownloadSession d(memoryWithEnd(1000, 1001), DownloadVariant::Blocks, {});
    d.start();
    EXPECT_TRUE(d.onHandshake('Y').empty());
    EXPECT_TRUE(d.awaitingAck());
    EXPECT_EQ(d.currentBlock(), 0u);
}

TEST(DownloadSession, damagedBlockFailsItsChecksumOnlyAsOftenAsAsked)
{
    DownloadSession once(memoryWithEnd(1000, 1001), DownloadVariant::Blocks, {1, 1, -1});
    EXPECT_TRUE(checksumMatches(once.start()));
    EXPECT_FALSE(checksumMatches(once.onHandshake('y')));
    EXPECT_TRUE(checksumMatches(once.onHandshake('n')));

    DownloadSession always(memoryWithEnd(1000, 1001), DownloadVariant::Blocks, {0, 0, -1});
    for (Bytes b = always.start(); always.resends() < 25; b = always.onHandshake('n'))
        ASSERT_FALSE(checksumMatches(b));
}

TEST(DownloadSession, stopAfterBreaksOffInTheMiddleOfABlock)
{
    DownloadSession d(memoryWithEnd(1000, 1001), DownloadVariant::Blocks, {-1, 1, 100});
    EXPECT_EQ(d.start().size(), 65u);
    EXPECT_EQ(d.onHandshake('y').size(), 35u);
    EXPECT_EQ(d.state(), DownloadSession::State::Stopped);
    EXPECT_TRUE(d.onHandshake('n').empty());
    EXPECT_EQ(d.bytesSent(), 100);
}

TEST(DownloadSession, streamVariantSendsEverythingUpToTheEndAddressAtOnce)
{
    const Bytes memory = memoryWithEnd(400, 500);
    DownloadSession d(memory, DownloadVariant::Stream, {});
    const Bytes out = d.start();
    EXPECT_EQ(out, Bytes(memory.begin(), memory.begin() + 401));
    EXPECT_TRUE(d.finished());

    DownloadSession cut(memory, DownloadVariant::Stream, {-1, 1, 300});
    EXPECT_EQ(cut.start().size(), 300u);
    EXPECT_EQ(cut.state(), DownloadSession::State::Stopped);
}

TEST(DownloadSession, headerClaimingMoreThanTheImageHoldsIsPaddedNotTruncated)
{
    // Lets a test play a meter whose header is wrong, as the host must cope.
    DownloadSession d(memoryWithEnd(98304, 256), DownloadVariant::Blocks, {});
    EXPECT_EQ(d.totalBytes(), 98368u);
    EXPECT_EQ(d.blockCount(), 1537u);
}
