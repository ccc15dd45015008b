// SPDX-License-Identifier: GPL-3.0-or-later
// Why the search could not open serial devices, and the status-line text that
// tells the user when a refused or busy device may be where the meter is.
#pragma once

#include <QString>
#include <QStringList>

namespace vandrel {

enum class PortRefusal { None, Denied, InUse };

// What an open's system error number says about the device: the user may not
// open it, another program holds it, or neither (absent, broken, not a tty).
PortRefusal refusalFor(int error);

// The open failures of one search, in the order they happened.
class PortOpenFailures {
public:
    void clear();
    void note(const QString &devicePath, int error);
    // The status-line text for a search that found no meter: a device the user
    // may not open comes first (that is a setting the user can change), then
    // one held by another program, then a device that is not there (one named
    // on the command line and not plugged in yet). Empty when none was.
    QString statusText() const;
    // Whether an open that failed this way may succeed later without the
    // program doing anything: access granted, the other program gone, the
    // device plugged in.
    static bool worthRetrying(int error);

private:
    QStringList denied_;
    QStringList inUse_;
    QStringList missing_;
};

} // namespace vandrel
