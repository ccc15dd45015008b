// SPDX-License-Identifier: GPL-3.0-or-later
// The figures of a record (a real-time table, a table file, a logger set or
// the span of a zoomed graph): per channel the count, extremes with their
// times, mean, spread and time below, within and above the limits; the mean
// kinetic temperature of each temperature, the time a surface at T2 risked
// condensation, and the vapour pressure deficit. Pure: numbers in, numbers out.
#pragma once

#include "insight/LimitWatch.h"
#include "records/CellReader.h"
#include "records/Channel.h"

#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace vandrel {


// A record as the statistics read it. A value of NaN is an empty cell, an
// infinite one an overloaded cell ("OL", "-OL"); a channel the record does
// not have is left empty.
struct Record {
    // The time of each row, rising: seconds since 30 December 1899 as the
    // clock showed it (a table's day count times 86,400), so whole days split
    // at midnight.
    std::vector<double> seconds;
    std::array<std::vector<double>, kChannelCount> values;
    char unit = 'C'; // of T1, T2 and the dew point: 'C' or 'F'
    bool has(Channel c) const { return !values[c].empty(); }
};

// No limits, a temperature's given in °C (the meters' usual unit) and
// humidity's in %RH.
inline std::array<Limits, kChannelCount> noLimits()
{
    std::array<Limits, kChannelCount> out{};
    for (const Channel c : kChannels)
        out[c].unit = isTemperature(c) ? 'C' : 0;
    return out;
}

struct StatsOptions {
    std::array<Limits, kChannelCount> limits = noLimits();
    // How close T2 may come to the dew point before condensation is a risk;
    // NaN: 1 °C, or 2 °F on a record in Fahrenheit.
    double condensationMargin = std::numeric_limits<double>::quiet_NaN();
};

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct ChannelStats {
    bool present = false;
    int count = 0;      // values taken in
    int empty = 0;      // cells left out because they were empty
    int unreadable = 0; // ... or held nothing a meter writes (isUnreadable)
    int overloaded = 0; // ... or over the meter's range
    double firstTime = kNone, lastTime = kNone;
    double min = kNone, minTime = kNone, max = kNone, maxTime = kNone;
    // Of the values, each counted once; NaN for the spread of a single value.
    double mean = kNone, stddev = kNone;
    // Time in alarm: below, within and above the limits as an alarm sees them,
    // with the hysteresis and the delay. An overloaded reading ("OL" above,
    // "-OL" below the range) lies beyond a limit on its side; on a side with
    // no limit it counts in none of the three, only as out of range.
    double secondsBelow = 0, secondsWithin = 0, secondsAbove = 0;
    // Time beyond a limit: the readings' own time past the low (high) limit by
    // a tenth or more, no hysteresis, no delay; overloads on that side included.
    double secondsBeyondLow = 0, secondsBeyondHigh = 0;
    // The time of the overloaded readings, either side.
    double secondsOutOfRange = 0;
    // The time the channel's readings stand for (values and overloads, not
    // empty cells): what the shares of time are shares of.
    double secondsRead = 0;
    double mkt = kNone; // T1 and T2 only
};
struct RangeStats {
    int count = 0;
    double mean = kNone, min = kNone, max = kNone;
};

struct RecordStats {
    std::array<ChannelStats, kChannelCount> channels;
    // The seconds the record stands for: each row counts until the next one,
    // the last for a usual interval; an interval longer than twice the usual
    // one is a gap: the row before it stands for a usual interval, as the last
    // row does, and the rest of it for nothing.
    double coveredSeconds = 0;
    int gapCount = 0;
    double uncoveredSeconds = 0; // the gaps' time, which no row stands for
    // Rows whose time lies before the row above them (rows out of order, a
    // clock set back): they count, but the time going back counts for nothing.
    int rowsOutOfOrder = 0;
    int firstRowOutOfOrder = -1; // its index in the record's rows, from 0
    double condensationSeconds = kNone; // on records with T2 and a dew point
    RangeStats vpdKPa;                  // from humidity and T1
};
// The constants of the mean kinetic temperature: the activation energy most
// guidance assumes for drug products and the gas constant; their ratio is
// 10,000 K.
constexpr double kActivationJoulesPerMole = 83144.0;
constexpr double kGasConstant = 8.3144;

RecordStats computeStats(const Record &record, const StatsOptions &options = {});

// The rows of `record` from `from` to `to` (seconds, both inclusive): the span
// a zoomed graph shows.
Record recordSpan(const Record &record, double from, double to);

// The usual interval between rows (the median), 0 for fewer than two rows.
double usualInterval(const Record &record);

// A stretch of time no row stands for: from a usual interval after the row
// before the gap to the row after it.
struct RecordGap {
    double start = 0;
    double seconds = 0;
};
// Every gap of the record, in the order of its rows.
std::vector<RecordGap> recordGaps(const Record &record);

// One stretch of time a channel spent beyond a limit: from the row that raised
// it to the row that cleared it (open: still raised at the record's end), its
// end never before its start, even where the clock went back. `seconds` is the
// time its rows stand for, as the time below and above count it; the extreme
// is the farthest value beyond the limit (infinite for an overload).
struct Crossing {
    Channel channel = kHumidity;
    LimitSide side = LimitSide::High;
    double limit = 0;
    double start = 0, end = 0;
    double seconds = 0;
    double extreme = kNone, extremeTime = kNone;
    bool open = false;
};
// Every crossing of every channel with limits, in order of start.
std::vector<Crossing> limitCrossings(const Record &record, const StatsOptions &options = {});

// The figures of one calendar day: per channel the count, extremes, mean and
// the time below, within and above the limits (the limits' state carried over
// from the day before, as an alarm would be).
struct DaySummary {
    long long day = 0; // days since 30 December 1899
    std::array<ChannelStats, kChannelCount> channels;
};
std::vector<DaySummary> dailySummaries(const Record &record, const StatsOptions &options = {});

// Saturation vapour pressure over water at `celsius`, kPa (Tetens:
// 0.6108 exp(17.27 T / (T + 237.3))).
double saturationVapourPressureKPa(double celsius);

} // namespace vandrel
