// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: received bytes, cut into frames in chunks of any size and
// decoded for every model and suffix. Checks the cut against a one-shot cut
// and a plain reading of the frame rule, and the decoded values and texts.
#include "FuzzCheck.h"

#include "meter/DecodeFrame.h"
#include "meter/FrameCutter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

using namespace vandrel;

namespace {

// The frame rule read literally: at a start byte whose tenth byte is the end
// mark a frame is taken; any other start byte costs ten bytes; bytes before a
// start byte are dropped; fewer than ten bytes wait for more.
std::vector<DisplayFrame> referenceCut(const std::vector<std::uint8_t> &bytes, std::size_t &rest)
{
    std::vector<DisplayFrame> frames;
    std::size_t p = 0;
    while (bytes.size() - p >= 10) {
        if (bytes[p] != kFrameStart) {
            const auto next = std::find(bytes.begin() + static_cast<std::ptrdiff_t>(p), bytes.end(), kFrameStart);
            p = next == bytes.end() ? p + 10 : static_cast<std::size_t>(next - bytes.begin());
            continue;
        }
        if (bytes[p + 9] == kFrameEnd) {
            DisplayFrame f;
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(p), 10, f.begin());
            frames.push_back(f);
        }
        p += 10;
    }
    rest = bytes.size() - p;
    return frames;
}

bool finite(const ShownTriple &s) { return std::isfinite(s.rh) && std::isfinite(s.t1) && std::isfinite(s.t2); }

void checkReading(const MeterReading &r, const MeterIdentity &id)
{
    FUZZ_CHECK(std::isfinite(r.Rh) && std::isfinite(r.T1) && std::isfinite(r.T2) && std::isfinite(r.DewPoint));
    FUZZ_CHECK(std::isfinite(r.ShownRh) && std::isfinite(r.ShownT1) && std::isfinite(r.ShownT2));
    FUZZ_CHECK(finite(r.HoldStore) && finite(r.MaxStore) && finite(r.MinStore) && finite(r.RelReference));
    FUZZ_CHECK(std::abs(r.Rh) <= 6553.5 && std::abs(r.T1) <= 6553.5 && std::abs(r.T2) <= 6553.5);
    FUZZ_CHECK(r.RhOver ? r.RhText == (r.RhNeg ? "-OL" : "OL") : fuzz::isValueText(r.RhText));
    FUZZ_CHECK(r.T1Over ? r.T1Text == (r.T1Neg ? "-OL" : "OL") : fuzz::isValueText(r.T1Text));
    FUZZ_CHECK(r.T2Over ? r.T2Text == (r.T2Neg ? "-OL" : "OL") : fuzz::isValueText(r.T2Text));
    // Whole numbers only beyond the narrow range, and then the value itself is whole.
    if (!r.T2Over && r.WideRangeT2)
        FUZZ_CHECK(!r.T2Text.contains(QLatin1Char('.')) && r.T2 == std::trunc(r.T2));
    if (r.RhOver || r.T1Over)
        FUZZ_CHECK(r.DewPointOverload);
    FUZZ_CHECK(r.DewPointOverload ? fuzz::isOverloadText(r.DewPointText) : fuzz::isValueText(r.DewPointText));
    FUZZ_CHECK(r.TempUnit == "C" || r.TempUnit == "F");
    FUZZ_CHECK(r.MaxMinMode >= 0 && r.MaxMinMode <= 3);
    for (const QString &t : r.ByteTimeText)
        FUZZ_CHECK(t.size() == 2 && t.at(0).isDigit() && t.at(1).isDigit());
    if (id.MeterModel == 520 || id.MeterModel == 540)
        FUZZ_CHECK(!r.RecOn && !r.RecBlink);
    if (id.MeterModel != 540)
        FUZZ_CHECK(!r.RelativeOn);
    if (id.MeterModel != 560 && id.MeterModel != 580)
        FUZZ_CHECK(!r.ClockMode);
}

// The frame read again from its bytes, field by field, without the decoder.
struct Expected {
    bool wideT2 = false; // carries from frame to frame

    static double value(unsigned raw, bool negative) { return (negative ? -1.0 : 1.0) * raw / 10.0; }

    // A table text against the value its bytes hold: the overload mark, or
    // the number with one decimal (no decimal when `whole`).
    static void checkText(const QString &text, unsigned raw, bool negative, bool over, bool whole = false)
    {
        if (over) {
            FUZZ_CHECK(text == (negative ? "-OL" : "OL"));
            return;
        }
        bool ok = false;
        const double shown = text.toDouble(&ok);
        FUZZ_CHECK(ok);
        if (whole) {
            FUZZ_CHECK(!text.contains(QLatin1Char('.')));
            FUZZ_CHECK(shown == (negative ? -1.0 : 1.0) * (raw / 10));
        } else {
            FUZZ_CHECK(std::abs(shown - value(raw, negative)) < 1e-9);
        }
    }

