// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT output: every meter's rows, read through its delivery cursor, as
// QoS 1 state messages, with retained discovery configs and the station's
// availability. The client runs in the caller's event loop: its socket is
// watched by socket notifiers and every libmosquitto call is made on this
// thread, so callbacks need no locks, a lost connection is handled in one
// place and reconnecting (with our own capped backoff) starts each
// connection from a fresh client whose unconfirmed messages are read again
// from the disk rather than kept in memory.
#pragma once

#include "publish/PublishSettings.h"
#include "publish/RecordCursor.h"
#include "publish/RecordSample.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

struct mosquitto;
class QSocketNotifier;

namespace vandrel::publish {

class MqttOutput : public QObject {
    Q_OBJECT
public:
    // Cursors are kept in `cursorFolder` as "mqtt-<meter>". `log` takes one
    // line per event.
    MqttOutput(MqttSettings settings, QString cursorFolder, std::function<void(const QString &)> log,
               QObject *parent = nullptr);
    ~MqttOutput() override;

    // The meters to deliver; a meter already known keeps its place.
    void setMeters(const std::vector<MeterSource> &meters);
    // Connects, and keeps connecting after every loss.
    void start();
    // "offline", a clean disconnect; rows not yet confirmed stay undelivered.
    void stop();
    // New rows may be in the files, or an alarm changed: they go out at once.
    // `meter`: only that meter's (empty: every meter's).
    void wake(const QString &meter = {});

    bool connected() const { return connected_; }
    const MqttSettings &settings() const { return settings_; }
    QString clientId() const { return clientId_; }
    qint64 confirmedRows() const { return confirmedRows_; }

signals:
    void connectedChanged(bool connected);
    // Rows of a meter were confirmed by the broker and their place saved.
    void rowsConfirmed(const QString &meter, int rows);

private:
    struct Feed {
        MeterSource source;
        std::unique_ptr<RecordCursor> cursor;
        QSet<int> pending;     // message ids of the batch in flight
        RecordPlace batchEnd;
        int batchRows = 0;
        QString discoveryKey;  // what the configs sent on this connection said
        QByteArray alarmsSent; // the alarms last sent on this connection
        QString badFile;       // the file whose unreadable row was last reported
        QString saveProblem;   // why the place could not be saved, as last logged
    };

    void connectNow();
    void lose(const QString &why, bool quiet = false);
    void teardown();
    void scheduleRetry();
    void onConnack(int rc);
    void onPuback(int mid);
    void onLog(int level, const QString &text);
    void service();
    void updateWriteInterest();
    bool publish(const QString &topic, const QByteArray &payload, bool retain, int *mid = nullptr);
    void pump(Feed &feed);
    void pumpAll();
    void sendDiscovery(Feed &feed, const MeterFacts &facts);
    void commitBatch(Feed &feed);
    QString brokerText() const;

    MqttSettings settings_;
    QString cursorFolder_;
    std::function<void(const QString &)> log_;
    QString clientId_;
    std::vector<std::unique_ptr<Feed>> feeds_;
    struct mosquitto *mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier_, writeNotifier_;
    QTimer tick_;   // keep-alive and a look at the files once a second
    QTimer retry_;
    int backoff_ = 1;
    bool running_ = false;
    bool connected_ = false;
    quint64 generation_ = 0; // of the client; events of an older one are dropped
    std::map<int, Feed *> inflight_;
    QString lastError_;      // the client library's last error line
    bool refusalLogged_ = false;
    QElapsedTimer connecting_; // since the connection was asked for
    int stopMid_ = -1;         // the goodbye's message id, and whether it was confirmed
    bool stopAcked_ = false;
    qint64 confirmedRows_ = 0;
};

} // namespace vandrel::publish
