// SPDX-License-Identifier: GPL-3.0-or-later
// The meter link. Every port failure arrives here as the silent abort (the
// port's error hook is set that way) and is swallowed: the link keeps going.
#include "meter/MeterLink.h"

#include "meter/FrameCutter.h"
#include "meter/TickRegulation.h"
#include "meter/WaitMs.h"

namespace vandrel {

namespace {

const QString kNoConnection = QStringLiteral("No Connection");

// Sets a flag for the life of a scope, whatever way the scope is left.
class BusyFlag {
public:
    explicit BusyFlag(bool &flag) : flag_(flag) { flag_ = true; }
    ~BusyFlag() { flag_ = false; }
    BusyFlag(const BusyFlag &) = delete;
    BusyFlag &operator=(const BusyFlag &) = delete;

private:
    bool &flag_;
};

template <typename F>
bool quietly(F &&f)
{
    try {
        f();
        return true;
    } catch (const EAbort &) {
    } catch (const EComError &) {
    }
    return false;
}

} // namespace

MeterLink::MeterLink(TComPort &port, MeterReading &reading, MeterIdentity &identity, QObject *parent)
    : QObject(parent), port_(port), reading_(reading), identity_(identity)
{
    // Every port failure becomes the silent abort; callers below swallow it.
    // The error number is kept so a search can tell the user why a device
    // could not be opened.
    port_.setOnError([this](TComPort &, const EComError &e, TComAction &action) {
        lastPortError_ = e.ErrorCode;
        action = TComAction::caAbort;
    });
    port_.setBaudRate(9600);
    port_.setDataBits(8);
    port_.setParity(TParity::paNone);
    port_.setStopBits(TStopBits::sb1);

    aTimer_.setInterval(kPollMs);
    aTimer_.setTimerType(Qt::PreciseTimer);
    mainTimer_.setInterval(kTickMs);
    mainTimer_.setTimerType(Qt::PreciseTimer);
    connect(&aTimer_, &QTimer::timeout, this, &MeterLink::ATimerTimer);
    connect(&mainTimer_, &QTimer::timeout, this, &MeterLink::MainTimerTimer);
    connect(&port_, &TComPort::deviceVanished, this, &MeterLink::onDeviceVanished);
    tickClock_.start();
}

QString MeterLink::devicePath(const QString &item)
{
    const QString t = item.trimmed();
    return t.startsWith(QLatin1Char('/')) ? t : QStringLiteral("/dev/") + t;
}

QStringList MeterLink::preferredFirst(const QStringList &preferred, const QStringList &system)
{
    QStringList order;
    QStringList paths;
    for (const QStringList *list : {&preferred, &system}) {
        for (const QString &item : *list) {
            const QString path = devicePath(item);
            if (item.trimmed().isEmpty() || paths.contains(path))
                continue;
            paths << path;
            order << item;
        }
    }
    return order;
}

QStringList MeterLink::followDevices(const QStringList &ports, const QStringList &before, const QStringList &after)
{
    QStringList list;
    for (const QString &item : ports) {
        if (!before.contains(item) || after.contains(item))
            list << item;
    }
    QStringList paths;
    for (const QString &item : list)
        paths << devicePath(item);
    for (const QString &item : after) {
        if (!before.contains(item) && !paths.contains(devicePath(item))) {
            list << item;
            paths << devicePath(item);
        }
    }
    return list;
}

void MeterLink::setDeviceSource(DeviceSource source)
{
    deviceSource_ = std::move(source);
    knownDevices_ = deviceSource_ ? deviceSource_() : QStringList();
}

// While no meter is connected the list follows the system's devices, so an
// adapter plugged in after start-up is found; a new one is searched at once.
void MeterLink::watchDevices()
{
    if (!deviceSource_ || closing_ || searching_ || state_.MeterConnected)
        return;
    const QStringList now = deviceSource_();
    if (now == knownDevices_)
        return;
    const QStringList before = knownDevices_;
    knownDevices_ = now;
    const QString selected = portIndex_ >= 0 && portIndex_ < ports_.size() ? ports_.at(portIndex_) : QString();
    ports_ = followDevices(ports_, before, now);
    emit portsChanged();
    portIndex_ = ports_.indexOf(selected);
    emit portIndexChanged(portIndex_);
    for (const QString &item : now) {
        if (!before.contains(item)) {
            QTimer::singleShot(0, this, [this, item] { searchNewDevice(item); });
            return;
        }
    }
}

void MeterLink::searchNewDevice(const QString &item)
{
    const int index = ports_.indexOf(item);
    if (index >= 0)
        searchAgainFrom(index);
}

void MeterLink::setPorts(const QStringList &ports)
{
    ports_ = ports;
    emit portsChanged();
    selectPort(ports_.isEmpty() ? -1 : 0);
}

void MeterLink::preferPort(const QString &device)
{
    QStringList list = ports_;
    list.removeAll(device);
    list.prepend(device);
    setPorts(list);
}

void MeterLink::fillPortList()
{
    QStringList list;
    TComPort::EnumComDevices(list);
    setPorts(list);
}

void MeterLink::selectPort(int index)
{
    portIndex_ = index;
    emit portIndexChanged(index);
    if (index >= 0 && index < ports_.size())
        quietly([&] { port_.setDeviceName(devicePath(ports_.at(index))); });
}

bool MeterLink::tryOpen()
{
    lastPortError_ = 0;
    quietly([&] { port_.setActive(true); });
    return port_.Active();
}

void MeterLink::closeQuietly()
{
    quietly([&] { port_.Close(); });
}

void MeterLink::writeQuietly(char byte)
{
    quietly([&] { port_.Write(&byte, 1, false); });
}

// Waits up to the identification window for the four-byte reply to "K". The
// reply takes a few milliseconds on the line, so the wait ends as soon as it
// is in: only a port that stays silent costs the whole window.
bool MeterLink::waitForReply()
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int waiting = 0;
        quietly([&] { waiting = port_.InputCount(); });
        if (waiting >= 4)
            return true;
        const qint64 left = kIdentifyMs - clock.elapsed();
        if (left <= 0 || closing_)
            return false;
        WaitMs(static_cast<int>(qMin<qint64>(left, kReplyCheckMs)));
    }
}

