// SPDX-License-Identifier: GPL-3.0-or-later
// The serial component as the link's line: every port failure becomes the
// silent abort and is swallowed here, its error number kept.
#pragma once

#include "meter/SerialLine.h"
#include "platform/ComPort.h"

#include <QObject>

namespace vandrel {

class ComPortLine : public SerialLine {
public:
    // A line over `port`, which stays the caller's; or over a port of its own.
    explicit ComPortLine(TComPort &port);
    ComPortLine();
    ~ComPortLine() override;
    ComPortLine(const ComPortLine &) = delete;
    ComPortLine &operator=(const ComPortLine &) = delete;

    bool open(const QString &path) override;
    void close() override;
    bool isOpen() const override { return port_.Active(); }
    QString path() const override { return port_.DeviceName(); }
    int error() const override { return error_; }
    QByteArray readAll() override;
    void write(char byte) override;
    void purgeInput() override;
    void purgeOutput() override;
    void setReadyHandler(std::function<void()> handler) override;
    bool hasReadyHandler() const override { return port_.hasOnRxChar(); }
    void setVanishedHandler(std::function<void()> handler) override;
    TComPort *comPort() override { return &port_; }

private:
    std::unique_ptr<TComPort> owned_;
    TComPort &port_;
    int error_ = 0;
    QMetaObject::Connection vanished_;
};

} // namespace vandrel
