// SPDX-License-Identifier: GPL-3.0-or-later
// How far an output has delivered a meter's record files, kept on the disk.
// The record files only ever grow and are named by date, so a place is a file
// name and a byte offset; an output reads whole rows forward from it and
// saves the new place only once its server has confirmed them. Nothing is
// held only in memory: after a restart, a lost connection or an outage the
// output reads again from the saved place, so at most the last unconfirmed
// batch is delivered twice and nothing is skipped.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace vandrel::publish {

struct RecordPlace {
    QString file;     // "2026-12-08.csv"; empty: before the first file
    qint64 offset = 0; // bytes of that file delivered, always at a line start
    bool operator==(const RecordPlace &) const = default;
};

struct RecordRow {
    std::string line; // the row without its line end
    RecordPlace end;  // the place just after it
};

// Where an output without a saved place starts.
enum class FreshStart { Beginning, End };

class RecordCursor {
public:
    RecordCursor(QString recordFolder, QString cursorPath, FreshStart fresh);

    // Reads the saved place. Returns a line for the log when there was none,
    // or when it was damaged and delivery restarts elsewhere (never later
    // than a row that may not have been delivered); empty when it was sound.
    QString load();
    // Up to `max` whole rows after the read place, which moves past them. A
    // row still being written (no line end yet) waits for its end; when a
    // later file has begun, the rest of a file is done, and a row cut short
    // there is left behind.
    std::vector<RecordRow> next(int max);
    // The read place back to the delivered one: rows read but not confirmed
    // are read again.
    void rewind() { read_ = delivered_; }
    // The rows up to `place` are confirmed: the place goes to the disk (a new
    // file in the old one's place, synced). False with `error` set; the old
    // place stays on the disk then, and the rows are delivered again later.
    bool commit(const RecordPlace &place, QString &error);

    const RecordPlace &delivered() const { return delivered_; }
    const RecordPlace &readPlace() const { return read_; }
    const QString &recordFolder() const { return folder_; }

    // The record files of the folder, oldest first.
    static QStringList recordFiles(const QString &folder);
    // The cursor file's text for a place, and its reading (false: damaged).
    static QByteArray placeText(const RecordPlace &place);
    static bool parsePlace(const QByteArray &text, RecordPlace &place);

private:
    RecordPlace startPlace(FreshStart where) const;
    QString checkPlace(RecordPlace &place) const;

    QString folder_;
    QString path_;
    FreshStart fresh_;
    RecordPlace delivered_;
    RecordPlace read_;
};

} // namespace vandrel::publish
