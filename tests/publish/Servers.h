// SPDX-License-Identifier: GPL-3.0-or-later
// Real servers for the outputs' tests, each started on a free loopback port
// in a folder of its own: a broker, a subscriber that prints what it gets,
// and rows written as the station writes them.
#pragma once

#include "records/TableFile.h"
#include "records/TableRow.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace vandrel::test {

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline bool portOpen(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

inline void writeText(const QString &path, const QByteArray &text, bool append = false)
{
    QFile f(path);
    if (f.open(append ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly))
        f.write(text);
}

// A server process; killed (SIGKILL) when the test ends.
class ServerProcess {
public:
    ServerProcess(QString program, QStringList args, quint16 port) : program_(std::move(program)), args_(std::move(args)), port_(port) {}
    ~ServerProcess() { kill(); }
    bool start()
    {
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::MergedChannels);
        process_->start(program_, args_);
        if (!process_->waitForStarted(10000))
            return false;
        return waitUntil([&] { return portOpen(port_) || process_->state() == QProcess::NotRunning; }, 20000)
               && process_->state() == QProcess::Running;
    }
    void kill()
    {
        if (process_ && process_->state() != QProcess::NotRunning) {
            process_->kill();
            process_->waitForFinished(10000);
        }
    }
    QByteArray output() const { return process_ ? process_->readAll() : QByteArray(); }
    quint16 port() const { return port_; }

private:
    QString program_;
    QStringList args_;
    quint16 port_;
    std::unique_ptr<QProcess> process_;
};

// A broker; with `persistent`, a subscriber's session outlives a kill (the
// broker saves after every change then, which slows it down).
inline std::unique_ptr<ServerProcess> makeBroker(const QString &folder, quint16 port, const QByteArray &extra = {},
                                                 bool persistent = true)
{
    QDir().mkpath(folder);
    writeText(folder + QStringLiteral("/mosquitto.conf"),
              // Run as root (in a container) the broker would drop to its own
              // user, which cannot reach the test's private folder.
              "user " + QByteArray(::getpwuid(::getuid())->pw_name) + "\n"
              "listener " + QByteArray::number(port) + " 127.0.0.1\n"
                  + (persistent ? "persistence true\npersistence_location " + QFile::encodeName(folder) + "/\n"
                            "autosave_on_changes true\nautosave_interval 1\n"
                          : QByteArray("persistence false\n"))
                  + (extra.isEmpty() ? QByteArray("allow_anonymous true\n") : extra));
    return std::make_unique<ServerProcess>(QStringLiteral("mosquitto"),
                                           QStringList{QStringLiteral("-c"), folder + QStringLiteral("/mosquitto.conf")}, port);
}

// An InfluxDB 1.x with its files in `folder`, its HTTP API on `port`.
inline std::unique_ptr<ServerProcess> makeInflux(const QString &folder, quint16 port)
{
    QDir().mkpath(folder);
    const QByteArray f = QFile::encodeName(folder);
    writeText(folder + QStringLiteral("/influxdb.conf"),
              "reporting-disabled = true\nbind-address = \"127.0.0.1:" + QByteArray::number(freePort()) + "\"\n"
              "[meta]\n  dir = \"" + f + "/meta\"\n  logging-enabled = false\n"
              "[data]\n  dir = \"" + f + "/data\"\n  wal-dir = \"" + f + "/wal\"\n  query-log-enabled = false\n"
              "[monitor]\n  store-enabled = false\n[subscriber]\n  enabled = false\n[continuous_queries]\n  enabled = false\n"
              "[http]\n  bind-address = \"127.0.0.1:" + QByteArray::number(port) + "\"\n  log-enabled = false\n");
    return std::make_unique<ServerProcess>(QStringLiteral("influxd"),
                                           QStringList{QStringLiteral("-config"), folder + QStringLiteral("/influxdb.conf")}, port);
}

