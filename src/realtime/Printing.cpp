// SPDX-License-Identifier: GPL-3.0-or-later
// Table printouts on a printer, the black-on-white graph printout, the choice
// of printout by window, and the dialogs behind them.
#include "realtime/Printing.h"

#include "platform/MeterChart.h"
#include "platform/StringGrid.h"
#include "realtime/TfrmGraph.h"
#include "realtime/PrinterSetupDialog.h"
#include "realtime/TfrmList.h"
#include "platform/DayCount.h"
#include "records/TableRow.h"
#include "realtime/TableFileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QFontDatabase>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QProgressDialog>

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
// The marker on paper: a dark red that reads on white (the screen's lime does
// not) and stays apart from the black curves.
constexpr BgrColor kPaperMarker = 0x0000B0;

// The chart's screen look while it prints black on white: saved on
// construction, put back on destruction whatever happened in between.
class BlackOnWhiteLook {
public:
    explicit BlackOnWhiteLook(MeterChart &chart);
    ~BlackOnWhiteLook();
    BlackOnWhiteLook(const BlackOnWhiteLook &) = delete;
    BlackOnWhiteLook &operator=(const BlackOnWhiteLook &) = delete;

private:
    MeterChart &chart_;
    std::array<BgrColor, kStyledSeries> series_{};
    std::array<int, kStyledSeries> lineTypes_{};
    BgrColor back_, fore_, desk_, text_, marker_;
};

BlackOnWhiteLook::BlackOnWhiteLook(MeterChart &chart)
    : chart_(chart), back_(chart.GetGraphBackColor()), fore_(chart.GetGraphForeColor()),
      desk_(chart.GetDeskColor()), text_(chart.GetTextColor()), marker_(chart.MarkerColor())
{
    // All four series, even on a two-series chart: the same set-up styles them all.
    for (int s = 0; s < kStyledSeries; ++s) {
        series_[s] = chart.GetSeriesColor(s);
        lineTypes_[s] = chart.GetLineType(s);
        chart.SetSeriesColor(s, kBlack);
    }
    chart.SetGraphBackColor(kWhite);
    chart.SetGraphForeColor(kGrey);
    chart.SetDeskColor(kWhite);
    chart.SetTextColor(kBlack);
    chart.SetMarker(chart.MarkerX(), chart.MarkerText(), kPaperMarker);
    // In black alone the curves are told apart by their lines: T1 dotted, T2 dashed.
    chart.SetLineType(1, 2);
    chart.SetLineType(2, 1);
}

BlackOnWhiteLook::~BlackOnWhiteLook()
{
    for (int s = 0; s < kStyledSeries; ++s) {
        chart_.SetSeriesColor(s, series_[s]);
        chart_.SetLineType(s, lineTypes_[s]);
    }
    chart_.SetGraphBackColor(back_);
    chart_.SetGraphForeColor(fore_);
    chart_.SetDeskColor(desk_);
    chart_.SetTextColor(text_);
    chart_.SetMarker(chart_.MarkerX(), chart_.MarkerText(), marker_);
}

QFont tableFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(kTableFontPoints);
    return font;
}

// A cancelled printout must not come out of the printer. Engines that can
// stop a job do so; the others (Qt's PDF-based ones) spool the job only when
// it ends, and a job sent to a file leaves no partial file behind.
void abortJob(QPrinter &printer, QPainter &painter)
{
    const bool aborted = printer.abort();
    painter.end();
    if (!aborted && printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        QFile::remove(printer.outputFileName());
}

// Puts back what a graph printout changes on the shared printer: the
// resolution the table printout needs, and the page layout when the graph
// printed landscape only because no set-up had been chosen.
class ChartPrinterScope {
public:
    ChartPrinterScope(QPrinter &printer, bool landscapeUntilChosen)
        : printer_(printer), resolution_(printer.resolution()), layout_(printer.pageLayout()),
          restoreLayout_(landscapeUntilChosen)
    {
        if (restoreLayout_)
            printer.setPageOrientation(QPageLayout::Landscape);
    }
    ~ChartPrinterScope()
    {
        printer_.setResolution(resolution_);
        if (restoreLayout_)
            printer_.setPageLayout(layout_);
    }
    ChartPrinterScope(const ChartPrinterScope &) = delete;
    ChartPrinterScope &operator=(const ChartPrinterScope &) = delete;

private:
    QPrinter &printer_;
    int resolution_;
    QPageLayout layout_;
    bool restoreLayout_;
};

} // namespace

