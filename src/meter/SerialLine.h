// SPDX-License-Identifier: GPL-3.0-or-later
// The little the meter link needs of a serial device, so that the link runs
// the same over the real serial component and over a device played in-process
// by a test. Failures never escape: a call that fails leaves the line closed
// (open, or a vanished device) or simply moves nothing (read, write).
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace vandrel {

class TComPort;

class SerialLine {
public:
    virtual ~SerialLine() = default;
    // Opens `path` at 9600 baud, 8 data bits, no parity, one stop bit, after
    // closing what was open. False when it cannot be opened; error() then
    // holds the system's error number.
    virtual bool open(const QString &path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The device last opened or tried.
    virtual QString path() const = 0;
    virtual int error() const = 0;
    // Everything received and not yet read (empty on a closed line).
    virtual QByteArray readAll() = 0;
    virtual void write(char byte) = 0;
    virtual void purgeInput() = 0;
    virtual void purgeOutput() = 0;
    // Runs on the user-interface thread whenever bytes have arrived; an
    // empty handler stops the notices.
    virtual void setReadyHandler(std::function<void()> handler) = 0;
    virtual bool hasReadyHandler() const = 0;
    // Runs when the device went away underneath the open line (an adapter
    // pulled); the line is closed by then.
    virtual void setVanishedHandler(std::function<void()> handler) = 0;
    // The serial component underneath, for a transfer that needs its blocking
    // reads; none for a line that is not a device.
    virtual TComPort *comPort() { return nullptr; }
};

using SerialLineFactory = std::function<std::unique_ptr<SerialLine>()>;

} // namespace vandrel
