// SPDX-License-Identifier: GPL-3.0-or-later
// What the commands ask of the files named on their command line before they
// write anything: where a path really leads, and whether two paths are one file.
#pragma once

#include <QString>

namespace vandrel::cli {

// Why a command will not run as given, and the status it ends with; an empty
// message lets it run.
struct Refusal {
    int status = 0;
    QString message;
    explicit operator bool() const { return !message.isEmpty(); }
};

// Where a save of `path` writes: the end of its symbolic links (also of one
// that leads nowhere yet), or for a file not there yet the real path of its
// folder with its name.
QString resolvedFilePath(const QString &path);

// Whether `a` and `b` are the same file: they lead to the same place, or
// (hard links) both exist as one file on the disk.
bool sameFile(const QString &a, const QString &b);

} // namespace vandrel::cli