// Tries the device at `index`: "K", then the four-byte reply.
// Leaves the port open when a meter answered with a known model.
bool MeterLink::tryIdentifyOn(int index)
{
    writeQuietly('K');
    if (!waitForReply()) {
        closeQuietly();
        return false;
    }
    char reply[4] = {};
    if (!quietly([&] { port_.Read(reply, 4, true); })) {
        closeQuietly();
        return false;
    }
    setConnected(IdentifyMeter(QByteArray(reply, 4), identity_));
    if (!state_.MeterConnected) {
        closeQuietly();
        return false;
    }
    emit runEnabledChanged(true);
    emit stopEnabledChanged(false);
    state_.LastConnectedPort = index;
    return true;
}

void MeterLink::SearchMeter()
{
    searchFrom(0);
}

// Tries each port once, starting at `first` and going round the list.
void MeterLink::searchFrom(int first)
{
    BusyFlag busy(searching_);
    onTrial_ = false;
    closeQuietly();
    port_.setOnRxChar(nullptr);
    openFailures_.clear();
    const int n = static_cast<int>(ports_.size());
    int i = first;
    for (int k = 0; k < n && !ports_.isEmpty() && !closing_; ++k) {
        if (i >= ports_.size())
            i = 0;
        selectPort(i);
        emit statusTextChanged(QStringLiteral("Searching Meter on ") + ports_.at(i));
        if (!tryOpen()) {
            openFailures_.note(port_.DeviceName(), lastPortError_);
            // A device that cannot be opened is dropped for the rest of the run;
            // the next one moves into its place.
            ports_.removeAt(i);
            emit portsChanged();
            continue;
        }
        if (tryIdentifyOn(i))
            break;
        ++i;
    }
    finishSearch();
}

