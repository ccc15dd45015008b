// SPDX-License-Identifier: GPL-3.0-or-later
// Opens a table file into a shown string grid and saves it again, through the
// same flows and progress windows the program uses; prints times and memory.
#include "platform/StringGrid.h"
#include "realtime/TableFileDialogs.h"

#include "../support/BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <string>

using namespace vandrel;
using vandrel::bench::statusKb;
using vandrel::bench::thousands;

namespace {

// The real dialogs, except that the answers are given instead of asked.
class GivenAnswers : public TableFileDialogs
{
public:
    GivenAnswers(QString in, QString out) : TableFileDialogs(nullptr), in_(std::move(in)), out_(std::move(out)) {}
    QString askOpenFileName() override { return in_; }
    QString askSaveFileName() override { return out_; }
    std::optional<RangeChoice> askRange(int) override { return RangeChoice{}; }
    void showMessage(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }

private:
    QString in_;
    QString out_;
};

// Mean microseconds of appending one sample the way the real-time table
// does, each followed by the repaint it causes.
double appendMicros(QApplication &app, StringGrid &g, int count)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        const int row = g.RowCount();
        g.setRowCount(row + 1);
        if (g.VisibleRowCount() < g.RowCount())
            g.setTopRow(g.RowCount() - g.VisibleRowCount());
        g.setCells(0, row, QString::number(row));
        g.setCells(1, row, QStringLiteral("06/12/2026"));
        g.setCells(3, row, QStringLiteral("45.6"));
        app.processEvents();
    }
    return t.nsecsElapsed() / 1e3 / count;
}

} // namespace

int main(int argc, char **argv)
{
    vandrel::bench::defaultToOffscreen();
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_tablefile IN_FILE OUT_FILE\n");
        return 2;
    }
    GivenAnswers ui(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));

    // The table window as the program makes it: shown, ten columns, one empty row.
    std::unique_ptr<StringGrid> grid;
    const auto makeGrid = [&grid](const QString &) {
        grid = std::make_unique<StringGrid>();
        grid->setColCount(10);
        grid->setRowCount(2);
        grid->resize(508, 360);
        grid->show();
        return grid.get();
    };
    // The program's main window is up before any file is opened: its fonts
    // are loaded and its first paint is done, which opening does not pay for.
    StringGrid mainWindow;
    mainWindow.setColCount(3);
    mainWindow.setCells(1, 1, QStringLiteral("06/12/2026"));
    mainWindow.show();
    app.processEvents();
    const long rssBefore = statusKb("VmRSS");
    const long hwmBefore = statusKb("VmHWM");

    QElapsedTimer t;
    t.start();
    const bool opened = !openTable(ui, makeGrid).isEmpty();
    app.processEvents(); // the first paint of the filled grid belongs to opening
    const double openSeconds = t.nsecsElapsed() / 1e9;
    const long rssAfter = statusKb("VmRSS");
    const long hwmAfter = statusKb("VmHWM");
    if (!opened || !grid)
        return 1;
    const int rows = grid->RowCount() - 1;

    t.start();
    const bool saved = saveTable(*grid, ui);
    const double saveSeconds = t.nsecsElapsed() / 1e9;
    if (!saved)
        return 1;

    StringGrid small;
    small.setColCount(10);
    small.setRowCount(2);
    small.resize(508, 360);
    small.show();
    const double smallAppend = appendMicros(app, small, 1000);
    const double bigAppend = appendMicros(app, *grid, 1000);

    const double rssPerRow = (rssAfter - rssBefore) * 1024.0 / rows;
    std::printf("append_us_small %.1f\nappend_us_million %.1f\n", smallAppend, bigAppend);
    std::printf("rows %d\nopen_seconds %.3f\nsave_seconds %.3f\n", rows, openSeconds, saveSeconds);
    std::printf("rss_bytes_per_row %.1f\nhwm_bytes_per_row %.1f\n", rssPerRow,
                (hwmAfter - hwmBefore) * 1024.0 / rows);
    const std::string name = thousands(rows) + " rows";
    std::printf("RESULT | Open table file, %s | %.3f s | ≤ 0.15 s for 1,000,000 rows\n", name.c_str(), openSeconds);
    std::printf("RESULT | Table memory per row, %s | %.1f B | ≤ 80 B\n", name.c_str(), rssPerRow);
    std::printf("RESULT | Save table file, %s | %.3f s | —\n", name.c_str(), saveSeconds);
    std::printf("RESULT | Append one row + repaint, %s | %.1f us | —\n", name.c_str(), bigAppend);
    return 0;
}
