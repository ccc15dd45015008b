// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications through the session's notification service over
// D-Bus. Where no session bus or no such service runs, nothing happens.
#pragma once

#include <QString>

namespace vandrel {

class DesktopNotifier {
public:
    // The service's name and path; other names let a test run its own service.
    explicit DesktopNotifier(QString service = QStringLiteral("org.freedesktop.Notifications"));
    // True when the service took the notification.
    bool notify(const QString &summary, const QString &body);

private:
    QString service_;
};

} // namespace vandrel
