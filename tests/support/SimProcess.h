// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated meter as a child process of a test: start it, learn its
// device, send it commands and wait for its answers.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace vandrel::test {

class SimProcess {
public:
    // Starts the simulator (path from $VANDREL_SIM) with `args`; throws when
    // it does not report its device.
    explicit SimProcess(const QStringList &args = {});
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    QString device() const { return device_; }
    // Sends one command line and waits for its "OK"/"ERROR" answer; returns it.
    QString command(const QString &line, int timeoutMs = 5000);
    // Waits for an output line starting with `prefix`; returns it (empty on timeout).
    QString waitForLine(const QString &prefix, int timeoutMs = 10000);
    // Count of a received byte, from the "stats" command.
    int received(char byte);

private:
    QString nextLine(int timeoutMs);
    QProcess process_;
    QString device_;
    QStringList pending_;
};

} // namespace vandrel::test
