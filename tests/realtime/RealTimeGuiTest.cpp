// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time runs offscreen against the simulated meter: samples become table
// rows and graph points, Pause and Resume lose or repeat nothing, Stop with
// each answer, the full graph shifting at its 5001st sample, zoom, closing
// the real-time table with unsaved rows, sampling held while a save question
// is open, and a run brought back from its journal.
#include "realtime/GraphSetup.h"
#include "realtime/RealTimeController.h"
#include "realtime/TableFileDialogs.h"
#include "records/TableRow.h"

#include "LinkRig.h"
#include "SimProcess.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

namespace {

struct RunRig : vandrel::test::LinkRig {
    QMdiArea area;
    RealTimeController rt{link, area};
    QList<QMessageBox::StandardButton> answers; // given in turn to the save question
    int questions = 0;
    int saves = 0;
    bool saveSucceeds = true;
    std::function<void()> whileAsked; // time passing while the question is open

    RunRig()
    {
        area.resize(1000, 800);
        area.show();
        rt.setAsk([this](const QString &q) {
            EXPECT_EQ(q, "Save changes to Real Time Table");
            ++questions;
            if (whileAsked)
                whileAsked();
            return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
        });
        rt.setSaveTable([this] {
            EXPECT_TRUE(rt.run().SaveFromPrompt);
            ++saves;
            return saveSucceeds;
        });
    }

    void start(const QString &device, int sampleRate)
    {
        ASSERT_TRUE(connectTo(device));
        rt.run().SampleRate = sampleRate;
        rt.createStartupWindows(startupLayout(130, 1000, 900, 768));
    }

    // One tick of the main timer with a fresh frame, as the program runs it.
    void tickWithFrame()
    {
        link.state().FrameSeen = false;
        ASSERT_TRUE(pollUntil([&] { return link.state().FrameSeen; }));
        link.tick();
    }

    StringGrid &grid() { return *rt.RealTimeTableWindow()->Grid1; }
    MeterChart &chart() { return *rt.RealTimeGraphWindow()->Chart1; }
    int rows() { return grid().Cells(0, 1).isEmpty() ? 0 : grid().RowCount() - 1; }
};

} // namespace

TEST(RealTimeRunGui, SamplesBecomeRowsAndPoints)
{
    SimProcess sim({"--model", "580", "--suffix", "D"});
    RunRig rig;
    rig.start(sim.device(), 2);
    EXPECT_EQ(rig.grid().Cells(9, 0), "Dewpoint");
    rig.rt.runOrPause();
    EXPECT_TRUE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rt.run().RunCaption, "Pause");
    EXPECT_TRUE(rig.rt.run().StopEnabled);

    for (int i = 0; i < 5; ++i)
        rig.tickWithFrame();
    // An empty graph samples at the first tick, then at every second one.
    ASSERT_EQ(rig.rows(), 3);
    EXPECT_EQ(rig.rt.run().NextPointIndex, 3);
    EXPECT_TRUE(rig.rt.run().RealTimeUnsaved);
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(rig.grid().Cells(0, r), QString::number(r));
        EXPECT_EQ(rig.grid().Cells(4, r), "%RH");
        EXPECT_FALSE(rig.grid().Cells(9, r).isEmpty()); // dew point of the D variant
        // The graph holds the same values as the table, at the same time.
        EXPECT_NEAR(rig.chart().GetY(0, r - 1), QLocale().toDouble(rig.grid().Cells(3, r)), 1e-4);
        EXPECT_EQ(tableTime(fromDays(rig.chart().GetX(0, r - 1)).time()), rig.grid().Cells(2, r));
    }
    EXPECT_EQ(rig.chart().SeriesCount(), 4);
}

