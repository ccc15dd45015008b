// SPDX-License-Identifier: GPL-3.0-or-later
// The one way the program writes a measured number into a table, a file or a
// label: fixed-point, ASCII digits and minus, the locale's decimal separator.
#pragma once

#include <QLocale>
#include <QString>

namespace vandrel {

// `value` rounded to `decimals` places, written with ASCII digits, an ASCII
// minus and the decimal separator of `locale`; nothing else of the locale (no
// group separators, no native digits, no other minus sign). A value that
// rounds to zero is written without a sign: "0.0", never "-0.0".
QString formatFixed(double value, int decimals, const QLocale &locale = QLocale());

} // namespace vandrel
