// SPDX-License-Identifier: GPL-3.0-or-later
// The string grid: addressing with the heading row, row counts, scrolling to
// the newest row, selection, clicks, and what the model tells its views.
#include "platform/StringGrid.h"
#include "platform/StringGridStore.h"
#include "platform/StringGridModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

// Counts every structural signal the model sends to its views.
struct ModelSignals {
    explicit ModelSignals(StringGridModel *m)
        : inserted(m, &QAbstractItemModel::rowsInserted), removed(m, &QAbstractItemModel::rowsRemoved),
          reset(m, &QAbstractItemModel::modelReset), layout(m, &QAbstractItemModel::layoutChanged),
          changed(m, &QAbstractItemModel::dataChanged)
    {
    }
    QSignalSpy inserted, removed, reset, layout, changed;
};

// A shown grid whose data area holds exactly `rows` rows of 20 pixels.
void showWithVisibleRows(StringGrid &g, int rows)
{
    g.setDefaultRowHeight(20);
    g.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    g.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    g.resize(800, 20 + rows * 20 + 2 * g.frameWidth());
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    ASSERT_EQ(g.viewport()->height(), rows * 20);
}

} // namespace

TEST(StringGrid, CellsAreAddressedColumnThenRowWithTheHeadingRowAsRowZero)
{
    StringGrid g;
    g.setColCount(10);
    g.setRowCount(3);
    g.setCells(3, 0, "HUMIDITY");
    g.setCells(3, 2, "45.6");
    g.setCells(9, 1, "9.2 °C");
    EXPECT_EQ(g.Cells(3, 0), "HUMIDITY");
    EXPECT_EQ(g.Cells(3, 2), "45.6");
    EXPECT_EQ(g.Cells(9, 1), "9.2 °C");
    EXPECT_EQ(g.Cells(2, 2), "");
    // The heading row is the view's header; data rows start at model row 0.
    EXPECT_EQ(g.model()->headerData(3, Qt::Horizontal).toString(), "HUMIDITY");
    EXPECT_EQ(g.model()->index(1, 3).data().toString(), "45.6");
    // Writing outside the grid changes nothing.
    g.setCells(10, 1, "x");
    g.setCells(0, 3, "x");
    g.setCells(-1, 1, "x");
    EXPECT_EQ(g.Cells(10, 1), "");
    EXPECT_EQ(g.Cells(0, 3), "");
    // Rewriting a cell in the middle keeps its neighbours.
    g.setCells(1, 2, "a");
    g.setCells(2, 2, "bb");
    g.setCells(1, 2, "ccc");
    g.setCells(3, 2, "");
    EXPECT_EQ(g.Cells(1, 2) + "|" + g.Cells(2, 2) + "|" + g.Cells(3, 2), "ccc|bb|");
}

TEST(StringGrid, WholeRowsKeepNoCellBeyondTheLastColumn)
{
    StringGrid g;
    g.setColCount(3);
    g.setRowCount(3);
    const std::string_view cells[] = {"1", "a", "b", "c", "d"};
    std::string record;
    StringGridStore::appendRecord(cells, record);
    g.setRowRecord(1, record);
    g.setRowUtf8(2, cells);
    for (const int row : {1, 2}) {
        EXPECT_EQ(g.Cells(0, row) + g.Cells(1, row) + g.Cells(2, row), "1ab") << row;
        EXPECT_EQ(g.Cells(3, row), "") << row;
        g.setColCount(5); // a column added later comes up empty, not with the dropped cell
        EXPECT_EQ(g.Cells(3, row), "") << row;
        g.setColCount(3);
    }
}

TEST(StringGrid, RowCountCountsTheHeadingRowAndNewRowsAreEmpty)
{
    StringGrid g;
    g.setColCount(3);
    g.setRowCount(3);
    g.setCells(1, 2, "old");
    EXPECT_EQ(g.model()->rowCount(), 2);
    g.setRowCount(2);
    g.setRowCount(4);
    EXPECT_EQ(g.RowCount(), 4);
    EXPECT_EQ(g.Cells(1, 2), "");
    g.setRowCount(0);
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.model()->rowCount(), 0);
    g.setColCount(12);
    EXPECT_EQ(g.ColCount(), 12);
    EXPECT_EQ(g.model()->columnCount(), 12);
}

