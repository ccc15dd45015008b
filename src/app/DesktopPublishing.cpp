// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's publishing.
#include "app/DesktopPublishing.h"

#include "publish/RecordCursor.h"
#include "records/TableFile.h"
#include "records/RecordFiles.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QRegularExpression>
#include <QSettings>

namespace vandrel {

namespace {

const QString kGroup = QStringLiteral("Publishing");

} // namespace

PublishingSettings PublishingSettings::load(QSettings &store)
{
    PublishingSettings s;
    store.beginGroup(kGroup);
    s.enabled = store.value(QStringLiteral("Enabled"), false).toBool();
    s.mqtt.host = store.value(QStringLiteral("Host")).toString().trimmed();
    bool ok = false;
    const int port = store.value(QStringLiteral("Port"), 0).toInt(&ok);
    s.mqtt.port = ok && port >= 0 && port <= 65535 ? port : 0;
    s.mqtt.clientId = store.value(QStringLiteral("ClientId")).toString().trimmed();
    s.mqtt.protocol = store.value(QStringLiteral("Protocol"), 4).toInt() == 5 ? 5 : 4;
    s.mqtt.username = store.value(QStringLiteral("Username")).toString();
    s.mqtt.passwordFile = store.value(QStringLiteral("PasswordFile")).toString();
    s.mqtt.prefix = store.value(QStringLiteral("Prefix"), s.mqtt.prefix).toString().trimmed();
    s.mqtt.discovery = store.value(QStringLiteral("Discovery"), true).toBool();
    s.mqtt.discoveryPrefix = store.value(QStringLiteral("DiscoveryPrefix"), s.mqtt.discoveryPrefix).toString().trimmed();
    s.mqtt.caFile = store.value(QStringLiteral("CaFile")).toString();
    s.mqtt.certFile = store.value(QStringLiteral("CertFile")).toString();
    s.mqtt.keyFile = store.value(QStringLiteral("KeyFile")).toString();
    s.site = store.value(QStringLiteral("Site")).toString().trimmed();
    s.meter = store.value(QStringLiteral("Meter"), s.meter).toString().trimmed();
    store.endGroup();
    s.mqtt.enabled = s.enabled;
    return s;
}

void PublishingSettings::save(QSettings &store) const
{
    store.beginGroup(kGroup);
    store.setValue(QStringLiteral("Enabled"), enabled);
    store.setValue(QStringLiteral("Host"), mqtt.host);
    store.setValue(QStringLiteral("Port"), mqtt.port);
    store.setValue(QStringLiteral("ClientId"), mqtt.clientId);
    store.setValue(QStringLiteral("Protocol"), mqtt.protocol);
    store.setValue(QStringLiteral("Username"), mqtt.username);
    store.setValue(QStringLiteral("PasswordFile"), mqtt.passwordFile);
    store.setValue(QStringLiteral("Prefix"), mqtt.prefix);
    store.setValue(QStringLiteral("Discovery"), mqtt.discovery);
    store.setValue(QStringLiteral("DiscoveryPrefix"), mqtt.discoveryPrefix);
    store.setValue(QStringLiteral("CaFile"), mqtt.caFile);
    store.setValue(QStringLiteral("CertFile"), mqtt.certFile);
    store.setValue(QStringLiteral("KeyFile"), mqtt.keyFile);
    store.setValue(QStringLiteral("Site"), site);
    store.setValue(QStringLiteral("Meter"), meter);
    store.endGroup();
}

QString PublishingSettings::problem() const
{
    if (!enabled)
        return {};
    static const QRegularExpression blankOrSlash(QStringLiteral("[\\s/]"));
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]{0,63}$"));
    if (mqtt.host.isEmpty() || mqtt.host.contains(blankOrSlash))
        return QStringLiteral("Give the broker's host name or address.");
    if (!name.match(meter).hasMatch())
        return QStringLiteral("The meter name may hold letters, digits, '-', '_' and '.' only.");
    for (const QString &prefix : {mqtt.prefix, mqtt.discoveryPrefix})
        if (prefix.isEmpty() || prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#'))
            || prefix.startsWith(QLatin1Char('/')) || prefix.endsWith(QLatin1Char('/')))
            return QStringLiteral("A topic prefix must not be empty, hold '+' or '#', or start or end with '/'.");
    if (!mqtt.passwordFile.isEmpty() && mqtt.username.isEmpty())
        return QStringLiteral("A password file needs a user name.");
    for (const QString &file : {mqtt.passwordFile, mqtt.caFile, mqtt.certFile, mqtt.keyFile})
        if (!file.isEmpty() && !QFile::exists(file))
            return QStringLiteral("The file %1 is not there.").arg(file);
    if (mqtt.certFile.isEmpty() != mqtt.keyFile.isEmpty())
        return QStringLiteral("A client certificate needs its key, and a key its certificate.");
    if (!mqtt.certFile.isEmpty() && mqtt.caFile.isEmpty())
        return QStringLiteral("A client certificate needs the CA file (TLS).");
    return {};
}

