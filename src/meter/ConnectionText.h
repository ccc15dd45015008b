// SPDX-License-Identifier: GPL-3.0-or-later
// The words the status bar, the panel and its keys show while no meter
// answers, kept in one place so that they read the same everywhere.
#pragma once

#include <QString>

namespace vandrel {

inline QString noConnectionText() { return QStringLiteral("No Connection"); }

} // namespace vandrel
