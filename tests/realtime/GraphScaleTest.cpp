// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-set graph scales: the bounds rule, the boxes' texts, the flow on a
// set-up meter graph with a scripted user, and the real dialog once.
#include "platform/MeterChart.h"
#include "realtime/GraphScale.h"
#include "realtime/GraphSetup.h"
#include "realtime/TfrmScope.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cfloat>

using namespace vandrel;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

struct ScriptedScaleUi : GraphScaleUi {
    std::optional<ScaleEntry> answer;
    std::optional<ScaleEntry> shown;
    QStringList messages;
    std::optional<ScaleEntry> askScale(const ScaleEntry &current) override
    {
        shown = current;
        return answer;
    }
    void showMessage(const QString &text) override { messages << text; }
};

struct Graph {
    MeterChart chart;
    ScriptedScaleUi ui;
    Graph() { SetupMeterGraph(chart, 10, 46001, 46000, 520); }
    bool enter(int axis, const QString &max, const QString &min)
    {
        ui.answer = ScaleEntry{max, min, {}};
        return editScale(&chart, axis, ui, kUs);
    }
    ScaleBounds axis(int a) { return chart.SetWorkingAxis(a), ScaleBounds{float(chart.GetYMax()), float(chart.GetYMin())}; }
};

} // namespace

TEST(ScaleBounds, SwapsCapsAndKeepsTheCurrentLimitOfABoundWithoutNumber)
{
    const ScaleBounds cur{140, -20};
    EXPECT_EQ(scaleBounds(50, 200, cur), (ScaleBounds{200, 50}));
    EXPECT_EQ(scaleBounds(5000, -900, cur), (ScaleBounds{3000, -500}));
    EXPECT_EQ(scaleBounds(std::nullopt, 10, cur), (ScaleBounds{140, 10}));
    EXPECT_EQ(scaleBounds(std::nullopt, 200, cur), (ScaleBounds{200, 140}));
    EXPECT_EQ(scaleBounds(std::nullopt, std::nullopt, cur), cur);
    // Both bounds past one cap, or equal, leave no range: the scale stays.
    EXPECT_FALSE(scaleBounds(-600, -700, cur));
    EXPECT_FALSE(scaleBounds(4000, 3500, cur));
    EXPECT_FALSE(scaleBounds(50, 50, cur));
}

TEST(ScaleBoxes, NumbersInSinglePrecisionAndWholeNumbersTowardZero)
{
    EXPECT_EQ(scaleNumber("12.5", kUs), 12.5f);
    EXPECT_EQ(scaleNumber("12,5", QLocale(QLocale::German)), 12.5f);
    EXPECT_EQ(scaleNumber("0.1", kUs), 0.1f);
    EXPECT_EQ(scaleNumber("1e39", kUs), FLT_MAX);
    for (const char *bad : {"", "abc", "12,5", "nan", "inf"})
        EXPECT_FALSE(scaleNumber(bad, kUs)) << bad;
    EXPECT_EQ(scaleBoxText(140), "140");
    EXPECT_EQ(scaleBoxText(152.9), "152");
    EXPECT_EQ(scaleBoxText(-53.9), "-53");
    EXPECT_EQ(scaleBoxText(-0.5), "0");
}

TEST(EditScale, ShowsTheAxisLimitsAndSetsOnlyThatAxis)
{
    Graph g;
    EXPECT_TRUE(g.enter(kTemperatureAxis, "50", "200"));
    EXPECT_EQ(g.ui.shown->maxText, "140");
    EXPECT_EQ(g.ui.shown->minText, "-20");
    EXPECT_EQ(g.axis(kTemperatureAxis), (ScaleBounds{200, 50}));
    EXPECT_EQ(g.axis(kHumidityAxis), (ScaleBounds{110, 0}));

    EXPECT_TRUE(g.enter(kHumidityAxis, "5000", "-900"));
    EXPECT_EQ(g.ui.shown->maxText, "110");
    EXPECT_EQ(g.axis(kHumidityAxis), (ScaleBounds{3000, -500}));
    EXPECT_TRUE(g.ui.messages.isEmpty());
}

