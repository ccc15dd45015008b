// SPDX-License-Identifier: GPL-3.0-or-later
// The meter link. Port failures never reach it: the line swallows them and
// reports a closed port or nothing received, and the link keeps going.
#include "meter/MeterLink.h"

#include "meter/BusyFlag.h"
#include "meter/ComPortLine.h"
#include "meter/ConnectionText.h"
#include "meter/FrameCutter.h"
#include "meter/ModelTraits.h"
#include "meter/TickRegulation.h"
#include "meter/WaitMs.h"

#include <QElapsedTimer>

namespace vandrel {

namespace {

const QString kIdentifying = QStringLiteral("Identifying\u2026");

// A device under probe: a line of its own, opened for the probe alone.
class ProbedLine : public ProbeLine {
public:
    ProbedLine(std::unique_ptr<SerialLine> line, const QString &path) : line_(std::move(line))
    {
        line_->open(path);
    }
    bool isOpen() const { return line_->isOpen(); }
    int error() const { return line_->error(); }
    void write(char byte) override { line_->write(byte); }
    QByteArray readAvailable() override { return line_->readAll(); }

private:
    std::unique_ptr<SerialLine> line_;
};

} // namespace

LinkClock LinkClock::system()
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    return {[clock] { return clock->elapsed(); }, [](int ms) { WaitMs(ms); }, true};
}

MeterLink::MeterLink(TComPort &port, MeterReading &reading, MeterIdentity &identity, QObject *parent)
    : QObject(parent), ownLine_(std::make_unique<ComPortLine>(port)), line_(*ownLine_),
      makeLine_([] { return std::make_unique<ComPortLine>(); }), clock_(LinkClock::system()), reading_(reading),
      identity_(identity)
{
    init();
}

MeterLink::MeterLink(SerialLine &line, SerialLineFactory makeLine, MeterReading &reading, MeterIdentity &identity,
                     LinkClock clock, QObject *parent)
    : QObject(parent), line_(line), makeLine_(std::move(makeLine)), clock_(std::move(clock)), reading_(reading),
      identity_(identity)
{
    init();
}

MeterLink::~MeterLink()
{
    line_.setVanishedHandler(nullptr);
    line_.setReadyHandler(nullptr);
}

void MeterLink::init()
{
    aTimer_.setInterval(kPollMs);
    aTimer_.setTimerType(Qt::PreciseTimer);
    mainTimer_.setInterval(kTickMs);
    mainTimer_.setTimerType(Qt::PreciseTimer);
    connect(&aTimer_, &QTimer::timeout, this, &MeterLink::poll);
    connect(&mainTimer_, &QTimer::timeout, this, &MeterLink::tick);
    line_.setVanishedHandler([this] { onDeviceVanished(); });
}

void MeterLink::setPorts(const QStringList &ports)
{
    ports_.set(ports);
    emit portsChanged();
    selectPort(ports_.index());
}

void MeterLink::preferPort(const QString &device)
{
    QStringList list = ports_.items();
    list.removeAll(device);
    list.prepend(device);
    setPorts(list);
}

// While no meter is connected the list follows the system's devices, so an
// adapter plugged in after start-up is found; a new one is searched at once.
void MeterLink::watchDevices()
{
    if (closing_ || searching_ || state_.MeterConnected)
        return;
    QString appeared;
    if (!ports_.follow(appeared))
        return;
    emit portsChanged();
    emit portIndexChanged(ports_.index());
    if (!appeared.isEmpty()) {
        QTimer::singleShot(0, this, [this, appeared] {
            const int index = ports_.indexOf(appeared);
            if (index >= 0)
                searchAgainFrom(index);
        });
    }
}

void MeterLink::selectPort(int index)
{
    ports_.select(index);
    emit portIndexChanged(index);
}

bool MeterLink::openSelected()
{
    const QString path = ports_.selectedPath();
    return !path.isEmpty() && line_.open(path);
}

void MeterLink::attachReception()
{
    line_.setReadyHandler([this] { onBytesReceived(); });
}

