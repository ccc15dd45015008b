// SPDX-License-Identifier: GPL-3.0-or-later
// The process's own memory figures, for benchmarks that report bytes per row.
#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

namespace vandrel::bench {

// A value in kB from /proc/self/status ("VmRSS", "VmHWM"); -1 when not found.
inline long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    QTextStream in(&f);
    const QString prefix = QString::fromLatin1(key) + QLatin1Char(':');
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().section(QLatin1Char(' '), 0, 0).toLong();
    }
    return -1;
}

} // namespace vandrel::bench
