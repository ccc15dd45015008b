// SPDX-License-Identifier: GPL-3.0-or-later
// The limit rule: raise after the delay, clear past the hysteresis.
#include "insight/LimitWatch.h"

namespace vandrel {

namespace {

// Where a value lies, strictly beyond a limit or not.
LimitState sideOf(double value, const Limits &l)
{
    if (l.high && value > *l.high)
        return LimitState::Above;
    if (l.low && value < *l.low)
        return LimitState::Below;
    return LimitState::Within;
}

// Whether a value has come back far enough to end a crossing.
bool clears(LimitState raised, double value, const Limits &l)
{
    switch (raised) {
    case LimitState::Above:
        return value <= *l.high - l.hysteresis;
    case LimitState::Below:
        return value >= *l.low + l.hysteresis;
    case LimitState::Within:
        break;
    }
    return true;
}

} // namespace

LimitState LimitWatch::feed(double value, double seconds)
{
    const LimitState side = sideOf(value, limits_);
    if (state_ != LimitState::Within) {
        if (side == state_ || !clears(state_, value, limits_)) {
            pendingSince_.reset();
            return state_; // still beyond, or not yet back by the hysteresis
        }
        state_ = LimitState::Within;
    }
    if (side == LimitState::Within) {
        pendingSince_.reset();
        return state_;
    }
    if (!pendingSince_ || pending_ != side) {
        pending_ = side;
        pendingSince_ = seconds;
    }
    if (seconds - *pendingSince_ >= limits_.delaySeconds) {
        state_ = side;
        pendingSince_.reset();
    }
    return state_;
}

} // namespace vandrel