TEST(EditScale, ABoxWithoutNumberIsReportedAndKeepsItsLimit)
{
    Graph g;
    EXPECT_TRUE(g.enter(kTemperatureAxis, "abc", "10"));
    EXPECT_EQ(g.ui.messages, QStringList{"abc is invalid number !"});
    EXPECT_EQ(g.axis(kTemperatureAxis), (ScaleBounds{140, 10}));

    g.ui.messages.clear();
    EXPECT_FALSE(g.enter(kTemperatureAxis, "-600", "-700"));
    EXPECT_EQ(g.axis(kTemperatureAxis), (ScaleBounds{140, 10}));

    g.ui.answer.reset(); // Cancel
    EXPECT_FALSE(editScale(&g.chart, kTemperatureAxis, g.ui, kUs));
    EXPECT_EQ(g.axis(kTemperatureAxis), (ScaleBounds{140, 10}));
    EXPECT_TRUE(g.ui.messages.isEmpty());
}

namespace {

struct ZoomCase {
    int zoomedPane; // where the rubber band was drawn
    int scaledAxis; // the scale then set by hand
};

class ScaleWhileZoomed : public ::testing::TestWithParam<ZoomCase> {};

void mouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

QCPAxisRect *paneOf(MeterChart &chart, int axis)
{
    return chart.graphOf(axis)->keyAxis()->axisRect();
}

} // namespace

// A scale set by hand shows at once on a zoomed chart, in its own pane; the zoomed
// time range stays until Undo Zoom.
TEST_P(ScaleWhileZoomed, TheHandSetScaleShowsAtOnceAndTheTimeZoomStays)
{
    const ZoomCase c = GetParam();
    Graph g;
    g.chart.resize(532, 421);
    g.chart.show();
    g.chart.Refresh();
    QWidget *plot = g.chart.customPlot();
    const QRect band = paneOf(g.chart, c.zoomedPane)->rect();
    const QPoint from = band.center() - QPoint(50, 15), to = band.center() + QPoint(50, 15);
    mouse(plot, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(plot, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(plot, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(g.chart.IsZoomed());
    const QCPRange zoomedTime = paneOf(g.chart, 0)->axis(QCPAxis::atBottom)->range();
    const QCPRange otherY = paneOf(g.chart, 1 - c.scaledAxis)->axis(QCPAxis::atLeft)->range();

    ASSERT_TRUE(g.enter(c.scaledAxis, "75", "5"));
    EXPECT_EQ(paneOf(g.chart, c.scaledAxis)->axis(QCPAxis::atLeft)->range(), QCPRange(5, 75));
    EXPECT_EQ(paneOf(g.chart, 1 - c.scaledAxis)->axis(QCPAxis::atLeft)->range(), otherY);
    EXPECT_EQ(paneOf(g.chart, 1)->axis(QCPAxis::atBottom)->range(), zoomedTime);
    EXPECT_TRUE(g.chart.IsZoomed());
}

INSTANTIATE_TEST_SUITE_P(Panes, ScaleWhileZoomed,
                         ::testing::Values(ZoomCase{0, 0}, ZoomCase{1, 1}, ZoomCase{0, 1}, ZoomCase{1, 0}));

TEST(GraphScaleDialog, ShowsTheBoxesWithoutTheRadioButtonsAndAppliesOk)
{
    MeterChart chart;
    SetupMeterGraph(chart, 10, 46001, 46000, 580);
    bool looked = false;
    QTimer::singleShot(0, [&] {
        auto *scope = qobject_cast<TfrmScope *>(QApplication::activeModalWidget());
        ASSERT_NE(scope, nullptr);
        looked = true;
        EXPECT_EQ(scope->windowTitle(), "Customize graph scale");
        EXPECT_TRUE(scope->GroupBox1->isVisible());
        EXPECT_FALSE(scope->radAll->isVisible());
        EXPECT_FALSE(scope->radNo->isVisible());
        // The dialog names the axis it sets and what each box is.
        EXPECT_EQ(scope->GroupBox1->title(), chart.GetYLabel());
        EXPECT_TRUE(scope->GroupBox1->title().startsWith("TEMPERATURE"));
        EXPECT_EQ(scope->Label1->text(), "Ma&ximum");
        EXPECT_EQ(scope->Label2->text(), "Mi&nimum");
        EXPECT_EQ(scope->edtSelFrom->text(), "140");
        EXPECT_EQ(scope->edtSelTo->text(), "-20");
        scope->edtSelFrom->setText("90");
        scope->BitBtn1->click();
    });
    EXPECT_TRUE(editScaleWithDialog(nullptr, &chart, kTemperatureAxis));
    EXPECT_TRUE(looked);
    EXPECT_EQ(chart.GetYMax(), 90);
    EXPECT_EQ(chart.GetYMin(), -20);
}
