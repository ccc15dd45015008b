// SPDX-License-Identifier: GPL-3.0-or-later
// Limits in the settings, and the live alarm.
#include "insight/LimitSettings.h"

#include "platform/NumberText.h"

#include <QSettings>

#include <cmath>

namespace vandrel {

namespace {

std::optional<double> readNumber(QSettings &s, const QString &key)
{
    if (!s.contains(key))
        return std::nullopt;
    bool ok = false;
    const double v = s.value(key).toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

// As the tables write numbers: the locale's decimal separator.
QString oneDecimal(double v) { return formatFixed(v, 1); }

} // namespace

StatsOptions loadLimits(QSettings &s)
{
    StatsOptions o;
    s.beginGroup(QStringLiteral("Limits"));
    for (int c = 0; c < kChannelCount; ++c) {
        s.beginGroup(QLatin1String(channelInfo(static_cast<Channel>(c)).settingsGroup));
        Limits &l = o.limits[static_cast<std::size_t>(c)];
        l.low = readNumber(s, QStringLiteral("Low"));
        l.high = readNumber(s, QStringLiteral("High"));
        // Limits the wrong way round would mark every value: they are dropped.
        if (l.low && l.high && *l.low >= *l.high)
            l.low.reset(), l.high.reset();
        l.hysteresis = std::max(0.0, readNumber(s, QStringLiteral("Hysteresis")).value_or(1.0));
        l.delaySeconds = std::max(0.0, readNumber(s, QStringLiteral("Delay")).value_or(0.0));
        // Limits saved before they had a unit were typed in °C, the meters' usual unit.
        if (isTemperature(static_cast<Channel>(c)))
            l.unit = s.value(QStringLiteral("Unit")).toString() == QLatin1String("F") ? 'F' : 'C';
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
        s.beginGroup(QLatin1String(channelInfo(static_cast<Channel>(c)).settingsGroup));
        const Limits &l = o.limits[static_cast<std::size_t>(c)];
        for (const auto &[key, value] : {std::pair{QStringLiteral("Low"), l.low}, {QStringLiteral("High"), l.high}}) {
            if (value)
                s.setValue(key, *value);
            else
                s.remove(key);
        }
        s.setValue(QStringLiteral("Hysteresis"), l.hysteresis);
        s.setValue(QStringLiteral("Delay"), l.delaySeconds);
        if (isTemperature(static_cast<Channel>(c)))
            s.setValue(QStringLiteral("Unit"), QString(QLatin1Char(l.unit == 'F' ? 'F' : 'C')));
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
    for (const Channel c : kChannels)
        watches_[c] = LimitWatch(unit_ ? limitsInUnit(options.limits[c], unit_) : options.limits[c]);
}

QString LiveLimits::limitText(Channel c, LimitSide side) const
{
    // The limit as it was typed, in its own unit: "25.0 °C".
    const Limits &l = options_.limits[c];
    const std::optional<double> v = side == LimitSide::High ? l.high : l.low;
    if (!v)
        return {};
    const char unit = isTemperature(c) ? (l.unit ? l.unit : (unit_ ? unit_ : 'C')) : 0;
    return oneDecimal(*v) + QLatin1Char(' ') + unitText(c, unit);
}

QStringList LiveLimits::feed(const std::array<double, kChannelCount> &values, double seconds, char unit)
{
    QStringList notices;
    if (unit != unit_) {
        // The meter's °C/°F key: the limits stay what they were typed as.
        unit_ = unit;
        for (const Channel c : kChannels)
            watches_[c].setLimits(limitsInUnit(options_.limits[c], unit));
    }
    for (const Channel c : kChannels) {
        LimitWatch &w = watches_[c];
        const double v = values[c];
        // An overload is beyond any limit on its side; an empty cell is no reading.
        if (std::isnan(v)) {
            w.gap();
            continue;
        }
        for (const LimitChange &change : w.update(v, seconds)) {
            if (!change.raised)
                continue;
            const QString value = std::isinf(v) ? QString::fromLatin1(v > 0 ? "OL" : "-OL")
                                                : oneDecimal(v) + QLatin1Char(' ') + unitText(c, unit);
            notices << QStringLiteral("%1 %2 %3: %4")
                           .arg(channelName(c),
                                change.side == LimitSide::High ? QStringLiteral("above") : QStringLiteral("below"),
                                limitText(c, change.side), value);
        }
    }
    return notices;
}

QString LiveLimits::alarmText() const
{
    QStringList beyond;
    for (int c = 0; c < kChannelCount; ++c) {
        const LimitWatch &w = watches_[static_cast<std::size_t>(c)];
        const Channel ch = static_cast<Channel>(c);
        const QString name = channelName(ch);
        switch (w.state()) {
        case LimitState::Above:
            beyond << name + QStringLiteral(" above ") + limitText(ch, LimitSide::High);
            break;
        case LimitState::Below:
            beyond << name + QStringLiteral(" below ") + limitText(ch, LimitSide::Low);
            break;
        case LimitState::Within:
            break;
        }
    }
    return beyond.isEmpty() ? QString() : QStringLiteral("ALARM: ") + beyond.join(QStringLiteral("; "));
}

} // namespace vandrel
