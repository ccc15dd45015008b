// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding of recorded sets into the logger memory layout and generation of a
// default memory, so a download shows something sensible without a real meter.
#include "LoggerMemory.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

namespace vandrel::sim {

namespace {

void put16(Bytes &out, unsigned v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 8 & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

double toUnit(double celsius, bool fahrenheit) { return fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius; }

} // namespace

std::uint16_t encodeSignMagnitude(double value)
{
    const double tenths = std::min(std::round(std::fabs(value) * 10.0), 32767.0);
    auto raw = static_cast<std::uint16_t>(tenths);
    if (value < 0.0 && raw != 0)
        raw |= 0x8000;
    return raw;
}

Bytes encodeSet(const RecordedSet &set, int sampleSize)
{
    Bytes out{kSetOpen1, kSetOpen2};
    out.push_back(static_cast<std::uint8_t>(set.year / 100));
    out.push_back(static_cast<std::uint8_t>(set.year % 100));
    for (int v : {set.month, set.day, set.hour, set.minute, set.second})
        out.push_back(static_cast<std::uint8_t>(v));
    put16(out, static_cast<unsigned>(set.intervalSeconds));
    out.push_back(set.fahrenheit ? kFlagFahrenheit : 0);
    put16(out, static_cast<unsigned>(set.samples.size()));
    for (const LoggedSample &s : set.samples) {
        put16(out, encodeSignMagnitude(s.rh));
        put16(out, encodeSignMagnitude(s.t1));
        if (sampleSize >= 6)
            put16(out, encodeSignMagnitude(s.t2));
    }
    out.push_back(kSetClose1);
    out.push_back(kSetClose2);
    return out;
}

Bytes buildMemory(const std::vector<RecordedSet> &sets, int sampleSize)
{
    // Bytes of the header that carry nothing read as erased memory.
    Bytes memory(kHeaderSize, 0xFF);
    memory[0] = 0;
    for (const RecordedSet &set : sets) {
        const Bytes record = encodeSet(set, sampleSize);
        memory.insert(memory.end(), record.begin(), record.end());
    }
    if (memory.size() > kMemorySize)
        return {};
    const auto count = static_cast<unsigned>(sets.size());
    const auto end = static_cast<unsigned>(memory.size() - 1);
    memory[1] = static_cast<std::uint8_t>(count >> 8);
    memory[2] = static_cast<std::uint8_t>(count & 0xFF);
    memory[3] = static_cast<std::uint8_t>(end >> 16);
    memory[4] = static_cast<std::uint8_t>(end >> 8 & 0xFF);
    memory[5] = static_cast<std::uint8_t>(end & 0xFF);
    return memory;
}

std::vector<RecordedSet> plausibleSets(int count, std::uint32_t seed)
{
    struct Plan {
        int month, day, hour, minute, interval, samples;
        double rh, t1, t2;
        bool fahrenheit;
    };
    // A living room, a cellar, a night outdoors in Fahrenheit, a short test run.
    static constexpr Plan plans[] = {
        {3, 14, 9, 30, 60, 120, 45.0, 21.5, 20.0, false},
        {3, 15, 18, 5, 300, 96, 68.0, 12.0, 11.0, false},
        {1, 8, 22, 0, 30, 60, 85.0, -4.0, -6.5, true},
        {4, 2, 7, 45, 2, 20, 38.0, 24.0, 23.0, false},
    };
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.15);
    std::vector<RecordedSet> sets;
    for (int i = 0; i < count; ++i) {
        const Plan &p = plans[static_cast<std::size_t>(i) % std::size(plans)];
        RecordedSet set;
        set.year = 2024 + i / static_cast<int>(std::size(plans));
        set.month = p.month;
        set.day = p.day;
        set.hour = p.hour;
        set.minute = p.minute;
        set.second = 0;
        set.intervalSeconds = p.interval;
        set.fahrenheit = p.fahrenheit;
        LoggedSample s{p.rh, p.t1, p.t2};
        for (int n = 0; n < p.samples; ++n) {
            s.rh = std::clamp(s.rh + 4.0 * noise(rng), 1.0, 99.0);
            s.t1 += noise(rng);
            s.t2 += noise(rng);
            set.samples.push_back({s.rh, toUnit(s.t1, p.fahrenheit), toUnit(s.t2, p.fahrenheit)});
        }
        sets.push_back(std::move(set));
    }
    return sets;
}

MemoryHeader readHeader(const Bytes &memory)
{
    auto at = [&](std::size_t i) -> unsigned { return i < memory.size() ? memory[i] : 0u; };
    MemoryHeader h;
    h.setCount = at(1) << 8 | at(2);
    h.endAddress = at(3) << 16 | at(4) << 8 | at(5);
    return h;
}

bool loadMemoryFile(const std::string &path, Bytes &memory, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open memory image " + path;
        return false;
    }
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || data.empty()) {
        error = "memory image " + path + " is empty or unreadable";
        return false;
    }
    memory = std::move(data);
    return true;
}

} // namespace vandrel::sim
