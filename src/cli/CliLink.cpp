// SPDX-License-Identifier: GPL-3.0-or-later
// Starting and ending the meter link of a command. The search runs inside the
// event loop, so a stop signal or the deadline can arrive while it waits.
#include "cli/CliLink.h"

#include "cli/PortCheck.h"

namespace vandrel::cli {

CliLink::CliLink(const QString &device, QObject *parent) : QObject(parent), device_(device)
{
    systemDevices_ = [] {
        QStringList now;
        TComPort::EnumComDevices(now);
        return now;
    };
    answerTimer_.setSingleShot(true);
    answerTimer_.setInterval(kAnswerMs);
    connect(&answerTimer_, &QTimer::timeout, this, [this] {
        answerOverdue_ = true;
        giveUp();
    });
    connect(&link_, &MeterLink::searchFinished, this, [this] {
        searchedAll_ = true;
        if (answerOverdue_)
            giveUp();
    });
    connect(&link_, &MeterLink::meterLost, this, [this] {
        if (answerOverdue_)
            giveUp();
    });
    connect(&link_, &MeterLink::statusTextChanged, this, [this](const QString &text) { lastStatus_ = text; });
    connect(&link_, &MeterLink::frameTick, this, [this] {
        if (ready_)
            return;
        ready_ = true;
        answerTimer_.stop();
        emit ready();
    });
}

void CliLink::start()
{
    if (!device_.isEmpty()) {
        const QString path = MeterLink::devicePath(device_);
        const int error = tryOpenPort(path);
        if (error != 0) {
            emit failed(QStringLiteral("cannot open %1: %2").arg(path, openStatusText(error)));
            return;
        }
        link_.setPorts({device_});
    } else {
        link_.setDeviceSource(systemDevices_);
        link_.setPorts(systemDevices_());
    }
    answerTimer_.start();
    link_.searchMeter();
    if (!closing_)
        link_.startTimers();
}

void CliLink::giveUp()
{
    if (ready_ || closing_)
        return;
    // Searching the system's devices, a slow device early in the list must not
    // use up the time of the ones after it: the search finishes first, and a
    // meter it found gets its first tick.
    if (device_.isEmpty() && (!searchedAll_ || link_.searching() || link_.state().MeterConnected))
        return;
    const QString where = device_.isEmpty() ? QStringLiteral("any serial device") : MeterLink::devicePath(device_);
    QString message = QStringLiteral("no meter answers on %1").arg(where);
    // A device the user may not open, or one another program holds, may be
    // where the meter is: say so.
    for (const char *refusal : {"Permission denied: ", "In use by another program: "}) {
        if (lastStatus_.startsWith(QLatin1String(refusal)))
            message += QStringLiteral(" (") + lastStatus_.section(QStringLiteral(" \u2014 "), 0, 0) + QLatin1Char(')');
    }
    emit failed(message);
}

void CliLink::close()
{
    closing_ = true;
    answerTimer_.stop();
    tryClose();
}

void CliLink::tryClose()
{
    if (closed_)
        return;
    if (!link_.shutDown()) {
        // A tick, a receive handler or the search is still on the stack.
        QTimer::singleShot(10, this, &CliLink::tryClose);
        return;
    }
    closed_ = true;
    emit closed();
}

} // namespace vandrel::cli
