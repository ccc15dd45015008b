// SPDX-License-Identifier: GPL-3.0-or-later
// The outputs against real local servers. MQTT: 8 meters recording a sample
// a second each through the station's record files, the time from the start
// of a sample's recording to its arrival at a subscriber (median, 99th
// percentile) and the publishing thread's CPU; then a 10-minute outage's
// backlog of the 8 meters delivered from the saved places (messages per
// second, lost, out of order). InfluxDB: 100,000 points from the files in
// batches of 5,000 (points per second).
// Usage: bench_publish [seconds of the live run, default 60]
#include "publish/InfluxOutput.h"
#include "publish/MqttOutput.h"
#include "records/RecordFiles.h"

#include "Servers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <time.h>

using namespace vandrel;
using namespace vandrel::publish;
using namespace vandrel::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMeters = 8;
// A subscriber that falls behind a burst has what it missed queued without
// the broker's default limit of 1,000, past which it drops QoS 1 messages.
const QByteArray kBrokerConf = "allow_anonymous true\nmax_queued_messages 0\n";
const QDateTime kFirst(QDate(2026, 12, 7), QTime(0, 0, 0));

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// A subscriber on its own thread (the library's), stamping each message.
class Stamper {
public:
    struct Got {
        QString topic;
        QString time;
        Clock::time_point at;
    };
    explicit Stamper(quint16 port)
    {
        mosq_ = mosquitto_new("bench-subscriber", true, this);
        mosquitto_connect_callback_set(mosq_, [](struct mosquitto *m, void *, int) { mosquitto_subscribe(m, nullptr, "vandrel/+/+/state", 1); });
        mosquitto_subscribe_callback_set(mosq_, [](struct mosquitto *, void *self, int, int, const int *) {
            static_cast<Stamper *>(self)->subscribed_ = true;
        });
        mosquitto_message_callback_set(mosq_, [](struct mosquitto *, void *self, const struct mosquitto_message *m) {
            const auto at = Clock::now();
            auto *s = static_cast<Stamper *>(self);
            const QByteArray payload(static_cast<const char *>(m->payload), m->payloadlen);
            const QString time = QJsonDocument::fromJson(payload).object().value(QStringLiteral("time")).toString();
            std::lock_guard lock(s->mutex_);
            s->got_.push_back({QString::fromUtf8(m->topic), time, at});
        });
        mosquitto_connect(mosq_, "127.0.0.1", port, 60);
        mosquitto_loop_start(mosq_);
    }
    ~Stamper()
    {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }
    bool subscribed() const { return subscribed_; }
    std::vector<Got> take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(got_, {});
    }
    std::size_t count()
    {
        std::lock_guard lock(mutex_);
        return got_.size();
    }

private:
    struct mosquitto *mosq_;
    std::atomic<bool> subscribed_ = false;
    std::mutex mutex_;
    std::vector<Got> got_;
};

QString meterName(int i)
{
    return QStringLiteral("m%1").arg(i);
}

std::vector<MeterSource> sources(const QString &data)
{
    std::vector<MeterSource> out;
    for (int i = 0; i < kMeters; ++i) {
        const QString name = meterName(i);
        out.push_back({name, data + QLatin1Char('/') + name, [name] {
                           MeterFacts f;
                           f.name = name;
                           f.site = QStringLiteral("bench");
                           f.model = QStringLiteral("580D");
                           f.alarms = {{QStringLiteral("stale"), false}, {QStringLiteral("storage"), false}};
                           return f;
                       }});
    }
    return out;
}

void result(const char *figure, const QString &measured, const char *target)
{
    std::printf("RESULT | %s | %s | %s\n", figure, measured.toUtf8().constData(), target);
    std::fflush(stdout);
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

void liveLatency(int seconds)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port, kBrokerConf, false);
    if (!broker->start()) {
        result("MQTT frame to subscriber, median", QStringLiteral("no broker"), "<= 20 ms");
        return;
    }
    Stamper stamper(port);
    waitUntil([&] { return stamper.subscribed(); }, 10000);
    const QString data = dir.filePath(QStringLiteral("data"));
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("bench");
    MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), [](const QString &) {});
    output.setMeters(sources(data));
    output.start();
    waitUntil([&] { return output.connected(); }, 10000);

    std::vector<std::unique_ptr<RecordFiles>> files;
    std::map<QString, Clock::time_point> started; // "<meter> <time>" -> start of its recording
    std::vector<std::unique_ptr<QTimer>> timers;
    std::vector<int> counts(kMeters, 0);
    for (int i = 0; i < kMeters; ++i) {
        files.push_back(std::make_unique<RecordFiles>(data + QLatin1Char('/') + meterName(i)));
        auto timer = std::make_unique<QTimer>();
        timer->setInterval(1000);
        QObject::connect(timer.get(), &QTimer::timeout, [&, i] {
            const QDateTime t = kFirst.addSecs(counts[i]++);
            started[meterName(i) + QLatin1Char(' ') + t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))] = Clock::now();
            files[i]->append(t.date(), recordRow(t, 45.0, 21.0));
            output.wake(); // as the station does once a row is on the disk
        });
        QTimer::singleShot(i * 1000 / kMeters, timer.get(), [t = timer.get()] { t->start(); });
        timers.push_back(std::move(timer));
    }
    const double cpu0 = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // A plain event loop: the station's own, with nothing spinning beside it.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = threadCpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    for (auto &t : timers)
        t->stop();
    waitUntil([] { return false; }, 500);
    std::vector<double> ms;
    for (const Stamper::Got &g : stamper.take()) {
        const QString meter = g.topic.section(QLatin1Char('/'), 2, 2);
        const auto it = started.find(meter + QLatin1Char(' ') + g.time);
        if (it != started.end())
            ms.push_back(std::chrono::duration<double, std::milli>(g.at - it->second).count());
    }
    result("MQTT frame to subscriber, median (8 meters at 1 s)",
           QStringLiteral("%1 ms over %2 samples").arg(percentile(ms, 0.5), 0, 'f', 2).arg(ms.size()), "<= 20 ms");
    result("MQTT frame to subscriber, 99th percentile", QStringLiteral("%1 ms").arg(percentile(ms, 0.99), 0, 'f', 2), "<= 100 ms");
    result("Recording and publishing thread CPU (8 meters at 1 s)",
           QStringLiteral("%1 % of one core").arg(100.0 * cpu / elapsed, 0, 'f', 2), "<= 3 %");
}

