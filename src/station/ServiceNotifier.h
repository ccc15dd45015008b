// SPDX-License-Identifier: GPL-3.0-or-later
// The service manager's notify protocol: READY=1 once the station is up,
// WATCHDOG=1 from the event loop (so a stuck loop is noticed), STATUS= with
// the meters connected and the alarms raised, STOPPING=1 at the end. Without
// NOTIFY_SOCKET every call does nothing.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace vandrel::station {

class ServiceNotifier : public QObject {
    Q_OBJECT
public:
    explicit ServiceNotifier(std::function<QString()> status, QObject *parent = nullptr);
    void ready();
    void stopping();
    // Sends the status when it changed since the last one sent.
    void updateStatus();

private:
    void send(const QByteArray &message);

    std::function<QString()> status_;
    QString lastStatus_;
    QTimer watchdog_;
    QTimer statusTimer_;
};

} // namespace vandrel::station
