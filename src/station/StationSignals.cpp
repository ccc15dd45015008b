// SPDX-License-Identifier: GPL-3.0-or-later
// The station's signals, read as events (see SignalReader).
#include "station/StationSignals.h"

#include <csignal>

namespace vandrel::station {

StationSignals::StationSignals(QObject *parent) : QObject(parent), reader_({SIGINT, SIGTERM, SIGHUP})
{
    connect(&reader_, &SignalReader::signalReceived, this, [this](int signalNumber) {
        if (signalNumber == SIGHUP)
            emit reloadRequested();
        else
            emit stopRequested(signalNumber);
    });
}

void StationSignals::unblockInChild()
{
    SignalReader::unblockInChild();
}

} // namespace vandrel::station
