// SPDX-License-Identifier: GPL-3.0-or-later
// The table of meter models and the meaning of the identification suffix.
#include "meter/ModelTraits.h"

#include <array>

namespace vandrel {

namespace {

constexpr ModelTraits kOutsideTheFamily{};

// code, channels, can log, REC bits, bit 5, sample bytes, decoded logged values
constexpr std::array<ModelTraits, 4> kModels{{
    {520, 2, false, false, StatusBit5::HourMinute, 4, 2},
    // The 540 logs a third value that nothing decodes; its samples are six bytes all the same.
    {540, 3, false, false, StatusBit5::Relative, 6, 2},
    {560, 2, true, true, StatusBit5::ClockMode, 4, 2},
    {580, 3, true, true, StatusBit5::ClockMode, 6, 3},
}};

} // namespace

const ModelTraits &modelTraits(int model)
{
    for (const ModelTraits &t : kModels) {
        if (t.code == model)
            return t;
    }
    return kOutsideTheFamily;
}

std::span<const ModelTraits> knownModels() { return kModels; }

const ModelTraits &loggingModelWith(bool twoTemperatures)
{
    for (const ModelTraits &t : kModels) {
        if (t.canLog && t.twoTemperatures() == twoTemperatures)
            return t;
    }
    return kOutsideTheFamily;
}

bool isDewPointVariant(char suffix) { return suffix == kDewPointSuffix; }

bool holdMeansDewPoint(const MeterIdentity &id)
{
    return isDewPointVariant(id) && modelTraits(id.MeterModel).twoTemperatures();
}

DownloadVariant downloadVariant(char suffix)
{
    return suffix == kStreamSuffix ? DownloadVariant::Stream : DownloadVariant::Blocks;
}

QStringList temperatureHeadings(bool twoTemperatures)
{
    if (twoTemperatures)
        return {QStringLiteral("T1"), QStringLiteral("UNIT"), QStringLiteral("T2"), QStringLiteral("UNIT"),
                QStringLiteral("Dewpoint")};
    return {QStringLiteral("Temperature"), QStringLiteral("UNIT"), QString(), QString()};
}

QStringList ModelTraits::liveHeadings() const
{
    return known() ? temperatureHeadings(twoTemperatures()) : QStringList();
}

QStringList ModelTraits::loggedHeadings(char suffix) const
{
    QStringList h = temperatureHeadings(logsT2()).mid(0, 4);
    // The dew-point column is there for every "D" meter, but only headed
    // where the samples carry the temperatures a dew point goes with.
    if (isDewPointVariant(suffix))
        h << (logsT2() ? QStringLiteral("Dewpoint") : QString());
    return h;
}

} // namespace vandrel
