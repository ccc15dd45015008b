// SPDX-License-Identifier: GPL-3.0-or-later
// Saving a file so that a failure never costs the old one: the bytes go to a
// new file beside it, which takes the old one's place only once every byte is
// on the disk. The system calls that carry the bytes can be replaced, so that
// a full or failing disk can be played without one. QtCore only.
#pragma once

#include <QIODevice>
#include <QString>

#include <cstddef>
#include <functional>

#include <sys/types.h>

namespace vandrel {

// The system calls that carry saved bytes to the disk. Each returns what the
// system call returns and leaves its reason in errno.
struct DiskCalls {
    std::function<ssize_t(int fd, const char *data, std::size_t size)> write;
    std::function<int(int fd)> sync; // the file's data on the disk
    std::function<int(int fd)> close;
    std::function<int(const char *from, const char *to)> rename;
};

// The system's own calls.
const DiskCalls &systemDiskCalls();

// Writes all of `data`, going on after short writes and interruptions. False
// with errno set when the system refused; some of the bytes may be written then.
bool writeFully(const DiskCalls &calls, int fd, const char *data, std::size_t size);

// The system's text for an error number ("No space left on device").
QString systemReason(int error);

// A file written beside its target and put in the target's place by commit().
// Nothing is ever written into the target itself: a folder in which no new
// file can be made fails the save. A symbolic link is followed, and the new
// file takes the permissions of the one it replaces.
class SafeSaveFile : public QIODevice
{
public:
    explicit SafeSaveFile(const QString &path, DiskCalls calls = systemDiskCalls());
    // Removes the new file when it was not committed.
    ~SafeSaveFile() override;
    SafeSaveFile(const SafeSaveFile &) = delete;
    SafeSaveFile &operator=(const SafeSaveFile &) = delete;

    // Makes the new file; only WriteOnly is taken. False with errorString() set.
    bool open(OpenMode mode) override;
    bool isSequential() const override { return true; }
    // Every byte on the disk, then the new file in the target's place. False
    // (errorString() set, the target as it was) when any step failed or an
    // earlier write did.
    bool commit();
    // Drops the new file; the target stays as it was.
    void cancelWriting();

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool fail(int error);
    void dropNewFile();

    QString target_;
    QString newFile_;
    DiskCalls calls_;
    int fd_ = -1;
    bool writeFailed_ = false;
};

} // namespace vandrel
