// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the cells of a table to draw it, a million rows at a time: the same
// values as graphCellValue and tableDateTime, without a QString per cell.
#pragma once

#include "records/CellReader.h"

#include <QDate>
#include <QLocale>

#include <optional>
#include <string>
#include <string_view>

namespace vandrel {

// Reads UTF-8 cells in one locale. The usual texts (plain numbers, "HH:mm:ss",
// a date like the cell before) are read directly; anything else goes through
// the locale-aware readers, so every text reads exactly as they read it.
class GraphCellReader
{
public:
    explicit GraphCellReader(const QLocale &locale);

    // As graphCellValue: "OL" and "-OL" as the far edges, else a plain number.
    std::optional<double> value(std::string_view text);
    // A number the chart can hold, overload marks not included.
    std::optional<double> plainNumber(std::string_view text) const;
    // As tableDateTime.
    std::optional<double> dateTime(std::string_view date, std::string_view time);

private:
    QLocale locale_;
    CellReader cells_;
    std::string lastDate_;
    std::optional<qint64> lastDay_; // days since day zero of lastDate_
    bool haveDate_ = false;
};

} // namespace vandrel