TEST(RealTimeRunGui, PauseAndResumeLoseAndRepeatNothing)
{
    SimProcess sim({"--model", "520"});
    RunRig rig;
    rig.start(sim.device(), 1);
    rig.rt.runOrPause();
    rig.tickWithFrame();
    rig.tickWithFrame();
    ASSERT_EQ(rig.rows(), 2);

    rig.rt.runOrPause(); // pause
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rt.run().RunCaption, "Run");
    EXPECT_TRUE(rig.rt.run().StopEnabled);
    rig.tickWithFrame();
    rig.tickWithFrame();
    EXPECT_EQ(rig.rows(), 2);
    const double xMax = rig.chart().GetXMax();

    rig.rt.runOrPause(); // resume where it stopped
    rig.tickWithFrame();
    ASSERT_EQ(rig.rows(), 3);
    EXPECT_EQ(rig.rt.run().NextPointIndex, 3);
    EXPECT_DOUBLE_EQ(rig.chart().GetXMax(), xMax);
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(rig.grid().Cells(0, r), QString::number(r));
    EXPECT_LT(rig.chart().GetX(0, 1), rig.chart().GetX(0, 2));
    EXPECT_TRUE(rig.grid().Cells(7, 3).isEmpty()); // one temperature on this model
    EXPECT_EQ(rig.chart().SeriesCount(), 2);
}

TEST(RealTimeRunGui, StopWithEachAnswer)
{
    SimProcess sim;
    RunRig rig;
    rig.start(sim.device(), 0);
    rig.rt.runOrPause();
    rig.tickWithFrame();
    ASSERT_EQ(rig.rows(), 1);

    rig.answers = {QMessageBox::Cancel};
    rig.rt.stopRun();
    EXPECT_TRUE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rows(), 1);

    // Yes, but the save is cancelled or fails: as if Cancel had been chosen.
    rig.answers = {QMessageBox::Yes};
    rig.saveSucceeds = false;
    rig.rt.stopRun();
    EXPECT_EQ(rig.saves, 1);
    EXPECT_TRUE(rig.rt.run().RealTimeRunning);
    EXPECT_TRUE(rig.rt.run().RealTimeUnsaved);
    EXPECT_FALSE(rig.rt.run().SaveFromPrompt);
    EXPECT_EQ(rig.rows(), 1);

    rig.answers = {QMessageBox::Yes};
    rig.saveSucceeds = true;
    rig.rt.stopRun();
    EXPECT_EQ(rig.saves, 2);
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_FALSE(rig.rt.run().RealTimeUnsaved);
    EXPECT_FALSE(rig.rt.run().StopEnabled);
    EXPECT_EQ(rig.rows(), 0);
    EXPECT_EQ(rig.grid().RowCount(), 2);
    EXPECT_EQ(rig.rt.run().NextPointIndex, 0);
    EXPECT_EQ(rig.chart().GetY(0, 0), kNullY);

    // No: stops and clears without saving.
    rig.rt.runOrPause();
    rig.tickWithFrame();
    rig.answers = {QMessageBox::No};
    rig.rt.stopRun();
    EXPECT_EQ(rig.saves, 2);
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rows(), 0);

    // Nothing unsaved: no question at all.
    const int asked = rig.questions;
    rig.rt.stopRun();
    EXPECT_EQ(rig.questions, asked);
}

TEST(RealTimeRunGui, ClosingTheTableWithUnsavedRows)
{
    SimProcess sim;
    RunRig rig;
    rig.start(sim.device(), 0);
    rig.rt.runOrPause();
    rig.tickWithFrame();

    rig.answers = {QMessageBox::Cancel};
    rig.rt.RealTimeTableWindow()->subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(rig.rt.RealTimeTableWindow(), nullptr);
    EXPECT_TRUE(rig.rt.run().RealTimeRunning);

    rig.answers = {QMessageBox::No};
    rig.rt.RealTimeTableWindow()->subWindow()->close();
    ASSERT_TRUE(waitUntil([&] { return rig.rt.RealTimeTableWindow() == nullptr; }));
    EXPECT_FALSE(rig.rt.run().RealTimeRunning); // the run ended...
    EXPECT_TRUE(rig.rt.run().RealTimeUnsaved);  // ...but nothing was forgotten
    EXPECT_EQ(rig.rt.run().NextPointIndex, 1);  // and the graph keeps its points

    // Run again: a new table, the graph goes on where it was.
    rig.rt.runOrPause();
    ASSERT_NE(rig.rt.RealTimeTableWindow(), nullptr);
    rig.tickWithFrame();
    EXPECT_EQ(rig.rows(), 1);
    EXPECT_EQ(rig.rt.run().NextPointIndex, 2);
}

