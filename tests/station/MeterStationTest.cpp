// SPDX-License-Identifier: GPL-3.0-or-later
// Meters of the station over in-process devices: each records on its own, an
// unplugged one raises its stale alarm and comes back without holding up the
// other, limits raise their alarm once.
#include "station/AutoFinder.h"
#include "station/MeterStation.h"
#include "station/Station.h"

#include "FailingDisk.h"
#include "StationRig.h"

#include "records/TableFile.h"
#include "records/TableRow.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vandrel;
using namespace vandrel::station;
using vandrel::test::FakeDevice;
using vandrel::test::StationRig;

namespace {

MeterConfig meterConfig(const QString &name, const QString &device, int rate = 1)
{
    MeterConfig m;
    m.name = name;
    m.section = QStringLiteral("meter.") + name;
    m.site = QStringLiteral("Room \"A\"");
    m.device = device;
    m.rate = rate;
    return m;
}

QList<QByteArray> rows(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> out = f.readAll().split('\n');
    out.removeAll(QByteArray());
    return out;
}

QString eventText(const AlarmEvent &e)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(e.meter, e.channel, QLatin1String(alarmKindKey(e.change.kind)),
             e.change.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
}

} // namespace

TEST(MeterStation, eachMeterRecordsOnItsOwnAndAnUnpluggedOneHoldsUpNoOther)
{
    QTemporaryDir data;
    StationRig rig;
    rig.bus.devices[QStringLiteral("/dev/fake-a")] = FakeDevice::meter("580D");
    rig.bus.devices[QStringLiteral("/dev/fake-b")] = FakeDevice::meter("580D");
    MeterStation a(meterConfig(QStringLiteral("a"), QStringLiteral("/dev/fake-a")), data.path(), rig.parts());
    MeterStation b(meterConfig(QStringLiteral("b"), QStringLiteral("/dev/fake-b"), 2), data.path(), rig.parts());
    rig.links = {&a.link(), &b.link()};
    QStringList events;
    for (MeterStation *m : {&a, &b})
        QObject::connect(m, &MeterStation::alarmChanged, [&](const AlarmEvent &e) { events << eventText(e); });
    // Every row holds what the table would show for the reading of its tick.
    QList<QByteArray> expectedA;
    QObject::connect(&a.link(), &MeterLink::frameTick, [&](const QDateTime &now) {
        expectedA << QByteArray::fromStdString(tableRowLine(realTimeRowCells(0, now, a.link().reading(), a.link().identity()), ','));
    });
    a.start();
    b.start();
    rig.run(10000, [&] { a.check(); b.check(); });
    ASSERT_TRUE(a.connected());
    ASSERT_TRUE(b.connected());
    const QString fileA = a.files().pathFor(QDate::currentDate());
    const QString fileB = b.files().pathFor(QDate::currentDate());
    const qint64 rowsA = a.samplesRecorded();
    EXPECT_GE(rowsA, 8);
    EXPECT_NEAR(b.samplesRecorded(), rowsA / 2, 1); // every 2 s
    ASSERT_EQ(rows(fileA).size(), expectedA.size());
    for (qsizetype i = 0; i < expectedA.size(); ++i)
        EXPECT_EQ(rows(fileA).at(i) + '\n', expectedA.at(i));
    EXPECT_TRUE(a.value(kHumidity).has_value());

    // B is pulled out: it is lost and stale at once, while A records every second.
    rig.bus.unplug(QStringLiteral("/dev/fake-b"));
    const qint64 bBefore = b.samplesRecorded();
    const qint64 aBefore = a.samplesRecorded();
    rig.run(20000, [&] { a.check(); b.check(); });
    EXPECT_FALSE(b.connected());
    EXPECT_TRUE(b.staleRaised());
    EXPECT_EQ(b.samplesRecorded(), bBefore);
    EXPECT_NEAR(a.samplesRecorded() - aBefore, 20, 1);
    EXPECT_EQ(events, QStringList{QStringLiteral("b meter stale raised")});

    // Plugged in again, it is found again, cleared once, and records again.
    rig.bus.devices[QStringLiteral("/dev/fake-b")] = FakeDevice::meter("580D");
    rig.run(10000, [&] { a.check(); b.check(); });
    EXPECT_TRUE(b.connected());
    EXPECT_FALSE(b.staleRaised());
    EXPECT_GT(b.samplesRecorded(), bBefore);
    EXPECT_EQ(events, (QStringList{QStringLiteral("b meter stale raised"), QStringLiteral("b meter stale cleared")}));
    EXPECT_EQ(rows(fileB).size(), b.samplesRecorded());
    for (const QByteArray &row : rows(fileA) + rows(fileB))
        EXPECT_TRUE(row.endsWith(",\r")) << row.toStdString();
}

