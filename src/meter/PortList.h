// SPDX-License-Identifier: GPL-3.0-or-later
// The devices the link may find the meter on, as the device box shows them:
// devices named on the command line first, then the system's serial devices
// (followed as they come and go), and paths the user typed.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vandrel {

class PortList {
public:
    using DeviceSource = std::function<QStringList()>;

    // Items are device names from the system list ("ttyUSB0") or paths
    // ("/dev/pts/3"); this is the path to open for either.
    static QString devicePath(const QString &item);
    // The search order: `preferred` devices in their order, then the system's
    // list without the devices already named, whether a name is given as a
    // path or as it appears in the system list.
    static QStringList preferredFirst(const QStringList &preferred, const QStringList &system);
    // The list after the system's devices changed from `before` to `after`:
    // devices that went away leave it, new ones join at the end. Items that
    // are not system devices (paths given or typed) always stay.
    static QStringList followDevices(const QStringList &ports, const QStringList &before, const QStringList &after);

    const QStringList &items() const { return items_; }
    bool isEmpty() const { return items_.isEmpty(); }
    int size() const { return static_cast<int>(items_.size()); }
    int indexOf(const QString &item) const { return static_cast<int>(items_.indexOf(item)); }
    // The selected item, -1 when none.
    int index() const { return index_; }
    QString selectedPath() const;

    // Replaces the list and selects its first item.
    void set(const QStringList &items);
    void select(int index) { index_ = index; }
    // What the user chose in the box: an item of the list or a path typed in,
    // which joins the list. Returns the index; `added` tells whether it joined.
    int choose(int index, const QString &text, bool &added);
    void remove(const QString &item);

    // Where the system's devices are listed; unset, the list stays as given.
    void setDeviceSource(DeviceSource source);
    bool followsDevices() const { return static_cast<bool>(source_); }
    // Looks at the system's devices. Returns true when the list changed; a
    // device that appeared is then in `appeared` (the first one found).
    bool follow(QString &appeared);

    // Devices that were refused, busy or missing when tried: worth trying
    // again, since any of them may be where the meter is.
    const QStringList &retry() const { return retry_; }
    void markForRetry(const QString &item);
    void unmarkForRetry(const QString &item) { retry_.removeAll(item); }

private:
    QStringList items_;
    int index_ = -1;
    DeviceSource source_;
    QStringList known_; // the system's list as last looked at
    QStringList retry_;
};

} // namespace vandrel
