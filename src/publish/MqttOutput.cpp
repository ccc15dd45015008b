// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT output over libmosquitto, driven by this thread's event loop.
#include "publish/MqttOutput.h"

#include "publish/MqttMessages.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QHostInfo>
#include <QSocketNotifier>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace vandrel::publish {

namespace {

void initialiseLibrary()
{
    // The library keeps its own process-wide state; once is enough.
    static const int done = mosquitto_lib_init();
    (void)done;
}

QString reasonOf(int rc, int savedErrno, const QString &lastError)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    if (rc == MOSQ_ERR_TLS && !lastError.isEmpty())
        return QStringLiteral("TLS failure: %1").arg(lastError);
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

MqttOutput::MqttOutput(MqttSettings settings, QString cursorFolder, std::function<void(const QString &)> log,
                       QObject *parent)
    : QObject(parent), settings_(std::move(settings)), cursorFolder_(std::move(cursorFolder)), log_(std::move(log))
{
    initialiseLibrary();
    clientId_ = settings_.clientId.isEmpty() ? QStringLiteral("vandrel-station-") + QHostInfo::localHostName()
                                             : settings_.clientId;
    settings_.batch = std::clamp(settings_.batch, 1, 10000);
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, [this] {
        if (mosq_ && mosquitto_loop_misc(mosq_) != MOSQ_ERR_SUCCESS && connected_)
            lose(QStringLiteral("no answer to the keep-alive"));
        // A host that never answers (its packets dropped) would otherwise
        // keep a connection pending for the system's own minutes.
        const qint64 limit = std::max(10, settings_.keepAlive) * 1000LL;
        if (mosq_ && !connected_ && connecting_.isValid() && connecting_.elapsed() > limit)
            lose(QStringLiteral("no answer within %1 s").arg(limit / 1000));
        pumpAll();
    });
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MqttOutput::connectNow);
}

MqttOutput::~MqttOutput()
{
    stop();
}

QString MqttOutput::brokerText() const
{
    return QStringLiteral("%1:%2").arg(settings_.host).arg(settings_.effectivePort());
}

void MqttOutput::setMeters(const std::vector<MeterSource> &meters)
{
    std::vector<std::unique_ptr<Feed>> next = keepFeeds(feeds_, meters, [this](const MeterSource &source) {
        auto feed = std::make_unique<Feed>();
        feed->source = source;
        // Home automation wants the present, not a year of history: a meter
        // new to this output starts at the end of its record.
        feed->cursor = std::make_unique<RecordCursor>(source.recordFolder,
                                                      cursorFolder_ + QStringLiteral("/mqtt-") + source.name,
                                                      FreshStart::End);
        const QString note = feed->cursor->load();
        if (!note.isEmpty())
            log_(QStringLiteral("MQTT: meter %1: %2").arg(source.name, note));
        return feed;
    });
    // Messages of a meter no longer delivered are left to their fate; its
    // place stays on the disk for when it comes back.
    std::erase_if(inflight_, [&](const auto &entry) {
        return std::none_of(next.begin(), next.end(), [&](const std::unique_ptr<Feed> &f) { return f.get() == entry.second; });
    });
    feeds_ = std::move(next);
    pumpAll();
}

void MqttOutput::start()
{
    running_ = true;
    tick_.start();
    connectNow();
}

void MqttOutput::wake(const QString &meter)
{
    if (meter.isEmpty()) {
        pumpAll();
        return;
    }
    for (const auto &feed : feeds_)
        if (feed->source.name == meter && connected_)
            pump(*feed);
    updateWriteInterest();
}

