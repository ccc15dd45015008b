// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT output against a real broker on a loopback port: every sample in
// order across a day's rollover and a broker killed and restarted mid-run,
// retained discovery configs and availability, a wrong password refused, and
// TLS with a CA made here.
#include "publish/MqttOutput.h"

#include "Servers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel::publish;
using namespace vandrel::test;

namespace {

const QDateTime kFirst(QDate(2026, 12, 7), QTime(23, 50, 0));

MeterFacts factsOf(const QString &name)
{
    MeterFacts facts;
    facts.name = name;
    facts.site = QStringLiteral("archive");
    facts.model = QStringLiteral("580D");
    facts.unit = QStringLiteral("C");
    facts.alarms = {{QStringLiteral("humidity_high"), false}, {QStringLiteral("stale"), false}};
    return facts;
}

MeterSource sourceOf(const QTemporaryDir &dir, const QString &name)
{
    return {name, dir.filePath(QStringLiteral("data/") + name), [name] { return factsOf(name); }};
}

QList<QString> timesOf(const QList<QByteArray> &payloads)
{
    QList<QString> out;
    for (const QByteArray &p : payloads)
        out << QJsonDocument::fromJson(p).object().value(QStringLiteral("time")).toString();
    return out;
}

QList<QString> expectedTimes(int count)
{
    QList<QString> out;
    for (int i = 0; i < count; ++i)
        out << kFirst.addSecs(i).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    return out;
}

struct Logged {
    QStringList lines;
    std::function<void(const QString &)> sink() { return [this](const QString &t) { lines << t; }; }
    bool has(const QString &part) const { return lines.filter(part).size() > 0; }
};

} // namespace

TEST(MqttOutput, everySampleArrivesInOrderAcrossABrokerKilledAndRestartedMidRun)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port);
    ASSERT_TRUE(broker->start()) << broker->output().toStdString();
    Subscriber sub(port, {QStringLiteral("vandrel/#"), QStringLiteral("homeassistant/#")});
    ASSERT_TRUE(sub.waitSubscribed(port));
    // 1500 samples of one meter over midnight, 300 of another, before the output starts.
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 0, 1500);
    writeRows(dir.filePath(QStringLiteral("data/b")), kFirst, 0, 300);
    // A cursor of a meter new to the output starts at the end: these start at the beginning.
    QDir().mkpath(dir.filePath(QStringLiteral("cursors")));
    writeText(dir.filePath(QStringLiteral("cursors/mqtt-a")), "2026-12-07.csv 0\n");
    writeText(dir.filePath(QStringLiteral("cursors/mqtt-b")), "2026-12-07.csv 0\n");

    MqttSettings settings;
    settings.enabled = true;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("station-test");
    settings.batch = 100;
    Logged log;
    MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), log.sink());
    bool killed = false;
    QObject::connect(&output, &MqttOutput::rowsConfirmed, [&] {
        // Mid-run: batches of the backlog are in flight when the broker dies.
        if (!killed && output.confirmedRows() >= 600) {
            killed = true;
            broker->kill();
        }
    });
    output.setMeters({sourceOf(dir, QStringLiteral("a")), sourceOf(dir, QStringLiteral("b"))});
    output.start();
    ASSERT_TRUE(waitUntil([&] { return killed && !output.connected(); }, 30000));
    // Live rows keep coming while the broker is away.
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 1500, 100);
    ASSERT_TRUE(broker->start());
    const QList<QString> wantA = expectedTimes(1600), wantB = expectedTimes(300);
    ASSERT_TRUE(waitUntil([&] {
        return timesOf(sub.linesOf("vandrel/archive/a/state")).endsWith(wantA.last())
               && timesOf(sub.linesOf("vandrel/archive/b/state")).endsWith(wantB.last());
    }, 60000)) << log.lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(checkDelivery(timesOf(sub.linesOf("vandrel/archive/a/state")), wantA, settings.batch).toStdString(), "");
    EXPECT_EQ(checkDelivery(timesOf(sub.linesOf("vandrel/archive/b/state")), wantB, settings.batch).toStdString(), "");
    EXPECT_TRUE(log.has(QStringLiteral("lost the connection to 127.0.0.1:%1").arg(port)));

    // A state message: the time without a zone, numbers, the unit, the alarms.
    const QJsonObject first = QJsonDocument::fromJson(sub.linesOf("vandrel/archive/a/state").first()).object();
    EXPECT_EQ(first.value(QStringLiteral("time")).toString(), QStringLiteral("2026-12-07T23:50:00"));
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("humidity")).toDouble(), 40.0);
    EXPECT_DOUBLE_EQ(first.value(QStringLiteral("t1")).toDouble(), 20.0);
    EXPECT_FALSE(first.contains(QStringLiteral("t2")));
    EXPECT_EQ(first.value(QStringLiteral("unit")).toString(), QStringLiteral("C"));
    EXPECT_EQ(first.value(QStringLiteral("alarms")).toObject().value(QStringLiteral("stale")), QJsonValue(false));

    output.stop();
    // Retained, so a subscriber that comes later has them at once: the
    // configs and "offline" after the clean stop.
    Subscriber late(port, {QStringLiteral("homeassistant/#"), QStringLiteral("vandrel/+/availability")},
                    {QStringLiteral("-C"), QStringLiteral("9")});
    ASSERT_TRUE(waitUntil([&] { return late.lines().size() >= 9; }, 20000));
    EXPECT_EQ(late.linesOf("vandrel/station-test/availability"), QList<QByteArray>{"offline"});
    const QList<QByteArray> humidity = late.linesOf("homeassistant/sensor/vandrel_archive_a_humidity/config");
    ASSERT_EQ(humidity.size(), 1);
    const QJsonObject config = QJsonDocument::fromJson(humidity.first()).object();
    EXPECT_EQ(config.value(QStringLiteral("device_class")).toString(), QStringLiteral("humidity"));
    EXPECT_EQ(config.value(QStringLiteral("state_topic")).toString(), QStringLiteral("vandrel/archive/a/state"));
    EXPECT_EQ(config.value(QStringLiteral("state_class")).toString(), QStringLiteral("measurement"));
    EXPECT_EQ(config.value(QStringLiteral("availability_topic")).toString(), QStringLiteral("vandrel/station-test/availability"));
    EXPECT_EQ(config.value(QStringLiteral("device")).toObject().value(QStringLiteral("model")).toString(), QStringLiteral("580D"));
    EXPECT_EQ(late.linesOf("homeassistant/binary_sensor/vandrel_archive_b_alarm_stale/config").size(), 1);
}

