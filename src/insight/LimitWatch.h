// SPDX-License-Identifier: GPL-3.0-or-later
// Whether one channel is below, within or above its limits, with the rule
// every alarm and every statistic uses: a value counts as crossing when it is
// below the low or above the high limit by at least a tenth (meters read in
// tenths, so 25.0 against a high limit of 25 is within and 25.1 above, however
// the sums of tenths round in binary); it must stay there for the delay
// before the crossing is raised, and must come back inside by the hysteresis,
// again for the delay, before it is cleared. So a value that hovers at a
// limit raises one alarm and clears it once, not a stream of them. The
// station's alarms, the statistics' time outside the limits and the desktop's
// alarm all go through this one class. Pure: values and times in, changes out.
#pragma once

#include <array>
#include <optional>

namespace vandrel {

// Half a tenth: how far apart two of a meter's readings, limits or margins
// may lie in binary and still be the same tenth.
constexpr double kReadingTolerance = 0.05;

// Whether `value` lies above (below) `limit` by a tenth or more: a value at
// the limit, or a rounding error away from it, does not.
inline bool aboveLimit(double value, double limit) { return value > limit + kReadingTolerance; }
inline bool belowLimit(double value, double limit) { return value < limit - kReadingTolerance; }

struct Limits {
    std::optional<double> low;
    std::optional<double> high;
    double hysteresis = 1.0;  // in the limits' unit
    double delaySeconds = 0.0;
    // The unit low, high and the hysteresis of a temperature are given in,
    // 'C' or 'F', whatever the meter shows: 25 °C stays 25 °C when the meter
    // reads °F. 0: the unit of the readings (humidity).
    char unit = 0;
    bool any() const { return low.has_value() || high.has_value(); }
    bool operator==(const Limits &) const = default;
};

// `limits` in the readings' unit `to` ('C' or 'F'); as they are when either
// unit is not a temperature's.
Limits limitsInUnit(const Limits &limits, char to);

enum class LimitState { Within, Below, Above };
enum class LimitSide { Low, High };

struct LimitChange {
    LimitSide side;
    bool raised;  // false: cleared
    double limit; // the limit crossed
    bool operator==(const LimitChange &) const = default;
};

// The changes one value brings: none, one, or a clearing then a raising (a
// value that jumps from above the high to below the low limit).
struct LimitChanges {
    std::array<LimitChange, 2> items{};
    int count = 0;
    const LimitChange *begin() const { return items.data(); }
    const LimitChange *end() const { return items.data() + count; }
    bool empty() const { return count == 0; }
};

class LimitWatch {
public:
    explicit LimitWatch(Limits limits = {}) : limits_(limits) {}
    // The same limits in another unit (the readings switched between °C and
    // °F): what is raised stays raised.
    void setLimits(const Limits &limits) { limits_ = limits; }

    // A value read at `seconds` (a steady count, rising); the changes it
    // brings, clearing first.
    LimitChanges update(double value, double seconds);
    // The same, answering only the state afterwards.
    LimitState feed(double value, double seconds)
    {
        update(value, seconds);
        return state();
    }
    // An overloaded reading (+/- infinity) may be fed too: it lies beyond any
    // limit on its side and back inside any limit on the other.
    // No value (an empty cell, a meter away): a delay under way
    // starts over; a raised crossing stays until values clear it.
    void gap()
    {
        low_.since.reset();
        high_.since.reset();
    }

    bool lowRaised() const { return low_.raised; }
    bool highRaised() const { return high_.raised; }
    // Above or below while that crossing is raised; with limits so close that
    // both are (a hysteresis wider than the gap between them), the one the
    // value was last beyond.
    LimitState state() const;
    const Limits &limits() const { return limits_; }

private:
    struct Side {
        bool raised = false;
        std::optional<double> since; // the crossing (or its return) first seen
    };
    void step(Side &side, LimitSide which, bool beyond, bool back, double seconds, LimitChanges &out);

    Limits limits_;
    Side low_, high_;
    LimitSide latest_ = LimitSide::High;
};

} // namespace vandrel
