// SPDX-License-Identifier: GPL-3.0-or-later
// The print commands: a table as fixed-width text lines, a graph in black on
// white through the chart's own print dialog, and the printer set-up.
#pragma once

#include "realtime/PrintLayout.h"

#include <QPrinter>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QProgressDialog;
class QWidget;

namespace vandrel {

class MeterChart;
class StringGrid;

// Everything printing asks of the user, so tests can answer instead.
class PrintUi {
public:
    virtual ~PrintUi() = default;
    // The print dialog before a table printout, on `printer`; true = Print.
    virtual bool askPrint(QPrinter &printer) = 0;
    // The printer set-up dialog on `printer`; true = accepted.
    virtual bool askPrinterSetup(QPrinter &printer) = 0;
    // Asked before a table printout of more than 500 pages, saying how many;
    // true = print them.
    virtual bool askLongPrintout(int pages)
    {
        (void)pages;
        return true;
    }
    // The print dialog before a graph printout, on `printer`; true = Print.
    // It is asked before the chart takes its paper colours, so the graph on
    // the screen keeps its own while the dialog is open.
    virtual bool askPrintGraph(QPrinter &printer)
    {
        (void)printer;
        return true;
    }
    // The chart printed on `printer` as the printer's page layout says; true
    // when it printed.
    virtual bool printChart(MeterChart &chart, QPrinter &printer) = 0;
    // The window that owns the table printout's progress window.
    virtual QWidget *dialogParent() const { return nullptr; }
};

// The real dialogs, parented to the main window.
class PrintDialogs : public PrintUi {
public:
    // `lastFolder` (may be null): where printing to a file starts, and then
    // the folder printed to.
    explicit PrintDialogs(QWidget *parent, QString *lastFolder = nullptr) : parent_(parent), lastFolder_(lastFolder) {}
    bool askPrint(QPrinter &printer) override;
    bool askPrinterSetup(QPrinter &printer) override;
    bool askLongPrintout(int pages) override;
    bool askPrintGraph(QPrinter &printer) override;
    bool printChart(MeterChart &chart, QPrinter &printer) override;
    QWidget *dialogParent() const override { return parent_; }

private:
    bool runPrintDialog(QPrinter &printer);

    QWidget *parent_;
    QString *lastFolder_;
};

// The cells of a grid as a table printout reads them, titled with the
// caption of the window the grid is in.
PrintCells gridPrintCells(const StringGrid &grid);

enum class PrintOutcome { Printed, Cancelled, Failed };

// Asked before each page of a table printout with the page number and the
// page count; false cancels the printout.
using PrintPageHook = std::function<bool(int page, int pages)>;

// Draws a table's lines on `printer` as one print job, without asking.
// Failed when the printer could not be opened or a page not started.
// Cancelled by `beforePage`, the job is aborted: a job printed to a file
// leaves no file behind.
PrintOutcome printTableLines(QPrinter &printer, const PrintCells &cells, const PrintPageHook &beforePage = {});

// The progress window of a long table printout, with its Cancel button.
// It is application-modal and lets events through at every page, so the
// program stays painted and the meter keeps being read while it prints.
class PrintProgressWindow {
public:
    explicit PrintProgressWindow(QWidget *parent);
    ~PrintProgressWindow();
    PrintProgressWindow(const PrintProgressWindow &) = delete;
    PrintProgressWindow &operator=(const PrintProgressWindow &) = delete;
    // Shows `page` of `pages` (opening the window the first time); false
    // once the user has cancelled.
    bool pageStarting(int page, int pages);

private:
    QWidget *parent_;
    std::unique_ptr<QProgressDialog> dialog_;
};

// Prints the chart in black on white through `print` and then gives it back
// its screen colours and line types exactly, also when `print` fails or throws.
// Returns what `print` returned.
bool PrintChart(MeterChart &chart, const std::function<bool(MeterChart &)> &print);

// What the print command prints for a child window (or its sub-window frame):
// at most one of the two is set.
struct Printout {
    StringGrid *grid = nullptr;
    MeterChart *chart = nullptr;
};
Printout printoutOf(QWidget *activeChild);

// The line above a printed or exported graph: the window's caption, the
// first and last time drawn with their dates (the second date only when it
// differs) and the meter model where one is known (0: none).
QString graphPageHeading(const QString &caption, const std::optional<std::pair<double, double>> &span, int model);
// That line for the chart of a child window (or its sub-window frame).
QString graphPageHeadingOf(QWidget *activeChild, const MeterChart &chart);

// Owned by the main window: the printer that the set-up dialog chooses and
// the table printout uses, and the commands that use it.
class PrintService {
public:
    explicit PrintService(QWidget *dialogParent, QString *lastFolder = nullptr);
    explicit PrintService(std::unique_ptr<PrintUi> ui);
    PrintService(const PrintService &) = delete;
    PrintService &operator=(const PrintService &) = delete;
    ~PrintService();

    QPrinter &printer() { return printer_; }

    // The printer set-up dialog and nothing else; true when accepted.
    // From then on graphs print in the orientation chosen there too.
    bool printerSetup();
    // Asks with the print dialog (and, past 500 pages, whether to print them
    // all), then prints every row of the grid with a progress window. False
    // when cancelled in any (nothing reaches the printer where it can be
    // stopped) or the printer could not be opened.
    bool PrintStringGrid(const StringGrid &grid);
    // The chart in black on white through its print dialog, on the chosen
    // printer; landscape until a page set-up has been chosen.
    bool PrintChart(MeterChart &chart);
    // The print command: the table of a table window, the chart of a graph
    // window, nothing for any other window or none. True when something printed.
    bool printActiveChild(QWidget *activeChild);

private:
    std::unique_ptr<PrintUi> ui_;
    QPrinter printer_;
    bool layoutChosen_ = false;
};

} // namespace vandrel
