// SPDX-License-Identifier: GPL-3.0-or-later
// The station's wiring.
#include "station/Station.h"

#include "records/TableRow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vandrel::station {

QString logLine(const QDateTime &time, const QString &text)
{
    return QStringLiteral("%1 %2").arg(time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate), text);
}

QString alarmLogText(const AlarmEvent &event)
{
    const QString state = event.change.raised ? QStringLiteral("raised") : QStringLiteral("cleared");
    const QString kind = QLatin1String(alarmKindKey(event.change.kind));
    QString text = QStringLiteral("alarm %1: meter %2").arg(state, event.meter);
    if (!event.site.isEmpty())
        text += QStringLiteral(" (%1)").arg(event.site);
    switch (event.change.kind) {
    case AlarmKind::Low:
    case AlarmKind::High:
        text += QStringLiteral(" %1 %2").arg(event.channel, kind);
        // Both in the reading's unit: a limit set in the other one is converted.
        if (event.value)
            text += QStringLiteral(", value %1%2")
                        .arg(alarmValueText(*event.value))
                        .arg(event.unit.isEmpty() || std::isinf(*event.value) ? QString() : QLatin1Char(' ') + event.unit);
        text += QStringLiteral(", limit %1%2").arg(event.change.limit).arg(event.unit.isEmpty() ? QString() : QLatin1Char(' ') + event.unit);
        break;
    case AlarmKind::Stale:
        text += QStringLiteral(" stale (no reading for %1 s, or not connected)").arg(event.change.limit);
        break;
    case AlarmKind::Storage:
        text += QStringLiteral(" storage (rows cannot be written)");
        break;
    }
    return text;
}

publish::MeterFacts meterFacts(MeterStation &meter)
{
    publish::MeterFacts facts;
    facts.name = meter.config().name;
    facts.site = meter.config().site;
    const MeterIdentity &id = meter.link().identity();
    if (id.MeterModel != 0) {
        facts.model = meter.modelText();
        const TableLayout layout = realTimeTableLayout(id);
        facts.channels = {true, true, layout.twoTemperatures, layout.dewPoint};
    }
    facts.unit = meter.unit(kT1);
    for (const Channel channel : kChannels) {
        const Limits &limits = meter.config().limits[static_cast<std::size_t>(channel)];
        const QString key = QLatin1String(channelKey(channel));
        if (limits.low)
            facts.alarms.append({key + QStringLiteral("_low"), meter.rule(channel).lowRaised()});
        if (limits.high)
            facts.alarms.append({key + QStringLiteral("_high"), meter.rule(channel).highRaised()});
    }
    facts.alarms.append({QStringLiteral("stale"), meter.staleRaised()});
    facts.alarms.append({QStringLiteral("storage"), meter.storageRaised()});
    return facts;
}

Station::Station(StationConfig config, QString version, std::function<MeterParts(const MeterConfig &)> makeParts,
                 QObject *parent)
    : QObject(parent), config_(std::move(config)), version_(std::move(version)), makeParts_(std::move(makeParts)),
      command_(config_.onAlarm, [this](const QString &text) { log(text); }),
      server_([this] { return metrics(); })
{
    uptime_.start();
    for (const MeterConfig &meter : config_.meters) {
        if (meter.autoDevice())
            autoConfig_ = meter;
        else
            meters_.push_back(makeMeter(meter));
    }
    checkTimer_.setInterval(1000);
    connect(&checkTimer_, &QTimer::timeout, this, [this] {
        for (const auto &m : meters_)
            m->check();
    });
}

Station::~Station() = default;

std::unique_ptr<MeterStation> Station::makeMeter(const MeterConfig &meter)
{
    MeterParts parts = makeParts_ ? makeParts_(meter) : MeterParts{};
    auto station = std::make_unique<MeterStation>(meter, config_.dataFolder, std::move(parts), this);
    MeterStation *m = station.get();
    connect(m, &MeterStation::note, this, [this, m](const QString &text) {
        log(QStringLiteral("meter %1: %2").arg(m->config().name, text));
    });
    connect(m, &MeterStation::alarmChanged, this, [this](const AlarmEvent &event) {
        log(alarmLogText(event));
        command_.run(event);
        emit alarmChanged(event);
        if (mqtt_) // the alarms topic now, not only with the next sample
            mqtt_->wake(event.meter);
    });
    connect(m, &MeterStation::rowsRecorded, this, [this, m] {
        if (mqtt_)
            mqtt_->wake(m->config().name);
        if (influx_)
            influx_->wake();
    });
    return station;
}

QStringList Station::claimedDevices() const
{
    // Those being closed too: their ports are still open.
    QStringList claimed;
    for (const auto *list : {&meters_, &retiring_})
        for (const auto &m : *list)
            if (m)
                claimed << m->config().device;
    return claimed;
}