void MqttOutput::connectNow()
{
    retry_.stop();
    if (!running_ || mosq_)
        return;
    mosq_ = mosquitto_new(clientId_.toUtf8().constData(), true, this);
    if (!mosq_) {
        log_(QStringLiteral("MQTT: cannot make a client: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        scheduleRetry();
        return;
    }
    ++generation_;
    refusalLogged_ = false;
    connecting_.start();
    lastError_.clear();
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, settings_.protocol == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    mosquitto_int_option(mosq_, MOSQ_OPT_SEND_MAXIMUM, 65535);
    mosquitto_connect_callback_set(mosq_, [](struct mosquitto *, void *self, int rc) {
        static_cast<MqttOutput *>(self)->onConnack(rc);
    });
    mosquitto_publish_callback_set(mosq_, [](struct mosquitto *, void *self, int mid) {
        auto *out = static_cast<MqttOutput *>(self);
        if (mid == out->stopMid_)
            out->stopAcked_ = true;
        QMetaObject::invokeMethod(out, [out, mid, gen = out->generation_] {
            if (gen == out->generation_)
                out->onPuback(mid);
        }, Qt::QueuedConnection);
    });
    mosquitto_log_callback_set(mosq_, [](struct mosquitto *, void *self, int level, const char *text) {
        if (level == MOSQ_LOG_ERR)
            static_cast<MqttOutput *>(self)->lastError_ = QString::fromUtf8(text);
    });
    const QByteArray avail = availabilityTopic(settings_, clientId_).toUtf8();
    mosquitto_will_set(mosq_, avail.constData(), 7, "offline", 1, true);
    if (!settings_.username.isEmpty()) {
        QString password = settings_.password;
        if (!settings_.passwordFile.isEmpty()) {
            QString error;
            password = readSecretFile(settings_.passwordFile, error);
            if (!error.isEmpty()) {
                lose(error);
                return;
            }
        }
        mosquitto_username_pw_set(mosq_, settings_.username.toUtf8().constData(),
                                  password.isEmpty() ? nullptr : password.toUtf8().constData());
    }
    if (settings_.tls()) {
        const QByteArray ca = QFile::encodeName(settings_.caFile), cert = QFile::encodeName(settings_.certFile),
                         key = QFile::encodeName(settings_.keyFile);
        const int rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                         key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            lose(QStringLiteral("the TLS files cannot be used: %1").arg(reasonOf(rc, errno, lastError_)));
            return;
        }
    }
    errno = 0;
    const int rc = mosquitto_connect_async(mosq_, settings_.host.toUtf8().constData(), settings_.effectivePort(),
                                           settings_.keepAlive);
    if (rc != MOSQ_ERR_SUCCESS) {
        lose(reasonOf(rc, errno, lastError_));
        return;
    }
    const int fd = mosquitto_socket(mosq_);
    readNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &MqttOutput::service);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &MqttOutput::service);
    updateWriteInterest();
}

void MqttOutput::service()
{
    if (!mosq_)
        return;
    const quint64 gen = generation_;
    errno = 0;
    // The library's own loop step without waiting: it also carries a TLS
    // handshake forward, which the plain read and write steps do not.
    const int rc = mosquitto_loop(mosq_, 0, 1);
    const int savedErrno = errno;
    if (gen != generation_ || !mosq_)
        return;
    if (rc != MOSQ_ERR_SUCCESS) {
        lose(reasonOf(rc, savedErrno, lastError_), refusalLogged_);
        return;
    }
    updateWriteInterest();
}

void MqttOutput::updateWriteInterest()
{
    if (writeNotifier_ && mosq_)
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttOutput::teardown()
{
    for (auto *notifier : {readNotifier_.release(), writeNotifier_.release()}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater(); // it may be the one whose signal runs now
        }
    }
    if (mosq_)
        mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    ++generation_;
    inflight_.clear();
    for (auto &feed : feeds_) {
        feed->pending.clear();
        feed->batchRows = 0;
        feed->discoveryKey.clear();
        feed->alarmsSent.clear();
        feed->cursor->rewind();
    }
    if (std::exchange(connected_, false))
        emit connectedChanged(false);
}

void MqttOutput::lose(const QString &why, bool quiet)
{
    if (!mosq_)
        return;
    const bool was = connected_;
    teardown();
    if (!running_)
        return;
    if (!quiet)
        log_(QStringLiteral("MQTT: %1 %2: %3; trying again in %4 s")
                 .arg(was ? QStringLiteral("lost the connection to") : QStringLiteral("cannot connect to"), brokerText(), why)
                 .arg(backoff_));
    scheduleRetry();
}

void MqttOutput::scheduleRetry()
{
    retry_.start(backoff_ * 1000);
    backoff_ = std::min(60, backoff_ * 2);
}

void MqttOutput::onConnack(int rc)
{
    // Called inside the library's loop step.
    if (rc != 0) {
        const char *text = settings_.protocol == 5 ? mosquitto_reason_string(rc) : mosquitto_connack_string(rc);
        log_(QStringLiteral("MQTT: the broker %1 refused the connection: %2; trying again in %3 s")
                 .arg(brokerText(), QString::fromUtf8(text))
                 .arg(backoff_));
        refusalLogged_ = true;
        const quint64 gen = generation_;
        QMetaObject::invokeMethod(this, [this, gen] {
            if (gen == generation_)
                lose(QString(), true);
        }, Qt::QueuedConnection);
        return;
    }
    const quint64 gen = generation_;
    QMetaObject::invokeMethod(this, [this, gen] {
        if (gen != generation_ || !mosq_)
            return;
        connected_ = true;
        backoff_ = 1;
        log_(QStringLiteral("MQTT: connected to %1 as %2").arg(brokerText(), clientId_));
        emit connectedChanged(true);
        publish(availabilityTopic(settings_, clientId_), QByteArrayLiteral("online"), true);
        pumpAll();
        updateWriteInterest();
    }, Qt::QueuedConnection);
}

bool MqttOutput::publish(const QString &topic, const QByteArray &payload, bool retain, int *mid)
{
    if (!mosq_)
        return false;
    errno = 0;
    const int rc = mosquitto_publish(mosq_, mid, topic.toUtf8().constData(), static_cast<int>(payload.size()),
                                     payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        lose(reasonOf(rc, errno, lastError_));
        return false;
    }
    return true;
}

