// SPDX-License-Identifier: GPL-3.0-or-later
// Reading value cells: the overload marks, plain numbers directly, everything
// else through the locale.
#include "records/CellReader.h"

#include <charconv>
#include <cmath>

namespace vandrel {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// [-]digits[<point>digits] with a point of '.', ',', the Arabic one or the
// locale's own: a table saved where another sign is the decimal one. Tables
// never group digits, so one such sign in a number can only be its decimal point.
std::optional<double> eitherDecimalPoint(const QString &text, const QString &own)
{
    QByteArray plain;
    plain.reserve(text.size());
    bool point = false, digits = false, digitsAfterPoint = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            plain.append(c.toLatin1());
            digits = true;
            digitsAfterPoint = point;
        } else if (i == 0 && c == QLatin1Char('-')) {
            plain.append('-');
        } else if (!point && digits
                   && (c == QLatin1Char('.') || c == QLatin1Char(',') || c == QChar(0x066B) || own == c)) {
            plain.append('.');
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits || (point && !digitsAfterPoint))
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(QLatin1String(plain), &ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

} // namespace

std::string_view trimmedCell(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

double cellNumber(const Cell &cell)
{
    switch (cell.state) {
    case CellState::Value: return cell.value;
    case CellState::Over: return std::numeric_limits<double>::infinity();
    case CellState::Under: return -std::numeric_limits<double>::infinity();
    case CellState::Unreadable: return unreadableValue();
    case CellState::Empty: break;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

int decimalsOf(std::string_view text)
{
    // The digits after the decimal sign, whichever sign a locale writes.
    std::size_t digits = 0;
    while (digits < text.size() && isDigit(text[text.size() - 1 - digits]))
        ++digits;
    const std::size_t rest = text.size() - digits;
    if (digits == 0 || rest == 0 || (rest == 1 && text[0] == '-'))
        return 0;
    return static_cast<int>(digits);
}

CellReader::CellReader(const QLocale &locale) : strict_(locale)
{
    // Digit groups are never written, so a group sign is no number to the
    // locale and a decimal point to eitherDecimalPoint.
    strict_.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    // Numbers are read directly only where the locale writes them with ASCII
    // digits and a one-character decimal point; its group separator never
    // appears in what is read directly, so grouping cannot change a value.
    const QString point = locale.decimalPoint();
    if (locale.zeroDigit() == QLatin1String("0") && point.size() == 1 &&
        (point[0] == QLatin1Char('.') || point[0] == QLatin1Char(',')))
        decimalPoint_ = point[0].toLatin1();
    asciiMinus_ = locale.negativeSign() == QLatin1String("-");
}

std::optional<double> CellReader::directNumber(std::string_view text) const
{
    // [-]digits[<point>digits], no leading zero, at most 15 digits: exactly what
    // any locale with ASCII digits reads as the same value.
    constexpr std::size_t MaxDigits = 15;
    if (decimalPoint_ == 0 || text.empty())
        return std::nullopt;
    std::size_t i = 0;
    if (text[0] == '-') {
        if (!asciiMinus_)
            return std::nullopt;
        i = 1;
    }
    const std::size_t intStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    const std::size_t intDigits = i - intStart;
    if (intDigits == 0 || (intDigits > 1 && text[intStart] == '0'))
        return std::nullopt;
    std::size_t fracDigits = 0;
    if (i < text.size()) {
        if (text[i] != decimalPoint_)
            return std::nullopt;
        const std::size_t fracStart = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fracDigits = i - fracStart;
        if (fracDigits == 0 || i != text.size())
            return std::nullopt;
    }
    if (intDigits + fracDigits > MaxDigits)
        return std::nullopt;
    char buffer[MaxDigits + 3];
    std::size_t n = 0;
    for (const char c : text)
        buffer[n++] = c == decimalPoint_ ? '.' : c;
    double v = 0;
    const auto r = std::from_chars(buffer, buffer + n, v);
    if (r.ec != std::errc() || r.ptr != buffer + n)
        return std::nullopt;
    return v;
}

std::optional<double> CellReader::localeNumber(const QString &text) const
{
    bool ok = false;
    double v = strict_.toDouble(text, &ok);
    if (!ok) {
        const auto other = eitherDecimalPoint(text, strict_.decimalPoint());
        if (!other)
            return std::nullopt;
        v = *other;
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> CellReader::number(std::string_view text) const
{
    text = trimmedCell(text);
    if (const auto v = directNumber(text))
        return v;
    if (text.empty() || text == "OL" || text == "-OL")
        return std::nullopt;
    return localeNumber(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

Cell CellReader::read(std::string_view text) const
{
    text = trimmedCell(text);
    if (text.empty())
        return {};
    if (text == "OL")
        return {CellState::Over};
    if (text == "-OL")
        return {CellState::Under};
    if (const auto v = number(text))
        return {CellState::Value, *v, decimalsOf(text)};
    return {CellState::Unreadable};
}

Cell CellReader::read(const QString &text) const
{
    const QByteArray utf8 = text.toUtf8();
    return read(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace vandrel
