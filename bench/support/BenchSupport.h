// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks share: the process's own memory figures, for bytes per
// row, and counts written as the tables print them.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QTextStream>

#include <string>

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

// Benchmarks of windows draw offscreen unless a platform is chosen, so they
// run the same over SSH and on a desktop. Call before making the application.
inline void defaultToOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// 1000000 as "1,000,000".
inline std::string thousands(int n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n).toStdString();
}

} // namespace vandrel::bench
