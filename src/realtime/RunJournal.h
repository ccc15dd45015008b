// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a real-time run: every row of the real-time table is appended
// to a file the moment it is sampled, so a crash or a kill loses at most the
// row being written. QtCore only: format, reading back and the writer.
#pragma once

#include "meter/MeterIdentity.h"
#include "platform/SafeSaveFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vandrel {

// Lines that check themselves: the body, a tab, '#' and the CRC-32 of the body
// in eight hex digits. A line cut short or damaged fails the check.
QByteArray sealLine(const QByteArray &body);
// The body of a sealed line (without its newline), or nothing when the check fails.
std::optional<QByteArray> unsealLine(const QByteArray &line);

// What a run's graph and table need beyond the rows: the model they were laid
// out for and the graph's time-window width.
struct JournalHeader {
    int model = kUnidentifiedModel;
    char suffix = 0;
    double graphSpan = 0.0; // days
};

// One sample: its time, the values drawn in the graph and the table row's cells.
struct JournalSample {
    int number = 0;   // 1, 2, ... in the order written
    double time = 0.0; // days since 30 December 1899
    double rh = 0.0, t1 = 0.0, t2 = 0.0, dewPoint = 0.0;
    bool t2Over = false;
    QStringList cells; // columns 0.. of the table row
};

struct JournalContents {
    bool hasHeader = false; // the header was read, or could be told from the samples
    bool headerDamaged = false;
    JournalHeader header;
    QList<JournalSample> samples;
    int rejectedLines = 0; // torn or damaged lines that were left out
    int rejectedAtEnd = 0; // of those, the ones after the last row read

    // Rows the journal held when it was written, as far as the numbers of the
    // rows read and the lines left out tell.
    int expectedRows() const;
    // Not every row, or not the header, could be read.
    bool damaged() const { return headerDamaged || expectedRows() > samples.size(); }
};

QByteArray journalHeaderLine(const JournalHeader &header);
QByteArray journalSampleLine(const JournalSample &sample);
// Every complete, intact sample line. A damaged header costs only itself:
// the layout is then told from the samples' cells. A sample line glued behind
// a torn piece of another is still read.
JournalContents parseJournal(const QByteArray &bytes);
// The same from a file; empty contents when it does not exist or cannot be read.
JournalContents readJournal(const QString &path);

// Appends samples to the journal file. Each line reaches the operating system
// and the disk before append() returns. An empty path keeps no journal.
// A sample that cannot be written is kept and written with the next one that
// can, so the journal never has a gap; a line torn by a failed write is taken
// back before the next is written.
class RunJournal {
public:
    explicit RunJournal(QString path = {}, DiskCalls calls = systemDiskCalls());
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    const QString &path() const { return path_; }
    void setPath(const QString &path);
    void setDiskCalls(DiskCalls calls) { calls_ = std::move(calls); }
    // Samples in the file since the journal began, and those still waiting.
    int samples() const { return written_; }
    int waiting() const { return static_cast<int>(pending_.size()); }
    // The system's reason why samples are waiting; empty while the file holds every one.
    const QString &problem() const { return problem_; }

    // Writes the header first when the journal is new, then every waiting
    // sample and this one. False when they could not be written (problem()
    // says why); they wait for the next call.
    bool append(const JournalHeader &header, JournalSample sample);
    // Begins the journal again holding exactly `contents` (a restored run), so
    // a torn line left by the crash never sits in front of new lines. When it
    // cannot be written the samples wait, as after a failed append.
    bool rewrite(const JournalContents &contents);
    // The rows are saved, cleared or declined: the journal goes away.
    void end();

private:
    bool openFresh();
    bool catchUp();
    void closeFile();

    QString path_;
    DiskCalls calls_;
    int fd_ = -1;
    JournalHeader header_;
    bool headerDue_ = false;
    int written_ = 0;
    QList<JournalSample> pending_;
    // The file's length up to its last whole line, and whether a failed write
    // may have left part of a line after it.
    qint64 goodSize_ = 0;
    bool torn_ = false;
    QString problem_;
};

} // namespace vandrel