TEST(RealTimeGraph, FullGraphShiftsAtSample5001)
{
    MeterChart chart;
    const double start = 46000.0;
    const double step = 1.0 / 86400;
    SetupMeterGraph(chart, kRealTimePoints, start + 100 * step, start, 580);
    MeterReading reading;
    int next = 0;
    for (int k = 0; k < 5001; ++k) {
        reading.Rh = k % 100;
        AppendGraphSample(chart, next, 100 * step, reading, start + k * step);
    }
    EXPECT_EQ(next, 4901); // the 5001st sample went to point 4900
    EXPECT_DOUBLE_EQ(chart.GetX(0, 4900), start + 5000 * step);
    EXPECT_DOUBLE_EQ(chart.GetX(0, 0), start + 100 * step); // the 101st sample is the oldest held
    EXPECT_DOUBLE_EQ(chart.GetXMin(), chart.GetX(0, 0));
    EXPECT_EQ(chart.GetY(0, 4901), kNullY);
    EXPECT_DOUBLE_EQ(chart.GetX(0, 4999), 0.0);
}

TEST(RealTimeGraph, TemperatureAxisWidensForT2)
{
    MeterChart chart;
    SetupMeterGraph(chart, 10, 1, 0.5, 540);
    MeterReading r;
    int next = 0;
    r.T2 = 135;
    AppendGraphSample(chart, next, 0.1, r, 0.6);
    chart.SetWorkingAxis(1);
    EXPECT_DOUBLE_EQ(chart.GetYMax(), 140);
    r.T2 = 150;
    AppendGraphSample(chart, next, 0.1, r, 0.6);
    chart.SetWorkingAxis(1);
    EXPECT_NEAR(chart.GetYMax(), 185.0, 1e-4);
    r.T2 = -30;
    AppendGraphSample(chart, next, 0.1, r, 0.6);
    chart.SetWorkingAxis(1);
    EXPECT_NEAR(chart.GetYMin(), -53.0, 1e-4);
    r.T2 = 500;
    r.T2Over = true;
    AppendGraphSample(chart, next, 0.1, r, 0.6);
    chart.SetWorkingAxis(1);
    EXPECT_NEAR(chart.GetYMax(), 185.0, 1e-4);

    MeterChart two;
    SetupMeterGraph(two, 10, 1, 0.5, 560);
    r.T2 = 500;
    r.T2Over = false;
    next = 0;
    AppendGraphSample(two, next, 0.1, r, 0.6);
    two.SetWorkingAxis(1);
    EXPECT_DOUBLE_EQ(two.GetYMax(), 140);
    EXPECT_EQ(two.SeriesCount(), 2);
}

