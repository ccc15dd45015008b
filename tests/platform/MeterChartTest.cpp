// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the chart widget: stored points and gaps, scrolling, panes and ranges,
// rubber-band zoom, point clicks, the marker, the cursor prompt, time labels, printing.
#include "platform/ChartData.h"
#include "platform/ChartTicker.h"
#include "platform/MeterChart.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

#include <cmath>
#include <stdexcept>

using namespace vandrel;

namespace {

constexpr double NullY = 9999.0;
constexpr double Noon = 45000.5; // a day count at 12:00:00
constexpr double Second = 1.0 / 86400.0;

void sendMouse(QWidget *w, QEvent::Type type, QPointF pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void click(QWidget *w, QPointF pos)
{
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void drag(QWidget *w, QPointF from, QPointF to)
{
    sendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

QPointF pixelOf(const MeterChart &chart, int series, int point)
{
    const QCPGraph *g = chart.graphOf(series);
    return g->coordsToPixels(chart.GetX(series, point), chart.GetY(series, point));
}

// The chart as the program sets it up: humidity on top, three temperatures below,
// one sample a second from noon on.
class ChartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        chart.resize(640, 480);
        chart.show();
        chart.SetPointCount(20);
        chart.SetSeriesCount(4);
        chart.SetNullY(NullY);
        chart.SetAxisSeries(0, 1);
        chart.SetAxisSeries(1, 3);
        chart.SetWorkingAxis(0);
        chart.SetYMin(0);
        chart.SetYMax(110);
        chart.SetXMin(Noon);
        chart.SetXMax(Noon + 20 * Second);
        chart.SetWorkingAxis(1);
        chart.SetYMin(-20);
        chart.SetYMax(140);
        chart.SetWorkingAxis(0);
    }

    void fill(int from, int to)
    {
        for (int p = from; p < to; ++p) {
            for (int s = 0; s < chart.SeriesCount(); ++s) {
                chart.SetX(s, p, Noon + p * Second);
                chart.SetY(s, p, 10.0 * s + p);
            }
        }
    }

    QCPAxisRect *pane(int axis) { return chart.graphOf(axis == 0 ? 0 : 1)->keyAxis()->axisRect(); }

    MeterChart chart;
};

} // namespace

TEST(ChartDataTest, pointsReadBackAsStoredAndStartNull)
{
    ChartData data;
    data.reset(2, 3);
    EXPECT_EQ(data.seriesCount(), 2);
    EXPECT_EQ(data.pointCount(), 3);
    EXPECT_TRUE(data.isNull(1, 2));
    EXPECT_EQ(data.y(1, 2), NullY);
    EXPECT_EQ(data.x(1, 2), 0.0);
    data.setY(1, 2, 45.6);
    data.setX(1, 2, Noon + 1.0 / 3.0);
    EXPECT_EQ(data.y(1, 2), static_cast<double>(45.6f)); // single precision
    EXPECT_EQ(data.x(1, 2), Noon + 1.0 / 3.0);           // exactly as stored
    EXPECT_FALSE(data.isNull(1, 2));
}

TEST(ChartDataTest, outOfRangeIndicesThrowAndChangeNothing)
{
    ChartData data;
    data.reset(2, 3);
    EXPECT_THROW(data.setY(2, 0, 1.0), std::out_of_range);
    EXPECT_THROW(data.setY(0, 3, 1.0), std::out_of_range);
    EXPECT_THROW(data.setX(-1, 0, 1.0), std::out_of_range);
    EXPECT_THROW(data.y(0, -1), std::out_of_range);
    EXPECT_THROW(data.reset(-1, 5), std::out_of_range);
    EXPECT_THROW(data.shift(-1), std::out_of_range);
    EXPECT_EQ(data.pointCount(), 3);
    for (int s = 0; s < 2; ++s)
        for (int p = 0; p < 3; ++p)
            EXPECT_TRUE(data.isNull(s, p));
}

TEST(ChartDataTest, shiftDropsOldestAndAppendsNulls)
{
    ChartData data;
    data.reset(2, 5);
    for (int s = 0; s < 2; ++s)
        for (int p = 0; p < 5; ++p)
            data.setX(s, p, 100.0 * s + p), data.setY(s, p, 10.0 * s + p);
    data.shift(2);
    EXPECT_EQ(data.pointCount(), 5);
    for (int s = 0; s < 2; ++s) {
        for (int p = 0; p < 3; ++p) {
            EXPECT_EQ(data.x(s, p), 100.0 * s + p + 2);
            EXPECT_EQ(data.y(s, p), 10.0 * s + p + 2);
        }
        for (int p = 3; p < 5; ++p) {
            EXPECT_TRUE(data.isNull(s, p));
            EXPECT_EQ(data.x(s, p), 0.0);
        }
    }
    data.shift(7); // more than held: everything goes
    for (int p = 0; p < 5; ++p)
        EXPECT_TRUE(data.isNull(1, p));
}

TEST(ChartDataTest, nullsBetweenPointsBecomeOneGapAndTrailingNullsNothing)
{
    ChartData data;
    data.reset(1, 8);
    // Points 0, 1, 4 and 5 written; 2 and 3 null (X left 0.0); 6 and 7 never written.
    for (int p : {0, 1, 4, 5})
        data.setX(0, p, Noon + p), data.setY(0, p, p * 2.0);
    QVector<QCPGraphData> entries;
    std::vector<int> points;
    data.buildSeries(0, entries, points);
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(points, (std::vector<int>{0, 1, -1, 4, 5}));
    EXPECT_TRUE(std::isnan(entries[2].value));
    for (int i = 1; i < entries.size(); ++i)
        EXPECT_LE(entries[i - 1].key, entries[i].key); // the engine needs key order
    EXPECT_EQ(entries[3].key, Noon + 4);
    EXPECT_EQ(entries[3].value, 8.0);
}

TEST(ChartDataTest, changingTheNullValueKeepsUnwrittenPointsNull)
{
    ChartData data;
    data.reset(1, 3);
    data.setY(0, 0, -1.0);
    data.setNullY(-1.0);      // the written -1 now counts as null too
    EXPECT_TRUE(data.isNull(0, 0));
    EXPECT_TRUE(data.isNull(0, 1)); // held the old null value
    EXPECT_EQ(data.y(0, 1), -1.0);
    data.setY(0, 2, NullY);   // the old null value is an ordinary number now
    EXPECT_FALSE(data.isNull(0, 2));
}

TEST(ChartDataTest, timesRunningBackwardsAreDrawnInTimeOrderAndStillMapToTheirPoints)
{
    ChartData data;
    data.reset(1, 3);
    data.setX(0, 0, 3.0), data.setY(0, 0, 30.0);
    data.setX(0, 1, 1.0), data.setY(0, 1, 10.0);
    data.setX(0, 2, 2.0), data.setY(0, 2, 20.0);
    QVector<QCPGraphData> entries;
    std::vector<int> points;
    data.buildSeries(0, entries, points);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(points, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(entries[0].value, 10.0);
    EXPECT_EQ(entries[2].value, 30.0);
}

TEST(ChartTickerTest, labelsShowTheStoredClockTimeAndTheDateOnlyOverDays)
{
    ChartTicker ticker;
    QVector<double> ticks;
    QVector<QString> labels;
    QCPAxisTicker &base = ticker;
    base.generate(QCPRange(Noon - 0.25, Noon + 0.25), QLocale::c(), 'g', 6, ticks, nullptr, &labels);
    ASSERT_GE(ticks.size(), 3);
    for (int i = 0; i < ticks.size(); ++i) {
        EXPECT_GE(ticks[i], Noon - 0.25);
        EXPECT_LE(ticks[i], Noon + 0.25);
        const double fraction = ticks[i] - std::floor(ticks[i]);
        const QTime expected = QTime(0, 0).addSecs(static_cast<int>(std::lround(fraction * 86400)));
        EXPECT_EQ(labels[i], expected.toString(QStringLiteral("hh:mm:ss")));
    }
    base.generate(QCPRange(Noon, Noon + 3), QLocale::c(), 'g', 6, ticks, nullptr, &labels);
    ASSERT_FALSE(labels.isEmpty());
    // 45000 days after 30 December 1899 is 15 March 2023.
    EXPECT_TRUE(labels.join(' ').contains(QStringLiteral("23"))) << labels.join(' ').toStdString();
    EXPECT_TRUE(labels.front().contains('\n'));
}

TEST_F(ChartTest, countsAndValuesReadBack)
{
    EXPECT_EQ(chart.SeriesCount(), 4);
    EXPECT_EQ(chart.PointCount(), 20);
    EXPECT_EQ(chart.GetY(3, 19), NullY);
    EXPECT_EQ(chart.GetX(3, 19), 0.0);
    chart.SetX(2, 5, Noon + 0.1234567891);
    chart.SetY(2, 5, 21.3);
    EXPECT_EQ(chart.GetX(2, 5), Noon + 0.1234567891);
    EXPECT_EQ(chart.GetY(2, 5), static_cast<double>(21.3f));
}

TEST_F(ChartTest, outOfRangeCallsThrowForCallersToIgnore)
{
    EXPECT_THROW(chart.SetY(4, 0, 1.0), std::out_of_range);
    EXPECT_THROW(chart.SetX(0, 20, 1.0), std::out_of_range);
    EXPECT_THROW(chart.GetX(-1, 0), std::out_of_range);
    EXPECT_THROW(chart.GetY(0, 20), std::out_of_range);
    EXPECT_THROW(chart.ShiftPoints(-1), std::out_of_range);
    EXPECT_THROW(chart.SetWorkingAxis(-1), std::out_of_range);
    EXPECT_THROW(chart.SetAxisSeries(1, 1), std::out_of_range); // all four already given
    EXPECT_THROW(chart.SetLineType(0, 7), std::out_of_range);
    EXPECT_THROW(chart.SetSeriesColor(MeterChart::StyledSeries, 0), std::out_of_range);
    EXPECT_EQ(chart.AxisCount(), 2);
    EXPECT_EQ(chart.WorkingAxis(), 0);
}

TEST_F(ChartTest, dataShowsOnlyAfterRefreshWithNullsAsGaps)
{
    fill(0, 10);
    chart.SetY(1, 4, NullY);
    EXPECT_TRUE(chart.graphOf(1)->data()->isEmpty());
    chart.Refresh();
    const auto data = chart.graphOf(1)->data();
    ASSERT_EQ(data->size(), 10); // nine points and one gap; no entries past point 9
    int gaps = 0;
    for (auto it = data->constBegin(); it != data->constEnd(); ++it)
        gaps += std::isnan(it->value) ? 1 : 0;
    EXPECT_EQ(gaps, 1);
    EXPECT_EQ(chart.graphOf(0)->data()->size(), 10);
}

TEST_F(ChartTest, shiftKeepsThePointCountAndRedrawsTheRest)
{
    fill(0, 20);
    chart.Refresh();
    chart.ShiftPoints(5);
    EXPECT_EQ(chart.PointCount(), 20);
    EXPECT_EQ(chart.GetX(0, 0), Noon + 5 * Second);
    EXPECT_EQ(chart.GetY(3, 14), 30.0 + 19);
    EXPECT_EQ(chart.GetY(3, 15), NullY);
    EXPECT_EQ(chart.GetX(3, 15), 0.0);
    chart.Refresh();
    EXPECT_EQ(chart.graphOf(2)->data()->size(), 15);
}

TEST_F(ChartTest, axisSeriesStacksPanesAndEachSeriesDrawsInItsPane)
{
    EXPECT_EQ(chart.AxisCount(), 2);
    EXPECT_EQ(chart.AxisOfSeries(0), 0);
    for (int s = 1; s < 4; ++s)
        EXPECT_EQ(chart.AxisOfSeries(s), 1);
    QCPAxisRect *top = chart.graphOf(0)->keyAxis()->axisRect();
    QCPAxisRect *bottom = chart.graphOf(3)->keyAxis()->axisRect();
    EXPECT_NE(top, bottom);
    EXPECT_EQ(chart.graphOf(2)->keyAxis()->axisRect(), bottom);
    chart.Refresh();
    EXPECT_LT(top->rect().bottom(), bottom->rect().top() + 1); // axis 0 above axis 1
    EXPECT_EQ(top->rect().left(), bottom->rect().left());     // one time scale for both

    // A second set-up on the same chart starts the grouping afresh.
    chart.SetSeriesCount(2);
    EXPECT_EQ(chart.AxisCount(), 1);
    chart.SetAxisSeries(0, 1);
    chart.SetAxisSeries(1, 1);
    EXPECT_EQ(chart.AxisCount(), 2);
    EXPECT_EQ(chart.AxisOfSeries(1), 1);
}

TEST_F(ChartTest, rangesBelongToTheWorkingAxisAndShowInTheirPane)
{
    EXPECT_EQ(chart.GetYMin(), 0.0);
    EXPECT_EQ(chart.GetYMax(), 110.0);
    chart.SetWorkingAxis(1);
    EXPECT_EQ(chart.GetYMin(), -20.0);
    EXPECT_EQ(chart.GetYMax(), 140.0);
    EXPECT_EQ(pane(0)->axis(QCPAxis::atLeft)->range(), QCPRange(0, 110));
    EXPECT_EQ(pane(1)->axis(QCPAxis::atLeft)->range(), QCPRange(-20, 140));
    chart.SetXMax(Noon + 0.5);
    EXPECT_EQ(chart.GetXMax(), Noon + 0.5);
    for (int axis : {0, 1})
        EXPECT_EQ(pane(axis)->axis(QCPAxis::atBottom)->range(), QCPRange(Noon, Noon + 0.5));
}

TEST_F(ChartTest, rubberBandZoomsBothWaysAndUndoZoomShowsTheLatestFixedRanges)
{
    fill(0, 20);
    chart.Refresh();
    QWidget *plot = chart.customPlot();
    const QRect area = pane(0)->rect();
    EXPECT_FALSE(chart.IsZoomed());
    drag(plot, area.topLeft() + QPoint(2, 2), area.topLeft() + QPoint(3, 3)); // a slip, no zoom
    EXPECT_FALSE(chart.IsZoomed());

    drag(plot, area.center() - QPoint(60, 20), area.center() + QPoint(60, 20));
    ASSERT_TRUE(chart.IsZoomed());
    const QCPRange time = pane(1)->axis(QCPAxis::atBottom)->range();
    EXPECT_GT(time.lower, Noon);
    EXPECT_LT(time.upper, Noon + 20 * Second);
    EXPECT_LT(pane(0)->axis(QCPAxis::atLeft)->range().size(), 110.0);
    EXPECT_EQ(pane(1)->axis(QCPAxis::atLeft)->range(), QCPRange(-20, 140));

    // The time window moves on while zoomed: recorded, not shown until UndoZoom.
    chart.SetXMax(Noon + 40 * Second);
    chart.SetXMin(Noon + 5 * Second);
    EXPECT_EQ(chart.GetXMax(), Noon + 40 * Second);
    EXPECT_EQ(pane(0)->axis(QCPAxis::atBottom)->range(), time);
    chart.UndoZoom();
    EXPECT_FALSE(chart.IsZoomed());
    for (int axis : {0, 1})
        EXPECT_EQ(pane(axis)->axis(QCPAxis::atBottom)->range(),
                  QCPRange(Noon + 5 * Second, Noon + 40 * Second));
    EXPECT_EQ(pane(0)->axis(QCPAxis::atLeft)->range(), QCPRange(0, 110));
}

// A band begun in the humidity pane and dragged into the temperature pane
// zooms the humidity axis no further than its own pane reaches.
TEST_F(ChartTest, rubberBandStaysInsideThePaneItBeganIn)
{
    fill(0, 20);
    chart.Refresh();
    const QRect humidity = pane(0)->rect();
    const QRect temperature = pane(1)->rect();
    drag(chart.customPlot(), humidity.center(), QPoint(humidity.center().x() + 80, temperature.bottom() - 2));
    ASSERT_TRUE(chart.IsZoomed());
    const QCPRange value = pane(0)->axis(QCPAxis::atLeft)->range();
    EXPECT_GE(value.lower, 0.0);
    EXPECT_LT(value.upper, 110.0);
    EXPECT_EQ(pane(1)->axis(QCPAxis::atLeft)->range(), QCPRange(-20, 140));
}

TEST_F(ChartTest, clickOnAPointGivesTheStoredPointIndexPastNulls)
{
    fill(6, 12); // points 0 to 5 null: the drawn data starts at our point 6
    chart.Refresh();
    QSignalSpy points(&chart, &MeterChart::pointClicked);
    QSignalSpy clicks(&chart, &MeterChart::clicked);
    QWidget *plot = chart.customPlot();

    click(plot, pixelOf(chart, 0, 8) + QPointF(2, -2));
    ASSERT_EQ(points.count(), 1);
    EXPECT_EQ(points[0][0].toBool(), false);
    EXPECT_EQ(points[0][1].toInt(), 0);
    EXPECT_EQ(points[0][2].toInt(), 8);
    EXPECT_EQ(clicks.count(), 1);

    click(plot, pixelOf(chart, 3, 10)); // lower pane: the temperature series there
    ASSERT_EQ(points.count(), 2);
    EXPECT_EQ(points[1][1].toInt(), 3);
    EXPECT_EQ(points[1][2].toInt(), 10);

    sendMouse(plot, QEvent::MouseButtonDblClick, pixelOf(chart, 0, 11), Qt::LeftButton, Qt::LeftButton);
    sendMouse(plot, QEvent::MouseButtonRelease, pixelOf(chart, 0, 11), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(points.count(), 3);
    EXPECT_EQ(points[2][0].toBool(), true);
    EXPECT_EQ(points[2][2].toInt(), 11);

    // Far from every point (the empty start of the window): a click, no point.
    const QCPAxisRect *top = pane(0);
    click(plot, QPointF(top->axis(QCPAxis::atBottom)->coordToPixel(Noon + 2 * Second),
                        top->axis(QCPAxis::atLeft)->coordToPixel(100)));
    EXPECT_EQ(points.count(), 3);
    EXPECT_EQ(clicks.count(), 3);
}

TEST_F(ChartTest, markerIsOneLabelledLineAcrossAllPanes)
{
    chart.SetMarkerTextSize(100);
    chart.SetMarker(Noon + 5 * Second, QStringLiteral("12:00:05 RH:45.6 T:21.3"), 0x00FF00);
    chart.ShowMarker(true);
    chart.Refresh();
    EXPECT_EQ(chart.MarkerX(), Noon + 5 * Second);
    int lines = 0;
    QString label;
    for (int i = 0; i < chart.customPlot()->itemCount(); ++i) {
        QCPAbstractItem *item = chart.customPlot()->item(i);
        if (!item->visible())
            continue;
        if (auto *line = qobject_cast<QCPItemStraightLine *>(item)) {
            EXPECT_DOUBLE_EQ(line->point1->key(), Noon + 5 * Second);
            EXPECT_EQ(line->pen().color(), QColor(0, 255, 0));
            ++lines;
        } else if (auto *text = qobject_cast<QCPItemText *>(item)) {
            label = text->text();
        }
    }
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(label, QStringLiteral("12:00:05 RH:45.6 T:21.3"));
    chart.ShowMarker(false);
    for (int i = 0; i < chart.customPlot()->itemCount(); ++i)
        EXPECT_FALSE(chart.customPlot()->item(i)->visible());
}

TEST_F(ChartTest, levelLinesAreDashedInTheirSeriesColourAcrossItsPaneAndOutliveARebuild)
{
    const auto levels = [&] {
        // level -> (pane's rect, colour)
        std::map<double, std::pair<QCPAxisRect *, QColor>> out;
        for (int i = 0; i < chart.customPlot()->itemCount(); ++i) {
            auto *line = qobject_cast<QCPItemStraightLine *>(chart.customPlot()->item(i));
            if (!line || !line->visible() || line->point1->typeY() != QCPItemPosition::ptPlotCoords)
                continue;
            EXPECT_EQ(line->pen().style(), Qt::DashLine);
            EXPECT_EQ(line->point1->value(), line->point2->value()); // level
            out[line->point1->value()] = {line->clipAxisRect(), line->pen().color()};
        }
        return out;
    };
    chart.SetSeriesColor(0, 0x00FFFF); // yellow, as BGR
    chart.SetSeriesColor(2, 0xFFFF00); // aqua
    chart.SetLevelLines(0, {40, 65});
    chart.SetLevelLines(2, {12.5});
    auto drawn = levels();
    ASSERT_EQ(drawn.size(), 3u);
    QCPAxisRect *top = chart.graphOf(0)->keyAxis()->axisRect();
    QCPAxisRect *bottom = chart.graphOf(2)->keyAxis()->axisRect();
    EXPECT_EQ(drawn[40], std::make_pair(top, QColor(255, 255, 0)));
    EXPECT_EQ(drawn[65], std::make_pair(top, QColor(255, 255, 0)));
    EXPECT_EQ(drawn[12.5], std::make_pair(bottom, QColor(0, 255, 255)));
    // A colour change, a new set-up of the panes, fewer levels.
    chart.SetSeriesColor(2, 0x0000FF);
    chart.SetSeriesCount(4);
    chart.SetAxisSeries(0, 1);
    chart.SetAxisSeries(1, 3);
    chart.SetLevelLines(0, {65});
    drawn = levels();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[12.5].second, QColor(255, 0, 0));
    EXPECT_EQ(drawn[12.5].first, chart.graphOf(2)->keyAxis()->axisRect());
    EXPECT_EQ(chart.LevelLines(0), std::vector<double>{65});
}

TEST_F(ChartTest, cursorPromptFollowsTheMouseWithTheValueOfItsPane)
{
    chart.Refresh();
    const QCPAxisRect *lower = pane(1);
    const QPointF at(lower->center().x(), lower->axis(QCPAxis::atLeft)->coordToPixel(60.0));
    sendMouse(chart.customPlot(), QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    QCPItemText *prompt = nullptr;
    for (int i = 0; i < chart.customPlot()->itemCount(); ++i) {
        auto *text = qobject_cast<QCPItemText *>(chart.customPlot()->item(i));
        if (text && text->visible())
            prompt = text;
    }
    ASSERT_NE(prompt, nullptr);
    const double perPixel = 160.0 / lower->height();
    const double shown = prompt->text().section(' ', -1).toDouble();
    EXPECT_NEAR(shown, 60.0, perPixel + 0.05) << prompt->text().toStdString();
    EXPECT_TRUE(prompt->text().startsWith(QStringLiteral("12:00:"))) << prompt->text().toStdString();
}

TEST_F(ChartTest, appearanceAppliesToSeriesBeyondTheCountAndColoursAreBgr)
{
    chart.SetSeriesCount(2);
    chart.SetSeriesLabel(0, QStringLiteral("%RH"));
    chart.SetSeriesLabel(3, QStringLiteral("Dewpoint")); // a set-up styles four series
    chart.SetSeriesColor(3, 0xFF0000);
    chart.SetSeriesColor(1, 0xFF00FF);
    chart.SetLineType(1, 2);
    EXPECT_EQ(chart.GetSeriesColor(3), 0xFF0000u);
    EXPECT_EQ(chart.GetSeriesLabel(3), QStringLiteral("Dewpoint"));
    EXPECT_EQ(chart.graphOf(1)->pen().color(), QColor(255, 0, 255));
    EXPECT_EQ(chart.graphOf(1)->pen().style(), Qt::DotLine);
    EXPECT_EQ(chart.customPlot()->legend->itemCount(), 1); // only labelled, existing series
    EXPECT_EQ(BgrToQColor(0x0000FF), QColor(255, 0, 0));
}

TEST_F(ChartTest, drawnChartShowsTheCurveOnTheBlackBackground)
{
    chart.SetGraphBackColor(0x000000);
    chart.SetSeriesColor(0, 0x00FFFF);
    for (int p = 0; p < 20; ++p)
        chart.SetX(0, p, Noon + p * Second), chart.SetY(0, p, 55.0);
    chart.Refresh();
    const QImage image = chart.grab().toImage();
    const QCPAxisRect *top = pane(0);
    const int y = static_cast<int>(std::lround(top->axis(QCPAxis::atLeft)->coordToPixel(55.0)));
    const int x = top->center().x() + 7;
    const qreal ratio = image.devicePixelRatio();
    auto pixel = [&](int px, int py) { return image.pixelColor(QPoint(px, py) * ratio); };
    bool yellow = false;
    for (int dy = -1; dy <= 1; ++dy) {
        const QColor c = pixel(x, y + dy);
        // Antialiasing may spread the line over two rows at half strength; the grid
        // is pure green and the background black, so red with green means the curve.
        yellow = yellow
                 || (c.red() > 100 && c.green() > 100 && c.blue() < 40 && std::abs(c.red() - c.green()) < 30);
    }
    EXPECT_TRUE(yellow);
    // Above the curve the background shows (a grid dot may sit on any one pixel).
    const int above = static_cast<int>(std::lround(top->axis(QCPAxis::atLeft)->coordToPixel(92.0)));
    int darkest = 3 * 255;
    for (int dx = 0; dx < 5; ++dx) {
        const QColor c = pixel(x + dx, above);
        darkest = std::min(darkest, c.red() + c.green() + c.blue());
    }
    EXPECT_LT(darkest, 60);
}

TEST_F(ChartTest, printsToAPdfFile)
{
    fill(0, 20);
    chart.SetMarker(Noon + 3 * Second, QStringLiteral("12:00:03"), 0x00FF00);
    chart.ShowMarker(true);
    chart.Refresh();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("chart.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    ASSERT_TRUE(chart.printTo(printer));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_GT(pdf.size(), 5000);
    // The page keeps the orientation the printer was set up with.
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_TRUE(pdf.contains("/MediaBox [0 0 595.000000 842.000000]")) << "an A4 portrait page";
}

// A written point whose neighbours are null has no line to it; it still shows, as
// a dot, whether it is the only point, the first sample, or one of a sparse table.
TEST_F(ChartTest, pointsWithoutDrawnNeighboursShowAsDots)
{
    const char *patterns[] = {"X...................", "X.X.X...............", "....X.........X....X",
                              "XX...X..XXX.........", "XXXXXXXXXXXXXXXXXXXX"};
    chart.SetSeriesColor(0, 0x00FFFF);
    for (const char *pattern : patterns) {
        SCOPED_TRACE(pattern);
        chart.SetPointCount(20);
        int alone = 0;
        for (int p = 0; p < 20; ++p) {
            if (pattern[p] != 'X')
                continue;
            chart.SetX(0, p, Noon + p * Second);
            chart.SetY(0, p, 55.0);
            alone += (p == 0 || pattern[p - 1] != 'X') && (p == 19 || pattern[p + 1] != 'X');
        }
        chart.Refresh();
        EXPECT_EQ(chart.dotsOf(0)->data()->size(), alone);
        const QImage image = chart.grab().toImage();
        const qreal ratio = image.devicePixelRatio();
        for (int p = 0; p < 20; ++p) {
            if (pattern[p] != 'X')
                continue;
            const QPoint at = pixelOf(chart, 0, p).toPoint();
            // Antialiasing may spread a line over two rows at half strength.
            bool yellow = false;
            for (int dx = -1; dx <= 1; ++dx) {
                for (int dy = -1; dy <= 1; ++dy) {
                    const QColor c = image.pixelColor((at + QPoint(dx, dy)) * ratio);
                    yellow = yellow || (c.red() > 100 && c.green() > 100 && c.blue() < 40);
                }
            }
            EXPECT_TRUE(yellow) << "point " << p;
        }
    }
}
