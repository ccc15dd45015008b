// SPDX-License-Identifier: GPL-3.0-or-later
// The paging and line rules of table printouts: lines per page, cell padding,
// page breaks and the stop at an "empty" row.
#include "realtime/PrintLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

using namespace vandrel;

namespace {

// A table held as a map; cells not set are empty.
struct FakeTable {
    int rows = 0;
    int cols = 0;
    std::map<std::pair<int, int>, QString> cells;

    PrintCells printCells() const
    {
        return {rows, cols, [this](int col, int row) {
                    const auto it = cells.find({col, row});
                    return it == cells.end() ? QString() : it->second;
                }};
    }
};

// `rows` rows of two columns; column 0 holds "r<row>".
FakeTable numberedTable(int rows)
{
    FakeTable t{rows, 2, {}};
    for (int r = 0; r < rows; ++r)
        t.cells[{0, r}] = QStringLiteral("r%1").arg(r);
    return t;
}

QString spaces(int n) { return QString(n, QLatin1Char(' ')); }

} // namespace

TEST(PrintLinesPerPage, RoundsWholeLinesDownToTensAndNeverReturnsZero)
{
    const std::pair<int, int> cases[] = {
        {6600, 60}, {6100, 60}, {6099, 50}, {2000, 10}, {1100, 10},
        // The line that would start on the bottom edge does not count.
        {6000, 50}, {7000, 60},
        // Too short for ten lines: as many as fit, at least one.
        {1099, 9}, {999, 8}, {500, 4}, {199, 1}, {100, 1}, {0, 1}, {-300, 1},
    };
    for (const auto &[height, lines] : cases)
        EXPECT_EQ(PrintLinesPerPage(height), lines) << "page height " << height;
}

TEST(PrintPageCount, CountsThePagesTheRowsFill)
{
    struct Case {
        int rows, height, pages;
    };
    const Case cases[] = {
        {0, 6600, 0}, {1, 6600, 1}, {60, 6600, 1}, {61, 6600, 2}, {200000, 6600, 3334},
        {5, 350, 3}, {3, 0, 3}, {-1, 6600, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PrintPageCount(c.rows, c.height), c.pages) << c.rows << " rows, height " << c.height;
        // The count agrees with where the layout puts the last row.
        if (c.rows > 0 && c.rows < 1000) {
            EXPECT_EQ(LayoutPrintLines(numberedTable(c.rows).printCells(), c.height).back().page, c.pages);
        }
    }
}

TEST(PrintRowText, PadsEveryCellToTwelveAndKeepsLongerCellsWhole)
{
    FakeTable t{1, 4, {}};
    t.cells[{0, 0}] = QStringLiteral("NO");
    t.cells[{1, 0}] = QStringLiteral("123456789012345"); // 15 characters
    t.cells[{2, 0}] = QStringLiteral("exactly12chr");
    // column 3 empty: still twelve spaces
    const QString expected = QStringLiteral("NO") + spaces(10) + QStringLiteral("123456789012345") +
                             QStringLiteral("exactly12chr") + spaces(12);
    EXPECT_EQ(PrintRowText(t.printCells(), 0), expected);
}

TEST(LayoutPrintLines, SixtyOneRowsOnLetterPagesBreakAfterRowFiftyNine)
{
    const std::vector<PrintLine> lines = LayoutPrintLines(numberedTable(61).printCells(), 6600);
    ASSERT_EQ(lines.size(), 61u);
    for (int r = 0; r < 60; ++r) {
        EXPECT_EQ(lines[r].page, 1) << r;
        EXPECT_EQ(lines[r].y, 100 + r * 100) << r;
        EXPECT_TRUE(lines[r].text.startsWith(QStringLiteral("r%1 ").arg(r))) << r;
    }
    EXPECT_EQ(lines[60], (PrintLine{2, 100, QStringLiteral("r60") + spaces(9) + spaces(12)}));
}

TEST(LayoutPrintLines, EveryPageStartsAtTheTopAgain)
{
    const std::vector<PrintLine> lines = LayoutPrintLines(numberedTable(125).printCells(), 6600);
    ASSERT_EQ(lines.size(), 125u);
    EXPECT_EQ(lines[119].page, 2);
    EXPECT_EQ(lines[119].y, 6000);
    EXPECT_EQ(lines[120].page, 3);
    EXPECT_EQ(lines[120].y, 100);
    EXPECT_EQ(lines[124].y, 500);
}

TEST(LayoutPrintLines, StopsAtTheFirstRowContainingEmpty)
{
    FakeTable t = numberedTable(6);
    t.cells[{1, 1}] = QStringLiteral("Empty");    // other case: printed
    t.cells[{1, 3}] = QStringLiteral("nonempty"); // anywhere in the line: the stop
    t.cells[{1, 4}] = QStringLiteral("45.2");
    const std::vector<PrintLine> lines = LayoutPrintLines(t.printCells(), 6600);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1].text.contains(QStringLiteral("Empty")));
    EXPECT_TRUE(lines[2].text.startsWith(QStringLiteral("r2 ")));

    t.cells[{0, 0}] = QStringLiteral("empty");
    EXPECT_TRUE(LayoutPrintLines(t.printCells(), 6600).empty());
}

TEST(LayoutPrintLines, ShortPagesStillPrintEveryRowOnThePage)
{
    // 350 units: two whole lines below the top margin.
    const std::vector<PrintLine> lines = LayoutPrintLines(numberedTable(5).printCells(), 350);
    ASSERT_EQ(lines.size(), 5u);
    const int pages[] = {1, 1, 2, 2, 3};
    const int ys[] = {100, 200, 100, 200, 100};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(lines[r].page, pages[r]) << r;
        EXPECT_EQ(lines[r].y, ys[r]) << r;
    }
    // A page with no room at all: one row per page rather than none.
    const std::vector<PrintLine> tiny = LayoutPrintLines(numberedTable(3).printCells(), 0);
    ASSERT_EQ(tiny.size(), 3u);
    EXPECT_EQ(tiny[2].page, 3);
    EXPECT_EQ(tiny[2].y, 100);
}