TEST(RealTimeGraph, ZoomedWindowStaysUntilUndoZoom)
{
    MeterChart chart;
    chart.resize(600, 400);
    chart.show();
    const double start = 46000.0, span = 10.0 / 86400;
    SetupMeterGraph(chart, kRealTimePoints, start + span, start, 580);
    MeterReading reading;
    reading.Rh = 50;
    int next = 0;
    for (int k = 0; k < 5; ++k)
        AppendGraphSample(chart, next, span, reading, start + k * span / 10);

    // The user drags a rectangle on the humidity pane.
    QWidget *plot = reinterpret_cast<QWidget *>(chart.customPlot());
    const QPoint from(plot->width() / 3, plot->height() / 5), to(plot->width() / 2, plot->height() / 3);
    QTest::mousePress(plot, Qt::LeftButton, {}, from);
    QTest::mouseMove(plot, (from + to) / 2);
    QTest::mouseMove(plot, to);
    QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
    ASSERT_TRUE(chart.IsZoomed());

    // A sample past the right edge does not move a zoomed window...
    AppendGraphSample(chart, next, span, reading, start + 2 * span);
    EXPECT_DOUBLE_EQ(chart.GetXMax(), start + span);
    chart.UndoZoom();
    EXPECT_FALSE(chart.IsZoomed());
    // ...the next one after Undo Zoom does.
    AppendGraphSample(chart, next, span, reading, start + 3 * span);
    EXPECT_DOUBLE_EQ(chart.GetXMax(), start + 2 * span);
    EXPECT_DOUBLE_EQ(chart.GetXMin(), start);
}

namespace {

enum class Closing { Stop, CloseTable, CloseProgram };
enum class SaveEnd { AtFileDialog, AtRangeDialog, Saved };

struct HoldCase {
    const char *name;
    Closing closing;
    QMessageBox::StandardButton answer;
    SaveEnd saveEnd;
    bool rowsLeave; // the run's rows are saved or declined
};

// The user at the save dialogs, taking their time: the meter keeps sending
// and the main timer keeps ticking while each dialog is open.
class SlowUserUi : public TableFileUi {
public:
    SlowUserUi(RunRig &rig, QString file, SaveEnd end) : rig_(rig), file_(std::move(file)), end_(end) {}
    QString askSaveFileName() override
    {
        rig_.tickWithFrame();
        rig_.tickWithFrame();
        return end_ == SaveEnd::AtFileDialog ? QString() : file_;
    }
    QString askOpenFileName() override { return {}; }
    std::optional<RangeChoice> askRange(int) override
    {
        rig_.tickWithFrame();
        if (end_ == SaveEnd::AtRangeDialog)
            return std::nullopt;
        return RangeChoice{};
    }
    void showMessage(const QString &text) override { ADD_FAILURE() << text.toStdString(); }
    std::unique_ptr<TableFileProgress> showProgress(Work, int) override { return nullptr; }

private:
    RunRig &rig_;
    QString file_;
    SaveEnd end_;
};

void PrintTo(const HoldCase &c, std::ostream *os) { *os << c.name; }

class SamplingHeld : public ::testing::TestWithParam<HoldCase> {};

QStringList tableLines(StringGrid &grid, int rows)
{
    QStringList lines;
    for (int r = 1; r <= rows; ++r) {
        QStringList cells;
        for (int c = 1; c < grid.ColCount(); ++c)
            cells << grid.Cells(c, r);
        lines << cells.join(',') + ',';
    }
    return lines;
}

} // namespace

