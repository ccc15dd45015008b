// SPDX-License-Identifier: GPL-3.0-or-later
// The identification reply: three digits of the model code and a suffix character.
#include "meter/MeterIdentity.h"
#include "meter/ModelTraits.h"

namespace vandrel {

bool IdentifyMeter(const QByteArray &reply, MeterIdentity &id)
{
    // The reply is text up to its first 0 byte (a meter without a suffix may
    // send 0 as its fourth byte).
    const int end = reply.indexOf('\0');
    const QByteArray text = end < 0 ? reply : reply.left(end);

    bool ok = text.size() >= 3;
    int model = 0;
    if (ok)
        model = text.left(3).toInt(&ok);
    char suffix = 0;
    if (ok) {
        suffix = text.size() >= 4 ? text.at(3) : char(0);
    } else {
        // Whatever answered is taken for the common model; its suffix cannot be
        // trusted, so no variant is assumed.
        model = kUnidentifiedModel;
    }
    id.MeterModel = model;
    if (isKnownModel(model)) {
        id.ModelSuffix = suffix;
        return true;
    }
    id.ModelSuffix = 0;
    return false;
}

} // namespace vandrel
