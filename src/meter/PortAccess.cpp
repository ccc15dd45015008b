// SPDX-License-Identifier: GPL-3.0-or-later
// Sorting open failures into "refused", "held elsewhere" and the rest, and
// wording the one that best explains a search without a meter.
#include "meter/PortAccess.h"

#include <cerrno>

namespace vandrel {

namespace {

const QString kAccessHelp = QStringLiteral(" \u2014 see Help \u203a Serial port access");

} // namespace

PortRefusal refusalFor(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return PortRefusal::Denied;
    case EBUSY:
    case EWOULDBLOCK:
        // EWOULDBLOCK: the exclusive lock is held by another opener.
        return PortRefusal::InUse;
    default:
        return PortRefusal::None;
    }
}

void PortOpenFailures::clear()
{
    denied_.clear();
    inUse_.clear();
    missing_.clear();
}

bool PortOpenFailures::worthRetrying(int error)
{
    return refusalFor(error) != PortRefusal::None || error == ENOENT;
}

void PortOpenFailures::note(const QString &devicePath, int error)
{
    switch (refusalFor(error)) {
    case PortRefusal::Denied:
        denied_.append(devicePath);
        break;
    case PortRefusal::InUse:
        inUse_.append(devicePath);
        break;
    case PortRefusal::None:
        if (error == ENOENT)
            missing_.append(devicePath);
        break;
    }
}

QString PortOpenFailures::statusText() const
{
    if (!denied_.isEmpty())
        return QStringLiteral("Permission denied: ") + denied_.join(QStringLiteral(", ")) + kAccessHelp;
    if (!inUse_.isEmpty())
        return QStringLiteral("In use by another program: ") + inUse_.join(QStringLiteral(", ")) + kAccessHelp;
    if (!missing_.isEmpty())
        return QStringLiteral("Device not found: ") + missing_.join(QStringLiteral(", "));
    return {};
}

} // namespace vandrel
