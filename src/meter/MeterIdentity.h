// SPDX-License-Identifier: GPL-3.0-or-later
// Which meter is attached: the model code and the suffix character of its
// identification reply. Every per-model rule asks the small table below.
#pragma once

#include <QByteArray>

namespace vandrel {

struct MeterIdentity {
    int MeterModel = 580;  // 580 until a meter has been identified
    char ModelSuffix = 0;  // 'D' = dew-point variant, '\r' = stream download variant
};

namespace models {

inline bool isKnown(int model) { return model == 520 || model == 540 || model == 560 || model == 580; }
// Models with two temperatures and a dew point.
inline bool hasTwoTemperatures(int model) { return model == 540 || model == 580; }
// Models that can record into a logger memory.
inline bool canLog(int model) { return model == 560 || model == 580; }
inline bool isDewPointVariant(const MeterIdentity &id) { return id.ModelSuffix == 'D'; }
// The HOLD bit switches the display to the dew point on these meters.
inline bool holdMeansDewPoint(const MeterIdentity &id)
{
    return isDewPointVariant(id) && hasTwoTemperatures(id.MeterModel);
}

} // namespace models

// Parses a four-byte identification reply into `id`. Returns true when the
// reply names one of the four known models.
bool IdentifyMeter(const QByteArray &reply, MeterIdentity &id);

} // namespace vandrel
