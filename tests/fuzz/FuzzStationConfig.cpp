// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the station's configuration file, any bytes. A file is either
// refused with a line inside it, or every meter in it is one the station can
// run: a device, a folder name that stays in the data folder, a rate in range
// and limits in order.
#include "FuzzCheck.h"

#include "station/StationConfig.h"

#include <QSet>

#include <cstdint>

using namespace vandrel;
using namespace vandrel::station;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    StationConfig config;
    const std::optional<ConfigError> error = parseStationConfig(text, config);
    if (error) {
        FUZZ_CHECK(error->line >= 1 && error->line <= text.count('\n') + 1);
        FUZZ_CHECK(!error->what.isEmpty());
        return 0;
    }
    FUZZ_CHECK(!config.meters.isEmpty());
    FUZZ_CHECK(config.dataFolder.startsWith(QLatin1Char('/')));
    QSet<QString> names;
    int autos = 0;
    for (const MeterConfig &m : config.meters) {
        FUZZ_CHECK(m.autoDevice() || m.device.startsWith(QLatin1Char('/')));
        autos += m.autoDevice();
        FUZZ_CHECK(!m.name.isEmpty() && !m.name.contains(QLatin1Char('/')) && !m.name.startsWith(QLatin1Char('.')));
        FUZZ_CHECK(!names.contains(m.name));
        names.insert(m.name);
        FUZZ_CHECK(m.rate >= 0 && m.rate <= kRateMax);
        FUZZ_CHECK(m.staleSeconds() >= 15);
        for (const Limits &l : m.limits) {
            FUZZ_CHECK(!(l.low && l.high) || *l.low < *l.high);
            FUZZ_CHECK(l.hysteresis >= 0 && l.delaySeconds >= 0 && (l.unit == 0 || l.unit == 'C' || l.unit == 'F'));
        }
    }
    FUZZ_CHECK(autos <= 1);
    return 0;
}
