// SPDX-License-Identifier: GPL-3.0-or-later
// A table row as numbers: its date and time, a cell per channel with its
// state, and the unit of its temperatures. Every program reads a row through
// this one reader, so a row means the same in the statistics, the station's
// outputs and the command line. QtCore only.
#pragma once

#include "records/CellReader.h"
#include "records/Channel.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace vandrel {

struct RecordRow {
    QDate date;
    int secondOfDay = 0;
    // Seconds since 30 December 1899 as the clock showed them: whole days
    // split at midnight, a clock set back goes back.
    double seconds = 0;
    std::array<Cell, kChannelCount> cells{};
    char unit = 0; // of the temperatures: 'C' or 'F'; 0 when the row names none
};

enum class RowRead { Row, Blank, Unreadable };

// The cells of a row from the date on, as a table file holds them.
inline constexpr int kRecordRowCells = 9;

class RecordRowReader {
public:
    explicit RecordRowReader(const QLocale &locale = QLocale());

    // Reads a row's cells from the date on (date, time, humidity, "%RH", T1,
    // unit, T2, unit, dew point). Blank: no date and no time (the empty row of
    // an empty real-time table). Unreadable: a date or time that is none, and
    // why() says so. A value no meter can show (humidity outside 0 to 100, a
    // temperature below absolute zero) is an Unreadable cell, never a figure.
    RowRead read(std::span<const std::string_view> cells, RecordRow &row);
    // A whole line without its line end, separated by `sep`.
    RowRead readLine(std::string_view line, char sep, RecordRow &row);
    const QString &why() const { return why_; }
    const CellReader &cellReader() const { return cells_; }

private:
    QLocale locale_;
    CellReader cells_;
    std::string lastDate_;
    QDate lastDay_;
    bool haveDate_ = false;
    QString why_;
    std::vector<std::string_view> split_;
    std::string scratch_;
};

// Why a line that holds no separator is no row: "no comma between its cells".
QString noSeparatorText(char sep);

// The seconds of the day of "HH:mm:ss" (two ASCII digits each, nothing around
// them), or -1.
int secondOfDay(std::string_view text);

} // namespace vandrel
