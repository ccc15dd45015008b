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
    configureMeterPort(port_);

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
    for (const QString &item : before) {
        if (!now.contains(item))
            retry_.removeAll(item);
    }
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

namespace {

// A device under probe: a port of its own, opened for the probe alone.
class ComPortLine : public ProbeLine {
public:
    explicit ComPortLine(const QString &path)
    {
        port_.setOnError([this](TComPort &, const EComError &e, TComAction &action) {
            error_ = e.ErrorCode;
            action = TComAction::caAbort;
        });
        configureMeterPort(port_);
        quietly([&] { port_.setDeviceName(path); });
        quietly([&] { port_.Open(); });
    }
    bool isOpen() const { return port_.Active(); }
    int error() const { return error_; }
    void write(char byte) override { quietly([&] { port_.Write(&byte, 1, false); }); }
    QByteArray readAvailable() override
    {
        QByteArray got;
        quietly([&] {
            const int n = port_.InputCount();
            if (n <= 0)
                return;
            got.resize(n);
            got.resize(port_.Read(got.data(), n, false));
        });
        return got;
    }

private:
    TComPort port_;
    int error_ = 0;
};

const QString kIdentifying = QStringLiteral("Identifying\u2026");

} // namespace

void configureMeterPort(TComPort &port)
{
    port.setBaudRate(9600);
    port.setDataBits(8);
    port.setParity(TParity::paNone);
    port.setStopBits(TStopBits::sb1);
}

// Asks every port at once, the list read from `first` round to the one before
// it (the order of preference). A device that cannot be opened but may open
// later (refused, busy, not plugged in yet) stays in the list and is tried
// again; any other leaves it for the rest of the run. Returns the index of the
// meter's port, with its identity in `found`, or -1.
int MeterLink::probePorts(int first, MeterIdentity &found)
{
    std::vector<std::unique_ptr<ComPortLine>> lines;
    std::vector<ProbeLine *> open;
    QStringList openItems;
    QStringList dropped;
    const int n = static_cast<int>(ports_.size());
    for (int k = 0; k < n; ++k) {
        const QString item = ports_.at((first + k) % n);
        auto line = std::make_unique<ComPortLine>(devicePath(item));
        if (!line->isOpen()) {
            openFailures_.note(devicePath(item), line->error());
            if (PortOpenFailures::worthRetrying(line->error())) {
                if (!retry_.contains(item))
                    retry_ << item;
            } else {
                dropped << item;
            }
            continue;
        }
        retry_.removeAll(item);
        open.push_back(line.get());
        openItems << item;
        lines.push_back(std::move(line));
    }
    if (!dropped.isEmpty()) {
        for (const QString &item : std::as_const(dropped))
            ports_.removeAll(item);
        emit portsChanged();
    }
    if (open.empty())
        return -1;

    emit statusTextChanged(QStringLiteral("Searching Meter on ") + openItems.join(QStringLiteral(", ")));
    ProbeSession probe(open);
    probe.onAnswered = [&](int line) {
        emit statusTextChanged(QStringLiteral("Trying %1\u2026").arg(devicePath(openItems.at(line))));
    };
    QElapsedTimer clock;
    clock.start();
    probe.start(0);
    int meter = -1;
    while (!closing_) {
        meter = probe.step(clock.elapsed());
        if (meter >= 0 || probe.finished())
            break;
        WaitMs(kReplyCheckMs);
    }
    if (meter < 0)
        return -1;
    found = probe.identity(meter);
    return static_cast<int>(ports_.indexOf(openItems.at(meter)));
}

void MeterLink::SearchMeter()
{
    searchFrom(0);
}

void MeterLink::searchFrom(int first)
{
    {
        BusyFlag busy(searching_);
        emit searchRunningChanged(true);
        closeQuietly();
        port_.setOnRxChar(nullptr);
        openFailures_.clear();
        identifying_ = awaitingReply_ = askPending_ = false;
        MeterIdentity identity;
        const int last = static_cast<int>(ports_.size()) - 1;
        const int found = ports_.isEmpty() ? -1 : probePorts(qBound(0, first, last), identity);
        finishSearch(found, identity);
    }
    emit searchRunningChanged(false);
    emit searchFinished(state_.MeterConnected);
}

