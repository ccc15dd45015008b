// SPDX-License-Identifier: GPL-3.0-or-later
// Signals as ordinary events of the event loop, read through a descriptor
// (signalfd): no handler runs in the middle of a tick or a write, and no
// global state is needed to reach the event loop.
#pragma once

#include <QList>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vandrel {

class SignalReader : public QObject {
    Q_OBJECT
public:
    // Blocks `signalNumbers` for this thread and every thread started after
    // it, and reads them from a descriptor instead; create it before any
    // thread starts. Without a descriptor the signals act as they always do.
    explicit SignalReader(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalReader() override;

    // Takes in what has arrived without waiting for the event loop (for a
    // long call that keeps it from running); each signal is reported through
    // signalReceived.
    void readPending();

    // For a child process between fork and exec: the signals a reader of this
    // program blocks (SIGINT, SIGTERM, SIGHUP), as a new program expects them.
    static void unblockInChild();

signals:
    void signalReceived(int signalNumber);

private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vandrel