void backlog()
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port, kBrokerConf, false);
    if (!broker->start()) {
        result("MQTT backlog after a 10-minute outage", QStringLiteral("no broker"), ">= 5,000 messages/s");
        return;
    }
    Stamper stamper(port);
    waitUntil([&] { return stamper.subscribed(); }, 10000);
    const QString data = dir.filePath(QStringLiteral("data"));
    const int rows = 600; // ten minutes at 1 s
    QDir().mkpath(dir.filePath(QStringLiteral("cursors")));
    for (int i = 0; i < kMeters; ++i) {
        writeRows(data + QLatin1Char('/') + meterName(i), kFirst, 0, rows);
        // Delivered up to the start of the outage.
        writeText(dir.filePath(QStringLiteral("cursors/mqtt-") + meterName(i)), "2026-12-07.csv 0\n");
    }
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.clientId = QStringLiteral("bench");
    MqttOutput output(settings, dir.filePath(QStringLiteral("cursors")), [](const QString &) {});
    output.setMeters(sources(data));
    QElapsedTimer timer;
    QObject::connect(&output, &MqttOutput::connectedChanged, [&](bool up) {
        if (up)
            timer.start();
    });
    output.start();
    const std::size_t total = std::size_t(kMeters) * rows;
    waitUntil([&] { return stamper.count() >= total; }, 120000);
    const double seconds = timer.elapsed() / 1000.0;
    std::map<QString, QList<QString>> perMeter;
    std::size_t received = 0;
    for (const Stamper::Got &g : stamper.take()) {
        perMeter[g.topic].append(g.time);
        ++received;
    }
    QList<QString> expected;
    for (int i = 0; i < rows; ++i)
        expected << kFirst.addSecs(i).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    int bad = 0;
    for (int i = 0; i < kMeters; ++i)
        bad += !checkDelivery(perMeter[QStringLiteral("vandrel/bench/%1/state").arg(meterName(i))], expected, 0).isEmpty();
    result("MQTT backlog of a 10-minute outage, 8 meters",
           QStringLiteral("%1 messages/s (%2 messages, %3 meter(s) with a loss or a message out of order)")
               .arg(static_cast<double>(received) / seconds, 0, 'f', 0)
               .arg(received)
               .arg(bad),
           ">= 5,000 messages/s, 0 lost, 0 out of order");
}

void influx()
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto server = makeInflux(dir.filePath(QStringLiteral("influx")), port);
    if (!server->start()) {
        result("InfluxDB points delivered", QStringLiteral("no database"), ">= 50,000 points/s");
        return;
    }
    QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                               QStringLiteral("-XPOST"), QStringLiteral("http://127.0.0.1:%1/query").arg(port),
                                               QStringLiteral("--data-urlencode"), QStringLiteral("q=CREATE DATABASE bench")});
    const QString data = dir.filePath(QStringLiteral("data"));
    const int rows = 12500;
    for (int i = 0; i < kMeters; ++i)
        writeRows(data + QLatin1Char('/') + meterName(i), kFirst, 0, rows);
    {
        // Our own share: reading the rows back and writing their points.
        RecordCursor cursor(data + QStringLiteral("/m0"), dir.filePath(QStringLiteral("probe")), FreshStart::Beginning);
        cursor.load();
        QElapsedTimer own;
        own.start();
        qsizetype bytes = 0;
        const MeterFacts facts = sources(data).front().facts();
        RecordSampleReader reader;
        for (const publish::RecordRow &row : cursor.next(rows))
            bytes += influxLine(*reader.read(row.line), facts, QTimeZone::utc()).size();
        result("InfluxDB rows read back and written as points (the output's own share)",
               QStringLiteral("%1 us per point (%2 B)").arg(own.nsecsElapsed() / 1000.0 / rows, 0, 'f', 2).arg(bytes / rows), "-");
    }
    InfluxSettings settings;
    settings.url = QStringLiteral("http://127.0.0.1:%1").arg(port);
    settings.database = QStringLiteral("bench");
    QString problem;
    InfluxOutput output(settings, dir.filePath(QStringLiteral("cursors")), [&](const QString &t) { problem = t; });
    output.setMeters(sources(data));
    QElapsedTimer timer;
    timer.start();
    output.start();
    waitUntil([&] { return output.confirmedRows() >= qint64(kMeters) * rows; }, 300000);
    const double seconds = timer.elapsed() / 1000.0;
    result("InfluxDB points delivered in batches of 5,000",
           QStringLiteral("%1 points/s (%2 points)").arg(static_cast<double>(output.confirmedRows()) / seconds, 0, 'f', 0).arg(output.confirmedRows()),
           ">= 50,000 points/s");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    mosquitto_lib_init();
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    liveLatency(seconds);
    backlog();
    influx();
    return 0;
}
