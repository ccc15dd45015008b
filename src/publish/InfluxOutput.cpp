// SPDX-License-Identifier: GPL-3.0-or-later
// Line protocol over HTTP.
#include "publish/InfluxOutput.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace vandrel::publish {

QString influxTagText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('=') || c == QLatin1Char(' ') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += (c == QLatin1Char('\n') || c == QLatin1Char('\r')) ? QLatin1Char(' ') : c;
    }
    return out;
}

QByteArray influxLine(const RecordSample &sample, const MeterFacts &meter, const QTimeZone &zone)
{
    QByteArray fields;
    for (std::size_t i = 0; i < sample.values.size(); ++i) {
        if (!sample.values[i])
            continue;
        if (!fields.isEmpty())
            fields += ',';
        fields += channelKey(kChannels[i]);
        fields += '=';
        fields += QByteArray::number(*sample.values[i], 'g', 10);
    }
    if (fields.isEmpty())
        return {};
    // Tags in key order, as the database keeps them.
    QByteArray line = "humidity_temperature";
    const std::pair<const char *, const QString &> tags[] = {{"meter", meter.name}, {"model", meter.model}, {"site", meter.site}};
    for (const auto &[key, value] : tags)
        if (!value.isEmpty())
            line += ',' + QByteArray(key) + '=' + influxTagText(value).toUtf8();
    const qint64 seconds = QDateTime(sample.date, sample.time, zone).toSecsSinceEpoch();
    return line + ' ' + fields + ' ' + QByteArray::number(seconds) + '\n';
}

InfluxOutput::InfluxOutput(InfluxSettings settings, QString cursorFolder, std::function<void(const QString &)> log,
                           QObject *parent)
    : QObject(parent), settings_(std::move(settings)), cursorFolder_(std::move(cursorFolder)), log_(std::move(log)),
      zone_(settings_.timeZone.isEmpty() ? QTimeZone::utc() : QTimeZone(settings_.timeZone.toUtf8()))
{
    settings_.batch = std::clamp(settings_.batch, 1, kMaxBatch);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &InfluxOutput::sendNext);
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &InfluxOutput::sendNext);
}

InfluxOutput::~InfluxOutput()
{
    stop();
}

void InfluxOutput::setMeters(const std::vector<MeterSource> &meters)
{
    std::vector<std::unique_ptr<Feed>> next = keepFeeds(feeds_, meters, [this](const MeterSource &source) {
        auto feed = std::make_unique<Feed>();
        feed->source = source;
        // A time-series database wants the history: a meter new to it is
        // delivered from the start of its record.
        feed->cursor = std::make_unique<RecordCursor>(
            source.recordFolder, cursorFolder_ + QStringLiteral("/influxdb-") + source.name, FreshStart::Beginning);
        const QString note = feed->cursor->load();
        if (!note.isEmpty())
            log_(QStringLiteral("InfluxDB: meter %1: %2").arg(source.name, note));
        return feed;
    });
    for (auto &old : feeds_)
        if (old) // a meter no longer delivered: its batch goes unconfirmed
            abandon(*old);
    feeds_ = std::move(next);
    nextFeed_ = 0;
    sendNext();
}

void InfluxOutput::start()
{
    running_ = true;
    tick_.start();
    sendNext();
}

void InfluxOutput::abandon(Feed &feed)
{
    if (!feed.reply)
        return;
    // Not confirmed: read again from the saved place next time.
    QNetworkReply *reply = std::exchange(feed.reply, nullptr);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    feed.cursor->rewind();
}

int InfluxOutput::inFlight() const
{
    return static_cast<int>(std::count_if(feeds_.begin(), feeds_.end(), [](const auto &f) { return f->reply != nullptr; }));
}

void InfluxOutput::stop()
{
    running_ = false;
    tick_.stop();
    retry_.stop();
    for (auto &feed : feeds_)
        abandon(*feed);
}

void InfluxOutput::wake()
{
    sendNext();
}

QUrl InfluxOutput::writeUrl() const
{
    QUrl url(settings_.url);
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QUrlQuery query;
    if (settings_.version2()) {
        url.setPath(path + QStringLiteral("/api/v2/write"));
        query.addQueryItem(QStringLiteral("org"), settings_.org);
        query.addQueryItem(QStringLiteral("bucket"), settings_.bucket);
    } else {
        url.setPath(path + QStringLiteral("/write"));
        query.addQueryItem(QStringLiteral("db"), settings_.database);
        if (!settings_.retentionPolicy.isEmpty())
            query.addQueryItem(QStringLiteral("rp"), settings_.retentionPolicy);
    }
    query.addQueryItem(QStringLiteral("precision"), QStringLiteral("s"));
    url.setQuery(query);
    return url;
}

void InfluxOutput::sendNext()
{
    if (!running_ || retry_.isActive())
        return;
    for (std::size_t n = 0; n < feeds_.size() && inFlight() < kParallel; ++n) {
        Feed &feed = *feeds_[nextFeed_];
        nextFeed_ = (nextFeed_ + 1) % feeds_.size();
        if (!feed.reply && !sendBatch(feed))
            return;
    }
}