// mosquitto_sub with a lasting session: every message as "topic payload".
class Subscriber {
public:
    Subscriber(quint16 port, const QStringList &topics, const QStringList &extra = {})
    {
        QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                         QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("-i"),
                         QStringLiteral("checker-%1").arg(quintptr(this)), QStringLiteral("-v")};
        for (const QString &t : topics)
            args << QStringLiteral("-t") << t;
        args << QStringLiteral("-t") << probeTopic();
        process_.start(QStringLiteral("mosquitto_sub"), args + extra);
        process_.waitForStarted(10000);
    }
    // Waits until the broker delivers to this subscriber, so nothing published
    // from now on can pass it by: a probe goes to a topic of its own until it
    // comes back. (A subscriber started with a message count must not be asked.)
    bool waitSubscribed(quint16 port)
    {
        const QByteArray topic = probeTopic().toUtf8();
        return waitUntil(
            [&] {
                if (!linesOf(topic).isEmpty())
                    return true;
                QProcess::execute(QStringLiteral("mosquitto_pub"),
                                  {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                   QString::number(port), QStringLiteral("-t"), probeTopic(), QStringLiteral("-m"),
                                   QStringLiteral("probe")});
                return process_.waitForReadyRead(200) && !linesOf(topic).isEmpty();
            },
            20000);
    }
    ~Subscriber()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // Every whole line so far.
    const QList<QByteArray> &lines()
    {
        buffer_ += process_.readAllStandardOutput();
        for (qsizetype nl; (nl = buffer_.indexOf('\n')) >= 0; buffer_.remove(0, nl + 1))
            lines_.append(buffer_.left(nl));
        return lines_;
    }
    QList<QByteArray> linesOf(const QByteArray &topic)
    {
        QList<QByteArray> out;
        for (const QByteArray &line : lines())
            if (line.startsWith(topic + ' '))
                out.append(line.mid(topic.size() + 1));
        return out;
    }

private:
    QString probeTopic() const { return QStringLiteral("probe/checker-%1").arg(quintptr(this)); }

    QProcess process_;
    QByteArray buffer_;
    QList<QByteArray> lines_;
};

// The record row of one sample, as the station writes it.
inline std::string recordRow(const QDateTime &time, double rh, double t1)
{
    const QStringList cells{QString(), tableDate(time.date()), tableTime(time.time()), QString::number(rh, 'f', 1),
                            QStringLiteral("%RH"), QString::number(t1, 'f', 1), QStringLiteral("C"), QString(), QString(), QString()};
    return tableRowLine(cells, ',');
}

// Appends `count` samples from `first` on, one a second, each to its day's file.
inline void writeRows(const QString &folder, const QDateTime &first, int from, int count)
{
    QDir().mkpath(folder);
    for (int i = from; i < from + count; ++i) {
        const QDateTime t = first.addSecs(i);
        writeText(folder + QLatin1Char('/') + t.date().toString(Qt::ISODate) + QStringLiteral(".csv"),
                  QByteArray::fromStdString(recordRow(t, 40 + (i % 100) * 0.1, 20 + (i % 50) * 0.1)), true);
    }
}

// Whether `got` (sample times as received) holds every one of `expected` in
// order, where a sample may come again only as part of a replay of at most
// `maxRepeat` samples before the newest one received.
inline QString checkDelivery(const QList<QString> &got, const QList<QString> &expected, int maxRepeat)
{
    qsizetype next = 0;
    for (qsizetype i = 0; i < got.size(); ++i) {
        if (next < expected.size() && got[i] == expected[next]) {
            ++next;
            continue;
        }
        const qsizetype at = next > 0 ? expected.lastIndexOf(got[i], next - 1) : -1;
        if (at < 0)
            return QStringLiteral("message %1 (%2) out of order or unknown, expected %3").arg(i).arg(got[i], expected.value(next));
        if (next - at > maxRepeat)
            return QStringLiteral("message %1 (%2) repeats %3 samples back").arg(i).arg(got[i]).arg(next - at);
        next = at + 1; // a replay: it must go on in order from here
    }
    if (next != expected.size())
        return QStringLiteral("%1 of %2 samples arrived").arg(next).arg(expected.size());
    return {};
}

} // namespace vandrel::test
