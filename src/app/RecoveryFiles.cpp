// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing and locking the slot folder of the recovery files.
#include "app/RecoveryFiles.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

namespace vandrel {

namespace {

const QString kRunJournal = QStringLiteral("realtime.journal");
const QString kLoggerMemory = QStringLiteral("logger.memory");

bool holdsWork(const QString &slot)
{
    const QDir dir(slot);
    return QFile::exists(dir.filePath(kRunJournal)) || QFile::exists(dir.filePath(kLoggerMemory));
}

} // namespace

RecoveryFiles::RecoveryFiles(const QString &folder, int slotCount)
{
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    const QDir base(folder);
    bool chosenHoldsWork = false;
    for (int i = 1; i <= slotCount && !chosenHoldsWork; ++i) {
        const QString slot = base.filePath(QStringLiteral("session-%1").arg(i));
        const bool work = holdsWork(slot);
        if (lock_ && !work)
            continue;
        auto lock = std::make_unique<QLockFile>(slot + QStringLiteral(".lock"));
        // Held for the program's whole life: only an owner that is gone makes it stale.
        lock->setStaleLockTime(0);
        if (!lock->tryLock(0))
            continue;
        lock_ = std::move(lock); // a free slot taken before is let go here
        slot_ = slot;
        chosenHoldsWork = work;
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

QString restoreRunQuestion(int rows)
{
    return QStringLiteral("Vandrel was not closed normally last time.\n"
                          "Restore the unsaved Real Time Table (%1 rows) ?")
        .arg(rows);
}

QString restoreLoggerQuestion(int sets)
{
    return QStringLiteral("Vandrel was not closed normally last time.\n"
                          "Restore the unsaved DataLogger Data (%1 sets) ?")
        .arg(sets);
}

} // namespace vandrel