void Station::startFinder()
{
    MeterConfig search = *autoConfig_;
    finder_ = std::make_unique<AutoFinder>(makeParts_ ? makeParts_(search) : MeterParts{},
                                           [this] { return claimedDevices(); }, this);
    // Queued: the finder's link is still in its handler when it tells, and
    // is closed only once that has returned.
    // What a finder tells counts only while it is the station's search: a
    // reload may have retired it in the meantime.
    AutoFinder *finder = finder_.get();
    connect(
        finder, &AutoFinder::found, this,
        [this, finder](const QString &device) {
            if (finder_.get() == finder)
                onFound(device);
        },
        Qt::QueuedConnection);
    connect(
        finder, &AutoFinder::searchAgain, this,
        [this, finder] {
            if (finder_.get() != finder)
                return;
            retireFinder();
            startWhenRetired({});
        },
        Qt::QueuedConnection);
    QTimer::singleShot(0, finder, [finder] { finder->start(); });
}

void Station::retireFinder()
{
    if (finder_)
        retiringFinders_.push_back(std::move(finder_));
}

void Station::onFound(const QString &device)
{
    // The meter gets a link of its own, as a configured one has: the finder
    // lets go of the port, the new meter opens it, and a fresh finder goes on
    // with the devices left.
    MeterConfig meter = *autoConfig_;
    meter.device = stableDevicePath(device);
    meter.foundBy = autoConfig_->name;
    const QString base = foundMeterName(autoConfig_->name, meter.device);
    meter.name = base;
    const auto taken = [this](const QString &name) {
        return std::any_of(meters_.begin(), meters_.end(), [&](const auto &m) { return m && m->config().name == name; });
    };
    for (int n = 2; taken(meter.name); ++n)
        meter.name = base + QLatin1Char('-') + QString::number(n);
    log(QStringLiteral("meter %1 found on %2: recorded as %3").arg(autoConfig_->name, meter.device, meter.name));
    retireFinder();
    meters_.push_back(makeMeter(meter));
    applyOutputs(); // its rows are published like any other meter's
    startWhenRetired({meters_.back().get()});
}

bool Station::reload(const StationConfig &next, QString &error)
{
    bool listening = true;
    if (next.listenAddress != config_.listenAddress || next.listenPort != config_.listenPort) {
        server_.close();
        if (!server_.listen(next.listenAddress, next.listenPort)) {
            error = QStringLiteral("cannot listen on %1:%2: %3; metrics stay on %4:%5")
                        .arg(next.listenAddress.toString())
                        .arg(next.listenPort)
                        .arg(server_.errorString(), config_.listenAddress.toString())
                        .arg(config_.listenPort);
            server_.listen(config_.listenAddress, config_.listenPort);
            listening = false;
        }
    }
    command_.setCommand(next.onAlarm);
    const bool sameFolder = next.dataFolder == config_.dataFolder;
    std::vector<std::unique_ptr<MeterStation>> kept;
    std::vector<QPointer<MeterStation>> fresh;
    int unchanged = 0;
    config_.dataFolder = next.dataFolder; // new meters write there
    std::optional<MeterConfig> nextAuto;
    for (const MeterConfig &meter : next.meters) {
        if (meter.autoDevice()) {
            nextAuto = meter;
            continue;
        }
        auto old = std::find_if(meters_.begin(), meters_.end(), [&](const std::unique_ptr<MeterStation> &m) {
            return m && m->config().foundBy.isEmpty() && sameFolder && sameMeter(m->config(), meter);
        });
        if (old != meters_.end()) {
            kept.push_back(std::move(*old));
            ++unchanged;
        } else {
            kept.push_back(makeMeter(meter));
            fresh.push_back(kept.back().get());
        }
    }
    // An unchanged auto section keeps its search and the meters it found;
    // a changed one starts over with a new search.
    const bool sameAuto = autoConfig_ && nextAuto && sameFolder && sameMeter(*autoConfig_, *nextAuto);
    if (sameAuto) {
        for (auto &m : meters_) {
            if (m && !m->config().foundBy.isEmpty()) {
                kept.push_back(std::move(m));
                ++unchanged;
            }
        }
    } else {
        retireFinder();
    }
    autoConfig_ = nextAuto;
    for (auto &m : meters_) {
        if (m)
            retiring_.push_back(std::move(m));
    }
    meters_ = std::move(kept);
    const StationConfig previous = config_;
    config_ = next;
    if (!listening) {
        config_.listenAddress = previous.listenAddress;
        config_.listenPort = previous.listenPort;
    }
    applyOutputs();
    log(QStringLiteral("configuration reloaded: %1 meter(s) unchanged, %2 started, %3 stopped")
            .arg(unchanged)
            .arg(fresh.size())
            .arg(retiring_.size()));
    startWhenRetired(std::move(fresh));
    return listening;
}