    void check(const DisplayFrame &f, const MeterReading &r, const MeterIdentity &id)
    {
        const int model = id.MeterModel;
        const std::uint8_t a = f[1], b = f[2];
        const unsigned rawRh = f[3] << 8 | f[4], rawT1 = f[5] << 8 | f[6], rawT2 = f[7] << 8 | f[8];
        const bool rhNeg = b & 0x80, rhOver = b & 0x40, t1Neg = b & 0x20, t1Over = b & 0x10;
        const bool t2Neg = b & 0x08, t2Over = b & 0x04;

        FUZZ_CHECK(r.MaxMinMode == (a & 0x03));
        FUZZ_CHECK(r.HoldOn == bool(a & 0x04));
        FUZZ_CHECK(r.TempUnit == ((a & 0x08) ? "F" : "C"));
        // The recording icon is taken as off only on the two models that cannot log.
        const bool rec = model != 520 && model != 540;
        FUZZ_CHECK(r.RecOn == (rec && (a & 0x10)));
        FUZZ_CHECK(r.RecBlink == (rec && (b & 0x01)));
        const bool logs = model == 560 || model == 580;
        FUZZ_CHECK(r.RelativeOn == (model == 540 && (a & 0x20)));
        FUZZ_CHECK(r.ClockMode == (logs && (a & 0x20)));
        if (model == 520)
            FUZZ_CHECK(r.HourMinute == bool(a & 0x20));
        FUZZ_CHECK(r.AutoPowerOff == bool(a & 0x40) && r.LowBattery == bool(a & 0x80));
        FUZZ_CHECK(r.T2NoDecimals == bool(b & 0x02));
        FUZZ_CHECK(r.RhNeg == rhNeg && r.RhOver == rhOver && r.T1Neg == t1Neg && r.T1Over == t1Over);
        FUZZ_CHECK(r.T2Neg == t2Neg && r.T2Over == t2Over);

        FUZZ_CHECK(std::abs(r.Rh - value(rawRh, rhNeg)) < 1e-9);
        FUZZ_CHECK(std::abs(r.T1 - value(rawT1, t1Neg)) < 1e-9);
        const double t2 = value(rawT2, t2Neg);
        wideT2 = wideT2 ? (t2 > 195.0 || t2 < -195.0) : (t2 > 200.0 || t2 < -200.0);
        FUZZ_CHECK(r.WideRangeT2 == wideT2);
        FUZZ_CHECK(std::abs(r.T2 - (wideT2 && !t2Over ? std::trunc(t2) : t2)) < 1e-9);

        checkText(r.RhText, rawRh, rhNeg, rhOver);
        checkText(r.T1Text, rawT1, t1Neg, t1Over);
        checkText(r.T2Text, rawT2, t2Neg, t2Over, wideT2);
        for (int i = 0; i < 2; ++i) {
            const QString digits = QString::number(f[7 + i]).rightJustified(2, QLatin1Char('0')).right(2);
            FUZZ_CHECK(r.ByteTimeText.at(static_cast<std::size_t>(i)) == digits);
        }

        // The dew point of a dew-point variant, from the Magnus formula in
        // single precision, wherever it is defined (a Celsius reading).
        const double rh = value(rawRh, rhNeg), t1 = value(rawT1, t1Neg);
        if (id.ModelSuffix == 'D' && !(a & 0x08) && !rhOver && !t1Over && rh > 0.0 && t1 > -237.0) {
            const float p = static_cast<float>(std::log(rh / 100.0) + 17.27f * t1 / (237.7f + t1));
            const double dp = 237.7f * p / (17.27f - p);
            if (std::isfinite(dp) && std::abs(17.27f - p) > 0.01f) {
                FUZZ_CHECK(std::abs(r.DewPoint - dp) <= 0.006 + 1e-4 * std::abs(dp));
                bool ok = false;
                FUZZ_CHECK(std::abs(r.DewPointText.toDouble(&ok) - r.DewPoint) <= 0.05 + 1e-9 && ok);
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::useCLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    static constexpr int kModels[] = {520, 540, 560, 580, 0, 999};
    static constexpr char kSuffixes[] = {0, 'D', '\r', 'X'};
    MeterIdentity id;
    id.MeterModel = in.PickValueInArray(kModels);
    id.ModelSuffix = in.PickValueInArray(kSuffixes);
    // Chunk sizes come from a small generator seeded by the input, so the
    // same bytes are tried in every way a port could hand them over.
    std::uint32_t chunkSeed = in.ConsumeIntegral<std::uint32_t>();
    const int maxChunk = in.ConsumeIntegralInRange(1, 40);
    const std::vector<std::uint8_t> bytes = in.ConsumeRemainingBytes<std::uint8_t>();

    std::size_t rest = 0;
    const std::vector<DisplayFrame> expected = referenceCut(bytes, rest);

    QByteArray whole(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    const std::vector<DisplayFrame> oneShot = cutFrames(whole);
    FUZZ_CHECK(oneShot == expected);
    FUZZ_CHECK(static_cast<std::size_t>(whole.size()) == rest && rest < 10 + bytes.size());
    FUZZ_CHECK(whole == QByteArray(reinterpret_cast<const char *>(bytes.data()) + bytes.size() - rest,
                                   static_cast<qsizetype>(rest)));

    QByteArray buffer;
    std::vector<DisplayFrame> chunked;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        chunkSeed = chunkSeed * 1664525u + 1013904223u;
        const std::size_t n = std::min<std::size_t>(bytes.size() - pos, 1 + (chunkSeed >> 16) % maxChunk);
        buffer.append(reinterpret_cast<const char *>(bytes.data() + pos), static_cast<qsizetype>(n));
        pos += n;
        const std::vector<DisplayFrame> got = cutFrames(buffer);
        // The receive buffer never holds a whole frame's worth after a cut.
        FUZZ_CHECK(buffer.size() < 10);
        chunked.insert(chunked.end(), got.begin(), got.end());
    }
    FUZZ_CHECK(chunked == expected);
    // A cut waits for ten bytes before it drops garbage, so the chunked buffer
    // may still hold a little garbage ahead of what a one-shot cut keeps.
    FUZZ_CHECK(buffer.endsWith(whole) && !buffer.left(buffer.size() - whole.size()).contains(char(kFrameStart)));

    MeterReading reading;
    Expected expectedReading;
    for (const DisplayFrame &f : chunked) {
        FUZZ_CHECK(f.front() == kFrameStart && f.back() == kFrameEnd);
        DecodeFrame(reading, f, id);
        checkReading(reading, id);
        expectedReading.check(f, reading, id);
    }
    return 0;
}
