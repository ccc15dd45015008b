// SPDX-License-Identifier: GPL-3.0-or-later
// The serial-device lock files other programs leave ("LCK..ttyUSB0" holding a
// process id), read so that a port held that way counts as busy.
#pragma once

#include <QString>
#include <QStringList>

namespace vandrel {

// The folders where programs put such lock files on Linux.
QStringList standardPortLockFolders();

// Whether a lock file for `devicePath` in one of `folders` names a running
// process other than this one. A lock of a process that has ended, or one
// that cannot be read, holds nothing.
bool portLockedElsewhere(const QString &devicePath, const QStringList &folders);

} // namespace vandrel