DesktopPublisher::DesktopPublisher(QString folder, std::function<void(const QString &)> log, QObject *parent)
    : QObject(parent), folder_(std::move(folder)), log_(std::move(log))
{
}

DesktopPublisher::~DesktopPublisher() = default;

QString DesktopPublisher::recordFolder() const
{
    return folder_ + QLatin1Char('/') + settings_.meter;
}

void DesktopPublisher::apply(const PublishingSettings &settings, std::function<RunFacts()> facts)
{
    facts_ = std::move(facts);
    if (output_ && settings == settings_)
        return;
    if (output_)
        output_->stop();
    output_.reset();
    files_.reset();
    settings_ = settings;
    if (!settings.enabled || !settings.problem().isEmpty())
        return;
    files_ = std::make_unique<RecordFiles>(recordFolder());
    publish::MqttSettings mqtt = settings.mqtt;
    mqtt.enabled = true;
    if (mqtt.clientId.isEmpty()) // not the id of a station on the same machine
        mqtt.clientId = QStringLiteral("vandrel-desktop-") + QHostInfo::localHostName();
    output_ = std::make_unique<publish::MqttOutput>(mqtt, folder_ + QStringLiteral("/.cursors"), log_);
    const QString name = settings.meter, site = settings.site;
    output_->setMeters({{name, recordFolder(), [this, name, site] {
                             publish::MeterFacts f;
                             f.name = name;
                             f.site = site;
                             const RunFacts run = facts_ ? facts_() : RunFacts{};
                             f.model = run.model;
                             f.channels = {true, true, run.twoTemperatures, run.dewPoint};
                             f.unit = run.unit;
                             return f;
                         }}});
    connect(output_.get(), &publish::MqttOutput::rowsConfirmed, this, &DesktopPublisher::dropDeliveredDays);
    output_->start();
}

void DesktopPublisher::record(const QDateTime &now, const QStringList &cells)
{
    if (!files_ || !output_)
        return;
    // A row that cannot be written waits in memory and goes with the next.
    if (files_->append(now.date(), tableRowLine(cells, ',')))
        output_->wake();
}

void DesktopPublisher::dropDeliveredDays()
{
    // Days before the one being delivered are sent and confirmed: only the
    // run's own table and journal keep them.
    QFile cursor(folder_ + QStringLiteral("/.cursors/mqtt-") + settings_.meter);
    if (!cursor.open(QIODevice::ReadOnly))
        return;
    publish::RecordPlace place;
    if (!publish::RecordCursor::parsePlace(cursor.read(256), place))
        return;
    for (const QString &file : publish::RecordCursor::recordFiles(recordFolder()))
        if (file < place.file)
            QFile::remove(recordFolder() + QLatin1Char('/') + file);
}

} // namespace vandrel
