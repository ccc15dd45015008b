// SPDX-License-Identifier: GPL-3.0-or-later
// The print commands through their real code, with the dialogs answered by a
// script and the output going to PDF files that the tests read back.
#include "realtime/GraphSetup.h"
#include "realtime/PrinterSetupDialog.h"
#include "realtime/Printing.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <stdexcept>

using namespace vandrel;

namespace {

// What the scripted user answers, and what the commands asked of it.
struct Script {
    bool acceptPrint = true;
    QString printToFile; // where an accepted print dialog sends the table
    QString chartToFile; // where a graph printout goes; empty: not printed
    std::function<void(QPrinter &)> setupChoice;
    int printAsked = 0;
    int setupAsked = 0;
    // Called while the graph's print dialog is open.
    std::function<void()> whileGraphDialogOpen;
    bool longAnswer = true; // the answer to a printout of very many pages
    int longAsked = 0;      // the page count it was asked with
    std::vector<MeterChart *> chartsPrinted;
};

class ScriptedPrintUi : public PrintUi {
public:
    explicit ScriptedPrintUi(Script &script) : s_(script) {}
    bool askPrint(QPrinter &printer) override
    {
        ++s_.printAsked;
        if (s_.acceptPrint)
            printer.setOutputFileName(s_.printToFile);
        return s_.acceptPrint;
    }
    bool askPrinterSetup(QPrinter &printer) override
    {
        ++s_.setupAsked;
        s_.setupChoice(printer);
        return true;
    }
    bool askLongPrintout(int pages) override
    {
        s_.longAsked = pages;
        return s_.longAnswer;
    }
    bool askPrintGraph(QPrinter &) override
    {
        if (s_.whileGraphDialogOpen)
            s_.whileGraphDialogOpen();
        return true;
    }
    bool printChart(MeterChart &chart, QPrinter &printer) override
    {
        s_.chartsPrinted.push_back(&chart);
        if (s_.chartToFile.isEmpty())
            return true;
        printer.setOutputFileName(s_.chartToFile);
        return chart.printTo(printer);
    }

private:
    Script &s_;
};

int pdfPageCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
}

// The page sizes of a PDF in points, in page order.
std::vector<QSizeF> pdfPageSizes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    static const QRegularExpression box(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)"));
    std::vector<QSizeF> sizes;
    for (auto it = box.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        sizes.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return sizes;
}

// The text of each page, or nothing when the PDF text tool is not installed.
std::optional<QStringList> pdfPages(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(-1);
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// Rows 1..rows-1 named "row001".. in column 0, a heading row above them.
void fillTable(StringGrid &grid, int rows)
{
    grid.setRowCount(rows);
    grid.setCells(0, 0, QStringLiteral("NO"));
    grid.setCells(3, 0, QStringLiteral("HUMIDITY"));
    for (int r = 1; r < rows; ++r) {
        grid.setCells(0, r, QStringLiteral("row%1").arg(r, 3, 10, QLatin1Char('0')));
        grid.setCells(3, r, QStringLiteral("45.6"));
    }
}

class PrintServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        script.printToFile = dir.filePath(QStringLiteral("table.pdf"));
        QPrinter &p = service.printer();
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setPageSize(QPageSize(QPageSize::Letter));
        p.setPageMargins(QMarginsF(0, 0, 0, 0));
        ASSERT_EQ(p.height(), 6600); // 11 inches at the printout's 600 dpi
    }

    QTemporaryDir dir;
    Script script;
    PrintService service{std::make_unique<ScriptedPrintUi>(script)};
    TfrmList table;
};

} // namespace

