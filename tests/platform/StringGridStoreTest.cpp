// SPDX-License-Identifier: GPL-3.0-or-later
// The grid's compact store against a plain table of strings: rows across block
// edges, cells rewritten after loading, very long cells, cut and regrown rows,
// rows laid out apart and stored whole.
#include "platform/StringGridStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace vandrel;

namespace {

constexpr int B = StringGridStore::BlockRows;

// The store and what it must hold, changed side by side.
struct Both {
    StringGridStore store;
    std::vector<std::vector<std::string>> want;

    void resize(int n)
    {
        store.resizeRows(n);
        want.resize(static_cast<std::size_t>(n));
    }
    void set(int col, int row, const std::string &text)
    {
        store.setCell(col, row, text);
        auto &r = want[static_cast<std::size_t>(row)];
        if (r.size() <= static_cast<std::size_t>(col))
            r.resize(static_cast<std::size_t>(col) + 1);
        r[static_cast<std::size_t>(col)] = text;
    }
    void setRow(int row, const std::vector<std::string> &cells)
    {
        std::vector<std::string_view> views(cells.begin(), cells.end());
        store.setRow(row, views);
        want[static_cast<std::size_t>(row)] = cells;
    }
    // The row laid out apart from the store, as another thread would, then stored.
    void setRecord(int row, const std::vector<std::string> &cells)
    {
        std::string records = "before";
        std::vector<std::string_view> views(cells.begin(), cells.end());
        StringGridStore::appendRecord(views, records);
        store.setRowRecord(row, std::string_view(records).substr(6));
        want[static_cast<std::size_t>(row)] = cells;
    }
    // The cells `first`, then the fields of a line with one-byte separators,
    // laid out straight from where the fields end.
    void setLine(int row, const std::string &first, const std::string &line, char sep)
    {
        std::vector<std::uint8_t> ends;
        std::vector<std::string> cells{first};
        std::size_t start = 0;
        for (std::size_t at = line.find(sep); at != std::string::npos; at = line.find(sep, start)) {
            ends.push_back(static_cast<std::uint8_t>(at));
            cells.push_back(line.substr(start, at - start));
            start = at + 1;
        }
        std::string records = "before";
        StringGridStore::appendRecord(first, line, ends, records);
        store.setRowRecord(row, std::string_view(records).substr(6));
        want[static_cast<std::size_t>(row)] = cells;
    }
};

// A table row as the files hold it, different for every row.
std::vector<std::string> fileRow(int row)
{
    return {std::to_string(row), "06/12/2026", "13:" + std::to_string(row % 60) + ":00", std::to_string(40 + row % 50),
            "%RH", std::to_string(row % 30) + ".5", "C", "", "", std::string(static_cast<std::size_t>(row % 5), 'x')};
}

struct StoreCase {
    const char *name;
    std::function<void(Both &)> play;
};

class StoreHoldsWhatWasWritten : public ::testing::TestWithParam<StoreCase> {};

} // namespace

