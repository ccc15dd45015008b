// SPDX-License-Identifier: GPL-3.0-or-later
// Which meter is attached: the model code and the suffix character of its
// identification reply. What they mean is in ModelTraits.
#pragma once

#include <QByteArray>

namespace vandrel {

// The model taken until a meter has been identified (and remembered).
inline constexpr int kUnidentifiedModel = 580;

struct MeterIdentity {
    int MeterModel = kUnidentifiedModel;
    char ModelSuffix = 0;  // the dew-point variant or the stream download (ModelTraits)
};

// Parses a four-byte identification reply into `id`. Returns true when the
// reply names one of the four known models.
bool IdentifyMeter(const QByteArray &reply, MeterIdentity &id);

} // namespace vandrel
