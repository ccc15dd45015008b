// SPDX-License-Identifier: GPL-3.0-or-later
// Whether one channel is below, within or above its limits, with the rules
// every alarm and every statistic uses: a crossing counts only once the value
// has stayed beyond the limit for the delay, and it ends only once the value
// is back inside by the hysteresis, so a value that hovers at a limit raises
// one alarm, not a stream of them. Pure: values and times in, states out.
#pragma once

#include <optional>

namespace vandrel {

struct Limits {
    std::optional<double> low;
    std::optional<double> high;
    double hysteresis = 1.0;  // in the channel's unit
    double delaySeconds = 0.0;
    bool any() const { return low.has_value() || high.has_value(); }
};

enum class LimitState { Within, Below, Above };

class LimitWatch {
public:
    explicit LimitWatch(Limits limits = {}) : limits_(limits) {}

    // The state after a value read at `seconds` (a steady count, rising).
    LimitState feed(double value, double seconds);
    // No value (an empty or overloaded cell, a meter away): a pending
    // crossing starts over; a raised state stays until a value clears it.
    void gap() { pendingSince_.reset(); }

    LimitState state() const { return state_; }
    const Limits &limits() const { return limits_; }

private:
    Limits limits_;
    LimitState state_ = LimitState::Within;
    LimitState pending_ = LimitState::Within;
    std::optional<double> pendingSince_;
};

} // namespace vandrel
