// SPDX-License-Identifier: GPL-3.0-or-later
// The print commands through their real code, with the dialogs answered by a
// script and the output going to PDF files that the tests read back.
#include "realtime/GraphSetup.h"
#include "realtime/Printing.h"
#include "realtime/TfrmGraph.h"
#include "realtime/TfrmList.h"

#include <QFile>
#include <QMdiArea>
#include <QProcess>
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
    std::function<void(QPrinter &)> setupChoice;
    int printAsked = 0;
    int setupAsked = 0;
    std::vector<MeterChart *> chartsPrinted;
};

class ScriptedPrintUi : public PrintUi {
public:
    explicit ScriptedPrintUi(Script &script) : m_s(script) {}
    bool askPrint(QPrinter &printer) override
    {
        ++m_s.printAsked;
        if (m_s.acceptPrint)
            printer.setOutputFileName(m_s.printToFile);
        return m_s.acceptPrint;
    }
    bool askPrinterSetup(QPrinter &printer) override
    {
        ++m_s.setupAsked;
        m_s.setupChoice(printer);
        return true;
    }
    bool printChart(MeterChart &chart) override
    {
        m_s.chartsPrinted.push_back(&chart);
        return true;
    }

private:
    Script &m_s;
};

int pdfPageCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
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
    fillTable(*table.Grid1, 61);
    ASSERT_TRUE(service.printActiveChild(&table));
    EXPECT_EQ(script.printAsked, 1);
    EXPECT_EQ(pdfPageCount(script.printToFile), 2);
    const auto pages = pdfPages(script.printToFile);
    if (!pages)
        GTEST_SKIP() << "pdftotext is not installed; page texts not checked";
    ASSERT_EQ(pages->size(), 2);
    EXPECT_TRUE(pages->at(0).contains(QRegularExpression(QStringLiteral("NO +HUMIDITY"))));
    EXPECT_TRUE(pages->at(0).contains(QStringLiteral("row059")));
    EXPECT_FALSE(pages->at(0).contains(QStringLiteral("row060")));
    EXPECT_TRUE(pages->at(1).trimmed().contains(
        QRegularExpression(QStringLiteral("^row060 +45\\.6$"))))
        << pages->at(1).toStdString();
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
