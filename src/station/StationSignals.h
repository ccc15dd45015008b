// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM, SIGINT and SIGHUP as ordinary events of the event loop, read
// through a descriptor: no handler runs in the middle of a tick or a write.
#pragma once

#include "platform/SignalReader.h"

#include <QObject>

#include <memory>

namespace vandrel::station {

class StationSignals : public QObject {
    Q_OBJECT
public:
    // Blocks the three signals in this thread and the threads started after
    // it; create it before any thread starts. Children get them unblocked
    // again through unblockInChild().
    explicit StationSignals(QObject *parent = nullptr);
    // For a child process between fork and exec: the signals as a new program expects them.
    static void unblockInChild();

signals:
    void stopRequested(int signalNumber);
    void reloadRequested();

private:
    SignalReader reader_;
};

} // namespace vandrel::station
