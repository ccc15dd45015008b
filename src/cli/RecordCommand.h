// SPDX-License-Identifier: GPL-3.0-or-later
// "record": the meter's reading sampled as a real-time run samples it, each
// sample appended to a table file at once.
#pragma once

#include "cli/CliLink.h"
#include "realtime/RealTimeRun.h"

#include <QFile>
#include <QObject>
#include <QString>

#include <string>

namespace vandrel::cli {

struct CliOptions;

// A table file that rows are appended to, each pushed to the system as soon
// as it is written, so a killed process loses at most the row in hand.
class RowFile {
public:
    // Opens (or creates) `path` for appending; nothing in it is touched.
    bool open(const QString &path, QString &error);
    bool append(const std::string &line, QString &error);
    char separator() const { return separator_; }

private:
    QFile file_;
    char separator_ = '\t';
    // An earlier row cut short (a killed writer) gets its own line end first,
    // so the next row does not run on into it.
    bool endCutRow_ = false;
};

// Takes a sample at every tick of the link that is due under the rate, the
// way a running real-time run does, and appends it to the file.
class Recorder : public QObject {
    Q_OBJECT
public:
    Recorder(CliLink &link, RowFile &file, int rate, bool quiet, QObject *parent = nullptr);
    int rows() const { return rows_; }

signals:
    void failed(const QString &message);

private:
    void sampleTick(const QDateTime &now);

    CliLink &link_;
    RowFile &file_;
    RealTimeRun run_;
    bool quiet_;
    int rows_ = 0;
    bool broken_ = false;
};

int runRecord(const CliOptions &options);

} // namespace vandrel::cli
