// SPDX-License-Identifier: GPL-3.0-or-later
// Graphs drawn from table windows: cell values, row times, the row loop and
// the temperature axis fitted to what the table holds.
#include "realtime/OutputToGraph.h"
#include "platform/MessageBoxes.h"

#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/GraphCells.h"
#include "realtime/GraphSetup.h"
#include "realtime/RealTimeRun.h"
#include "records/TableRow.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"
#include "realtime/TfrmScope.h"
#include "records/CellReader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>

#include <cfloat>
#include <cmath>

namespace vandrel {

namespace {

QString notADateTime(const QString &date, const QString &time)
{
    return QStringLiteral("'%1' is not a valid date and time").arg(date + QLatin1Char(' ') + time);
}

// A plain number the chart can hold (its Y values are single precision).
std::optional<double> plainNumber(const QString &text, const QLocale &locale)
{
    const Cell cell = CellReader(locale).read(text);
    if (!cell.hasValue() || std::abs(cell.value) > double(FLT_MAX))
        return std::nullopt;
    return cell.value;
}

// A progress window that repaints a few dozen times a second at most: letting
// window messages through for every one of many rows would cost more than the rows.
// Application-modal, so nothing can close or change the table while it is read.
class ScopeGraphingProgress : public GraphingProgress
{
public:
    ScopeGraphingProgress(QWidget *parent, int maximum) : scope_(parent)
    {
        scope_.setWindowTitle(QStringLiteral("Graphing Progress"));
        scope_.Progress1->setRange(0, std::max(0, maximum));
        scope_.Progress1->setValue(0);
        scope_.Progress1->show();
        scope_.SText1->setText(QStringLiteral("graphing....."));
        scope_.SText1->adjustSize();
        scope_.SText1->show();
        scope_.setWindowModality(Qt::ApplicationModal);
        scope_.show();
        maximum_ = maximum;
        QCoreApplication::processEvents();
        paced_.start();
    }
    ~ScopeGraphingProgress() override { scope_.close(); }

    void report(int row) override
    {
        if (row != maximum_ && paced_.elapsed() < 40)
            return;
        scope_.Progress1->setValue(row);
        QCoreApplication::processEvents();
        paced_.restart();
    }

private:
    TfrmScope scope_;
    int maximum_ = 0;
    QElapsedTimer paced_;
};

// 'C' or 'F' for a unit cell (blanks around it allowed), else 0.
char unitOf(std::string_view cell)
{
    while (!cell.empty() && cell.front() == ' ')
        cell.remove_prefix(1);
    while (!cell.empty() && cell.back() == ' ')
        cell.remove_suffix(1);
    return cell == "C" || cell == "F" ? cell.front() : 0;
}

// The highest and lowest temperature drawn; they start inside the usual
// range so that a table of ordinary temperatures keeps the usual axis.
struct TemperatureExtremes {
    float max = 105.0f;
    float min = -18.0f;
    void take(double value)
    {
        const auto v = static_cast<float>(value);
        max = std::max(max, v);
        min = std::min(min, v);
    }
};

// Draws the rows of one table, each into the point before it (row r, point r - 1).
class RowPainter
{
public:
    // `unit` is the graph's temperature unit, the first row's: rows in the
    // other unit (switched on the meter during the run) are converted to it.
    RowPainter(MeterChart &chart, const StringGrid &grid, const QLocale &locale, double startTime, char unit)
        : chart_(chart), grid_(grid), cells_(locale), four_(chart.SeriesCount() == 4), time_(startTime),
          unit_(unit)
    {
    }

    // Each of the three steps stands alone: a cell that cannot be read ends
    // only its own step, and the row's other points are still drawn.
    void drawRow(int row)
    {
        const int point = row - 1;
        // A row without a readable time keeps the previous row's time for its
        // temperatures; its humidity point is left out.
        if (const auto when = cells_.dateTime(grid_.cellUtf8(ColDate, row), grid_.cellUtf8(ColTime, row))) {
            time_ = *when;
            chart_.SetX(0, point, time_);
            if (const auto rh = cells_.value(grid_.cellUtf8(ColHumidity, row)))
                chart_.SetY(0, point, *rh);
        }
        const char unit = unitOf(grid_.cellUtf8(ColUnit, row));
        drawTemperature(1, ColT1, row, unit);
        if (four_ && drawTemperature(2, ColT2, row, secondUnit(row, unit))) {
            // The dew point is drawn only as a number: an overload there is a gap.
            const std::string_view dewPoint = grid_.cellUtf8(ColDewPoint, row);
            if (!dewPoint.empty()) {
                chart_.SetX(3, point, time_);
                if (const auto y = cells_.plainNumber(dewPoint))
                    chart_.SetY(3, point, convertTemperature(*y, unit, unit_));
            }
        }
    }

