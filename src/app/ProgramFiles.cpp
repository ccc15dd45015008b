// SPDX-License-Identifier: GPL-3.0-or-later
// Locating the program's own files.
#include "app/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vandrel {

QString programFile(const QString &relative)
{
    const QDir dir(QCoreApplication::applicationDirPath());
    const QString beside = dir.filePath(relative);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(dir.filePath(QStringLiteral("../share/vandrel/") + relative));
    return QFileInfo::exists(installed) ? installed : beside;
}

QString programExecutable(const QString &name)
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(name);
}

} // namespace vandrel
