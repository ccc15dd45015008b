// SPDX-License-Identifier: GPL-3.0-or-later
// Limits in the settings, and the live alarm.
#include "insight/LimitSettings.h"

#include "platform/NumberText.h"

#include <QSettings>

#include <cmath>

namespace vandrel {

namespace {

const char *const kGroups[kChannelCount] = {"Humidity", "T1", "T2", "DewPoint"};

std::optional<double> readNumber(QSettings &s, const QString &key)
{
    if (!s.contains(key))
        return std::nullopt;
    bool ok = false;
    const double v = s.value(key).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

QString unitOf(Channel c, char unit)
{
    if (c == kHumidity)
        return QStringLiteral("%RH");
    return unit == 'F' ? QStringLiteral("°F") : QStringLiteral("°C");
}

// As the tables write numbers: the locale's decimal separator.
QString oneDecimal(double v) { return formatFixed(v, 1); }

} // namespace

QString channelName(Channel channel)
{
    switch (channel) {
    case kHumidity: return QStringLiteral("Humidity");
    case kT1: return QStringLiteral("T1");
    case kT2: return QStringLiteral("T2");
    case kDewPoint: return QStringLiteral("Dew point");
    case kChannelCount: break;
    }
    return {};
}

StatsOptions loadLimits(QSettings &s)
{
    StatsOptions o;
    s.beginGroup(QStringLiteral("Limits"));
    for (int c = 0; c < kChannelCount; ++c) {
        s.beginGroup(QLatin1String(kGroups[c]));
        Limits &l = o.limits[static_cast<std::size_t>(c)];
        l.low = readNumber(s, QStringLiteral("Low"));
        l.high = readNumber(s, QStringLiteral("High"));
        // Limits the wrong way round would mark every value: they are dropped.
        if (l.low && l.high && *l.low >= *l.high)
            l.low.reset(), l.high.reset();
        l.hysteresis = std::max(0.0, readNumber(s, QStringLiteral("Hysteresis")).value_or(1.0));
        l.delaySeconds = std::max(0.0, readNumber(s, QStringLiteral("Delay")).value_or(0.0));
        s.endGroup();
    }
    if (const auto margin = readNumber(s, QStringLiteral("CondensationMargin")); margin && *margin >= 0)
        o.condensationMargin = *margin;
    s.endGroup();
    return o;
}

void saveLimits(QSettings &s, const StatsOptions &o)
{
    s.beginGroup(QStringLiteral("Limits"));
    for (int c = 0; c < kChannelCount; ++c) {
        s.beginGroup(QLatin1String(kGroups[c]));
        const Limits &l = o.limits[static_cast<std::size_t>(c)];
        for (const auto &[key, value] : {std::pair{QStringLiteral("Low"), l.low}, {QStringLiteral("High"), l.high}}) {
            if (value)
                s.setValue(key, *value);
            else
                s.remove(key);
        }
        s.setValue(QStringLiteral("Hysteresis"), l.hysteresis);
        s.setValue(QStringLiteral("Delay"), l.delaySeconds);
        s.endGroup();
    }
    if (std::isnan(o.condensationMargin))
        s.remove(QStringLiteral("CondensationMargin"));
    else
        s.setValue(QStringLiteral("CondensationMargin"), o.condensationMargin);
    s.endGroup();
}

void LiveLimits::setOptions(const StatsOptions &options)
{
    options_ = options;
    for (int c = 0; c < kChannelCount; ++c)
        watches_[static_cast<std::size_t>(c)] = LimitWatch(options.limits[static_cast<std::size_t>(c)]);
}

QStringList LiveLimits::feed(const std::array<double, kChannelCount> &values, double seconds, char unit)
{
    QStringList notices;
    for (int c = 0; c < kChannelCount; ++c) {
        LimitWatch &w = watches_[static_cast<std::size_t>(c)];
        const double v = values[static_cast<std::size_t>(c)];
        if (!std::isfinite(v)) {
            w.gap();
            continue;
        }
        for (const LimitChange &change : w.update(v, seconds)) {
            if (!change.raised)
                continue;
            const Channel ch = static_cast<Channel>(c);
            notices << QStringLiteral("%1 %2 %3 %4: %5 %4")
                           .arg(channelName(ch),
                                change.side == LimitSide::High ? QStringLiteral("above") : QStringLiteral("below"),
                                oneDecimal(change.limit), unitOf(ch, unit), oneDecimal(v));
        }
    }
    return notices;
}

QString LiveLimits::alarmText() const
{
    QStringList beyond;
    for (int c = 0; c < kChannelCount; ++c) {
        const LimitWatch &w = watches_[static_cast<std::size_t>(c)];
        const Limits &l = w.limits();
        const QString name = channelName(static_cast<Channel>(c));
        switch (w.state()) {
        case LimitState::Above:
            beyond << name + QStringLiteral(" above ") + oneDecimal(*l.high);
            break;
        case LimitState::Below:
            beyond << name + QStringLiteral(" below ") + oneDecimal(*l.low);
            break;
        case LimitState::Within:
            break;
        }
    }
    return beyond.isEmpty() ? QString() : QStringLiteral("ALARM: ") + beyond.join(QStringLiteral("; "));
}

} // namespace vandrel
