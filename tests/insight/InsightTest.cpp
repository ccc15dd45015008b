// SPDX-License-Identifier: GPL-3.0-or-later
// Limits and statistics against answers worked out by hand: crossings with
// hysteresis and delay, the mean kinetic temperature of a known series,
// condensation minutes, the vapour pressure deficit at known points, and rows
// that are empty, overloaded or after a gap.
#include "insight/RecordStats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

using namespace vandrel;

namespace {

constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();
constexpr double kOver = std::numeric_limits<double>::infinity();

Limits limits(std::optional<double> low, std::optional<double> high, double hysteresis, double delay)
{
    Limits l;
    l.low = low;
    l.high = high;
    l.hysteresis = hysteresis;
    l.delaySeconds = delay;
    return l;
}

// A record of one channel read every minute from 0 s.
Record everyMinute(Channel c, const std::vector<double> &values, char unit = 'C')
{
    Record r;
    r.unit = unit;
    for (size_t i = 0; i < values.size(); ++i)
        r.seconds.push_back(60.0 * static_cast<double>(i));
    r.values[c] = values;
    return r;
}

// The states a watch goes through for (value, seconds) readings; a NaN value
// is no reading.
std::vector<LimitState> statesOf(const Limits &l, const std::vector<std::pair<double, double>> &readings)
{
    LimitWatch watch(l);
    std::vector<LimitState> got;
    for (const auto &[value, seconds] : readings) {
        if (std::isnan(value)) {
            watch.gap();
            got.push_back(watch.state());
        } else {
            got.push_back(watch.feed(value, seconds));
        }
    }
    return got;
}

} // namespace

