// SPDX-License-Identifier: GPL-3.0-or-later
// A Record for the statistics from whatever holds samples: the rows of a
// table (the real-time table, one read from a file, a data-logger set's
// sample table) as their cells stand, or a table file on the disk. QtCore only.
#pragma once

#include "insight/RecordStats.h"
#include "records/RecordRow.h"

#include <QLocale>
#include <QString>

#include <span>
#include <string_view>

class QIODevice;

namespace vandrel {

// Lines (or table rows) that held no row to read, and the first of them.
struct UnreadableLines {
    int count = 0;
    long long first = 0;
    QString why; // of the first
    void add(long long line, const QString &reason);
    // "3 lines could not be read (first at line 7: no date)"; empty for none.
    // `noun` is "line" for a file, "row" for a table.
    QString text(const QString &noun = QStringLiteral("line")) const;
};

// What reading a record met besides its rows.
struct ReadNotes {
    UnreadableLines unreadable;
    // Rows whose temperatures were in the other unit and were converted to
    // the record's (the unit of its first row), as a run whose °C/°F key was
    // pressed.
    int rowsConverted = 0;
    char convertedFrom = 0;
    QString noun = QStringLiteral("line");
};

// Builds a record from table rows, one row's cells at a time, from the date
// cell on (date, time, humidity, "%RH", T1, unit, T2, unit, dew point), as a
// table file holds them. Every figure of a record is in one unit, that of its
// first row that names one: rows in the other are converted. A cell that is
// no number and no overload mark is unreadable (kept apart from an empty
// one); a row without a date and time is left out and counted.
class RecordBuilder {
public:
    explicit RecordBuilder(const QLocale &locale = QLocale(), const QString &noun = QStringLiteral("line"));
    // `line` names the row in what is reported: its line in a file, its row in a table.
    void addRow(std::span<const std::string_view> cells, long long line);
    void addUnreadable(long long line, const QString &why) { notes_.unreadable.add(line, why); }
    int rows() const { return static_cast<int>(record_.seconds.size()); }
    const ReadNotes &notes() const { return notes_; }
    Record take();

private:
    RecordRowReader reader_;
    RecordRow row_;
    Record record_;
    ReadNotes notes_;
    std::array<bool, kChannelCount> seen_{};
    char unit_ = 0;
};

struct RecordFile {
    Record record;
    ReadNotes notes;
    QString error; // empty when the file was read to its end
};
// The record in a table file (tab or comma separated by its name). Unlike
// File › Open, every line is read: one that holds no row is counted and
// skipped, and reading goes on to the end of the file.
RecordFile readRecordFile(const QString &path, const QLocale &locale = QLocale());
RecordFile readRecordFile(QIODevice &device, char separator, const QLocale &locale = QLocale());

} // namespace vandrel