void MeterLink::finishSearch()
{
    if (state_.MeterConnected && !closing_) {
        // The identified port stays open; what followed the reply is dropped.
        WaitMs(100);
        quietly([&] { port_.PurgeInput(); });
        port_.setOnRxChar([this] { Comm1RxChar(); });
        onTrial_ = true;
        state_.LastConnectedPort = portIndex_;
        state_.MissedTicks = 0;
        emit statusTextChanged(port_.DeviceName());
        emit noLinkVisibleChanged(false);
        return;
    }
    closeQuietly();
    port_.setOnRxChar([this] { Comm1RxChar(); });
    if (closing_)
        return;
    // A device the user may not open, or one another program holds, may be
    // where the meter is: say so rather than just "No Connection".
    const QString refused = openFailures_.statusText();
    emit statusTextChanged(refused.isEmpty() ? kNoConnection : refused);
    emit noLinkVisibleChanged(true);
    if (state_.LastConnectedPort >= ports_.size() || state_.LastConnectedPort < 0)
        state_.LastConnectedPort = 0;
    WaitMs(100);
    selectPort(ports_.isEmpty() ? -1 : state_.LastConnectedPort);
    WaitMs(100);
    // Keep listening there: a meter switched on later is picked up by the watchdog.
    if (!ports_.isEmpty() && !closing_)
        tryOpen();
}

// The port on trial never delivered a frame: whatever answered there is not
// the meter. The search goes on with the next port, round the list.
void MeterLink::resumeSearch()
{
    searchAgainFrom(portIndex_ + 1);
}

void MeterLink::searchAgainFrom(int index)
{
    // Stopped timers mean the port was taken over (a download) or the link is
    // closing: no search then.
    if (closing_ || searching_ || state_.MeterConnected || ports_.isEmpty() || !mainTimer_.isActive())
        return;
    stopTimers(); // no poll may mix into an identification reply
    vanished_ = false;
    searchFrom(index);
    state_.FirstTick = true;
    if (!closing_)
        startTimers();
}

void MeterLink::ATimerTimer()
{
    if (!state_.SkipNextPoll && port_.Active()) {
        writeQuietly('A');
        return;
    }
    // A skipped poll will bring no frame: count it back so a key press does
    // not push the watchdog toward "lost". A closed port polls nothing and
    // counts nothing, so a vanished device is noticed by the watchdog.
    if (state_.SkipNextPoll)
        --state_.MissedTicks;
    state_.SkipNextPoll = false;
}

void MeterLink::Comm1RxChar()
{
    BusyFlag busy(state_.RxBusy);
    quietly([&] {
        int n = port_.InputCount();
        // Read through a small buffer in pieces; the byte order is kept and
        // nothing is read past the buffer.
        char buf[64];
        while (n > 0) {
            const int got = port_.Read(buf, qMin<int>(n, sizeof buf), false);
            if (got <= 0)
                break;
            state_.RxBuffer.append(buf, got);
            n -= got;
        }
    });
    const std::vector<DisplayFrame> frames = cutFrames(state_.RxBuffer);
    if (frames.empty())
        return;
    // The frames of one read arrived together; the local time and the
    // decimal separator cost more to look up than a frame to decode, so they
    // are looked up once for all of them.
    const QDateTime now = QDateTime::currentDateTime();
    const DecimalPoint point;
    for (const DisplayFrame &f : frames) {
        state_.FrameSeen = true;
        DecodeFrame(reading_, f, identity_, now, point);
        emit frameDecoded();
    }
}

void MeterLink::setConnected(bool connected)
{
    if (state_.MeterConnected == connected)
        return;
    state_.MeterConnected = connected;
    emit meterConnectedChanged(connected);
}

