// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: a logger memory image of any length, with any set count, for
// every model and suffix. Checks the set table against the record layout and
// every decoded sample, text and extreme.
#include "FuzzCheck.h"

#include "datalogger/LoggerRecords.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace vandrel;

namespace {

quint8 byteAt(const QByteArray &b, int i) { return static_cast<quint8>(b.at(i)); }

void checkTable(const DataSetTable &table, const QByteArray &image, int setCount, int sampleSize)
{
    FUZZ_CHECK(table.Image == image && table.SampleSize == sampleSize && table.setCount() == setCount);
    int start = 0;
    for (const DataSet &set : table.Sets) {
        FUZZ_CHECK(set.StartOffset == start);
        FUZZ_CHECK(set.Count == (byteAt(image, start + 12) << 8 | byteAt(image, start + 13)));
        FUZZ_CHECK(set.EndOffset == start + 15 + set.Count * sampleSize && set.EndOffset < image.size());
        FUZZ_CHECK(byteAt(image, start) == 0xA5 && byteAt(image, start + 1) == 0x5A);
        FUZZ_CHECK(byteAt(image, set.EndOffset - 1) == 0x5A && byteAt(image, set.EndOffset) == 0xA5);
        FUZZ_CHECK(set.Interval == (byteAt(image, start + 9) << 8 | byteAt(image, start + 10)));
        FUZZ_CHECK(set.Unit == ((byteAt(image, start + 11) & 0x08) ? 'F' : 'C'));
        FUZZ_CHECK(std::isfinite(set.StartTime));
        start = set.EndOffset + 1;
    }
}

void checkText(const QString &text, bool valid, int maxDecimals = 1)
{
    FUZZ_CHECK(valid ? fuzz::isValueText(text, maxDecimals) : fuzz::isOverloadText(text));
}

// An extreme belongs to a valid sample of the set and holds its value and time.
template <typename Value, typename Valid>
void checkExtremes(const QuantityExtremes &e, const DecodedSet &d, Value value, Valid valid)
{
    bool any = false;
    for (const LoggerSample &s : d.Samples)
        any = any || valid(s);
    FUZZ_CHECK(e.Present == any);
    if (!any)
        return;
    for (const Extreme *x : {&e.Max, &e.Min}) {
        FUZZ_CHECK(x->Row >= 1 && x->Row <= d.Samples.size());
        const LoggerSample &s = d.Samples.at(x->Row - 1);
        FUZZ_CHECK(valid(s) && value(s) == x->Value && s.Time == x->Time);
    }
    FUZZ_CHECK(e.Max.Value >= e.Min.Value);
    for (const LoggerSample &s : d.Samples) {
        if (valid(s))
            FUZZ_CHECK(value(s) <= e.Max.Value && value(s) >= e.Min.Value);
    }
}

// One two-byte value of a sample read straight from its bytes: bit 7 of the
// first byte is the sign, the other fifteen bits the magnitude in tenths.
struct RawValue {
    unsigned magnitude;
    bool flag;
    RawValue(const QByteArray &image, int at)
        : magnitude((byteAt(image, at) & 0x7Fu) << 8 | byteAt(image, at + 1)), flag(byteAt(image, at) & 0x80)
    {
    }
    double signedValue() const { return (flag ? -1.0 : 1.0) * magnitude / 10.0; }
};

// A sample's text against its bytes: the overload mark with the sign flag,
// or the value with one decimal (none when `whole`).
void checkTextOf(const QString &text, const RawValue &v, bool valid, double value, bool whole = false)
{
    if (!valid) {
        FUZZ_CHECK(text == (v.flag ? "-OL" : "OL"));
        return;
    }
    bool ok = false;
    const double shown = text.toDouble(&ok);
    FUZZ_CHECK(ok && std::abs(shown - value) < 1e-6);
    FUZZ_CHECK(whole != text.contains(QLatin1Char('.')));
}

// Every sample of the set decoded again from the image, without the decoder,
// by the record layout: values, validity, texts and times.
void checkSamplesAgainstBytes(const DataSetTable &table, const DataSet &set, const DecodedSet &d, int model,
                              char suffix)
{
    const QByteArray &image = table.Image;
    for (int i = 0; i < d.Samples.size(); ++i) {
        const LoggerSample &s = d.Samples.at(i);
        const int p = set.StartOffset + 14 + i * table.SampleSize;
        // Each sample's time is the start plus whole intervals (to a millisecond).
        FUZZ_CHECK(std::abs(s.Time - (set.StartTime + static_cast<double>(i) * set.Interval / 86400.0)) < 1e-3 / 86400);

        const RawValue rh(image, p);
        const bool rhValid = rh.magnitude > 0 && rh.magnitude < 1000;
        FUZZ_CHECK(std::abs(s.Rh - rh.magnitude / 10.0) < 1e-3);
        FUZZ_CHECK(s.RhValid == rhValid);
        checkTextOf(s.RhText, rh, rhValid, rh.magnitude / 10.0);

        const RawValue t1(image, p + 2);
        const bool t1Valid = t1.flag ? t1.magnitude < 400 : t1.magnitude < 2000;
        FUZZ_CHECK(std::abs(s.T1 - t1.signedValue()) < 1e-3);
        FUZZ_CHECK(s.T1Valid == t1Valid);
        checkTextOf(s.T1Text, t1, t1Valid, t1.signedValue());

        if (model == 580) {
            const RawValue t2(image, p + 4);
            const bool wide = t2.magnitude > 2000;
            const double value = wide ? (t2.flag ? -1.0 : 1.0) * (t2.magnitude / 10) : t2.signedValue();
            const bool t2Valid = t2.flag ? t2.magnitude < 4000 : t2.magnitude < 25000;
            FUZZ_CHECK(std::abs(s.T2 - value) < 1e-3);
            FUZZ_CHECK(s.T2Valid == t2Valid);
            checkTextOf(s.T2Text, t2, t2Valid, value, wide);
        }
        if (model == 580 && suffix == 'D' && rh.magnitude > 0) {
            // In single precision throughout; away from the formula's poles,
            // where a last-bit difference would change the result.
            // The formula is in degrees Celsius: a set in Fahrenheit goes there and back.
            const bool fahrenheit = set.Unit == 'F';
            const float rhf = static_cast<float>(rh.magnitude / 10.0), t1f = static_cast<float>(t1.signedValue());
            const float t1c = fahrenheit ? (t1f - 32.0f) * 5.0f / 9.0f : t1f;
            const float g = std::log(rhf / 100.0f) + 17.27f * t1c / (t1c + 237.7f);
            const float dpc = 237.7f * g / (17.27f - g);
            const float dp = fahrenheit ? dpc * 9.0f / 5.0f + 32.0f : dpc;
            if (std::isfinite(dp) && std::abs(17.27f - g) > 0.01f && std::abs(t1c + 237.7f) > 1.0f)
                FUZZ_CHECK(std::abs(s.Dp - dp) <= 0.006 + 1e-3 * std::abs(dp));
        }
    }
}

void checkSet(const DataSetTable &table, int index, int model, char suffix)
{
    const DataSet &set = table.Sets.at(index);
    const DecodedSet d = decodeSetSamples(table, index, model, suffix);
    FUZZ_CHECK(d.Samples.size() == set.Count);
    checkSamplesAgainstBytes(table, set, d, model, suffix);
    double previous = set.StartTime;
    for (const LoggerSample &s : d.Samples) {
        FUZZ_CHECK(s.Complete && std::isfinite(s.Time) && s.Time >= previous);
        previous = s.Time;
        FUZZ_CHECK(std::isfinite(s.Rh) && s.Rh >= 0.0 && std::isfinite(s.T1));
        checkText(s.RhText, s.RhValid);
        checkText(s.T1Text, s.T1Valid);
        FUZZ_CHECK(s.HasT2 == (model == 580) && s.HasDp == (model == 580 && suffix == 'D'));
        if (s.HasT2) {
            FUZZ_CHECK(std::isfinite(s.T2));
            checkText(s.T2Text, s.T2Valid, std::abs(s.T2) > 200.0 ? 0 : 1);
        }
        if (s.HasDp) {
            FUZZ_CHECK(std::isfinite(s.Dp));
            checkText(s.DpText, s.DpValid);
        }
    }
    checkExtremes(d.Rh, d, [](const LoggerSample &s) { return s.Rh; }, [](const LoggerSample &s) { return s.RhValid; });
    checkExtremes(d.T1, d, [](const LoggerSample &s) { return s.T1; }, [](const LoggerSample &s) { return s.T1Valid; });
    checkExtremes(d.T2, d, [](const LoggerSample &s) { return s.T2; }, [](const LoggerSample &s) { return s.T2Valid; });
    checkExtremes(d.Dp, d, [](const LoggerSample &s) { return s.Dp; }, [](const LoggerSample &s) { return s.DpValid; });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::useCLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    static constexpr int kModels[] = {520, 540, 560, 580};
    static constexpr char kSuffixes[] = {0, 'D', '\r'};
    const int model = in.PickValueInArray(kModels);
    const char suffix = in.PickValueInArray(kSuffixes);
    // Mostly small counts, so that whole tables get built, now and then any 16-bit count.
    const int setCount = in.ConsumeBool() ? in.ConsumeIntegral<std::uint16_t>() : in.ConsumeIntegralInRange(0, 6);
    const int probe = in.ConsumeIntegral<int>();
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const QByteArray image(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const int sampleSize = sampleSizeFor(model);

    DataSetTable table;
    table.Image = "previous";
    const int result = BuildSetTable(setCount, image, sampleSize, table);
    FUZZ_CHECK(result == kSetTableAccepted || result == kSetTableMalformed);
    if (result == kSetTableMalformed) {
        FUZZ_CHECK(table.Image == "previous" && table.Sets.isEmpty());
    } else {
        checkTable(table, image, setCount, sampleSize);
        for (int i = 0; i < table.setCount(); ++i)
            checkSet(table, i, model, suffix);
        FUZZ_CHECK(decodeSetSamples(table, table.setCount(), model, suffix).Samples.isEmpty());
        FUZZ_CHECK(decodeSetSamples(table, -1, model, suffix).Samples.isEmpty());
    }

    // A sample anywhere, inside the image or not, decodes or comes back
    // incomplete: whole only with all its bytes, a 540's undecoded third value too.
    const LoggerSample s = DecodeSample(image, probe, model, suffix);
    const int needed = model == 540 || model == 580 ? 6 : 4;
    FUZZ_CHECK(s.Complete == (probe >= 0 && static_cast<qint64>(probe) + needed <= image.size()));
    if (s.Complete) {
        checkText(s.RhText, s.RhValid);
        checkText(s.T1Text, s.T1Valid);
    }
    return 0;
}
