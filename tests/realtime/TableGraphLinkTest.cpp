// SPDX-License-Identifier: GPL-3.0-or-later
// Tables and graphs linked by caption: a row click moves the marker, a point
// click selects and shows the row; the real-time windows are not linked.
#include "realtime/GraphSetup.h"
#include "platform/StringGrid.h"
#include "realtime/TableGraphLink.h"
#include "records/TableRow.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

struct Linked {
    QMdiArea area;
    TfrmList *table = new TfrmList;
    TfrmGraph *graph = new TfrmGraph;
    static constexpr int kRows = 40;

    explicit Linked(const QString &caption = "/tmp/run.csv", bool twoTemperatures = false)
    {
        area.resize(1000, 700);
        area.show();
        table->showIn(area, caption);
        for (int r = 1; r <= kRows; ++r) {
            table->Grid1->setRowCount(r + 1);
            const QStringList cells{QString::number(r), "06/12/2026", QString("13:%1:00").arg(r, 2, 10, QChar('0')),
                                    "45.6", "%RH", "21.3", "C", twoTemperatures ? "19.8" : "", twoTemperatures ? "C" : "",
                                    twoTemperatures ? "9.2" : ""};
            for (int c = 0; c < cells.size(); ++c)
                table->Grid1->setCells(c, r, cells[c]);
        }
        graph->showIn(area, TfrmGraph::captionFor(caption));
        SetupMeterGraph(*graph->Chart1, kRows, 46000 + kRows, 46000, twoTemperatures ? 580 : 520);
        for (int p = 0; p < kRows; ++p)
            graph->Chart1->SetX(0, p, 46000 + p);
    }
    void activate(QWidget *w)
    {
        area.setActiveSubWindow(qobject_cast<QMdiSubWindow *>(w->parentWidget()));
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST(TableGraphLink, RowClickMovesTheMarker)
{
    Linked l;
    l.activate(l.table);
    l.table->Grid1->setSelection({1, 5, 9, 5});
    moveMarkerToRow(l.area, *l.table, nullptr, 0);
    EXPECT_DOUBLE_EQ(l.graph->Chart1->MarkerX(), 46004);
    EXPECT_EQ(l.graph->Chart1->MarkerText(), "13:05:00 RH:45.6 T:21.3");
}

TEST(TableGraphLink, MarkerTextOfTwoTemperaturesAndDewPoint)
{
    Linked l("/tmp/two.txt", true);
    l.activate(l.table);
    l.table->Grid1->setSelection({1, 2, 9, 2});
    moveMarkerToRow(l.area, *l.table, nullptr, 'D');
    EXPECT_EQ(l.graph->Chart1->MarkerText(), "13:02:00 RH:45.6 T1:21.3 T2:19.8 DP:9.2");
    moveMarkerToRow(l.area, *l.table, nullptr, 0);
    EXPECT_EQ(l.graph->Chart1->MarkerText(), "13:02:00 RH:45.6 T1:21.3 T2:19.8");
}

TEST(TableGraphLink, PointClickSelectsAndShowsTheRow)
{
    Linked l;
    l.activate(l.graph);
    selectRowOfPoint(l.area, *l.graph, 29, nullptr, 0);
    const GridRect sel = l.table->Grid1->Selection();
    EXPECT_EQ(sel.Top, 30);
    EXPECT_EQ(sel.Bottom, 30);
    const int v = l.table->Grid1->VisibleRowCount();
    ASSERT_LT(v, 30);
    EXPECT_EQ(l.table->Grid1->TopRow(), 30 - v / 2);
    EXPECT_DOUBLE_EQ(l.graph->Chart1->MarkerX(), 46029);

    selectRowOfPoint(l.area, *l.graph, 0, nullptr, 0); // a row already in view from the top
    EXPECT_EQ(l.table->Grid1->TopRow(), 1);
}

TEST(TableGraphLink, RealTimeAndUnmatchedWindowsAreNotLinked)
{
    Linked l;
    l.activate(l.graph);
    selectRowOfPoint(l.area, *l.graph, 10, l.graph, 0); // the real-time graph
    EXPECT_NE(l.table->Grid1->Selection().Top, 11);
    l.activate(l.table);
    l.table->Grid1->setSelection({1, 7, 9, 7});
    moveMarkerToRow(l.area, *l.table, l.table, 0); // the real-time table
    EXPECT_FALSE(l.graph->Chart1->MarkerText().contains("13:07:00"));

    // A graph whose table was closed: nothing happens.
    l.table->subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    l.activate(l.graph);
    selectRowOfPoint(l.area, *l.graph, 3, nullptr, 0);
    EXPECT_FALSE(l.graph->Chart1->MarkerText().contains("13:04:00"));
}

// A live table follows its newest row while the newest row is in view; a
// user who scrolled up to read earlier rows stays where they are.
TEST(LiveTable, FollowsTheNewestRowOnlyWhileAtTheBottom)
{
    QMdiArea area;
    area.resize(800, 400);
    area.show();
    auto *table = new TfrmList;
    table->showIn(area, QString::fromLatin1(TfrmList::kRealTimeCaption));
    StringGrid &grid = *table->Grid1;
    ApplyTableHeadings(grid, 580);
    MeterReading reading;
    const QDateTime now = QDateTime::currentDateTime();
    const MeterIdentity id;
    for (int i = 0; i < 60; ++i)
        AppendTableRow(grid, now, reading, id);
    const int visible = grid.VisibleRowCount();
    ASSERT_LT(visible, grid.RowCount());
    EXPECT_EQ(grid.TopRow(), grid.RowCount() - visible);

    grid.setTopRow(10); // reading earlier rows
    AppendTableRow(grid, now, reading, id);
    EXPECT_EQ(grid.TopRow(), 10);

    grid.setTopRow(grid.RowCount() - visible); // back at the newest row
    AppendTableRow(grid, now, reading, id);
    EXPECT_EQ(grid.TopRow(), grid.RowCount() - visible);
}

// Every column of a table is wide enough for its heading and the widest text
// it holds, for either kind of meter and up to a million rows.
TEST(TableColumns, FitTheirHeadingsAndLongestTexts)
{
    for (int model : {520, 560, 540, 580}) {
        SCOPED_TRACE(model);
        TfrmList table;
        StringGrid &grid = *table.Grid1;
        ApplyTableHeadings(grid, model);
        grid.setRowCount(3);
        const QStringList row{"1000000", tableDate(QDate(2026, 12, 28)), "23:59:59", "100.0", "%RH",
                              "-1999.9", "C", "-1999.9", "C", "-1999.9"};
        for (int c = 0; c < row.size(); ++c)
            grid.setCells(c, 2, row[c]);
        for (int c = 0; c < row.size() && c < grid.ColCount(); ++c) {
            const int heading = grid.horizontalHeader()->fontMetrics().horizontalAdvance(grid.Cells(c, 0));
            const int cell = grid.fontMetrics().horizontalAdvance(row[c]);
            EXPECT_GE(grid.ColWidths(c), std::max(heading, cell) + 8) << "column " << c << " " << grid.Cells(c, 0).toStdString();
        }
    }
}
