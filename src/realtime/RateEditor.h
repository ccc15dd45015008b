// SPDX-License-Identifier: GPL-3.0-or-later
// The sampling-rate editor's text: "  MM : SS  ", two digits each, up to 60 of
// each. Pure: text in, rate and corrections out.
#pragma once

#include <QString>

namespace vandrel {

struct RateEdit {
    int seconds = 0;        // the sampling period
    bool rewrite = false;   // the text must be replaced by `text`
    QString text;           // the corrected text (only meaningful with rewrite)
};

// The editor text for a sampling period in seconds.
QString rateEditorText(int sampleRate);
// Reads the editor text (minutes at characters 3-4, seconds at 8-9).
RateEdit parseRateEditorText(const QString &text);

} // namespace vandrel