bool PrintDialogs::runPrintDialog(QPrinter &printer)
{
    QPrintDialog dialog(&printer, parent_);
    // Printing to a file starts in the folder used last, as Open and Save do,
    // not wherever the program happened to be started.
    if (auto *file = dialog.findChild<QLineEdit *>(QStringLiteral("filename"))) {
        const QString name = QFileInfo(file->text()).fileName();
        const QDir folder(fileDialogStartFolder(lastFolder_ ? *lastFolder_ : QString()));
        file->setText(folder.filePath(name.isEmpty() ? QStringLiteral("print.pdf") : name));
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (lastFolder_ && printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        *lastFolder_ = QFileInfo(printer.outputFileName()).absolutePath();
    return true;
}

bool PrintDialogs::askPrint(QPrinter &printer)
{
    return runPrintDialog(printer);
}

bool PrintDialogs::askLongPrintout(int pages)
{
    return askQuestionBox(parent_, PrintLongPrintoutQuestion(pages), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool PrintDialogs::askPrinterSetup(QPrinter &printer)
{
    PrinterSetupDialog dialog(printer, availablePrinters(), parent_);
    return dialog.exec() == QDialog::Accepted;
}

bool PrintDialogs::askPrintGraph(QPrinter &printer)
{
    return runPrintDialog(printer);
}

bool PrintDialogs::printChart(MeterChart &chart, QPrinter &printer)
{
    return chart.printTo(printer);
}

PrintCells gridPrintCells(const StringGrid &grid)
{
    // The caption the user knows the table by: its sub-window's, else its window's.
    QString title = grid.window()->windowTitle();
    for (const QWidget *w = grid.parentWidget(); w; w = w->parentWidget()) {
        if (auto *frame = qobject_cast<const QMdiSubWindow *>(w)) {
            title = frame->windowTitle();
            break;
        }
    }
    return {grid.RowCount(), grid.ColCount(), [&grid](int col, int row) { return grid.Cells(col, row); }, title};
}

PrintOutcome printTableLines(QPrinter &printer, const PrintCells &cells, const PrintPageHook &beforePage)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return PrintOutcome::Failed;
    painter.setFont(tableFont());
    // Lines are placed by their top; the painter draws text on its baseline.
    const int ascent = painter.fontMetrics().ascent();
    const int pageHeight = printer.height();
    const int pages = PrintPageCount(cells.rowCount, pageHeight);
    int page = 0;
    bool pagesOk = true;
    bool cancelled = false;
    const QRect titleLine(kPrintLeftX, kPrintTitleY, printer.width() - 2 * kPrintLeftX, kPrintLineHeight);
    ForEachPrintLine(cells, pageHeight, [&](const PrintLine &line) {
        if (line.page != page) {
            if (beforePage && !beforePage(line.page, pages)) {
                cancelled = true;
                return false;
            }
            if (page != 0)
                pagesOk = printer.newPage();
            page = line.page;
            // Pages come apart: each one says what it is and where it belongs.
            if (pagesOk) {
                painter.drawText(titleLine, Qt::AlignLeft | Qt::AlignTop, cells.title);
                painter.drawText(titleLine, Qt::AlignRight | Qt::AlignTop, PrintPageNumberText(page, pages));
            }
        }
        if (pagesOk)
            painter.drawText(QPoint(kPrintLeftX, line.y + ascent), line.text);
        return pagesOk;
    });
    if (cancelled) {
        abortJob(printer, painter);
        return PrintOutcome::Cancelled;
    }
    // The job is ended also after a stop at an "empty" row.
    return painter.end() && pagesOk ? PrintOutcome::Printed : PrintOutcome::Failed;
}

PrintProgressWindow::PrintProgressWindow(QWidget *parent) : parent_(parent) {}

PrintProgressWindow::~PrintProgressWindow() = default;

bool PrintProgressWindow::pageStarting(int page, int pages)
{
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(QString(), QStringLiteral("Cancel"), 0, pages, parent_);
        dialog_->setWindowTitle(QStringLiteral("Print"));
        // Modal for the whole application: the table being printed cannot be
        // cleared or closed, nor another command started, until it is done.
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->show();
    }
    dialog_->setLabelText(PrintProgressText(page, pages));
    dialog_->setValue(page - 1);
    // Paints, the link's timers and the Cancel button all run here.
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
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

QString graphPageHeading(const QString &caption, const std::optional<std::pair<double, double>> &span, int model)
{
    QStringList parts;
    if (!caption.isEmpty())
        parts << caption;
    if (span) {
        const QDateTime from = fromDays(span->first);
        const QDateTime to = fromDays(span->second);
        const QString first = tableDate(from.date(), QLocale::c()) + QLatin1Char(' ') + tableTime(from.time());
        const QString last = from.date() == to.date()
                                 ? tableTime(to.time())
                                 : tableDate(to.date(), QLocale::c()) + QLatin1Char(' ') + tableTime(to.time());
        parts << first + QStringLiteral(" to ") + last;
    }
    if (model != 0)
        parts << QStringLiteral("Meter %1").arg(model);
    return parts.join(kHeadingSeparator);
}

QString graphPageHeadingOf(QWidget *activeChild, const MeterChart &chart)
{
    int model = 0;
    QString caption;
    if (auto *frame = qobject_cast<QMdiSubWindow *>(activeChild)) {
        caption = frame->windowTitle();
        activeChild = frame->widget();
    }
    if (activeChild && caption.isEmpty())
        caption = activeChild->windowTitle();
    if (auto *graph = qobject_cast<TfrmGraph *>(activeChild))
        model = graph->meterModel;
    return graphPageHeading(caption, chart.shownDataSpan(), model);
}

PrintService::PrintService(QWidget *dialogParent, QString *lastFolder)
    : PrintService(std::make_unique<PrintDialogs>(dialogParent, lastFolder))
{
}

PrintService::PrintService(std::unique_ptr<PrintUi> ui)
    : ui_(std::move(ui)), printer_(QPrinter::HighResolution)
{
    printer_.setResolution(kTableResolution);
}

PrintService::~PrintService() = default;

bool PrintService::printerSetup()
{
    if (!ui_->askPrinterSetup(printer_))
        return false;
    layoutChosen_ = true;
    return true;
}

bool PrintService::PrintStringGrid(const StringGrid &grid)
{
    if (!ui_->askPrint(printer_))
        return false;
    // Events run between pages; should the grid go away meanwhile, the
    // printout stops rather than read a deleted table.
    const QPointer<const StringGrid> alive(&grid);
    const PrintCells all = gridPrintCells(grid);
    const PrintCells cells{all.rowCount, all.colCount,
                           [&alive, &all](int col, int row) { return alive ? all.cell(col, row) : QString(); },
                           all.title};
    const int pages = PrintPageCount(cells.rowCount, printer_.height());
    if (pages > kPrintPagesWithoutAsking && !ui_->askLongPrintout(pages))
        return false;
    PrintProgressWindow progress(ui_->dialogParent());
    const PrintOutcome outcome = printTableLines(printer_, cells, [&](int page, int pages) {
        return progress.pageStarting(page, pages) && alive;
    });
    return outcome == PrintOutcome::Printed;
}

bool PrintService::PrintChart(MeterChart &chart)
{
    const ChartPrinterScope scope(printer_, !layoutChosen_);
    if (!ui_->askPrintGraph(printer_))
        return false;
    return vandrel::PrintChart(chart, [this](MeterChart &c) { return ui_->printChart(c, printer_); });
}

bool PrintService::printActiveChild(QWidget *activeChild)
{
    const Printout printout = printoutOf(activeChild);
    if (printout.grid)
        return PrintStringGrid(*printout.grid);
    if (printout.chart) {
        printout.chart->setPageHeading(graphPageHeadingOf(activeChild, *printout.chart));
        return PrintChart(*printout.chart);
    }
    return false;
}

} // namespace vandrel
