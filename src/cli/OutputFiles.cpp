// SPDX-License-Identifier: GPL-3.0-or-later
// Paths followed through their symbolic links and folders.
#include "cli/OutputFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace vandrel::cli {

QString resolvedFilePath(const QString &path)
{
    QFileInfo info(path);
    // A link that leads nowhere yet is where a save would write; a loop of
    // links ends the walk.
    for (int hops = 0; info.isSymLink() && info.canonicalFilePath().isEmpty() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? QDir::cleanPath(info.absolutePath()) : folder).filePath(info.fileName());
}

bool sameFile(const QString &a, const QString &b)
{
    if (resolvedFilePath(a) == resolvedFilePath(b))
        return true;
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace vandrel::cli