// From the save question to the end of the save no sample is taken; Cancel
// anywhere leaves the run going with every row; a save writes every row the
// table holds, and only then may the table be cleared.
TEST_P(SamplingHeld, NoRowIsTakenWhileTheSaveQuestionIsOpenAndNoneIsLost)
{
    const HoldCase &c = GetParam();
    SimProcess sim;
    QTemporaryDir dir;
    RunRig rig;
    rig.rt.setJournalPath(dir.filePath("realtime.journal"));
    rig.start(sim.device(), 0);
    rig.rt.runOrPause();
    for (int i = 0; i < 3; ++i)
        rig.tickWithFrame();
    ASSERT_EQ(rig.rows(), 3);
    const QStringList before = tableLines(rig.grid(), 3);

    const QString file = dir.filePath("run.csv");
    rig.rt.setSaveTable([&] {
        SlowUserUi ui(rig, file, c.saveEnd);
        return saveTable(rig.grid(), ui);
    });
    rig.whileAsked = [&] {
        EXPECT_TRUE(rig.rt.samplingHeld());
        rig.tickWithFrame();
        rig.tickWithFrame();
    };
    rig.answers = {c.answer};
    bool closed = false;
    switch (c.closing) {
    case Closing::Stop:
        rig.rt.stopRun();
        break;
    case Closing::CloseTable:
        rig.rt.RealTimeTableWindow()->subWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        break;
    case Closing::CloseProgram:
        closed = rig.rt.canClose();
        break;
    }
    EXPECT_EQ(rig.questions, 1);
    EXPECT_FALSE(rig.rt.samplingHeld());
    const bool saved = c.answer == QMessageBox::Yes && c.saveEnd == SaveEnd::Saved;
    QFile out(file);
    if (saved) {
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(out.readAll()), before.join("\r\n") + "\r\n");
    } else {
        EXPECT_FALSE(out.exists());
    }
    const int journaled = static_cast<int>(readJournal(rig.rt.journal().path()).samples.size());

    if (!c.rowsLeave) {
        // As if nothing had happened: the same rows, the run going on.
        EXPECT_FALSE(closed);
        ASSERT_NE(rig.rt.RealTimeTableWindow(), nullptr);
        EXPECT_EQ(tableLines(rig.grid(), rig.rows()), before);
        EXPECT_TRUE(rig.rt.run().RealTimeRunning);
        EXPECT_TRUE(rig.rt.run().RealTimeUnsaved);
        EXPECT_EQ(journaled, 3);
        rig.tickWithFrame();
        EXPECT_EQ(rig.rows(), 4);
        return;
    }
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    switch (c.closing) {
    case Closing::Stop:
        EXPECT_EQ(rig.rows(), 0);
        EXPECT_EQ(journaled, 0);
        break;
    case Closing::CloseTable:
        EXPECT_TRUE(waitUntil([&] { return rig.rt.RealTimeTableWindow() == nullptr; }));
        EXPECT_EQ(journaled, 0);
        break;
    case Closing::CloseProgram:
        // The journal stays until the program is really gone.
        EXPECT_TRUE(closed);
        EXPECT_EQ(journaled, 3);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryAnswer, SamplingHeld,
    ::testing::Values(
        HoldCase{"StopCancel", Closing::Stop, QMessageBox::Cancel, SaveEnd::Saved, false},
        HoldCase{"StopYesFileCancelled", Closing::Stop, QMessageBox::Yes, SaveEnd::AtFileDialog, false},
        HoldCase{"StopYesRangeCancelled", Closing::Stop, QMessageBox::Yes, SaveEnd::AtRangeDialog, false},
        HoldCase{"StopYesSaved", Closing::Stop, QMessageBox::Yes, SaveEnd::Saved, true},
        HoldCase{"StopNo", Closing::Stop, QMessageBox::No, SaveEnd::Saved, true},
        HoldCase{"TableCancel", Closing::CloseTable, QMessageBox::Cancel, SaveEnd::Saved, false},
        HoldCase{"TableYesFileCancelled", Closing::CloseTable, QMessageBox::Yes, SaveEnd::AtFileDialog, false},
        HoldCase{"TableYesSaved", Closing::CloseTable, QMessageBox::Yes, SaveEnd::Saved, true},
        HoldCase{"TableNo", Closing::CloseTable, QMessageBox::No, SaveEnd::Saved, true},
        HoldCase{"ProgramCancel", Closing::CloseProgram, QMessageBox::Cancel, SaveEnd::Saved, false},
        HoldCase{"ProgramYesRangeCancelled", Closing::CloseProgram, QMessageBox::Yes, SaveEnd::AtRangeDialog, false},
        HoldCase{"ProgramYesSaved", Closing::CloseProgram, QMessageBox::Yes, SaveEnd::Saved, true}),
    [](const ::testing::TestParamInfo<HoldCase> &info) { return std::string(info.param.name); });

