// SPDX-License-Identifier: GPL-3.0-or-later
// Where unsaved work is kept through a crash: a slot folder per running program,
// locked while that program lives, so a second program never takes a live one's
// files. And what is read back of the work a program left there.
#pragma once

#include "datalogger/KeptMemory.h"
#include "realtime/RunJournal.h"

#include <QString>

#include <memory>
#include <optional>

class QLockFile;

namespace vandrel {

class RecoveryFiles {
public:
    // Takes a slot under `folder`: one that a program which did not close
    // normally left work in, when there is such a free slot, else the first
    // free one. An empty `folder`, or no free slot, keeps nothing. A folder
    // that cannot be written keeps nothing either, but the work left in it
    // can still be read.
    explicit RecoveryFiles(const QString &folder, int slotCount = 16);
    ~RecoveryFiles();
    RecoveryFiles(const RecoveryFiles &) = delete;
    RecoveryFiles &operator=(const RecoveryFiles &) = delete;

    bool active() const { return lock_ != nullptr; }
    // The system's reason why nothing can be kept, and the folder it concerns;
    // empty while active or when no folder was given.
    const QString &problem() const { return problem_; }
    const QString &folder() const { return folder_; }
    // Empty while not active.
    QString runJournalPath() const;
    QString loggerMemoryPath() const;
    // Work a program that did not close normally left: in the slot taken, or,
    // in a folder that cannot be written, in a slot no living program holds.
    // Empty when there is none.
    QString leftRunJournalPath() const;
    QString leftLoggerMemoryPath() const;

private:
    QString folder_;
    QString slot_;
    QString leftSlot_;
    QString problem_;
    std::unique_ptr<QLockFile> lock_;
};

// A copy of a damaged recovery file beside it, under a name that no slot is
// looked into for: "realtime.journal" gives "realtime-damaged-1.journal".
// Empty when no copy could be made.
QString keepDamagedCopy(const QString &path);

// What is offered back of a left run or download, and how.
struct LeftWork {
    QString question;     // asked when something can be restored, else empty
    QString message;      // told when something was damaged and nothing can be restored
    QString damagedCopy;  // where a damaged file was kept
    bool mayDiscard = true; // the left file may go once the user answered
};

struct LeftRun : LeftWork {
    JournalContents contents;
};
struct LeftMemory : LeftWork {
    std::optional<KeptMemory> kept;
};

// Reads what a program left. A file that cannot be read whole is first kept
// beside itself under a new name; when even that is impossible, it is not to
// be discarded.
LeftRun readLeftRun(const QString &journalPath);
LeftMemory readLeftMemory(const QString &memoryPath);

// The start-up questions that offer work back.
QString restoreRunQuestion(int rows);
QString restoreLoggerQuestion(int sets);
// Said once at start-up when runs and downloads cannot be kept through a crash.
QString notProtectedMessage(const QString &folder, const QString &reason);

} // namespace vandrel
