// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C and SIGTERM as an ordinary event of the event loop, so a long command
// ends by the same clean path as when its work is done.
#pragma once

#include "platform/SignalReader.h"

#include <QObject>

#include <memory>

namespace vandrel::cli {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Blocks SIGINT and SIGTERM for this thread and every thread started after
    // it, and reads them from a descriptor instead. Create it before any
    // thread starts.
    explicit StopSignals(QObject *parent = nullptr);

    // The first stop signal received so far, 0 for none. Looks at the
    // descriptor itself, so a long call that keeps the event loop from
    // running can still notice Ctrl+C.
    int poll();
    int received() const { return received_; }
    // The exit status of a command ended by `signalNumber`: 128 plus it.
    static int exitStatus(int signalNumber) { return 128 + signalNumber; }
    // "SIGINT", "SIGTERM".
    static const char *name(int signalNumber);

signals:
    void stopRequested(int signalNumber);

private:
    SignalReader reader_;
    int received_ = 0;
};

} // namespace vandrel::cli
