// SPDX-License-Identifier: GPL-3.0-or-later
// The table file format both ways: separators by name, lines, quoting, the
// line-length rule, the end of a table, and the save range.
#include "records/TableFile.h"

#include "platform/StringGridStore.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cstring>

using namespace vandrel;

namespace {

std::vector<std::string_view> views(const std::vector<std::string> &cells)
{
    return {cells.begin(), cells.end()};
}

std::string line(const std::vector<std::string> &cells, char sep)
{
    std::string out;
    const auto v = views(cells);
    appendTableLine(out, v, sep);
    return out;
}

using Rows = std::vector<std::vector<std::string>>;

// The cells of a row laid out as a grid keeps it.
std::vector<std::string> cellsOf(std::string_view record)
{
    StringGridStore store;
    store.resizeRows(1);
    store.setRowRecord(0, record);
    std::vector<std::string> cells;
    for (int c = 0; c < store.storedCells(0); ++c)
        cells.emplace_back(store.cell(c, 0));
    return cells;
}

// Every row the read-ahead reader finds on a device, without the number it
// puts first, and whether it failed.
std::pair<Rows, bool> readAhead(QIODevice &device, char sep, int maxCells)
{
    TableRowReadAhead reader(device, sep, maxCells);
    Rows rows;
    std::string_view record;
    while (reader.nextRow(record)) {
        std::vector<std::string> cells = cellsOf(record);
        if (maxCells == 0) {
            EXPECT_TRUE(cells.empty());
        } else {
            EXPECT_EQ(cells.at(0), std::to_string(rows.size() + 1));
            cells.erase(cells.begin());
        }
        rows.push_back(cells);
    }
    return {rows, reader.failed()};
}

// A read row as a grid keeps it: empty cells at its end are not kept.
Rows trimmed(Rows rows)
{
    for (auto &row : rows) {
        while (!row.empty() && row.back().empty())
            row.pop_back();
    }
    return rows;
}

// Every row a reader finds in `bytes`, with at most `maxCells` cells each;
// the reader on a thread of its own must find the very same rows.
Rows readAll(const QByteArray &bytes, char sep, int maxCells = 9)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    TableFileReader reader(buffer, sep);
    Rows rows;
    std::vector<std::string_view> cells;
    while (reader.nextRow(maxCells, cells))
        rows.emplace_back(cells.begin(), cells.end());
    EXPECT_FALSE(reader.failed());

    QBuffer again(&data);
    again.open(QIODevice::ReadOnly);
    const auto [ahead, failed] = readAhead(again, sep, maxCells);
    EXPECT_EQ(ahead, trimmed(rows)) << "read ahead";
    EXPECT_FALSE(failed);
    return rows;
}

// Hands out its bytes, then fails.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(QByteArray bytes) : bytes_(std::move(bytes)) { open(ReadOnly); }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        if (at_ == bytes_.size()) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = std::min(max, bytes_.size() - at_);
        std::memcpy(data, bytes_.constData() + at_, static_cast<std::size_t>(n));
        at_ += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 at_ = 0;
};

} // namespace

TEST(TableFile, SeparatorFollowsTheLastThreeCharactersOfTheName)
{
    const std::pair<const char *, char> cases[] = {
        {"/home/u/table.csv", ','}, {"TABLE.CSV", ','}, {"table.Csv", ','},  {"tablecsv", ','},
        {"table.txt", '\t'},        {"table.dat", '\t'}, {"table", '\t'},    {"table.csv.txt", '\t'},
        {"cs", '\t'},               {"", '\t'},
    };
    for (const auto &[name, sep] : cases)
        EXPECT_EQ(tableSeparator(QString::fromLatin1(name)), sep) << name;
}

