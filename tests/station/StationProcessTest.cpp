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

#include <algorithm>
#include <csignal>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
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

// The service manager's end of the notify protocol: a datagram socket.
class NotifySocket {
public:
    explicit NotifySocket(const QString &path) : path_(path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = QFile::encodeName(path);
        std::memcpy(addr.sun_path, p.constData(), std::min<std::size_t>(p.size(), sizeof addr.sun_path - 1));
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    }
    ~NotifySocket() { ::close(fd_); }
    bool bound() const { return bound_; }
    QStringList messages()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0)
                break;
            received_ << QString::fromUtf8(buffer, n);
        }
        return received_;
    }

private:
    QString path_;
    int fd_ = -1;
    bool bound_ = false;
    QStringList received_;
};

struct Station {
    QProcess process;
    explicit Station(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(env);
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
    NotifySocket manager(dir.filePath(QStringLiteral("notify")));
    ASSERT_TRUE(manager.bound());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1000000"));
    {
        Station station({QStringLiteral("--config"), conf}, env);
        // Read as it comes, as the service manager does: a full socket would
        // hold the station up.
        ASSERT_TRUE(waitUntil([&] { manager.messages();
                                    return rows(fileA) >= keptA.count("\r\n") + 3 && rows(fileB) >= keptB.count("\r\n") + 3; },
                              30000))
            << station.process.readAllStandardError().toStdString();
        station.process.terminate();
        ASSERT_TRUE(waitUntil([&] { manager.messages(); return station.process.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(station.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(station.process.exitCode(), 0);
        const QByteArray log = station.process.readAllStandardError();
        EXPECT_TRUE(log.contains("the last row of " + fileA.toUtf8() + " was incomplete")) << log.toStdString();
        EXPECT_TRUE(log.contains(" station stopped\n")) << log.toStdString();
    }
    // Ready once, the watchdog fed from the running loop, the meters in the
    // status, and the end announced.
    const QStringList told = manager.messages();
    ASSERT_GE(told.size(), 3);
    EXPECT_TRUE(told.first().startsWith(QLatin1String("READY=1\nSTATUS="))) << told.first().toStdString();
    // The watchdog is fed until the very end, so its pings may follow the
    // stop; nothing else may.
    const qsizetype stopping = told.indexOf(QStringLiteral("STOPPING=1"));
    ASSERT_GE(stopping, 0) << told.join(QLatin1Char('|')).toStdString();
    for (qsizetype i = stopping + 1; i < told.size(); ++i)
        EXPECT_EQ(told.at(i), "WATCHDOG=1") << told.join(QLatin1Char('|')).toStdString();
    EXPECT_GE(told.count(QStringLiteral("WATCHDOG=1")), 2) << told.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("STATUS=2 of 2 meters connected, 0 alarms raised")))
        << told.join(QLatin1Char('|')).toStdString();
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
