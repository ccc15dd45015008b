// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing and locking the slot folder of the recovery files, and reading
// back, without losing any of it, what a program left there.
#include "app/RecoveryFiles.h"

#include "platform/SafeSaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#include <algorithm>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vandrel {

namespace {

const QString kRunJournal = QStringLiteral("realtime.journal");
const QString kLoggerMemory = QStringLiteral("logger.memory");

bool holdsWork(const QString &slot)
{
    const QDir dir(slot);
    return QFile::exists(dir.filePath(kRunJournal)) || QFile::exists(dir.filePath(kLoggerMemory));
}

// Makes the folder and its parents; 0, or the system's error number.
int makeFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    int at = 0;
    while (at >= 0) {
        at = path.indexOf(QLatin1Char('/'), at + 1);
        const QString part = at < 0 ? path : path.left(at);
        if (::mkdir(QFile::encodeName(part).constData(), 0777) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// 0 when a new file can be made in the folder, else the system's error number.
int folderWritable(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0 ? 0 : errno;
}

// Whether a living program on this machine holds the slot's lock.
bool heldByLivingProgram(const QString &lockPath)
{
    const QLockFile lock(lockPath);
    qint64 pid = 0;
    QString host, app;
    if (!lock.getLockInfo(&pid, &host, &app))
        return false;
    if (pid <= 0 || (!host.isEmpty() && host != QSysInfo::machineHostName()))
        return !host.isEmpty(); // another machine's: leave it alone
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

const QString kNotClosed = QStringLiteral("Vandrel was not closed normally last time.\n");

// How a damaged file is spoken of: kept beside, or left where it is.
QString keptLine(const LeftWork &w, const QString &path)
{
    return w.damagedCopy.isEmpty() ? QStringLiteral("The damaged file is left as it is: %1.").arg(native(path))
                                   : QStringLiteral("The damaged file is kept as %1 until you delete it.")
                                         .arg(native(w.damagedCopy));
}

} // namespace

RecoveryFiles::RecoveryFiles(const QString &folder, int slotCount) : folder_(folder)
{
    if (folder.isEmpty())
        return;
    int error = makeFolder(folder);
    if (error == 0)
        error = folderWritable(folder);
    const QDir base(folder);
    bool chosenHoldsWork = false;
    for (int i = 1; i <= slotCount && !chosenHoldsWork && error == 0; ++i) {
        const QString slot = base.filePath(QStringLiteral("session-%1").arg(i));
        const bool work = holdsWork(slot);
        if (lock_ && !work)
            continue;
        auto lock = std::make_unique<QLockFile>(slot + QStringLiteral(".lock"));
        // Held for the program's whole life: only an owner that is gone makes it stale.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0)) {
            if (lock->error() == QLockFile::PermissionError)
                error = EACCES;
            continue;
        }
        lock_ = std::move(lock); // a free slot taken before is let go here
        slot_ = slot;
        chosenHoldsWork = work;
    }
    if (lock_) {
        leftSlot_ = chosenHoldsWork ? slot_ : QString();
        return;
    }
    if (error == 0)
        error = EBUSY; // every slot held by a living program
    problem_ = systemReason(error);
    // Nothing can be kept, but what a dead program left may still be read.
    for (int i = 1; i <= slotCount && leftSlot_.isEmpty(); ++i) {
        const QString slot = base.filePath(QStringLiteral("session-%1").arg(i));
        if (holdsWork(slot) && !heldByLivingProgram(slot + QStringLiteral(".lock")))
            leftSlot_ = slot;
    }
}

RecoveryFiles::~RecoveryFiles() = default;

QString RecoveryFiles::runJournalPath() const
{
    return active() ? QDir(slot_).filePath(kRunJournal) : QString();
}

QString RecoveryFiles::loggerMemoryPath() const
{
    return active() ? QDir(slot_).filePath(kLoggerMemory) : QString();
}

QString RecoveryFiles::leftRunJournalPath() const
{
    const QString path = leftSlot_.isEmpty() ? QString() : QDir(leftSlot_).filePath(kRunJournal);
    return !path.isEmpty() && QFile::exists(path) ? path : QString();
}

QString RecoveryFiles::leftLoggerMemoryPath() const
{
    const QString path = leftSlot_.isEmpty() ? QString() : QDir(leftSlot_).filePath(kLoggerMemory);
    return !path.isEmpty() && QFile::exists(path) ? path : QString();
}

QString keepDamagedCopy(const QString &path)
{
    const QFileInfo info(path);
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = original.readAll();
    for (int n = 1; n < 1000; ++n) {
        const QString copy = info.dir().filePath(QStringLiteral("%1-damaged-%2.%3")
                                                     .arg(info.completeBaseName())
                                                     .arg(n)
                                                     .arg(info.suffix()));
        QFile existing(copy);
        if (existing.exists()) {
            // Kept already at an earlier start that ended before the answer.
            if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
                return copy;
            continue;
        }
        SafeSaveFile file(copy);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit() ? copy
                                                                                                   : QString();
    }
    return {};
}

LeftRun readLeftRun(const QString &journalPath)
{
    LeftRun left;
    QFile file(journalPath);
    if (journalPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return left;
    const QByteArray bytes = file.readAll();
    left.contents = parseJournal(bytes);
    const JournalContents &c = left.contents;
    const int readable = static_cast<int>(c.samples.size());
    if (!c.damaged() && !bytes.isEmpty() && c.hasHeader) {
        if (readable > 0)
            left.question = restoreRunQuestion(readable);
        return left;
    }
    if (bytes.isEmpty() || (!c.headerDamaged && c.expectedRows() == 0))
        return left; // a journal begun and cut before its first row: nothing lost
    left.damagedCopy = keepDamagedCopy(journalPath);
    left.mayDiscard = !left.damagedCopy.isEmpty();
    const QString kept = keptLine(left, journalPath);
    const int expected = std::max(readable, c.expectedRows());
    if (readable > 0 && c.hasHeader) {
        const QString count = readable == expected
                                  ? QStringLiteral("its heading was damaged, all %1 rows could be read").arg(readable)
                                  : QStringLiteral("%1 of %2 rows could be read").arg(readable).arg(expected);
        left.question = kNotClosed + QStringLiteral("The unsaved Real Time Table could not be read whole: %1.\n"
                                                    "%2\nRestore the %3 rows ?")
                                         .arg(count, kept)
                                         .arg(readable);
    } else {
        left.message = kNotClosed + QStringLiteral("The unsaved Real Time Table could not be read.\n%1").arg(kept);
    }
    return left;
}

LeftMemory readLeftMemory(const QString &memoryPath)
{
    LeftMemory left;
    QFile file(memoryPath);
    if (memoryPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return left;
    const QByteArray bytes = file.readAll();
    left.kept = parseKeptMemory(bytes);
    if (left.kept) {
        left.question = restoreLoggerQuestion(left.kept->setCount);
        return left;
    }
    if (bytes.isEmpty())
        return left;
    left.kept = parseDamagedKeptMemory(bytes);
    left.damagedCopy = keepDamagedCopy(memoryPath);
    left.mayDiscard = !left.damagedCopy.isEmpty();
    const QString kept = keptLine(left, memoryPath);
    if (left.kept) {
        left.question = kNotClosed +
                        QStringLiteral("The unsaved DataLogger Data (%1 sets) could not be read whole; "
                                       "some values may be wrong.\n%2\nRestore it ?")
                            .arg(left.kept->setCount)
                            .arg(kept);
    } else {
        left.message = kNotClosed + QStringLiteral("The unsaved DataLogger Data could not be read.\n%1").arg(kept);
    }
    return left;
}

QString restoreRunQuestion(int rows)
{
    return kNotClosed + QStringLiteral("Restore the unsaved Real Time Table (%1 rows) ?").arg(rows);
}

QString restoreLoggerQuestion(int sets)
{
    return kNotClosed + QStringLiteral("Restore the unsaved DataLogger Data (%1 sets) ?").arg(sets);
}

QString notProtectedMessage(const QString &folder, const QString &reason)
{
    return QStringLiteral("Real Time runs and downloads are not protected against a crash:\n"
                          "the folder %1 cannot be written (%2).")
        .arg(native(folder), reason);
}

} // namespace vandrel