void MeterLink::finishSearch(int found, const MeterIdentity &identity)
{
    if (found >= 0 && !closing_) {
        // The probe's own port is closed by now; the link's takes its place.
        selectPort(found);
        if (tryOpen()) {
            quietly([&] { port_.PurgeInput(); });
            state_.RxBuffer.clear();
            port_.setOnRxChar([this] { Comm1RxChar(); });
            state_.LastConnectedPort = found;
            state_.MissedTicks = 0;
            adoptIdentity(identity, QString());
            setConnected(true);
            emit runEnabledChanged(true);
            emit stopEnabledChanged(false);
            emit statusTextChanged(connectedText());
            emit noLinkVisibleChanged(false);
            return;
        }
    }
    closeQuietly();
    port_.setOnRxChar([this] { Comm1RxChar(); });
    if (closing_)
        return;
    identified_ = false;
    // A device the user may not open, or one another program holds, may be
    // where the meter is: say so rather than just "No Connection".
    const QString refused = openFailures_.statusText();
    emit statusTextChanged(refused.isEmpty() ? kNoConnection : refused);
    emit noLinkVisibleChanged(true);
    if (state_.LastConnectedPort >= ports_.size() || state_.LastConnectedPort < 0)
        state_.LastConnectedPort = 0;
    selectPort(ports_.isEmpty() ? -1 : state_.LastConnectedPort);
    // Keep listening there: a meter switched on later is identified once its
    // frames come, and then counts as connected.
    if (!ports_.isEmpty() && !closing_)
        tryOpen();
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

// While no meter is connected, a device that was refused, busy or missing is
// tried again once a tick: the user may have been given access, the other
// program may have let go, the device may have been plugged in.
void MeterLink::retryRefused()
{
    if (retry_.isEmpty() || closing_ || searching_ || state_.MeterConnected || identifying_ ||
        !mainTimer_.isActive())
        return;
    for (const QString &item : std::as_const(retry_)) {
        const ComPortLine line(devicePath(item));
        if (!line.isOpen())
            continue;
        const int index = static_cast<int>(ports_.indexOf(item));
        retry_.removeAll(item);
        if (index >= 0)
            QTimer::singleShot(0, this, [this, index] { searchAgainFrom(index); });
        return;
    }
}

QString MeterLink::connectedText() const
{
    return port_.DeviceName() + modelNote_;
}

void MeterLink::adoptIdentity(const MeterIdentity &id, const QString &note)
{
    identity_ = id;
    identified_ = true;
    identifying_ = awaitingReply_ = askPending_ = false;
    modelNote_ = note;
    if (note.isEmpty() && models::isKnown(id.MeterModel))
        rememberedModel_ = id.MeterModel;
    else if (!note.isEmpty())
        emit statusTextChanged(connectedText());
    emit meterIdentified();
}

// Frames came from a meter that has not said which model it is: ask it
// before anything is decoded, shown or recorded.
void MeterLink::noteUnidentifiedFrames()
{
    quietTicks_ = 0;
    if (!identifying_) {
        identifying_ = true;
        identifyClock_.start();
        emit statusTextChanged(kIdentifying);
    }
    if (!awaitingReply_)
        askPending_ = true;
}

// In place of a poll: "K", and no poll until the reply is in or overdue.
void MeterLink::askIdentity()
{
    askPending_ = false;
    state_.RxBuffer.clear();
    quietly([&] { port_.PurgeInput(); });
    writeQuietly('K');
    awaitingReply_ = true;
    replyClock_.start();
}

void MeterLink::takeReply()
{
    if (state_.RxBuffer.size() < 4)
        return;
    const QByteArray reply = state_.RxBuffer.left(4);
    state_.RxBuffer.clear();
    awaitingReply_ = false;
    MeterIdentity id;
    // A frame start is a poll answer that crossed the request, not a reply.
    if (!reply.contains(char(kFrameStart)) && IdentifyMeter(reply, id))
        adoptIdentity(id, QString());
}

// Once a tick while identifying: a meter that keeps sending frames without
// ever answering "K" is taken for the model identified last time; one that
// fell silent is no longer waited for.
void MeterLink::checkIdentifying()
{
    if (!identifying_)
        return;
    if (++quietTicks_ > kWatchdogTicks) {
        identifying_ = awaitingReply_ = askPending_ = false;
        emit statusTextChanged(kNoConnection);
        return;
    }
    if (identifyClock_.elapsed() < kIdentifyGiveUpMs)
        return;
    MeterIdentity assumed;
    assumed.MeterModel = rememberedModel_;
    adoptIdentity(assumed, QStringLiteral(" \u2014 the meter does not say its model; taken as the %1 identified last")
                               .arg(rememberedModel_));
}

void MeterLink::ATimerTimer()
{
    if (awaitingReply_) {
        // Polls stay out of the way of the reply to "K"; past the reply
        // window they go on, and the meter is asked again after its next frames.
        if (replyClock_.elapsed() < kIdentifyMs)
            return;
        awaitingReply_ = false;
    }
    if (!state_.SkipNextPoll && port_.Active()) {
        if (askPending_)
            askIdentity();
        else
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
    if (awaitingReply_) {
        takeReply();
        return;
    }
    const std::vector<DisplayFrame> frames = cutFrames(state_.RxBuffer);
    if (frames.empty())
        return;
    if (!identified_) {
        noteUnidentifiedFrames();
        return;
    }
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

    checkIdentifying();
    if (state_.FrameSeen) {
        if (!state_.MeterConnected) {
            setConnected(true);
            emit runEnabledChanged(true);
            emit statusTextChanged(connectedText());
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
            // Whatever comes back on this port (the same meter switched on
            // again, or another one on the same cable) says its model first.
            identified_ = false;
            state_.MissedTicks = 0;
            emit statusTextChanged(kNoConnection);
            emit meterLost();
        }
    } else {
        emit noLinkVisibleChanged(true);
    }

    regulateInterval();
    if (!state_.MeterConnected)
        mainTimer_.setInterval(kTickMs);
    tryReopenVanished();
    watchDevices();
    retryRefused();
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
    identified_ = false;
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
    // The meter behind the chosen port says its model before its frames count.
    identified_ = false;
    identifying_ = awaitingReply_ = askPending_ = false;
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
