// SPDX-License-Identifier: GPL-3.0-or-later
// Sampling-rate editor text, both ways.
#include "realtime/RateEditor.h"

namespace vandrel {

namespace {

QString twoDigits(int v) { return QString::number(v).rightJustified(2, QLatin1Char('0')).right(2); }

QString compose(const QString &minutes, const QString &seconds)
{
    return QStringLiteral("  ") + minutes + QStringLiteral(" : ") + seconds + QStringLiteral(" ");
}

// One field: a number up to 60; anything else becomes "00".
int readField(const QString &field, QString &fieldText, bool &rewrite)
{
    bool ok = false;
    const QString t = field.trimmed();
    const int v = t.toInt(&ok);
    if (!ok || v < 0) {
        fieldText = QStringLiteral("00");
        rewrite = true;
        return 0;
    }
    if (v > 60) {
        fieldText = QStringLiteral("60");
        rewrite = true;
        return 60;
    }
    fieldText = field;
    return v;
}

} // namespace

QString rateEditorText(int sampleRate)
{
    return compose(twoDigits(sampleRate / 60), twoDigits(sampleRate % 60));
}

RateEdit parseRateEditorText(const QString &text)
{
    RateEdit r;
    QString m, s;
    const int minutes = readField(text.mid(2, 2), m, r.rewrite);
    const int seconds = readField(text.mid(7, 2), s, r.rewrite);
    r.seconds = seconds + 60 * minutes;
    if (r.rewrite)
        r.text = compose(m, s);
    return r;
}

} // namespace vandrel
