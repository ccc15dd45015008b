// SPDX-License-Identifier: GPL-3.0-or-later
// Driving the simulated meter from tests.
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>

#include <stdexcept>

namespace vandrel::test {

SimProcess::SimProcess(const QStringList &args)
{
    // $VANDREL_SIM picks another simulator; the one built beside the tests otherwise.
    const QString program = qEnvironmentVariable("VANDREL_SIM", QStringLiteral(VANDREL_SIM_DEFAULT));
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(program, args);
    if (!process_.waitForStarted(5000))
        throw std::runtime_error("simulator did not start");
    const QString line = waitForLine(QStringLiteral("DEVICE "));
    if (line.isEmpty())
        throw std::runtime_error("simulator reported no device");
    device_ = line.mid(7).trimmed();
}

SimProcess::~SimProcess()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.write("quit\n");
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

// The next line from the process itself (lines kept in pending_ are not looked at).
QString SimProcess::nextLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!process_.canReadLine()) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return {};
        // Keep the caller's event loop alive: the program under test runs in it.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process_.waitForReadyRead(10);
    }
    return QString::fromLocal8Bit(process_.readLine()).trimmed();
}

QString SimProcess::waitForLine(const QString &prefix, int timeoutMs)
{
    for (int i = 0; i < pending_.size(); ++i) {
        if (pending_.at(i).startsWith(prefix))
            return pending_.takeAt(i);
    }
    QDeadlineTimer deadline(timeoutMs);
    QStringList skipped;
    while (!deadline.hasExpired()) {
        const QString line = nextLine(int(deadline.remainingTime()));
        if (line.startsWith(prefix)) {
            pending_ = skipped + pending_;
            return line;
        }
        if (!line.isNull())
            skipped << line;
    }
    pending_ = skipped + pending_;
    return {};
}

QString SimProcess::command(const QString &line, int timeoutMs)
{
    process_.write((line + QLatin1Char('\n')).toLocal8Bit());
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QString answer = nextLine(int(deadline.remainingTime()));
        if (answer.startsWith(QLatin1String("OK")) || answer.startsWith(QLatin1String("ERROR")))
            return answer;
        if (!answer.isNull())
            pending_ << answer;
        else
            break;
    }
    return {};
}

int SimProcess::received(char byte)
{
    process_.write("stats\n");
    const QString stats = waitForLine(QStringLiteral("STATS"));
    const QString key = QStringLiteral("0x%1=").arg(int(static_cast<unsigned char>(byte)), 2, 16, QLatin1Char('0'));
    QRegularExpression re(QRegularExpression::escape(key) + QStringLiteral("(\\d+)"),
                          QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(stats);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace vandrel::test
