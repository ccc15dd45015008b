// SPDX-License-Identifier: GPL-3.0-or-later
// What the MQTT output sends: topics, the state message of a sample and the
// home-automation discovery configs. Pure: facts in, topics and bytes out.
#pragma once

#include "publish/PublishSettings.h"
#include "publish/RecordSample.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace vandrel::publish {

struct MqttMessage {
    QString topic;
    QByteArray payload;
    bool operator==(const MqttMessage &) const = default;
};

// A name as one topic level: '/', '+', '#', blanks and control characters
// become '_', and an empty name "_", so a site or meter never adds a level
// or a wildcard.
QString topicLevel(const QString &name);
// "<prefix>/<site>/<meter>/state"
QString stateTopic(const MqttSettings &settings, const MeterFacts &meter);
// "<prefix>/<site>/<meter>/alarms": every alarm of the meter as it stands,
// retained, so an alarm raised while no sample comes (a stale meter) is seen.
QString alarmsTopic(const MqttSettings &settings, const MeterFacts &meter);
QByteArray alarmsMessage(const MeterFacts &meter);
// "<prefix>/<client id>/availability": "online" while connected, "offline" after.
QString availabilityTopic(const MqttSettings &settings, const QString &clientId);

// The JSON state of one sample: the time (no zone), the channels the sample
// has as numbers, the temperature unit, and the meter's alarms as they stand.
QByteArray stateMessage(const RecordSample &sample, const MeterFacts &meter);

// One retained config per channel the meter has (a sensor, on the state
// topic) and per alarm (a binary sensor, on the alarms topic), under the
// discovery prefix.
QList<MqttMessage> discoveryMessages(const MqttSettings &settings, const QString &clientId, const MeterFacts &meter);

} // namespace vandrel::publish
