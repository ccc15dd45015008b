// SPDX-License-Identifier: GPL-3.0-or-later
// Number texts: the C locale's fixed-point digits with the user's decimal
// separator put in, so tables read the same in every language.
#include "platform/NumberText.h"

#include <cmath>

namespace vandrel {

namespace {

bool hasNonZeroDigit(QStringView text)
{
    for (QChar c : text) {
        if (c >= QLatin1Char('1') && c <= QLatin1Char('9'))
            return true;
    }
    return false;
}

// The slow road, and the reference: Qt's own fixed-point digits.
QString viaQt(double value, int decimals, const QString &point)
{
    QString s = QString::number(value, 'f', decimals);
    // -0.04 rounds to zero, and a zero has no sign.
    if (s.startsWith(QLatin1Char('-')) && !hasNonZeroDigit(s))
        s.remove(0, 1);
    if (point != QLatin1String("."))
        s.replace(QLatin1Char('.'), point);
    return s;
}

constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0};

// Writes the digits of `value` rounded to `decimals` places into `buf` and
// returns their count, or 0 for a value left to Qt: a huge or non-finite one,
// or one so near a half that only exact arithmetic tells which way it rounds
// (Qt then rounds a true half away from zero).
int fastDigits(double value, int decimals, char (&buf)[32])
{
    if (decimals < 0 || decimals > 3)
        return 0;
    // Below 2^32 the product is off by less than a millionth, so a fraction
    // farther than that from a half rounds the same as the exact product.
    const double scaled = std::fabs(value) * kPowersOfTen[decimals];
    if (!(scaled < 4e9))
        return 0;
    const double whole = std::floor(scaled);
    const double beyondHalf = (scaled - whole) - 0.5;
    if (std::fabs(beyondHalf) < 1e-6)
        return 0;
    const auto units = static_cast<long long>(whole) + (beyondHalf > 0 ? 1 : 0);
    char digits[24];
    int n = 0;
    for (long long u = units; n <= decimals || u > 0; u /= 10)
        digits[n++] = static_cast<char>('0' + u % 10);
    int len = 0;
    if (std::signbit(value) && units != 0) // a value that rounds to zero has no sign
        buf[len++] = '-';
    while (n > 0) {
        buf[len++] = digits[--n];
        if (n == decimals && decimals > 0)
            buf[len++] = '.';
    }
    return len;
}

} // namespace

void formatFixedInto(QString &out, double value, int decimals, const DecimalPoint &point)
{
    char buf[32];
    const int n = fastDigits(value, decimals, buf);
    const QString &p = point.text();
    if (n == 0 || p.size() != 1) {
        out = viaQt(value, decimals, p);
        return;
    }
    // Same length and not shared: the text is rewritten in place.
    out.resize(n);
    QChar *d = out.data();
    for (int i = 0; i < n; ++i)
        d[i] = buf[i] == '.' ? p.front() : QLatin1Char(buf[i]);
}

QString formatFixed(double value, int decimals, const DecimalPoint &point)
{
    QString s;
    formatFixedInto(s, value, decimals, point);
    return s;
}

QString formatFixed(double value, int decimals, const QLocale &locale)
{
    return formatFixed(value, decimals, DecimalPoint(locale));
}

} // namespace vandrel
