// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the station's configuration. The file keeps QSettings' INI form
// (sections, key = value, ';' and '#' comments, values optionally in double
// quotes) but is read here line by line, so every mistake names its line, and
// strictly: a key the station does not know is a mistake, not a silence.
#include "station/StationConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QProcess>
#include <QTcpServer>
#include <QTimeZone>
#include <QUrl>

#include <sys/stat.h>

#include <cmath>
#include <map>

namespace vandrel::station {


int MeterConfig::staleSeconds() const
{
    // A meter sampled every second must not count as stale after one lost frame.
    return std::max(15, staleAfter * std::max(1, rate));
}

QString ConfigError::text(const QString &path) const
{
    return QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(what);
}

namespace {

std::optional<ConfigError> fail(int line, const QString &what)
{
    return ConfigError{line, what};
}

std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok); // QString::toDouble is the C locale's
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> wholeNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toInt();
}

// A folder name that is also a label value without surprises.
bool goodName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]{0,63}$"));
    return pattern.match(name).hasMatch();
}

bool parseListen(const QString &text, QHostAddress &address, quint16 &port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return false; // an IPv6 address needs its brackets
    const std::optional<int> p = wholeNumber(text.mid(colon + 1));
    if (!p || *p < 1 || *p > 65535)
        return false;
    if (host == QLatin1String("localhost"))
        address = QHostAddress(QHostAddress::LocalHost);
    else if (!address.setAddress(host))
        return false;
    port = static_cast<quint16>(*p);
    return true;
}

// The value as QSettings gives it: surrounding blanks gone, and one pair of
// double quotes taken off (a value with ';' or '#' in it is quoted).
QString unquote(QString value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return value;
}

std::optional<ConfigError> setChannelKey(MeterConfig &meter, const QString &key, const QString &value, int line)
{
    for (const Channel channel : kChannels) {
        const QString prefix = QLatin1String(channelKey(channel)) + QLatin1Char('_');
        if (!key.startsWith(prefix))
            continue;
        const QString what = key.mid(prefix.size());
        Limits &limits = meter.limits[static_cast<std::size_t>(channel)];
        if (what == QLatin1String("unit") && isTemperature(channel)) {
            const QString unit = value.toUpper().remove(QChar(0x00B0));
            if (unit != QLatin1String("C") && unit != QLatin1String("F"))
                return fail(line, QStringLiteral("%1 must be C or F, not \"%2\"").arg(key, value));
            limits.unit = unit.front().toLatin1();
            return std::nullopt;
        }
        if (what == QLatin1String("delay")) {
            const std::optional<int> delay = wholeNumber(value);
            if (!delay || *delay > 86400)
                return fail(line, QStringLiteral("%1 must be whole seconds from 0 to 86400, not \"%2\"").arg(key, value));
            limits.delaySeconds = *delay;
            return std::nullopt;
        }
        const std::optional<double> v = number(value);
        if (!v)
            return fail(line, QStringLiteral("%1 must be a number, not \"%2\"").arg(key, value));
        if (what == QLatin1String("low"))
            limits.low = v;
        else if (what == QLatin1String("high"))
            limits.high = v;
        else if (what == QLatin1String("hysteresis") && *v >= 0)
            limits.hysteresis = *v;
        else if (what == QLatin1String("hysteresis"))
            return fail(line, QStringLiteral("%1 must not be negative").arg(key));
        else
            break;
        return std::nullopt;
    }
    return fail(line, QStringLiteral("unknown key \"%1\"").arg(key));
}

