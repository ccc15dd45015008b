// SPDX-License-Identifier: GPL-3.0-or-later
// One meter of the station: its own link (search, poll, watchdog, recovery),
// its sampling into its record files, its alarms and the last values the
// metrics show. Meters know nothing of each other.
#pragma once

#include "meter/MeterLink.h"
#include "realtime/RealTimeRun.h"
#include "station/AlarmRule.h"
#include "records/RecordFiles.h"
#include "station/StationConfig.h"

#include <QDateTime>
#include <QObject>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace vandrel::station {

// A raised or cleared alarm, with what the log line and the alarm command tell.
struct AlarmEvent {
    QString meter, site;
    QString channel; // "humidity", "t1", "t2", "dewpoint"; "meter" for stale, "record" for storage
    AlarmChange change;
    std::optional<double> value; // ±infinity: overloaded ("OL", "-OL")
    QString unit; // of the value and the limit: "%RH", "°C", "°F"; empty for stale and storage
    QDateTime time;
};

// The parts a meter runs on; the default is the real serial device and clock.
struct MeterParts {
    SerialLine *line = nullptr; // none: a serial line of its own
    SerialLineFactory makeLine;
    LinkClock clock = LinkClock::system();
    DiskCalls disk = systemDiskCalls();
    // What the system lists as serial devices (the search of device = auto),
    // and whether a named device is there (an adapter may be unplugged).
    PortList::DeviceSource systemDevices;
    std::function<bool(const QString &)> deviceExists;
};

class MeterStation : public QObject {
    Q_OBJECT
public:
    MeterStation(MeterConfig config, const QString &dataFolder, MeterParts parts = {}, QObject *parent = nullptr);
    ~MeterStation() override;

    // Starts the search of its device and the timers.
    void start();
    // Once a second: the stale alarm, and rows waiting for the disk.
    void check();
    // False while the link still has a handler on the stack (ask again).
    bool shutDown();

    const MeterConfig &config() const { return config_; }
    MeterLink &link() { return link_; }
    bool connected() const { return link_.state().MeterConnected; }
    std::optional<double> value(Channel channel) const { return values_[static_cast<std::size_t>(channel)]; }
    QString unit(Channel channel) const;
    // Steady milliseconds of the last reading; none yet.
    std::optional<qint64> lastReadingMs() const { return lastReadingMs_; }
    // Seconds since the last reading, on the meter's own clock.
    std::optional<double> readingAgeSeconds() const
    {
        if (!lastReadingMs_)
            return std::nullopt;
        return static_cast<double>(clock_.now() - *lastReadingMs_) / 1000.0;
    }
    qint64 samplesRecorded() const { return files_.written(); }
    const RecordFiles &files() const { return files_; }
    const AlarmRule &rule(Channel channel) const { return rules_[static_cast<std::size_t>(channel)]; }
    bool staleRaised() const { return stale_.raised(); }
    bool storageRaised() const { return storageRaised_; }
    QString modelText() const;

signals:
    void alarmChanged(const AlarmEvent &event);
    // A fact for the log (identified, lost, back, a repaired file).
    void note(const QString &text);
    // Rows reached the record files (the outputs deliver them now).
    void rowsRecorded();

private:
    void onFrameTick(const QDateTime &now);
    void record(const QDateTime &now, const QStringList &cells);
    void emitChange(const QString &channel, const AlarmChange &change, std::optional<double> value,
                    const QString &unit = {});
    void setStorageProblem(bool failing);

    MeterConfig config_;
    std::unique_ptr<SerialLine> ownLine_;
    MeterReading reading_;
    MeterIdentity identity_;
    LinkClock clock_;
    MeterLink link_;
    std::function<bool(const QString &)> deviceExists_;
    RealTimeRun run_;
    RecordFiles files_;
    std::array<AlarmRule, 4> rules_;
    StaleRule stale_;
    bool storageRaised_ = false;
    int repairsReported_ = 0;
    bool lossReported_ = false;
    std::array<std::optional<double>, 4> values_{};
    QString tempUnit_;
    std::optional<qint64> lastReadingMs_;
    bool everConnected_ = false;
};

} // namespace vandrel::station
