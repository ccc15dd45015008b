// SPDX-License-Identifier: GPL-3.0-or-later
// Topics and payloads of the MQTT output.
#include "publish/MqttMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vandrel::publish {

namespace {

// An id a home-automation system takes as an entity id: [a-z0-9_].
QString idPart(const QString &name)
{
    QString out;
    for (const QChar c : name.toLower())
        out += (c.isLetterOrNumber() && c.unicode() < 128) ? c : QLatin1Char('_');
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString temperatureUnit(const QString &unit)
{
    return unit == QLatin1String("F") ? QStringLiteral("°F") : QStringLiteral("°C");
}

} // namespace

QString topicLevel(const QString &name)
{
    QString out;
    for (const QChar c : name)
        out += (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.isSpace() || c.unicode() < 32)
                   ? QLatin1Char('_')
                   : c;
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString stateTopic(const MqttSettings &settings, const MeterFacts &meter)
{
    return QStringLiteral("%1/%2/%3/state").arg(settings.prefix, topicLevel(meter.site), topicLevel(meter.name));
}

QString alarmsTopic(const MqttSettings &settings, const MeterFacts &meter)
{
    return QStringLiteral("%1/%2/%3/alarms").arg(settings.prefix, topicLevel(meter.site), topicLevel(meter.name));
}

namespace {

QJsonObject alarmsObject(const MeterFacts &meter)
{
    QJsonObject alarms;
    for (const auto &[name, raised] : meter.alarms)
        alarms.insert(name, raised);
    return alarms;
}

} // namespace

QByteArray alarmsMessage(const MeterFacts &meter)
{
    return QJsonDocument(alarmsObject(meter)).toJson(QJsonDocument::Compact);
}

QString availabilityTopic(const MqttSettings &settings, const QString &clientId)
{
    return QStringLiteral("%1/%2/availability").arg(settings.prefix, topicLevel(clientId));
}

QByteArray stateMessage(const RecordSample &sample, const MeterFacts &meter)
{
    QJsonObject state;
    state.insert(QStringLiteral("time"), isoTime(sample));
    for (std::size_t i = 0; i < sample.values.size(); ++i)
        if (sample.values[i])
            state.insert(QLatin1String(channelKey(kChannels[i])), *sample.values[i]);
    if (!sample.unit.isEmpty())
        state.insert(QStringLiteral("unit"), sample.unit);
    state.insert(QStringLiteral("alarms"), alarmsObject(meter));
    return QJsonDocument(state).toJson(QJsonDocument::Compact);
}

QList<MqttMessage> discoveryMessages(const MqttSettings &settings, const QString &clientId, const MeterFacts &meter)
{
    const QString base = QStringLiteral("vandrel_%1_%2").arg(idPart(meter.site), idPart(meter.name));
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"), QJsonArray{base});
    device.insert(QStringLiteral("name"), meter.site.isEmpty() ? meter.name : meter.site + QLatin1Char(' ') + meter.name);
    device.insert(QStringLiteral("model"), meter.model.isEmpty() ? QStringLiteral("meter") : meter.model);
    device.insert(QStringLiteral("manufacturer"), QStringLiteral("Vandrel"));
    auto common = [&](const QString &id, const QString &name) {
        QJsonObject config;
        config.insert(QStringLiteral("name"), name);
        config.insert(QStringLiteral("unique_id"), id);
        config.insert(QStringLiteral("object_id"), id);
        config.insert(QStringLiteral("state_topic"), stateTopic(settings, meter));
        config.insert(QStringLiteral("availability_topic"), availabilityTopic(settings, clientId));
        config.insert(QStringLiteral("payload_available"), QStringLiteral("online"));
        config.insert(QStringLiteral("payload_not_available"), QStringLiteral("offline"));
        config.insert(QStringLiteral("device"), device);
        return config;
    };
    static const char *const titles[] = {"Humidity", "Temperature 1", "Temperature 2", "Dew point"};
    QList<MqttMessage> out;
    for (std::size_t i = 0; i < kChannels.size(); ++i) {
        if (!meter.channels[i])
            continue;
        const QString key = QLatin1String(channelKey(kChannels[i]));
        const QString id = base + QLatin1Char('_') + key;
        QJsonObject config = common(id, QLatin1String(titles[i]));
        config.insert(QStringLiteral("device_class"), i == 0 ? QStringLiteral("humidity") : QStringLiteral("temperature"));
        config.insert(QStringLiteral("unit_of_measurement"), i == 0 ? QStringLiteral("%") : temperatureUnit(meter.unit));
        config.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
        // An overloaded channel is left out of the state: the sensor is unknown then.
        config.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ value_json.%1 if value_json.%1 is defined else None }}").arg(key));
        out.append({QStringLiteral("%1/sensor/%2/config").arg(settings.discoveryPrefix, id),
                    QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    for (const auto &alarm : meter.alarms) {
        const QString id = base + QStringLiteral("_alarm_") + alarm.first;
        QJsonObject config = common(id, QStringLiteral("Alarm %1").arg(alarm.first));
        config.insert(QStringLiteral("state_topic"), alarmsTopic(settings, meter));
        config.insert(QStringLiteral("device_class"), QStringLiteral("problem"));
        config.insert(QStringLiteral("value_template"),
                      QStringLiteral("{{ 'ON' if value_json.%1 else 'OFF' }}").arg(alarm.first));
        config.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
        config.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
        out.append({QStringLiteral("%1/binary_sensor/%2/config").arg(settings.discoveryPrefix, id),
                    QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return out;
}

} // namespace vandrel::publish
