// SPDX-License-Identifier: GPL-3.0-or-later
// A Record for the statistics from whatever holds samples: the rows of a
// table (the real-time table, one read from a file, a data-logger set's
// sample table) as their cells stand, or a table file on the disk. QtCore only.
#pragma once

#include "insight/RecordStats.h"

#include <QLocale>
#include <QString>

#include <span>
#include <string_view>

class QIODevice;

namespace vandrel {

// Builds a record from table rows, one row's cells at a time, from the date
// cell on (date, time, humidity, "%RH", T1, unit, T2, unit, dew point), as a
// table file holds them. A cell reads as an empty cell when it is empty or no
// number, as an overloaded one when it is "OL" or "-OL". T2 and the dew point
// are channels of the record when any row fills them. A row without a date
// and time is left out and counted (an empty row is left out only).
class RecordRowReader {
public:
    explicit RecordRowReader(const QLocale &locale = QLocale());
    void addRow(std::span<const std::string_view> cells);
    int rows() const { return static_cast<int>(record_.seconds.size()); }
    int rowsWithoutTime() const { return withoutTime_; }
    Record take();
    // A cell's value as a row reads it: NaN for an empty cell or no number,
    // infinite for an overloaded one.
    double value(std::string_view text) const;

private:

    QLocale locale_;
    char decimalPoint_;
    Record record_;
    std::array<bool, kChannelCount> seen_{};
    bool unitSeen_ = false;
    int withoutTime_ = 0;
    std::string lastDate_;
    double lastDay_ = 0;
    bool lastDateValid_ = false;
};

struct RecordFile {
    Record record;
    int rowsWithoutTime = 0;
    QString error; // empty when the file was read to its end
};
// The record in a table file (tab or comma separated by its name, as Open
// reads it).
RecordFile readRecordFile(const QString &path, const QLocale &locale = QLocale());
RecordFile readRecordFile(QIODevice &device, char separator, const QLocale &locale = QLocale());


} // namespace vandrel
