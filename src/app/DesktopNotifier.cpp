// SPDX-License-Identifier: GPL-3.0-or-later
// One Notify call on the session bus.
#include "app/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace vandrel {

DesktopNotifier::DesktopNotifier(QString service) : service_(std::move(service)) {}

bool DesktopNotifier::notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(service_))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(service_, QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2)); // critical: it stays until seen
    call << QStringLiteral("Vandrel") << uint(0) << QStringLiteral("vandrel") << summary << body << QStringList()
         << hints << int(-1);
    // Not waited for: a slow service must not hold up the readings.
    return bus.send(call);
}

} // namespace vandrel