void MqttOutput::pumpAll()
{
    for (std::size_t i = 0; i < feeds_.size() && connected_; ++i)
        pump(*feeds_[i]);
    updateWriteInterest();
}

void MqttOutput::sendDiscovery(Feed &feed, const MeterFacts &facts)
{
    if (!settings_.discovery)
        return;
    QString key = facts.model + QLatin1Char('|') + facts.unit + QLatin1Char('|') + facts.site;
    for (const bool has : facts.channels)
        key += has ? QLatin1Char('1') : QLatin1Char('0');
    for (const auto &alarm : facts.alarms)
        key += QLatin1Char('|') + alarm.first;
    if (key == feed.discoveryKey)
        return;
    for (const MqttMessage &message : discoveryMessages(settings_, clientId_, facts))
        if (!publish(message.topic, message.payload, true))
            return;
    feed.discoveryKey = key;
}

void MqttOutput::pump(Feed &feed)
{
    if (!connected_)
        return;
    MeterFacts facts = feed.source.facts ? feed.source.facts() : MeterFacts{};
    if (facts.name.isEmpty())
        facts.name = feed.source.name;
    sendDiscovery(feed, facts);
    if (const QByteArray alarms = alarmsMessage(facts); alarms != feed.alarmsSent && mosq_) {
        if (!publish(alarmsTopic(settings_, facts), alarms, true))
            return;
        feed.alarmsSent = alarms;
    }
    // One batch of a meter in flight at a time: its place is saved once the
    // broker has confirmed all of it.
    if (!feed.pending.isEmpty())
        return;
    const QString topic = stateTopic(settings_, facts);
    for (int round = 0; round < 8 && mosq_; ++round) {
        const std::vector<RecordRow> rows = feed.cursor->next(settings_.batch);
        if (rows.empty())
            return;
        feed.batchEnd = rows.back().end;
        feed.batchRows = static_cast<int>(rows.size());
        RecordSampleReader reader;
        for (const RecordRow &row : rows) {
            const std::optional<RecordSample> sample = reader.read(row.line);
            if (!sample) {
                if (feed.badFile != row.end.file)
                    log_(QStringLiteral("MQTT: meter %1: a row of %2 cannot be read and is not published (%3)")
                             .arg(feed.source.name, row.end.file, QString::fromUtf8(row.line.data(), qsizetype(row.line.size())).left(80)));
                feed.badFile = row.end.file;
                continue;
            }
            int mid = 0;
            if (!publish(topic, stateMessage(*sample, facts), false, &mid))
                return;
            feed.pending.insert(mid);
            inflight_[mid] = &feed;
        }
        if (!feed.pending.isEmpty())
            return;
        commitBatch(feed); // nothing of it could be read
    }
}

void MqttOutput::commitBatch(Feed &feed)
{
    // A failing disk is said once, not for every batch, and when it is over.
    QString error;
    if (!feed.cursor->commit(feed.batchEnd, error)) {
        if (error != feed.saveProblem)
            log_(QStringLiteral("MQTT: meter %1: %2 (the rows will be sent again after a restart)").arg(feed.source.name, error));
        feed.saveProblem = error;
    } else if (!feed.saveProblem.isEmpty()) {
        log_(QStringLiteral("MQTT: meter %1: the delivered place is saved again").arg(feed.source.name));
        feed.saveProblem.clear();
    }
    confirmedRows_ += feed.batchRows;
    emit rowsConfirmed(feed.source.name, feed.batchRows);
    feed.batchRows = 0;
}

void MqttOutput::onPuback(int mid)
{
    const auto it = inflight_.find(mid);
    if (it == inflight_.end())
        return; // the availability or a discovery config
    Feed *feed = it->second;
    inflight_.erase(it);
    feed->pending.remove(mid);
    if (!feed->pending.isEmpty())
        return;
    commitBatch(*feed);
    pump(*feed);
    updateWriteInterest();
}

void MqttOutput::stop()
{
    running_ = false;
    retry_.stop();
    tick_.stop();
    if (mosq_ && connected_) {
        // "offline" goes first, and its confirmation is awaited (a moment at
        // most): closing with an answer of the broker still unread would
        // reset the connection, the broker might then drop our DISCONNECT
        // unread and speak the will as well. Should the bytes not get out at
        // all, the will says the same.
        int mid = 0;
        if (publish(availabilityTopic(settings_, clientId_), QByteArrayLiteral("offline"), true, &mid)) {
            stopMid_ = mid;
            stopAcked_ = false;
            const QDeadlineTimer deadline(2000);
            while (mosq_ && !stopAcked_ && !deadline.hasExpired())
                if (mosquitto_loop(mosq_, 50, 1) != MOSQ_ERR_SUCCESS)
                    break;
        }
        if (mosq_) {
            mosquitto_disconnect(mosq_);
            for (int i = 0; i < 100 && mosq_ && mosquitto_want_write(mosq_); ++i)
                if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS)
                    break;
        }
    }
    if (mosq_)
        teardown();
}

} // namespace vandrel::publish