// Asks every port at once, the list read from `first` round to the one before
// it (the order of preference). A device that cannot be opened but may open
// later (refused, busy, not plugged in yet) stays in the list and is tried
// again; any other leaves it for the rest of the run. Returns the index of the
// meter's port, with its identity in `found`, or -1.
int MeterLink::probePorts(int first, MeterIdentity &found)
{
    std::vector<std::unique_ptr<ProbedLine>> lines;
    std::vector<ProbeLine *> open;
    QStringList openItems;
    QStringList dropped;
    const QStringList items = ports_.items();
    const int n = static_cast<int>(items.size());
    for (int k = 0; k < n; ++k) {
        const QString item = items.at((first + k) % n);
        auto line = std::make_unique<ProbedLine>(makeLine_(), devicePath(item));
        if (!line->isOpen()) {
            openFailures_.note(devicePath(item), line->error());
            if (PortOpenFailures::worthRetrying(line->error()))
                ports_.markForRetry(item);
            else
                dropped << item;
            continue;
        }
        ports_.unmarkForRetry(item);
        open.push_back(line.get());
        openItems << item;
        lines.push_back(std::move(line));
    }
    if (!dropped.isEmpty()) {
        for (const QString &item : std::as_const(dropped))
            ports_.remove(item);
        emit portsChanged();
    }
    if (open.empty())
        return -1;

    emit statusTextChanged(QStringLiteral("Searching Meter on ") + openItems.join(QStringLiteral(", ")));
    ProbeSession probe(open);
    probe.onAnswered = [&](int line) {
        emit statusTextChanged(QStringLiteral("Trying %1\u2026").arg(devicePath(openItems.at(line))));
    };
    const qint64 start = clock_.now();
    probe.start(0);
    int meter = -1;
    while (!closing_) {
        meter = probe.step(clock_.now() - start);
        if (meter >= 0 || probe.finished())
            break;
        clock_.wait(kReplyCheckMs);
    }
    if (meter < 0)
        return -1;
    found = probe.identity(meter);
    return ports_.indexOf(openItems.at(meter));
}

void MeterLink::searchMeter()
{
    searchFrom(0);
}

void MeterLink::searchFrom(int first)
{
    {
        BusyFlag busy(searching_);
        emit searchRunningChanged(true);
        line_.close();
        line_.setReadyHandler(nullptr);
        openFailures_.clear();
        identifying_ = awaitingReply_ = askPending_ = false;
        MeterIdentity identity;
        const int found = ports_.isEmpty() ? -1 : probePorts(qBound(0, first, ports_.size() - 1), identity);
        finishSearch(found, identity);
    }
    emit searchRunningChanged(false);
    emit searchFinished(state_.MeterConnected);
}

