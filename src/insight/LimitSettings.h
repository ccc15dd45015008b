// SPDX-License-Identifier: GPL-3.0-or-later
// The limits the user set (Option › Limits…) as the settings keep them, and
// the alarm of a live run against them: which channels are beyond a limit now
// and the one notice each crossing deserves. QtCore only.
#pragma once

#include "insight/RecordStats.h"

#include <QString>
#include <QStringList>

#include <optional>

class QSettings;

namespace vandrel {

// Under the group "Limits": per channel ("Humidity", "T1", "T2", "DewPoint")
// the keys Low and High (absent: no such limit), Hysteresis and Delay
// (seconds); CondensationMargin beside them (absent: the usual margin).
StatsOptions loadLimits(QSettings &settings);
void saveLimits(QSettings &settings, const StatsOptions &options);


// The limits of a live run: each reading goes through the same rule as the
// statistics, so the alarm shows and clears exactly where the time above and
// below counts it.
class LiveLimits {
public:
    explicit LiveLimits(const StatsOptions &options = {}) { setOptions(options); }
    // New limits start every channel afresh.
    void setOptions(const StatsOptions &options);
    const StatsOptions &options() const { return options_; }

    // One reading at `seconds`, its temperatures in `unit`; limits typed in
    // the other unit are compared converted. A value of NaN (empty) leaves the
    // alarm as it is; an infinite one (overloaded) is beyond any limit on its
    // side. The notices of crossings that began with it:
    // "Humidity above 65.0 %RH: 66.2 %RH", "T1 above 25.0 °C: 78.1 °F".
    QStringList feed(const std::array<double, kChannelCount> &values, double seconds, char unit = 'C');
    // What is beyond a limit now, for the status bar
    // ("ALARM: Humidity above 65.0 %RH; T1 below 10.0 °C"); empty when nothing is.
    QString alarmText() const;
    bool alarmed() const { return !alarmText().isEmpty(); }

private:
    QString limitText(Channel c, LimitSide side) const;

    StatsOptions options_;
    char unit_ = 0; // of the readings fed last
    std::array<LimitWatch, kChannelCount> watches_;
};

} // namespace vandrel
