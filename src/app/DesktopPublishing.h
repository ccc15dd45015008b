// SPDX-License-Identifier: GPL-3.0-or-later
// Publishing a real-time run to an MQTT broker, as the station publishes its
// meters: each sampled row goes to a record file of its own (one a day, on
// the disk before it is sent) and the MQTT output delivers it from there, so
// a broker that is away costs no row and never holds up the run. Off by
// default. GUI-free: the settings and the publisher.
#pragma once

#include "publish/MqttOutput.h"
#include "publish/PublishSettings.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

namespace vandrel {
class RecordFiles;

struct PublishingSettings {
    bool enabled = false;
    publish::MqttSettings mqtt; // the password only from a file: the settings hold no secret
    QString site;
    QString meter = QStringLiteral("desktop");

    // Missing or unreadable values take their defaults.
    static PublishingSettings load(QSettings &store);
    void save(QSettings &store) const;
    // What keeps these settings from working, for the user; empty when none.
    QString problem() const;
    bool operator==(const PublishingSettings &) const = default;
};

// What the run's rows are published with besides their cells.
struct RunFacts {
    QString model;                 // "580D"; empty before the meter is identified
    bool twoTemperatures = false;
    bool dewPoint = false;
    QString unit;                  // of the temperatures
};

class DesktopPublisher : public QObject {
    Q_OBJECT
public:
    // `folder`: where the rows wait and the delivered places are kept.
    DesktopPublisher(QString folder, std::function<void(const QString &)> log, QObject *parent = nullptr);
    ~DesktopPublisher() override;

    // Starts, restarts (other settings) or stops publishing.
    void apply(const PublishingSettings &settings, std::function<RunFacts()> facts);
    // A sampled row (the cells as the table holds them, the number first).
    void record(const QDateTime &now, const QStringList &cells);
    publish::MqttOutput *output() const { return output_.get(); }
    QString recordFolder() const;

private:
    void dropDeliveredDays();

    QString folder_;
    std::function<void(const QString &)> log_;
    PublishingSettings settings_;
    std::function<RunFacts()> facts_;
    std::unique_ptr<RecordFiles> files_;
    std::unique_ptr<publish::MqttOutput> output_;
};

} // namespace vandrel
