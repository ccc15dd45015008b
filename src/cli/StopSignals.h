// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+C and SIGTERM as an ordinary event of the event loop, so a long command
// ends by the same clean path as when its work is done.
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vandrel::cli {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Blocks SIGINT and SIGTERM for this thread and every thread started after
    // it, and reads them from a descriptor instead. Create it before any
    // thread starts.
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested(int signalNumber);

private:
    void readSignal();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vandrel::cli
