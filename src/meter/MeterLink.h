// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the meter: port search and identification, the 300 ms poll, frame
// reception, the connection watchdog and the self-correcting one-second tick.
#pragma once

#include "meter/DecodeFrame.h"
#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"
#include "meter/PortAccess.h"
#include "meter/PortProbe.h"
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

// 9600 baud, 8 data bits, no parity, one stop bit: the meter's line.
void configureMeterPort(TComPort &port);

class MeterLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 300;
    static constexpr int kWatchdogTicks = 3;
    static constexpr int kReopenMs = 3000;
    // How long a meter may take to answer "K", and how often the search looks
    // whether answers and frames are in.
    static constexpr int kIdentifyMs = 1000;
    static constexpr int kReplyCheckMs = 10;
    // Frames from a meter that never answers "K" are taken, after this long,
    // as coming from the model identified last time.
    static constexpr int kIdentifyGiveUpMs = 5000;

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

    // The model taken for a meter that sends frames but never says which
    // model it is: the one identified last (kept in the settings).
    void setRememberedModel(int model) { rememberedModel_ = model; }
    int rememberedModel() const { return rememberedModel_; }
    // Whether the meter on the port has said which model it is (or been
    // taken for the remembered one); frames are decoded only then.
    bool identified() const { return identified_; }
    bool searching() const { return searching_; }

    // Steps of the link, named after the events that run them.
    // SearchMeter asks every port at once; the first that answers with a
    // model and then sends a frame is the meter (see PortProbe).
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
    // The meter said which model it is (or was taken for the remembered
    // one): everything that depends on the model is to be set up again.
    void meterIdentified();
    // A search started or ended; commands that use the port wait for it.
    void searchRunningChanged(bool running);
    // A search ended, having found the meter or not.
    void searchFinished(bool found);

private:
    void selectPort(int index);
    bool tryOpen();
    void closeQuietly();
    void writeQuietly(char byte);
    int probePorts(int first, MeterIdentity &found);
    void searchFrom(int first);
    void finishSearch(int found, const MeterIdentity &identity);
    void watchDevices();
    void retryRefused();
    void askIdentity();
    void takeReply();
    void adoptIdentity(const MeterIdentity &id, const QString &note);
    void noteUnidentifiedFrames();
    void checkIdentifying();
    QString connectedText() const;
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
    // Identification of a meter whose frames came without it having been
    // identified (switched on late, answered late, a port chosen by hand):
    // "K" goes out in place of a poll, and nothing is decoded until the
    // reply is in.
    bool identified_ = false;
    bool identifying_ = false;
    bool askPending_ = false;
    bool awaitingReply_ = false;
    int quietTicks_ = 0;
    QElapsedTimer identifyClock_;
    QElapsedTimer replyClock_;
    int rememberedModel_ = 580;
    QString modelNote_; // said beside the device when the model was assumed
    // Recovery after the device vanished underneath an open port.
    bool vanished_ = false;
    QString vanishedDevice_;
    QElapsedTimer reopenClock_;
    // Why devices of the current search could not be opened; the system error
    // number of the port's latest failure.
    PortOpenFailures openFailures_;
    int lastPortError_ = 0;
    // Devices that were refused, busy or missing: tried again once a tick
    // while no meter is connected, since they may be where the meter is.
    QStringList retry_;
    DeviceSource deviceSource_;
    QStringList knownDevices_; // the system's list as last looked at
};

} // namespace vandrel
