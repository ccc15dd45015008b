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

// "Humidity", "T1", "T2", "Dew point".
QString channelName(Channel channel);

// The limits of a live run: each reading goes through the same rule as the
// statistics, so the alarm shows and clears exactly where the time above and
// below counts it.
class LiveLimits {
public:
    explicit LiveLimits(const StatsOptions &options = {}) { setOptions(options); }
    // New limits start every channel afresh.
    void setOptions(const StatsOptions &options);
    const StatsOptions &options() const { return options_; }

    // One reading at `seconds`; a value of NaN or an infinite one (empty,
    // overloaded) leaves the alarm as it is. The notices of crossings that
    // began with it: "Humidity above 65.0 %RH: 66.2 %RH".
    QStringList feed(const std::array<double, kChannelCount> &values, double seconds, char unit = 'C');
    // What is beyond a limit now, for the status bar
    // ("ALARM: Humidity above 65.0; T1 below 10.0"); empty when nothing is.
    QString alarmText() const;
    bool alarmed() const { return !alarmText().isEmpty(); }

private:
    StatsOptions options_;
    std::array<LimitWatch, kChannelCount> watches_;
};

} // namespace vandrel
