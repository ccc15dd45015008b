// SPDX-License-Identifier: GPL-3.0-or-later
// The station's configuration: a good file read in full, and a table of bad
// ones, each reported with the line at fault.
#include "station/StationConfig.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string_view>

using namespace vandrel;
using namespace vandrel::station;
using namespace std::string_view_literals;

namespace {

std::optional<ConfigError> parse(const QByteArray &text, StationConfig &config)
{
    config = StationConfig{};
    return parseStationConfig(text, config);
}

} // namespace

TEST(StationConfig, readsEveryKeyOfAGoodFile)
{
    StationConfig c;
    const auto error = parse("; the archive's rooms\r\n"
                             "[station]\n"
                             "data = /srv/climate\n"
                             "listen = [::1]:9100\n"
                             "on_alarm = \"/usr/local/bin/page me\"\n"
                             "\n"
                             "[meter.archive]\n"
                             "device = /dev/serial/by-id/usb-x-if00-port0\n"
                             "site = Room 1; east\n"
                             "rate = 60\n"
                             "humidity_low = 40\n"
                             "humidity_high = 55.5\n"
                             "humidity_hysteresis = 2\n"
                             "humidity_delay = 300\n"
                             "dewpoint_high = 12\n"
                             "stale_after = 3\n"
                             "# the second meter\n"
                             "[meter2]\n"
                             "device = auto\n"
                             "name = cold-store\n",
                             c);
    ASSERT_FALSE(error) << error->what.toStdString();
    EXPECT_EQ(c.dataFolder, "/srv/climate");
    EXPECT_EQ(c.listenAddress, QHostAddress(QHostAddress::LocalHostIPv6));
    EXPECT_EQ(c.listenPort, 9100);
    EXPECT_EQ(c.listenLine, 4);
    EXPECT_EQ(c.onAlarm, "/usr/local/bin/page me");
    ASSERT_EQ(c.meters.size(), 2);
    const MeterConfig &a = c.meters[0];
    EXPECT_EQ(a.name, "archive");
    EXPECT_EQ(a.site, "Room 1; east");
    EXPECT_EQ(a.device, "/dev/serial/by-id/usb-x-if00-port0");
    EXPECT_EQ(a.deviceLine, 8);
    EXPECT_EQ(a.rate, 60);
    const Limits &rh = a.limits[0];
    EXPECT_EQ(rh.low, 40.0);
    EXPECT_EQ(rh.high, 55.5);
    EXPECT_EQ(rh.hysteresis, 2.0);
    EXPECT_EQ(rh.delaySeconds, 300);
    EXPECT_EQ(a.limits[3].high, 12.0);
    EXPECT_EQ(a.limits[3].hysteresis, 1.0); // the default
    EXPECT_FALSE(a.limits[1].any());
    EXPECT_EQ(a.staleSeconds(), 180);
    EXPECT_EQ(c.meters[1].name, "cold-store");
    EXPECT_TRUE(c.meters[1].autoDevice());
    EXPECT_EQ(c.meters[1].staleSeconds(), 15); // 5 x 2 s is raised to the floor
}

TEST(StationConfig, readsTheOutputsAndWarnsOfAPasswordEveryUserCanRead)
{
    StationConfig c;
    ASSERT_FALSE(parse("[station]\ntime_zone = Europe/Berlin\n[meter]\ndevice = /dev/ttyUSB0\n"
                       "[mqtt]\nhost = broker.lan\nprotocol = 5\nusername = st\npassword = \"s;cret\"\n"
                       "ca_file = /etc/ssl/ca.crt\ndiscovery = no\nkeepalive = 30\nprefix = home/climate\n"
                       "[influxdb]\nurl = http://127.0.0.1:8086\norg = o\nbucket = b\ntoken_file = /etc/vandrel/token\nbatch = 200\n",
                       c));
    EXPECT_TRUE(c.mqtt.enabled);
    EXPECT_EQ(c.mqtt.host, QStringLiteral("broker.lan"));
    EXPECT_EQ(c.mqtt.protocol, 5);
    EXPECT_EQ(c.mqtt.password, QStringLiteral("s;cret"));
    EXPECT_EQ(c.mqtt.effectivePort(), 8883); // TLS
    EXPECT_FALSE(c.mqtt.discovery);
    EXPECT_EQ(c.mqtt.keepAlive, 30);
    EXPECT_EQ(c.mqtt.prefix, QStringLiteral("home/climate"));
    EXPECT_TRUE(c.influx.enabled);
    EXPECT_TRUE(c.influx.version2());
    EXPECT_EQ(c.influx.tokenFile, QStringLiteral("/etc/vandrel/token"));
    EXPECT_EQ(c.influx.batch, 200);
    EXPECT_EQ(c.influx.timeZone, QStringLiteral("Europe/Berlin"));
    EXPECT_TRUE(c.holdsSecret);

    QTemporaryDir dir;
    c.path = dir.filePath(QStringLiteral("station.conf"));
    QFile file(c.path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    ASSERT_EQ(configWarnings(c).size(), 1);
    EXPECT_TRUE(configWarnings(c).first().contains(QStringLiteral("password_file")));
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    EXPECT_TRUE(configWarnings(c).isEmpty());
    c.holdsSecret = false; // a password from its own file
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther));
    EXPECT_TRUE(configWarnings(c).isEmpty());
}

