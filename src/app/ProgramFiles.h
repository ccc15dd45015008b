// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds the files that live beside it (panel pictures, help
// page, the simulated meter): its own folder, or its installed data folder.
#pragma once

#include <QString>

namespace vandrel {

// Full path of `relative` (e.g. "RESOURCE/PANEL580.BMP"): the first existing of
// <program folder>/relative and <program folder>/../share/vandrel/relative;
// the first of them when neither exists.
QString programFile(const QString &relative);
// Path of a helper executable beside the program (or on PATH).
QString programExecutable(const QString &name);

} // namespace vandrel