bool InfluxOutput::sendBatch(Feed &feed)
{
    const std::vector<RecordRow> rows = feed.cursor->next(settings_.batch);
    if (rows.empty())
        return true;
    MeterFacts facts = feed.source.facts ? feed.source.facts() : MeterFacts{};
    if (facts.name.isEmpty())
        facts.name = feed.source.name;
    QByteArray body;
    body.reserve(static_cast<qsizetype>(rows.size()) * 100);
    RecordSampleReader reader;
    for (const RecordRow &row : rows) {
        const std::optional<RecordSample> sample = reader.read(row.line);
        if (!sample) {
            if (feed.badFile != row.end.file)
                log_(QStringLiteral("InfluxDB: meter %1: a row of %2 cannot be read and is not written (%3)")
                         .arg(feed.source.name, row.end.file,
                              QString::fromUtf8(row.line.data(), qsizetype(row.line.size())).left(80)));
            feed.badFile = row.end.file;
            continue;
        }
        body += influxLine(*sample, facts, zone_);
    }
    feed.batchEnd = rows.back().end;
    feed.batchRows = static_cast<int>(rows.size());
    if (body.isEmpty()) { // nothing of it to write
        QString error;
        if (!feed.cursor->commit(feed.batchEnd, error))
            log_(QStringLiteral("InfluxDB: meter %1: %2").arg(feed.source.name, error));
        QTimer::singleShot(0, this, &InfluxOutput::sendNext);
        return true;
    }
    QNetworkRequest request(writeUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/plain; charset=utf-8"));
    request.setTransferTimeout(30000);
    QString secretError;
    if (settings_.version2()) {
        const QString token = settings_.tokenFile.isEmpty() ? settings_.token : readSecretFile(settings_.tokenFile, secretError);
        request.setRawHeader("Authorization", "Token " + token.toUtf8());
    } else if (!settings_.username.isEmpty()) {
        const QString password =
            settings_.passwordFile.isEmpty() ? settings_.password : readSecretFile(settings_.passwordFile, secretError);
        request.setRawHeader("Authorization", "Basic " + (settings_.username + QLatin1Char(':') + password).toUtf8().toBase64());
    }
    if (!secretError.isEmpty()) {
        feed.cursor->rewind();
        failed(secretError, true);
        return false;
    }
    QNetworkReply *reply = network_.post(request, body);
    feed.reply = reply;
    Feed *f = &feed;
    connect(reply, &QNetworkReply::finished, this, [this, f, reply] { onReply(f, reply); });
    return true;
}

void InfluxOutput::failed(const QString &why, bool refusal)
{
    // A refusal needs a person (a token, a database): asked again slowly,
    // said once. An outage is retried sooner and said when it changes.
    if (retry_.isActive()) { // the other request in flight met the same
        lastProblem_ = why;
        return;
    }
    if (why != lastProblem_)
        log_(QStringLiteral("InfluxDB: %1 %2; trying again in %3 s, nothing is dropped")
                 .arg(writeUrl().toString(QUrl::RemoveQuery), why)
                 .arg(refusal ? 60 : backoff_));
    lastProblem_ = why;
    retry_.start(refusal ? 60000 : backoff_ * 1000);
    if (!refusal)
        backoff_ = std::min(60, backoff_ * 2);
}

void InfluxOutput::onReply(Feed *feed, QNetworkReply *reply)
{
    reply->deleteLater();
    if (feed->reply != reply)
        return;
    feed->reply = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 200 && status < 300) {
        QString error;
        if (!feed->cursor->commit(feed->batchEnd, error)) {
            if (error != feed->saveProblem)
                log_(QStringLiteral("InfluxDB: meter %1: %2 (the rows will be written again after a restart)")
                         .arg(feed->source.name, error));
            feed->saveProblem = error;
        } else if (!feed->saveProblem.isEmpty()) {
            log_(QStringLiteral("InfluxDB: meter %1: the delivered place is saved again").arg(feed->source.name));
            feed->saveProblem.clear();
        }
        if (!lastProblem_.isEmpty())
            log_(QStringLiteral("InfluxDB: writing again to %1").arg(writeUrl().toString(QUrl::RemoveQuery)));
        lastProblem_.clear();
        backoff_ = 1;
        confirmedRows_ += feed->batchRows;
        emit rowsConfirmed(feed->source.name, feed->batchRows);
        sendNext();
        return;
    }
    feed->cursor->rewind();
    if (status >= 400 && status < 500) {
        const QByteArray body = reply->readAll().trimmed().left(200);
        failed(QStringLiteral("refused the points (HTTP %1: %2)").arg(status).arg(QString::fromUtf8(body)), true);
        return;
    }
    failed(status != 0 ? QStringLiteral("answered HTTP %1").arg(status) : reply->errorString(), false);
}

} // namespace vandrel::publish
