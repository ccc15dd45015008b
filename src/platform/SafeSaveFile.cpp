// SPDX-License-Identifier: GPL-3.0-or-later
// The new file beside the target, every write and sync checked, and the
// rename that replaces the target in one step.
#include "platform/SafeSaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandrel {

namespace {

QString newFileBeside(const QString &target)
{
    const QFileInfo info(target);
    // Hidden, so that one left by a crash is not taken for a table.
    QString name = QStringLiteral(".") + info.fileName() + QStringLiteral(".");
    const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int i = 0; i < 8; ++i)
        name += QLatin1Char(letters[QRandomGenerator::global()->bounded(36)]);
    return info.absoluteDir().filePath(name + QStringLiteral(".part"));
}

// The file a save of `path` replaces: the end of a chain of symbolic links.
QString saveTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString end = info.canonicalFilePath();
    return end.isEmpty() ? info.symLinkTarget() : end;
}

} // namespace

const DiskCalls &systemDiskCalls()
{
    static const DiskCalls calls{
        [](int fd, const char *data, std::size_t size) { return ::write(fd, data, size); },
        [](int fd) { return ::fdatasync(fd); },
        [](int fd) { return ::close(fd); },
        [](const char *from, const char *to) { return ::rename(from, to); },
    };
    return calls;
}

bool writeFully(const DiskCalls &calls, int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = calls.write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            // A write that takes nothing and names no reason: the disk is full.
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

SafeSaveFile::SafeSaveFile(const QString &path, DiskCalls calls)
    : target_(saveTarget(path)), calls_(std::move(calls))
{
}

SafeSaveFile::~SafeSaveFile()
{
    dropNewFile();
}

bool SafeSaveFile::open(OpenMode mode)
{
    if (isOpen() || !(mode & WriteOnly) || (mode & ReadOnly)) {
        setErrorString(systemReason(EINVAL));
        return false;
    }
    writeFailed_ = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        newFile_ = newFileBeside(target_);
        fd_ = ::open(QFile::encodeName(newFile_).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        newFile_.clear();
        return fail(error);
    }
    // The new file keeps what the user allowed on the old one.
    struct stat old {};
    if (::stat(QFile::encodeName(target_).constData(), &old) == 0)
        ::fchmod(fd_, old.st_mode & 07777);
    return QIODevice::open(WriteOnly | Unbuffered);
}

qint64 SafeSaveFile::readData(char *, qint64)
{
    return -1;
}

qint64 SafeSaveFile::writeData(const char *data, qint64 size)
{
    if (fd_ < 0 || writeFailed_)
        return -1;
    if (!writeFully(calls_, fd_, data, static_cast<std::size_t>(size))) {
        const int error = errno;
        writeFailed_ = true;
        setErrorString(systemReason(error));
        return -1;
    }
    return size;
}

bool SafeSaveFile::fail(int error)
{
    setErrorString(systemReason(error));
    dropNewFile();
    if (isOpen())
        QIODevice::close();
    return false;
}

bool SafeSaveFile::commit()
{
    if (fd_ < 0 || writeFailed_) {
        const QString reason = writeFailed_ ? errorString() : systemReason(EBADF);
        dropNewFile();
        if (isOpen())
            QIODevice::close();
        setErrorString(reason);
        return false;
    }
    // A full or failing disk may say so only here, when the bytes leave the
    // system's cache, or when the file is closed: both count.
    if (calls_.sync(fd_) != 0)
        return fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (calls_.close(fd) != 0)
        return fail(errno);
    if (calls_.rename(QFile::encodeName(newFile_).constData(), QFile::encodeName(target_).constData()) != 0)
        return fail(errno);
    newFile_.clear();
    // The new name survives a power loss too. The file is in place already,
    // so a folder that cannot be synced fails nothing.
    const int folder = ::open(QFile::encodeName(QFileInfo(target_).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    QIODevice::close();
    return true;
}

void SafeSaveFile::cancelWriting()
{
    dropNewFile();
    if (isOpen())
        QIODevice::close();
}

void SafeSaveFile::dropNewFile()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!newFile_.isEmpty()) {
        ::unlink(QFile::encodeName(newFile_).constData());
        newFile_.clear();
    }
}

} // namespace vandrel
