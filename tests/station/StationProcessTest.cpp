// SPDX-License-Identifier: GPL-3.0-or-later
// vandrel-station as a process: a configuration error ends it with status 78
// before any port is touched; against two simulated meters it records both,
// loses nothing written when killed, appends after a restart and ends cleanly
// on SIGTERM.
#include "SimProcess.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <poll.h>
#include <unistd.h>

using vandrel::test::PtyPair;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Append));
    f.write(text);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray fetchMetrics(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET /metrics HTTP/1.1\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(5000))
        answer += socket.readAll();
    return answer;
}

struct Station {
    QProcess process;
    explicit Station(const QStringList &args)
    {
        process.start(QStringLiteral(VANDREL_STATION_PATH), args);
        process.waitForStarted(10000);
    }
    ~Station()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool finish() { return waitUntil([&] { return process.state() == QProcess::NotRunning; }, 30000); }
};

} // namespace

TEST(StationProcess, aConfigurationErrorEndsItWithStatus78BeforeAnyPortIsTouched)
{
    QTemporaryDir dir;
    PtyPair device;
    const QString conf = dir.filePath(QStringLiteral("station.conf"));
    writeFile(conf, QStringLiteral("[station]\ndata = %1\n\n[meter.a]\ndevice = %2\nrate = 5000\n")
                        .arg(dir.path(), device.path())
                        .toUtf8());
    for (const QStringList &args : {QStringList{QStringLiteral("--config"), conf},
                                    QStringList{QStringLiteral("--check-config"), QStringLiteral("--config"), conf}}) {
        Station station(args);
        ASSERT_TRUE(station.finish());
        EXPECT_EQ(station.process.exitCode(), 78);
        EXPECT_EQ(station.process.readAllStandardError(),
                  conf.toUtf8() + ":6: rate must be whole seconds from 0 to 3660, not \"5000\"\n");
    }
    pollfd pending{device.master(), POLLIN, 0};
    EXPECT_EQ(::poll(&pending, 1, 0), 0) << "the station wrote to the meter's port";
}

TEST(StationProcess, recordsTwoMetersKeepsWhatAKillLeftAndEndsOnSigterm)
{
    QTemporaryDir dir;
    const QString linkA = dir.filePath(QStringLiteral("by-id-a"));
    const QString linkB = dir.filePath(QStringLiteral("by-id-b"));
    SimProcess simA({QStringLiteral("--model"), QStringLiteral("580"), QStringLiteral("--link"), linkA});
    SimProcess simB({QStringLiteral("--model"), QStringLiteral("540"), QStringLiteral("--link"), linkB});
    const quint16 port = freePort();
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString conf = dir.filePath(QStringLiteral("station.conf"));
    writeFile(conf, QStringLiteral("[station]\ndata = %1\nlisten = 127.0.0.1:%2\n"
                                   "[meter.a]\ndevice = %3\nrate = 1\nsite = Lab\n"
                                   "[meter.b]\ndevice = %4\nrate = 1\n")
                        .arg(data)
                        .arg(port)
                        .arg(linkA, linkB)
                        .toUtf8());
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".csv");
    const QString fileA = data + QStringLiteral("/a/") + day;
    const QString fileB = data + QStringLiteral("/b/") + day;
    const auto rows = [](const QString &path) { return readAll(path).count("\r\n"); };

    QByteArray keptA, keptB;
    {
        Station station({QStringLiteral("--config"), conf});
        ASSERT_TRUE(waitUntil([&] { return rows(fileA) >= 3 && rows(fileB) >= 3; }, 30000))
            << station.process.readAllStandardError().toStdString();
        const QByteArray metrics = fetchMetrics(port);
        EXPECT_TRUE(metrics.contains("vandrel_meter_connected{meter=\"a\",site=\"Lab\"} 1\n")) << metrics.toStdString();
        EXPECT_TRUE(metrics.contains("vandrel_meter_connected{meter=\"b\",site=\"\"} 1\n"));
        station.process.kill();
        ASSERT_TRUE(station.finish());
        keptA = readAll(fileA);
        keptB = readAll(fileB);
    }
    // What a kill in the middle of a write leaves: part of a row.
    writeFile(fileA, "07/12/2026,12:00:0");
    {
        Station station({QStringLiteral("--config"), conf});
        ASSERT_TRUE(waitUntil([&] { return rows(fileA) >= keptA.count("\r\n") + 3 && rows(fileB) >= keptB.count("\r\n") + 3; },
                              30000));
        station.process.terminate();
        ASSERT_TRUE(station.finish());
        EXPECT_EQ(station.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(station.process.exitCode(), 0);
        const QByteArray log = station.process.readAllStandardError();
        EXPECT_TRUE(log.contains("the last row of " + fileA.toUtf8() + " was incomplete")) << log.toStdString();
        EXPECT_TRUE(log.contains(" station stopped\n")) << log.toStdString();
    }
    // Every row written before the kill is still there, the cut one is
    // ended, and every line after it is a whole row.
    const QByteArray afterA = readAll(fileA);
    const QByteArray afterB = readAll(fileB);
    ASSERT_TRUE(afterA.startsWith(keptA + "07/12/2026,12:00:0\r\n"));
    ASSERT_TRUE(afterB.startsWith(keptB));
    for (const QByteArray &text : {afterA.mid(keptA.size() + 20), afterB}) {
        EXPECT_TRUE(text.endsWith("\r\n"));
        for (const QByteArray &line : text.split('\n')) {
            if (!line.isEmpty()) {
                EXPECT_EQ(line.count(','), 9) << line.toStdString();
            }
        }
    }
}
