// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-cli as a child process of a test: start it, read its rows as they
// come, end it with a signal and collect its status and messages.
#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QStringList>

#include <csignal>

namespace vandrel::test {

class CliProcess {
public:
    explicit CliProcess(const QStringList &args)
    {
        process_.start(QStringLiteral(VANDREL_CLI_PATH), args);
        process_.waitForStarted(10000);
    }
    ~CliProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    CliProcess(const CliProcess &) = delete;
    CliProcess &operator=(const CliProcess &) = delete;

    // Complete lines of standard output so far.
    QStringList lines()
    {
        out_ += process_.readAllStandardOutput();
        QStringList all = QString::fromUtf8(out_).split(QLatin1Char('\n'));
        all.removeLast(); // the unfinished rest
        return all;
    }
    bool waitForLines(int count, int timeoutMs = 30000)
    {
        return waitUntil([&] { return lines().size() >= count || process_.state() == QProcess::NotRunning; },
                         timeoutMs) &&
               lines().size() >= count;
    }
    // Waits for the end; true when the process ended by itself (not killed).
    bool finish(int timeoutMs = 60000)
    {
        const bool ended = waitUntil([&] { return process_.state() == QProcess::NotRunning; }, timeoutMs);
        lines();
        err_ += process_.readAllStandardError();
        return ended && process_.exitStatus() == QProcess::NormalExit;
    }
    void terminate() { process_.terminate(); }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
    int exitCode() const { return process_.exitCode(); }
    QString errors() const { return QString::fromLocal8Bit(err_); }

private:
    QProcess process_;
    QByteArray out_;
    QByteArray err_;
};

} // namespace vandrel::test
