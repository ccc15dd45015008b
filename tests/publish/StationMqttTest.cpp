// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-station as a process with an [mqtt] section: online and its
// discovery configs once connected, the last will "offline" when it is
// killed, and online again after a restart.
#include "Servers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace vandrel::test;

TEST(StationMqtt, theLastWillSaysOfflineWhenTheStationIsKilled)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port);
    ASSERT_TRUE(broker->start()) << broker->output().toStdString();
    const QString config = dir.filePath(QStringLiteral("station.conf"));
    const QByteArray text = "[station]\ndata = " + QFile::encodeName(dir.filePath(QStringLiteral("data")))
                          + "\nlisten = 127.0.0.1:" + QByteArray::number(freePort())
                          + "\n[meter.hall]\ndevice = /dev/serial/by-id/usb-none-if00\nsite = museum\nhumidity_high = 60\nrate = 1\nstale_after = 1\n"
                            "[mqtt]\nhost = 127.0.0.1\nport = " + QByteArray::number(port) + "\nclient_id = st1\nkeepalive = 5\n";
    writeText(config, text);
    Subscriber sub(port, {QStringLiteral("vandrel/st1/availability"), QStringLiteral("homeassistant/#")});
    auto availability = [&] { return sub.linesOf("vandrel/st1/availability"); };

    QProcess station;
    station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    station.start(QStringLiteral(VANDREL_STATION_PATH), {QStringLiteral("--config"), config});
    ASSERT_TRUE(station.waitForStarted(10000));
    ASSERT_TRUE(waitUntil([&] { return availability() == QList<QByteArray>{"online"}; }, 30000));
    ASSERT_TRUE(waitUntil([&] {
        return sub.linesOf("homeassistant/binary_sensor/vandrel_museum_hall_alarm_humidity_high/config").size() == 1;
    }, 20000));
    const QJsonObject humidity =
        QJsonDocument::fromJson(sub.linesOf("homeassistant/sensor/vandrel_museum_hall_humidity/config").value(0)).object();
    EXPECT_EQ(humidity.value(QStringLiteral("state_topic")).toString(), QStringLiteral("vandrel/museum/hall/state"));
    // The meter is not there: its stale alarm is raised with no sample to
    // carry it, and the retained alarms topic says so.
    Subscriber alarms(port, {QStringLiteral("vandrel/museum/hall/alarms")});
    ASSERT_TRUE(waitUntil([&] {
        const QList<QByteArray> sent = alarms.linesOf("vandrel/museum/hall/alarms");
        return !sent.isEmpty() && QJsonDocument::fromJson(sent.last()).object().value(QStringLiteral("stale")).toBool();
    }, 40000));
    EXPECT_EQ(QJsonDocument::fromJson(sub.linesOf("homeassistant/binary_sensor/vandrel_museum_hall_alarm_stale/config").value(0))
                  .object().value(QStringLiteral("state_topic")).toString(),
              QStringLiteral("vandrel/museum/hall/alarms"));

    station.kill(); // SIGKILL: no goodbye, the broker speaks the will
    station.waitForFinished(10000);
    ASSERT_TRUE(waitUntil([&] { return availability() == QList<QByteArray>{"online", "offline"}; }, 30000));

    station.start(QStringLiteral(VANDREL_STATION_PATH), {QStringLiteral("--config"), config});
    ASSERT_TRUE(waitUntil([&] { return availability().size() == 3; }, 30000));
    EXPECT_EQ(availability().last(), QByteArray("online"));
    // SIGHUP with another prefix: the old output says goodbye, the new one hello.
    Subscriber renamed(port, {QStringLiteral("museum/st1/availability")});
    writeText(config, text + "prefix = museum\n");
    ::kill(static_cast<pid_t>(station.processId()), SIGHUP);
    ASSERT_TRUE(waitUntil([&] { return renamed.linesOf("museum/st1/availability") == QList<QByteArray>{"online"}; }, 30000));
    EXPECT_EQ(availability().size(), 4);
    EXPECT_EQ(availability().last(), QByteArray("offline"));
    station.terminate(); // SIGTERM: "offline" from the station itself
    ASSERT_TRUE(station.waitForFinished(20000));
    EXPECT_EQ(station.exitCode(), 0);
    ASSERT_TRUE(waitUntil([&] { return renamed.linesOf("museum/st1/availability").size() == 2; }, 20000))
        << renamed.lines().join('|').toStdString() << broker->output().toStdString();
    EXPECT_EQ(renamed.linesOf("museum/st1/availability").last(), QByteArray("offline"));
}
