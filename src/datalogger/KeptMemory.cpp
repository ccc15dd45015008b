// SPDX-License-Identifier: GPL-3.0-or-later
// Writing, checking and reading back a kept logger memory.
#include "datalogger/KeptMemory.h"

#include "platform/DayCount.h"
#include "platform/SafeSaveFile.h"

#include "realtime/RunJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <charconv>


namespace vandrel {

namespace {

const QByteArray kTag = QByteArrayLiteral("VANDREL-LOGGER");
const QByteArray kFormat = QByteArrayLiteral("1");

std::optional<int> toInt(const QByteArray &text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

KeptMemory keepMemory(const DataSetTable &table, int model, char suffix, double downloaded)
{
    return {model, suffix, table.SampleSize, table.setCount(), downloaded, table.Image};
}

QByteArray keptMemoryBytes(const KeptMemory &kept)
{
    char time[32];
    const auto end = std::to_chars(time, time + sizeof time, kept.downloaded).ptr;
    const QByteArray fields = kTag + '\t' + kFormat + '\t' + QByteArray::number(kept.model) + '\t' +
                              QByteArray::number(static_cast<quint8>(kept.suffix)) + '\t' +
                              QByteArray::number(kept.sampleSize) + '\t' + QByteArray::number(kept.setCount) + '\t' +
                              QByteArray(time, static_cast<qsizetype>(end - time)) + '\t' +
                              QByteArray::number(kept.image.size());
    return sealLine(fields) + '\n' + sealLine(kept.image.toBase64()) + '\n';
}

namespace {

// A sealed line's body; with `lenient`, also the body of a line whose check
// fails, the seal cut off (and `damaged` set).
std::optional<QByteArray> lineBody(const QByteArray &line, bool lenient, bool &damaged)
{
    if (std::optional<QByteArray> body = unsealLine(line))
        return body;
    if (!lenient)
        return std::nullopt;
    damaged = true;
    const qsizetype mark = line.lastIndexOf("\t#");
    return mark < 0 ? line : line.left(mark);
}

std::optional<KeptMemory> parseKept(const QByteArray &bytes, bool lenient, bool &damaged)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() < 2)
        return std::nullopt;
    if (lines.size() != 3 || !lines[2].isEmpty()) {
        if (!lenient)
            return std::nullopt;
        damaged = true;
    }
    const std::optional<QByteArray> head = lineBody(lines[0], lenient, damaged);
    const std::optional<QByteArray> body = lineBody(lines[1], lenient, damaged);
    if (!head || !body)
        return std::nullopt;
    const QList<QByteArray> f = head->split('\t');
    if (f.size() != 8 || f[0] != kTag || f[1] != kFormat)
        return std::nullopt;
    const std::optional<int> model = toInt(f[2]), suffix = toInt(f[3]), size = toInt(f[4]), sets = toInt(f[5]),
                             length = toInt(f[7]);
    double downloaded = 0.0;
    const auto time = std::from_chars(f[6].constData(), f[6].constData() + f[6].size(), downloaded);
    if (!model || !suffix || *suffix < 0 || *suffix > 255 || !size || !sets || !length ||
        time.ec != std::errc() || time.ptr != f[6].constData() + f[6].size())
        return std::nullopt;
    // Fields whose check failed are believed only as far as a download can make them.
    if (damaged && ((*size != 4 && *size != 6) || *sets < 1 || *sets > kMaxSetCount || *length < 0))
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(*body, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != *length)
        return std::nullopt;
    return KeptMemory{*model, static_cast<char>(*suffix), *size, *sets, downloaded, decoded.decoded};
}

} // namespace

std::optional<KeptMemory> parseKeptMemory(const QByteArray &bytes)
{
    bool damaged = false;
    return parseKept(bytes, false, damaged);
}

std::optional<KeptMemory> parseDamagedKeptMemory(const QByteArray &bytes)
{
    bool damaged = false;
    return parseKept(bytes, true, damaged);
}

bool writeKeptMemory(const QString &path, const KeptMemory &kept, const DiskCalls &calls)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QByteArray bytes = keptMemoryBytes(kept);
    SafeSaveFile file(path, calls);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

std::optional<KeptMemory> readKeptMemory(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return parseKeptMemory(file.readAll());
}

bool rebuildSetTable(const KeptMemory &kept, DataSetTable &table)
{
    if (kept.setCount < 1 || kept.setCount > kMaxSetCount)
        return false;
    return BuildSetTable(kept.setCount, kept.image, kept.sampleSize, table, fromDays(kept.downloaded)) ==
           kSetTableAccepted;
}

} // namespace vandrel
