// SPDX-License-Identifier: GPL-3.0-or-later
// The station: every configured meter, the log, the alarm command and the
// metrics endpoint, in one event loop.
#pragma once

#include "station/AlarmCommand.h"
#include "station/AutoFinder.h"
#include "station/MeterStation.h"
#include "station/Metrics.h"
#include "station/StationConfig.h"
#include "publish/InfluxOutput.h"
#include "publish/MqttOutput.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vandrel::station {

// One log line: the local time with its offset, then the text.
QString logLine(const QDateTime &time, const QString &text);
// The log line of a raised or cleared alarm.
QString alarmLogText(const AlarmEvent &event);
// What the outputs publish about a meter as it stands: its model and
// channels once identified, its temperature unit and every alarm's state.
publish::MeterFacts meterFacts(MeterStation &meter);

class Station : public QObject {
    Q_OBJECT
public:
    // `makeParts` gives each meter what it runs on (tests: in-process lines);
    // none: the real serial devices.
    Station(StationConfig config, QString version, std::function<MeterParts(const MeterConfig &)> makeParts = {},
            QObject *parent = nullptr);
    ~Station() override;

    // Opens the metrics endpoint and starts every meter. False (error set)
    // when the endpoint cannot listen; no meter is started then.
    bool start(QString &error);
    // Stops every meter's link; emits stopped() once all ports are closed.
    void stop();
    // Applies a new configuration (already checked): meters whose section
    // did not change run on untouched, without losing a sample; the others
    // are stopped, and the new or changed ones start once their devices are
    // closed. False (error set, the old address kept) when the new listen
    // address cannot be opened; the meters are applied all the same.
    bool reload(const StationConfig &next, QString &error);

    // The configured meters, then those the device = auto search found.
    const std::vector<std::unique_ptr<MeterStation>> &meters() const { return meters_; }
    // The search of the device = auto section, while one runs.
    AutoFinder *finder() const { return finder_.get(); }
    publish::MqttOutput *mqtt() const { return mqtt_.get(); }
    publish::InfluxOutput *influx() const { return influx_.get(); }
    QByteArray metrics() const;
    quint16 metricsPort() const { return server_.port(); }
    // Meters connected and alarms raised, for the service manager's status.
    QString statusText() const;
    int alarmsRaised() const;
    // One line on standard error, with the time.
    void log(const QString &text) const;

signals:
    void stopped();
    void alarmChanged(const AlarmEvent &event);

private:
    void tryStop();
    std::unique_ptr<MeterStation> makeMeter(const MeterConfig &meter);
    QStringList claimedDevices() const;
    void startWhenRetired(std::vector<QPointer<MeterStation>> fresh);
    bool closeRetired();
    void startFinder();
    void retireFinder();
    void onFound(const QString &device);
    // Makes, remakes or ends the outputs for `config_`, and gives them the meters.
    void applyOutputs();
    std::vector<publish::MeterSource> meterSources();

    StationConfig config_;
    QString version_;
    QElapsedTimer uptime_;
    std::function<MeterParts(const MeterConfig &)> makeParts_;
    std::vector<std::unique_ptr<MeterStation>> meters_;
    // Meters taken out by a reload, until their links have closed.
    std::vector<std::unique_ptr<MeterStation>> retiring_;
    // The device = auto section, its search, and searches being closed.
    std::optional<MeterConfig> autoConfig_;
    std::unique_ptr<AutoFinder> finder_;
    std::vector<std::unique_ptr<AutoFinder>> retiringFinders_;
    AlarmCommand command_;
    MetricsServer server_;
    QTimer checkTimer_;
    std::unique_ptr<publish::MqttOutput> mqtt_;
    std::unique_ptr<publish::InfluxOutput> influx_;
    bool stopping_ = false;
};

} // namespace vandrel::station