void MeterLink::finishSearch(int found, const MeterIdentity &identity)
{
    if (found >= 0 && !closing_) {
        // The probe's own line is closed by now; the link's takes its place.
        selectPort(found);
        if (openSelected()) {
            line_.purgeInput();
            state_.RxBuffer.clear();
            attachReception();
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
    line_.close();
    attachReception();
    if (closing_)
        return;
    identified_ = false;
    // A device the user may not open, or one another program holds, may be
    // where the meter is: say so rather than just "No Connection".
    const QString refused = openFailures_.statusText();
    emit statusTextChanged(refused.isEmpty() ? noConnectionText() : refused);
    emit noLinkVisibleChanged(true);
    if (state_.LastConnectedPort >= ports_.size() || state_.LastConnectedPort < 0)
        state_.LastConnectedPort = 0;
    selectPort(ports_.isEmpty() ? -1 : state_.LastConnectedPort);
    // Keep listening there: a meter switched on later is identified once its
    // frames come, and then counts as connected.
    if (!closing_)
        openSelected();
}

void MeterLink::searchAgainFrom(int index)
{
    // A lent port or a closing link: no search then.
    if (closing_ || searching_ || state_.MeterConnected || ports_.isEmpty() || !running_)
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
    if (ports_.retry().isEmpty() || closing_ || searching_ || state_.MeterConnected || identifying_ || !running_)
        return;
    for (const QString &item : ports_.retry()) {
        if (!ProbedLine(makeLine_(), devicePath(item)).isOpen())
            continue;
        const int index = ports_.indexOf(item);
        ports_.unmarkForRetry(item);
        if (index >= 0)
            QTimer::singleShot(0, this, [this, index] { searchAgainFrom(index); });
        return;
    }
}

QString MeterLink::connectedText() const
{
    return line_.path() + modelNote_;
}

void MeterLink::adoptIdentity(const MeterIdentity &id, const QString &note)
{
    identity_ = id;
    identified_ = true;
    identifying_ = awaitingReply_ = askPending_ = false;
    modelNote_ = note;
    if (note.isEmpty() && isKnownModel(id.MeterModel))
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
        identifyStartMs_ = clock_.now();
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
    line_.purgeInput();
    line_.write('K');
    awaitingReply_ = true;
    replySentMs_ = clock_.now();
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
        emit statusTextChanged(noConnectionText());
        return;
    }
    if (clock_.now() - identifyStartMs_ < kIdentifyGiveUpMs)
        return;
    MeterIdentity assumed;
    assumed.MeterModel = rememberedModel_;
    adoptIdentity(assumed, QStringLiteral(" \u2014 the meter does not say its model; taken as the %1 identified last")
                               .arg(rememberedModel_));
}

void MeterLink::poll()
{
    if (awaitingReply_) {
        // Polls stay out of the way of the reply to "K"; past the reply
        // window they go on, and the meter is asked again after its next frames.
        if (clock_.now() - replySentMs_ < kIdentifyMs)
            return;
        awaitingReply_ = false;
    }
    if (!state_.SkipNextPoll && line_.isOpen()) {
        if (askPending_)
            askIdentity();
        else
            line_.write('A');
        return;
    }
    // A skipped poll will bring no frame: count it back so a key press does
    // not push the watchdog toward "lost". A closed port polls nothing and
    // counts nothing, so a vanished device is noticed by the watchdog.
    if (state_.SkipNextPoll)
        --state_.MissedTicks;
    state_.SkipNextPoll = false;
}

void MeterLink::onBytesReceived()
{
    BusyFlag busy(state_.RxBusy);
    state_.RxBuffer += line_.readAll();
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

void MeterLink::tick()
{
    BusyFlag busy(state_.MainTimerBusy);
    tickTime_ = QDateTime::currentDateTime();

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
        emit frameMissed();
        if (++state_.MissedTicks >= kWatchdogTicks) {
            emit runEnabledChanged(false);
            line_.purgeInput();
            setConnected(false);
            // Whatever comes back on this port (the same meter switched on
            // again, or another one on the same cable) says its model first.
            identified_ = false;
            state_.MissedTicks = 0;
            emit statusTextChanged(noConnectionText());
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
    const qint64 now = clock_.now();
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
    vanishedDevice_ = line_.path();
    vanishedMs_ = clock_.now();
}

// After an adapter was pulled, try its device every few seconds while no
// meter counts as connected; frames then make it connected again.
void MeterLink::tryReopenVanished()
{
    if (!vanished_ || closing_ || state_.MeterConnected || line_.isOpen())
        return;
    if (clock_.now() - vanishedMs_ < kReopenMs)
        return;
    vanishedMs_ = clock_.now();
    if (line_.open(vanishedDevice_)) {
        vanished_ = false;
        line_.purgeInput();
    }
}

void MeterLink::choosePort(int index, const QString &text)
{
    if (state_.MainTimerBusy || searching_) {
        // The tick or the search is running further down the stack; come back
        // when it is done (the user's choice then wins).
        QTimer::singleShot(10, this, [this, index, text] { choosePort(index, text); });
        return;
    }
    vanished_ = false;
    // The meter behind the chosen port says its model before its frames count.
    identified_ = false;
    identifying_ = awaitingReply_ = askPending_ = false;
    line_.close();
    // A path typed into the box joins the list.
    bool added = false;
    index = ports_.choose(index, text, added);
    if (added)
        emit portsChanged();
    emit portIndexChanged(index);
    line_.open(devicePath(text));
    state_.LastConnectedPort = index;
}

void MeterLink::sendKey(const QByteArray &bytes)
{
    state_.SkipNextPoll = true;
    for (const char byte : bytes)
        line_.write(byte);
}

void MeterLink::startTimers()
{
    running_ = true;
    if (!clock_.realTimers)
        return;
    // The first poll goes out at once rather than a poll period later.
    if (!aTimer_.isActive())
        QTimer::singleShot(0, this, [this] {
            if (aTimer_.isActive())
                poll();
        });
    aTimer_.start();
    mainTimer_.start();
}

void MeterLink::stopTimers()
{
    running_ = false;
    aTimer_.stop();
    mainTimer_.stop();
}

MeterLink::PortLease MeterLink::lendPort(int busyWaitMs)
{
    // Only a handler further down this very stack can stay busy that long,
    // and it cannot finish before we return; after the limit the port goes
    // anyway (every call in those handlers tolerates a closed port).
    for (int waited = 0; state_.MainTimerBusy && waited < busyWaitMs; waited += kReplyCheckMs)
        clock_.wait(kReplyCheckMs);
    stopTimers();
    for (int waited = 0; state_.RxBusy && waited < busyWaitMs; waited += kReplyCheckMs)
        clock_.wait(kReplyCheckMs);
    line_.setReadyHandler(nullptr);
    return PortLease(*this);
}

MeterLink::PortLease::PortLease(PortLease &&other) noexcept : link_(std::exchange(other.link_, nullptr)) {}

MeterLink::PortLease::~PortLease()
{
    if (link_)
        link_->giveBack();
}

// Frame reception back on the port, the port reopened, both timers running.
void MeterLink::giveBack()
{
    const QString path = line_.path();
    line_.close();
    attachReception();
    if (closing_)
        return;
    if (!path.isEmpty())
        line_.open(path);
    startTimers();
}

bool MeterLink::shutDown()
{
    closing_ = true;
    stopTimers();
    if (state_.MainTimerBusy || state_.RxBusy || searching_)
        return false;
    line_.close();
    return true;
}

} // namespace vandrel
