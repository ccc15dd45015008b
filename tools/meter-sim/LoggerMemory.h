// SPDX-License-Identifier: GPL-3.0-or-later
// The meter's logger memory: a 256-byte header (set count, end address) followed
// by the recorded sets back to back. Builds images and reads their header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vandrel::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kHeaderSize = 256;
inline constexpr std::size_t kMemorySize = 98304; // the largest memory a meter has
inline constexpr std::uint8_t kSetOpen1 = 0xA5, kSetOpen2 = 0x5A;
inline constexpr std::uint8_t kSetClose1 = 0x5A, kSetClose2 = 0xA5;
inline constexpr std::uint8_t kFlagFahrenheit = 0x08;

// One sample: humidity, first and second temperature (the second is written
// only when the model's sample has room for it).
struct LoggedSample {
    double rh = 0.0, t1 = 0.0, t2 = 0.0;
};

struct RecordedSet {
    int year = 2024, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int intervalSeconds = 60;
    bool fahrenheit = false;
    std::vector<LoggedSample> samples;
};

// Two-byte sign-and-magnitude value in tenths: bit 7 of the first byte is the
// sign, the other 15 bits the magnitude (cut at 0x7FFF).
std::uint16_t encodeSignMagnitude(double value);

// One set record; `sampleSize` is 4 (RH, T1) or 6 (RH, T1, T2).
Bytes encodeSet(const RecordedSet &set, int sampleSize);

// Header plus sets. Returns an empty vector when the sets would not fit into
// the meter's memory.
Bytes buildMemory(const std::vector<RecordedSet> &sets, int sampleSize);

// A few believable sets for a model: readings at varied intervals, one of them
// outdoors below freezing and in Fahrenheit. `count` 0 gives an empty memory.
std::vector<RecordedSet> plausibleSets(int count, std::uint32_t seed);

struct MemoryHeader {
    unsigned setCount = 0;
    unsigned endAddress = 0; // address of the last byte in use; 255 = empty
};

// Missing header bytes (a short image) read as 0.
MemoryHeader readHeader(const Bytes &memory);

// Reads a raw memory image from a file. Returns false and sets `error` when the
// file cannot be read or is empty.
bool loadMemoryFile(const std::string &path, Bytes &memory, std::string &error);

} // namespace vandrel::sim
