// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the meter: port search and identification, the 300 ms poll, frame
// reception, the connection watchdog and the self-correcting one-second tick.
#pragma once

#include "meter/DecodeFrame.h"
#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"
#include "meter/PortAccess.h"
#include "platform/ComPort.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace vandrel {

// Link state shared with the rest of the program (all on the user-interface thread).
struct LinkState {
    bool MeterConnected = false;
    bool FrameSeen = false;
    int MissedTicks = 0;
    bool SkipNextPoll = false;
    int LastConnectedPort = 0;
    QByteArray RxBuffer;
    bool MainTimerBusy = false;
    bool RxBusy = false;
    bool FirstTick = true;
    int TickCounter = 0; // ticks since the last real-time sample
};

class MeterLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 300;
    static constexpr int kWatchdogTicks = 3;
    static constexpr int kReopenMs = 3000;
    // How long the search waits for the reply to "K" on each port, and how
    // often it looks whether the reply is in.
    static constexpr int kIdentifyMs = 500;
    static constexpr int kReplyCheckMs = 10;

    MeterLink(TComPort &port, MeterReading &reading, MeterIdentity &identity, QObject *parent = nullptr);

    // The port list as the device box shows it. Items are device names from
    // the system list ("ttyUSB0") or paths typed by the user ("/dev/pts/3").
    const QStringList &ports() const { return ports_; }
    int portIndex() const { return portIndex_; }
    void setPorts(const QStringList &ports);
    // Puts `device` first in the list (a device named on the command line), so
    // the search tries it first.
    void preferPort(const QString &device);
    static QString devicePath(const QString &item);
    // The search order: `preferred` devices (named on the command line) in
    // their order, then the system's list without the devices already named,
    // whether a name is given as a path or as it appears in the system list.
    static QStringList preferredFirst(const QStringList &preferred, const QStringList &system);
    // The port list after the system's devices changed from `before` to
    // `after`: devices that went away leave it, new ones join at the end.
    // Items that are not system devices (paths given or typed) always stay.
    static QStringList followDevices(const QStringList &ports, const QStringList &before, const QStringList &after);

    // Where the system's serial devices are listed. Set, the list follows them
    // while no meter is connected (looked at once a tick) and a new device is
    // searched at once; unset, the list stays as it was given.
    using DeviceSource = std::function<QStringList()>;
    void setDeviceSource(DeviceSource source);

    // Fills the list from the system's serial devices and selects item 0.
    void fillPortList();

    // Steps of the link, named after the events that run them.
    // SearchMeter tries every port from the first; a port it identifies is
    // on trial until it delivers a frame (see MainTimerTimer).
    void SearchMeter();
    void ATimerTimer();
    void Comm1RxChar();
    void MainTimerTimer();
    void ComboBoxDeviceNameChange(int index, const QString &text);
    // Stops the timers and closes the port. Returns false, leaving the port
    // open, while a tick, a receive handler or the search is still running
    // further down the stack; the caller asks again once they have returned.
    bool FormCloseQuery();

    // Starts the poll and the tick (end of start-up).
    void startTimers();
    void stopTimers();

    // Writes one key command byte: a silent no-op on a closed or failed port.
    // The next poll is skipped so it does not follow right behind the key.
    void sendCommand(char byte);
    // Writes one command byte, nothing else (failures are dropped silently).
    void writeCommand(char byte);

    LinkState &state() { return state_; }
    const LinkState &state() const { return state_; }
    const MeterReading &reading() const { return reading_; }
    const MeterIdentity &identity() const { return identity_; }
    TComPort &port() { return port_; }
    QTimer &aTimer() { return aTimer_; }
    QTimer &mainTimer() { return mainTimer_; }

    // Time of the tick in progress (the timestamp of its samples).
    QDateTime tickTime() const { return tickTime_; }

signals:
    void portsChanged();
    void portIndexChanged(int index);
    // Status-bar text: the device or "No Connection"; also search progress.
    void statusTextChanged(const QString &text);
    void noLinkVisibleChanged(bool visible);
    void runEnabledChanged(bool enabled);
    void stopEnabledChanged(bool enabled);
    // A frame was decoded into the reading.
    void frameDecoded();
    // Start of every tick: long presses of the panel keys, then blinking.
    void tickStarted();
    // A tick found fresh frames (the place for the real-time sample).
    void frameTick(const QDateTime &now);
    // Three ticks passed without a frame.
    void meterLost();
    void meterConnectedChanged(bool connected);

private:
    void selectPort(int index);
    bool tryOpen();
    void closeQuietly();
    void writeQuietly(char byte);
    bool tryIdentifyOn(int index);
    bool waitForReply();
    void searchFrom(int first);
    void finishSearch();
    void resumeSearch();
    void watchDevices();
    void searchNewDevice(const QString &item);
    void searchAgainFrom(int index);
    void regulateInterval();
    void tryReopenVanished();
    void onDeviceVanished();
    void setConnected(bool connected);

    TComPort &port_;
    MeterReading &reading_;
    MeterIdentity &identity_;
    LinkState state_;
    QStringList ports_;
    int portIndex_ = -1;
    QTimer aTimer_;
    QTimer mainTimer_;
    QElapsedTimer tickClock_;
    qint64 lastTickMs_ = 0;
    QDateTime tickTime_;
    bool closing_ = false;
    bool searching_ = false;
    // The port was identified by the search and has not delivered a frame
    // yet: something that answers the identification request without being
    // a meter is given up when the watchdog runs out, and the search goes on.
    bool onTrial_ = false;
    // Recovery after the device vanished underneath an open port.
    bool vanished_ = false;
    QString vanishedDevice_;
    QElapsedTimer reopenClock_;
    // Why devices of the current search could not be opened; the system error
    // number of the port's latest failure.
    PortOpenFailures openFailures_;
    int lastPortError_ = 0;
    DeviceSource deviceSource_;
    QStringList knownDevices_; // the system's list as last looked at
};

} // namespace vandrel