TEST_F(PrintServiceTest, TableOfSixtyOneRowsPrintsRowSixtyAloneOnPageTwo)
{
    QMdiArea area;
    auto *framed = new TfrmList;
    fillTable(*framed->Grid1, 61);
    framed->showIn(area, QStringLiteral("greenhouse.csv"));
    ASSERT_TRUE(service.printActiveChild(framed));
    EXPECT_EQ(script.printAsked, 1);
    EXPECT_EQ(pdfPageCount(script.printToFile), 2);
    const auto pages = pdfPages(script.printToFile);
    if (!pages)
        GTEST_SKIP() << "pdftotext is not installed; page texts not checked";
    ASSERT_EQ(pages->size(), 2);
    EXPECT_TRUE(pages->at(0).contains(QRegularExpression(QStringLiteral("NO +DATE +TIME +HUMIDITY +UNIT"))));
    EXPECT_TRUE(pages->at(0).contains(QStringLiteral("row059")));
    EXPECT_FALSE(pages->at(0).contains(QStringLiteral("row060")));
    // Every page: the window's caption and its number at the top, then the
    // heading row, then its rows.
    const QStringList second = pages->at(1).trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(second.size(), 3) << pages->at(1).toStdString();
    EXPECT_TRUE(second[0].contains(QRegularExpression(QStringLiteral("^greenhouse\\.csv +page 2 of 2$"))))
        << second[0].toStdString();
    EXPECT_TRUE(second[1].contains(QRegularExpression(QStringLiteral("^NO +DATE +TIME +HUMIDITY +UNIT")))) << second[1].toStdString();
    EXPECT_TRUE(second[2].contains(QRegularExpression(QStringLiteral("^row060 +45\\.6$")))) << second[2].toStdString();
    EXPECT_TRUE(pages->at(0).contains(QRegularExpression(QStringLiteral("greenhouse\\.csv +page 1 of 2"))));
}

TEST_F(PrintServiceTest, PrintoutsOfMoreThanFiveHundredPagesAskFirstSayingHowMany)
{
    // Pages one line high past the heading: each row is a page of its own.
    service.printer().setPageSize(QPageSize(QSizeF(4, 0.5), QPageSize::Inch));
    ASSERT_EQ(PrintLinesPerPage(service.printer().height()), 2);
    struct Case {
        int rows;
        bool answer;
        int asked;    // the page count asked about; 0: not asked
        bool printed;
    };
    const Case cases[] = {{12, false, 0, true}, {502, false, 501, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        fillTable(*table.Grid1, c.rows);
        script.longAnswer = c.answer;
        script.longAsked = 0;
        script.printToFile = dir.filePath(QStringLiteral("long%1.pdf").arg(c.rows));
        EXPECT_EQ(service.PrintStringGrid(*table.Grid1), c.printed);
        EXPECT_EQ(script.longAsked, c.asked);
        EXPECT_EQ(QFile::exists(script.printToFile), c.printed);
    }
}

TEST_F(PrintServiceTest, CancelledPrintDialogPrintsNothing)
{
    fillTable(*table.Grid1, 5);
    script.acceptPrint = false;
    EXPECT_FALSE(service.PrintStringGrid(*table.Grid1));
    EXPECT_EQ(script.printAsked, 1);
    EXPECT_FALSE(QFile::exists(script.printToFile));
    EXPECT_EQ(service.printer().printerState(), QPrinter::Idle);
}

TEST_F(PrintServiceTest, RowContainingEmptyEndsThePrintoutAndTheJob)
{
    fillTable(*table.Grid1, 6);
    table.Grid1->setCells(5, 3, QStringLiteral("empty"));
    ASSERT_TRUE(service.PrintStringGrid(*table.Grid1));
    EXPECT_EQ(service.printer().printerState(), QPrinter::Idle);
    EXPECT_EQ(pdfPageCount(script.printToFile), 1);
    const auto pages = pdfPages(script.printToFile);
    if (!pages)
        GTEST_SKIP() << "pdftotext is not installed; page texts not checked";
    ASSERT_EQ(pages->size(), 1);
    EXPECT_TRUE(pages->at(0).contains(QStringLiteral("row002")));
    EXPECT_FALSE(pages->at(0).contains(QStringLiteral("row003")));
    EXPECT_FALSE(pages->at(0).contains(QStringLiteral("row004")));
}

TEST_F(PrintServiceTest, PrinterChosenInSetUpIsTheOneTheTablePrintoutUses)
{
    fillTable(*table.Grid1, 55);
    ASSERT_TRUE(service.PrintStringGrid(*table.Grid1));
    EXPECT_EQ(pdfPageCount(script.printToFile), 1);

    // Landscape letter: 5100 units high, 50 lines per page.
    script.setupChoice = [](QPrinter &p) { p.setPageOrientation(QPageLayout::Landscape); };
    ASSERT_TRUE(service.printerSetup());
    EXPECT_EQ(script.setupAsked, 1);
    script.printToFile = dir.filePath(QStringLiteral("landscape.pdf"));
    ASSERT_TRUE(service.PrintStringGrid(*table.Grid1));
    EXPECT_EQ(pdfPageCount(script.printToFile), 2);
}

namespace {

// Every text the printout's progress window showed on screen, in order.
class ProgressPaints : public QObject {
public:
    QStringList painted;
    ProgressPaints() { qApp->installEventFilter(this); }
    ~ProgressPaints() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *label = qobject_cast<QLabel *>(watched);
        if (event->type() == QEvent::Paint && label && qobject_cast<QProgressDialog *>(label->parent()) &&
            (painted.isEmpty() || painted.last() != label->text()))
            painted << label->text();
        return false;
    }
};

} // namespace

