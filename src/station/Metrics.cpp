// SPDX-License-Identifier: GPL-3.0-or-later
// Metrics text and the HTTP endpoint.
#include "station/Metrics.h"

#include "station/MeterStation.h"

#include <QTcpSocket>
#include <QTimer>

namespace vandrel::station {

QString labelValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            out += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    return out;
}

namespace {

void family(QByteArray &out, const char *name, const char *type, const char *help)
{
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 10);
}

} // namespace

QByteArray metricsText(const std::vector<const MeterStation *> &meters, double uptimeSeconds,
                       const QString &version)
{
    QByteArray out;
    out.reserve(512 + static_cast<qsizetype>(meters.size()) * 2048);
    std::vector<QByteArray> labels;
    for (const MeterStation *m : meters)
        labels.push_back(QStringLiteral("meter=\"%1\",site=\"%2\"")
                             .arg(labelValue(m->config().name), labelValue(m->config().site))
                             .toUtf8());

    family(out, "vandrel_reading", "gauge",
           "Last value shown by the meter, per channel (humidity in %RH, temperatures in the meter's unit).");
    for (std::size_t i = 0; i < meters.size(); ++i) {
        for (const Channel channel : kChannels) {
            const std::optional<double> v = meters[i]->value(channel);
            if (!v)
                continue;
            out += "vandrel_reading{" + labels[i] + ",channel=\"" + channelKey(channel) + "\",unit=\""
                   + labelValue(meters[i]->unit(channel)).toUtf8() + "\"} " + number(*v) + '\n';
        }
    }
    family(out, "vandrel_reading_age_seconds", "gauge", "Seconds since the meter's last reading.");
    for (std::size_t i = 0; i < meters.size(); ++i) {
        if (const auto age = meters[i]->readingAgeSeconds())
            out += "vandrel_reading_age_seconds{" + labels[i] + "} " + number(*age) + '\n';
    }
    family(out, "vandrel_meter_connected", "gauge", "1 while the meter sends readings.");
    for (std::size_t i = 0; i < meters.size(); ++i)
        out += "vandrel_meter_connected{" + labels[i] + "} " + (meters[i]->connected() ? "1" : "0") + '\n';
    family(out, "vandrel_samples_recorded_total", "counter", "Rows written to the meter's record since the start.");
    for (std::size_t i = 0; i < meters.size(); ++i)
        out += "vandrel_samples_recorded_total{" + labels[i] + "} " + QByteArray::number(meters[i]->samplesRecorded()) + '\n';
    family(out, "vandrel_samples_waiting", "gauge", "Rows waiting for the disk.");
    for (std::size_t i = 0; i < meters.size(); ++i)
        out += "vandrel_samples_waiting{" + labels[i] + "} " + QByteArray::number(meters[i]->files().waiting()) + '\n';
    family(out, "vandrel_alarm", "gauge", "1 while the alarm is raised.");
    for (std::size_t i = 0; i < meters.size(); ++i) {
        const MeterStation &m = *meters[i];
        for (const Channel channel : kChannels) {
            const Limits &limits = m.rule(channel).limits();
            const QByteArray head = "vandrel_alarm{" + labels[i] + ",channel=\"" + channelKey(channel) + "\",alarm=\"";
            if (limits.low)
                out += head + "low\"} " + (m.rule(channel).lowRaised() ? "1" : "0") + '\n';
            if (limits.high)
                out += head + "high\"} " + (m.rule(channel).highRaised() ? "1" : "0") + '\n';
        }
        out += "vandrel_alarm{" + labels[i] + ",channel=\"meter\",alarm=\"stale\"} " + (m.staleRaised() ? "1" : "0") + '\n';
        out += "vandrel_alarm{" + labels[i] + ",channel=\"record\",alarm=\"storage\"} " + (m.storageRaised() ? "1" : "0") + '\n';
    }
    family(out, "vandrel_station_uptime_seconds", "gauge", "Seconds since the station started.");
    out += "vandrel_station_uptime_seconds " + number(uptimeSeconds) + '\n';
    family(out, "vandrel_station_build_info", "gauge", "The station's version.");
    out += "vandrel_station_build_info{version=\"" + labelValue(version).toUtf8() + "\"} 1\n";
    return out;
}

QByteArray httpAnswer(const QByteArray &head, const std::function<QByteArray()> &render)
{
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    const auto answer = [](const QByteArray &status, const QByteArray &type, const QByteArray &body, bool withBody) {
        QByteArray out = "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: "
                         + QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
        if (status.startsWith("405"))
            out += "Allow: GET, HEAD\r\n";
        out += "\r\n";
        if (withBody)
            out += body;
        return out;
    };
    if (words.size() != 3 || !words.at(2).startsWith("HTTP/1."))
        return answer("400 Bad Request", "text/plain; charset=utf-8", "bad request\n", true);
    const QByteArray &method = words.at(0);
    QByteArray target = words.at(1);
    if (const qsizetype query = target.indexOf('?'); query >= 0)
        target.truncate(query);
    if (target != "/metrics")
        return answer("404 Not Found", "text/plain; charset=utf-8", "not found: try /metrics\n", method != "HEAD");
    if (method != "GET" && method != "HEAD")
        return answer("405 Method Not Allowed", "text/plain; charset=utf-8", "only GET\n", true);
    return answer("200 OK", "text/plain; version=0.0.4; charset=utf-8", render(), method == "GET");
}

MetricsServer::MetricsServer(std::function<QByteArray()> render, QObject *parent)
    : QObject(parent), render_(std::move(render))
{
    connect(&server_, &QTcpServer::newConnection, this, &MetricsServer::accept);
}

bool MetricsServer::listen(const QHostAddress &address, quint16 port)
{
    return server_.listen(address, port);
}

void MetricsServer::accept()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        auto *deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, &QTcpSocket::abort);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QAbstractSocket::errorOccurred, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            if (socket->property("answered").toBool()) {
                socket->readAll();
                return;
            }
            if (socket->bytesAvailable() + socket->property("size").toLongLong() > kMaxRequest) {
                socket->abort();
                return;
            }
            QByteArray head = socket->property("head").toByteArray() + socket->readAll();
            socket->setProperty("size", head.size());
            const qsizetype end = head.indexOf("\r\n\r\n");
            if (end < 0) {
                socket->setProperty("head", head);
                return;
            }
            socket->setProperty("answered", true);
            socket->write(httpAnswer(head.left(end + 2), render_));
            socket->disconnectFromHost();
        });
        deadline->start(kClientMs);
    }
}

} // namespace vandrel::station
