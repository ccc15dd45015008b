// SPDX-License-Identifier: GPL-3.0-or-later
// What one sample of a real-time run writes into the table: headings by model
// and the cells of a row. Pure: reading, model and time in, texts out.
#pragma once

#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace vandrel {

constexpr int kTableColumns = 10;

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

// The ten cells of real-time row `row`.
QStringList realTimeRowCells(int row, const QDateTime &timestamp, const MeterReading &reading,
                             const MeterIdentity &id, const QLocale &locale = QLocale());

} // namespace vandrel
