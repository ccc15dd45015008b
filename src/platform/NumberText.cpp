// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts: the C locale's fixed-point digits with the user's decimal
// separator put in, so tables read the same in every language.
#include "platform/NumberText.h"

namespace vandrel {

namespace {

bool hasNonZeroDigit(const QString &text)
{
    for (QChar c : text) {
        if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
            return true;
    }
    return false;
}

} // namespace

QString formatFixed(double value, int decimals, const QLocale &locale)
{
    QString s = QString::number(value, 'f', decimals);
    // -0.04 rounds to zero, and a zero has no sign.
    if (s.startsWith(QLatin1Char('-')) && !hasNonZeroDigit(s))
        s.remove(0, 1);
    const QString point = locale.decimalPoint();
    if (point != QLatin1String("."))
        s.replace(QLatin1Char('.'), point);
    return s;
}

} // namespace vandrel