void Station::startWhenRetired(std::vector<QPointer<MeterStation>> fresh)
{
    // A changed meter may use the very device its old self still holds: the
    // new ones start once every retired link has closed its port.
    if (!closeRetired()) {
        QTimer::singleShot(10, this, [this, fresh = std::move(fresh)]() mutable { startWhenRetired(std::move(fresh)); });
        return;
    }
    if (stopping_)
        return;
    for (const QPointer<MeterStation> &m : fresh) {
        if (m) // not replaced again by a later reload
            m->start();
    }
    if (autoConfig_ && !finder_)
        startFinder();
}

bool Station::closeRetired()
{
    std::erase_if(retiring_, [](const std::unique_ptr<MeterStation> &m) { return m->shutDown(); });
    std::erase_if(retiringFinders_, [](const std::unique_ptr<AutoFinder> &f) { return f->shutDown(); });
    return retiring_.empty() && retiringFinders_.empty();
}

void Station::log(const QString &text) const
{
    // One event, one line: a line break in a name or a system message must
    // not split it for the journal.
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), QLatin1String("\\r"));
    const QByteArray line = logLine(QDateTime::currentDateTime(), oneLine).toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}

bool Station::start(QString &error)
{
    if (!server_.listen(config_.listenAddress, config_.listenPort)) {
        error = QStringLiteral("cannot listen on %1:%2: %3")
                    .arg(config_.listenAddress.toString())
                    .arg(config_.listenPort)
                    .arg(server_.errorString());
        return false;
    }
    log(QStringLiteral("station started with %1 meter(s)%2; metrics on %3:%4")
            .arg(meters_.size())
            .arg(autoConfig_ ? QStringLiteral(" and a search for others (device = auto)") : QString())
            .arg(config_.listenAddress.toString())
            .arg(server_.port()));
    checkTimer_.start();
    applyOutputs();
    // Each meter starts from the event loop of its own, so a meter whose
    // search waits does not hold back the start of the ones after it.
    for (const auto &m : meters_) {
        MeterStation *station = m.get();
        QTimer::singleShot(0, station, [station] { station->start(); });
    }
    if (autoConfig_)
        startFinder();
    return true;
}

void Station::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    checkTimer_.stop();
    tryStop();
}

void Station::tryStop()
{
    retireFinder();
    bool all = closeRetired();
    for (const auto &m : meters_)
        all = m->shutDown() && all;
    if (!all) {
        // A search or a tick is still on the stack further down.
        QTimer::singleShot(10, this, &Station::tryStop);
        return;
    }
    // The last rows are on the disk: the outputs say goodbye (what they
    // have not delivered stays in the files for the next start).
    if (mqtt_)
        mqtt_->stop();
    if (influx_)
        influx_->stop();
    log(QStringLiteral("station stopped"));
    emit stopped();
}

std::vector<publish::MeterSource> Station::meterSources()
{
    std::vector<publish::MeterSource> sources;
    for (const auto &m : meters_) {
        const QString name = m->config().name;
        sources.push_back({name, config_.dataFolder + QLatin1Char('/') + name, [this, name] {
                               for (const auto &meter : meters_)
                                   if (meter->config().name == name)
                                       return meterFacts(*meter);
                               return publish::MeterFacts{};
                           }});
    }
    return sources;
}

namespace {

// The output for `settings`: kept while they are the same, made anew (the old
// one stopped) when they changed, none while they are off.
template <class Output, class Settings>
void refreshOutput(std::unique_ptr<Output> &output, const Settings &settings, const QString &cursorFolder,
                   const std::function<void(const QString &)> &log)
{
    if (output && (!settings.enabled || output->settings() != settings)) {
        output->stop();
        output.reset();
    }
    if (settings.enabled && !output) {
        output = std::make_unique<Output>(settings, cursorFolder, log);
        output->start();
    }
}

} // namespace

void Station::applyOutputs()
{
    const std::function<void(const QString &)> logger = [this](const QString &text) { log(text); };
    refreshOutput(mqtt_, config_.mqtt, config_.cursorFolder(), logger);
    refreshOutput(influx_, config_.influx, config_.cursorFolder(), logger);
    if (mqtt_)
        mqtt_->setMeters(meterSources());
    if (influx_)
        influx_->setMeters(meterSources());
}

QByteArray Station::metrics() const
{
    std::vector<const MeterStation *> list;
    list.reserve(meters_.size());
    for (const auto &m : meters_)
        list.push_back(m.get());
    return metricsText(list, uptime_.elapsed() / 1000.0, version_);
}

int Station::alarmsRaised() const
{
    int count = 0;
    for (const auto &m : meters_) {
        count += m->staleRaised() + m->storageRaised();
        for (const Channel channel : kChannels)
            count += m->rule(channel).lowRaised() + m->rule(channel).highRaised();
    }
    return count;
}

QString Station::statusText() const
{
    int connected = 0;
    for (const auto &m : meters_)
        connected += m->connected();
    return QStringLiteral("%1 of %2 meters connected, %3 alarms raised")
        .arg(connected)
        .arg(meters_.size())
        .arg(alarmsRaised());
}

} // namespace vandrel::station