TEST(TableFile, WritesEachCellFollowedByTheSeparatorAndCrLf)
{
    EXPECT_EQ(line({"06/12/2026", "13:05:09", "45.6", "%RH", "21.3", "C", "", "", ""}, ','),
              "06/12/2026,13:05:09,45.6,%RH,21.3,C,,,,\r\n");
    EXPECT_EQ(line({"06/12/2026", "13:05:09", "45.6", "%RH", "21.3", "C", "19.8", "C", "9.2"}, '\t'),
              "06/12/2026\t13:05:09\t45.6\t%RH\t21.3\tC\t19.8\tC\t9.2\t\r\n");
    EXPECT_EQ(line({}, ','), "\r\n");
}

TEST(TableFile, QuotesOnlyCellsThatWouldOtherwiseSplit)
{
    EXPECT_EQ(line({"45,6", "%RH"}, ','), "\"45,6\",%RH,\r\n");
    EXPECT_EQ(line({"45,6", "%RH"}, '\t'), "45,6\t%RH\t\r\n");
    EXPECT_EQ(line({"a\tb"}, '\t'), "\"a\tb\"\t\r\n");
    EXPECT_EQ(line({"say \"hi\""}, ','), "\"say \"\"hi\"\"\",\r\n");
    EXPECT_EQ(line({"two\r\nlines"}, ','), "two  lines,\r\n");
}

TEST(TableFile, DecimalCommaTableReadsBackIntoTheSameCells)
{
    const std::vector<std::string> row = {"06.12.2026", "13:05:09", "45,6", "%RH", "21,3", "C", "-0,5", "C", "9,2"};
    const std::string text = line(row, ',') + line({"a\"b", "\"", "\"x,\"", "", "", "", "", "", ""}, ',');
    const Rows rows = readAll(QByteArray::fromStdString(text), ',');
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], row);
    EXPECT_EQ(rows[1], (std::vector<std::string>{"a\"b", "\"", "\"x,\"", "", "", "", "", "", ""}));
}

TEST(TableFile, UnquotedFilesReadAsTheyAlwaysDid)
{
    // Quotes that do not form a whole quoted field stay part of the text, and
    // an unquoted decimal comma still splits a value over two cells.
    const QByteArray text = "45,6,%RH,\r\n"
                            "\"open,x,\r\n"
                            "ab\"c,\"d\"e,\"\",\r\n";
    const Rows rows = readAll(text, ',');
    const Rows expected = {{"45", "6", "%RH"}, {"\"open", "x"}, {"ab\"c", "\"d\"e", ""}};
    EXPECT_EQ(rows, expected);
}

TEST(TableFile, LineEndsAndTheEndOfTheTable)
{
    struct Case {
        const char *name;
        QByteArray text;
        Rows rows;
    };
    const Case cases[] = {
        {"crlf", "a\tb\t\r\nc\td\t\r\n", {{"a", "b"}, {"c", "d"}}},
        {"bare lf", "a\tb\t\nc\td\t\n", {{"a", "b"}, {"c", "d"}}},
        {"no final line end", "a\tb\t\r\nc\t", {{"a", "b"}, {"c"}}},
        {"text after last separator dropped", "a\tb\tc\r\n", {{"a", "b"}}},
        {"empty line ends the table", "a\t\r\n\r\nb\t\r\n", {{"a"}}},
        {"line without separator ends it", "a\t\r\nnothing\r\nb\t\r\n", {{"a"}}},
        {"comma in a tab file is text", "1,5\t2\t\r\n", {{"1,5", "2"}}},
        {"empty file", "", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(readAll(c.text, '\t'), c.rows) << c.name;
}

TEST(TableFile, FieldsBeyondTheLastColumnAreDropped)
{
    const QByteArray text = "1,2,3,4,5,6,7,8,9,10,11,\r\n1,2,\r\n";
    const Rows rows = readAll(text, ',', 9);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "2"}));
}