TEST(MqttOutput, aWrongPasswordIsRefusedWithOneLineAndTheRightOneConnectsOverMqtt5)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    const QString passwords = dir.filePath(QStringLiteral("passwd"));
    writeText(passwords, "");
    ASSERT_EQ(QProcess::execute(QStringLiteral("mosquitto_passwd"),
                                {QStringLiteral("-b"), passwords, QStringLiteral("station"), QStringLiteral("right")}), 0);
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port,
                             "allow_anonymous false\npassword_file " + QFile::encodeName(passwords) + "\n");
    ASSERT_TRUE(broker->start()) << broker->output().toStdString();
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 0, 5);

    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("station-test");
    settings.username = QStringLiteral("station");
    settings.password = QStringLiteral("wrong");
    settings.protocol = 4;
    Logged log;
    {
        MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), log.sink());
        output.setMeters({sourceOf(dir, QStringLiteral("a"))});
        output.start();
        ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("refused the connection")); }, 20000));
        EXPECT_FALSE(output.connected());
        EXPECT_EQ(log.lines.filter(QStringLiteral("refused")).size(), 1) << log.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_TRUE(log.lines.filter(QStringLiteral("refused")).first().contains(QStringLiteral("not authorised"), Qt::CaseInsensitive)
                    || log.lines.filter(QStringLiteral("refused")).first().contains(QStringLiteral("password"), Qt::CaseInsensitive))
            << log.lines.join(QLatin1Char('\n')).toStdString();
    }
    // The password from a file (so the configuration can stay readable), over MQTT 5.
    settings.protocol = 5;
    settings.password.clear();
    settings.passwordFile = dir.filePath(QStringLiteral("secret"));
    writeText(settings.passwordFile, "right\n");
    MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), log.sink());
    output.setMeters({sourceOf(dir, QStringLiteral("a"))});
    output.start();
    ASSERT_TRUE(waitUntil([&] { return output.connected(); }, 20000)) << log.lines.join(QLatin1Char('\n')).toStdString();
}

TEST(MqttOutput, tlsWithATestCaDeliversAndAStrangeCaIsRefusedWithAClearLine)
{
    QTemporaryDir dir;
    auto openssl = [&](const QStringList &args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(QStringLiteral("openssl"), args);
        return p.waitForFinished(60000) && p.exitCode() == 0;
    };
    for (const QString &ca : {QStringLiteral("ca"), QStringLiteral("other")})
        ASSERT_TRUE(openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                             QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                             QStringLiteral("/CN=test ") + ca, QStringLiteral("-keyout"), ca + QStringLiteral(".key"),
                             QStringLiteral("-out"), ca + QStringLiteral(".crt")}));
    ASSERT_TRUE(openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"), QStringLiteral("-nodes"),
                         QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"),
                         QStringLiteral("server.key"), QStringLiteral("-out"), QStringLiteral("server.csr")}));
    writeText(dir.filePath(QStringLiteral("san.ext")), "subjectAltName=IP:127.0.0.1\n");
    ASSERT_TRUE(openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
                         QStringLiteral("-CA"), QStringLiteral("ca.crt"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                         QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                         QStringLiteral("san.ext"), QStringLiteral("-out"), QStringLiteral("server.crt")}));
    const quint16 port = freePort();
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port,
                             "allow_anonymous true\ncafile " + QFile::encodeName(dir.filePath(QStringLiteral("ca.crt")))
                                 + "\ncertfile " + QFile::encodeName(dir.filePath(QStringLiteral("server.crt")))
                                 + "\nkeyfile " + QFile::encodeName(dir.filePath(QStringLiteral("server.key"))) + "\n");
    ASSERT_TRUE(broker->start()) << broker->output().toStdString();
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 0, 3);

    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("station-test");
    settings.caFile = dir.filePath(QStringLiteral("other.crt"));
    Logged log;
    {
        MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), log.sink());
        output.setMeters({sourceOf(dir, QStringLiteral("a"))});
        output.start();
        ASSERT_TRUE(waitUntil([&] { return log.has(QStringLiteral("cannot connect")); }, 20000))
            << log.lines.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(output.connected());
        EXPECT_TRUE(log.lines.filter(QStringLiteral("cannot connect")).first().contains(QStringLiteral("TLS")))
            << log.lines.join(QLatin1Char('\n')).toStdString();
    }
    settings.caFile = dir.filePath(QStringLiteral("ca.crt"));
    MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), log.sink());
    output.setMeters({sourceOf(dir, QStringLiteral("a"))});
    output.start();
    ASSERT_TRUE(waitUntil([&] { return output.connected(); }, 20000)) << log.lines.join(QLatin1Char('\n')).toStdString();
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 3, 2);
    output.wake();
    ASSERT_TRUE(waitUntil([&] { return output.confirmedRows() == 2; }, 20000));
}
