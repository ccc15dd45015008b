// SPDX-License-Identifier: GPL-3.0-or-later
// What the memory download needs of a port and of the progress window, kept
// small so the transfer runs the same against a device, the simulator or a test.
#pragma once

#include <QString>
#include <QtGlobal>

namespace vandrel {

enum class WaitStatus {
    Input,   // bytes beyond those already counted have arrived
    Timeout, // the time passed without any
    Broken,  // the port failed; waiting again would not help
};

class DownloadPort {
public:
    virtual ~DownloadPort() = default;
    // Bytes waiting to be read.
    virtual int inputCount() = 0;
    // Takes up to `length` waiting bytes without waiting; returns the count.
    virtual int read(char *buffer, int length) = 0;
    // Sends one byte; failures are dropped (the transfer notices the silence).
    virtual void write(char byte) = 0;
    // Blocks (without using the processor) until more bytes arrive than
    // inputCount() reported, or `ms` passes.
    virtual WaitStatus waitForInput(int ms) = 0;
    // A plain wait that processes no window messages.
    virtual void pause(int ms) = 0;
    // A steady clock in milliseconds.
    virtual qint64 elapsedMs() = 0;
    // Bytes a second the line carries at most; 0 when not known. A transfer
    // sleeps through the time missing bytes need on the line instead of
    // waking at every arrival.
    virtual double lineBytesPerSecond() { return 0.0; }
};

inline const QString kProgressCaption = QStringLiteral("Data Retriving Progress");
inline const QString kBytesReceivedCaption = QStringLiteral("bytes received");
inline const QString kTotalBytesCaption = QStringLiteral("total bytes");

// The progress window and the messages of a download. Every call has a
// do-nothing default, so a caller shows only what it wants.
class DownloadView {
public:
    virtual ~DownloadView() = default;
    // The progress window appears with the bar's range and the total text.
    virtual void progressOpened(int maximum, const QString &totalText) { Q_UNUSED(maximum) Q_UNUSED(totalText) }
    virtual void progressMaximum(int maximum) { Q_UNUSED(maximum) }
    virtual void progressTotalText(const QString &text) { Q_UNUSED(text) }
    // Bar position and the "bytes received" number.
    virtual void progressReceived(int bytes) { Q_UNUSED(bytes) }
    // A block was refused; the window is repainted.
    virtual void blockRetried(int retries) { Q_UNUSED(retries) }
    virtual void progressClosed() {}
    virtual void busyCursor(bool busy) { Q_UNUSED(busy) }
    // A message box with an OK button.
    virtual void message(const QString &text) { Q_UNUSED(text) }
};

} // namespace vandrel
