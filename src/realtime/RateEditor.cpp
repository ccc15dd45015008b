// SPDX-License-Identifier: GPL-3.0-or-later
// Sampling-rate editor text, both ways.
#include "realtime/RateEditor.h"

#include <algorithm>

namespace vandrel {

namespace {

constexpr int kFieldMax = 60;

QString twoDigits(int v) { return QString::number(v).rightJustified(2, QLatin1Char('0')).right(2); }

QString compose(const QString &minutes, const QString &seconds)
{
    return QStringLiteral("  ") + minutes + QStringLiteral(" : ") + seconds + QStringLiteral(" ");
}

// A field of exactly two ASCII digits, or nothing: the editor marks an empty
// position with "_", and a field with one is not finished.
std::optional<int> field(const QString &text, int from)
{
    const QString f = text.mid(from, 2);
    if (f.size() != 2)
        return std::nullopt;
    int v = 0;
    for (const QChar c : f) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

std::optional<int> minutesOf(const QString &text) { return field(text, 2); }
std::optional<int> secondsOf(const QString &text) { return field(text, 7); }

} // namespace

QString rateEditorText(int sampleRate)
{
    return compose(twoDigits(sampleRate / 60), twoDigits(sampleRate % 60));
}

std::optional<int> rateWhileEditing(const QString &text)
{
    const auto m = minutesOf(text);
    const auto s = secondsOf(text);
    if (!m || !s || *m > kFieldMax || *s > kFieldMax)
        return std::nullopt;
    const int rate = *s + 60 * *m;
    // "00 : 00" is passed on the way from one rate to another often enough
    // ("01 : 00" to "00 : 30"); taken at once it would sample at every tick.
    if (rate == 0)
        return std::nullopt;
    return rate;
}

RateEdit finishRateEdit(const QString &text, int currentRate)
{
    RateEdit r;
    const auto m = minutesOf(text);
    const auto s = secondsOf(text);
    if (!m || !s) {
        r.seconds = currentRate;
        r.text = rateEditorText(currentRate);
        r.rewrite = true;
        return r;
    }
    const int minutes = std::min(*m, kFieldMax);
    const int seconds = std::min(*s, kFieldMax);
    r.seconds = seconds + 60 * minutes;
    r.rewrite = minutes != *m || seconds != *s;
    r.text = compose(twoDigits(minutes), twoDigits(seconds));
    return r;
}

} // namespace vandrel
