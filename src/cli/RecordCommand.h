// SPDX-License-Identifier: GPL-3.0-or-later
// "record": the meter's reading sampled as a real-time run samples it, each
// sample appended to a table file at once.
#pragma once

#include "cli/CliLink.h"
#include "cli/CliOptions.h"
#include "cli/OutputFiles.h"
#include "realtime/RealTimeRun.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <string>

namespace vandrel::cli {

// One sample as a JSON object on one line (no line end): the clock time in
// ISO 8601 with the local offset, the values as numbers with the decimals
// the table shows, the unit; values the meter does not have, or shows as
// overloaded, are left out.
std::string jsonRowLine(const QDateTime &time, const QStringList &cells, const QLocale &locale = QLocale());

// The kind of rows an existing file holds, by its first line: Json, Csv or
// Tsv, with `known` set; ByName with `known` set for a line of neither kind
// (not a file of rows), with `known` clear for a missing or empty file.
RowFormat rowFormatOfFile(const QString &path, bool &known);

// Why rows of `format` must not be appended to `path`: it holds rows of
// another kind (status 64). A missing or empty file takes any.
Refusal recordFileRefusal(const QString &path, RowFormat format);

// A file that rows are appended to, each pushed to the system as soon as it
// is written, so a killed process loses at most the row in hand.
class RowFile {
public:
    // Opens (or creates) `path` for appending; nothing in it is touched.
    bool open(const QString &path, RowFormat format, QString &error);
    // Appends one row with its line end.
    bool append(const std::string &row, QString &error);
    bool json() const { return json_; }
    char separator() const { return separator_; }
    // The file's last row had been cut short; the first append ended it.
    bool endedCutRow() const { return endedCutRow_; }
    QString fileName() const { return file_.fileName(); }
    // Removes the file when this run created it and wrote nothing into it.
    void removeIfUnused();

private:
    QFile file_;
    bool json_ = false;
    char separator_ = '\t';
    bool created_ = false;
    bool written_ = false;
    // An earlier row cut short (a killed writer) gets its own line end first,
    // so the next row does not run on into it.
    QByteArray cutRowEnd_;
    bool endedCutRow_ = false;
};

// Meter identified, lost and back, one line each on standard error.
class LinkEvents : public QObject {
    Q_OBJECT
public:
    explicit LinkEvents(CliLink &link, QObject *parent = nullptr);

private:
    void report(const QString &what);

    CliLink &link_;
    bool identifiedOnce_ = false;
    bool fresh_ = false; // the latest identification was news
    MeterIdentity identity_;
};

// Takes a sample at every tick of the link that is due under the rate, the
// way a running real-time run does, and appends it to the file.
class Recorder : public QObject {
    Q_OBJECT
public:
    // `samples` > 0: done() after that many rows.
    Recorder(CliLink &link, RowFile &file, int rate, bool quiet, int samples = 0, QObject *parent = nullptr);
    int rows() const { return rows_; }

signals:
    void failed(const QString &message);
    void done();

private:
    void sampleTick(const QDateTime &now);

    CliLink &link_;
    RowFile &file_;
    RealTimeRun run_;
    bool quiet_;
    int samples_;
    int rows_ = 0;
    bool broken_ = false;
};

int runRecord(const CliOptions &options);

} // namespace vandrel::cli
