// SPDX-License-Identifier: GPL-3.0-or-later
// The four channels a meter can measure, and every name each goes by: one
// table that the command line, the settings, the statistics, the station's
// configuration and metrics, MQTT and InfluxDB all ask. QtCore only.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace vandrel {

// In the order of the table's columns; the values index per-channel arrays.
enum Channel : int { kHumidity = 0, kT1 = 1, kT2 = 2, kDewPoint = 3, kChannelCount = 4 };
inline constexpr std::array<Channel, kChannelCount> kChannels{kHumidity, kT1, kT2, kDewPoint};

enum class ChannelKind { Humidity, Temperature };

struct ChannelInfo {
    Channel channel;
    // "humidity", "t1", "t2", "dewpoint": the word of the station's
    // configuration, its metrics, MQTT, InfluxDB and the command line.
    const char *key;
    // "rh", "t1", "t2", "dp": the short word the command line's limits also take.
    const char *shortKey;
    // "rh", "t1", "t2", "dewpoint": the word of the command line's JSON rows.
    const char *jsonKey;
    // "Humidity", "T1", "T2", "Dew point": what a person reads.
    const char *title;
    // "Humidity", "T1", "T2", "DewPoint": the group of its limits in the settings.
    const char *settingsGroup;
    ChannelKind kind;
};

const ChannelInfo &channelInfo(Channel channel);
inline const char *channelKey(Channel channel) { return channelInfo(channel).key; }
inline QString channelName(Channel channel) { return QLatin1String(channelInfo(channel).title); }
inline bool isTemperature(Channel channel) { return channelInfo(channel).kind == ChannelKind::Temperature; }
// The channel a word names: its key or its short key, in any case.
std::optional<Channel> channelFromKey(QStringView word);

// The unit of a channel's values: "%RH" for humidity, "°C" or "°F" for a
// temperature in `unit` ('C' or 'F').
QString unitText(Channel channel, char unit);

// Temperatures from one unit to the other ('C', 'F'; anything else leaves the
// value as it is). A difference (a hysteresis, a margin) scales without the offset.
double convertTemperature(double value, char from, char to);
double convertTemperatureDifference(double value, char from, char to);

} // namespace vandrel
