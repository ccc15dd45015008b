// SPDX-License-Identifier: GPL-3.0-or-later
// The sampling-rate editor's text: "  MM : SS  ", two digits each, up to 60 of
// each. Pure: text in, rate and corrections out.
#pragma once

#include <QString>

#include <optional>

namespace vandrel {

struct RateEdit {
    int seconds = 0;        // the sampling period
    bool rewrite = false;   // the text must be replaced by `text`
    QString text;           // the corrected text (only meaningful with rewrite)
};

// The editor text for a sampling period in seconds.
QString rateEditorText(int sampleRate);

// The rate a text gives while the user is still typing it: only a finished
// text (two digits in each field, minutes at characters 3-4, seconds at 8-9)
// whose fields need no correction and whose rate is not 0. Anything else
// waits for the end of the edit, so a half-typed text never becomes the rate.
std::optional<int> rateWhileEditing(const QString &text);

// The rate once editing ends (or the program sets the text). Fields above 60
// become 60. A field without its two digits leaves the edit unfinished: the
// rate stays `currentRate` and the text goes back to it.
RateEdit finishRateEdit(const QString &text, int currentRate);

} // namespace vandrel
