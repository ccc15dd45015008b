// SPDX-License-Identifier: GPL-3.0-or-later
// A meter of the station.
#include "station/MeterStation.h"

#include "meter/ComPortLine.h"
#include "records/TableFile.h"
#include "records/TableRow.h"

#include <QFileInfo>

#include <cmath>
#include <string_view>
#include <vector>

namespace vandrel::station {

namespace {

SerialLineFactory factoryOf(const MeterParts &parts)
{
    if (parts.makeLine)
        return parts.makeLine;
    return [] { return std::make_unique<ComPortLine>(); };
}

} // namespace

MeterStation::MeterStation(MeterConfig config, const QString &dataFolder, MeterParts parts, QObject *parent)
    : QObject(parent), config_(std::move(config)),
      ownLine_(parts.line ? nullptr : std::make_unique<ComPortLine>()), clock_(parts.clock),
      link_(parts.line ? *parts.line : *ownLine_, factoryOf(parts), reading_, identity_, parts.clock),
      deviceExists_(std::move(parts.deviceExists)),
      files_(dataFolder + QLatin1Char('/') + config_.name, parts.disk),
      stale_(qint64(config_.staleSeconds()) * 1000, parts.clock.now())
{
    for (const Channel channel : kChannels)
        rules_[static_cast<std::size_t>(channel)] = AlarmRule(config_.limits[static_cast<std::size_t>(channel)]);
    if (!deviceExists_)
        deviceExists_ = [](const QString &path) { return QFileInfo::exists(path); };
    run_.SampleRate = config_.rate;
    run_.RealTimeRunning = true;
    // As a run on an empty table: the first tick with a reading samples at once.
    run_.TickCounter = config_.rate;
    countTicks(link_, run_, this);
    connect(&link_, &MeterLink::frameTick, this, &MeterStation::onFrameTick);
    connect(&link_, &MeterLink::meterIdentified, this, [this] {
        emit note(QStringLiteral("meter identified as %1 on %2").arg(modelText(), link_.line().path()));
    });
    connect(&link_, &MeterLink::meterConnectedChanged, this, [this](bool connected) {
        if (connected && std::exchange(everConnected_, true))
            emit note(QStringLiteral("meter back on %1").arg(link_.line().path()));
    });
    connect(&link_, &MeterLink::meterLost, this, [this] {
        emit note(QStringLiteral("meter lost on %1").arg(link_.line().path()));
        if (auto change = stale_.lost(clock_.now()))
            emitChange(QStringLiteral("meter"), *change, std::nullopt);
    });
}

MeterStation::~MeterStation() = default;

QString MeterStation::modelText() const
{
    QString text = QString::number(identity_.MeterModel);
    if (identity_.ModelSuffix > ' ' && identity_.ModelSuffix < 127)
        text += QLatin1Char(identity_.ModelSuffix);
    return text;
}

QString MeterStation::unit(Channel channel) const
{
    return channel == kHumidity ? QStringLiteral("%RH") : tempUnit_;
}

void MeterStation::start()
{
    // The named device only while it exists, so a by-id link that comes back
    // after a replug counts as a new device and is searched at once.
    const QString device = config_.device;
    auto source = [device, exists = deviceExists_] { return exists(device) ? QStringList{device} : QStringList{}; };
    link_.setDeviceSource(source);
    link_.setPorts(source());
    link_.searchMeter();
    link_.startTimers();
}

bool MeterStation::shutDown()
{
    // Rows still waiting for the disk get a last try; what cannot be written
    // is said, not dropped silently.
    if (files_.waiting() > 0 && !files_.retry() && !lossReported_) {
        lossReported_ = true;
        emit note(QStringLiteral("%1 row(s) could not be written and are lost: %2").arg(files_.waiting()).arg(files_.problem()));
    }
    return link_.shutDown();
}

void MeterStation::onFrameTick(const QDateTime &now)
{
    const qint64 nowMs = clock_.now();
    lastReadingMs_ = nowMs;
    // The alarms and the metrics take the meter's numbers, not the row's texts.
    const std::array<Cell, kChannelCount> cells = readingCells(reading_, identity_);
    const char unit = readingUnit(reading_);
    tempUnit_ = QString(QLatin1Char(unit));
    for (const Channel c : kChannels)
        values_[c] = cells[c].hasValue() ? std::optional<double>(cells[c].value) : std::nullopt;
    if (auto change = stale_.reading(nowMs))
        emitChange(QStringLiteral("meter"), *change, std::nullopt);
    for (const Channel channel : kChannels) {
        const double number = cellNumber(cells[channel]);
        const std::optional<double> reading = std::isnan(number) ? std::nullopt : std::optional<double>(number);
        for (const AlarmChange &change : rules_[channel].update(reading, nowMs, unit))
            emitChange(QLatin1String(channelKey(channel)), change, reading, unitText(channel, unit));
    }
    if (takeSampleIfDue(run_, run_.TickCounter))
        record(now, realTimeRowCells(0, now, reading_, identity_));
}

void MeterStation::record(const QDateTime &now, const QStringList &cells)
{
    const bool ok = files_.append(now.date(), tableRowLine(cells, ','));
    if (files_.repairedRows() > repairsReported_) {
        repairsReported_ = files_.repairedRows();
        emit note(QStringLiteral("the last row of %1 was incomplete; it was ended before the new rows")
                      .arg(files_.pathFor(now.date())));
    }
    setStorageProblem(!ok);
    if (ok)
        emit rowsRecorded();
}

void MeterStation::check()
{
    if (auto change = stale_.check(clock_.now()))
        emitChange(QStringLiteral("meter"), *change, std::nullopt);
    if (files_.waiting() > 0) {
        const bool ok = files_.retry();
        setStorageProblem(!ok);
        if (ok)
            emit rowsRecorded();
    }
}

void MeterStation::setStorageProblem(bool failing)
{
    if (failing == storageRaised_)
        return;
    storageRaised_ = failing;
    if (failing)
        emit note(files_.problem());
    emitChange(QStringLiteral("record"), AlarmChange{AlarmKind::Storage, failing, 0.0}, std::nullopt);
}

void MeterStation::emitChange(const QString &channel, const AlarmChange &change, std::optional<double> value,
                              const QString &unit)
{
    emit alarmChanged(AlarmEvent{config_.name, config_.site, channel, change, value, unit, QDateTime::currentDateTime()});
}

} // namespace vandrel::station