std::optional<ConfigError> setMeterKey(MeterConfig &meter, const QString &key, const QString &value, int line)
{
    if (key == QLatin1String("device")) {
        meter.deviceLine = line;
        if (value != QLatin1String("auto")
            && (!value.startsWith(QLatin1Char('/')) || value.endsWith(QLatin1Char('/'))
                || value.contains(QRegularExpression(QStringLiteral("[\\s\\x00-\\x1f]")))))
            return fail(line, QStringLiteral("bad device \"%1\": give a device path such as "
                                             "/dev/serial/by-id/..., or auto").arg(value));
        meter.device = value;
    } else if (key == QLatin1String("name")) {
        if (!goodName(value))
            return fail(line, QStringLiteral("bad name \"%1\": letters, digits, '-', '_' and '.' only "
                                             "(at most 64, not starting with '.' or '-')").arg(value));
        meter.name = value;
    } else if (key == QLatin1String("site")) {
        meter.site = value;
    } else if (key == QLatin1String("rate")) {
        const std::optional<int> rate = wholeNumber(value);
        if (!rate || *rate > kRateMax)
            return fail(line, QStringLiteral("rate must be whole seconds from 0 to %1, not \"%2\"").arg(kRateMax).arg(value));
        meter.rate = *rate;
    } else if (key == QLatin1String("stale_after")) {
        const std::optional<int> n = wholeNumber(value);
        if (!n || *n < 1 || *n > 1000)
            return fail(line, QStringLiteral("stale_after must be a whole number of sampling periods from 1 "
                                             "to 1000, not \"%1\"").arg(value));
        meter.staleAfter = *n;
    } else {
        return setChannelKey(meter, key, value, line);
    }
    return std::nullopt;
}

std::optional<ConfigError> setStationKey(StationConfig &config, const QString &key, const QString &value, int line)
{
    if (key == QLatin1String("data")) {
        if (!value.startsWith(QLatin1Char('/')))
            return fail(line, QStringLiteral("data must be an absolute folder, not \"%1\"").arg(value));
        config.dataFolder = QDir::cleanPath(value);
    } else if (key == QLatin1String("listen")) {
        if (!parseListen(value, config.listenAddress, config.listenPort))
            return fail(line, QStringLiteral("bad listen address \"%1\": give ADDRESS:PORT, "
                                             "such as 127.0.0.1:9713 or [::1]:9713").arg(value));
        config.listenLine = line;
    } else if (key == QLatin1String("time_zone")) {
        if (!QTimeZone(value.toUtf8()).isValid())
            return fail(line, QStringLiteral("unknown time zone \"%1\": give a name such as Europe/Berlin, or UTC").arg(value));
        config.influx.timeZone = value;
    } else if (key == QLatin1String("on_alarm")) {
        const QStringList words = QProcess::splitCommand(value);
        if (words.isEmpty() || !words.first().startsWith(QLatin1Char('/')))
            return fail(line, QStringLiteral("on_alarm must start with the command's absolute path"));
        config.onAlarm = value;
    } else {
        return fail(line, QStringLiteral("unknown key \"%1\" in [station]").arg(key));
    }
    return std::nullopt;
}

std::optional<ConfigError> checkMeter(const MeterConfig &meter)
{
    if (meter.device.isEmpty())
        return fail(meter.line, QStringLiteral("[%1] has no device").arg(meter.section));
    for (const Channel channel : kChannels) {
        const Limits &l = meter.limits[static_cast<std::size_t>(channel)];
        if (l.low && l.high && *l.low >= *l.high)
            return fail(meter.line, QStringLiteral("[%1] %2_low (%3) must be below %2_high (%4)")
                                        .arg(meter.section, QLatin1String(channelKey(channel)))
                                        .arg(*l.low)
                                        .arg(*l.high));
    }
    return std::nullopt;
}

