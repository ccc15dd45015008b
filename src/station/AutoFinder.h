// SPDX-License-Identifier: GPL-3.0-or-later
// The search behind device = auto: asks every serial device no meter holds
// and tells which one has a meter, so that meter can be recorded on a link
// of its own. The finder records nothing itself.
#pragma once

#include "station/MeterStation.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace vandrel::station {

// The device a found meter is recorded on: the /dev/serial/by-id link that
// leads to `device` when there is one (it stays the same when the adapter
// is plugged in again under another ttyUSB number), else `device` itself.
QString stableDevicePath(const QString &device, const QString &byIdFolder = QStringLiteral("/dev/serial/by-id"));

// The name of a meter found under the auto section `base`: the base name, a
// dash and the stable device's file name, in the characters a meter name may
// hold (others become '_').
QString foundMeterName(const QString &base, const QString &stableDevice);

class AutoFinder : public QObject {
    Q_OBJECT
public:
    // A search that found nothing is made again after this long, so a meter
    // switched on behind an adapter that was already there is found too.
    static constexpr int kSearchAgainMs = 60000;

    // `claimed`: the devices meters hold now, asked each time the list of
    // devices is looked at.
    AutoFinder(MeterParts parts, std::function<QStringList()> claimed, QObject *parent = nullptr);
    ~AutoFinder() override;

    void start();
    // False while the link still has a handler on the stack (ask again).
    bool shutDown();
    MeterLink &link() { return link_; }

signals:
    // A meter said which model it is on `device` (as the system lists it).
    void found(const QString &device);
    // Found nothing for kSearchAgainMs: a fresh finder is to search again.
    void searchAgain();

private:
    std::unique_ptr<SerialLine> ownLine_;
    MeterReading reading_;
    MeterIdentity identity_;
    LinkClock clock_;
    MeterLink link_;
    PortList::DeviceSource systemDevices_;
    std::function<QStringList()> claimed_;
    qint64 startedMs_ = 0;
    bool reported_ = false;
    bool askedAgain_ = false;
};

} // namespace vandrel::station