void MeterLink::MainTimerTimer()
{
    BusyFlag busy(state_.MainTimerBusy);
    tickTime_ = QDateTime::currentDateTime();
    ++state_.TickCounter;

    emit tickStarted();

    if (state_.FrameSeen) {
        onTrial_ = false;
        if (!state_.MeterConnected) {
            setConnected(true);
            emit runEnabledChanged(true);
            emit statusTextChanged(port_.DeviceName());
        }
        emit noLinkVisibleChanged(false);
        state_.FrameSeen = false;
        state_.MissedTicks = 0;
        emit frameTick(tickTime_);
    } else if (state_.MeterConnected) {
        state_.TickCounter = 0;
        if (++state_.MissedTicks >= kWatchdogTicks) {
            emit runEnabledChanged(false);
            quietly([&] { port_.PurgeInput(); });
            setConnected(false);
            state_.MissedTicks = 0;
            emit statusTextChanged(kNoConnection);
            emit meterLost();
            if (onTrial_) {
                onTrial_ = false;
                QTimer::singleShot(0, this, &MeterLink::resumeSearch);
            }
        }
    } else {
        emit noLinkVisibleChanged(true);
    }

    regulateInterval();
    if (!state_.MeterConnected)
        mainTimer_.setInterval(kTickMs);
    tryReopenVanished();
    watchDevices();
}

void MeterLink::regulateInterval()
{
    // A steady clock, so a change of the wall clock cannot stall the tick.
    const qint64 now = tickClock_.elapsed();
    if (state_.FirstTick) {
        state_.FirstTick = false;
    } else {
        mainTimer_.setInterval(regulateTickInterval(mainTimer_.interval(), now - lastTickMs_));
    }
    lastTickMs_ = now;
}

void MeterLink::onDeviceVanished()
{
    vanished_ = true;
    vanishedDevice_ = port_.DeviceName();
    reopenClock_.start();
}

// After an adapter was pulled, try its device every few seconds while no
// meter counts as connected; frames then make it connected again.
void MeterLink::tryReopenVanished()
{
    if (!vanished_ || closing_ || state_.MeterConnected || port_.Active())
        return;
    if (reopenClock_.elapsed() < kReopenMs)
        return;
    reopenClock_.restart();
    quietly([&] { port_.setDeviceName(vanishedDevice_); });
    if (tryOpen()) {
        vanished_ = false;
        quietly([&] { port_.PurgeInput(); });
    }
}

void MeterLink::ComboBoxDeviceNameChange(int index, const QString &text)
{
    if (state_.MainTimerBusy || searching_) {
        // The tick or the search is running further down the stack; come back
        // when it is done (the user's choice then wins).
        QTimer::singleShot(10, this, [this, index, text] { ComboBoxDeviceNameChange(index, text); });
        return;
    }
    vanished_ = false;
    onTrial_ = false; // the user's choice is kept, frames or not
    closeQuietly();
    // A path typed into the box joins the list.
    bool added = false;
    if (index < 0 || index >= ports_.size() || ports_.at(index) != text) {
        index = static_cast<int>(ports_.indexOf(text));
        if (index < 0) {
            ports_.append(text);
            index = static_cast<int>(ports_.size()) - 1;
            added = true;
        }
    }
    portIndex_ = index;
    if (added)
        emit portsChanged();
    emit portIndexChanged(index);
    quietly([&] { port_.setDeviceName(devicePath(text)); });
    tryOpen();
    state_.LastConnectedPort = index;
}

void MeterLink::sendCommand(char byte)
{
    state_.SkipNextPoll = true;
    writeQuietly(byte);
}

void MeterLink::writeCommand(char byte)
{
    writeQuietly(byte);
}

void MeterLink::startTimers()
{
    // The first poll goes out at once rather than a poll period later.
    if (!aTimer_.isActive())
        QTimer::singleShot(0, this, [this] {
            if (aTimer_.isActive())
                ATimerTimer();
        });
    aTimer_.start();
    mainTimer_.start();
}

void MeterLink::stopTimers()
{
    aTimer_.stop();
    mainTimer_.stop();
}

bool MeterLink::FormCloseQuery()
{
    closing_ = true;
    stopTimers();
    if (state_.MainTimerBusy || state_.RxBusy || searching_)
        return false;
    closeQuietly();
    return true;
}

} // namespace vandrel
