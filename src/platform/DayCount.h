// SPDX-License-Identifier: GPL-3.0-or-later
// Date-times as the program keeps them: days since 30 December 1899, the fraction
// being the time of day. They are clock readings, never moved by a time zone.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace vandrel {

// The day count of a date and a time of day, both as a clock shows them.
double toDays(const QDate &date, const QTime &time);
// The day count of the date and time fields of `t`, whether it is local, UTC or an offset: a
// local reading counts as the clock showed it, also in an hour that a clock
// change repeats or skips.
double toDays(const QDateTime &t);

// The day count `seconds` after `days`, counted in whole milliseconds: a time
// reached by many steps from one start comes out exact, where adding the
// step's fraction of a day again and again would drift off the second.
double addSeconds(double days, qint64 seconds);

// The date and time a day count stands for. The result is kept in UTC only so
// that no time zone can move it: its date() and time() are the clock reading,
// also on days whose local midnight does not exist. Invalid for a count that is
// no number or lies beyond any calendar the program shows.
QDateTime fromDays(double days);

} // namespace vandrel
