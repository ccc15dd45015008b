// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding of the logger memory: set records, sign-and-magnitude samples in
// tenths, overload texts, the dew point and the extremes of one set.
#include "datalogger/LoggerRecords.h"

#include "meter/ModelTraits.h"
#include "platform/NumberText.h"

#include <cmath>

namespace vandrel {

namespace {

constexpr quint8 kOpen1 = 0xA5, kOpen2 = 0x5A, kClose1 = 0x5A, kClose2 = 0xA5;
constexpr int kSetOverhead = 16; // markers, start fields, interval, flags, count
constexpr quint8 kFlagFahrenheit = 0x08;
const QString kOverload = QStringLiteral("OL");
const QString kOverloadNegative = QStringLiteral("-OL");

int byteAt(const QByteArray &b, qsizetype i) { return static_cast<quint8>(b.at(i)); }

int word16(const QByteArray &b, qsizetype i) { return byteAt(b, i) << 8 | byteAt(b, i + 1); }

// One two-byte value: the sign flag and the magnitude in tenths, taken in
// single precision as the meter's own arithmetic does.
struct Raw {
    bool flag;
    float value;
};

Raw rawValue(const QByteArray &b, qsizetype i)
{
    const int hi = byteAt(b, i);
    const int magnitude = (hi & 0x7F) << 8 | byteAt(b, i + 1);
    return {(hi & 0x80) != 0, static_cast<float>(magnitude) * 0.1f};
}

QString overloadText(bool flag) { return flag ? kOverloadNegative : kOverload; }

double startTime(const QByteArray &image, int s, const QDateTime &now)
{
    // A century byte of 0 gives a year below 100, taken literally; year 0 does
    // not exist and falls back to now like any other impossible date.
    const QDate date(byteAt(image, s + 2) * 100 + byteAt(image, s + 3), byteAt(image, s + 4),
                     byteAt(image, s + 5));
    const QTime time(byteAt(image, s + 6), byteAt(image, s + 7), byteAt(image, s + 8));
    if (!date.isValid() || !time.isValid())
        return toDays(now);
    return toDays(date, time);
}

void decodeT2(const QByteArray &image, int p, LoggerSample &out, const DecimalPoint &point)
{
    const Raw r = rawValue(image, p + 4);
    const float t2 = r.flag ? -r.value : r.value;
    out.HasT2 = true;
    const bool wide = t2 > 200.0f || t2 < -200.0f;
    out.T2 = wide ? std::trunc(static_cast<double>(t2)) : static_cast<double>(t2);
    out.T2Valid = !(t2 >= 2500.0f || t2 <= -400.0f);
    out.T2Text = out.T2Valid ? formatFixed(out.T2, wide ? 0 : 1, point) : overloadText(r.flag);
}

void decodeDewPoint(LoggerSample &out, const DecimalPoint &point, bool fahrenheit)
{
    out.HasDp = true;
    // The formula's constants are for degrees Celsius: a set recorded in
    // Fahrenheit is taken there and back, in the set's own unit again.
    const float rh = static_cast<float>(out.Rh);
    const float t1 = fahrenheit ? (static_cast<float>(out.T1) - 32.0f) / 1.8f : static_cast<float>(out.T1);
    const float gamma = std::log(rh / 100.0f) + 17.27f * t1 / (t1 + 237.7f);
    const float celsius = 237.7f * gamma / (17.27f - gamma);
    const float dp = fahrenheit ? celsius * 1.8f + 32.0f : celsius;
    // RH 0 (or a temperature at the formula's pole) has no dew point: the
    // sample is still shown, with the dew point marked as out of range and
    // the chart's null value in its place, so no graph draws a made-up point.
    if (!std::isfinite(dp)) {
        out.Dp = 9999.0;
        out.DpValid = false;
        out.DpText = kOverloadNegative;
        return;
    }
    out.Dp = dp;
    out.DpValid = true;
    out.DpText = formatFixed(out.Dp, 1, point);
}

} // namespace

MemoryHeader parseMemoryHeader(const QByteArray &bytes)
{
    auto at = [&](int i) { return i < bytes.size() ? byteAt(bytes, i) : 0; };
    return {at(1) << 8 | at(2), at(3) << 16 | at(4) << 8 | at(5)};
}

int sampleSizeFor(int meterModel) { return modelTraits(meterModel).sampleSize; }

int BuildSetTable(int setCount, const MemoryImage &image, int sampleSize, DataSetTable &table,
                  const QDateTime &now)
{
    if (setCount < 0 || sampleSize < 1)
        return kSetTableMalformed;
    QList<DataSet> sets;
    sets.reserve(qMin(setCount, kMaxSetCount));
    const qint64 size = image.size();
    qint64 s = 0;
    for (int k = 0; k < setCount; ++k) {
        // Even an empty set needs its 16 bytes before its count can be read.
        if (s + kSetOverhead > size)
            return kSetTableMalformed;
        const int n = word16(image, s + 12);
        const qint64 e = s + 15 + static_cast<qint64>(n) * sampleSize;
        if (e >= size || byteAt(image, s) != kOpen1 || byteAt(image, s + 1) != kOpen2
            || byteAt(image, e - 1) != kClose1 || byteAt(image, e) != kClose2)
            return kSetTableMalformed;
        DataSet set;
        set.StartOffset = static_cast<int>(s);
        set.EndOffset = static_cast<int>(e);
        set.Count = n;
        set.Interval = word16(image, s + 9);
        set.Unit = (byteAt(image, s + 11) & kFlagFahrenheit) ? 'F' : 'C';
        set.StartTime = startTime(image, static_cast<int>(s), now);
        sets.append(set);
        s = e + 1;
    }
    table.SampleSize = sampleSize;
    table.Sets = std::move(sets);
    table.Image = image;
    return kSetTableAccepted;
}

LoggerSample DecodeSample(const MemoryImage &image, int offset, int meterModel, char modelSuffix)
{
    return DecodeSample(image, offset, meterModel, modelSuffix, DecimalPoint());
}

LoggerSample DecodeSample(const MemoryImage &image, int offset, int meterModel, char modelSuffix,
                          const DecimalPoint &point, char unit)
{
    LoggerSample out;
    // A sample is whole only with all its bytes, those not decoded included.
    const ModelTraits &traits = modelTraits(meterModel);
    if (offset < 0 || static_cast<qint64>(offset) + traits.sampleSize > image.size())
        return out;
    out.Complete = true;

    // Humidity carries a sign flag but is never negative; the flag only picks
    // the overload text.
    const Raw rh = rawValue(image, offset);
    out.Rh = rh.value;
    out.RhValid = !(rh.value >= 100.0f || rh.value <= 0.0f);
    out.RhText = out.RhValid ? formatFixed(out.Rh, 1, point) : overloadText(rh.flag);

    const Raw t1 = rawValue(image, offset + 2);
    const float t1v = t1.flag ? -t1.value : t1.value;
    out.T1 = t1v;
    out.T1Valid = !(t1v >= 200.0f || t1v <= -40.0f);
    out.T1Text = out.T1Valid ? formatFixed(out.T1, 1, point) : overloadText(t1.flag);

    if (traits.logsT2()) {
        decodeT2(image, offset, out, point);
        if (isDewPointVariant(modelSuffix))
            decodeDewPoint(out, point, unit == 'F');
    }
    return out;
}

void QuantityExtremes::take(double value, double time, int row)
{
    // The first value is both extremes: a dew point near the formula's pole
    // lies beyond any starting value, which would otherwise stay as if measured.
    if (!Present || value > Max.Value)
        Max = {value, time, row};
    if (!Present || value < Min.Value)
        Min = {value, time, row};
    Present = true;
}

DecodedSet decodeSetSamples(const DataSetTable &table, int index, int meterModel, char modelSuffix)
{
    DecodedSet out;
    if (index < 0 || index >= table.setCount())
        return out;
    const DataSet &set = table.Sets.at(index);
    out.Samples.reserve(set.Count);
    const DecimalPoint point; // looked up once for the whole set
    for (int i = 0; i < set.Count; ++i) {
        const int p = set.StartOffset + 14 + i * table.SampleSize;
        LoggerSample s = DecodeSample(table.Image, p, meterModel, modelSuffix, point, set.Unit);
        // Each time from the start itself: summing the interval's fraction of
        // a day sample after sample drifts, and the table shows whole seconds.
        s.Time = addSeconds(set.StartTime, qint64(i) * set.Interval);
        const int row = i + 1;
        if (s.RhValid)
            out.Rh.take(s.Rh, s.Time, row);
        if (s.T1Valid)
            out.T1.take(s.T1, s.Time, row);
        if (s.T2Valid)
            out.T2.take(s.T2, s.Time, row);
        if (s.DpValid)
            out.Dp.take(s.Dp, s.Time, row);
        out.Samples.append(std::move(s));
    }
    return out;
}

} // namespace vandrel
