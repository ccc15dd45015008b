// SPDX-License-Identifier: GPL-3.0-or-later
// A logger memory filled to its last byte (end address 98303), made of one
// large set and one small one, as the data-logger benchmarks download and decode.
#pragma once

#include "LoggerMemory.h"

#include <QByteArray>

#include <cmath>

namespace vandrel::bench {

// Samples that fill the 98,048 bytes after the header exactly, less the two
// set records' 16-byte frames: 16336 six-byte or 24504 four-byte samples.
inline int fullMemorySamples(int sampleSize) { return (98048 - 2 * 16) / sampleSize; }

// The large set comes first, so the window shows it right after a download.
inline sim::Bytes fullMemory(int sampleSize, int smallSet = 336)
{
    std::vector<sim::RecordedSet> sets(2);
    const int total = fullMemorySamples(sampleSize);
    const int sizes[2] = {total - smallSet, smallSet};
    for (int k = 0; k < 2; ++k) {
        sim::RecordedSet &s = sets[k];
        s.year = 2026, s.month = 3 + k, s.day = 14, s.hour = 9, s.minute = 30;
        s.intervalSeconds = k == 0 ? 30 : 600;
        for (int i = 0; i < sizes[k]; ++i) {
            const double a = i / 97.0;
            s.samples.push_back({45.0 + 30.0 * std::sin(a), 21.0 + 15.0 * std::cos(a / 3), -5.0 + 60.0 * std::sin(a / 7)});
        }
    }
    return sim::buildMemory(sets, sampleSize);
}

inline QByteArray toBytes(const sim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), static_cast<qsizetype>(b.size()));
}

} // namespace vandrel::bench
