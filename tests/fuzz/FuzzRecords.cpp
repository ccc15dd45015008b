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

void checkSet(const DataSetTable &table, int index, int model, char suffix)
{
    const DataSet &set = table.Sets.at(index);
    const DecodedSet d = decodeSetSamples(table, index, model, suffix);
    FUZZ_CHECK(d.Samples.size() == set.Count);
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

    // A sample anywhere, inside the image or not, decodes or comes back incomplete.
    const LoggerSample s = DecodeSample(image, probe, model, suffix);
    const int needed = model == 580 ? 6 : 4;
    FUZZ_CHECK(s.Complete == (probe >= 0 && static_cast<qint64>(probe) + needed <= image.size()));
    if (s.Complete) {
        checkText(s.RhText, s.RhValid);
        checkText(s.T1Text, s.T1Valid);
    }
    return 0;
}
