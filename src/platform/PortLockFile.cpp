// SPDX-License-Identifier: GPL-3.0-or-later
// Reading serial-device lock files: the process id in ASCII (the usual form)
// or as a binary int (an older form), then whether that process still runs.
#include "platform/PortLockFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <signal.h>
#include <unistd.h>

namespace vandrel {

namespace {

// The process id a lock file names, or 0 when it names none.
qint64 lockOwner(const QByteArray &content)
{
    bool ok = false;
    const qint64 pid = content.trimmed().toLongLong(&ok);
    if (ok)
        return pid > 0 ? pid : 0;
    if (content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.constData(), sizeof binary);
        return binary > 0 ? binary : 0;
    }
    return 0;
}

bool processRuns(qint64 pid)
{
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

QStringList standardPortLockFolders()
{
    return {QStringLiteral("/run/lock"), QStringLiteral("/var/lock")};
}

bool portLockedElsewhere(const QString &devicePath, const QStringList &folders)
{
    // Lock files are named after the device node, so a stable link such as
    // /dev/serial/by-id/usb-... must be followed to the node it points at.
    QStringList names{QStringLiteral("LCK..") + QFileInfo(devicePath).fileName()};
    const QString node = QFileInfo(devicePath).canonicalFilePath();
    if (!node.isEmpty() && !names.contains(QStringLiteral("LCK..") + QFileInfo(node).fileName()))
        names << QStringLiteral("LCK..") + QFileInfo(node).fileName();
    for (const QString &folder : folders) {
        for (const QString &name : names) {
            QFile file(folder + QLatin1Char('/') + name);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const qint64 pid = lockOwner(file.read(64));
            if (pid != 0 && pid != ::getpid() && processRuns(pid))
                return true;
        }
    }
    return false;
}

} // namespace vandrel
