// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm rules as tables of values over time: crossings, the hysteresis,
// the delay, clearing, and a value wavering at a limit.
#include "station/AlarmRule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace vandrel;
using namespace vandrel::station;

namespace {

struct Step {
    qint64 atMs;
    std::optional<double> value;
    std::string changes; // "+H" raised high, "-L" cleared low, ...
};

struct AlarmCase {
    const char *why;
    Limits limits;
    std::vector<Step> steps;
};

std::string text(const std::vector<AlarmChange> &changes)
{
    std::string out;
    for (const AlarmChange &c : changes) {
        if (!out.empty())
            out += ' ';
        out += c.raised ? '+' : '-';
        out += c.kind == AlarmKind::Low ? 'L' : 'H';
    }
    return out;
}

Limits limits(std::optional<double> low, std::optional<double> high, double hysteresis = 1.0, int delay = 0)
{
    Limits l;
    l.low = low;
    l.high = high;
    l.hysteresis = hysteresis;
    l.delaySeconds = delay;
    return l;
}

} // namespace

class AlarmTable : public testing::TestWithParam<AlarmCase> {};

TEST_P(AlarmTable, raisesAndClearsAsTheLimitsSay)
{
    const AlarmCase &c = GetParam();
    AlarmRule rule(c.limits);
    for (const Step &s : c.steps) {
        EXPECT_EQ(text(rule.update(s.value, s.atMs)), s.changes)
            << c.why << " at " << s.atMs << " ms, value " << (s.value ? std::to_string(*s.value) : "none");
    }
}

INSTANTIATE_TEST_SUITE_P(
    AlarmRule, AlarmTable,
    testing::Values(
        AlarmCase{"a value at the high limit is inside; above it raises",
                  limits(std::nullopt, 60), {{0, 60.0, ""}, {1000, 60.1, "+H"}, {2000, 61.0, ""}}},
        AlarmCase{"an overload is beyond the limit on its side, and nothing on a side without one",
                  limits(std::nullopt, 25.0, 1.0, 2),
                  {{0, INFINITY, ""}, {2000, INFINITY, "+H"}, {3000, -INFINITY, ""}, {4000, 20.0, ""},
                   {5000, -INFINITY, ""}, {6000, 20.0, ""}, {8000, 20.0, "-H"}}},
        AlarmCase{"a value at the low limit is inside; below it raises",
                  limits(40, std::nullopt), {{0, 40.0, ""}, {1000, 39.9, "+L"}, {2000, 30.0, ""}}},
        AlarmCase{"wavering at the high limit raises once and never flaps",
                  limits(std::nullopt, 60),
                  {{0, 60.2, "+H"}, {1000, 59.8, ""}, {2000, 60.3, ""}, {3000, 59.5, ""}, {4000, 60.1, ""}, {5000, 59.0, "-H"}}},
        AlarmCase{"wavering at the low limit raises once and clears past the hysteresis",
                  limits(40, std::nullopt, 2.0),
                  {{0, 39.9, "+L"}, {1000, 40.5, ""}, {2000, 41.9, ""}, {3000, 39.0, ""}, {4000, 42.0, "-L"}, {5000, 41.0, ""}}},
        AlarmCase{"a zero hysteresis clears at the limit itself",
                  limits(std::nullopt, 60, 0.0), {{0, 61.0, "+H"}, {1000, 60.0, "-H"}, {2000, 60.0, ""}}},
        AlarmCase{"the delay: a crossing shorter than it counts for nothing",
                  limits(std::nullopt, 60, 1.0, 10),
                  {{0, 65.0, ""}, {5000, 65.0, ""}, {9000, 59.0, ""}, {10000, 65.0, ""}, {19999, 65.0, ""}, {20000, 66.0, "+H"}}},
        AlarmCase{"the delay applies to clearing too",
                  limits(std::nullopt, 60, 1.0, 10),
                  {{0, 65.0, ""}, {10000, 65.0, "+H"}, {11000, 50.0, ""}, {15000, 62.0, ""}, {16000, 50.0, ""},
                   {25999, 50.0, ""}, {26000, 50.0, "-H"}}},
        AlarmCase{"a missing value stops a delay under way and leaves a raised alarm raised",
                  limits(std::nullopt, 60, 1.0, 5),
                  {{0, 65.0, ""}, {3000, std::nullopt, ""}, {4000, 65.0, ""}, {8000, 65.0, ""}, {9000, 65.0, "+H"},
                   {10000, std::nullopt, ""}, {11000, 65.0, ""}}},
        AlarmCase{"a jump from above the high to below the low limit clears one, then raises the other",
                  limits(40, 60), {{0, 70.0, "+H"}, {1000, 30.0, "-H +L"}, {2000, 70.0, "-L +H"}}},
        AlarmCase{"no limits, no alarms", limits(std::nullopt, std::nullopt), {{0, 1e9, ""}, {1, -1e9, ""}}}),
    [](const testing::TestParamInfo<AlarmCase> &info) { return "case" + std::to_string(info.index); });

TEST(StaleRule, raisesAfterTheLimitOrWhenLostAndClearsOnTheNextReading)
{
    StaleRule stale(15000, 1000);
    EXPECT_FALSE(stale.check(15999)); // counted from the start while no reading came
    const auto raised = stale.check(16000);
    ASSERT_TRUE(raised);
    EXPECT_EQ(*raised, (AlarmChange{AlarmKind::Stale, true, 15.0}));
    EXPECT_FALSE(stale.check(40000)); // once
    EXPECT_EQ(stale.reading(41000), (AlarmChange{AlarmKind::Stale, false, 15.0}));
    EXPECT_FALSE(stale.reading(42000));
    EXPECT_FALSE(stale.check(56999)); // counted from the last reading
    // A lost meter raises it at once, and only once.
    EXPECT_TRUE(stale.lost(43000));
    EXPECT_FALSE(stale.check(60000));
    EXPECT_FALSE(stale.lost(61000));
    EXPECT_TRUE(stale.raised());
}

TEST(AlarmRule, aTemperatureLimitKeepsItsUnitWhateverTheMeterShows)
{
    Limits l = limits(std::nullopt, 25.0);
    l.unit = 'C';
    AlarmRule rule(l);
    EXPECT_EQ(text(rule.update(77.0, 0, 'F')), "") << "77.0 °F is 25 °C";
    const std::vector<AlarmChange> raised = rule.update(77.2, 1000, 'F');
    EXPECT_EQ(text(raised), "+H");
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_DOUBLE_EQ(raised[0].limit, 77.0) << "the limit crossed, in the reading's unit";
    EXPECT_EQ(text(rule.update(24.5, 2000, 'C')), "") << "back in °C, inside by less than the hysteresis";
    EXPECT_EQ(text(rule.update(23.9, 3000, 'C')), "-H");
}
