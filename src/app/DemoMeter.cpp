// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated meter as a child process.
#include "app/DemoMeter.h"

#include "app/ProgramFiles.h"

#include <QDeadlineTimer>

namespace vandrel {

DemoMeter::~DemoMeter()
{
    stop();
}

QString DemoMeter::start(const QString &model, const QString &suffix, QString &error)
{
    const QString program = programExecutable(QStringLiteral("vandrel-meter-sim"));
    if (program.isEmpty()) {
        error = QStringLiteral("The simulated meter (vandrel-meter-sim) was not found beside the program.");
        return {};
    }
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator quits when its input closes, so it never outlives us.
    process_.start(program, {QStringLiteral("--model"), model, QStringLiteral("--suffix"), suffix,
                             QStringLiteral("--exit-on-eof")});
    if (!process_.waitForStarted(5000)) {
        error = QStringLiteral("The simulated meter could not be started: ") + process_.errorString();
        return {};
    }
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        while (process_.canReadLine()) {
            const QString line = QString::fromLocal8Bit(process_.readLine()).trimmed();
            if (line.startsWith(QLatin1String("DEVICE ")))
                return line.mid(7).trimmed();
        }
        if (process_.state() != QProcess::Running || !process_.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    error = QStringLiteral("The simulated meter did not report its device.");
    stop();
    return {};
}

void DemoMeter::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.write("quit\n");
    process_.closeWriteChannel();
    if (!process_.waitForFinished(2000)) {
        process_.terminate();
        if (!process_.waitForFinished(2000))
            process_.kill();
        process_.waitForFinished(1000);
    }
}

} // namespace vandrel