TEST(StringGrid, AppendingARowToAMillionTellsTheViewOnlyOfThatRow)
{
    StringGrid g;
    g.setColCount(10);
    g.beginUpdate();
    g.setRowCount(1'000'001);
    g.endUpdate();
    ASSERT_EQ(g.model()->rowCount(), 1'000'000);
    ModelSignals s(g.gridModel());
    for (int i = 0; i < 100; ++i) {
        const int row = g.RowCount();
        g.setRowCount(row + 1);
        g.setCells(0, row, QString::number(row));
        ASSERT_EQ(s.inserted.size(), i + 1);
        EXPECT_EQ(s.inserted.last().at(1).toInt(), row - 1);
        EXPECT_EQ(s.inserted.last().at(2).toInt(), row - 1);
    }
    EXPECT_EQ(s.changed.size(), 100);
    EXPECT_EQ(s.reset.size() + s.layout.size() + s.removed.size(), 0);
    EXPECT_EQ(g.Cells(0, 1'000'100), "1000100");
}

TEST(StringGrid, BulkUpdateIsOneInsertionWhenItEnds)
{
    StringGrid g;
    g.setColCount(3);
    g.setRowCount(2);
    ModelSignals s(g.gridModel());
    g.beginUpdate();
    g.beginUpdate();
    for (int r = 1; r <= 50; ++r) {
        if (g.RowCount() - 1 < r)
            g.setRowCount(g.RowCount() + 1);
        g.setCells(1, r, QString::number(r));
    }
    g.setCells(1, 0, "HEAD");
    g.endUpdate();
    EXPECT_EQ(s.inserted.size() + s.changed.size(), 0);
    EXPECT_EQ(g.model()->rowCount(), 1); // the views still see the old table
    g.endUpdate();
    ASSERT_EQ(s.inserted.size(), 1);
    EXPECT_EQ(s.inserted[0].at(1).toInt(), 1);
    EXPECT_EQ(s.inserted[0].at(2).toInt(), 49);
    EXPECT_EQ(s.reset.size(), 0);
    EXPECT_EQ(g.model()->index(49, 1).data().toString(), "50");
    EXPECT_EQ(g.model()->headerData(1, Qt::Horizontal).toString(), "HEAD");
    // Row 1 existed before the update and changed during it.
    EXPECT_GE(s.changed.size(), 1);
    g.endUpdate(); // an unmatched end does nothing
    EXPECT_TRUE(g.updatesEnabled());
}

TEST(StringGrid, TopRowKeepsTheNewestRowInView)
{
    StringGrid g;
    g.setColCount(10);
    g.setRowCount(2);
    showWithVisibleRows(g, 10);
    EXPECT_EQ(g.TopRow(), 1);
    EXPECT_EQ(g.VisibleRowCount(), 1);
    // The table window's way of appending a sample.
    for (int n = 1; n <= 25; ++n) {
        if (!g.Cells(0, 1).isEmpty())
            g.setRowCount(g.RowCount() + 1);
        if (g.VisibleRowCount() < g.RowCount())
            g.setTopRow(g.RowCount() - g.VisibleRowCount());
        g.setCells(0, g.RowCount() - 1, QString::number(n));
    }
    EXPECT_EQ(g.RowCount(), 26);
    EXPECT_EQ(g.TopRow(), 16);
    EXPECT_EQ(g.VisibleRowCount(), 10);
    EXPECT_EQ(g.rowAt(0) + 1, 16);
    g.setTopRow(1);
    EXPECT_EQ(g.TopRow(), 1);
    g.setTopRow(1000);
    EXPECT_EQ(g.TopRow(), 16); // no scrolling past the last full page
}