std::optional<bool> yesNo(const QString &text)
{
    const QString t = text.toLower();
    if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("on") || t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("off") || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<ConfigError> readable(const QString &key, const QString &value, int line, QString &into)
{
    if (!value.startsWith(QLatin1Char('/')))
        return fail(line, QStringLiteral("%1 must be an absolute path, not \"%2\"").arg(key, value));
    into = value;
    return std::nullopt;
}

// A topic prefix: levels of their own, never a wildcard.
bool goodTopicPrefix(const QString &text)
{
    return !text.isEmpty() && !text.contains(QLatin1Char('+')) && !text.contains(QLatin1Char('#'))
           && !text.startsWith(QLatin1Char('/')) && !text.endsWith(QLatin1Char('/'));
}

std::optional<ConfigError> setMqttKey(StationConfig &config, const QString &key, const QString &value, int line)
{
    publish::MqttSettings &m = config.mqtt;
    if (key == QLatin1String("host")) {
        if (value.isEmpty() || value.contains(QRegularExpression(QStringLiteral("[\\s/]"))))
            return fail(line, QStringLiteral("bad host \"%1\": give the broker's name or address").arg(value));
        m.host = value;
    } else if (key == QLatin1String("port")) {
        const std::optional<int> p = wholeNumber(value);
        if (!p || *p < 1 || *p > 65535)
            return fail(line, QStringLiteral("port must be from 1 to 65535, not \"%1\"").arg(value));
        m.port = *p;
    } else if (key == QLatin1String("client_id")) {
        if (value.isEmpty() || value.size() > 128)
            return fail(line, QStringLiteral("client_id must have 1 to 128 characters"));
        m.clientId = value;
    } else if (key == QLatin1String("protocol")) {
        if (value != QLatin1String("3.1.1") && value != QLatin1String("5"))
            return fail(line, QStringLiteral("protocol must be 3.1.1 or 5, not \"%1\"").arg(value));
        m.protocol = value == QLatin1String("5") ? 5 : 4;
    } else if (key == QLatin1String("username")) {
        m.username = value;
    } else if (key == QLatin1String("password")) {
        m.password = value;
        config.holdsSecret = config.holdsSecret || !value.isEmpty();
    } else if (key == QLatin1String("password_file")) {
        return readable(key, value, line, m.passwordFile);
    } else if (key == QLatin1String("prefix") || key == QLatin1String("discovery_prefix")) {
        if (!goodTopicPrefix(value))
            return fail(line, QStringLiteral("bad %1 \"%2\": topic levels without '+', '#' or a leading or trailing '/'").arg(key, value));
        (key == QLatin1String("prefix") ? m.prefix : m.discoveryPrefix) = value;
    } else if (key == QLatin1String("discovery")) {
        const std::optional<bool> on = yesNo(value);
        if (!on)
            return fail(line, QStringLiteral("discovery must be yes or no, not \"%1\"").arg(value));
        m.discovery = *on;
    } else if (key == QLatin1String("keepalive")) {
        const std::optional<int> s = wholeNumber(value);
        if (!s || *s < 5 || *s > 3600)
            return fail(line, QStringLiteral("keepalive must be whole seconds from 5 to 3600, not \"%1\"").arg(value));
        m.keepAlive = *s;
    } else if (key == QLatin1String("ca_file")) {
        return readable(key, value, line, m.caFile);
    } else if (key == QLatin1String("cert_file")) {
        return readable(key, value, line, m.certFile);
    } else if (key == QLatin1String("key_file")) {
        return readable(key, value, line, m.keyFile);
    } else {
        return fail(line, QStringLiteral("unknown key \"%1\" in [mqtt]").arg(key));
    }
    return std::nullopt;
}

std::optional<ConfigError> setInfluxKey(StationConfig &config, const QString &key, const QString &value, int line)
{
    publish::InfluxSettings &i = config.influx;
    if (key == QLatin1String("url")) {
        const QUrl url(value, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
            || url.host().isEmpty() || url.hasQuery())
            return fail(line, QStringLiteral("bad url \"%1\": give http://HOST:PORT or https://HOST:PORT").arg(value));
        i.url = value;
    } else if (key == QLatin1String("database")) {
        i.database = value;
    } else if (key == QLatin1String("retention_policy")) {
        i.retentionPolicy = value;
    } else if (key == QLatin1String("username")) {
        i.username = value;
    } else if (key == QLatin1String("password")) {
        i.password = value;
        config.holdsSecret = config.holdsSecret || !value.isEmpty();
    } else if (key == QLatin1String("password_file")) {
        return readable(key, value, line, i.passwordFile);
    } else if (key == QLatin1String("org")) {
        i.org = value;
    } else if (key == QLatin1String("bucket")) {
        i.bucket = value;
    } else if (key == QLatin1String("token")) {
        i.token = value;
        config.holdsSecret = config.holdsSecret || !value.isEmpty();
    } else if (key == QLatin1String("token_file")) {
        return readable(key, value, line, i.tokenFile);
    } else if (key == QLatin1String("batch")) {
        const std::optional<int> n = wholeNumber(value);
        if (!n || *n < 1 || *n > 5000)
            return fail(line, QStringLiteral("batch must be from 1 to 5000 points, not \"%1\"").arg(value));
        i.batch = *n;
    } else {
        return fail(line, QStringLiteral("unknown key \"%1\" in [influxdb]").arg(key));
    }
    return std::nullopt;
}

std::optional<ConfigError> checkOutputs(const StationConfig &config, int mqttLine, int influxLine)
{
    const publish::MqttSettings &m = config.mqtt;
    if (m.enabled) {
        if (m.host.isEmpty())
            return fail(mqttLine, QStringLiteral("[mqtt] needs host"));
        if (!m.password.isEmpty() && !m.passwordFile.isEmpty())
            return fail(mqttLine, QStringLiteral("[mqtt] has both password and password_file: keep one"));
        if ((!m.password.isEmpty() || !m.passwordFile.isEmpty()) && m.username.isEmpty())
            return fail(mqttLine, QStringLiteral("[mqtt] has a password but no username"));
        if (!m.certFile.isEmpty() != !m.keyFile.isEmpty())
            return fail(mqttLine, QStringLiteral("[mqtt] cert_file and key_file go together"));
        if (!m.certFile.isEmpty() && m.caFile.isEmpty())
            return fail(mqttLine, QStringLiteral("[mqtt] a client certificate needs ca_file (TLS)"));
    }
    const publish::InfluxSettings &i = config.influx;
    if (i.enabled) {
        const bool v1 = !i.database.isEmpty();
        const bool v2 = !i.bucket.isEmpty() || !i.org.isEmpty() || !i.token.isEmpty() || !i.tokenFile.isEmpty();
        if (v1 == v2)
            return fail(influxLine, QStringLiteral("[influxdb] needs either database (1.x) or org, bucket and token (2.x)"));
        if (v2 && (i.bucket.isEmpty() || i.org.isEmpty() || (i.token.isEmpty() == i.tokenFile.isEmpty())))
            return fail(influxLine, QStringLiteral("[influxdb] 2.x needs org, bucket and one of token or token_file"));
        if (!i.password.isEmpty() && !i.passwordFile.isEmpty())
            return fail(influxLine, QStringLiteral("[influxdb] has both password and password_file: keep one"));
    }
    return std::nullopt;
}

} // namespace

