// SPDX-License-Identifier: GPL-3.0-or-later
// The delivery cursor: whole rows in order across the daily files, a row
// still being written held back, a damaged or stale saved place taken back to
// a point from which nothing is skipped, and a saved place that survives the
// process while unconfirmed rows are read again.
#include "publish/RecordCursor.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace vandrel::publish;

namespace {

const QString d7 = QStringLiteral("2026-12-07.csv");
const QString d8 = QStringLiteral("2026-12-08.csv");

void append(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write(bytes);
}

std::vector<std::string> lines(const std::vector<RecordRow> &rows)
{
    std::vector<std::string> out;
    for (const RecordRow &row : rows)
        out.push_back(row.line);
    return out;
}

struct CursorCase {
    const char *what;
    std::map<QString, QByteArray> files;
    std::optional<QByteArray> saved; // the cursor file's bytes; none: no file
    FreshStart fresh;
    int max;
    const char *note;                // part of load()'s line; "" for none
    std::vector<std::string> first;  // rows of the first read
    std::pair<QString, QByteArray> later; // appended after the first read
    std::vector<std::string> second; // rows of the read after that
};

void PrintTo(const CursorCase &c, std::ostream *os)
{
    *os << c.what;
}

class CursorReads : public ::testing::TestWithParam<CursorCase> {};

TEST_P(CursorReads, deliversWholeRowsInOrderFromASafePlace)
{
    const CursorCase &c = GetParam();
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("meter"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const auto &[name, bytes] : c.files)
        append(folder + QLatin1Char('/') + name, bytes);
    const QString cursorPath = dir.filePath(QStringLiteral("cursors/mqtt-meter"));
    if (c.saved) {
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("cursors"))));
        append(cursorPath, *c.saved);
    }
    RecordCursor cursor(folder, cursorPath, c.fresh);
    const QString note = cursor.load();
    if (*c.note)
        EXPECT_TRUE(note.contains(QLatin1String(c.note))) << note.toStdString();
    else
        EXPECT_TRUE(note.isEmpty()) << note.toStdString();
    EXPECT_EQ(lines(cursor.next(c.max)), c.first);
    if (!c.later.first.isEmpty())
        append(folder + QLatin1Char('/') + c.later.first, c.later.second);
    EXPECT_EQ(lines(cursor.next(100)), c.second);
    EXPECT_TRUE(cursor.next(100).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CursorReads,
    ::testing::Values(
        CursorCase{"dayRollover", {{d7, "a\r\nb\r\n"}, {d8, "c\r\n"}}, std::nullopt, FreshStart::Beginning, 10,
                   "from its start", {"a", "b", "c"}, {d8, "d\r\n"}, {"d"}},
        CursorCase{"rowCutShortWaitsForItsEnd", {{d7, "a\r\nb,half"}}, std::nullopt, FreshStart::Beginning, 10,
                   "from its start", {"a"}, {d7, ",whole\r\n"}, {"b,half,whole"}},
        CursorCase{"cutRowLeftBehindOnceALaterFileBegins", {{d7, "a\r\nb,cu"}, {d8, "c\r\n"}}, std::nullopt,
                   FreshStart::Beginning, 10, "from its start", {"a", "c"}, {}, {}},
        CursorCase{"atMostMaxRowsARead", {{d7, "a\r\nb\r\n"}, {d8, "c\r\n"}}, std::nullopt, FreshStart::Beginning, 2,
                   "from its start", {"a", "b"}, {}, {"c"}},
        CursorCase{"savedPlaceResumesAfterDeliveredRows", {{d7, "a\r\nb\r\n"}, {d8, "c\r\n"}}, QByteArray("2026-12-07.csv 3\n"),
                   FreshStart::End, 10, "", {"b", "c"}, {}, {}},
        CursorCase{"freshEndStartsAfterTheLastWholeRow", {{d7, "a\r\n"}, {d8, "b\r\nc\r\nd,cu"}}, std::nullopt,
                   FreshStart::End, 10, "from the end", {}, {d8, "t\r\ne\r\n"}, {"d,cut", "e"}},
        CursorCase{"damagedTextRestartsAtTheStartOfTheRecord", {{d7, "a\r\n"}, {d8, "b\r\n"}}, QByteArray("\x01garbage 12"),
                   FreshStart::End, 10, "is damaged", {"a", "b"}, {}, {}},
        CursorCase{"emptyCursorFileIsDamaged", {{d7, "a\r\n"}}, QByteArray(""), FreshStart::End, 10, "is damaged", {"a"}, {}, {}},
        CursorCase{"placePastTheEndReadsThatFileAgain", {{d7, "a\r\n"}, {d8, "b\r\nc\r\n"}}, QByteArray("2026-12-08.csv 999\n"),
                   FreshStart::End, 10, "past the end of 2026-12-08.csv", {"b", "c"}, {}, {}},
        CursorCase{"placeInsideARowReadsThatFileAgain", {{d7, "a\r\n"}, {d8, "b\r\nc\r\n"}}, QByteArray("2026-12-08.csv 4\n"),
                   FreshStart::End, 10, "not at the start of a row", {"b", "c"}, {}, {}},
        CursorCase{"removedFileGoesOnWithTheNextOne", {{d7, "a\r\n"}, {d8, "b\r\n"}}, QByteArray("2026-12-01.csv 40\n"),
                   FreshStart::End, 10, "not there", {"a", "b"}, {}, {}},
        CursorCase{"noFilesYetWaitsForTheFirst", {}, std::nullopt, FreshStart::End, 10, "from the end", {}, {d8, "a\r\n"}, {"a"}}),
    [](const ::testing::TestParamInfo<CursorCase> &info) { return std::string(info.param.what); });

TEST(RecordCursor, savedPlaceOutlivesTheProcessAndUnconfirmedRowsAreReadAgain)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("meter"));
    ASSERT_TRUE(QDir().mkpath(folder));
    append(folder + QLatin1Char('/') + d7, "a\r\nb\r\nc\r\n");
    const QString cursorPath = dir.filePath(QStringLiteral("cursors/influxdb-meter"));
    {
        RecordCursor cursor(folder, cursorPath, FreshStart::Beginning);
        cursor.load();
        const auto batch = cursor.next(2);
        ASSERT_EQ(lines(batch), (std::vector<std::string>{"a", "b"}));
        QString error;
        ASSERT_TRUE(cursor.commit(batch.back().end, error)) << error.toStdString();
        EXPECT_EQ(lines(cursor.next(5)), std::vector<std::string>{"c"});
        cursor.rewind(); // "c" was sent but never confirmed
        EXPECT_EQ(lines(cursor.next(5)), std::vector<std::string>{"c"});
    } // the process ends (or is killed) with "c" unconfirmed
    RecordCursor again(folder, cursorPath, FreshStart::Beginning);
    EXPECT_TRUE(again.load().isEmpty());
    EXPECT_EQ(again.delivered(), (RecordPlace{d7, 6}));
    EXPECT_EQ(lines(again.next(5)), std::vector<std::string>{"c"});

    // A place that cannot be saved is said, and the old one stays.
    RecordCursor blocked(folder, dir.filePath(QStringLiteral("meter/") + d7 + QStringLiteral("/x")), FreshStart::Beginning);
    blocked.load();
    const auto rows = blocked.next(1);
    QString error;
    EXPECT_FALSE(blocked.commit(rows.back().end, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(blocked.delivered(), RecordPlace{});
}

} // namespace