TEST_F(PrintServiceTest, ProgressWindowShowsEveryPageAndItsCancelAbortsThePrintout)
{
    fillTable(*table.Grid1, 601); // eleven pages of sixty lines
    struct Case {
        int cancelAtPage; // 0: never
        bool printed;
    };
    const Case cases[] = {{0, true}, {4, false}, {1, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cancelAtPage);
        script.printToFile = dir.filePath(QStringLiteral("progress%1.pdf").arg(c.cancelAtPage));
        ProgressPaints paints;
        // Cancel is clicked from an event once the window has shown the page
        // on screen, so it only happens at all if the printout lets events
        // through; the click lands while that page or the next one starts.
        int clicks = 0;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
            if (c.cancelAtPage > 0 && clicks == 0 && dialog &&
                paints.painted.contains(PrintProgressText(c.cancelAtPage, 11))) {
                dialog->findChild<QPushButton *>()->click();
                ++clicks;
            }
        });
        clicker.start(0);
        EXPECT_EQ(service.PrintStringGrid(*table.Grid1), c.printed);
        clicker.stop();

        EXPECT_EQ(clicks, c.cancelAtPage > 0 ? 1 : 0);
        const int lastShown = static_cast<int>(paints.painted.size());
        EXPECT_GE(lastShown, c.printed ? 11 : c.cancelAtPage);
        EXPECT_LE(lastShown, c.printed ? 11 : c.cancelAtPage + 1);
        QStringList everyPage;
        for (int page = 1; page <= lastShown; ++page)
            everyPage << PrintProgressText(page, 11);
        EXPECT_EQ(paints.painted, everyPage);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_NE(service.printer().printerState(), QPrinter::Active);
        // A cancelled printout leaves nothing behind, not even its first pages.
        EXPECT_EQ(QFile::exists(script.printToFile), c.printed);
        if (c.printed) {
            EXPECT_EQ(pdfPageCount(script.printToFile), 11);
        }
    }
}

TEST_F(PrintServiceTest, PrintCommandFollowsTheActiveWindowKind)
{
    TfrmGraph graph;
    QWidget panel;
    EXPECT_FALSE(service.printActiveChild(&panel));
    EXPECT_FALSE(service.printActiveChild(nullptr));
    EXPECT_EQ(script.printAsked, 0);
    EXPECT_TRUE(script.chartsPrinted.empty());

    EXPECT_TRUE(service.printActiveChild(&graph));
    EXPECT_EQ(script.chartsPrinted, std::vector<MeterChart *>{graph.Chart1});
    EXPECT_EQ(script.printAsked, 0);

    // The main window hands over its active sub-window frame.
    QMdiArea area;
    auto *framed = new TfrmList;
    QMdiSubWindow *frame = framed->showIn(area, QStringLiteral("Real Time Table"));
    EXPECT_EQ(printoutOf(frame).grid, framed->Grid1);
    EXPECT_EQ(printoutOf(frame).chart, nullptr);
}