QStringList configWarnings(const StationConfig &config)
{
    QStringList out;
    struct stat st{};
    if (config.holdsSecret && ::stat(QFile::encodeName(config.path).constData(), &st) == 0 && (st.st_mode & S_IROTH))
        out << QStringLiteral("%1 holds a password or token and every user can read it: "
                              "chmod o-r it, or give password_file / token_file instead").arg(config.path);
    return out;
}

namespace {

QString listenText(const StationConfig &config)
{
    const QString host = config.listenAddress.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(config.listenAddress.toString())
                             : config.listenAddress.toString();
    return QStringLiteral("%1:%2").arg(host).arg(config.listenPort);
}

} // namespace

std::optional<ConfigError> parseStationConfig(const QByteArray &text, StationConfig &config)
{
    enum class In { Nothing, Station, Meter, Mqtt, Influx } in = In::Nothing;
    int mqttLine = 0, influxLine = 0;
    std::map<QString, int> sectionsSeen;
    QSet<QString> keysSeen;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        QByteArray raw = lines.at(i);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.contains('\0'))
            return fail(lineNo, QStringLiteral("the file holds a NUL byte"));
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return fail(lineNo, QStringLiteral("a section header must end with ']'"));
            const QString section = line.mid(1, line.size() - 2).trimmed();
            if (const auto seen = sectionsSeen.find(section); seen != sectionsSeen.end())
                return fail(lineNo, QStringLiteral("section [%1] given twice (first on line %2)").arg(section).arg(seen->second));
            sectionsSeen.emplace(section, lineNo);
            keysSeen.clear();
            if (section == QLatin1String("station")) {
                in = In::Station;
                if (config.listenLine == 0)
                    config.listenLine = lineNo;
            } else if (section == QLatin1String("mqtt")) {
                in = In::Mqtt;
                mqttLine = lineNo;
                config.mqtt.enabled = true;
            } else if (section == QLatin1String("influxdb")) {
                in = In::Influx;
                influxLine = lineNo;
                config.influx.enabled = true;
            } else if (section.startsWith(QLatin1String("meter"))) {
                in = In::Meter;
                MeterConfig meter;
                meter.section = section;
                meter.line = lineNo;
                // [meter.archive] is the meter "archive" unless it names itself.
                QString name = section.mid(5);
                while (!name.isEmpty() && QStringLiteral(".:-_ ").contains(name.front()))
                    name.remove(0, 1);
                meter.name = goodName(name) ? name : goodName(section) ? section : QString();
                config.meters.append(meter);
            } else {
                return fail(lineNo, QStringLiteral("unknown section [%1]: use [station], [mqtt], [influxdb], or [meter...] for a meter").arg(section));
            }
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return fail(lineNo, QStringLiteral("expected key = value"));
        const QString key = line.left(equals).trimmed();
        const QString value = unquote(line.mid(equals + 1));
        if (in == In::Nothing)
            return fail(lineNo, QStringLiteral("key \"%1\" before any section").arg(key));
        if (keysSeen.contains(key))
            return fail(lineNo, QStringLiteral("key \"%1\" given twice in this section").arg(key));
        keysSeen.insert(key);
        const auto error = in == In::Station ? setStationKey(config, key, value, lineNo)
                           : in == In::Mqtt  ? setMqttKey(config, key, value, lineNo)
                           : in == In::Influx ? setInfluxKey(config, key, value, lineNo)
                                              : setMeterKey(config.meters.last(), key, value, lineNo);
        if (error)
            return error;
    }
    if (auto error = checkOutputs(config, mqttLine, influxLine))
        return error;
    if (config.meters.isEmpty())
        return fail(1, QStringLiteral("no meter: add a [meter...] section with its device"));
    std::map<QString, int> names;
    int autoLine = 0;
    for (const MeterConfig &meter : config.meters) {
        if (auto error = checkMeter(meter))
            return error;
        if (meter.name.isEmpty())
            return fail(meter.line, QStringLiteral("[%1] needs a name (letters, digits, '-', '_', '.')").arg(meter.section));
        if (const auto seen = names.find(meter.name); seen != names.end())
            return fail(meter.line, QStringLiteral("meter name \"%1\" already used on line %2").arg(meter.name).arg(seen->second));
        names.emplace(meter.name, meter.line);
        if (meter.autoDevice()) {
            if (autoLine != 0)
                return fail(meter.deviceLine, QStringLiteral("only one meter may have device = auto (another on line %1)").arg(autoLine));
            autoLine = meter.deviceLine;
        }
    }
    return std::nullopt;
}

