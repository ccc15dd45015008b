// SPDX-License-Identifier: GPL-3.0-or-later
// The meter's logger memory as data: its header, the table of recorded sets and
// the decoding of one set's samples into values, texts and extremes. QtCore only.
#pragma once

#include "platform/DayCount.h"
#include "platform/NumberText.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace vandrel {

// The bytes from address 256 up to and including the header's end address.
using MemoryImage = QByteArray;

inline constexpr int kHeaderSize = 256;
inline constexpr int kEmptyEndAddress = 255; // nothing recorded
inline constexpr int kLoggerMemorySize = 98304;
inline constexpr int kMaxSetCount = 4000;

// Outcome codes shared with the download.
inline constexpr int kSetTableAccepted = 10;
inline constexpr int kSetTableMalformed = 5;

struct MemoryHeader {
    int SetCount = 0;
    int EndAddress = 0; // address of the last byte in use
};

// Reads the two fields the program uses (big-endian). Bytes missing from a
// short buffer read as 0, so a truncated header is never read past its end.
MemoryHeader parseMemoryHeader(const QByteArray &bytes);

// Bytes per sample of a model (its traits): RH and T1, plus a third value on
// the two-temperature models.
int sampleSizeFor(int meterModel);

struct DataSet {
    double StartTime = 0.0; // days since 30 December 1899
    int Interval = 0;       // seconds
    int Count = 0;          // samples
    char Unit = 'C';        // 'C' or 'F'
    int StartOffset = 0;    // offset of the opening marker in the image
    int EndOffset = 0;      // offset of the last closing marker byte
};

struct DataSetTable {
    int SampleSize = 4;
    QList<DataSet> Sets;
    MemoryImage Image;
    int setCount() const { return static_cast<int>(Sets.size()); }
};

// Walks `setCount` set records through `image`. On success replaces `table` as
// a whole and returns kSetTableAccepted; a malformed or truncated set returns
// kSetTableMalformed and leaves `table` exactly as it was. Start fields that
// are no valid date and time take `now`.
int BuildSetTable(int setCount, const MemoryImage &image, int sampleSize, DataSetTable &table,
                  const QDateTime &now = QDateTime::currentDateTime());

struct LoggerSample {
    double Time = 0.0;
    bool Complete = false; // false when the sample's bytes lie outside the image
    double Rh = 0.0;
    QString RhText;
    bool RhValid = false;
    double T1 = 0.0;
    QString T1Text;
    bool T1Valid = false;
    bool HasT2 = false; // the model logs a decoded T2 (580)
    double T2 = 0.0;
    QString T2Text;
    bool T2Valid = false;
    bool HasDp = false; // and is a dew-point variant
    double Dp = 0.0;
    QString DpText;
    bool DpValid = false;
};

// Decodes the sample at `offset` (its time is left 0 for the caller). A sample
// whose bytes do not all lie inside the image comes back incomplete and empty.
LoggerSample DecodeSample(const MemoryImage &image, int offset, int meterModel, char modelSuffix);
// The same with the decimal separator looked up once by the caller, for a
// whole set, and the set's unit ('C' or 'F'), which the dew point is given in.
LoggerSample DecodeSample(const MemoryImage &image, int offset, int meterModel, char modelSuffix,
                          const DecimalPoint &point, char unit = 'C');

struct Extreme {
    double Value = 0.0;
    double Time = 0.0;
    int Row = 0; // sample index + 1; 0 while no sample has reached this extreme
    bool found() const { return Row > 0; }
};

// The search starts at -99999 and 99999, so a quantity whose values all lie
// beyond one of them (dew points of far overloaded readings) leaves that
// extreme without a sample: it keeps Row 0 and its starting value means nothing.
struct QuantityExtremes {
    bool Present = false;
    Extreme Max{-99999.0, 0.0, 0};
    Extreme Min{99999.0, 0.0, 0};
    // The earliest of equal extremes is kept: only a strictly better value replaces one.
    void take(double value, double time, int row);
};

struct DecodedSet {
    QList<LoggerSample> Samples;
    QuantityExtremes Rh, T1, T2, Dp;
};

// All samples of set `index` with their times and the extremes of each
// quantity. An index outside the table gives an empty result.
DecodedSet decodeSetSamples(const DataSetTable &table, int index, int meterModel, char modelSuffix);

} // namespace vandrel
