// SPDX-License-Identifier: GPL-3.0-or-later
// The port list's rules: search order, following the system's devices, typed paths.
#include "meter/PortList.h"

namespace vandrel {

QString PortList::devicePath(const QString &item)
{
    const QString t = item.trimmed();
    return t.startsWith(QLatin1Char('/')) ? t : QStringLiteral("/dev/") + t;
}

QStringList PortList::preferredFirst(const QStringList &preferred, const QStringList &system)
{
    QStringList order;
    QStringList paths;
    for (const QStringList *list : {&preferred, &system}) {
        for (const QString &item : *list) {
            const QString path = devicePath(item);
            if (item.trimmed().isEmpty() || paths.contains(path))
                continue;
            paths << path;
            order << item;
        }
    }
    return order;
}

QStringList PortList::followDevices(const QStringList &ports, const QStringList &before, const QStringList &after)
{
    QStringList list;
    for (const QString &item : ports) {
        if (!before.contains(item) || after.contains(item))
            list << item;
    }
    QStringList paths;
    for (const QString &item : list)
        paths << devicePath(item);
    for (const QString &item : after) {
        if (!before.contains(item) && !paths.contains(devicePath(item))) {
            list << item;
            paths << devicePath(item);
        }
    }
    return list;
}

QString PortList::selectedPath() const
{
    return index_ >= 0 && index_ < items_.size() ? devicePath(items_.at(index_)) : QString();
}

void PortList::set(const QStringList &items)
{
    items_ = items;
    index_ = items_.isEmpty() ? -1 : 0;
}

int PortList::choose(int index, const QString &text, bool &added)
{
    added = false;
    if (index < 0 || index >= items_.size() || items_.at(index) != text) {
        index = indexOf(text);
        if (index < 0) {
            items_.append(text);
            index = size() - 1;
            added = true;
        }
    }
    index_ = index;
    return index;
}

void PortList::remove(const QString &item)
{
    const QString selected = index_ >= 0 && index_ < items_.size() ? items_.at(index_) : QString();
    items_.removeAll(item);
    retry_.removeAll(item);
    if (!selected.isEmpty())
        index_ = indexOf(selected);
}

void PortList::setDeviceSource(DeviceSource source)
{
    source_ = std::move(source);
    known_ = source_ ? source_() : QStringList();
}

bool PortList::follow(QString &appeared)
{
    appeared.clear();
    if (!source_)
        return false;
    const QStringList now = source_();
    if (now == known_)
        return false;
    const QStringList before = known_;
    known_ = now;
    for (const QString &item : before) {
        if (!now.contains(item))
            retry_.removeAll(item);
    }
    const QString selected = index_ >= 0 && index_ < items_.size() ? items_.at(index_) : QString();
    items_ = followDevices(items_, before, now);
    index_ = indexOf(selected);
    for (const QString &item : now) {
        if (!before.contains(item)) {
            appeared = item;
            break;
        }
    }
    return true;
}

void PortList::markForRetry(const QString &item)
{
    if (!retry_.contains(item))
        retry_ << item;
}

} // namespace vandrel
