// SPDX-License-Identifier: GPL-3.0-or-later
// The meter link as the program without a window runs it: the same search,
// poll, watchdog and recovery, with a deadline for the first reading.
#pragma once

#include "meter/MeterLink.h"
#include "platform/ComPort.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace vandrel::cli {

class CliLink : public QObject {
    Q_OBJECT
public:
    // How long start() waits for the first reading before it gives up. Without
    // a device named, it also waits until every device has had its full trial.
    static constexpr int kAnswerMs = 10000;

    // `device` empty: the system's serial devices are searched (and followed
    // while no meter is connected), as the program does.
    explicit CliLink(const QString &device, QObject *parent = nullptr);

    // Checks a named device opens, searches and starts polling. Emits ready()
    // at the first tick with a reading, or failed() when the device cannot be
    // opened or nothing answers within kAnswerMs.
    void start();
    // Stops polling and closes the port as soon as no handler of the link is
    // running further down the stack; then emits closed(). Safe to call again.
    void close();

    // Where the system's serial devices are listed, and how long to wait for
    // the first reading (tests give their own).
    void setSystemDevices(PortList::DeviceSource source) { systemDevices_ = std::move(source); }
    void setAnswerMs(int ms) { answerTimer_.setInterval(ms); }

    MeterLink &link() { return link_; }
    TComPort &port() { return port_; }
    const MeterReading &reading() const { return reading_; }
    const MeterIdentity &identity() const { return identity_; }
    bool isReady() const { return ready_; }

signals:
    void ready();
    void failed(const QString &message);
    void closed();

private:
    void giveUp();
    void tryClose();

    QString device_;
    PortList::DeviceSource systemDevices_;
    TComPort port_;
    MeterReading reading_;
    MeterIdentity identity_;
    MeterLink link_{port_, reading_, identity_};
    QTimer answerTimer_;
    QString lastStatus_;
    bool ready_ = false;
    bool searchedAll_ = false;   // a search has tried every device
    bool answerOverdue_ = false; // kAnswerMs have passed
    bool closing_ = false;
    bool closed_ = false;
};

} // namespace vandrel::cli
