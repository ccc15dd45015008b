// SPDX-License-Identifier: GPL-3.0-or-later
// A kept logger memory: it reads back and decodes into the same sets as the
// download did; a file cut short or damaged anywhere is refused, not misread.
#include "datalogger/KeptMemory.h"

#include "DataLoggerTestSets.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

DataSetTable downloadedTable()
{
    DataSetTable table;
    const MemoryImage image = testsets::workedExampleSet() + testsets::rhOverloadedSet(7);
    EXPECT_EQ(BuildSetTable(2, image, 4, table), kSetTableAccepted);
    return table;
}

} // namespace

TEST(KeptMemory, DecodesIntoTheSameSetsAsTheDownload)
{
    const DataSetTable table = downloadedTable();
    QTemporaryDir dir;
    const QString path = dir.filePath("slot/logger.memory");
    ASSERT_TRUE(writeKeptMemory(path, keepMemory(table, 560, '\r', 46000.25)));
    const std::optional<KeptMemory> kept = readKeptMemory(path);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->model, 560);
    EXPECT_EQ(kept->suffix, '\r');
    EXPECT_EQ(kept->downloaded, 46000.25);

    DataSetTable back;
    ASSERT_TRUE(rebuildSetTable(*kept, back));
    EXPECT_EQ(back.Image, table.Image);
    EXPECT_EQ(back.SampleSize, table.SampleSize);
    ASSERT_EQ(back.setCount(), 2);
    for (int k = 0; k < 2; ++k) {
        const DataSet &a = back.Sets[k], &b = table.Sets[k];
        EXPECT_EQ(a.StartTime, b.StartTime);
        EXPECT_EQ(a.Interval, b.Interval);
        EXPECT_EQ(a.Count, b.Count);
        EXPECT_EQ(a.Unit, b.Unit);
        EXPECT_EQ(a.StartOffset, b.StartOffset);
        EXPECT_EQ(a.EndOffset, b.EndOffset);
    }
}

TEST(KeptMemory, ACutOrDamagedFileIsRefused)
{
    const QByteArray whole = keptMemoryBytes(keepMemory(downloadedTable(), 580, 'D', 46000.0));
    ASSERT_TRUE(parseKeptMemory(whole));
    for (qsizetype cut = 0; cut < whole.size(); ++cut)
        ASSERT_FALSE(parseKeptMemory(whole.left(cut))) << "cut at " << cut;
    for (qsizetype at = 0; at < whole.size(); ++at) {
        QByteArray damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
        ASSERT_FALSE(parseKeptMemory(damaged)) << "byte " << at;
    }
    // An image that no longer makes its sets is not shown as if it did.
    KeptMemory wrongCount = *parseKeptMemory(whole);
    wrongCount.setCount = 3;
    DataSetTable untouched;
    EXPECT_FALSE(rebuildSetTable(wrongCount, untouched));
    EXPECT_TRUE(untouched.Sets.isEmpty());
}

// A set whose header holds no possible date starts at the download's time:
// rebuilt from a kept memory, that is the time it was kept with, not now.
TEST(KeptMemory, AnImpossibleStartDateTakesTheKeptDownloadTime)
{
    QByteArray image = testsets::workedExampleSet();
    image[4] = 13; // month 13
    DataSetTable table;
    ASSERT_EQ(BuildSetTable(1, image, 4, table), kSetTableAccepted);
    const double downloaded = 46000.25;
    const std::optional<KeptMemory> kept = parseKeptMemory(keptMemoryBytes(keepMemory(table, 560, '\r', downloaded)));
    ASSERT_TRUE(kept);
    DataSetTable back;
    ASSERT_TRUE(rebuildSetTable(*kept, back));
    EXPECT_EQ(back.Sets[0].StartTime, downloaded);
}
