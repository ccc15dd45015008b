// SPDX-License-Identifier: GPL-3.0-or-later
// The station's state in the Prometheus text format, and the small HTTP
// server that hands it out at /metrics.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QTcpServer>

#include <functional>
#include <vector>

namespace vandrel::station {

class MeterStation;

// A label value with '\', '"' and line ends escaped as the format asks.
QString labelValue(const QString &text);

// Every meter's gauges and counters, the station's uptime and build info.
QByteArray metricsText(const std::vector<const MeterStation *> &meters, double uptimeSeconds,
                       const QString &version);

// Answers GET (and HEAD) /metrics; anything else gets 404 or 405. One request
// per connection; a client that sends more than a small request or takes too
// long is cut off, so a stuck client cannot hold the station.
class MetricsServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRequest = 8192;
    static constexpr int kClientMs = 5000;
    explicit MetricsServer(std::function<QByteArray()> render, QObject *parent = nullptr);
    bool listen(const QHostAddress &address, quint16 port);
    void close() { server_.close(); }
    QString errorString() const { return server_.errorString(); }
    quint16 port() const { return server_.serverPort(); }

private:
    void accept();

    std::function<QByteArray()> render_;
    QTcpServer server_;
};

// The answer to one HTTP request's head (pure; the head without its body).
QByteArray httpAnswer(const QByteArray &head, const std::function<QByteArray()> &render);

} // namespace vandrel::station
