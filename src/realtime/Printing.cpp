// SPDX-License-Identifier: GPL-3.0-or-later
// Table printouts on a printer, the black-on-white graph printout, the choice
// of printout by window, and the dialogs behind them.
#include "realtime/Printing.h"

#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QFontDatabase>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>

#include <array>

namespace vandrel {

namespace {

// At 600 dots per inch the fixed 100-unit line pitch is six lines per inch
// and an 8 point font fits in it; at the 1200 dpi of Qt's high-resolution PDF
// output the lines would overlap.
constexpr int kTableResolution = 600;
constexpr int kTableFontPoints = 8;

constexpr int kStyledSeries = 4;
constexpr BgrColor kBlack = 0x000000;
constexpr BgrColor kWhite = 0xFFFFFF;
constexpr BgrColor kGrey = 0x808080;

// The chart's screen look while it prints black on white: saved on
// construction, put back on destruction whatever happened in between.
class BlackOnWhiteLook {
public:
    explicit BlackOnWhiteLook(MeterChart &chart);
    ~BlackOnWhiteLook();
    BlackOnWhiteLook(const BlackOnWhiteLook &) = delete;
    BlackOnWhiteLook &operator=(const BlackOnWhiteLook &) = delete;

private:
    MeterChart &m_chart;
    std::array<BgrColor, kStyledSeries> m_series{};
    std::array<int, kStyledSeries> m_lineTypes{};
    BgrColor m_back, m_fore, m_desk, m_text;
};

BlackOnWhiteLook::BlackOnWhiteLook(MeterChart &chart)
    : m_chart(chart), m_back(chart.GetGraphBackColor()), m_fore(chart.GetGraphForeColor()),
      m_desk(chart.GetDeskColor()), m_text(chart.GetTextColor())
{
    // All four series, even on a two-series chart: the same set-up styles them all.
    for (int s = 0; s < kStyledSeries; ++s) {
        m_series[s] = chart.GetSeriesColor(s);
        m_lineTypes[s] = chart.GetLineType(s);
        chart.SetSeriesColor(s, kBlack);
    }
    chart.SetGraphBackColor(kWhite);
    chart.SetGraphForeColor(kGrey);
    chart.SetDeskColor(kWhite);
    chart.SetTextColor(kBlack);
    // In black alone the curves are told apart by their lines: T1 dotted, T2 dashed.
    chart.SetLineType(1, 2);
    chart.SetLineType(2, 1);
}

BlackOnWhiteLook::~BlackOnWhiteLook()
{
    for (int s = 0; s < kStyledSeries; ++s) {
        m_chart.SetSeriesColor(s, m_series[s]);
        m_chart.SetLineType(s, m_lineTypes[s]);
    }
    m_chart.SetGraphBackColor(m_back);
    m_chart.SetGraphForeColor(m_fore);
    m_chart.SetDeskColor(m_desk);
    m_chart.SetTextColor(m_text);
}

QFont tableFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(kTableFontPoints);
    return font;
}

} // namespace

bool PrintDialogs::askPrint(QPrinter &printer)
{
    QPrintDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

bool PrintDialogs::askPrinterSetup(QPrinter &printer)
{
    QPageSetupDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

bool PrintDialogs::printChart(MeterChart &chart)
{
    return chart.PrintWithDialog();
}

PrintCells gridPrintCells(const StringGrid &grid)
{
    return {grid.RowCount(), grid.ColCount(),
            [&grid](int col, int row) { return grid.Cells(col, row); }};
}

bool printTableLines(QPrinter &printer, const PrintCells &cells)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(tableFont());
    // Lines are placed by their top; the painter draws text on its baseline.
    const int ascent = painter.fontMetrics().ascent();
    int page = 1;
    bool pagesOk = true;
    ForEachPrintLine(cells, printer.height(), [&](const PrintLine &line) {
        if (line.page != page) {
            pagesOk = printer.newPage();
            page = line.page;
        }
        if (pagesOk)
            painter.drawText(QPoint(kPrintLeftX, line.y + ascent), line.text);
        return pagesOk;
    });
    // The job is ended also after a stop at an "empty" row.
    return painter.end() && pagesOk;
}

bool PrintChart(MeterChart &chart, const std::function<bool(MeterChart &)> &print)
{
    const BlackOnWhiteLook look(chart);
    return print(chart);
}

Printout printoutOf(QWidget *activeChild)
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(activeChild))
        activeChild = frame->widget();
    if (auto *table = qobject_cast<TfrmList *>(activeChild))
        return {table->Grid1, nullptr};
    if (auto *graph = qobject_cast<TfrmGraph *>(activeChild))
        return {nullptr, graph->Chart1};
    // The data-logger window prints its Grid1 (the selected data set's table)
    // like a table window; its graph has no printout of its own.
    if (activeChild && activeChild->objectName() == QLatin1String("frmDataLogger"))
        return {activeChild->findChild<StringGrid *>(QStringLiteral("Grid1")), nullptr};
    return {};
}

PrintService::PrintService(QWidget *dialogParent)
    : PrintService(std::make_unique<PrintDialogs>(dialogParent))
{
}

PrintService::PrintService(std::unique_ptr<PrintUi> ui)
    : m_ui(std::move(ui)), m_printer(QPrinter::HighResolution)
{
    m_printer.setResolution(kTableResolution);
}

PrintService::~PrintService() = default;

bool PrintService::printerSetup()
{
    return m_ui->askPrinterSetup(m_printer);
}

bool PrintService::PrintStringGrid(const StringGrid &grid)
{
    if (!m_ui->askPrint(m_printer))
        return false;
    return printTableLines(m_printer, gridPrintCells(grid));
}

bool PrintService::PrintChart(MeterChart &chart)
{
    return vandrel::PrintChart(chart, [this](MeterChart &c) { return m_ui->printChart(c); });
}

bool PrintService::printActiveChild(QWidget *activeChild)
{
    const Printout printout = printoutOf(activeChild);
    if (printout.grid)
        return PrintStringGrid(*printout.grid);
    if (printout.chart)
        return PrintChart(*printout.chart);
    return false;
}

} // namespace vandrel
