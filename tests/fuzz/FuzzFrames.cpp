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
    for (const DisplayFrame &f : chunked) {
        FUZZ_CHECK(f.front() == kFrameStart && f.back() == kFrameEnd);
        DecodeFrame(reading, f, id);
        checkReading(reading, id);
    }
    return 0;
}
