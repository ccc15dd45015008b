// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the record files.
#include "records/RecordFiles.h"

#include <QDir>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandrel {

RecordFiles::RecordFiles(QString folder, DiskCalls calls) : folder_(std::move(folder)), calls_(std::move(calls)) {}

RecordFiles::~RecordFiles()
{
    closeFile();
}

QString RecordFiles::pathFor(const QDate &date) const
{
    return folder_ + QLatin1Char('/') + date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".csv");
}

void RecordFiles::closeFile()
{
    if (fd_ >= 0)
        calls_.close(fd_);
    fd_ = -1;
    openDate_ = QDate();
}

bool RecordFiles::openFor(const QDate &date)
{
    if (fd_ >= 0 && openDate_ == date)
        return true;
    closeFile();
    if (!QDir().mkpath(folder_)) {
        problem_ = QStringLiteral("cannot make the folder %1").arg(folder_);
        return false;
    }
    const QByteArray path = QFile::encodeName(pathFor(date));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        problem_ = QStringLiteral("cannot open %1: %2").arg(pathFor(date), systemReason(errno));
        return false;
    }
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0) {
        problem_ = QStringLiteral("cannot open %1: %2").arg(pathFor(date), systemReason(errno));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    openDate_ = date;
    goodSize_ = size;
    if (size > 0) {
        // A row cut short by a kill is ended here, so the next row starts a
        // line of its own; the cut row stays as evidence, it is not guessed at.
        char last = '\n';
        if (::pread(fd, &last, 1, size - 1) != 1) {
            problem_ = QStringLiteral("cannot read %1: %2").arg(pathFor(date), systemReason(errno));
            closeFile();
            return false;
        }
        if (last != '\n') {
            const char *end = last == '\r' ? "\n" : "\r\n";
            if (!writeFully(calls_, fd_, end, std::strlen(end)) || calls_.sync(fd_) != 0) {
                problem_ = QStringLiteral("cannot write %1: %2").arg(pathFor(date), systemReason(errno));
                closeFile();
                return false;
            }
            goodSize_ = ::lseek(fd_, 0, SEEK_END);
            ++repaired_;
        }
    }
    return true;
}

bool RecordFiles::writeRow(const Row &row)
{
    if (!openFor(row.date))
        return false;
    if (!writeFully(calls_, fd_, row.text.data(), row.text.size()) || calls_.sync(fd_) != 0) {
        problem_ = QStringLiteral("cannot write %1: %2").arg(pathFor(row.date), systemReason(errno));
        // Part of the row may be in the file: it goes, so the row is written
        // whole the next time and no torn line stays behind.
        if (::ftruncate(fd_, goodSize_) != 0 || ::lseek(fd_, goodSize_, SEEK_SET) < 0)
            closeFile(); // reopened (and the end repaired) on the next try
        return false;
    }
    goodSize_ += static_cast<qint64>(row.text.size());
    ++written_;
    return true;
}

bool RecordFiles::append(const QDate &date, const std::string &row)
{
    if (waiting_.size() >= kMaxWaiting) {
        waiting_.removeFirst();
        ++dropped_;
    }
    waiting_.append({date, row});
    return retry();
}

bool RecordFiles::retry()
{
    while (!waiting_.isEmpty()) {
        if (!writeRow(waiting_.first()))
            return false;
        waiting_.removeFirst();
    }
    problem_.clear();
    return true;
}

} // namespace vandrel
