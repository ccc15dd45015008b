// SPDX-License-Identifier: GPL-3.0-or-later
// Writing, checking and reading back a kept logger memory.
#include "datalogger/KeptMemory.h"

#include "platform/DayCount.h"

#include "realtime/RunJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>

#include <unistd.h>

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

std::optional<KeptMemory> parseKeptMemory(const QByteArray &bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() != 3 || !lines[2].isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> head = unsealLine(lines[0]);
    const std::optional<QByteArray> body = unsealLine(lines[1]);
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
    const auto decoded = QByteArray::fromBase64Encoding(*body, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != *length)
        return std::nullopt;
    return KeptMemory{*model, static_cast<char>(*suffix), *size, *sets, downloaded, decoded.decoded};
}

bool writeKeptMemory(const QString &path, const KeptMemory &kept)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QByteArray bytes = keptMemoryBytes(kept);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    ::fdatasync(file.handle());
    return file.commit();
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