// Lines of 178, 179 and 180 characters in every kind of text the reader meets
// (plain ASCII, a quoted cell, UTF-8, single-byte Latin-1): up to 179 a line is
// kept whole and reading goes on; at 180 it is cut after 179 characters, which
// leaves "abc" without its separator, and the table ends there.
TEST(TableFile, LongLineIsCutAt179CharactersAndEndsTheTable)
{
    struct Kind {
        const char *name;
        std::string quote; // around the first cell
        std::string unit;  // one character as the file holds it
        std::string read;  // that character as a cell holds it
    };
    const Kind kinds[] = {{"ascii", "", "x", "x"},
                          {"quoted", "\"", "x", "x"},
                          {"utf8", "", "\xc3\xa9", "\xc3\xa9"},
                          {"latin1", "", "\xe9", "\xc3\xa9"}};
    for (const Kind &k : kinds) {
        for (const int length : {178, 179, 180}) {
            SCOPED_TRACE(std::string(k.name) + " " + std::to_string(length));
            // The first cell fills the line up to ",abc,".
            const int first = length - 5 - 2 * static_cast<int>(k.quote.size());
            std::string cell, read;
            for (int i = 0; i < first; ++i) {
                cell += k.unit;
                read += k.read;
            }
            const std::string text = k.quote + cell + k.quote + ",abc,\r\nnext,\r\n";
            const Rows rows = readAll(QByteArray::fromStdString(text), ',');
            if (length <= TableLineMaxChars) {
                EXPECT_EQ(rows, (Rows{{read, "abc"}, {"next"}}));
            } else {
                EXPECT_EQ(rows, (Rows{{read}}));
            }
        }
    }
}

TEST(TableFile, LineLengthCountsCharactersNotBytes)
{
    // 170 two-byte characters are 340 bytes but only 170 characters: not cut.
    std::string wide;
    for (int i = 0; i < 170; ++i)
        wide += "\xc3\xa9"; // é
    const QByteArray text = QByteArray::fromStdString(wide + ",\r\nnext,\r\n");
    const Rows rows = readAll(text, ',');
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], wide);
}

TEST(TableFile, SingleByteTextOfOlderFilesIsReadAsLatin1)
{
    const QByteArray text = "25\xb0" "C,\xe9t\xe9,\r\n";
    const Rows rows = readAll(text, ',');
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"25\xc2\xb0" "C", "\xc3\xa9t\xc3\xa9"}));
}

TEST(TableFile, ALineEndlessWithoutLineEndIsNotBufferedWhole)
{
    QByteArray text(5 * 1024 * 1024, 'q');
    text.prepend("a,b,");
    const Rows rows = readAll(text, ',');
    EXPECT_EQ(rows, (Rows{{"a", "b"}}));
}

