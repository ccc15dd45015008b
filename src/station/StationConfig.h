// SPDX-License-Identifier: GPL-3.0-or-later
// The station's configuration: one [station] section and one section per
// meter in an INI file, read strictly, every mistake reported with its line.
#pragma once

#include "insight/RecordStats.h"
#include "publish/PublishSettings.h"
#include "records/Channel.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vandrel::station {


struct MeterConfig {
    QString section;  // as written between the brackets
    int line = 0;     // of the section header
    QString device;   // "auto" or an absolute device path
    int deviceLine = 0;
    QString name;     // folder and label: letters, digits, '-', '_', '.'
    QString site;
    int rate = 2;     // seconds between samples
    // Per channel; a temperature's limits are in °C unless its key _unit says F.
    std::array<Limits, kChannelCount> limits = noLimits();
    int staleAfter = 5; // sampling periods without a reading before the stale alarm
    // A meter found by the search of a device = auto section: that section's
    // name (the meter itself has a name and device of its own).
    QString foundBy;
    bool autoDevice() const { return device == QLatin1String("auto"); }
    // The stale alarm's limit: staleAfter periods, never less than 15 s.
    int staleSeconds() const;
};

struct StationConfig {
    QString path;      // of the file, as the user named it
    QString dataFolder = QStringLiteral("/var/lib/vandrel");
    QHostAddress listenAddress{QHostAddress::LocalHost};
    quint16 listenPort = 9713;
    int listenLine = 0; // where the listen address was given, else the [station] header (0: neither)
    QString onAlarm;    // the command, split into words without a shell
    QList<MeterConfig> meters;
    publish::MqttSettings mqtt;     // [mqtt]: on when the section is there
    publish::InfluxSettings influx; // [influxdb]: on when the section is there
    bool holdsSecret = false;       // a password or token is written in the file itself
    // Where the outputs keep their delivered places (never a meter's folder:
    // a meter's name cannot start with '.').
    QString cursorFolder() const { return dataFolder + QStringLiteral("/.cursors"); }
};

struct ConfigError {
    int line = 0;
    QString what;
    // "FILE:LINE: what is wrong"
    QString text(const QString &path) const;
};

inline constexpr int kRateMax = 3660;
// The exit status of a configuration error (sysexits' EX_CONFIG).
inline constexpr int kExitConfig = 78;

// Reads the text of a configuration. Everything that can be judged from the
// text alone is checked here; the first error found is returned.
std::optional<ConfigError> parseStationConfig(const QByteArray &text, StationConfig &config);

// Checks what needs the system: two meters on one device (links followed),
// the listen address free (unless `checkListen` is false: a running station
// holds its own). Touches no serial port.
std::optional<ConfigError> checkStationConfig(const StationConfig &config, bool checkListen = true);

// Whether two meter sections ask for the same meter run the same way (their
// place in the file aside).
bool sameMeter(const MeterConfig &a, const MeterConfig &b);

// Lines for the log about a configuration that works but should not stay so
// (a password in a file every user can read).
QStringList configWarnings(const StationConfig &config);

// Reads and checks the file at `path`; an error message "path:LINE: ..." or
// empty. `checkSystem` false leaves out checkStationConfig; `checkListen`
// false leaves out only the listen address.
QString loadStationConfig(const QString &path, StationConfig &config, bool checkSystem = true, bool checkListen = true);

} // namespace vandrel::station
