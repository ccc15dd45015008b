// SPDX-License-Identifier: GPL-3.0-or-later
// The record files: one per day, appended across restarts, a row cut by a
// kill ended before the next, and a full disk that costs no row and leaves
// no torn one.
#include "records/RecordFiles.h"

#include "FailingDisk.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::FailingDisk;

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QDate kDay(2026, 12, 7);

} // namespace

TEST(RecordFiles, writesOneFilePerDayAndAppendsAfterARestart)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("archive"));
    {
        RecordFiles files(folder);
        ASSERT_TRUE(files.append(kDay, "a,\r\n"));
        ASSERT_TRUE(files.append(kDay.addDays(1), "b,\r\n"));
        EXPECT_EQ(files.written(), 2);
    }
    RecordFiles again(folder);
    ASSERT_TRUE(again.append(kDay, "c,\r\n"));
    EXPECT_EQ(contents(folder + QStringLiteral("/2026-12-07.csv")), "a,\r\nc,\r\n");
    EXPECT_EQ(contents(folder + QStringLiteral("/2026-12-08.csv")), "b,\r\n");
    EXPECT_EQ(again.repairedRows(), 0);
}

TEST(RecordFiles, endsARowCutShortByAKillBeforeTheNext)
{
    QTemporaryDir dir;
    for (const QByteArray &cut : {QByteArray("a,\r\nb,1"), QByteArray("a,\r\nb,1\r")}) {
        RecordFiles files(dir.path());
        QFile f(files.pathFor(kDay));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(cut);
        f.close();
        ASSERT_TRUE(files.append(kDay, "c,\r\n"));
        EXPECT_EQ(contents(files.pathFor(kDay)), QByteArray("a,\r\nb,1\r\nc,\r\n")) << cut.toStdString();
        EXPECT_EQ(files.repairedRows(), 1);
    }
}

TEST(RecordFiles, aFullDiskKeepsTheRowsAndWritesThemWholeWhenSpaceReturns)
{
    QTemporaryDir dir;
    for (const FailingDisk::Step step : {FailingDisk::Step::Write, FailingDisk::Step::TornWrite, FailingDisk::Step::Sync}) {
        FailingDisk disk;
        RecordFiles files(dir.filePath(QString::number(static_cast<int>(step))), disk.calls());
        ASSERT_TRUE(files.append(kDay, "first,\r\n"));
        disk.failAt = step;
        EXPECT_FALSE(files.append(kDay, "second,\r\n"));
        EXPECT_FALSE(files.append(kDay, "third,\r\n"));
        EXPECT_TRUE(files.problem().contains(QLatin1String("No space left on device"))) << files.problem().toStdString();
        EXPECT_EQ(files.waiting(), 2);
        // Nothing torn is left in the file while the disk is full.
        EXPECT_EQ(contents(files.pathFor(kDay)), "first,\r\n");
        disk.failAt = FailingDisk::Step::None;
        EXPECT_TRUE(files.retry());
        EXPECT_TRUE(files.problem().isEmpty());
        EXPECT_EQ(contents(files.pathFor(kDay)), "first,\r\nsecond,\r\nthird,\r\n");
        EXPECT_EQ(files.written(), 3);
    }
}

TEST(RecordFiles, aFolderThatCannotBeMadeIsAProblemNotACrash)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    RecordFiles files(dir.filePath(QStringLiteral("file/meter")));
    EXPECT_FALSE(files.append(kDay, "a,\r\n"));
    EXPECT_FALSE(files.problem().isEmpty());
    EXPECT_EQ(files.waiting(), 1);
}
