// SPDX-License-Identifier: GPL-3.0-or-later
// When a value's alarm is raised and cleared: limits with a hysteresis and a
// delay, and the stale alarm of a meter that stopped sending. Pure: values and
// a steady clock in milliseconds in, changes out.
#pragma once

#include "insight/LimitWatch.h"
#include "station/StationConfig.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

namespace vandrel::station {

// Storage: the meter's rows cannot be written (a full or read-only disk).
enum class AlarmKind { Low, High, Stale, Storage };
const char *alarmKindKey(AlarmKind kind); // "low", "high", "stale", "storage"
// A value as an alarm tells it: the number, or "OL" / "-OL" for an overload.
QString alarmValueText(double value);

struct AlarmChange {
    AlarmKind kind;
    bool raised;  // false: cleared
    double limit; // the limit crossed (the stale limit in seconds)
    bool operator==(const AlarmChange &) const = default;
};

// One channel's low and high alarms, with the limit rule every alarm and
// statistic shares (LimitWatch): raised after the delay beyond a limit,
// cleared after the delay back inside by the hysteresis. So a value wavering
// at the limit raises the alarm once and clears it once.
class AlarmRule {
public:
    explicit AlarmRule(const Limits &limits = {});
    // A new value at `nowMs` in `unit` ('C' or 'F' for a temperature, as the
    // meter shows it; limits given in the other unit are compared converted);
    // the changes it brings, in order (a value that jumps from above the high
    // to below the low limit clears one and raises the other). An overload
    // (±infinity) is beyond a limit on its side. A value that is missing (no
    // such channel), or an overload on a side without a limit, leaves the
    // alarms as they are and stops any delay under way.
    std::vector<AlarmChange> update(std::optional<double> value, qint64 nowMs, char unit = 0);
    bool lowRaised() const { return watch_.lowRaised(); }
    bool highRaised() const { return watch_.highRaised(); }
    const Limits &limits() const { return limits_; }

private:
    Limits limits_;
    char readingUnit_ = 0;
    LimitWatch watch_;
};

// The stale alarm of a meter: raised when no reading came for `limitMs`
// (counted from the start while none has come yet) or at once when the meter
// is lost; cleared by the next reading.
class StaleRule {
public:
    StaleRule(qint64 limitMs, qint64 startMs) : limitMs_(limitMs), lastMs_(startMs) {}
    std::optional<AlarmChange> reading(qint64 nowMs);
    std::optional<AlarmChange> lost(qint64 nowMs);
    // Called regularly: raises the alarm once the limit has passed.
    std::optional<AlarmChange> check(qint64 nowMs);
    bool raised() const { return raised_; }
    qint64 lastReadingMs() const { return lastMs_; }

private:
    std::optional<AlarmChange> raise();
    qint64 limitMs_;
    qint64 lastMs_;
    bool raised_ = false;
};

} // namespace vandrel::station
