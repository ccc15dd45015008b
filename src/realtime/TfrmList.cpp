// SPDX-License-Identifier: GPL-3.0-or-later
// Table window and the real-time table's row rules.
#include "realtime/TfrmList.h"

#include "meter/ModelTraits.h"
#include "platform/NumberText.h"
#include "records/CellReader.h"
#include "records/TableRow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace vandrel {

TfrmList::TfrmList(QWidget *parent) : MdiChild(parent)
{
    setObjectName(QStringLiteral("frmList"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Grid1 = new StringGrid(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setColCount(kTableColumns);
    Grid1->setRowCount(2);
    Grid1->setRowSelect(true);
    layout->addWidget(Grid1);
}

QMdiSubWindow *TfrmList::showIn(QMdiArea &area, const QString &caption, const QRect &bounds)
{
    QMdiSubWindow *w = MdiChild::showIn(area, caption, bounds, QSize(508, 360));
    FormShow();
    w->show();
    return w;
}

void TfrmList::FormShow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    Grid1->setDefaultRowHeight(screen && screen->geometry().width() > 480 ? 20 : 16);
    const QStringList headings = tableHeadings(0);
    for (int c = 0; c < headings.size(); ++c)
        Grid1->setCells(c, 0, headings.at(c));
    ApplyTableColumnWidths(*Grid1);
    Grid1->setFixedColor(Qt::white);
}

void TfrmList::closeEvent(QCloseEvent *event)
{
    if (closeQuery && !closeQuery()) {
        event->ignore();
        return;
    }
    event->accept();
}

namespace {

// Keeps the design width but widens a column to its heading and to the
// widest text it can hold: a million rows' numbers, the user's longest date,
// a value with its sign, so no cell is cut short.
void fitColumnsToTheirTexts(StringGrid &grid)
{
    constexpr int padding = 12;
    const QFontMetrics cells = grid.fontMetrics();
    const QFontMetrics headings = grid.horizontalHeader()->fontMetrics();
    const QString widest[] = {QStringLiteral("0000000"), tableDate(QDate(2028, 12, 28)), QStringLiteral("00:00:00"),
                              QStringLiteral("-000.0"), QStringLiteral("%RH"), QStringLiteral("-0000.0"),
                              QStringLiteral("C"), QStringLiteral("-0000.0"), QStringLiteral("C"),
                              QStringLiteral("-0000.0")};
    for (int c = ColNumber; c <= ColDewPoint && c < grid.ColCount(); ++c) {
        const int needed = std::max(cells.horizontalAdvance(widest[c]), headings.horizontalAdvance(grid.Cells(c, 0)));
        grid.setColWidths(c, std::max(grid.ColWidths(c), needed + padding));
    }
}

} // namespace

void ApplyTableColumnWidths(StringGrid &grid)
{
    const double factors[] = {0.8, 1.4, 1.3, 1.0, 0.6, 1.0, 0.8, 0.9, 0.8};
    const int base = grid.DefaultColWidth();
    for (int c = ColNumber; c < ColDewPoint; ++c)
        grid.setColWidths(c, static_cast<int>(base * factors[c]));
    fitColumnsToTheirTexts(grid);
}

void ApplyTableHeadings(StringGrid &grid, int model)
{
    const QStringList h = modelHeadings(model);
    for (int i = 0; i < h.size(); ++i)
        grid.setCells(ColT1 + i, 0, h.at(i));
    fitColumnsToTheirTexts(grid);
}

void AppendTableRow(StringGrid &grid, const QDateTime &timestamp, const MeterReading &reading,
                    const MeterIdentity &id)
{
    // The view follows the newest row only while it shows the newest row: a
    // user who scrolled up to read earlier rows is left where they are.
    const int visible = grid.VisibleRowCount();
    const bool following = grid.TopRow() + visible >= grid.RowCount();
    if (!grid.Cells(ColNumber, 1).isEmpty())
        grid.setRowCount(grid.RowCount() + 1);
    if (following && visible < grid.RowCount())
        grid.setTopRow(grid.RowCount() - visible);
    const int r = grid.RowCount() - 1;
    const QStringList cells = realTimeRowCells(r, timestamp, reading, id);
    for (int c = 0; c < cells.size() && c < grid.ColCount(); ++c) {
        // Cells a model does not fill are left as they are.
        if (!cells.at(c).isEmpty())
            grid.setCells(c, r, cells.at(c));
    }
}

void ClearTable(StringGrid &grid)
{
    grid.setRowCount(2);
    for (int c = 0; c < grid.ColCount(); ++c)
        grid.setCells(c, 1, QString());
}

void SyncMarker(MeterChart &chart, const StringGrid &grid, int row, char modelSuffix)
{
    chart.SetMarkerTextSize(100);
    // The table may come from a file of any meter: its row says whether it
    // holds two temperatures; the dew point follows the connected meter.
    const TableLayout layout{!grid.Cells(ColT2, row).isEmpty(), isDewPointVariant(modelSuffix)};
    // Where the table's rows run over more than one day, a time alone could be any of them.
    const bool spansDays = grid.Cells(ColDate, 1) != grid.Cells(ColDate, grid.RowCount() - 1);
    // The graph is in the unit of the table's first row; a row the °C/°F key
    // switched is labelled in that unit too, as the graph draws it.
    const auto unitOf = [&](int r) { return grid.Cells(ColUnit, r).contains(QLatin1Char('F')) ? 'F' : 'C'; };
    const char graphUnit = unitOf(1), rowUnit = unitOf(row);
    const CellReader reader;
    const auto cell = [&](TableColumn c) {
        const QString text = grid.Cells(c, row);
        if (rowUnit == graphUnit || (c != ColT1 && c != ColT2 && c != ColDewPoint))
            return text;
        const Cell value = reader.read(text);
        return value.hasValue() ? formatFixed(convertTemperature(value.value, rowUnit, graphUnit), 1) : text;
    };
    const QString text = markerLabel(cell, layout, spansDays);
    try {
        chart.SetMarker(chart.GetX(0, row - 1), text, 0x00FF00);
    } catch (const std::exception &) {
        return; // a row beyond the graph's points has no marker
    }
    chart.Refresh();
}

} // namespace vandrel
