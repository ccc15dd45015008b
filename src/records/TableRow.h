// SPDX-License-Identifier: GPL-3.0-or-later
// The columns every sample table shares (real-time, read from a file, data
// logger), how a sample's texts lie in them, the marker label of a row, and
// what a real-time sample writes. Pure: texts in, texts out.
#pragma once

#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"
#include "records/CellReader.h"
#include "records/Channel.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace vandrel {

// The columns of a sample table. Tables of one temperature leave T2 and its
// unit empty; the dew point is there on the dew-point variants only.
enum TableColumn : int {
    ColNumber,
    ColDate,
    ColTime,
    ColHumidity,
    ColHumidityUnit,
    ColT1,
    ColUnit,
    ColT2,
    ColSecondUnit,
    ColDewPoint,
};
constexpr int kTableColumns = ColDewPoint + 1;

// Which temperature columns a table's rows fill.
struct TableLayout {
    bool twoTemperatures = false; // T2 and its unit
    bool dewPoint = false;        // the dew point, beside two temperatures only
};
// The layout of a real-time table for the connected meter.
TableLayout realTimeTableLayout(const MeterIdentity &id);

// What one sample writes, in the table's own texts.
struct SampleTexts {
    QString rh;
    QString t1;
    QString t2;
    QString dewPoint;
    QString unit;
};
// Fills `cells` (kTableColumns long, or one shorter for a table without a
// dew-point column) with row `row`: its number, date, time, humidity and
// "%RH", T1 and the unit, then what `layout` adds. Cells it does not fill
// are left as they are.
void layOutTableRow(QStringList &cells, int row, const QString &date, const QString &time, const SampleTexts &texts,
                    TableLayout layout);

// The label of the graph marker that points at a table row, from the row's
// cells: the time, then " RH:" " T1:" " T2:" and, where `layout` has it,
// " DP:", or " RH:" " T:" for one temperature. `withDate` puts the row's date
// first, for tables whose rows span more than one day.
QString markerLabel(const std::function<QString(TableColumn)> &cell, TableLayout layout, bool withDate = false);

// Headings of columns 0..9 for a model (column 9 only where the model has one;
// other codes give the headings of columns 0 to 4 only).
QStringList tableHeadings(int model);
// Headings of columns 5..8 (and 9) that a model sets; empty for other codes.
QStringList modelHeadings(int model);

// The short date format of `locale`, always with a four-digit year so that
// tables read back without guessing the century.
QString shortDateFormat(const QLocale &locale = QLocale());
// A date in that format, written with ASCII digits in every locale.
QString tableDate(const QDate &date, const QLocale &locale = QLocale());
// The date of a DATE cell: as tableDate writes it, or in the locale's short
// format with a two-digit year as other programs write it (00-69 in the 2000s,
// 70-99 in the 1900s); ASCII or the locale's own digits. Failing that, as ISO
// 8601 (2026-12-07) or as tableDate writes it under any other locale, for
// tables saved on another machine. Invalid when none of these.
QDate readTableDate(const QString &text, const QLocale &locale = QLocale());
QString tableTime(const QTime &time);

// The reading's four channels (humidity, T1, T2, dew point) as cells, from the
// numbers the meter sent rather than from the table's texts: what the table
// row of this reading would hold. A channel the meter does not have is empty.
std::array<Cell, kChannelCount> readingCells(const MeterReading &reading, const MeterIdentity &id);
// 'C' or 'F': the unit the reading's temperatures are in.
char readingUnit(const MeterReading &reading);

// The ten cells of real-time row `row`.
QStringList realTimeRowCells(int row, const QDateTime &timestamp, const MeterReading &reading,
                             const MeterIdentity &id, const QLocale &locale = QLocale());

} // namespace vandrel
