// SPDX-License-Identifier: GPL-3.0-or-later
// A meter's record: one table file per day in the meter's folder, rows
// appended and on the disk before the next sample. The files only ever grow,
// so a reader (an output that delivers them) can keep its place by offset.
#pragma once

#include "platform/SafeSaveFile.h"

#include <QDate>
#include <QList>
#include <QString>

#include <string>

namespace vandrel {

class RecordFiles {
public:
    // Rows waiting for the disk are kept up to this many (a day at 1 s); older
    // ones go first when a disk stays full longer.
    static constexpr int kMaxWaiting = 86400;

    explicit RecordFiles(QString folder, DiskCalls calls = systemDiskCalls());
    ~RecordFiles();
    RecordFiles(const RecordFiles &) = delete;
    RecordFiles &operator=(const RecordFiles &) = delete;

    // "<folder>/<YYYY-MM-DD>.csv"
    QString pathFor(const QDate &date) const;
    // Appends a row (with its line end) to the file of `date`, after every row
    // still waiting. True when all of them are on the disk; false, with
    // problem() set, when they wait for the next call. A row torn by a failed
    // write is taken back, and a row a killed station left cut short is ended
    // before the first new one, so every line in the file is whole.
    bool append(const QDate &date, const std::string &row);
    // Tries the waiting rows again.
    bool retry();

    const QString &problem() const { return problem_; }
    int waiting() const { return static_cast<int>(waiting_.size()); }
    qint64 written() const { return written_; }
    qint64 dropped() const { return dropped_; }
    // A cut row was found and ended (once per file).
    int repairedRows() const { return repaired_; }
    const QString &folder() const { return folder_; }

private:
    struct Row {
        QDate date;
        std::string text;
    };
    bool openFor(const QDate &date);
    bool writeRow(const Row &row);
    void closeFile();

    QString folder_;
    DiskCalls calls_;
    int fd_ = -1;
    QDate openDate_;
    qint64 goodSize_ = 0;
    QList<Row> waiting_;
    QString problem_;
    qint64 written_ = 0;
    qint64 dropped_ = 0;
    int repaired_ = 0;
};

} // namespace vandrel
