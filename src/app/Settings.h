// SPDX-License-Identifier: GPL-3.0-or-later
// The remembered values: sampling period, last model, last port and the
// panel's size. A value that is missing or unreadable takes its default, and
// so does a sampling period outside 0 to 3660 seconds or a panel size that
// View › Panel size does not offer.
#pragma once

#include "meter/MeterIdentity.h"

class QSettings;

namespace vandrel {

struct AppSettings {
    int RealTimeRate = 2;
    int RegModel = kUnidentifiedModel;
    int LastConnectedPort = 0;
    int PanelSize = 100; // percent

    static AppSettings load(QSettings &store);
    // Each value is written on its own; one that cannot be written is skipped.
    void save(QSettings &store) const;
};

} // namespace vandrel
