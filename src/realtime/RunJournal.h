// SPDX-License-Identifier: GPL-3.0-or-later
// The journal of a real-time run: every row of the real-time table is appended
// to a file the moment it is sampled, so a crash or a kill loses at most the
// row being written. QtCore only: format, reading back and the writer.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QFile;

namespace vandrel {

// Lines that check themselves: the body, a tab, '#' and the CRC-32 of the body
// in eight hex digits. A line cut short or damaged fails the check.
QByteArray sealLine(const QByteArray &body);
// The body of a sealed line (without its newline), or nothing when the check fails.
std::optional<QByteArray> unsealLine(const QByteArray &line);

// What a run's graph and table need beyond the rows: the model they were laid
// out for and the graph's time-window width.
struct JournalHeader {
    int model = 580;
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
    bool hasHeader = false;
    JournalHeader header;
    QList<JournalSample> samples;
    int rejectedLines = 0; // torn or damaged lines that were left out
};

QByteArray journalHeaderLine(const JournalHeader &header);
QByteArray journalSampleLine(const JournalSample &sample);
// Every complete, intact sample line after a valid header. Without a valid
// first line nothing can be laid out, so nothing is returned.
JournalContents parseJournal(const QByteArray &bytes);
// The same from a file; empty contents when it does not exist or cannot be read.
JournalContents readJournal(const QString &path);

// Appends samples to the journal file. Each line reaches the operating system
// and the disk before append() returns. An empty path keeps no journal.
class RunJournal {
public:
    explicit RunJournal(QString path = {});
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    const QString &path() const { return path_; }
    void setPath(const QString &path);
    // Samples written since the journal began.
    int samples() const { return count_; }

    // Writes the header first when the journal is new. False when the line
    // could not be written; the run goes on and later lines are tried again.
    bool append(const JournalHeader &header, JournalSample sample);
    // Begins the journal again holding exactly `contents` (a restored run), so
    // a torn line left by the crash never sits in front of new lines.
    bool rewrite(const JournalContents &contents);
    // The rows are saved, cleared or declined: the journal goes away.
    void end();

private:
    bool open(bool fresh);
    bool writeLine(const QByteArray &line);

    QString path_;
    std::unique_ptr<QFile> file_;
    int count_ = 0;
};

} // namespace vandrel