TEST(MeterStation, aMeterThatNeverAnswersGoesStaleAfterItsLimitOnce)
{
    QTemporaryDir data;
    StationRig rig;
    rig.bus.devices[QStringLiteral("/dev/silent")] = FakeDevice{};
    MeterConfig config = meterConfig(QStringLiteral("s"), QStringLiteral("/dev/silent"), 10);
    config.staleAfter = 2; // 20 s
    MeterStation s(config, data.path(), rig.parts());
    rig.links = {&s.link()};
    QStringList events;
    QObject::connect(&s, &MeterStation::alarmChanged, [&](const AlarmEvent &e) { events << eventText(e); });
    const qint64 start = rig.bus.now;
    s.start();
    qint64 raisedAt = -1;
    rig.run(60000, [&] {
        s.check();
        if (raisedAt < 0 && s.staleRaised())
            raisedAt = rig.bus.now;
    });
    EXPECT_EQ(events, QStringList{QStringLiteral("s meter stale raised")});
    EXPECT_GE(raisedAt - start, 20000);
    EXPECT_LE(raisedAt - start, 23000); // the search of the silent device included
    EXPECT_EQ(s.samplesRecorded(), 0);
}

TEST(MeterStation, aLimitRaisesItsAlarmOnceWithTheFacts)
{
    QTemporaryDir data;
    StationRig rig;
    rig.bus.devices[QStringLiteral("/dev/fake")] = FakeDevice::meter("580D");
    MeterConfig config = meterConfig(QStringLiteral("m"), QStringLiteral("/dev/fake"));
    config.limits[0].high = -1000.0; // any humidity is above it
    MeterStation m(config, data.path(), rig.parts());
    rig.links = {&m.link()};
    std::vector<AlarmEvent> events;
    QObject::connect(&m, &MeterStation::alarmChanged, [&](const AlarmEvent &e) { events.push_back(e); });
    m.start();
    rig.run(10000, [&] { m.check(); });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].channel, "humidity");
    EXPECT_EQ(events[0].change, (AlarmChange{AlarmKind::High, true, -1000.0}));
    EXPECT_EQ(events[0].value, m.value(kHumidity));
    EXPECT_EQ(events[0].site, "Room \"A\"");
    EXPECT_TRUE(m.rule(kHumidity).highRaised());
}

TEST(Station, aReloadKeepsUnchangedMetersRunningAndReplacesTheOthers)
{
    QTemporaryDir data;
    StationRig rig;
    for (const char *d : {"/dev/fake-a", "/dev/fake-b", "/dev/fake-c"})
        rig.bus.devices[QLatin1String(d)] = FakeDevice::meter("580D");
    StationConfig config;
    config.dataFolder = data.path();
    config.listenPort = 0;
    config.meters = {meterConfig(QStringLiteral("a"), QStringLiteral("/dev/fake-a")),
                     meterConfig(QStringLiteral("b"), QStringLiteral("/dev/fake-b"))};
    Station station(config, QStringLiteral("1"), [&](const MeterConfig &) { return rig.parts(); });
    QString error;
    ASSERT_TRUE(station.start(error));
    const auto relink = [&] {
        rig.links.clear();
        for (const auto &m : station.meters())
            rig.links.push_back(&m->link());
    };
    QCoreApplication::processEvents();
    relink();
    rig.run(5000);
    MeterStation *a = station.meters()[0].get();
    MeterStation *b = station.meters()[1].get();
    ASSERT_TRUE(a->connected() && b->connected());
    // a's row of every tick, before, during and after the reload.
    int ticksA = 0;
    QObject::connect(&a->link(), &MeterLink::frameTick, [&] { ++ticksA; });
    const qint64 rowsA = a->samplesRecorded();

    StationConfig next = config;
    next.meters[0].line = 40; // moved in the file, otherwise the same
    next.meters[1].rate = 5;
    next.meters.append(meterConfig(QStringLiteral("c"), QStringLiteral("/dev/fake-c")));
    ASSERT_TRUE(station.reload(next, error)) << error.toStdString();
    ASSERT_EQ(station.meters().size(), 3u);
    EXPECT_EQ(station.meters()[0].get(), a);
    EXPECT_NE(station.meters()[1].get(), b);
    EXPECT_EQ(station.meters()[1]->config().rate, 5);
    relink(); // the retired link is no longer driven
    rig.run(1); // it has closed: the new ones start
    rig.run(10000);
    EXPECT_EQ(a->samplesRecorded() - rowsA, ticksA); // not a sample lost
    EXPECT_GE(ticksA, 9);
    EXPECT_TRUE(station.meters()[1]->connected());
    EXPECT_TRUE(station.meters()[2]->connected());
    EXPECT_GE(station.meters()[2]->samplesRecorded(), 5);
}