namespace {

struct ChartLook {
    std::array<BgrColor, 4> series{};
    std::array<int, 4> lineTypes{};
    BgrColor back = 0, fore = 0, desk = 0, text = 0;
    bool operator==(const ChartLook &) const = default;
};

ChartLook lookOf(const MeterChart &chart)
{
    ChartLook look;
    for (int s = 0; s < 4; ++s) {
        look.series[s] = chart.GetSeriesColor(s);
        look.lineTypes[s] = chart.GetLineType(s);
    }
    look.back = chart.GetGraphBackColor();
    look.fore = chart.GetGraphForeColor();
    look.desk = chart.GetDeskColor();
    look.text = chart.GetTextColor();
    return look;
}

// A two-series graph whose screen look differs from the printed one everywhere.
void setUpChart(MeterChart &chart)
{
    SetupMeterGraph(chart, 10, 45001.0, 45000.0, 520);
    for (int p = 0; p < 10; ++p) {
        chart.SetX(0, p, 45000.0 + p / 10.0);
        chart.SetY(0, p, 40.0 + p);
        chart.SetX(1, p, 45000.0 + p / 10.0);
        chart.SetY(1, p, 20.0 - p);
    }
    chart.Refresh();
    const BgrColor colours[] = {0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFF0000};
    const int lineTypes[] = {3, 4, 4, 2};
    for (int s = 0; s < 4; ++s) {
        chart.SetSeriesColor(s, colours[s]);
        chart.SetLineType(s, lineTypes[s]);
    }
}

} // namespace

TEST(PrintChart, PrintsBlackOnWhiteAndRestoresTheScreenLookExactly)
{
    QTemporaryDir dir;
    MeterChart chart;
    chart.resize(640, 480);
    setUpChart(chart);
    const ChartLook screen = lookOf(chart);

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("graph.pdf")));
    ChartLook printed;
    EXPECT_TRUE(PrintChart(chart, [&](MeterChart &c) {
        printed = lookOf(c);
        return c.printTo(printer);
    }));
    const ChartLook blackOnWhite{{0, 0, 0, 0}, {3, 2, 1, 2}, 0xFFFFFF, 0x808080, 0xFFFFFF, 0};
    EXPECT_EQ(printed, blackOnWhite);
    EXPECT_EQ(lookOf(chart), screen);
    EXPECT_EQ(pdfPageCount(printer.outputFileName()), 1);
    EXPECT_GT(QFile(printer.outputFileName()).size(), 2000);
}

TEST(PrintChart, ScreenLookComesBackWhenPrintingIsCancelledOrFails)
{
    MeterChart chart;
    setUpChart(chart);
    const ChartLook screen = lookOf(chart);
    EXPECT_FALSE(PrintChart(chart, [](MeterChart &) { return false; }));
    EXPECT_EQ(lookOf(chart), screen);
    EXPECT_THROW(PrintChart(chart, [](MeterChart &) -> bool { throw std::runtime_error("paper"); }),
                 std::runtime_error);
    EXPECT_EQ(lookOf(chart), screen);
}