bool sameMeter(const MeterConfig &a, const MeterConfig &b)
{
    return a.device == b.device && a.name == b.name && a.site == b.site && a.rate == b.rate && a.limits == b.limits
           && a.staleAfter == b.staleAfter;
}

std::optional<ConfigError> checkStationConfig(const StationConfig &config, bool checkListen)
{
    std::map<QString, int> devices;
    for (const MeterConfig &meter : config.meters) {
        if (meter.autoDevice())
            continue;
        // Two names for one device (a by-id link and its ttyUSB) are one port.
        const QString canonical = QFileInfo(meter.device).canonicalFilePath();
        const QString key = canonical.isEmpty() ? QDir::cleanPath(meter.device) : canonical;
        if (const auto seen = devices.find(key); seen != devices.end())
            return fail(meter.deviceLine, QStringLiteral("device %1 is already used by the meter on line %2")
                                              .arg(meter.device)
                                              .arg(seen->second));
        devices.emplace(key, meter.deviceLine);
    }
    if (!checkListen)
        return std::nullopt;
    QTcpServer probe;
    if (!probe.listen(config.listenAddress, config.listenPort))
        return fail(std::max(1, config.listenLine),
                    QStringLiteral("cannot listen on %1: %2").arg(listenText(config), probe.errorString()));
    return std::nullopt;
}

QString loadStationConfig(const QString &path, StationConfig &config, bool checkSystem, bool checkListen)
{
    config = StationConfig{};
    config.path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
    // A configuration is small; a huge file is a mistake, not a config.
    if (file.size() > 1024 * 1024)
        return QStringLiteral("%1: too large for a configuration").arg(path);
    const QByteArray text = file.readAll();
    std::optional<ConfigError> error = parseStationConfig(text, config);
    if (!error && checkSystem)
        error = checkStationConfig(config, checkListen);
    return error ? error->text(path) : QString();
}

} // namespace vandrel::station
