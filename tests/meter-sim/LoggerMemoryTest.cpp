// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the logger memory layout: set records byte for byte, the header's
// set count and end address, and that generated memories walk cleanly.
#include "LoggerMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace vandrel::sim;

TEST(LoggerMemory, setRecordMatchesTheKnownLayoutByteForByte)
{
    RecordedSet set;
    set.year = 2009;
    set.month = 6;
    set.day = 15;
    set.hour = 14;
    set.minute = 30;
    set.second = 0;
    set.intervalSeconds = 60;
    set.samples = {{45.3, 25.0, 0}, {100.0, -10.0, 0}, {45.3, 25.0, 0}};
    const Bytes expected{0xA5, 0x5A, 0x14, 0x09, 0x06, 0x0F, 0x0E, 0x1E, 0x00, 0x00, 0x3C, 0x00, 0x00, 0x03,
                         0x01, 0xC5, 0x00, 0xFA, 0x03, 0xE8, 0x80, 0x64, 0x01, 0xC5, 0x00, 0xFA, 0x5A, 0xA5};
    EXPECT_EQ(encodeSet(set, 4), expected);
}

TEST(LoggerMemory, sixByteSamplesCarryTheSecondTemperatureAndFlagsMarkFahrenheit)
{
    RecordedSet set;
    set.fahrenheit = true;
    set.samples = {{50.0, 70.0, -200.1}};
    const Bytes r = encodeSet(set, 6);
    ASSERT_EQ(r.size(), 16u + 6u);
    EXPECT_EQ(r[11], kFlagFahrenheit);
    EXPECT_EQ(r[18], 0x87); // sign flag and magnitude 2001
    EXPECT_EQ(r[19], 0xD1);
    EXPECT_EQ(r[20], kSetClose1);
    EXPECT_EQ(r[21], kSetClose2);
}

TEST(LoggerMemory, signMagnitudeCutsAtFifteenBitsAndHasNoNegativeZero)
{
    EXPECT_EQ(encodeSignMagnitude(-0.01), 0x0000);
    EXPECT_EQ(encodeSignMagnitude(-4000.0), 0xFFFF);
    EXPECT_EQ(encodeSignMagnitude(250.0), 0x09C4);
}

TEST(LoggerMemory, emptyMemoryHasNoSetsAndEndsAtTheHeader)
{
    const Bytes m = buildMemory({}, 6);
    ASSERT_EQ(m.size(), kHeaderSize);
    const MemoryHeader h = readHeader(m);
    EXPECT_EQ(h.setCount, 0u);
    EXPECT_EQ(h.endAddress, 255u);
}

TEST(LoggerMemory, memoryThatWouldNotFitIsRefused)
{
    RecordedSet big;
    big.samples.resize(kMemorySize / 4);
    EXPECT_TRUE(buildMemory({big}, 4).empty());
}

// Walks the sets the way a reader of the memory does, from the header's count.
class GeneratedMemory : public ::testing::TestWithParam<int> {};

TEST_P(GeneratedMemory, setsFollowEachOtherAndTheHeaderNamesTheLastByte)
{
    const int sampleSize = GetParam();
    const auto sets = plausibleSets(5, 3);
    const Bytes m = buildMemory(sets, sampleSize);
    const MemoryHeader h = readHeader(m);
    ASSERT_EQ(h.setCount, 5u);
    ASSERT_EQ(h.endAddress, m.size() - 1);
    std::size_t s = kHeaderSize;
    for (unsigned i = 0; i < h.setCount; ++i) {
        ASSERT_LT(s + 15, m.size());
        EXPECT_EQ(m[s], 0xA5);
        EXPECT_EQ(m[s + 1], 0x5A);
        const unsigned year = m[s + 2] * 100u + m[s + 3];
        EXPECT_GE(year, 2024u);
        EXPECT_GE(m[s + 4], 1);
        EXPECT_LE(m[s + 4], 12);
        const std::size_t n = m[s + 12] * 256u + m[s + 13];
        EXPECT_EQ(n, sets[i].samples.size());
        const std::size_t e = s + 15 + n * static_cast<std::size_t>(sampleSize);
        ASSERT_LT(e, m.size());
        EXPECT_EQ(m[e - 1], 0x5A);
        EXPECT_EQ(m[e], 0xA5);
        for (std::size_t p = s + 14; p < e - 1; p += static_cast<std::size_t>(sampleSize)) {
            const double rh = ((m[p] & 0x7F) * 256 + m[p + 1]) / 10.0;
            EXPECT_GT(rh, 0.0);
            EXPECT_LT(rh, 100.0); // every logged humidity is a valid one
        }
        s = e + 1;
    }
    EXPECT_EQ(s, m.size());
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, GeneratedMemory, ::testing::Values(4, 6));

TEST(LoggerMemory, generatedSetsIncludeAFahrenheitSetBelowFreezing)
{
    bool found = false;
    for (const RecordedSet &set : plausibleSets(3, 1)) {
        if (set.fahrenheit && set.samples.front().t1 < 32.0)
            found = true;
    }
    EXPECT_TRUE(found);
}

TEST(LoggerMemory, loadingAFileKeepsEveryByteAndAnEmptyFileIsRefused)
{
    const std::string path = ::testing::TempDir() + "metersim_memory.bin";
    const Bytes data{0x00, 0x00, 0x01, 0x00, 0x01, 0x10, 0x0D, 0x0A, 0x1A, 0xFF};
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    Bytes loaded;
    std::string error;
    ASSERT_TRUE(loadMemoryFile(path, loaded, error)) << error;
    EXPECT_EQ(loaded, data);
    EXPECT_EQ(readHeader(loaded).endAddress, 0x110u);

    std::ofstream(path, std::ios::trunc).close();
    EXPECT_FALSE(loadMemoryFile(path, loaded, error));
    EXPECT_FALSE(error.empty());
    std::remove(path.c_str());
    EXPECT_FALSE(loadMemoryFile(path, loaded, error));
}
