// SPDX-License-Identifier: GPL-3.0-or-later
// Notifying the service manager through libsystemd.
#include "station/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

namespace vandrel::station {

ServiceNotifier::ServiceNotifier(std::function<QString()> status, QObject *parent)
    : QObject(parent), status_(std::move(status))
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        // Twice per period, as the service manager advises, so one late
        // timer is not yet a missed watchdog.
        watchdog_.setInterval(static_cast<int>(std::max<uint64_t>(usec / 2000, 1)));
        connect(&watchdog_, &QTimer::timeout, this, [this] { send("WATCHDOG=1"); });
    }
    statusTimer_.setInterval(1000);
    connect(&statusTimer_, &QTimer::timeout, this, &ServiceNotifier::updateStatus);
}

void ServiceNotifier::send(const QByteArray &message)
{
    sd_notify(0, message.constData());
}

void ServiceNotifier::ready()
{
    lastStatus_ = status_();
    send("READY=1\nSTATUS=" + lastStatus_.toUtf8());
    if (watchdog_.interval() > 0 && !watchdog_.isActive() && sd_watchdog_enabled(0, nullptr) > 0) {
        send("WATCHDOG=1");
        watchdog_.start();
    }
    statusTimer_.start();
}

void ServiceNotifier::stopping()
{
    statusTimer_.stop();
    send("STOPPING=1");
}

void ServiceNotifier::updateStatus()
{
    const QString status = status_();
    if (status == lastStatus_)
        return;
    lastStatus_ = status;
    send("STATUS=" + status.toUtf8());
}

} // namespace vandrel::station
