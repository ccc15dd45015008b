// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: samples read back exactly as written, a journal cut at any
// byte gives every whole line and nothing else, damage costs only its own
// line, and the writer keeps every row, numbered, through a full disk, a
// restored run and the end of a run.
#include "realtime/RunJournal.h"

#include "FailingDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vandrel;

namespace {

const JournalHeader kHeader{580, 'D', 200.0 / 86400.0};

JournalSample sample(int n)
{
    JournalSample s;
    s.number = n;
    s.time = 46000.5 + n / 86400.0;
    s.rh = 45.6 + n;
    s.t1 = -12.25;
    s.t2 = 0.1 * n;
    s.dewPoint = n == 2 ? std::numeric_limits<double>::quiet_NaN() : 9.2;
    s.t2Over = n == 3;
    s.cells = {QString::number(n), "06/12/2026", "13:05:0" + QString::number(n), "45,6", "%RH", "OL", "C",
               n == 4 ? "tab\there\\back\nline\r" : "", "C", QString::fromUtf8("\xe2\x88\x92" "1,5")};
    return s;
}

QByteArray journalOf(int samples)
{
    QByteArray bytes = journalHeaderLine(kHeader);
    for (int n = 1; n <= samples; ++n)
        bytes += journalSampleLine(sample(n));
    return bytes;
}

void expectSame(const JournalSample &a, const JournalSample &b)
{
    EXPECT_EQ(a.number, b.number);
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.rh, b.rh);
    EXPECT_EQ(a.t1, b.t1);
    EXPECT_EQ(a.t2, b.t2);
    if (std::isnan(b.dewPoint))
        EXPECT_TRUE(std::isnan(a.dewPoint));
    else
        EXPECT_EQ(a.dewPoint, b.dewPoint);
    EXPECT_EQ(a.t2Over, b.t2Over);
    EXPECT_EQ(a.cells, b.cells);
}

} // namespace

TEST(RunJournalFormat, SamplesReadBackExactly)
{
    const JournalContents c = parseJournal(journalOf(5));
    ASSERT_TRUE(c.hasHeader);
    EXPECT_EQ(c.header.model, 580);
    EXPECT_EQ(c.header.suffix, 'D');
    EXPECT_EQ(c.header.graphSpan, kHeader.graphSpan);
    EXPECT_EQ(c.rejectedLines, 0);
    ASSERT_EQ(c.samples.size(), 5);
    for (int n = 1; n <= 5; ++n)
        expectSame(c.samples[n - 1], sample(n));
}

// A kill or a power loss can stop the file anywhere: every cut gives the
// samples whose lines are whole, in order, and never a wrong one.
TEST(RunJournalFormat, ACutAtAnyByteKeepsEveryWholeLine)
{
    const QByteArray whole = journalOf(4);
    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        const QByteArray part = whole.left(cut);
        const JournalContents c = parseJournal(part);
        const int lines = static_cast<int>(part.count('\n'));
        ASSERT_EQ(c.hasHeader, lines >= 1) << "cut at " << cut;
        const int expected = std::max(0, lines - 1);
        ASSERT_EQ(c.samples.size(), expected) << "cut at " << cut;
        for (int n = 1; n <= expected; ++n)
            expectSame(c.samples[n - 1], sample(n));
        EXPECT_LE(c.rejectedLines, 1);
    }
}

TEST(RunJournalFormat, DamageCostsOnlyTheDamagedLine)
{
    const QByteArray whole = journalOf(4);
    const qsizetype secondSample = whole.indexOf('\n', whole.indexOf('\n') + 1) + 1;
    const qsizetype thirdSample = whole.indexOf('\n', secondSample) + 1;
    // Every byte of the second sample's line changed in turn, its newline excepted.
    for (qsizetype at = secondSample; at < thirdSample - 1; ++at) {
        QByteArray damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x04);
        const JournalContents c = parseJournal(damaged);
        ASSERT_EQ(c.samples.size(), 3) << "byte " << at;
        EXPECT_EQ(c.rejectedLines, 1);
        expectSame(c.samples[0], sample(1));
        expectSame(c.samples[1], sample(3));
        expectSame(c.samples[2], sample(4));
    }
    // Zeros where the file system lost the end of the file.
    const JournalContents zeros = parseJournal(whole + QByteArray(512, '\0'));
    EXPECT_EQ(zeros.samples.size(), 4);
    // A damaged header costs only itself: the layout is told from the rows.
    QByteArray noHeader = whole;
    noHeader[3] = 'x';
    const JournalContents headless = parseJournal(noHeader);
    EXPECT_TRUE(headless.headerDamaged);
    EXPECT_TRUE(headless.damaged());
    ASSERT_TRUE(headless.hasHeader);
    EXPECT_EQ(headless.header.model, 580);
    EXPECT_EQ(headless.header.suffix, 'D');
    ASSERT_EQ(headless.samples.size(), 4);
    expectSame(headless.samples[3], sample(4));
}

// A failed write tore a line and the next line was glued to it: the torn
// piece is lost, the good line behind it is not.
TEST(RunJournalFormat, ATornLineNeverSwallowsTheNextGoodOne)
{
    const QByteArray torn = journalHeaderLine(kHeader) + journalSampleLine(sample(1)) +
                            journalSampleLine(sample(2)).left(30) + journalSampleLine(sample(3)) +
                            journalSampleLine(sample(4));
    const JournalContents c = parseJournal(torn);
    ASSERT_EQ(c.samples.size(), 3);
    expectSame(c.samples[1], sample(3));
    EXPECT_EQ(c.rejectedLines, 1);
    EXPECT_EQ(c.expectedRows(), 4);
    EXPECT_TRUE(c.damaged());
    // A torn piece whose row was written again whole after it loses nothing.
    const QByteArray again = journalHeaderLine(kHeader) + journalSampleLine(sample(1)) +
                             journalSampleLine(sample(2)).left(30) + '\n' + journalSampleLine(sample(2)) +
                             journalSampleLine(sample(3));
    const JournalContents whole = parseJournal(again);
    EXPECT_EQ(whole.samples.size(), 3);
    EXPECT_EQ(whole.expectedRows(), 3);
    EXPECT_FALSE(whole.damaged());
}

