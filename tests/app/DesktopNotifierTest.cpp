// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications over a real session bus (a dbus-daemon of the test's
// own): the notification service gets one Notify call with the summary and
// body, and where no such service runs nothing is sent and nothing fails.
#include "app/DesktopNotifier.h"

#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QProcess>
#include <QSignalSpy>
#include <QVariantMap>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

// Plays the desktop's notification service.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;
public slots:
    uint Notify(const QString &app, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        received << app + '|' + summary + '|' + body + '|' + QString::number(hints.value("urgency").toInt());
        emit notified();
        return static_cast<uint>(received.size());
    }
signals:
    void notified();
};

} // namespace

TEST(DesktopNotifier, TheServiceGetsOneNotifyAndWithoutOneNothingHappens)
{
    // A session bus of our own, on a socket in a fresh folder.
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
    ASSERT_TRUE(daemon.waitForStarted(10000)) << "dbus-daemon is needed (package dbus-daemon)";
    ASSERT_TRUE(daemon.waitForReadyRead(10000));
    const QByteArray address = daemon.readLine().trimmed();
    ASSERT_FALSE(address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected()) << bus.lastError().message().toStdString();
    const QString name = "org.vandrel.test.Notifications";
    {
        DesktopNotifier none(name); // no such service on the bus yet
        EXPECT_FALSE(none.notify("Limit crossed", "Humidity above 65.0 %RH: 66.0 %RH"));
    }
    NotificationService service;
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/Notifications", &service, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(name));
    QSignalSpy spy(&service, &NotificationService::notified);
    DesktopNotifier notifier(name);
    EXPECT_TRUE(notifier.notify("Limit crossed", "Humidity above 65.0 %RH: 66.0 %RH"));
    ASSERT_TRUE(spy.wait(10000));
    EXPECT_EQ(service.received,
              QStringList{"Vandrel|Limit crossed|Humidity above 65.0 %RH: 66.0 %RH|2"});

    bus.unregisterService(name);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    daemon.kill();
    daemon.waitForFinished(5000);
}

#include "DesktopNotifierTest.moc"
