// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of a record as the texts a window, a report and its CSV file
// show: numbers as the tables write them (fixed point, the locale's decimal
// separator), times as the tables' date and time, durations as hh:mm:ss, and
// "—" where a channel has no usable value. QtCore only.
#pragma once

#include "insight/RecordSources.h"
#include "insight/RecordStats.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <string>

namespace vandrel {

// The mark of a figure that cannot be given: no usable value.
QString noFigure();

struct TextTable {
    QString title;
    QStringList headings;
    QList<QStringList> rows;
    // Lines under the table: how to read it, and what it leaves out.
    QStringList notes;
    bool operator==(const TextTable &) const = default;
};

// hh:mm:ss, the hours going on past a day ("49:00:00"); rounded to the second.
QString durationText(double seconds);
// A row time: the table's date and time.
QString recordTimeText(double seconds, const QLocale &locale = QLocale());
// "Humidity (%RH)", "T1 (°C)", "Dew point (°F)", ...
QString channelTitle(Channel channel, char unit);

// What a record is, for the head of a report.
struct RecordHeader {
    QString model;  // the meter model, or "—" when the source does not say
    QString source; // "File: name", "Real-time run", "Data-logger set 3", ...
};
// Model, source, span (first and last row), rate (the usual interval), the
// unit, and what could not be read or was converted, as label/value pairs.
TextTable headerTable(const RecordHeader &header, const Record &record, const ReadNotes &notes,
                      const QLocale &locale = QLocale());

// One column per channel of the record, one row per figure.
TextTable statisticsTable(const Record &record, const RecordStats &stats, const StatsOptions &options,
                          const QLocale &locale = QLocale());
// Condensation risk and the vapour pressure deficit, where the record allows them.
TextTable derivedTable(const Record &record, const RecordStats &stats, const StatsOptions &options,
                       const QLocale &locale = QLocale());
// One row per day: minimum, maximum and mean of each channel and its time
// outside the limits.
TextTable dailyTable(const Record &record, const std::vector<DaySummary> &days, const StatsOptions &options,
                     const QLocale &locale = QLocale());
// One row per crossing: channel, limit, start, end, duration and extreme; the
// first kListedCrossings of them, a note saying how many more there were.
constexpr int kListedCrossings = 1000;
TextTable crossingsTable(const Record &record, const std::vector<Crossing> &crossings,
                         const QLocale &locale = QLocale());
// Rows for the head of a report where the record's time is not whole: the
// rows out of time order (how many, the first) and the time the gaps leave
// uncovered. None for a record without either.
QList<QStringList> coverageRows(const Record &record, const RecordStats &stats, const QLocale &locale = QLocale());
// One row per gap: start and length; the first kListedGaps of them, a note
// saying how many more there were and the time all of them leave uncovered.
constexpr int kListedGaps = 100;
TextTable gapsTable(const std::vector<RecordGap> &gaps, const RecordStats &stats, const QLocale &locale = QLocale());

// Tables as one CSV text: each table's title, headings, rows and notes, a
// blank line between tables; cells quoted where they hold the separator.
std::string tablesCsv(const QList<TextTable> &tables, char separator = ',');

} // namespace vandrel
