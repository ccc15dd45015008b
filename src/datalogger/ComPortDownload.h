// SPDX-License-Identifier: GPL-3.0-or-later
// The download's port over the real serial component: waits block in poll()
// with a deadline, and port failures end the transfer instead of escaping.
#pragma once

#include "datalogger/DownloadPort.h"
#include "platform/ComPort.h"

#include <QByteArray>
#include <QElapsedTimer>

namespace vandrel {

class ComPortDownload : public DownloadPort {
public:
    explicit ComPortDownload(TComPort &port);

    int inputCount() override;
    int read(char *buffer, int length) override;
    void write(char byte) override;
    WaitStatus waitForInput(int ms) override;
    void pause(int ms) override;
    qint64 elapsedMs() override { return clock_.elapsed(); }
    // From the port's line settings: a start bit, the data bits, parity and stop bits per byte.
    double lineBytesPerSecond() override;

    // Whether a port failure has been seen (the transfer then ends quietly).
    bool broken() const { return broken_; }

private:
    void drain();

    TComPort &port_;
    // Bytes moved out of the driver's queue so that a wait blocks until
    // something new arrives rather than returning at once for old bytes.
    QByteArray held_;
    bool broken_ = false;
    QElapsedTimer clock_;
};

} // namespace vandrel