// A journal brought back fills the table and the graph exactly as the run
// did, the graph's shifts past 5000 points included; the run is paused,
// unsaved, and its journal goes on from there.
TEST(RestoredRun, TableAndGraphAsTheRunLeftThem)
{
    QTemporaryDir dir;
    RunRig rig;
    rig.rt.setJournalPath(dir.filePath("realtime.journal"));
    rig.rt.createStartupWindows(startupLayout(130, 1000, 900, 768));
    JournalContents run;
    run.hasHeader = true;
    run.header = {580, 'D', 300.0 / 86400};
    for (int n = 1; n <= 5150; ++n) {
        JournalSample s;
        s.number = n;
        s.time = 46000.0 + n / 86400.0;
        s.rh = n % 97;
        s.t1 = 20 + n % 13;
        s.t2 = n == 4000 ? 180.0 : 21.5;
        s.dewPoint = 7 + n % 5;
        s.cells = {QString::number(n), "07/12/2026", "12:00:00", QString::number(s.rh), "%RH",
                   QString::number(s.t1), "C", "21.5", "C", QString::number(s.dewPoint)};
        run.samples << s;
    }
    run.samples.removeAt(10); // a damaged line was left out: the rows close up
    const QString sampleCells = run.samples[10].cells.mid(1).join('|');

    ASSERT_TRUE(rig.rt.restoreRun(run));
    ASSERT_EQ(rig.rows(), 5149);
    EXPECT_EQ(rig.grid().Cells(0, 11), "11");
    QStringList row11;
    for (int c = 1; c < 10; ++c)
        row11 << rig.grid().Cells(c, 11);
    EXPECT_EQ(row11.join('|'), sampleCells);
    EXPECT_EQ(rig.grid().Cells(9, 0), "Dewpoint");

    // The graph holds what the run's own appends left in it.
    const double first = run.samples.constFirst().time;
    MeterChart same;
    SetupMeterGraph(same, kRealTimePoints, first + run.header.graphSpan, first, 580);
    int next = 0;
    for (const JournalSample &s : run.samples) {
        MeterReading r;
        r.Rh = s.rh, r.T1 = s.t1, r.T2 = s.t2, r.DewPoint = s.dewPoint;
        r.HasDewPoint = true; // a dew-point variant: its run drew the dew point
        AppendGraphSample(same, next, run.header.graphSpan, r, s.time, Redraw::Later);
    }
    same.Refresh();
    ASSERT_GT(next, 4900);
    EXPECT_EQ(rig.rt.run().NextPointIndex, next);
    MeterChart &chart = rig.chart();
    ASSERT_EQ(chart.SeriesCount(), 4);
    for (int p = 0; p < kRealTimePoints; ++p)
        for (int series = 0; series < 4; ++series) {
            ASSERT_EQ(chart.GetY(series, p), same.GetY(series, p)) << p;
            ASSERT_EQ(chart.GetX(series, p), same.GetX(series, p)) << p;
        }
    EXPECT_DOUBLE_EQ(chart.GetXMax(), same.GetXMax());
    EXPECT_DOUBLE_EQ(chart.GetXMin(), same.GetXMin());
    chart.SetWorkingAxis(1);
    same.SetWorkingAxis(1);
    EXPECT_DOUBLE_EQ(chart.GetYMax(), same.GetYMax()); // widened for the T2 of 180

    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_TRUE(rig.rt.run().RealTimeUnsaved);
    EXPECT_TRUE(rig.rt.run().StopEnabled);
    EXPECT_EQ(rig.rt.run().RunTag, RunFace::Run);
    EXPECT_EQ(readJournal(rig.rt.journal().path()).samples.size(), 5149);

    // An empty journal brings nothing back.
    EXPECT_FALSE(rig.rt.restoreRun(JournalContents{}));
}
