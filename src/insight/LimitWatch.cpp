// SPDX-License-Identifier: GPL-3.0-or-later
// The limit rule: raise after the delay, clear past the hysteresis after the
// delay again.
#include "insight/LimitWatch.h"

#include "records/Channel.h"

namespace vandrel {

namespace {

// Times come as seconds from clocks that count milliseconds; a delay that has
// run to the millisecond must not miss by a rounding error.
constexpr double kTimeSlack = 1e-6;

} // namespace

void LimitWatch::step(Side &side, LimitSide which, bool beyond, bool back, double seconds, LimitChanges &out)
{
    // What would change the side's state: a crossing while clear, a return
    // past the hysteresis while raised.
    const bool wanted = side.raised ? back : beyond;
    if (!wanted) {
        side.since.reset();
        return;
    }
    if (!side.since)
        side.since = seconds;
    if (seconds - *side.since < limits_.delaySeconds - kTimeSlack)
        return;
    side.raised = !side.raised;
    side.since.reset();
    if (side.raised)
        latest_ = which;
    out.items[static_cast<std::size_t>(out.count++)] = {which, side.raised,
                                                        which == LimitSide::Low ? *limits_.low : *limits_.high};
}

Limits limitsInUnit(const Limits &limits, char to)
{
    const char from = limits.unit;
    if (from == to || (from != 'C' && from != 'F') || (to != 'C' && to != 'F'))
        return limits;
    Limits out = limits;
    const auto convert = [&](std::optional<double> v) {
        return v ? std::optional<double>(convertTemperature(*v, from, to)) : std::nullopt;
    };
    out.low = convert(limits.low);
    out.high = convert(limits.high);
    out.hysteresis = convertTemperatureDifference(limits.hysteresis, from, to);
    out.unit = to;
    return out;
}

LimitChanges LimitWatch::update(double value, double seconds)
{
    LimitChanges out;
    const auto highSide = [&] {
        if (limits_.high)
            step(high_, LimitSide::High, aboveLimit(value, *limits_.high),
                 !aboveLimit(value, *limits_.high - limits_.hysteresis), seconds, out);
    };
    const auto lowSide = [&] {
        if (limits_.low)
            step(low_, LimitSide::Low, belowLimit(value, *limits_.low), !belowLimit(value, *limits_.low + limits_.hysteresis),
                 seconds, out);
    };
    // Clearing goes first, so a jump across both limits reads in order.
    if (high_.raised) {
        highSide();
        lowSide();
    } else {
        lowSide();
        highSide();
    }
    // With both crossings raised, the one the value now lies beyond counts.
    if (high_.raised && aboveLimit(value, *limits_.high))
        latest_ = LimitSide::High;
    else if (low_.raised && belowLimit(value, *limits_.low))
        latest_ = LimitSide::Low;
    return out;
}

LimitState LimitWatch::state() const
{
    if (high_.raised && (!low_.raised || latest_ == LimitSide::High))
        return LimitState::Above;
    if (low_.raised)
        return LimitState::Below;
    return LimitState::Within;
}

} // namespace vandrel
