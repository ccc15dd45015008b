// SPDX-License-Identifier: GPL-3.0-or-later
// The InfluxDB output: every meter's rows, read through its delivery cursor,
// as line protocol POSTed in batches to a 1.x or 2.x write endpoint. A batch's
// place is saved only after the database answered 2xx; a 5xx or a network
// error is retried with backoff, a refusal (4xx) slowly, and nothing is ever
// dropped.
#pragma once

#include "publish/PublishSettings.h"
#include "publish/RecordCursor.h"
#include "publish/RecordSample.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimeZone>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QNetworkReply;

namespace vandrel::publish {

// A tag value or key with ',', '=' and blanks escaped.
QString influxTagText(const QString &text);
// One point: measurement humidity_temperature, tags meter, model and site
// (left out when empty), a field per channel the sample has, the time in
// seconds from the meter's clock reading taken in `zone`. Empty when the
// sample has no value at all (a point needs a field).
QByteArray influxLine(const RecordSample &sample, const MeterFacts &meter, const QTimeZone &zone);

class InfluxOutput : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxBatch = 5000;

    // Cursors are kept in `cursorFolder` as "influxdb-<meter>".
    InfluxOutput(InfluxSettings settings, QString cursorFolder, std::function<void(const QString &)> log,
                 QObject *parent = nullptr);
    ~InfluxOutput() override;

    void setMeters(const std::vector<MeterSource> &meters);
    void start();
    void stop();
    void wake();
    const InfluxSettings &settings() const { return settings_; }
    qint64 confirmedRows() const { return confirmedRows_; }

signals:
    void rowsConfirmed(const QString &meter, int rows);

private:
    struct Feed {
        MeterSource source;
        std::unique_ptr<RecordCursor> cursor;
        QString badFile;
        QString saveProblem; // why the place could not be saved, as last logged
        QNetworkReply *reply = nullptr; // the batch in flight (one per meter)
        RecordPlace batchEnd;
        int batchRows = 0;
    };
    // Requests in flight at once, each for another meter: the database and
    // the making of the next batch work side by side.
    static constexpr int kParallel = 2;

    void sendNext();
    bool sendBatch(Feed &feed);
    void onReply(Feed *feed, QNetworkReply *reply);
    void abandon(Feed &feed);
    int inFlight() const;
    QUrl writeUrl() const;
    void failed(const QString &why, bool refusal);

    InfluxSettings settings_;
    QString cursorFolder_;
    std::function<void(const QString &)> log_;
    QTimeZone zone_;
    QNetworkAccessManager network_;
    std::vector<std::unique_ptr<Feed>> feeds_;
    std::size_t nextFeed_ = 0;
    QTimer retry_;
    QTimer tick_;
    int backoff_ = 1;
    bool running_ = false;
    QString lastProblem_;
    qint64 confirmedRows_ = 0;
};

} // namespace vandrel::publish