TEST(LimitWatch, RaisesAfterTheDelayAndClearsPastTheHysteresis)
{
    using S = LimitState;
    constexpr double G = kEmpty; // no value
    struct Case {
        const char *what;
        Limits limits;
        std::vector<std::pair<double, double>> readings; // value, seconds
        std::vector<S> states;
    };
    const Case cases[] = {
        {"a value at the limit is within; back inside only past the hysteresis", limits({}, 30, 1, 0),
         {{29, 0}, {30, 1}, {30.5, 2}, {30.2, 3}, {29.5, 4}, {29.0, 5}, {31, 6}},
         {S::Within, S::Within, S::Above, S::Above, S::Above, S::Within, S::Above}},
        {"the delay runs while the value stays beyond, and starts over when it comes back",
         limits({}, 30, 1, 120),
         {{31, 0}, {31, 60}, {29, 90}, {31, 120}, {31, 200}, {31, 240}},
         {S::Within, S::Within, S::Within, S::Within, S::Within, S::Above}},
        {"clearing waits for the delay too, and starts over when the value goes back out",
         limits({}, 30, 1, 120),
         {{31, 0}, {31, 120}, {29, 180}, {30, 240}, {29, 270}, {28, 389}, {28, 390}, {28.5, 420}},
         {S::Within, S::Above, S::Above, S::Above, S::Above, S::Above, S::Within, S::Within}},
        {"below the low limit", limits(10, {}, 2, 0), {{9, 0}, {11, 60}, {12, 120}},
         {S::Below, S::Below, S::Within}},
        {"straight across from above to below", limits(10, 30, 1, 0), {{31, 0}, {5, 60}}, {S::Above, S::Below}},
        {"a missing value starts a pending crossing over", limits({}, 30, 1, 120),
         {{31, 0}, {G, 60}, {31, 90}, {31, 180}, {31, 210}}, {S::Within, S::Within, S::Within, S::Within, S::Above}},
        {"a hysteresis wider than the gap between the limits: the later crossing counts", limits(10, 12, 5, 0),
         {{13, 0}, {9, 60}, {13, 120}, {4, 180}}, {S::Above, S::Below, S::Above, S::Below}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(statesOf(c.limits, c.readings), c.states) << c.what;
}

TEST(LimitWatch, ReadingsMeetLimitsAndBandEdgesToTheTenth)
{
    using S = LimitState;
    struct Case {
        const char *what;
        Limits limits;
        std::vector<double> values; // a second apart
        std::vector<S> states;
    };
    const Case cases[] = {
        {"at the high limit is within, a tenth above is above", limits({}, 25, 1, 0), {25.0, 25.1}, {S::Within, S::Above}},
        {"at the low limit is within, a tenth below is below", limits(10, {}, 1, 0), {10.0, 9.9}, {S::Within, S::Below}},
        {"a sum of tenths that lands a hair above the limit is at it", limits({}, 0.3, 1, 0), {0.1 + 0.2, 0.4},
         {S::Within, S::Above}},
        {"the high band ends exactly at its edge, not a tenth before", limits({}, 1.2, 1, 0), {1.3, 0.3, 0.2},
         {S::Above, S::Above, S::Within}},
        {"the low band ends exactly at its edge, not a tenth before", limits(-0.3, {}, 0.2, 0), {-0.4, -0.2, -0.1},
         {S::Below, S::Below, S::Within}},
        {"an overload lies beyond the limit on its side and back inside the other", limits(10, 25, 1, 0),
         {kOver, -kOver, 20}, {S::Above, S::Below, S::Within}},
    };
    for (const Case &c : cases) {
        std::vector<std::pair<double, double>> readings;
        for (const double v : c.values)
            readings.emplace_back(v, static_cast<double>(readings.size()));
        EXPECT_EQ(statesOf(c.limits, readings), c.states) << c.what;
    }
}

TEST(RecordStats, MeanKineticTemperatureOfAKnownSeries)
{
    // exp(-10000 K / T) averaged over 20 and 30 °C, for equal times.
    EXPECT_NEAR(computeStats(everyMinute(kT1, {20, 30})).channels[kT1].mkt, 26.2599, 0.0005);
    EXPECT_NEAR(computeStats(everyMinute(kT2, {68, 86}, 'F')).channels[kT2].mkt, 79.2678, 0.001);
    EXPECT_NEAR(computeStats(everyMinute(kT1, {25, 25, 25})).channels[kT1].mkt, 25.0, 1e-9);
    // A row weighs the time it stands for: 30 °C for two minutes.
    Record r = everyMinute(kT1, {20, 30, 30});
    EXPECT_NEAR(computeStats(r).channels[kT1].mkt, 27.6738, 0.0005);
    // Humidity has none.
    EXPECT_TRUE(std::isnan(computeStats(everyMinute(kHumidity, {50, 60})).channels[kHumidity].mkt));
}

TEST(RecordStats, TimeOutsideTheLimitsFollowsHysteresisAndDelay)
{
    StatsOptions o;
    o.limits[kT1] = limits({}, 30, 1, 60);
    const ChannelStats s =
        computeStats(everyMinute(kT1, {29, 31, 31, 31, 29.5, 28.9, 28.5, 28, 31}), o).channels[kT1];
    // Raised at 120 s (a minute beyond), held through 29.5 (not back by the
    // hysteresis) and 28.9 (back, but not yet for a minute), cleared at 360 s;
    // the last 31 is still within its delay.
    EXPECT_DOUBLE_EQ(s.secondsAbove, 240);
    EXPECT_DOUBLE_EQ(s.secondsWithin, 300);
    EXPECT_DOUBLE_EQ(s.secondsBelow, 0);
}

TEST(RecordStats, CondensationAndVapourPressureDeficit)
{
    Record r = everyMinute(kT2, {15, 12, 11, 14});
    r.values[kDewPoint] = {11, 11, 11, 11};
    EXPECT_DOUBLE_EQ(computeStats(r).condensationSeconds, 120); // T2 within 1 °C of the dew point
    StatsOptions wide;
    wide.condensationMargin = 4;
    EXPECT_DOUBLE_EQ(computeStats(r, wide).condensationSeconds, 240);
    EXPECT_TRUE(std::isnan(computeStats(everyMinute(kT2, {15})).condensationSeconds)); // no dew point

    Record air = everyMinute(kHumidity, {50, 80, 30, kOver});
    air.values[kT1] = {25, 20, 30, 20};
    const RangeStats vpd = computeStats(air).vpdKPa;
    EXPECT_EQ(vpd.count, 3);
    EXPECT_NEAR(vpd.min, 0.46766, 1e-4);
    EXPECT_NEAR(vpd.max, 2.97015, 1e-4);
    EXPECT_NEAR(vpd.mean, (1.58389 + 0.46766 + 2.97015) / 3, 1e-4);
    air.unit = 'F';
    air.values[kT1] = {77, 68, 86, 68};
    EXPECT_NEAR(computeStats(air).vpdKPa.max, 2.97015, 1e-4);
}

TEST(RecordStats, EmptyAndOverloadedCellsAreCountedAndGapsStandForNothing)
{
    Record r;
    r.seconds = {0, 60, 120, 720, 780};
    r.values[kT1] = {20, kEmpty, kOver, 22, 18};
    r.values[kHumidity] = {kEmpty, kEmpty, -kOver, kEmpty, kEmpty};
    const RecordStats s = computeStats(r);
    const ChannelStats &t = s.channels[kT1];
    EXPECT_EQ(t.count, 3);
    EXPECT_EQ(t.empty, 1);
    EXPECT_EQ(t.overloaded, 1);
    EXPECT_DOUBLE_EQ(t.min, 18);
    EXPECT_DOUBLE_EQ(t.minTime, 780);
    EXPECT_DOUBLE_EQ(t.max, 22);
    EXPECT_DOUBLE_EQ(t.maxTime, 720);
    EXPECT_DOUBLE_EQ(t.firstTime, 0);
    EXPECT_DOUBLE_EQ(t.lastTime, 780);
    EXPECT_DOUBLE_EQ(t.mean, 20);
    EXPECT_DOUBLE_EQ(t.stddev, 2);
    // The ten minutes between 120 s and 720 s are a gap: the row before it
    // stands for one usual interval, as the last row does, the other nine
    // minutes for nothing.
    EXPECT_DOUBLE_EQ(s.coveredSeconds, 5 * 60);
    EXPECT_EQ(s.gapCount, 1);
    EXPECT_DOUBLE_EQ(s.uncoveredSeconds, 540);
    const std::vector<RecordGap> gaps = recordGaps(r);
    ASSERT_EQ(gaps.size(), 1U);
    EXPECT_DOUBLE_EQ(gaps[0].start, 180);
    EXPECT_DOUBLE_EQ(gaps[0].seconds, 540);
    // A channel with no usable value has no figures, never made-up ones.
    const ChannelStats &h = s.channels[kHumidity];
    EXPECT_TRUE(h.present);
    EXPECT_EQ(h.count, 0);
    EXPECT_EQ(h.overloaded, 1);
    EXPECT_TRUE(std::isnan(h.min) && std::isnan(h.mean) && std::isnan(h.stddev));
    EXPECT_FALSE(s.channels[kT2].present);
}

TEST(RecordStats, FiguresOneStepFromTheirEdges)
{
    using Figures = std::function<std::vector<double>(const Record &, const StatsOptions &)>;
    struct Case {
        const char *what;
        Record record;
        StatsOptions options;
        Figures figures;
        std::vector<double> expected; // NaN: no figure
    };
    const auto t1 = [](const Record &r, const StatsOptions &o) { return computeStats(r, o).channels[kT1]; };
    const auto withLimits = [](Channel c, const Limits &l) {
        StatsOptions o;
        o.limits[c] = l;
        return o;
    };
    Record irregular = everyMinute(kT1, {20, 30, 20});
    irregular.seconds = {0, 60, 180};
    Record fahrenheit = everyMinute(kT2, {51.9, 55.0}, 'F');
    fahrenheit.values[kDewPoint] = {50.0, 50.0};
    Record atMargin = everyMinute(kT2, {0.1, 5.0});
    atMargin.values[kDewPoint] = {-0.9, -0.9};
    // The clock goes back two minutes after 180 s; the crossing is raised at
    // 120 s after a minute's delay, and cleared a minute after the value came
    // back at 180 s: at the row that reads 120 s again.
    Record setBack = everyMinute(kT1, {20, 26, 26, 20, 20, 20});
    setBack.seconds = {0, 60, 120, 180, 60, 120};
    const Case cases[] = {
        // 20 °C stands for 60 + 120 s, 30 °C for 120 s: 25.2987 °C; the rows
        // counted alike would give 24.5990 °C.
        {"the mean kinetic temperature weighs each row by its time", irregular, {},
         [&](const Record &r, const StatsOptions &o) { return std::vector<double>{t1(r, o).mkt}; }, {25.2987}},
        {"an empty cell restarts a pending delay", everyMinute(kT1, {31, 31, kEmpty, 31, 31, 31}),
         withLimits(kT1, limits({}, 30, 1, 120)),
         [&](const Record &r, const StatsOptions &o) { return std::vector<double>{t1(r, o).secondsAbove}; }, {60}},
        {"a record in °F takes a margin of 2 °F, not 1.8", fahrenheit, {},
         [](const Record &r, const StatsOptions &o) { return std::vector<double>{computeStats(r, o).condensationSeconds}; },
         {60}},
        {"T2 exactly at the dew point plus the margin is at risk", atMargin, {},
         [](const Record &r, const StatsOptions &o) { return std::vector<double>{computeStats(r, o).condensationSeconds}; },
         {60}},
        {"a band ending exactly at a reading ends the time above", everyMinute(kT1, {1.3, 0.2, 0.2}),
         withLimits(kT1, limits({}, 1.2, 1, 0)),
         [&](const Record &r, const StatsOptions &o) {
             const ChannelStats s = t1(r, o);
             return std::vector<double>{s.secondsAbove, s.secondsWithin};
         },
         {60, 120}},
        {"time beyond counts the readings past the limit, time in alarm waits and holds",
         everyMinute(kT1, {29, 31, 31, 30.1, 29.5, 29}), withLimits(kT1, limits({}, 30, 1, 60)),
         [&](const Record &r, const StatsOptions &o) {
             const ChannelStats s = t1(r, o);
             return std::vector<double>{s.secondsBeyondHigh, s.secondsAbove};
         },
         {180, 240}},
        {"overloads: beyond a limit on their side, only out of range on a side without one",
         everyMinute(kT1, {20, kOver, -kOver, 20}), withLimits(kT1, limits(10, {}, 1, 0)),
         [&](const Record &r, const StatsOptions &o) {
             const ChannelStats s = t1(r, o);
             return std::vector<double>{s.secondsWithin,   s.secondsBelow,      s.secondsAbove,
                                        s.secondsBeyondLow, s.secondsOutOfRange, s.secondsRead};
         },
         {120, 60, 0, 60, 120, 240}},
        {"a single value has no spread", everyMinute(kT1, {21.5}), {},
         [&](const Record &r, const StatsOptions &o) {
             const ChannelStats s = t1(r, o);
             return std::vector<double>{s.mean, s.stddev};
         },
         {21.5, kEmpty}},
        {"an interval of exactly twice the usual one is no gap", [] {
             Record r = everyMinute(kT1, {20, 20, 20, 20});
             r.seconds = {0, 60, 120, 240};
             return r;
         }(), {},
         [](const Record &r, const StatsOptions &o) {
             const RecordStats s = computeStats(r, o);
             return std::vector<double>{s.coveredSeconds, static_cast<double>(s.gapCount)};
         },
         {300, 0}},
        {"a clock set back: named, no time counted backwards, delays run on, no crossing ends before it starts",
         setBack, withLimits(kT1, limits({}, 25, 1, 60)),
         [](const Record &r, const StatsOptions &o) {
             const RecordStats s = computeStats(r, o);
             const std::vector<Crossing> x = limitCrossings(r, o);
             return std::vector<double>{static_cast<double>(s.rowsOutOfOrder),
                                        static_cast<double>(s.firstRowOutOfOrder),
                                        s.coveredSeconds,
                                        static_cast<double>(x.size()),
                                        x.at(0).start,
                                        x.at(0).end,
                                        static_cast<double>(x.at(0).open),
                                        x.at(0).seconds};
         },
         {1, 4, 300, 1, 120, 180, 0, 120}},
    };
    for (const Case &c : cases) {
        const std::vector<double> got = c.figures(c.record, c.options);
        ASSERT_EQ(got.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (std::isnan(c.expected[i]))
                EXPECT_TRUE(std::isnan(got[i])) << c.what << ", figure " << i << ": " << got[i];
            else
                EXPECT_NEAR(got[i], c.expected[i], 5e-5) << c.what << ", figure " << i;
        }
    }
}