TEST_F(PrintServiceTest, GraphsPrintInTheChosenOrientationAndTablesKeepTheirPaging)
{
    TfrmGraph graph;
    setUpChart(*graph.Chart1);
    fillTable(*table.Grid1, 55);
    struct Case {
        std::optional<QPageLayout::Orientation> chosen; // none: no set-up yet
        bool landscapeGraph;
        int tablePages;
    };
    const Case cases[] = {
        {std::nullopt, true, 1},
        {QPageLayout::Portrait, false, 1},
        {QPageLayout::Landscape, true, 2},
    };
    int i = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(i);
        if (c.chosen) {
            const QPageLayout::Orientation o = *c.chosen;
            script.setupChoice = [o](QPrinter &p) { p.setPageOrientation(o); };
            ASSERT_TRUE(service.printerSetup());
        }
        script.chartToFile = dir.filePath(QStringLiteral("graph%1.pdf").arg(i));
        ASSERT_TRUE(service.printActiveChild(&graph));
        const std::vector<QSizeF> sizes = pdfPageSizes(script.chartToFile);
        ASSERT_EQ(sizes.size(), 1u);
        EXPECT_EQ(sizes[0].width() > sizes[0].height(), c.landscapeGraph) << sizes[0].width();

        // The graph leaves the printer as the table printout needs it.
        script.printToFile = dir.filePath(QStringLiteral("table%1.pdf").arg(i++));
        ASSERT_TRUE(service.PrintStringGrid(*table.Grid1));
        EXPECT_EQ(pdfPageCount(script.printToFile), c.tablePages);
    }
}

TEST(PrinterSetupDialog, OkAppliesTheChosenPaperAndOrientationCancelLeavesThePrinter)
{
    struct Case {
        QPageSize::PageSizeId paper;
        bool landscape;
        bool ok;
        QPageSize::PageSizeId expectedPaper;
        QPageLayout::Orientation expectedOrientation;
    };
    const Case cases[] = {
        {QPageSize::A4, true, true, QPageSize::A4, QPageLayout::Landscape},
        {QPageSize::Legal, false, true, QPageSize::Legal, QPageLayout::Portrait},
        {QPageSize::A3, true, false, QPageSize::Letter, QPageLayout::Portrait},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QPageSize(c.paper).name().toStdString());
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Portrait);
        PrinterSetupDialog dialog(printer, {QStringLiteral("Office"), QStringLiteral("Lab")});

        // The system's printers and a PDF file, the printer's own settings selected.
        QStringList printers;
        for (int i = 0; i < dialog.cmbPrinter->count(); ++i)
            printers << dialog.cmbPrinter->itemText(i);
        EXPECT_EQ(printers, (QStringList{"Office", "Lab", "PDF file"}));
        EXPECT_EQ(dialog.cmbPrinter->currentText(), "PDF file");
        EXPECT_EQ(dialog.cmbPaper->currentText(), QPageSize(QPageSize::Letter).name());
        EXPECT_TRUE(dialog.radPortrait->isChecked());

        const int paper = dialog.cmbPaper->findText(QPageSize(c.paper).name());
        ASSERT_GE(paper, 0);
        dialog.cmbPaper->setCurrentIndex(paper);
        (c.landscape ? dialog.radLandscape : dialog.radPortrait)->setChecked(true);
        if (c.ok)
            dialog.accept();
        else
            dialog.reject();
        EXPECT_EQ(printer.pageLayout().pageSize().id(), c.expectedPaper);
        EXPECT_EQ(printer.pageLayout().orientation(), c.expectedOrientation);
        EXPECT_EQ(printer.outputFormat(), QPrinter::PdfFormat);
    }
}

TEST_F(PrintServiceTest, GraphKeepsItsScreenColoursWhileThePrintDialogIsOpen)
{
    TfrmGraph graph;
    setUpChart(*graph.Chart1);
    graph.Chart1->SetMarker(45000.5, QStringLiteral("12:00:00"), 0x00FF00);
    const ChartLook screen = lookOf(*graph.Chart1);
    std::optional<ChartLook> duringDialog;
    BgrColor markerDuringDialog = 0;
    script.whileGraphDialogOpen = [&] {
        duringDialog = lookOf(*graph.Chart1);
        markerDuringDialog = graph.Chart1->MarkerColor();
    };
    BgrColor markerOnPaper = 0x00FF00;
    script.chartToFile = dir.filePath(QStringLiteral("graph.pdf"));
    ASSERT_TRUE(service.printActiveChild(&graph));
    ASSERT_TRUE(duringDialog.has_value());
    EXPECT_EQ(*duringDialog, screen);
    EXPECT_EQ(markerDuringDialog, 0x00FF00u);
    // On paper the lime marker, unreadable on white, takes another colour.
    EXPECT_TRUE(PrintChart(*graph.Chart1, [&](MeterChart &c) {
        markerOnPaper = c.MarkerColor();
        return true;
    }));
    EXPECT_NE(markerOnPaper, 0x00FF00u);
    EXPECT_EQ(graph.Chart1->MarkerColor(), 0x00FF00u);
}

