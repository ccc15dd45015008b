// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the program writes a measured number into a table, a file or a
// label: fixed-point, ASCII digits and minus, the locale's decimal separator.
#pragma once

#include <QLocale>
#include <QString>

namespace vandrel {

// The decimal separator of a locale, looked up once: the system's locale
// answers that question more slowly than a number is written, so code that
// writes many numbers at a time asks once and passes this along.
class DecimalPoint {
public:
    explicit DecimalPoint(const QLocale &locale = QLocale()) : text_(locale.decimalPoint()) {}
    const QString &text() const { return text_; }

private:
    QString text_;
};

// `value` rounded to `decimals` places, written with ASCII digits, an ASCII
// minus and the decimal separator of `locale`; nothing else of the locale (no
// group separators, no native digits, no other minus sign). A value that
// rounds to zero is written without a sign: "0.0", never "-0.0".
QString formatFixed(double value, int decimals, const QLocale &locale = QLocale());
QString formatFixed(double value, int decimals, const DecimalPoint &point);
// The same written into `out`, reusing its storage when nobody else shares it.
void formatFixedInto(QString &out, double value, int decimals, const DecimalPoint &point);

} // namespace vandrel