TEST(MeterStation, aFullDiskRaisesTheStorageAlarmAndTheRowsFollowWhenSpaceReturns)
{
    QTemporaryDir data;
    StationRig rig;
    rig.bus.devices[QStringLiteral("/dev/fake")] = FakeDevice::meter("580D");
    vandrel::test::FailingDisk disk;
    MeterParts parts = rig.parts();
    parts.disk = disk.calls();
    MeterStation m(meterConfig(QStringLiteral("m"), QStringLiteral("/dev/fake")), data.path(), std::move(parts));
    rig.links = {&m.link()};
    QStringList events;
    QObject::connect(&m, &MeterStation::alarmChanged, [&](const AlarmEvent &e) { events << eventText(e); });
    int ticks = 0;
    QObject::connect(&m.link(), &MeterLink::frameTick, [&] { ++ticks; });
    m.start();
    rig.run(4000, [&] { m.check(); });
    ASSERT_GE(ticks, 2);
    disk.failAt = vandrel::test::FailingDisk::Step::TornWrite;
    rig.run(10000, [&] { m.check(); });
    EXPECT_TRUE(m.storageRaised());
    EXPECT_TRUE(m.connected()); // polling goes on
    EXPECT_GE(m.files().waiting(), 8);
    disk.failAt = vandrel::test::FailingDisk::Step::None;
    rig.run(3000, [&] { m.check(); });
    EXPECT_FALSE(m.storageRaised());
    EXPECT_EQ(m.files().waiting(), 0);
    EXPECT_EQ(m.samplesRecorded(), ticks); // every sample, none torn
    const QList<QByteArray> written = rows(m.files().pathFor(QDate::currentDate()));
    EXPECT_EQ(written.size(), ticks);
    for (const QByteArray &row : written)
        EXPECT_EQ(row.count(','), 9) << row.toStdString();
    EXPECT_EQ(events, (QStringList{QStringLiteral("m record storage raised"), QStringLiteral("m record storage cleared")}));
}

