// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the simulated meter as a child process for --demo and tells which
// pseudo-terminal it plays on. The simulator ends when the program does.
#pragma once

#include <QProcess>
#include <QString>

namespace vandrel {

class DemoMeter {
public:
    DemoMeter() = default;
    ~DemoMeter();
    DemoMeter(const DemoMeter &) = delete;
    DemoMeter &operator=(const DemoMeter &) = delete;

    // Starts the simulator; returns its device path, or an empty string with
    // `error` set when it could not be started.
    QString start(const QString &model, const QString &suffix, QString &error);
    void stop();

private:
    QProcess process_;
};

} // namespace vandrel
