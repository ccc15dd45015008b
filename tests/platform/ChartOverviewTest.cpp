// SPDX-License-Identifier: GPL-3.0-or-later
// Long series drawn reduced per pixel column: the same columns, extremes and gaps
// as all points; redrawn for a zoom; a click still finds points that are not drawn.
#include "platform/ChartOverview.h"
#include "platform/MeterChart.h"

#include <QApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <tuple>

using namespace vandrel;

namespace {

constexpr float NullY = 9999.0f;

// Per pixel column: first and last point, lowest and highest value.
using Columns = std::map<int, std::tuple<int, int, float, float>>;

// The columns of each unbroken run of a drawn series (runs end at NaN entries).
std::vector<Columns> runsByColumn(const QVector<QCPGraphData> &entries, const std::vector<int> &points, double lower,
                                  double upper, int columns)
{
    std::vector<Columns> runs(1);
    for (int i = 0; i < entries.size(); ++i) {
        if (std::isnan(entries[i].value)) {
            EXPECT_EQ(points[static_cast<std::size_t>(i)], -1);
            runs.emplace_back();
            continue;
        }
        const double c = std::floor((entries[i].key - lower) * columns / (upper - lower));
        const int col = c < 0 ? -1 : c >= columns ? columns : static_cast<int>(c);
        const int p = points[static_cast<std::size_t>(i)];
        const auto v = static_cast<float>(entries[i].value);
        auto [it, fresh] = runs.back().try_emplace(col, p, p, v, v);
        auto &[first, last, lo, hi] = it->second;
        last = p;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return runs;
}

struct SeriesCase {
    const char *name;
    int points;
    int columns;
    double from; // shown range as fractions of the series' time span
    double to;
    std::function<float(int)> value; // NullY for a null point
    std::function<double(int)> time;
};

float walk(int p)
{
    // A deterministic ragged curve with spikes.
    const std::uint32_t h = static_cast<std::uint32_t>(p) * 2654435761u;
    return static_cast<float>(std::sin(p / 900.0) * 40 + (h >> 24) / 16.0 + (p % 997 == 0 ? 300 : 0));
}

class ReducedSeries : public ::testing::TestWithParam<SeriesCase> {};

} // namespace

TEST_P(ReducedSeries, DrawsTheSameColumnsExtremesAndGapsAsAllPoints)
{
    const SeriesCase &c = GetParam();
    ChartData data;
    data.reset(1, c.points);
    data.setNullY(NullY);
    for (int p = 0; p < c.points; ++p) {
        data.setX(0, p, c.time(p));
        data.setY(0, p, c.value(p));
    }
    const double span = c.time(c.points - 1) - c.time(0);
    const double lower = c.time(0) + c.from * span;
    const double upper = c.time(0) + c.to * span;
    ChartOverview overview;
    ASSERT_TRUE(overview.build(data, 0));
    QVector<QCPGraphData> reduced, full;
    std::vector<int> reducedPoints, fullPoints;
    overview.reduce(data, lower, upper, c.columns, reduced, reducedPoints);
    data.buildSeries(0, full, fullPoints);

    ASSERT_EQ(reduced.size(), static_cast<qsizetype>(reducedPoints.size()));
    for (int i = 0; i < reduced.size(); ++i) {
        const int p = reducedPoints[static_cast<std::size_t>(i)];
        if (p < 0)
            continue;
        EXPECT_EQ(reduced[i].key, data.x(0, p)); // real points, in time order
        EXPECT_EQ(reduced[i].value, data.y(0, p));
        if (i > 0) {
            EXPECT_LE(reduced[i - 1].key, reduced[i].key);
        }
    }
    EXPECT_EQ(runsByColumn(reduced, reducedPoints, lower, upper, c.columns),
              runsByColumn(full, fullPoints, lower, upper, c.columns));
    if (c.points > 8 * c.columns) {
        EXPECT_LT(reduced.size(), full.size() / 4) << "drawn reduced";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Series, ReducedSeries,
    ::testing::Values(
        SeriesCase{"AllPointsShown", 200000, 640, 0.0, 1.0, walk, [](int p) { return 45000.0 + p / 86400.0; }},
        SeriesCase{"ZoomedIntoTheMiddle", 200000, 500, 0.4003, 0.4171, walk,
                   [](int p) { return 45000.0 + p / 86400.0; }},
        SeriesCase{"GapsOfEveryLength", 120000, 700, 0.0, 1.0,
                   [](int p) {
                       const int m = p % 5000;
                       const bool null = (m == 17) || (m >= 300 && m < 302) || (m >= 1000 && m < 1200) ||
                                         (p >= 64 * 100 && p < 64 * 103) || (p % 640 == 639);
                       return null ? NullY : walk(p);
                   },
                   [](int p) { return 45000.0 + p / 86400.0; }},
        SeriesCase{"RepeatedTimesAndTimeJumps", 90000, 333, 0.1, 0.9, walk,
                   [](int p) { return 45000.0 + (p / 7) / 86400.0 + (p > 50000 ? 0.3 : 0.0); }},
        SeriesCase{"MorePixelsThanPoints", 3000, 4000, 0.0, 1.0,
                   [](int p) { return p % 50 == 3 ? NullY : walk(p); },
                   [](int p) { return 45000.0 + p / 86400.0; }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReducedSeriesOrder, TimesRunningBackwardsOrNotANumberAreNotReduced)
{
    for (const double odd : {1.0, std::nan("")}) {
        ChartData data;
        data.reset(1, 300);
        for (int p = 0; p < 300; ++p)
            data.setX(0, p, p == 200 ? odd : 100.0 + p), data.setY(0, p, p);
        ChartOverview overview;
        EXPECT_FALSE(overview.build(data, 0)) << odd;
        EXPECT_FALSE(overview.built());
    }
}

// A chart of more points than it reduces above: what is drawn follows the shown
// range, and a click on a point the reduction left out still finds it.
TEST(ReducedChart, ZoomRedrawsEveryShownPointAndClicksFindHiddenPoints)
{
    MeterChart chart;
    chart.resize(640, 480);
    chart.show();
    const int n = MeterChart::ReducedAbove * 3;
    chart.SetPointCount(n);
    chart.SetSeriesCount(1);
    chart.SetNullY(NullY);
    chart.SetYMin(-100);
    chart.SetYMax(400);
    chart.SetXMin(0);
    chart.SetXMax(n);
    for (int p = 0; p < n; ++p)
        chart.SetX(0, p, p), chart.SetY(0, p, walk(p));
    chart.Refresh();
    QCPGraph *graph = chart.graphOf(0);
    EXPECT_LT(graph->data()->size(), n / 10);

    // A point inside the curve's vertical stroke, neither first, last, lowest nor highest of its column.
    const QCPAxis *time = graph->keyAxis();
    int hidden = -1;
    for (int p = n / 2; p < n / 2 + 2000 && hidden < 0; ++p) {
        bool drawn = false;
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd() && !drawn; ++it)
            drawn = it->key == p;
        const double v = chart.GetY(0, p);
        if (!drawn && v > chart.GetY(0, p - 1) + 5 && v > chart.GetY(0, p + 1) + 5)
            hidden = p;
    }
    ASSERT_GE(hidden, 0);
    QSignalSpy clicked(&chart, &MeterChart::pointClicked);
    const QPointF at = graph->coordsToPixels(hidden, chart.GetY(0, hidden));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, at, chart.customPlot()->mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(chart.customPlot(), &e);
    }
    ASSERT_EQ(clicked.count(), 1);
    const int found = clicked[0][2].toInt();
    const QPointF foundAt = graph->coordsToPixels(found, chart.GetY(0, found));
    EXPECT_LE(QLineF(at, foundAt).length(), 0.5) << "the hidden point itself, or one drawn on top of it";

    // Zoomed to fewer points than pixel columns: every one of them is drawn.
    const int from = 1000;
    const int to = 1000 + time->axisRect()->width() / 2;
    chart.SetXMin(from);
    chart.SetXMax(to);
    chart.customPlot()->replot();
    int shown = 0;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        shown += it->key >= from && it->key <= to ? 1 : 0;
    EXPECT_EQ(shown, to - from + 1);
}
