// SPDX-License-Identifier: GPL-3.0-or-later
// The one reader of a value cell, whatever reads a row: a table window's
// graph, the statistics, the station's outputs and the command line's rows.
// QtCore only.
#pragma once

#include <QLocale>
#include <QString>

#include <cmath>
#include <limits>
#include <optional>
#include <string_view>

namespace vandrel {

// What a value cell holds. Over and Under are the meter's overload marks
// ("OL", "-OL"): a reading beyond its range on that side, not a number.
enum class CellState : unsigned char { Empty, Value, Over, Under, Unreadable };

struct Cell {
    CellState state = CellState::Empty;
    double value = std::numeric_limits<double>::quiet_NaN(); // a Value's number
    int decimals = 0;                                         // as the text wrote it
    bool hasValue() const { return state == CellState::Value; }
    bool operator==(const Cell &) const = default;
};

// Reads cells written in one locale. A number is read with the locale's
// decimal separator, and failing that with the other common one, since tables
// never group digits ("54,6" from a German table is 54.6 under any locale,
// never 546). Plain texts are read directly, without a QString.
class CellReader {
public:
    explicit CellReader(const QLocale &locale = QLocale());

    Cell read(std::string_view text) const;
    Cell read(const QString &text) const;
    // A number only: no overload mark, nothing unreadable.
    std::optional<double> number(std::string_view text) const;

private:
    std::optional<double> directNumber(std::string_view text) const;
    std::optional<double> localeNumber(const QString &text) const;

    QLocale strict_;
    char decimalPoint_ = 0; // 0: the locale's numbers are never read directly
    bool asciiMinus_ = false;
};

// A cell that held something, but nothing a meter writes: neither a value
// nor an empty cell. A NaN with its sign set, so it travels with the values.
inline double unreadableValue() { return std::copysign(std::numeric_limits<double>::quiet_NaN(), -1.0); }
inline bool isUnreadable(double v) { return std::isnan(v) && std::signbit(v); }

// A cell as one number, as records hold them: its value, +/- infinity for an
// overload ("OL", "-OL"), NaN for an empty cell and unreadableValue() for an
// unreadable one.
double cellNumber(const Cell &cell);

// A cell without the blanks and tabs around it.
std::string_view trimmedCell(std::string_view text);

// The decimals of a number's text: the digits after its decimal sign.
int decimalsOf(std::string_view text);

} // namespace vandrel
