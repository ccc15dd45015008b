// SPDX-License-Identifier: GPL-3.0-or-later
// The link to the meter: port search and identification, the 300 ms poll, frame
// reception, the connection watchdog and the self-correcting one-second tick.
// Others use it through this interface: keys go through sendKey(), a download
// borrows the port through lendPort(), and the port list is its own class.
#pragma once

#include "meter/DecodeFrame.h"
#include "meter/MeterIdentity.h"
#include "meter/MeterReading.h"
#include "meter/PortAccess.h"
#include "meter/PortList.h"
#include "meter/PortProbe.h"
#include "meter/SerialLine.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

namespace vandrel {

class TComPort;

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
};

// The link's sense of time: a steady clock in milliseconds and a wait that
// lets events through. Tests give their own, moved by hand; they also drive
// the poll and the tick themselves instead of timers.
struct LinkClock {
    std::function<qint64()> now;
    std::function<void(int ms)> wait;
    bool realTimers = true;
    static LinkClock system();
};

class MeterLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollMs = 300;
    static constexpr int kWatchdogTicks = 3;
    static constexpr int kReopenMs = 3000;
    // How long a meter may take to answer "K", and how often the search looks
    // whether answers and frames are in.
    static constexpr int kIdentifyMs = ProbeSession::kReplyMs;
    static constexpr int kReplyCheckMs = 10;
    // Frames from a meter that never answers "K" are taken, after this long,
    // as coming from the model identified last time.
    static constexpr int kIdentifyGiveUpMs = 5000;

    // The link over the serial component `port` (the caller's).
    MeterLink(TComPort &port, MeterReading &reading, MeterIdentity &identity, QObject *parent = nullptr);
    // The link over any line; `makeLine` makes the extra lines the search
    // asks at once.
    MeterLink(SerialLine &line, SerialLineFactory makeLine, MeterReading &reading, MeterIdentity &identity,
              LinkClock clock = LinkClock::system(), QObject *parent = nullptr);
    ~MeterLink() override;

    const PortList &portList() const { return ports_; }
    const QStringList &ports() const { return ports_.items(); }
    int portIndex() const { return ports_.index(); }
    void setPorts(const QStringList &ports);
    // Puts `device` first in the list (a device named on the command line), so
    // the search prefers it.
    void preferPort(const QString &device);
    static QString devicePath(const QString &item) { return PortList::devicePath(item); }

    // Where the system's serial devices are listed. Set, the list follows them
    // while no meter is connected (looked at once a tick) and a new device is
    // searched at once; unset, the list stays as it was given.
    void setDeviceSource(PortList::DeviceSource source) { ports_.setDeviceSource(std::move(source)); }

    // The model taken for a meter that sends frames but never says which
    // model it is: the one identified last (kept in the settings).
    void setRememberedModel(int model) { rememberedModel_ = model; }
    int rememberedModel() const { return rememberedModel_; }
    // Whether the meter on the port has said which model it is (or been
    // taken for the remembered one); frames are decoded only then.
    bool identified() const { return identified_; }
    bool searching() const { return searching_; }
    // Polling and ticking (not stopped, not lent, not closing).
    bool running() const { return running_; }

    // Asks every port at once; the first that answers with a model and then
    // sends a frame is the meter (see PortProbe).
    void searchMeter();
    // The 300 ms poll: "A" (or "K" while the meter is being identified).
    void poll();
    // Bytes arrived on the port: frames are cut out and decoded.
    void onBytesReceived();
    // The one-second tick: watchdog, the tick of a run, recovery.
    void tick();
    // The user picked or typed a device in the port box: it is opened, and
    // its meter says its model before its frames count.
    void choosePort(int index, const QString &text);
    // Stops the timers and closes the port. Returns false, leaving the port
    // open, while a tick, a receive handler or the search is still running
    // further down the stack; the caller asks again once they have returned.
    bool shutDown();

    // Starts the poll and the tick (end of start-up).
    void startTimers();
    void stopTimers();

    // A key of the panel: its command bytes (none for a key that only tells
    // the user something). The next poll is skipped so it does not follow
    // right behind the key. A closed port writes nothing.
    void sendKey(const QByteArray &bytes);

    // The port lent out for a transfer (a logger download): no poll, no tick
    // and no frame reception until the lease goes, which gives it back open,
    // with frame reception and both timers running.
    class PortLease {
    public:
        PortLease(PortLease &&other) noexcept;
        PortLease &operator=(PortLease &&) = delete;
        PortLease(const PortLease &) = delete;
        PortLease &operator=(const PortLease &) = delete;
        ~PortLease();
        SerialLine &line() { return link_->line_; }

    private:
        friend class MeterLink;
        explicit PortLease(MeterLink &link) : link_(&link) {}
        MeterLink *link_;
    };
    // Waits (letting events through, up to `busyWaitMs`) until no tick or
    // receive handler runs, then stops the link's use of the port.
    PortLease lendPort(int busyWaitMs = 5000);

    LinkState &state() { return state_; }
    const LinkState &state() const { return state_; }
    const MeterReading &reading() const { return reading_; }
    const MeterIdentity &identity() const { return identity_; }
    const SerialLine &line() const { return line_; }
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
    // A tick found no frame while connected (a run's count of ticks starts over).
    void frameMissed();
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
    void init();
    void selectPort(int index);
    bool openSelected();
    void attachReception();
    int probePorts(int first, MeterIdentity &found);
    void searchFrom(int first);
    void finishSearch(int found, const MeterIdentity &identity);
    void searchAgainFrom(int index);
    void watchDevices();
    void retryRefused();
    void askIdentity();
    void takeReply();
    void adoptIdentity(const MeterIdentity &id, const QString &note);
    void noteUnidentifiedFrames();
    void checkIdentifying();
    QString connectedText() const;
    void regulateInterval();
    void tryReopenVanished();
    void onDeviceVanished();
    void setConnected(bool connected);
    void giveBack();

    std::unique_ptr<SerialLine> ownLine_;
    SerialLine &line_;
    SerialLineFactory makeLine_;
    LinkClock clock_;
    MeterReading &reading_;
    MeterIdentity &identity_;
    LinkState state_;
    PortList ports_;
    QTimer aTimer_;
    QTimer mainTimer_;
    qint64 lastTickMs_ = 0;
    QDateTime tickTime_;
    bool closing_ = false;
    bool searching_ = false;
    bool running_ = false;
    // Identification of a meter whose frames came without it having been
    // identified (switched on late, answered late, a port chosen by hand):
    // "K" goes out in place of a poll, and nothing is decoded until the
    // reply is in.
    bool identified_ = false;
    bool identifying_ = false;
    bool askPending_ = false;
    bool awaitingReply_ = false;
    int quietTicks_ = 0;
    qint64 identifyStartMs_ = 0;
    qint64 replySentMs_ = 0;
    int rememberedModel_ = 580;
    QString modelNote_; // said beside the device when the model was assumed
    // Recovery after the device vanished underneath an open port.
    bool vanished_ = false;
    QString vanishedDevice_;
    qint64 vanishedMs_ = 0;
    // Why devices of the current search could not be opened.
    PortOpenFailures openFailures_;
};

} // namespace vandrel
