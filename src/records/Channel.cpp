// SPDX-License-Identifier: GPL-3.0-or-later
// The channel table.
#include "records/Channel.h"

namespace vandrel {

namespace {

constexpr std::array<ChannelInfo, kChannelCount> kTable{{
    {kHumidity, "humidity", "rh", "rh", "Humidity", "Humidity", ChannelKind::Humidity},
    {kT1, "t1", "t1", "t1", "T1", "T1", ChannelKind::Temperature},
    {kT2, "t2", "t2", "t2", "T2", "T2", ChannelKind::Temperature},
    {kDewPoint, "dewpoint", "dp", "dewpoint", "Dew point", "DewPoint", ChannelKind::Temperature},
}};

} // namespace

const ChannelInfo &channelInfo(Channel channel)
{
    return kTable[static_cast<std::size_t>(channel)];
}

std::optional<Channel> channelFromKey(QStringView word)
{
    for (const ChannelInfo &info : kTable) {
        if (word.compare(QLatin1String(info.key), Qt::CaseInsensitive) == 0 ||
            word.compare(QLatin1String(info.shortKey), Qt::CaseInsensitive) == 0)
            return info.channel;
    }
    return std::nullopt;
}

QString unitText(Channel channel, char unit)
{
    if (!isTemperature(channel))
        return QStringLiteral("%RH");
    return unit == 'F' ? QStringLiteral("°F") : QStringLiteral("°C");
}

double convertTemperature(double value, char from, char to)
{
    if (from == to)
        return value;
    if (from == 'C' && to == 'F')
        return value * 1.8 + 32.0;
    if (from == 'F' && to == 'C')
        return (value - 32.0) / 1.8;
    return value;
}

double convertTemperatureDifference(double value, char from, char to)
{
    if (from == 'C' && to == 'F')
        return value * 1.8;
    if (from == 'F' && to == 'C')
        return value / 1.8;
    return value;
}

} // namespace vandrel
