// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the cells of a table to draw it: direct reading of the usual texts,
// the locale-aware readers for everything else.
#include "realtime/GraphCells.h"

#include "realtime/OutputToGraph.h"
#include "records/TableRow.h"

#include <QTime>

#include <cfloat>
#include <cmath>

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

GraphCellReader::GraphCellReader(const QLocale &locale) : locale_(locale), cells_(locale) {}

std::optional<double> GraphCellReader::plainNumber(std::string_view text) const
{
    // The one cell reader every program reads values with; the chart's Y
    // values are single precision.
    const std::optional<double> v = cells_.number(text);
    if (!v || std::abs(*v) > double(FLT_MAX))
        return std::nullopt;
    return v;
}

std::optional<double> GraphCellReader::value(std::string_view text)
{
    text = trimmedCell(text);
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