TEST(Station, anAutoSectionRecordsEveryMeterItFindsUnderANameOfItsOwn)
{
    QTemporaryDir data;
    StationRig rig;
    for (const char *d : {"/dev/fake-a", "/dev/fake-b", "/dev/fake-c"})
        rig.bus.devices[QLatin1String(d)] = FakeDevice::meter("580D");
    rig.bus.devices[QStringLiteral("/dev/modem")] = FakeDevice::modem();
    rig.bus.devices[QStringLiteral("/dev/quiet")] = FakeDevice{};
    StationConfig config;
    config.dataFolder = data.path();
    config.listenPort = 0;
    config.meters = {meterConfig(QStringLiteral("c"), QStringLiteral("/dev/fake-c")),
                     meterConfig(QStringLiteral("room"), QStringLiteral("auto"))};
    Station station(config, QStringLiteral("1"), [&](const MeterConfig &) { return rig.parts(); });
    QString error;
    ASSERT_TRUE(station.start(error));
    rig.linkSource = [&] {
        std::vector<MeterLink *> links;
        for (const auto &m : station.meters())
            links.push_back(&m->link());
        if (station.finder())
            links.push_back(&station.finder()->link());
        return links;
    };
    const auto named = [&](const QString &name) -> MeterStation * {
        for (const auto &m : station.meters())
            if (m->config().name == name)
                return m.get();
        return nullptr;
    };
    const auto names = [&] {
        QStringList out;
        for (const auto &m : station.meters())
            out << m->config().name + (m->connected() ? QString() : QStringLiteral(" (off)"));
        return out;
    };
    rig.run(20000);
    // The configured meter, then one per meter found; the modem and the
    // quiet device are no meters.
    EXPECT_EQ(names(), (QStringList{QStringLiteral("c"), QStringLiteral("room-fake-a"), QStringLiteral("room-fake-b")}));
    for (const char *name : {"room-fake-a", "room-fake-b"}) {
        MeterStation *m = named(QLatin1String(name));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->config().foundBy, "room");
        EXPECT_EQ(m->config().device, QStringLiteral("/dev/") + m->config().name.mid(5));
        EXPECT_GE(m->samplesRecorded(), 5);
        EXPECT_EQ(rows(m->files().pathFor(QDate::currentDate())).size(), m->samplesRecorded());
        EXPECT_TRUE(m->files().pathFor(QDate::currentDate()).startsWith(data.path() + QLatin1Char('/') + QLatin1String(name) + QLatin1Char('/')));
    }

    // A meter plugged in later is found at once; one switched on behind a
    // device that was already there, on the next search.
    rig.bus.devices[QStringLiteral("/dev/fake-d")] = FakeDevice::meter("580D");
    rig.run(10000);
    ASSERT_TRUE(named(QStringLiteral("room-fake-d")));
    EXPECT_TRUE(named(QStringLiteral("room-fake-d"))->connected());
    rig.bus.devices[QStringLiteral("/dev/quiet")] = FakeDevice::meter("580D");
    rig.run(AutoFinder::kSearchAgainMs + 10000);
    ASSERT_TRUE(named(QStringLiteral("room-quiet")));
    EXPECT_TRUE(named(QStringLiteral("room-quiet"))->connected());

    // One unplugged goes stale on its own and comes back under its name.
    MeterStation *a = named(QStringLiteral("room-fake-a"));
    rig.bus.unplug(QStringLiteral("/dev/fake-a"));
    rig.run(20000);
    EXPECT_TRUE(a->staleRaised());
    EXPECT_TRUE(named(QStringLiteral("room-fake-b"))->connected());
    rig.bus.devices[QStringLiteral("/dev/fake-a")] = FakeDevice::meter("580D");
    rig.run(10000);
    EXPECT_EQ(named(QStringLiteral("room-fake-a")), a);
    EXPECT_TRUE(a->connected());
    EXPECT_FALSE(a->staleRaised());
    EXPECT_EQ(station.meters().size(), 5u);

    // A reload that leaves the section as it was keeps what it found.
    StationConfig next = config;
    next.meters[1].line = 30;
    ASSERT_TRUE(station.reload(next, error)) << error.toStdString();
    EXPECT_EQ(named(QStringLiteral("room-fake-a")), a);
    EXPECT_EQ(station.meters().size(), 5u);
}

TEST(Station, aFoundMeterIsRecordedOnItsStableDeviceName)
{
    QTemporaryDir dev;
    const QString tty = dev.filePath(QStringLiteral("ttyUSB3"));
    QFile(tty).open(QIODevice::WriteOnly);
    QDir(dev.path()).mkdir(QStringLiteral("by-id"));
    const QString byId = dev.filePath(QStringLiteral("by-id/usb-Maker_Cable 9+X-if00-port0"));
    ASSERT_TRUE(QFile::link(tty, byId));
    EXPECT_EQ(stableDevicePath(tty, dev.filePath(QStringLiteral("by-id"))), byId);
    EXPECT_EQ(stableDevicePath(dev.filePath(QStringLiteral("ttyUSB4")), dev.filePath(QStringLiteral("by-id"))),
              dev.filePath(QStringLiteral("ttyUSB4")));
    EXPECT_EQ(foundMeterName(QStringLiteral("room"), byId), "room-usb-Maker_Cable_9_X-if00-port0");
    EXPECT_EQ(foundMeterName(QStringLiteral("room"), QStringLiteral("/dev/pts/7")), "room-7");
}