TEST_P(StoreHoldsWhatWasWritten, CellByCell)
{
    Both t;
    GetParam().play(t);
    ASSERT_EQ(t.store.rowCount(), static_cast<int>(t.want.size()));
    for (int row = 0; row < t.store.rowCount(); ++row) {
        const auto &w = t.want[static_cast<std::size_t>(row)];
        std::size_t stored = w.size();
        while (stored > 0 && w[stored - 1].empty())
            --stored;
        ASSERT_EQ(t.store.storedCells(row), static_cast<int>(stored)) << "row " << row;
        for (std::size_t col = 0; col < w.size() + 2; ++col) {
            const std::string expected = col < w.size() ? w[col] : std::string();
            ASSERT_EQ(t.store.cell(static_cast<int>(col), row), expected) << "row " << row << " col " << col;
        }
    }
    EXPECT_EQ(t.store.cell(0, -1), "");
    EXPECT_EQ(t.store.cell(-1, 0), "");
    EXPECT_EQ(t.store.cell(0, t.store.rowCount()), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreHoldsWhatWasWritten,
    ::testing::Values(
        StoreCase{"RowsOnBothSidesOfBlockEdges",
                  [](Both &t) {
                      t.resize(3 * B + 5);
                      for (int r : {0, B - 1, B, B + 1, 2 * B - 1, 2 * B, 3 * B - 1, 3 * B, 3 * B + 4})
                          t.setRow(r, fileRow(r));
                  }},
        StoreCase{"CellsRewrittenAfterALoadUntilBlocksCompact",
                  [](Both &t) {
                      t.resize(2 * B + 10);
                      for (int r = 0; r < 2 * B + 10; ++r)
                          t.setRow(r, fileRow(r));
                      // Many rewrites in one block, growing, shrinking and emptying cells.
                      for (int round = 0; round < 40; ++round) {
                          for (int r = B; r < B + 60; ++r)
                              t.set((r + round) % 12, r, std::string(static_cast<std::size_t>(round % 7), 'a' + round % 26));
                      }
                      t.set(9, 3, "");   // the last stored cell emptied: the row gets shorter
                      t.set(40, 5, "far"); // more cells than most rows: a longer header
                      t.setRow(7, {});
                  }},
        StoreCase{"VeryLongCellsBesideShortOnes",
                  [](Both &t) {
                      t.resize(B + 2);
                      t.setRow(B - 1, {"1", std::string(300, 'm'), "x"});
                      t.setRow(B, {"2", std::string(70000, 'L'), "", "y"});
                      t.set(3, B, "z");             // a short edit in a long row
                      t.set(1, B - 1, "short again"); // back to one-byte offsets
                      t.setRow(B + 1, {std::string(255, 'a'), "b"});
                  }},
        StoreCase{"CellsOfEveryShortLength",
                  [](Both &t) {
                      t.resize(3);
                      std::vector<std::string> cells;
                      for (int n = 0; n <= 40; ++n) {
                          std::string cell;
                          for (int i = 0; i < n; ++i)
                              cell.push_back(static_cast<char>('A' + (n + i) % 26));
                          cells.push_back(cell);
                      }
                      t.setRow(1, cells);
                      std::reverse(cells.begin(), cells.end());
                      t.setRow(2, cells);
                  }},
        StoreCase{"RowsCutInsideABlockComeBackEmpty",
                  [](Both &t) {
                      t.resize(2 * B + 50);
                      for (int r = 0; r < 2 * B + 50; ++r)
                          t.setRow(r, fileRow(r));
                      t.resize(B + 44);
                      t.resize(2 * B + 50);
                      t.setRow(2 * B + 1, fileRow(1));
                  }},
        StoreCase{"RowsCutOnABlockEdgeOrAllComeBackEmpty",
                  [](Both &t) {
                      t.resize(2 * B + 50);
                      for (int r = 0; r < 2 * B + 50; ++r)
                          t.setRow(r, fileRow(r));
                      t.resize(B);
                      t.resize(B + 3);
                      t.setRow(B + 2, fileRow(1));
                      t.resize(0);
                      t.resize(5);
                      t.setRow(4, fileRow(4));
                  }},
        StoreCase{"RowsLaidOutElsewhereAndStoredWhole",
                  [](Both &t) {
                      t.resize(2 * B + 3);
                      for (int r = 0; r < 2 * B + 3; ++r)
                          t.setRecord(r, fileRow(r));
                      t.setRecord(B, {"1", std::string(300, 'w'), "", "x"}); // wider offsets
                      t.setRecord(B + 1, {"", "", ""});                      // no text: no record
                      t.setRecord(5, {});
                  }},
        StoreCase{"FieldsOfALineLaidOutWhereTheyEnd",
                  [](Both &t) {
                      t.resize(9);
                      t.setLine(0, "1", "06/12/2026,13:05:09,45.6,%RH,21.3,C,,,,", ',');
                      t.setLine(1, "2", ",,,", ',');             // only empty fields: the number alone
                      t.setLine(2, "", ",,x,", ',');             // an empty first cell kept before text
                      t.setLine(3, "", ",,", ',');               // nothing at all: no record
                      t.setLine(4, "4", "a-seventeen-bytes,b,", ','); // a field longer than one copy
                      t.setLine(5, std::string(300, 'n'), "x,y,", ','); // wider offsets
                      t.setLine(6, "6", "ab,c,d,", ',');         // fields within sixteen bytes of the end
                      t.setLine(7, "7", "p\tq\t", '\t');
                      t.setLine(8, "8", "", ',');                // no field
                  }},
        StoreCase{"ARowCopiedFromViewsIntoTheStore",
                  [](Both &t) {
                      t.resize(B + 1);
                      for (int r = 0; r < B + 1; ++r)
                          t.setRow(r, fileRow(r));
                      for (const auto &[from, to] : {std::pair{3, B}, std::pair{B, 4}, std::pair{5, 5}}) {
                          std::vector<std::string_view> views;
                          for (int c = 0; c < t.store.storedCells(from); ++c)
                              views.push_back(t.store.cell(c, from));
                          t.store.setRow(to, views);
                          t.want[static_cast<std::size_t>(to)] = t.want[static_cast<std::size_t>(from)];
                      }
                  }}),
    [](const auto &info) { return std::string(info.param.name); });
