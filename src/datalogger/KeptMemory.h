// SPDX-License-Identifier: GPL-3.0-or-later
// A downloaded logger memory kept on disk until its data is saved or declined,
// so that a crash does not lose a download. QtCore only.
#pragma once

#include "datalogger/LoggerRecords.h"
#include "meter/MeterIdentity.h"
#include "platform/SafeSaveFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vandrel {

// Everything the set table is decoded from, and the model that decodes it.
struct KeptMemory {
    int model = kUnidentifiedModel;
    char suffix = 0;
    int sampleSize = 6;
    int setCount = 0;
    double downloaded = 0.0; // days since 30 December 1899; start fields that are no date take it
    MemoryImage image;
};

// The kept memory of a successful download.
KeptMemory keepMemory(const DataSetTable &table, int model, char suffix, double downloaded);

// Two sealed lines: the fields, then the image in base64.
QByteArray keptMemoryBytes(const KeptMemory &kept);
// Nothing when the bytes are not a whole, intact kept memory.
std::optional<KeptMemory> parseKeptMemory(const QByteArray &bytes);
// What can still be read of a kept memory that parseKeptMemory refuses: the
// fields and an image of the length they give, their checks failing. Some
// values may then be wrong. Nothing when even that cannot be read.
std::optional<KeptMemory> parseDamagedKeptMemory(const QByteArray &bytes);

// Written beside any old one and put in its place whole. False when it could not be written.
bool writeKeptMemory(const QString &path, const KeptMemory &kept, const DiskCalls &calls = systemDiskCalls());
std::optional<KeptMemory> readKeptMemory(const QString &path);

// The set table decoded again from the kept memory, as the download built it.
// False (and `table` untouched) when the image no longer makes a set table.
bool rebuildSetTable(const KeptMemory &kept, DataSetTable &table);

} // namespace vandrel
