// SPDX-License-Identifier: GPL-3.0-or-later
// What sets the meter models apart, in one table, and what the suffix of the
// identification reply selects. Code elsewhere asks here instead of comparing
// model codes or suffix characters itself.
#pragma once

#include "meter/MeterIdentity.h"

#include <QStringList>

#include <span>

namespace vandrel {

// What status bit 5 of a display frame switches on a model.
enum class StatusBit5 {
    Nothing,    // a code outside the family
    HourMinute, // the third row shows hours:minutes instead of minutes:seconds
    Relative,   // REL
    ClockMode   // the display shows the date and time
};

// How the logger memory comes over: acknowledged 64-byte blocks or one stream.
enum class DownloadVariant { Blocks, Stream };

struct ModelTraits {
    int code = 0;            // 0 for a code outside the family
    int channels = 2;        // measured values: humidity and one or two temperatures
    bool canLog = false;     // has a logger memory that can be downloaded
    bool recordBits = true;  // the REC bits of a frame are read (the two models without a logger clear them)
    StatusBit5 bit5 = StatusBit5::Nothing;
    int sampleSize = 4;      // bytes of one logged sample
    int loggedChannels = 2;  // values of a logged sample that are decoded: a 540's third value is not

    bool known() const { return code != 0; }
    // The live reading has T2 and, on the dew-point variant, a dew point.
    bool twoTemperatures() const { return channels == 3; }
    // The logged samples carry a T2 that is decoded, shown and saved.
    bool logsT2() const { return loggedChannels == 3; }
    // Curves of a graph: humidity and T1, or also T2 and the dew point.
    int seriesCount() const { return twoTemperatures() ? 4 : 2; }
    // Headings of the real-time table's columns 5 on; none for a code outside
    // the family, whose table keeps the headings it has.
    QStringList liveHeadings() const;
    // Headings of the data-logger table's columns 5 on, with column 9 when
    // the suffix gives the table a dew-point column.
    QStringList loggedHeadings(char suffix) const;
};

// The facts for a model code; a code outside the family gets the neutral entry.
const ModelTraits &modelTraits(int model);
inline bool isKnownModel(int model) { return modelTraits(model).known(); }
// The family, in the order of their codes.
std::span<const ModelTraits> knownModels();
// The logging model whose samples have one temperature, or two: what a table
// of such rows was most likely recorded from.
const ModelTraits &loggingModelWith(bool twoTemperatures);

inline constexpr char kDewPointSuffix = 'D';
inline constexpr char kStreamSuffix = '\r';

// The "D" suffix: the meter computes a dew point (on every model).
bool isDewPointVariant(char suffix);
inline bool isDewPointVariant(const MeterIdentity &id) { return isDewPointVariant(id.ModelSuffix); }
// On a dew-point variant with two temperatures, HOLD switches the display to
// the dew point instead of holding the values.
bool holdMeansDewPoint(const MeterIdentity &id);
// A carriage return as suffix: the memory comes as one stream.
DownloadVariant downloadVariant(char suffix);

// Headings of table columns 5 on: "Temperature", "UNIT" and two empty ones,
// or "T1", "UNIT", "T2", "UNIT" and "Dewpoint".
QStringList temperatureHeadings(bool twoTemperatures);

} // namespace vandrel
