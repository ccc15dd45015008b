// SPDX-License-Identifier: GPL-3.0-or-later
// The InfluxDB output against a real 1.x database on a loopback port: a
// missing database refused without a row lost, every point read back through
// the query API, and the database killed and started again mid-run.
#include "publish/InfluxOutput.h"

#include "Servers.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

using namespace vandrel::publish;
using namespace vandrel::test;

namespace {

const QDateTime kFirst(QDate(2026, 12, 7), QTime(22, 0, 0));

// Runs an InfluxQL statement; the answer's JSON.
QJsonObject influxQuery(quint16 port, const QString &statement)
{
    QNetworkAccessManager network;
    QUrl url(QStringLiteral("http://127.0.0.1:%1/query").arg(port));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("db"), QStringLiteral("climate"));
    query.addQueryItem(QStringLiteral("epoch"), QStringLiteral("s"));
    query.addQueryItem(QStringLiteral("q"), statement);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = network.post(request, query.toString(QUrl::FullyEncoded).toUtf8());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

// "time humidity t1" of every point of a meter, in time order.
QStringList pointsOf(quint16 port, const QString &meter)
{
    const QJsonObject answer = influxQuery(
        port, QStringLiteral("SELECT humidity, t1, site, model FROM humidity_temperature WHERE meter = '%1'").arg(meter));
    QStringList out;
    const QJsonArray values = answer.value(QStringLiteral("results")).toArray().at(0).toObject()
                                  .value(QStringLiteral("series")).toArray().at(0).toObject()
                                  .value(QStringLiteral("values")).toArray();
    for (const QJsonValue &v : values) {
        const QJsonArray row = v.toArray();
        out << QStringLiteral("%1 %2 %3 %4 %5").arg(row.at(0).toInteger()).arg(row.at(1).toDouble()).arg(row.at(2).toDouble())
                   .arg(row.at(3).toString(), row.at(4).toString());
    }
    return out;
}

QStringList expectedPoints(int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i) {
        const QDateTime t = kFirst.addSecs(i);
        // The meter's clock reading taken as UTC.
        const qint64 seconds = QDateTime(t.date(), t.time(), Qt::UTC).toSecsSinceEpoch();
        out << QStringLiteral("%1 %2 %3 museum 580D").arg(seconds).arg(QString::number(40 + (i % 100) * 0.1, 'f', 1).toDouble())
                   .arg(QString::number(20 + (i % 50) * 0.1, 'f', 1).toDouble());
    }
    return out;
}

MeterSource sourceOf(const QTemporaryDir &dir, const QString &name)
{
    return {name, dir.filePath(QStringLiteral("data/") + name), [name] {
                MeterFacts facts;
                facts.name = name;
                facts.site = QStringLiteral("museum");
                facts.model = QStringLiteral("580D");
                return facts;
            }};
}

} // namespace

TEST(InfluxOutput, everyPointIsReadBackAfterARefusalAndADatabaseKilledMidRun)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto influx = makeInflux(dir.filePath(QStringLiteral("influx")), port);
    ASSERT_TRUE(influx->start()) << influx->output().toStdString();
    // 12,000 samples of one meter across midnight (three batches), 700 of another.
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 0, 12000);
    writeRows(dir.filePath(QStringLiteral("data/b")), kFirst, 0, 700);

    InfluxSettings settings;
    settings.enabled = true;
    settings.url = QStringLiteral("http://127.0.0.1:%1").arg(port);
    settings.database = QStringLiteral("climate");
    QStringList log;
    const QString cursors = dir.filePath(QStringLiteral("cursors"));
    {
        // No database yet: refused, said once, nothing counted as delivered.
        InfluxOutput output(settings, cursors, [&](const QString &t) { log << t; });
        output.setMeters({sourceOf(dir, QStringLiteral("a")), sourceOf(dir, QStringLiteral("b"))});
        output.start();
        ASSERT_TRUE(waitUntil([&] { return !log.filter(QStringLiteral("refused the points (HTTP 404")).isEmpty(); }, 20000))
            << log.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(output.confirmedRows(), 0);
        EXPECT_TRUE(log.filter(QStringLiteral("database not found")).size() == 1) << log.join(QLatin1Char('\n')).toStdString();
    }
    ASSERT_FALSE(influxQuery(port, QStringLiteral("CREATE DATABASE climate")).isEmpty());

    InfluxOutput output(settings, cursors, [&](const QString &t) { log << t; });
    bool killed = false;
    QObject::connect(&output, &InfluxOutput::rowsConfirmed, [&] {
        if (!killed && output.confirmedRows() >= 5000) {
            killed = true; // the next batch is on its way or about to be
            influx->kill();
        }
    });
    output.setMeters({sourceOf(dir, QStringLiteral("a")), sourceOf(dir, QStringLiteral("b"))});
    output.start();
    ASSERT_TRUE(waitUntil([&] { return killed; }, 30000)) << log.join(QLatin1Char('\n')).toStdString();
    writeRows(dir.filePath(QStringLiteral("data/a")), kFirst, 12000, 300);
    output.wake();
    ASSERT_TRUE(influx->start()) << influx->output().toStdString();
    ASSERT_TRUE(waitUntil([&] { return pointsOf(port, QStringLiteral("a")).size() == 12300 && pointsOf(port, QStringLiteral("b")).size() == 700; },
                          90000))
        << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(pointsOf(port, QStringLiteral("a")), expectedPoints(12300));
    EXPECT_EQ(pointsOf(port, QStringLiteral("b")), expectedPoints(700));
    EXPECT_FALSE(log.filter(QStringLiteral("writing again")).isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
}
