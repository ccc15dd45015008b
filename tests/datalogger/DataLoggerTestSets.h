// SPDX-License-Identifier: GPL-3.0-or-later
// Recorded sets written byte by byte for the window and file tests, so each
// test knows every value, time and extreme it will see.
#pragma once

#include "datalogger/LoggerRecords.h"

#include <QDateTime>

#include <cmath>
#include <initializer_list>

namespace vandrel::testsets {

// A sign-and-magnitude value in tenths; `flag` forces the sign bit.
inline QByteArray value(double v, bool flag = false)
{
    const int mag = static_cast<int>(std::lround(std::fabs(v) * 10.0));
    QByteArray b(2, '\0');
    b[0] = static_cast<char>(((mag >> 8) & 0x7F) | ((v < 0 || flag) ? 0x80 : 0));
    b[1] = static_cast<char>(mag & 0xFF);
    return b;
}

inline QByteArray record(const QDateTime &start, int interval, int flags, const QList<QByteArray> &samples)
{
    QByteArray r;
    const QDate d = start.date();
    const QTime t = start.time();
    for (int byte : {0xA5, 0x5A, d.year() / 100, d.year() % 100, d.month(), d.day(), t.hour(), t.minute(),
                     t.second(), interval >> 8, interval & 0xFF, flags, int(samples.size()) >> 8,
                     int(samples.size()) & 0xFF})
        r.append(static_cast<char>(byte));
    for (const QByteArray &s : samples)
        r.append(s);
    r.append(static_cast<char>(0x5A));
    r.append(static_cast<char>(0xA5));
    return r;
}

inline QDateTime on15June(int h, int m, int s) { return QDateTime(QDate(2009, 6, 15), QTime(h, m, s)); }

// 14:30:00 every 60 s, unit C: (45.3, 25.0), (OL 100.0, -10.0), (45.3, 25.0).
inline QByteArray workedExampleSet()
{
    return QByteArray::fromHex("A55A1409060F0E1E00003C000003" "01C500FA" "03E88064" "01C500FA" "5AA5");
}

// 10:00:00 every 5 s; RH alternately 100.0 ("OL") and a flagged 0 ("-OL");
// T1 20.0, 22.0, 25.0, 30.0, ...
inline QByteArray rhOverloadedSet(int n)
{
    QList<QByteArray> samples;
    const double t1[] = {20.0, 22.0, 25.0, 30.0};
    for (int i = 0; i < n; ++i)
        samples << (i % 2 == 0 ? value(100.0) : value(0.0, true)) + value(t1[i % 4]);
    return record(on15June(10, 0, 0), 5, 0, samples);
}

// 08:00:00 every 60 s; RH 50.0; T1 rising by 0.1 from 10.0 to 29.9 at sample 199, then level.
inline QByteArray rampSet(int n)
{
    QList<QByteArray> samples;
    for (int i = 0; i < n; ++i)
        samples << value(50.0) + value(10.0 + std::min(i, 199) * 0.1);
    return record(on15June(8, 0, 0), 60, 0, samples);
}

// T1 10.0 and 150.0.
inline QByteArray hotSet()
{
    return record(on15June(9, 0, 0), 60, 0, {value(40.0) + value(10.0), value(40.0) + value(150.0)});
}

inline QByteArray emptySet() { return record(on15June(11, 0, 0), 60, 0, {}); }

// Model 580, unit F: (50.0, 20.0, T2 flagged 200.1 → -200), (60.0, 25.0, 30.0).
inline QByteArray twoTemperatureSet()
{
    return record(on15June(8, 0, 0), 30, 0x08,
                  {value(50.0) + value(20.0) + QByteArray::fromHex("87D1"),
                   value(60.0) + value(25.0) + value(30.0)});
}

inline int buildTable(DataSetTable &table, int model, std::initializer_list<QByteArray> sets)
{
    QByteArray image;
    for (const QByteArray &s : sets)
        image += s;
    return BuildSetTable(static_cast<int>(sets.size()), image, sampleSizeFor(model), table);
}

} // namespace vandrel::testsets
