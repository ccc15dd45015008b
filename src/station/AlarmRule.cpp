// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm rules.
#include "station/AlarmRule.h"

namespace vandrel::station {

const char *alarmKindKey(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::Low: return "low";
    case AlarmKind::High: return "high";
    case AlarmKind::Stale: return "stale";
    case AlarmKind::Storage: return "storage";
    }
    return "";
}

void AlarmRule::step(Side &side, AlarmKind kind, bool beyond, bool back, qint64 nowMs, std::vector<AlarmChange> &out)
{
    // What would change the side's state: a crossing while clear, a return
    // (past the hysteresis) while raised.
    const bool wanted = side.raised ? back : beyond;
    if (!wanted) {
        side.since.reset();
        return;
    }
    if (!side.since)
        side.since = nowMs;
    if (nowMs - *side.since < qint64(limits_.delaySeconds) * 1000)
        return;
    side.raised = !side.raised;
    side.since.reset();
    out.push_back({kind, side.raised, kind == AlarmKind::Low ? *limits_.low : *limits_.high});
}

std::vector<AlarmChange> AlarmRule::update(std::optional<double> value, qint64 nowMs)
{
    std::vector<AlarmChange> out;
    if (!value) {
        low_.since.reset();
        high_.since.reset();
        return out;
    }
    const double v = *value;
    // Clearing goes first, so a jump across both limits reads in order.
    const auto highSide = [&] {
        if (limits_.high)
            step(high_, AlarmKind::High, v > *limits_.high, v <= *limits_.high - limits_.hysteresis, nowMs, out);
    };
    const auto lowSide = [&] {
        if (limits_.low)
            step(low_, AlarmKind::Low, v < *limits_.low, v >= *limits_.low + limits_.hysteresis, nowMs, out);
    };
    if (high_.raised) {
        highSide();
        lowSide();
    } else {
        lowSide();
        highSide();
    }
    return out;
}

std::optional<AlarmChange> StaleRule::raise()
{
    if (raised_)
        return std::nullopt;
    raised_ = true;
    return AlarmChange{AlarmKind::Stale, true, static_cast<double>(limitMs_) / 1000.0};
}

std::optional<AlarmChange> StaleRule::reading(qint64 nowMs)
{
    lastMs_ = nowMs;
    if (!raised_)
        return std::nullopt;
    raised_ = false;
    return AlarmChange{AlarmKind::Stale, false, static_cast<double>(limitMs_) / 1000.0};
}

std::optional<AlarmChange> StaleRule::lost(qint64)
{
    return raise();
}

std::optional<AlarmChange> StaleRule::check(qint64 nowMs)
{
    if (nowMs - lastMs_ >= limitMs_)
        return raise();
    return std::nullopt;
}

} // namespace vandrel::station
