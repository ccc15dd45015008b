// SPDX-License-Identifier: GPL-3.0-or-later
// Real-time runs offscreen against the simulated meter: samples become table
// rows and graph points, Pause and Resume lose or repeat nothing, Stop with
// each answer, the full graph shifting at its 5001st sample, zoom, and
// closing the real-time table with unsaved rows.
#include "realtime/GraphSetup.h"
#include "realtime/RealTimeController.h"
#include "realtime/TableRow.h"

#include "LinkRig.h"
#include "SimProcess.h"

#include <QMdiArea>
#include <QMdiSubWindow>
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

    RunRig()
    {
        area.resize(1000, 800);
        area.show();
        rt.setAsk([this](const QString &q) {
            EXPECT_EQ(q, "Save changes to Real Time Table");
            ++questions;
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
        rt.createStartupWindows(startupLayout(130, 1000, 768));
    }

    // One tick of the main timer with a fresh frame, as the program runs it.
    void tickWithFrame()
    {
        link.state().FrameSeen = false;
        ASSERT_TRUE(pollUntil([&] { return link.state().FrameSeen; }));
        link.MainTimerTimer();
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
    rig.rt.btnRunClick();
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
    rig.rt.btnRunClick();
    rig.tickWithFrame();
    rig.tickWithFrame();
    ASSERT_EQ(rig.rows(), 2);

    rig.rt.btnRunClick(); // pause
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rt.run().RunCaption, "Run");
    EXPECT_TRUE(rig.rt.run().StopEnabled);
    rig.tickWithFrame();
    rig.tickWithFrame();
    EXPECT_EQ(rig.rows(), 2);
    const double xMax = rig.chart().GetXMax();

    rig.rt.btnRunClick(); // resume where it stopped
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
    rig.rt.btnRunClick();
    rig.tickWithFrame();
    ASSERT_EQ(rig.rows(), 1);

    rig.answers = {QMessageBox::Cancel};
    rig.rt.btnStopClick();
    EXPECT_TRUE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rows(), 1);

    // Yes, but the save is cancelled or fails: as if Cancel had been chosen.
    rig.answers = {QMessageBox::Yes};
    rig.saveSucceeds = false;
    rig.rt.btnStopClick();
    EXPECT_EQ(rig.saves, 1);
    EXPECT_TRUE(rig.rt.run().RealTimeRunning);
    EXPECT_TRUE(rig.rt.run().RealTimeUnsaved);
    EXPECT_FALSE(rig.rt.run().SaveFromPrompt);
    EXPECT_EQ(rig.rows(), 1);

    rig.answers = {QMessageBox::Yes};
    rig.saveSucceeds = true;
    rig.rt.btnStopClick();
    EXPECT_EQ(rig.saves, 2);
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_FALSE(rig.rt.run().RealTimeUnsaved);
    EXPECT_FALSE(rig.rt.run().StopEnabled);
    EXPECT_EQ(rig.rows(), 0);
    EXPECT_EQ(rig.grid().RowCount(), 2);
    EXPECT_EQ(rig.rt.run().NextPointIndex, 0);
    EXPECT_EQ(rig.chart().GetY(0, 0), kNullY);

    // No: stops and clears without saving.
    rig.rt.btnRunClick();
    rig.tickWithFrame();
    rig.answers = {QMessageBox::No};
    rig.rt.btnStopClick();
    EXPECT_EQ(rig.saves, 2);
    EXPECT_FALSE(rig.rt.run().RealTimeRunning);
    EXPECT_EQ(rig.rows(), 0);

    // Nothing unsaved: no question at all.
    const int asked = rig.questions;
    rig.rt.btnStopClick();
    EXPECT_EQ(rig.questions, asked);
}

TEST(RealTimeRunGui, ClosingTheTableWithUnsavedRows)
{
    SimProcess sim;
    RunRig rig;
    rig.start(sim.device(), 0);
    rig.rt.btnRunClick();
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
    rig.rt.btnRunClick();
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
