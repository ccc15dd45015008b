// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a serial device can be opened, in the words the command line prints,
// and which meter answers on it.
#pragma once

#include "meter/MeterIdentity.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vandrel::cli {

// "ok" for 0, else what an open's system error number means to the user:
// "permission denied", "busy", "missing" or the system's own text.
QString openStatusText(int error);

// Opens `path` as the meter link would and closes it again; returns 0 when it
// opened, else the system error number.
int tryOpenPort(const QString &path);

// The model and variant a meter identified as: "580D" for the dew-point
// variant, "560 stream" for the stream-download variant (its reply ends in a
// carriage return), the bare model code for the plain meter.
QString meterName(const MeterIdentity &id);

inline const QString kNoAnswer = QStringLiteral("no answer");
inline const QString kNotAMeter = QStringLiteral("answers, not a meter");

// What a probe found: `reply` is what came within a second of "K" (at most
// four bytes), `after` what the polls that followed brought. A meter gives a
// reply that names a known model and then display frames.
QString judgeProbe(const QByteArray &reply, const QByteArray &after);

// Asks the device at `path` for its identification and then for readings;
// returns the meter's name, "no answer" or "answers, not a meter".
QString probeMeter(const QString &path);

// `text` as a JSON string, quotes included.
QString jsonString(const QString &text);

// The devices "ports" looks at: the system's list, then the named ones it lacks.
QStringList portsToList(const QStringList &system, const QStringList &named);

// One line of "ports": path, status and (when probed) the meter's answer, tab-separated.
QString portLine(const QString &path, int error, const QString &probe);

// The same as one JSON object.
QString portJson(const QString &path, int error, const QString &probe);

// "ports": one line per device on standard output. Returns the exit status.
int runPorts(const QStringList &named, bool probe, bool json);

} // namespace vandrel::cli