TEST(StationConfig, defaultsListenOnLoopbackOnly)
{
    StationConfig c;
    ASSERT_FALSE(parse("[meter]\ndevice = /dev/ttyUSB0\n", c));
    EXPECT_EQ(c.listenAddress, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(c.listenPort, 9713);
    EXPECT_EQ(c.meters[0].name, "meter");
    EXPECT_EQ(c.meters[0].rate, 2);
}

struct BadConfig {
    const char *why;
    std::string_view text;
    int line;
    const char *says;
};

class BadConfigs : public testing::TestWithParam<BadConfig> {};

TEST_P(BadConfigs, areReportedWithTheirLine)
{
    const BadConfig &b = GetParam();
    StationConfig c;
    const auto error = parse(QByteArray(b.text.data(), static_cast<qsizetype>(b.text.size())), c);
    ASSERT_TRUE(error) << b.why;
    EXPECT_EQ(error->line, b.line) << b.why << ": " << error->what.toStdString();
    EXPECT_TRUE(error->what.contains(QLatin1String(b.says))) << b.why << ": " << error->what.toStdString();
    EXPECT_EQ(error->text("station.conf"),
              QStringLiteral("station.conf:%1: %2").arg(b.line).arg(error->what));
}

INSTANTIATE_TEST_SUITE_P(
    StationConfig, BadConfigs,
    testing::Values(
        BadConfig{"unknown section", "[meter]\ndevice=/dev/ttyS0\n[alarms]\n", 3, "unknown section [alarms]"},
        BadConfig{"unknown meter key", "[meter]\ndevice=/dev/ttyS0\nhumdity_low=3\n", 3, "unknown key \"humdity_low\""},
        BadConfig{"unknown limit part", "[meter]\ndevice=/dev/ttyS0\nt1_max=3\n", 3, "unknown key \"t1_max\""},
        BadConfig{"unknown station key", "[station]\nport=1\n[meter]\ndevice=/dev/ttyS0\n", 2, "unknown key \"port\""},
        BadConfig{"key outside a section", "device=/dev/ttyS0\n[meter]\n", 1, "before any section"},
        BadConfig{"no equals sign", "[meter]\ndevice /dev/ttyS0\n", 2, "expected key = value"},
        BadConfig{"unclosed header", "[meter\ndevice=/dev/ttyS0\n", 1, "must end with ']'"},
        BadConfig{"relative device", "[meter]\ndevice=ttyUSB0\n", 2, "bad device \"ttyUSB0\""},
        BadConfig{"device with a blank", "[meter]\ndevice=/dev/tty USB0\n", 2, "bad device"},
        BadConfig{"device is a folder", "[meter]\ndevice=/dev/\n", 2, "bad device"},
        BadConfig{"no device", "\n[meter]\nsite=x\n", 2, "has no device"},
        BadConfig{"rate above 3660", "[meter]\ndevice=/dev/ttyS0\nrate=3661\n", 3, "rate must be whole seconds from 0 to 3660"},
        BadConfig{"negative rate", "[meter]\ndevice=/dev/ttyS0\nrate=-1\n", 3, "rate must be"},
        BadConfig{"fractional rate", "[meter]\ndevice=/dev/ttyS0\nrate=1.5\n", 3, "rate must be"},
        BadConfig{"low equal to high", "[meter]\ndevice=/dev/ttyS0\nt1_low=20\nt1_high=20\n", 1, "t1_low (20) must be below t1_high (20)"},
        BadConfig{"low above high", "\n[meter]\ndevice=/dev/ttyS0\nhumidity_high=40\nhumidity_low=60\n", 2, "humidity_low (60) must be below"},
        BadConfig{"limit not a number", "[meter]\ndevice=/dev/ttyS0\nt2_high=warm\n", 3, "must be a number"},
        BadConfig{"limit not finite", "[meter]\ndevice=/dev/ttyS0\nt2_high=inf\n", 3, "must be a number"},
        BadConfig{"negative hysteresis", "[meter]\ndevice=/dev/ttyS0\nt2_hysteresis=-1\n", 3, "must not be negative"},
        BadConfig{"fractional delay", "[meter]\ndevice=/dev/ttyS0\nt2_delay=0.5\n", 3, "whole seconds"},
        BadConfig{"stale_after zero", "[meter]\ndevice=/dev/ttyS0\nstale_after=0\n", 3, "stale_after"},
        BadConfig{"key twice", "[meter]\ndevice=/dev/ttyS0\ndevice=/dev/ttyS1\n", 3, "given twice"},
        BadConfig{"section twice", "[meter]\ndevice=/dev/ttyS0\n[meter]\n", 3, "given twice (first on line 1)"},
        BadConfig{"name twice", "[meter.a]\ndevice=/dev/ttyS0\n[meter.b]\nname=a\ndevice=/dev/ttyS1\n", 3, "already used on line 1"},
        BadConfig{"name that climbs out of the data folder", "[meter]\ndevice=/dev/ttyS0\nname=../etc\n", 3, "bad name"},
        BadConfig{"name with a slash", "[meter]\ndevice=/dev/ttyS0\nname=a/b\n", 3, "bad name"},
        BadConfig{"two auto meters", "[meter1]\ndevice=auto\n[meter2]\ndevice=auto\n", 4, "only one meter may have device = auto"},
        BadConfig{"listen without port", "[station]\nlisten=127.0.0.1\n[meter]\ndevice=/dev/ttyS0\n", 2, "bad listen address"},
        BadConfig{"listen port too big", "[station]\nlisten=127.0.0.1:70000\n[meter]\ndevice=/dev/ttyS0\n", 2, "bad listen address"},
        BadConfig{"listen on a host name", "[station]\nlisten=example.org:80\n[meter]\ndevice=/dev/ttyS0\n", 2, "bad listen address"},
        BadConfig{"relative data folder", "[station]\ndata=data\n[meter]\ndevice=/dev/ttyS0\n", 2, "absolute folder"},
        BadConfig{"alarm command without a path", "[station]\non_alarm=notify-send hi\n[meter]\ndevice=/dev/ttyS0\n", 2, "absolute path"},
        BadConfig{"no meter", "[station]\n", 1, "no meter"},
        BadConfig{"unknown time zone", "[station]\ntime_zone=Mars/Olympus\n[meter]\ndevice=/dev/ttyS0\n", 2, "unknown time zone"},
        BadConfig{"mqtt without host", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nport=1883\n", 3, "[mqtt] needs host"},
        BadConfig{"mqtt unknown key", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nqos=2\n", 5, "unknown key \"qos\" in [mqtt]"},
        BadConfig{"mqtt port zero", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nport=0\n", 5, "port must be from 1 to 65535"},
        BadConfig{"mqtt wildcard prefix", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nprefix=a/#\n", 5, "bad prefix"},
        BadConfig{"mqtt protocol 4", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nprotocol=4\n", 5, "protocol must be 3.1.1 or 5"},
        BadConfig{"mqtt two passwords", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nusername=u\npassword=p\npassword_file=/p\n", 3, "keep one"},
        BadConfig{"mqtt password without user", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\npassword=p\n", 3, "no username"},
        BadConfig{"mqtt relative ca", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nca_file=ca.crt\n", 5, "absolute path"},
        BadConfig{"mqtt cert without key", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nca_file=/c\ncert_file=/x\n", 3, "go together"},
        BadConfig{"mqtt keepalive 1", "[meter]\ndevice=/dev/ttyS0\n[mqtt]\nhost=h\nkeepalive=1\n", 5, "keepalive must be"},
        BadConfig{"influx bad url", "[meter]\ndevice=/dev/ttyS0\n[influxdb]\nurl=ftp://h\ndatabase=d\n", 4, "bad url"},
        BadConfig{"influx neither version", "[meter]\ndevice=/dev/ttyS0\n[influxdb]\nurl=http://h:8086\n", 3, "needs either database"},
        BadConfig{"influx both versions", "[meter]\ndevice=/dev/ttyS0\n[influxdb]\ndatabase=d\nbucket=b\n", 3, "needs either database"},
        BadConfig{"influx 2 without token", "[meter]\ndevice=/dev/ttyS0\n[influxdb]\norg=o\nbucket=b\n", 3, "one of token or token_file"},
        BadConfig{"influx batch above 5000", "[meter]\ndevice=/dev/ttyS0\n[influxdb]\ndatabase=d\nbatch=5001\n", 5, "from 1 to 5000"},
        BadConfig{"NUL byte", "[meter]\ndevice=/dev/ttyS0\0\n"sv, 2, "NUL"}),
    [](const testing::TestParamInfo<BadConfig> &info) {
        std::string name;
        for (const char c : std::string(info.param.why))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(StationConfig, aDeviceUsedByTwoMetersIsOneEvenUnderAnotherName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString real = dir.filePath(QStringLiteral("ttyUSB0"));
    const QString link = dir.filePath(QStringLiteral("usb-by-id"));
    QFile(real).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QFile::link(real, link));
    StationConfig c;
    ASSERT_FALSE(parse(QStringLiteral("[station]\ndata=/tmp\n[meter1]\ndevice=%1\n\n[meter2]\ndevice=%2\n")
                           .arg(real, link)
                           .toUtf8(),
                       c));
    const auto error = checkStationConfig(c);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, 7);
    EXPECT_TRUE(error->what.contains(QLatin1String("already used by the meter on line 4"))) << error->what.toStdString();
}

TEST(StationConfig, aListenAddressInUseIsReportedOnItsLine)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
    StationConfig c;
    ASSERT_FALSE(parse(QStringLiteral("[meter]\ndevice=/dev/ttyS0\n[station]\n\nlisten = 127.0.0.1:%1\n")
                           .arg(taken.serverPort())
                           .toUtf8(),
                       c));
    const auto error = checkStationConfig(c);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, 5);
    EXPECT_TRUE(error->what.startsWith(QLatin1String("cannot listen on 127.0.0.1:"))) << error->what.toStdString();
}
