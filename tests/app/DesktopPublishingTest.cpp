// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's publishing: its settings kept and checked, and a
// run's sampled rows reaching a real broker on a loopback port, through the
// disk, in order.
#include "app/DesktopPublishing.h"
#include "app/TfrmPublishing.h"

#include "Servers.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::test;

namespace {

PublishingSettings enabled(const QString &host)
{
    PublishingSettings s;
    s.enabled = s.mqtt.enabled = true;
    s.mqtt.host = host;
    return s;
}

} // namespace

TEST(DesktopPublishing, settingsAreKeptAndWhatCannotWorkIsSaid)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath(QStringLiteral("vandrel.ini")), QSettings::IniFormat);
    EXPECT_EQ(PublishingSettings::load(store), PublishingSettings{}); // off by default
    PublishingSettings s = enabled(QStringLiteral("broker.lan"));
    s.mqtt.port = 1884;
    s.mqtt.protocol = 5;
    s.mqtt.prefix = QStringLiteral("home/climate");
    s.site = QStringLiteral("office");
    s.meter = QStringLiteral("desk-1");
    s.save(store);
    PublishingSettings back = PublishingSettings::load(store);
    EXPECT_EQ(back.mqtt.host, s.mqtt.host);
    EXPECT_EQ(back.mqtt.port, 1884);
    EXPECT_EQ(back.mqtt.protocol, 5);
    EXPECT_EQ(back.mqtt.prefix, s.mqtt.prefix);
    EXPECT_EQ(back.site, s.site);
    EXPECT_EQ(back.meter, s.meter);
    EXPECT_TRUE(back.enabled);

    const struct {
        const char *what;
        std::function<void(PublishingSettings &)> change;
        const char *problem;
    } cases[] = {
        {"fine", [](PublishingSettings &) {}, ""},
        {"off needs nothing", [](PublishingSettings &p) { p.enabled = false; p.mqtt.host.clear(); }, ""},
        {"no host", [](PublishingSettings &p) { p.mqtt.host.clear(); }, "host"},
        {"meter name with a slash", [](PublishingSettings &p) { p.meter = QStringLiteral("a/b"); }, "meter name"},
        {"wildcard prefix", [](PublishingSettings &p) { p.mqtt.prefix = QStringLiteral("a/+"); }, "topic prefix"},
        {"password file without user", [](PublishingSettings &p) { p.mqtt.passwordFile = QStringLiteral("/etc/hostname"); }, "user name"},
        {"missing CA file", [](PublishingSettings &p) { p.mqtt.caFile = QStringLiteral("/nonexistent/ca.crt"); }, "not there"},
        {"certificate without key", [](PublishingSettings &p) { p.mqtt.caFile = p.mqtt.certFile = QStringLiteral("/etc/hostname"); }, "its key"},
    };
    for (const auto &c : cases) {
        PublishingSettings p = enabled(QStringLiteral("broker.lan"));
        c.change(p);
        EXPECT_EQ(p.problem().isEmpty(), *c.problem == 0) << c.what;
        EXPECT_TRUE(p.problem().contains(QLatin1String(c.problem))) << c.what << ": " << p.problem().toStdString();
    }
}

TEST(DesktopPublishing, theDialogShowsEverySettingAndGivesItBack)
{
    PublishingSettings s = enabled(QStringLiteral("broker.lan"));
    s.mqtt.port = 8884;
    s.mqtt.protocol = 5;
    s.mqtt.clientId = QStringLiteral("desk");
    s.mqtt.username = QStringLiteral("u");
    s.mqtt.passwordFile = QStringLiteral("/etc/vandrel/pw");
    s.mqtt.caFile = QStringLiteral("/etc/ssl/ca.crt");
    s.mqtt.certFile = QStringLiteral("/etc/ssl/c.crt");
    s.mqtt.keyFile = QStringLiteral("/etc/ssl/c.key");
    s.mqtt.prefix = QStringLiteral("home");
    s.mqtt.discovery = false;
    s.mqtt.discoveryPrefix = QStringLiteral("ha");
    s.site = QStringLiteral("office");
    s.meter = QStringLiteral("desk-1");
    TfrmPublishing dialog(s);
    EXPECT_EQ(dialog.settings(), s);
    EXPECT_EQ(TfrmPublishing(PublishingSettings{}).settings(), PublishingSettings{});
}

TEST(DesktopPublishing, sampledRowsReachTheBrokerInOrderThroughTheDisk)
{
    QTemporaryDir dir;
    const quint16 port = freePort();
    auto broker = makeBroker(dir.filePath(QStringLiteral("broker")), port);
    ASSERT_TRUE(broker->start()) << broker->output().toStdString();
    Subscriber sub(port, {QStringLiteral("vandrel/office/desk/state")});
    ASSERT_TRUE(sub.waitSubscribed(port));
    PublishingSettings s = enabled(QStringLiteral("127.0.0.1"));
    s.mqtt.port = port;
    s.site = QStringLiteral("office");
    s.meter = QStringLiteral("desk");
    QStringList log;
    DesktopPublisher publisher(dir.filePath(QStringLiteral("publish")), [&](const QString &t) { log << t; });
    publisher.apply(s, [] { return RunFacts{QStringLiteral("580"), false, false, QStringLiteral("C")}; });
    ASSERT_TRUE(waitUntil([&] { return publisher.output() && publisher.output()->connected(); }, 20000))
        << log.join(QLatin1Char('\n')).toStdString();
    const QDateTime first(QDate(2026, 12, 8), QTime(9, 0, 0));
    for (int i = 0; i < 3; ++i) {
        const QDateTime t = first.addSecs(i);
        publisher.record(t, {QString::number(i + 1), tableDate(t.date()), tableTime(t.time()), QStringLiteral("45.%1").arg(i),
                             QStringLiteral("%RH"), QStringLiteral("21.0"), QStringLiteral("C")});
    }
    ASSERT_TRUE(waitUntil([&] { return sub.linesOf("vandrel/office/desk/state").size() == 3; }, 20000));
    const QList<QByteArray> got = sub.linesOf("vandrel/office/desk/state");
    for (int i = 0; i < 3; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(got[i]).object();
        EXPECT_EQ(o.value(QStringLiteral("time")).toString(), first.addSecs(i).toString(Qt::ISODate));
        EXPECT_DOUBLE_EQ(o.value(QStringLiteral("humidity")).toDouble(), 45.0 + i / 10.0);
    }
    // Off again: nothing is published and the broker hears offline.
    publisher.apply(PublishingSettings{}, {});
    EXPECT_EQ(publisher.output(), nullptr);
}
