// SPDX-License-Identifier: GPL-3.0-or-later
// The metrics endpoint: fetched over a real loopback connection from a
// station whose meters run in-process, and checked by promtool itself.
#include "station/Station.h"

#include "StationRig.h"

#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::station;
using vandrel::test::FakeDevice;
using vandrel::test::StationRig;

namespace {

// Sends `request` to the port and returns everything until the server closes.
QByteArray fetch(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    QByteArray answer;
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    loop.exec();
    return answer + socket.readAll();
}

QByteArray body(const QByteArray &answer)
{
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

} // namespace

TEST(Metrics, theEndpointServesWhatPromtoolAccepts)
{
    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    ASSERT_FALSE(promtool.isEmpty()) << "promtool is missing: scripts/install-deps.sh installs it";
    QTemporaryDir data;
    StationRig rig;
    rig.bus.devices[QStringLiteral("/dev/fake-a")] = FakeDevice::meter("580D");
    rig.bus.devices[QStringLiteral("/dev/fake-b")] = FakeDevice{}; // silent
    StationConfig config;
    config.dataFolder = data.path();
    config.listenPort = 0; // any free port
    MeterConfig a;
    a.name = QStringLiteral("archive");
    a.site = QStringLiteral("Hall \"B\"\\1\nnorth");
    a.device = QStringLiteral("/dev/fake-a");
    a.rate = 1;
    a.limits[0].low = -2000;
    a.limits[0].high = -1000; // any humidity raises it
    MeterConfig b = a;
    b.name = QStringLiteral("cellar");
    b.device = QStringLiteral("/dev/fake-b");
    config.meters = {a, b};
    Station station(config, QStringLiteral("1.2.3"), [&](const MeterConfig &) { return rig.parts(); });
    QString error;
    ASSERT_TRUE(station.start(error)) << error.toStdString();
    QCoreApplication::processEvents(); // the meters start
    for (const auto &m : station.meters())
        rig.links.push_back(&m->link());
    rig.run(5000);

    const QByteArray answer = fetch(station.metricsPort(), "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(answer.startsWith("HTTP/1.1 200 OK\r\n")) << answer.toStdString();
    EXPECT_TRUE(answer.contains("Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"));
    const QByteArray text = body(answer);
    EXPECT_TRUE(answer.contains("Content-Length: " + QByteArray::number(text.size()) + "\r\n"));

    QProcess check;
    check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    ASSERT_TRUE(check.waitForStarted());
    check.write(text);
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                   << check.readAllStandardError().toStdString() << "\n" << text.toStdString();

    const QByteArray labelsA = "meter=\"archive\",site=\"Hall \\\"B\\\"\\\\1\\nnorth\"";
    const QByteArray labelsB = "meter=\"cellar\",site=\"Hall \\\"B\\\"\\\\1\\nnorth\"";
    EXPECT_TRUE(text.contains("vandrel_meter_connected{" + labelsA + "} 1\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("vandrel_meter_connected{" + labelsB + "} 0\n"));
    EXPECT_TRUE(text.contains("vandrel_reading{" + labelsA + ",channel=\"humidity\",unit=\"%RH\"} "));
    EXPECT_FALSE(text.contains("vandrel_reading{" + labelsB));
    EXPECT_TRUE(text.contains("vandrel_alarm{" + labelsA + ",channel=\"humidity\",alarm=\"high\"} 1\n"));
    EXPECT_FALSE(text.contains("channel=\"t1\",alarm=")); // no limits, no alarm series
    EXPECT_TRUE(text.contains("vandrel_alarm{" + labelsA + ",channel=\"humidity\",alarm=\"low\"} 0\n"));
    EXPECT_TRUE(text.contains("vandrel_alarm{" + labelsB + ",channel=\"meter\",alarm=\"stale\"} 0\n"));
    EXPECT_TRUE(text.contains("vandrel_samples_recorded_total{" + labelsA + "} "
                              + QByteArray::number(station.meters()[0]->samplesRecorded()) + "\n"));
    EXPECT_GE(station.meters()[0]->samplesRecorded(), 3);
    EXPECT_TRUE(text.contains("vandrel_station_build_info{version=\"1.2.3\"} 1\n"));
    EXPECT_TRUE(text.contains("\nvandrel_station_uptime_seconds "));
}

struct HttpCase {
    const char *request;
    const char *status;
    bool withBody;
};

class HttpAnswers : public testing::TestWithParam<HttpCase> {};

TEST_P(HttpAnswers, followTheMethodAndPath)
{
    const HttpCase &c = GetParam();
    const QByteArray answer = httpAnswer(c.request, [] { return QByteArray("metric 1\n"); });
    EXPECT_TRUE(answer.startsWith(QByteArray("HTTP/1.1 ") + c.status + "\r\n")) << c.request << answer.toStdString();
    EXPECT_EQ(body(answer).isEmpty(), !c.withBody) << c.request;
    if (QByteArray(c.status).startsWith("200") && c.withBody) {
        EXPECT_EQ(body(answer), "metric 1\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Metrics, HttpAnswers,
                         testing::Values(HttpCase{"GET /metrics HTTP/1.1\r\n", "200 OK", true},
                                         HttpCase{"GET /metrics?x=1 HTTP/1.0\r\n", "200 OK", true},
                                         HttpCase{"HEAD /metrics HTTP/1.1\r\n", "200 OK", false},
                                         HttpCase{"POST /metrics HTTP/1.1\r\n", "405 Method Not Allowed", true},
                                         HttpCase{"GET / HTTP/1.1\r\n", "404 Not Found", true},
                                         HttpCase{"GET /metricsx HTTP/1.1\r\n", "404 Not Found", true},
                                         HttpCase{"garbage\r\n", "400 Bad Request", true},
                                         HttpCase{"GET /metrics SPDY/3\r\n", "400 Bad Request", true}));

TEST(Metrics, aClientThatSendsTooMuchIsCutOffAndTheNextIsServed)
{
    MetricsServer server([] { return QByteArray("m 1\n"); });
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const QByteArray flood = "GET /metrics HTTP/1.1\r\nX: " + QByteArray(MetricsServer::kMaxRequest, 'a');
    EXPECT_FALSE(fetch(server.port(), flood).startsWith("HTTP/1.1 200"));
    EXPECT_TRUE(fetch(server.port(), "GET /metrics HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}
