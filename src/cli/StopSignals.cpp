// SPDX-License-Identifier: GPL-3.0-or-later
// The stop signals of a command, read as events (see SignalReader).
#include "cli/StopSignals.h"

#include <csignal>

namespace vandrel::cli {

StopSignals::StopSignals(QObject *parent) : QObject(parent), reader_({SIGINT, SIGTERM})
{
    connect(&reader_, &SignalReader::signalReceived, this, [this](int signalNumber) {
        if (received_ == 0)
            received_ = signalNumber;
        emit stopRequested(signalNumber);
    });
}

int StopSignals::poll()
{
    if (received_ == 0)
        reader_.readPending();
    return received_;
}

const char *StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "a signal";
    }
}

} // namespace vandrel::cli
