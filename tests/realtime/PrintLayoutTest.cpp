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
                },
                QString()};
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
        // Later pages hold the heading row again and 59 rows under it.
        {0, 6600, 0}, {1, 6600, 1}, {60, 6600, 1}, {61, 6600, 2}, {119, 6600, 2}, {120, 6600, 3},
        {200000, 6600, 3390}, {5, 350, 4}, {3, 0, 3}, {-1, 6600, 0},
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
    ASSERT_EQ(lines.size(), 62u);
    for (int r = 0; r < 60; ++r) {
        EXPECT_EQ(lines[r].page, 1) << r;
        EXPECT_EQ(lines[r].y, 100 + r * 100) << r;
        EXPECT_TRUE(lines[r].text.startsWith(QStringLiteral("r%1 ").arg(r))) << r;
    }
    EXPECT_EQ(lines[60], (PrintLine{2, 100, QStringLiteral("r0") + spaces(10) + spaces(12), true}));
    EXPECT_EQ(lines[61], (PrintLine{2, 200, QStringLiteral("r60") + spaces(9) + spaces(12)}));
}

TEST(LayoutPrintLines, EveryLaterPageStartsWithTheHeadingRowAgain)
{
    struct Case {
        int rows, height;
        // Per page: the first table row under its heading and the last one.
        std::vector<std::pair<int, int>> pages;
    };
    const Case cases[] = {
        {125, 6600, {{1, 59}, {60, 118}, {119, 124}}},
        {5, 350, {{1, 1}, {2, 2}, {3, 3}, {4, 4}}},
        {130, 1100, {{1, 9}, {10, 18}, {19, 27}, {28, 36}, {37, 45}, {46, 54}, {55, 63}, {64, 72}, {73, 81},
                     {82, 90}, {91, 99}, {100, 108}, {109, 117}, {118, 126}, {127, 129}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        const std::vector<PrintLine> lines = LayoutPrintLines(numberedTable(c.rows).printCells(), c.height);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.rows) + c.pages.size() - 1);
        std::size_t i = 0;
        for (std::size_t p = 0; p < c.pages.size(); ++p) {
            const int page = static_cast<int>(p) + 1;
            // The heading first, at the top: row 0 itself on page 1, a repeat after.
            EXPECT_EQ(lines[i], (PrintLine{page, 100, QStringLiteral("r0") + spaces(10) + spaces(12), page > 1}));
            ++i;
            for (int r = c.pages[p].first; r <= c.pages[p].second; ++r, ++i) {
                ASSERT_LT(i, lines.size());
                EXPECT_EQ(lines[i].page, page) << r;
                EXPECT_EQ(lines[i].y, 100 + (r - c.pages[p].first + 1) * 100) << r;
                EXPECT_TRUE(lines[i].text.startsWith(QStringLiteral("r%1 ").arg(r))) << r;
            }
        }
        EXPECT_EQ(PrintPageCount(c.rows, c.height), static_cast<int>(c.pages.size()));
    }
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
    // A page with no room at all: one row per page rather than none, and no
    // heading repeated where it would be all a page holds.
    const std::vector<PrintLine> tiny = LayoutPrintLines(numberedTable(3).printCells(), 0);
    ASSERT_EQ(tiny.size(), 3u);
    EXPECT_EQ(tiny[2].page, 3);
    EXPECT_EQ(tiny[2].y, 100);
    EXPECT_FALSE(tiny[2].repeatedHeading);
}

TEST(PrintPageTexts, NumberThePageAndAskWithTheCount)
{
    EXPECT_EQ(PrintPageNumberText(2, 11), "page 2 of 11");
    EXPECT_TRUE(PrintLongPrintoutQuestion(3390).contains(QStringLiteral("3390 pages")));
}
