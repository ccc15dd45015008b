// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a serial device can be opened, in the words the command line prints,
// and which meter answers on it.
#pragma once

#include <QString>
#include <QStringList>

namespace vandrel::cli {

// "ok" for 0, else what an open's system error number means to the user:
// "permission denied", "busy", "missing" or the system's own text.
QString openStatusText(int error);

// Opens `path` as the meter link would and closes it again; returns 0 when it
// opened, else the system error number.
int tryOpenPort(const QString &path);

// Searches `path` for the meter as the program does; returns the model and
// variant of its identification reply ("580D", "540") or "no answer".
QString probeMeter(const QString &path);

// The devices "ports" looks at: the system's list, then the named ones it lacks.
QStringList portsToList(const QStringList &system, const QStringList &named);

// One line of "ports": path, status and (when probed) the meter's answer, tab-separated.
QString portLine(const QString &path, int error, const QString &probe);

// "ports": one line per device on standard output. Returns the exit status.
int runPorts(const QStringList &named, bool probe);

} // namespace vandrel::cli
