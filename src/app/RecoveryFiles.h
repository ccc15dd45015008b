// SPDX-License-Identifier: GPL-3.0-or-later
// Where unsaved work is kept through a crash: a slot folder per running program,
// locked while that program lives, so a second program never takes a live one's files.
#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace vandrel {

class RecoveryFiles {
public:
    // Takes a slot under `folder`: one that a program which did not close
    // normally left work in, when there is such a free slot, else the first
    // free one. An empty `folder`, or no free slot, keeps nothing.
    explicit RecoveryFiles(const QString &folder, int slotCount = 16);
    ~RecoveryFiles();
    RecoveryFiles(const RecoveryFiles &) = delete;
    RecoveryFiles &operator=(const RecoveryFiles &) = delete;

    bool active() const { return lock_ != nullptr; }
    // Empty while not active.
    QString runJournalPath() const;
    QString loggerMemoryPath() const;

private:
    QString slot_;
    std::unique_ptr<QLockFile> lock_;
};

// The start-up questions that offer work back.
QString restoreRunQuestion(int rows);
QString restoreLoggerQuestion(int sets);

} // namespace vandrel
