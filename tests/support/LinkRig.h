// SPDX-License-Identifier: GPL-3.0-or-later
// A meter link with its own port and reading, for tests that talk to the
// simulated meter (header only: the test links the meter library itself).
#pragma once

#include "meter/MeterLink.h"
#include "platform/ComPort.h"

#include "TestSupport.h"

#include <QElapsedTimer>

namespace vandrel::test {

struct LinkRig {
    TComPort port;
    MeterReading reading;
    MeterIdentity identity;
    MeterLink link{port, reading, identity};

    // Searches `device` for the meter; returns whether one was identified.
    bool connectTo(const QString &device)
    {
        link.setPorts({device});
        link.searchMeter();
        return link.state().MeterConnected;
    }

    // Polls at the program's own pace until `pred` holds (the meter answers
    // polls only, and too many at once would overrun it).
    bool pollUntil(const std::function<bool()> &pred, int timeoutMs = 5000)
    {
        QElapsedTimer sincePoll;
        sincePoll.start();
        link.poll();
        return waitUntil(
            [&] {
                if (sincePoll.elapsed() >= MeterLink::kPollMs) {
                    link.poll();
                    sincePoll.restart();
                }
                return pred();
            },
            timeoutMs);
    }
};

} // namespace vandrel::test