TEST(GraphPageHeading, NamesTheCaptionTheSpanWithItsDatesAndTheMeter)
{
    const double day = 46357.0; // 1 December 2026
    struct Case {
        const char *caption;
        std::optional<std::pair<double, double>> span;
        int model;
        const char *expected;
    };
    const Case cases[] = {
        {"Real Time Graph", std::pair{day + 0.25, day + 0.5}, 580,
         "Real Time Graph   \u2014   1 Dec 2026 06:00:00 to 12:00:00   \u2014   Meter 580"},
        {"Graph of run.csv", std::pair{day + 0.75, day + 2.25}, 0,
         "Graph of run.csv   \u2014   1 Dec 2026 18:00:00 to 3 Dec 2026 06:00:00"},
        {"DataLogger", std::nullopt, 560, "DataLogger   \u2014   Meter 560"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(graphPageHeading(QString::fromUtf8(c.caption), c.span, c.model), QString::fromUtf8(c.expected));
}

TEST(PrintChart, PrintedPageCarriesItsHeadingAndDatesOnTheTimeAxis)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed; page texts not checked";
    QTemporaryDir dir;
    TfrmGraph graph;
    graph.meterModel = 520;
    graph.setWindowTitle(QStringLiteral("Graph of run.csv"));
    // Two hours on one day: the screen's labels would be times only.
    SetupMeterGraph(*graph.Chart1, 10, 46357.5 + 2.0 / 24, 46357.5, 520);
    for (int p = 0; p < 10; ++p) {
        graph.Chart1->SetX(0, p, 46357.5 + p / 120.0);
        graph.Chart1->SetY(0, p, 40.0 + p);
        graph.Chart1->SetX(1, p, 46357.5 + p / 120.0);
        graph.Chart1->SetY(1, p, 20.0 - p);
    }
    graph.Chart1->Refresh();
    graph.Chart1->setPageHeading(graphPageHeadingOf(&graph, *graph.Chart1));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFileName(dir.filePath(QStringLiteral("graph.pdf")));
    ASSERT_TRUE(PrintChart(*graph.Chart1, [&](MeterChart &c) { return c.printTo(printer); }));
    const auto pages = pdfPages(printer.outputFileName());
    ASSERT_TRUE(pages.has_value());
    ASSERT_EQ(pages->size(), 1);
    const QString page = pages->front();
    EXPECT_TRUE(page.contains(QStringLiteral("Graph of run.csv"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("1 Dec 2026 12:00:00 to 13:48:00"))) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Meter 520"))) << page.toStdString();
    // The time labels carry the date too: more than the heading's one date.
    EXPECT_GE(page.count(QStringLiteral("1 Dec 2026")), 3) << page.toStdString();
}

TEST(PrintDialogs, PrintingToAFileStartsInTheFolderUsedLast)
{
    QTemporaryDir dir;
    QString lastFolder = dir.path();
    PrintDialogs dialogs(nullptr, &lastFolder);
    QPrinter printer;
    QString offered;
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        if (auto *file = dialog->findChild<QLineEdit *>(QStringLiteral("filename")))
            offered = file->text();
        qobject_cast<QDialog *>(dialog)->reject();
    });
    EXPECT_FALSE(dialogs.askPrint(printer));
    EXPECT_EQ(QFileInfo(offered).absolutePath(), dir.path()) << offered.toStdString();
    EXPECT_EQ(lastFolder, dir.path()); // a cancelled dialog changes nothing
}