TEST(TableFile, AHugeUtf8LineIsCutBetweenCharactersAndStaysUtf8)
{
    // A line of over 1 MiB is looked at only by its start; wherever that cut
    // falls, at a character's start or after any of its bytes, the kept text
    // must still read as the UTF-8 it is.
    constexpr std::size_t kLookedAt = 64 * 1024;
    for (const std::string ch : {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"}) { // é € and an emoji
        for (std::size_t byte = 0; byte < ch.size(); ++byte) {
            SCOPED_TRACE("cut after " + std::to_string(byte) + " of " + std::to_string(ch.size()) + " bytes");
            const std::string unit = ch + ",";
            // Pad the first cell so that the cut lands after `byte` bytes of a character.
            std::size_t pad = 0;
            while ((kLookedAt - pad - 1) % unit.size() != byte)
                ++pad;
            std::string text = std::string(pad, 'y') + ",";
            while (text.size() < 1100 * 1024)
                text += unit;
            ASSERT_EQ(text.substr(kLookedAt - byte, ch.size()), ch);
            const Rows rows = readAll(QByteArray::fromStdString(text + "\r\nnext,\r\n"), ',');
            Rows expected{{std::string(pad, 'y')}};
            expected[0].resize(9, ch);
            EXPECT_EQ(rows, expected);
        }
    }
}

TEST(TableFile, SaveRangeRules)
{
    struct Case {
        bool all;
        const char *from;
        const char *to;
        std::optional<SaveRange> range;
    };
    const int last = 10;
    const Case cases[] = {
        {true, "x", "y", SaveRange{1, 10}},
        {false, "1", "10", SaveRange{1, 10}},
        {false, "5", "2", SaveRange{2, 5}},
        {false, "-3", "20", SaveRange{3, 10}},
        {false, "0", "4", SaveRange{1, 4}},
        {false, " 2 ", "3", SaveRange{2, 3}},
        {false, "12", "15", SaveRange{11, 10}},
        {false, "-2147483648", "1", SaveRange{1, 10}},
        {false, "abc", "3", std::nullopt},
        {false, "1", "", std::nullopt},
        {false, "1.5", "3", std::nullopt},
        {false, "99999999999", "3", std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(saveRange(c.all, QString::fromLatin1(c.from), QString::fromLatin1(c.to), last), c.range)
            << c.from << " " << c.to;
    }
    EXPECT_EQ(saveRange(true, {}, {}, 0), (SaveRange{1, 0}));
}

TEST(TableFile, OpenedHeadingsFollowColumnSeven)
{
    EXPECT_EQ(openedTableHeadings(true), (QStringList{"Temperature", "UNIT", "", ""}));
    EXPECT_EQ(openedTableHeadings(false), (QStringList{"T1", "UNIT", "T2", "UNIT", "Dewpoint"}));
}

TEST(TableFile, EveryLineSplitsAsTheGeneralRuleSplitsIt)
{
    // Short ASCII lines take a quicker way through the reader than others;
    // both must cut the same cells wherever the separators fall within and
    // across eight-byte words, and however many cells are kept.
    std::string text;
    std::vector<std::string> lines;
    for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t step : {1u, 2u, 3u, 7u, 8u, 9u, 41u}) {
            std::string line;
            for (std::size_t i = 0; i < length; ++i)
                line += (i + 1) % step == 0 ? ',' : static_cast<char>('a' + i % 26);
            if (line.find(',') == std::string::npos)
                continue; // it would end the table
            lines.push_back(line);
            text += line + "\r\n";
        }
    }
    for (const int maxCells : {0, 1, 3, 9, 40}) {
        const Rows rows = readAll(QByteArray::fromStdString(text), ',', maxCells);
        ASSERT_EQ(rows.size(), lines.size()) << maxCells;
        std::vector<std::string_view> cells;
        std::string scratch;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_TRUE(splitTableLine(lines[i], ',', maxCells, cells, scratch));
            EXPECT_EQ(rows[i], std::vector<std::string>(cells.begin(), cells.end())) << lines[i] << " " << maxCells;
        }
    }
}

TEST(TableFile, ReadingAheadKeepsOrderThroughAFailureAndAnEarlyStop)
{
    // Enough rows, some quoted or single-byte, for many batches between the threads.
    QByteArray text;
    Rows expected;
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i);
        if (i % 97 == 0) {
            text += QByteArray::fromStdString("\"" + n + ",5\",\xb0" "C,\r\n");
            expected.push_back({n + ",5", "\xc2\xb0" "C"});
        } else {
            text += QByteArray::fromStdString(n + ",06/12/2026,45.6,%RH,\r\n");
            expected.push_back({n, "06/12/2026", "45.6", "%RH"});
        }
    }
    EXPECT_EQ(readAll(text, ',', 4), expected);

    // A read error ends the rows where the bytes did and is reported.
    const qsizetype cut = text.indexOf("15000,");
    FailingDevice failing(text.left(cut));
    const auto [rows, failed] = readAhead(failing, ',', 4);
    EXPECT_TRUE(failed);
    EXPECT_EQ(rows, trimmed(Rows(expected.begin(), expected.begin() + 15000)));

    // A caller that stops early stops the reading thread: it neither waits
    // forever nor reads the rest of a big file.
    QByteArray big = text.repeated(6);
    QBuffer device(&big);
    device.open(QIODevice::ReadOnly);
    {
        TableRowReadAhead reader(device, ',', 4);
        std::string_view record;
        ASSERT_TRUE(reader.nextRow(record));
        EXPECT_EQ(cellsOf(record), (std::vector<std::string>{"1", "0,5", "\xc2\xb0" "C"}));
    }
    EXPECT_LT(device.pos(), big.size() / 2);
}
