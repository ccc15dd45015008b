// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a table window of many rows as a graph, as the menu command does (progress
// window included), then zooms, undoes the zoom and resizes it; prints times and memory.
#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/OutputToGraph.h"
#include "records/TableRow.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include "../support/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace vandrel;
using vandrel::bench::statusKb;
using vandrel::bench::thousands;

namespace {

// Rows as an opened table file of a two-temperature meter with dew point holds them.
void fillTable(StringGrid &g, int rows)
{
    g.beginUpdate();
    g.setColCount(10);
    g.setRowCount(rows + 1);
    char buf[10][16];
    std::string_view cells[10];
    QByteArray date;
    for (int i = 0; i < rows; ++i) {
        const int s = i % 86400;
        // One sample a second from midnight on, in the date format tables are written in.
        if (s == 0)
            date = tableDate(QDate(2026, 6, 12).addDays(i / 86400)).toUtf8();
        const int n[] = {
            std::snprintf(buf[0], 16, "%d", i + 1),
            std::snprintf(buf[1], 16, "%s", date.constData()),
            std::snprintf(buf[2], 16, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60),
            std::snprintf(buf[3], 16, "%.1f", 40 + i % 200 / 10.0),
            std::snprintf(buf[4], 16, "%%RH"),
            std::snprintf(buf[5], 16, "%.1f", 20 + i % 90 / 10.0),
            std::snprintf(buf[6], 16, "C"),
            std::snprintf(buf[7], 16, "%.1f", 18 + i % 70 / 10.0),
            std::snprintf(buf[8], 16, "C"),
            std::snprintf(buf[9], 16, "%.1f", 9 + i % 30 / 10.0),
        };
        for (int c = 0; c < 10; ++c)
            cells[c] = std::string_view(buf[c], static_cast<std::size_t>(n[c]));
        g.setRowUtf8(i + 1, cells);
    }
    g.endUpdate();
}

// Lets the queued replot and the paint it asks for happen.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void drag(QWidget *w, QPointF from, QPointF to)
{
    const auto send = [w](QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent e(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

// Best of `runs` milliseconds of `action` followed by the redraw it causes.
template <typename Action>
double bestMs(int runs, Action action)
{
    double best = 1e9;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        action(r);
        settle();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    vandrel::bench::defaultToOffscreen();
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(2, std::atoi(argv[1])) : 1000000;

    QMdiArea area;
    area.resize(1024, 768);
    area.show();
    auto *table = new TfrmList;
    table->showIn(area, QStringLiteral("/tmp/big.csv"));
    fillTable(*table->Grid1, rows);
    settle();

    const long rssBefore = statusKb("VmRSS");
    QElapsedTimer t;
    t.start();
    TfrmGraph *graph = OutputToGraphWithDialogs(&area, area, *table);
    settle(); // the first paint of the graph belongs to drawing it
    const double drawSeconds = t.nsecsElapsed() / 1e9;
    const long rssAfter = statusKb("VmRSS");
    if (!graph || graph->Chart1->PointCount() != rows)
        return 1;
    MeterChart &chart = *graph->Chart1;
    const std::string name = thousands(rows) + " rows";
    const int points = rows * chart.SeriesCount();

    QWidget *plot = chart.customPlot();
    const QRect inside = plot->rect().adjusted(120, 80, -120, -120);
    const double zoomMs = bestMs(5, [&](int r) {
        chart.UndoZoom();
        settle();
        drag(plot, inside.topLeft() + QPoint(10 * r, 0), inside.bottomRight() - QPoint(10 * r, 0));
    });
    const double undoMs = bestMs(5, [&](int r) {
        drag(plot, inside.topLeft() + QPoint(10 * r, 0), inside.bottomRight());
        settle();
        chart.UndoZoom(); // as the context menu does it
        chart.Refresh();
    });
    QMdiSubWindow *window = area.subWindowList().constLast();
    const double resizeMs = bestMs(5, [&](int r) { window->resize(600 + 60 * (r % 2 ? 1 : -1) + r, 420 + r); });

    std::printf("RESULT | Output to graph, %s | %.2f s | ≤ 1 s for 1,000,000 rows\n", name.c_str(), drawSeconds);
    std::printf("RESULT | Graph memory per row, 4 series, %s | %.1f B | ≤ 64 B\n", name.c_str(),
                (rssAfter - rssBefore) * 1024.0 / rows);
    std::printf("RESULT | Zoom redraw, %s points | %.1f ms | ≤ 50 ms\n", thousands(points).c_str(), zoomMs);
    std::printf("RESULT | Undo Zoom redraw, %s points | %.1f ms | ≤ 50 ms\n", thousands(points).c_str(), undoMs);
    std::printf("RESULT | Resize redraw, %s points | %.1f ms | ≤ 50 ms\n", thousands(points).c_str(), resizeMs);
    return 0;
}