    const TemperatureExtremes &extremes() const { return extremes_; }

private:
    // True when the cell held a value. A number in `unit` is drawn in the graph's.
    bool drawTemperature(int series, int column, int row, char unit)
    {
        const std::string_view text = grid_.cellUtf8(column, row);
        chart_.SetX(series, row - 1, time_);
        const auto y = cells_.value(text);
        if (!y)
            return false;
        // Overloads are drawn off the scale, as they are, and must not stretch it.
        if (trimmedCell(text) == "OL" || trimmedCell(text) == "-OL") {
            chart_.SetY(series, row - 1, *y);
            return true;
        }
        const double value = convertTemperature(*y, unit, unit_);
        chart_.SetY(series, row - 1, value);
        extremes_.take(value);
        return true;
    }

    // The unit of T2's column, or the row's first one where that is empty.
    char secondUnit(int row, char first) const
    {
        const char unit = unitOf(grid_.cellUtf8(ColSecondUnit, row));
        return unit != 0 ? unit : first;
    }

    MeterChart &chart_;
    const StringGrid &grid_;
    GraphCellReader cells_;
    bool four_;
    double time_;
    char unit_;
    TemperatureExtremes extremes_;
};

// The date-time of a row, or the message that it has none.
std::optional<double> rowTime(const StringGrid &grid, int row, const QLocale &locale, OutputGraphUi &ui)
{
    const QString date = grid.Cells(ColDate, row);
    const QString time = grid.Cells(ColTime, row);
    const auto when = tableDateTime(date, time, locale);
    if (!when)
        ui.showMessage(notADateTime(date, time));
    return when;
}

} // namespace

void OutputGraphDialogs::showMessage(const QString &text)
{
    // Each of these messages says why something could not be done.
    showMessageBox(parent_, MessageKind::Warning, text);
}

std::unique_ptr<GraphingProgress> OutputGraphDialogs::showProgress(int maximum)
{
    return std::make_unique<ScopeGraphingProgress>(parent_, maximum);
}

std::optional<double> graphCellValue(const QString &text, const QLocale &locale)
{
    if (text == QLatin1String("OL"))
        return kOverloadY;
    if (text == QLatin1String("-OL"))
        return -kOverloadY;
    return plainNumber(text, locale);
}

std::optional<double> tableDateTime(const QString &date, const QString &time, const QLocale &locale)
{
    // Date and time are read apart and added as wall-clock time, so a sample
    // taken in the hour a clock change skips still has its time.
    const QDate d = readTableDate(date, locale);
    const QTime t = QTime::fromString(time, QStringLiteral("HH:mm:ss"));
    if (!d.isValid() || !t.isValid())
        return std::nullopt;
    return toDays(d, t);
}

TfrmGraph *OutputToGraph(QMdiArea &area, TfrmList &table, OutputGraphUi &ui, const QLocale &locale)
{
    const StringGrid &grid = *table.Grid1;
    const int rows = grid.RowCount() - 1;
    if (grid.Cells(ColDate, 1).isEmpty()) {
        ui.showMessage(QStringLiteral("No data to graph !"));
        return nullptr;
    }
    const QString secondUnit = grid.Cells(ColSecondUnit, 1);
    const bool four = secondUnit.contains(QLatin1Char('F')) || secondUnit.contains(QLatin1Char('C'));

    QPointer<TfrmGraph> graph = new TfrmGraph;
    graph->showIn(area, TfrmGraph::captionFor(table.windowTitle()));
    const auto start = rowTime(grid, 1, locale, ui);
    const auto end = start ? rowTime(grid, rows, locale, ui) : std::nullopt;
    if (!start || !end)
        return graph;

    MeterChart &chart = *graph->Chart1;
    SetupMeterGraphSeries(chart, rows, *end, *start, four ? 4 : 2);
    const QString unit = grid.Cells(ColUnit, 1).trimmed();
    ShowTemperatureUnit(chart, unit);
    RowPainter painter(chart, grid, locale, *start, unitOf(grid.cellUtf8(ColUnit, 1)));
    {
        const QPointer<TfrmList> tableAlive = &table;
        std::unique_ptr<GraphingProgress> progress = ui.showProgress(rows);
        for (int r = 1; r <= rows; ++r) {
            progress->report(r);
            // Messages let through may have closed either window.
            if (!tableAlive || !graph)
                break;
            painter.drawRow(r);
        }
    }
    if (!graph)
        return nullptr;
    graph->restoreNormal();

    chart.SetWorkingAxis(1);
    chart.SetYMax(axisMaxFrom(painter.extremes().max));
    chart.SetYMin(axisMinFrom(painter.extremes().min));
    chart.Refresh();
    return graph;
}

TfrmGraph *OutputToGraphWithDialogs(QWidget *parent, QMdiArea &area, TfrmList &table)
{
    OutputGraphDialogs ui(parent);
    return OutputToGraph(area, table, ui);
}

} // namespace vandrel
