// SPDX-License-Identifier: GPL-3.0-or-later
// The user's alarm command, run once per raised or cleared alarm: started
// directly (never through a shell), the facts in its environment, stopped
// after a time limit, its end logged.
#pragma once

#include "station/MeterStation.h"

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

namespace vandrel::station {

// The environment the command gets: the station's own, plus VANDREL_METER,
// VANDREL_SITE, VANDREL_CHANNEL, VANDREL_ALARM (low, high, stale, storage),
// VANDREL_STATE (raised, cleared), VANDREL_VALUE (empty when none),
// VANDREL_LIMIT and VANDREL_TIME (ISO 8601 with the local offset).
QProcessEnvironment alarmEnvironment(const AlarmEvent &event,
                                     const QProcessEnvironment &base = QProcessEnvironment::systemEnvironment());

class AlarmCommand : public QObject {
    Q_OBJECT
public:
    static constexpr int kLimitMs = 10000;
    // `command` as written in the configuration (split into words, no shell);
    // `log` receives one line per command that ended, failed or was stopped.
    AlarmCommand(const QString &command, std::function<void(const QString &)> log, int limitMs = kLimitMs,
                 QObject *parent = nullptr);
    void run(const AlarmEvent &event);
    // A new command for the alarms to come; those running carry on.
    void setCommand(const QString &command);
    int running() const { return running_; }

signals:
    // A command ended (in any way); for tests and the shutdown.
    void finished();

private:
    QStringList words_;
    std::function<void(const QString &)> log_;
    int limitMs_;
    int running_ = 0;
};

} // namespace vandrel::station
