// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the record files forward from a saved place.
#include "publish/RecordCursor.h"

#include "platform/SafeSaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace vandrel::publish {

namespace {

// A line longer than this is no row the station wrote; reading stops there
// rather than holding a damaged file in memory.
constexpr qsizetype kLongestLine = 1 << 20;
constexpr qint64 kChunk = 1 << 16;

const QRegularExpression &recordName()
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}\\.csv$"));
    return pattern;
}

// The offset just after the last line end of a file (0 when it has none).
qint64 lastLineEnd(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    qint64 end = f.size();
    while (end > 0) {
        const qint64 from = std::max<qint64>(0, end - kChunk);
        if (!f.seek(from))
            return 0;
        const QByteArray block = f.read(end - from);
        const qsizetype nl = block.lastIndexOf('\n');
        if (nl >= 0)
            return from + nl + 1;
        end = from;
    }
    return 0;
}

} // namespace

RecordCursor::RecordCursor(QString recordFolder, QString cursorPath, FreshStart fresh)
    : folder_(std::move(recordFolder)), path_(std::move(cursorPath)), fresh_(fresh)
{
}

QStringList RecordCursor::recordFiles(const QString &folder)
{
    QStringList files;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        if (recordName().match(name).hasMatch())
            files << name;
    return files;
}

QByteArray RecordCursor::placeText(const RecordPlace &place)
{
    return place.file.toLatin1() + ' ' + QByteArray::number(place.offset) + '\n';
}

bool RecordCursor::parsePlace(const QByteArray &text, RecordPlace &place)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{4}-[0-9]{2}-[0-9]{2}\\.csv) ([0-9]{1,15})\\n?$"));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return false;
    place.file = m.captured(1);
    place.offset = m.captured(2).toLongLong();
    return true;
}

RecordPlace RecordCursor::startPlace(FreshStart where) const
{
    const QStringList files = recordFiles(folder_);
    if (where == FreshStart::Beginning || files.isEmpty())
        return {};
    return {files.last(), lastLineEnd(folder_ + QLatin1Char('/') + files.last())};
}

QString RecordCursor::checkPlace(RecordPlace &place) const
{
    const QString path = folder_ + QLatin1Char('/') + place.file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        // Removed (an old day cleared away): the next file on is where the
        // undelivered rows are.
        const QStringList files = recordFiles(folder_);
        const auto later = std::upper_bound(files.begin(), files.end(), place.file);
        const RecordPlace before = place;
        place = later == files.end() ? RecordPlace{place.file, 0} : RecordPlace{*later, 0};
        return QStringLiteral("the delivered place names %1, which is not there; delivery goes on from the start of %2")
            .arg(before.file, place.file);
    }
    char before = '\n';
    const bool atLineStart = place.offset == 0
                             || (place.offset <= f.size() && f.seek(place.offset - 1) && f.getChar(&before) && before == '\n');
    if (atLineStart)
        return {};
    const QString problem = place.offset > f.size()
                                ? QStringLiteral("lies past the end of %1 (%2 bytes)").arg(place.file).arg(f.size())
                                : QStringLiteral("is not at the start of a row of %1").arg(place.file);
    place.offset = 0;
    return QStringLiteral("the delivered place in %1 %2; delivering %3 again from its start (rows may repeat)")
        .arg(path_, problem, place.file);
}

QString RecordCursor::load()
{
    QFile f(path_);
    if (!f.exists()) {
        delivered_ = read_ = startPlace(fresh_);
        return fresh_ == FreshStart::Beginning
                   ? QStringLiteral("no delivered place saved yet; delivering the record from its start")
                   : QStringLiteral("no delivered place saved yet; delivering from the end of the record on");
    }
    RecordPlace place;
    if (!f.open(QIODevice::ReadOnly) || !parsePlace(f.read(256), place)) {
        // Rows may repeat, none may be skipped: the whole record again.
        delivered_ = read_ = startPlace(FreshStart::Beginning);
        const QString reason = f.isOpen() ? QStringLiteral("is damaged") : QStringLiteral("cannot be read (%1)").arg(f.errorString());
        return QStringLiteral("the delivered place in %1 %2; delivering the record again from its start (rows may repeat)")
            .arg(path_, reason);
    }
    const QString problem = checkPlace(place);
    delivered_ = read_ = place;
    return problem;
}

std::vector<RecordRow> RecordCursor::next(int max)
{
    std::vector<RecordRow> rows;
    while (static_cast<int>(rows.size()) < max) {
        if (read_.file.isEmpty()) {
            const QStringList files = recordFiles(folder_);
            if (files.isEmpty())
                break;
            read_ = {files.first(), 0};
        }
        QFile f(folder_ + QLatin1Char('/') + read_.file);
        if (f.open(QIODevice::ReadOnly) && f.seek(read_.offset)) {
            QByteArray buffer;
            while (static_cast<int>(rows.size()) < max && buffer.size() < kLongestLine) {
                const QByteArray chunk = f.read(kChunk);
                if (chunk.isEmpty())
                    break;
                buffer += chunk;
                qsizetype start = 0;
                for (qsizetype nl; static_cast<int>(rows.size()) < max && (nl = buffer.indexOf('\n', start)) >= 0; start = nl + 1) {
                    qsizetype end = nl;
                    if (end > start && buffer.at(end - 1) == '\r')
                        --end;
                    read_.offset += nl + 1 - start;
                    rows.push_back({std::string(buffer.constData() + start, static_cast<std::size_t>(end - start)), read_});
                }
                buffer.remove(0, start);
            }
            if (static_cast<int>(rows.size()) >= max)
                break;
        }
        // No whole row left in this file: the next file, once there is one.
        const QStringList files = recordFiles(folder_);
        const auto later = std::upper_bound(files.begin(), files.end(), read_.file);
        if (later == files.end())
            break;
        read_ = {*later, 0};
    }
    return rows;
}

bool RecordCursor::commit(const RecordPlace &place, QString &error)
{
    if (place == delivered_)
        return true;
    if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
        error = QStringLiteral("cannot make the folder of %1").arg(path_);
        return false;
    }
    SafeSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(placeText(place)) < 0 || !file.commit()) {
        error = QStringLiteral("cannot save %1: %2").arg(path_, file.errorString());
        return false;
    }
    delivered_ = place;
    return true;
}

} // namespace vandrel::publish