// The disk fills up during a run: the rows wait with the reason to show, and
// once writing works again the journal catches up with every one of them, in
// order and numbered without a gap; the line the failure tore costs nothing.
TEST(RunJournalWriter, RowsThatCannotBeWrittenWaitAndCatchUp)
{
    using Step = test::FailingDisk::Step;
    QTemporaryDir dir;
    const QString path = dir.filePath("slot/realtime.journal");
    test::FailingDisk disk;
    RunJournal journal(path, disk.calls());
    ASSERT_TRUE(journal.append(kHeader, sample(1)));
    disk.failAt = Step::TornWrite;
    EXPECT_FALSE(journal.append(kHeader, sample(2)));
    EXPECT_FALSE(journal.append(kHeader, sample(3)));
    EXPECT_EQ(journal.problem(), "No space left on device");
    EXPECT_EQ(journal.waiting(), 2);
    EXPECT_EQ(journal.samples(), 1);
    // The torn piece of row 2 was taken back before row 3 was tried.
    const JournalContents meanwhile = readJournal(path);
    EXPECT_EQ(meanwhile.samples.size(), 1);
    EXPECT_EQ(meanwhile.rejectedLines, 0);

    disk.failAt = Step::None;
    ASSERT_TRUE(journal.append(kHeader, sample(4)));
    EXPECT_TRUE(journal.problem().isEmpty());
    EXPECT_EQ(journal.waiting(), 0);
    const JournalContents after = readJournal(path);
    EXPECT_FALSE(after.damaged());
    EXPECT_EQ(after.rejectedLines, 0);
    ASSERT_EQ(after.samples.size(), 4);
    for (int n = 1; n <= 4; ++n)
        expectSame(after.samples[n - 1], sample(n));
}

// Each row is on the disk before the next tick: one sync per row, after its line.
TEST(RunJournalWriter, EachRowIsSyncedBeforeTheNextOne)
{
    QTemporaryDir dir;
    test::FailingDisk disk;
    RunJournal journal(dir.filePath("realtime.journal"), disk.calls());
    for (int n = 1; n <= 3; ++n) {
        ASSERT_TRUE(journal.append(kHeader, sample(n)));
        EXPECT_EQ(disk.syncs, n);
        EXPECT_EQ(disk.steps.back(), 's');
    }
    EXPECT_EQ(disk.steps, "wswsws");
}

// The writer numbers the lines itself, and each sample is in the file when
// append returns.
TEST(RunJournalWriter, EachAppendedSampleIsInTheFileNumberedInOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("slot/realtime.journal");
    RunJournal journal(path);
    for (int n = 1; n <= 3; ++n) {
        JournalSample s = sample(n);
        s.number = 99;
        ASSERT_TRUE(journal.append(kHeader, s));
        const JournalContents now = readJournal(path);
        ASSERT_EQ(now.samples.size(), n);
        EXPECT_EQ(now.samples.last().number, n);
    }
    EXPECT_EQ(journal.samples(), 3);
}

// A crash tore the last line; the restored run goes on in a clean journal, so
// the torn piece never sits in front of the new lines.
TEST(RunJournalWriter, ARestoredRunGoesOnInACleanJournal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("slot/realtime.journal");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("slot")));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(journalOf(3) + journalSampleLine(sample(4)).left(20));
    }
    const JournalContents left = readJournal(path);
    ASSERT_EQ(left.samples.size(), 3);
    ASSERT_EQ(left.rejectedLines, 1);

    RunJournal restored(path);
    ASSERT_TRUE(restored.rewrite(left));
    ASSERT_TRUE(restored.append(kHeader, sample(4)));
    const JournalContents after = readJournal(path);
    EXPECT_EQ(after.rejectedLines, 0);
    ASSERT_EQ(after.samples.size(), 4);
    for (int n = 1; n <= 4; ++n)
        expectSame(after.samples[n - 1], sample(n));
}

// The rows were saved, cleared or declined: the file goes, and the next
// sample begins a new journal with its own header and numbers from 1.
TEST(RunJournalWriter, EndRemovesTheFileAndTheNextSampleBeginsANewJournal)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("slot/realtime.journal");
    RunJournal journal(path);
    for (int n = 1; n <= 3; ++n)
        ASSERT_TRUE(journal.append(kHeader, sample(n)));

    journal.end();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(journal.samples(), 0);

    ASSERT_TRUE(journal.append({520, 0, 0.5}, sample(7)));
    const JournalContents fresh = readJournal(path);
    EXPECT_EQ(fresh.header.model, 520);
    ASSERT_EQ(fresh.samples.size(), 1);
    EXPECT_EQ(fresh.samples[0].number, 1);
}

// A run without a journal path keeps no journal: appends succeed and touch no disk.
TEST(RunJournalWriter, WithoutAPathNothingIsWrittenAndNothingFails)
{
    test::FailingDisk disk;
    disk.failAt = test::FailingDisk::Step::Write;
    RunJournal none({}, disk.calls());
    EXPECT_TRUE(none.append(kHeader, sample(1)));
    EXPECT_TRUE(none.problem().isEmpty());
    EXPECT_EQ(none.waiting(), 0);
    EXPECT_TRUE(disk.steps.empty());
}
