// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm rules.
#include "station/AlarmRule.h"

#include <cmath>

namespace vandrel::station {

QString alarmValueText(double value)
{
    if (std::isinf(value))
        return QString::fromLatin1(value > 0 ? "OL" : "-OL");
    return QString::number(value);
}

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

AlarmRule::AlarmRule(const Limits &limits) : limits_(limits), watch_(limits) {}

std::vector<AlarmChange> AlarmRule::update(std::optional<double> value, qint64 nowMs, char unit)
{
    std::vector<AlarmChange> out;
    if (unit != readingUnit_ && unit != 0) {
        readingUnit_ = unit;
        watch_.setLimits(limitsInUnit(limits_, unit));
    }
    // An overload lies beyond a limit on its side, as the statistics count it;
    // on a side without a limit it is no reading the alarms can weigh.
    const bool weighable = value && (std::isfinite(*value) || (*value > 0 ? limits_.high : limits_.low));
    if (!weighable) {
        watch_.gap();
        return out;
    }
    for (const LimitChange &c : watch_.update(*value, static_cast<double>(nowMs) / 1000.0))
        out.push_back({c.side == LimitSide::Low ? AlarmKind::Low : AlarmKind::High, c.raised, c.limit});
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
