// SPDX-License-Identifier: GPL-3.0-or-later
// Station meters over in-process devices on one fake bus, with the poll and
// the tick of every link driven by the test's clock (header only).
#pragma once

#include "station/Station.h"

#include "FakeLine.h"

#include <QCoreApplication>

#include <list>

namespace vandrel::test {

struct StationRig {
    FakeBus bus;
    std::list<FakeLine> lines;
    std::vector<MeterLink *> links;
    // Where the links come from when they change while the rig runs (a
    // station starts and retires links of its own); none: `links` as set.
    std::function<std::vector<MeterLink *>()> linkSource;
    qint64 nextPoll = 0;
    qint64 nextTick = 1000;

    station::MeterParts parts()
    {
        station::MeterParts p;
        lines.emplace_back(bus);
        p.line = &lines.back();
        p.makeLine = bus.factory();
        p.clock = bus.clock();
        p.deviceExists = [this](const QString &path) { return bus.devices.count(path) > 0; };
        p.systemDevices = [this] {
            QStringList all;
            for (const auto &d : bus.devices)
                all << d.first;
            return all;
        };
        return p;
    }

    // Every link's poll every 300 ms and tick every second, for `ms`.
    void run(qint64 ms, const std::function<void()> &eachSecond = {})
    {
        const qint64 end = bus.now + ms;
        while (bus.now < end) {
            const qint64 next = std::min({nextPoll, nextTick, end});
            bus.advance(std::max<qint64>(0, next - bus.now));
            QCoreApplication::processEvents();
            if (linkSource)
                links = linkSource();
            if (bus.now >= nextPoll) {
                for (MeterLink *link : links)
                    if (link->running())
                        link->poll();
                nextPoll = std::max(nextPoll + MeterLink::kPollMs, bus.now + 1);
            }
            if (bus.now >= nextTick) {
                for (MeterLink *link : links)
                    if (link->running())
                        link->tick();
                if (eachSecond)
                    eachSecond();
                nextTick = std::max<qint64>(nextTick + 1000, bus.now + 1);
            }
        }
    }
};

} // namespace vandrel::test