TEST(StringGrid, SelectionIsARectangleInGridCoordinates)
{
    StringGrid g;
    g.setColCount(10);
    g.setRowCount(20);
    EXPECT_EQ(g.Selection(), (GridRect{0, 1, 0, 1}));
    g.setSelection(GridRect{2, 3, 5, 7});
    EXPECT_EQ(g.Selection(), (GridRect{2, 3, 5, 7}));
    g.setSelection(GridRect{5, 7, 2, 3}); // corners in any order
    EXPECT_EQ(g.Selection(), (GridRect{2, 3, 5, 7}));
    g.setSelection(GridRect{8, 15, 30, 99}); // cut to the grid
    EXPECT_EQ(g.Selection(), (GridRect{8, 15, 9, 19}));

    g.setRowSelect(true);
    EXPECT_TRUE(g.RowSelect());
    EXPECT_EQ(g.Selection(), (GridRect{0, 15, 9, 15}));
    g.setSelection(GridRect{3, 4, 3, 6});
    EXPECT_EQ(g.Selection(), (GridRect{0, 4, 9, 6}));
    g.setRowSelect(false);
    EXPECT_EQ(g.Selection(), (GridRect{0, 4, 0, 4}));
}

TEST(StringGrid, ClickAndKeyboardReportTheCellInGridCoordinates)
{
    StringGrid g;
    g.setColCount(5);
    g.setRowCount(10);
    g.setRowSelect(true);
    showWithVisibleRows(g, 5);
    QSignalSpy clicks(&g, &StringGrid::cellClicked);
    const QRect cell = g.visualRect(g.model()->index(2, 3));
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks[0].at(0).toInt(), 3);
    EXPECT_EQ(clicks[0].at(1).toInt(), 3);
    EXPECT_EQ(g.Selection().Top, 3);
    QTest::keyClick(&g, Qt::Key_Down);
    ASSERT_EQ(clicks.size(), 2);
    EXPECT_EQ(clicks[1].at(1).toInt(), 4);
    EXPECT_EQ(g.Selection().Top, 4);
}

TEST(StringGrid, ColumnWidthsRowHeightAndHeadingColour)
{
    StringGrid g;
    g.setColCount(4);
    EXPECT_EQ(g.DefaultColWidth(), 64);
    g.setColWidths(1, 100);
    EXPECT_EQ(g.ColWidths(1), 100);
    g.setDefaultColWidth(50);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(g.ColWidths(c), 50) << c;
    g.setColCount(6);
    EXPECT_EQ(g.ColWidths(5), 50);
    g.setDefaultRowHeight(16);
    EXPECT_EQ(g.DefaultRowHeight(), 16);
    EXPECT_EQ(g.rowHeight(0), 16);
    EXPECT_TRUE(g.ColSizing());
    g.setColSizing(false);
    EXPECT_FALSE(g.ColSizing());
    EXPECT_EQ(g.horizontalHeader()->sectionResizeMode(3), QHeaderView::Fixed);
    g.setFixedColor(Qt::white);
    EXPECT_EQ(g.FixedColor(), QColor(Qt::white));
    EXPECT_EQ(g.model()->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QBrush>().color(),
              QColor(Qt::white));
}

TEST(StringGrid, ACutOffCellOrHeadingShowsItsWholeTextAsAToolTip)
{
    StringGrid grid;
    grid.resize(400, 200);
    grid.setColCount(2);
    grid.setRowCount(2);
    grid.setColWidths(0, 30);
    grid.setColWidths(1, 200);
    grid.setCells(0, 0, QStringLiteral("Temperature"));
    grid.setCells(1, 0, QStringLiteral("UNIT"));
    grid.setCells(0, 1, QStringLiteral("1000000"));
    grid.setCells(1, 1, QStringLiteral("C"));
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    EXPECT_EQ(grid.textElideMode(), Qt::ElideRight);
    struct Case {
        QWidget *area;
        QPoint at;
        QString tip; // empty: the text shows whole, no tip
    };
    QHeaderView *header = grid.horizontalHeader();
    const int cellY = grid.visualRect(grid.model()->index(0, 0)).center().y();
    // Texts that show whole first: a tip once shown fades out only slowly.
    const Case cases[] = {
        {grid.viewport(), QPoint(60, cellY), QString()},
        {header->viewport(), QPoint(60, header->height() / 2), QString()},
        {grid.viewport(), QPoint(15, cellY), QStringLiteral("1000000")},
        {header->viewport(), QPoint(15, header->height() / 2), QStringLiteral("Temperature")},
    };
    for (const Case &c : cases) {
        QHelpEvent help(QEvent::ToolTip, c.at, c.area->mapToGlobal(c.at));
        QApplication::sendEvent(c.area, &help);
        EXPECT_EQ(QToolTip::isVisible() ? QToolTip::text() : QString(), c.tip) << c.at.x();
    }
}
