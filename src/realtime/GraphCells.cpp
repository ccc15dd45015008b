// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the cells of a table to draw it: direct reading of the usual texts,
// the locale-aware readers for everything else.
#include "realtime/GraphCells.h"

#include "realtime/OutputToGraph.h"
#include "records/RecordRow.h"
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
    int seconds = secondOfDay(time);
    if (seconds < 0) {
        const QTime t = QTime::fromString(toQString(time), QStringLiteral("HH:mm:ss"));
        if (!t.isValid())
            return std::nullopt;
        return tableDateTime(toQString(date), toQString(time), locale_);
    }
    return static_cast<double>(*lastDay_) + (seconds * qint64(1000)) / double(kSecondsPerDay * 1000);
}

} // namespace vandrel
