// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the cells of a table to draw it: direct reading of the usual texts,
// the locale-aware readers for everything else.
#include "realtime/GraphCells.h"

#include "realtime/OutputToGraph.h"
#include "realtime/TableRow.h"

#include <QTime>

#include <charconv>

namespace vandrel {

namespace {

constexpr qint64 kSecondsPerDay = 86400;

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Seconds of the day of "HH:mm:ss" with two ASCII digits each, or -1.
int directTime(std::string_view t)
{
    if (t.size() != 8 || t[2] != ':' || t[5] != ':')
        return -1;
    for (const std::size_t i : {0, 1, 3, 4, 6, 7}) {
        if (!isDigit(t[i]))
            return -1;
    }
    const auto two = [&](std::size_t i) { return (t[i] - '0') * 10 + (t[i + 1] - '0'); };
    const int h = two(0), m = two(3), s = two(6);
    if (h > 23 || m > 59 || s > 59)
        return -1;
    return (h * 60 + m) * 60 + s;
}

} // namespace

GraphCellReader::GraphCellReader(const QLocale &locale) : locale_(locale)
{
    // Numbers are read directly only where the locale writes them with ASCII
    // digits and a one-character decimal point; its group separator never
    // appears in what is read directly, so grouping cannot change a value.
    const QString point = locale.decimalPoint();
    if (locale.zeroDigit() == QLatin1String("0") && point.size() == 1 &&
        (point[0] == QLatin1Char('.') || point[0] == QLatin1Char(',')))
        decimalPoint_ = point[0].toLatin1();
    asciiMinus_ = locale.negativeSign() == QLatin1String("-");
}

std::optional<double> GraphCellReader::directNumber(std::string_view text) const
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

std::optional<double> GraphCellReader::plainNumber(std::string_view text) const
{
    if (const auto v = directNumber(text))
        return *v; // at most 15 digits: finite and far inside single precision
    // graphCellValue reads the overload marks too; they are not plain numbers.
    if (text == "OL" || text == "-OL")
        return std::nullopt;
    return graphCellValue(toQString(text), locale_);
}

std::optional<double> GraphCellReader::value(std::string_view text)
{
    if (text == "OL")
        return kOverloadY;
    if (text == "-OL")
        return -kOverloadY;
    return plainNumber(text);
}

std::optional<double> GraphCellReader::dateTime(std::string_view date, std::string_view time)
{
    // A table holds one date for thousands of rows: each new one is read once.
    if (!haveDate_ || date != lastDate_) {
        const QDate d = readTableDate(toQString(date), locale_);
        lastDay_ = d.isValid() ? std::optional<qint64>(QDate(1899, 12, 30).daysTo(d)) : std::nullopt;
        lastDate_.assign(date);
        haveDate_ = true;
    }
    if (!lastDay_)
        return std::nullopt;
    int seconds = directTime(time);
    if (seconds < 0) {
        const QTime t = QTime::fromString(toQString(time), QStringLiteral("HH:mm:ss"));
        if (!t.isValid())
            return std::nullopt;
        return tableDateTime(toQString(date), toQString(time), locale_);
    }
    return static_cast<double>(*lastDay_) + (seconds * qint64(1000)) / double(kSecondsPerDay * 1000);
}

} // namespace vandrel
