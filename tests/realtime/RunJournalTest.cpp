// SPDX-License-Identifier: GPL-3.0-or-later
// The run journal: samples read back exactly as written, a journal cut at any
// byte gives every whole line and nothing else, damage costs only its own
// line, and the writer's file follows append, rewrite and end.
#include "realtime/RunJournal.h"

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
    // Without its header a journal cannot be laid out again: nothing.
    QByteArray noHeader = whole;
    noHeader[3] = 'x';
    EXPECT_FALSE(parseJournal(noHeader).hasHeader);
    EXPECT_TRUE(parseJournal(noHeader).samples.isEmpty());
}

TEST(RunJournalWriter, AppendsRewritesAfterATornLineAndEnds)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("slot/realtime.journal");
    RunJournal journal(path);
    for (int n = 1; n <= 3; ++n) {
        JournalSample s = sample(n);
        s.number = 99; // the writer numbers the lines itself
        ASSERT_TRUE(journal.append(kHeader, s));
        // Each sample is in the file when append returns.
        EXPECT_EQ(readJournal(path).samples.size(), n);
    }
    EXPECT_EQ(readJournal(path).samples.last().number, 3);

    // A crash tore the next line; the restored run goes on in a clean journal.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(journalSampleLine(sample(4)).left(20));
    }
    const JournalContents left = readJournal(path);
    ASSERT_EQ(left.samples.size(), 3);
    EXPECT_EQ(left.rejectedLines, 1);
    RunJournal restored(path);
    ASSERT_TRUE(restored.rewrite(left));
    ASSERT_TRUE(restored.append(kHeader, sample(4)));
    const JournalContents after = readJournal(path);
    EXPECT_EQ(after.rejectedLines, 0);
    ASSERT_EQ(after.samples.size(), 4);
    for (int n = 1; n <= 4; ++n)
        expectSame(after.samples[n - 1], sample(n));

    restored.end();
    EXPECT_FALSE(QFile::exists(path));
    // The next sample begins a new journal with its own header.
    ASSERT_TRUE(restored.append({520, 0, 0.5}, sample(1)));
    const JournalContents fresh = readJournal(path);
    EXPECT_EQ(fresh.header.model, 520);
    ASSERT_EQ(fresh.samples.size(), 1);
    EXPECT_EQ(fresh.samples[0].number, 1);

    // No path: no journal, and nothing fails.
    RunJournal none;
    EXPECT_TRUE(none.append(kHeader, sample(1)));
}
