// SPDX-License-Identifier: GPL-3.0-or-later
// The link's rules on in-process devices and a clock the test moves: which
// device the search takes, how a meter that has not said its model is
// identified before anything of it counts, devices that may open later, the
// watchdog, and a pulled adapter.
#include "meter/MeterLink.h"

#include "FakeLine.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::FakeDevice;
using vandrel::test::FakeLinkRig;

namespace {

const QString kMeter = QStringLiteral("/dev/ttyUSB0");
const QString kOther = QStringLiteral("/dev/ttyUSB1");
const QString kThird = QStringLiteral("/dev/ttyACM0");

} // namespace

TEST(FakeLinkSearch, TheMeterIsTheDeviceThatAnswersAndThenSendsFrames)
{
    struct Case {
        const char *what;
        FakeDevice first, second;
        bool found;
        int index;
        int model;
        qint64 notAfterMs; // the search's length
    };
    const Case cases[] = {
        {"a modem answers first but sends no frame", FakeDevice::modem(), FakeDevice::meter("560\0"), true, 1, 560, 100},
        {"a meter slow to answer still counts", FakeDevice{}, FakeDevice::meter("520\0", 900), true, 1, 520, 1000},
        {"two meters: the order of the list decides", FakeDevice::meter("540D"), FakeDevice::meter("580D"), true, 0, 540,
         100},
        {"a reply too late is no meter", FakeDevice{}, FakeDevice::meter("580D", 1100), false, -1, 580, 1600},
        {"an unknown model is no meter", FakeDevice{}, FakeDevice::meter("999X"), false, -1, 580, 1100},
    };
    for (const Case &c : cases) {
        FakeLinkRig rig;
        rig.bus.devices = {{kOther, c.first}, {kMeter, c.second}};
        QSignalSpy identified(&rig.link, &MeterLink::meterIdentified);
        rig.link.setPorts({kOther, kMeter});
        rig.link.searchMeter();
        EXPECT_EQ(rig.link.state().MeterConnected, c.found) << c.what;
        EXPECT_EQ(identified.count(), c.found ? 1 : 0) << c.what;
        EXPECT_LE(rig.bus.now, c.notAfterMs) << c.what;
        EXPECT_EQ(rig.identity.MeterModel, c.model) << c.what;
        if (c.found) {
            EXPECT_EQ(rig.link.portIndex(), c.index) << c.what;
            EXPECT_EQ(rig.line.path(), c.index == 0 ? kOther : kMeter) << c.what;
            EXPECT_EQ(rig.statuses.last(), rig.line.path()) << c.what;
        } else {
            EXPECT_EQ(rig.statuses.last(), "No Connection") << c.what;
        }
    }
}

// Devices that may open later stay in the list and are tried again once a
// tick while no meter is connected; one that is not a serial device goes.
TEST(FakeLinkSearch, RefusedBusyAndMissingDevicesAreTriedAgain)
{
    FakeLinkRig rig;
    FakeDevice busy = FakeDevice::meter("580D");
    busy.openError = EBUSY;
    FakeDevice broken;
    broken.openError = ENOTTY;
    rig.bus.devices = {{kOther, busy}, {kThird, broken}};
    rig.link.setPorts({QStringLiteral("/dev/ttyUSB9"), kOther, kThird});
    rig.link.searchMeter();
    EXPECT_EQ(rig.link.ports(), QStringList({QStringLiteral("/dev/ttyUSB9"), kOther}));
    EXPECT_TRUE(rig.statuses.last().startsWith(QStringLiteral("In use by another program: ") + kOther));
    rig.start();
    rig.run(3000);
    EXPECT_FALSE(rig.link.state().MeterConnected);

    // The other program lets go: within a tick the meter is searched and found.
    rig.bus.at(kOther).openError = 0;
    ASSERT_TRUE(rig.runUntil([&] { return rig.link.state().MeterConnected; }, 1500));
    EXPECT_EQ(rig.line.path(), kOther);
    EXPECT_EQ(rig.identity.ModelSuffix, 'D');

    // A missing device is named, and found once it is plugged in.
    FakeLinkRig later;
    later.link.setPorts({kMeter});
    later.link.searchMeter();
    EXPECT_EQ(later.statuses.last(), "Device not found: " + kMeter);
    later.start();
    later.run(2000);
    later.bus.devices[kMeter] = FakeDevice::meter("520\0");
    ASSERT_TRUE(later.runUntil([&] { return later.link.state().MeterConnected; }, 1500));
    EXPECT_EQ(later.identity.MeterModel, 520);
}

// A meter switched on after the search: its frames wait until it has said its
// model; "K" goes out in place of a poll, and nothing is decoded before.
TEST(FakeLinkIdentify, FramesWaitForTheModelAndTheModelIsApplied)
{
    FakeLinkRig rig;
    rig.link.setPorts({kMeter});
    rig.bus.devices[kMeter] = FakeDevice{}; // off
    rig.link.searchMeter();
    ASSERT_FALSE(rig.link.state().MeterConnected);
    rig.start();
    rig.run(2000);

    FakeDevice meter = FakeDevice::meter("520\0", 700); // switched on, slow to answer
    rig.bus.devices[kMeter] = meter;
    QList<int> modelAtDecode;
    QObject::connect(&rig.link, &MeterLink::frameDecoded, [&] { modelAtDecode << rig.identity.MeterModel; });
    QSignalSpy identified(&rig.link, &MeterLink::meterIdentified);
    QSignalSpy ticks(&rig.link, &MeterLink::frameTick);
    ASSERT_TRUE(rig.runUntil([&] { return rig.link.state().MeterConnected; }, 5000));
    EXPECT_EQ(rig.identity.MeterModel, 520);
    EXPECT_EQ(identified.count(), 1);
    EXPECT_EQ(modelAtDecode.count(520), modelAtDecode.size());
    EXPECT_EQ(rig.bus.at(kMeter).received.count('K'), 1); // the slow reply came at the first try
    EXPECT_TRUE(rig.statuses.contains(QStringLiteral("Identifying\u2026")));
    EXPECT_EQ(rig.statuses.last(), kMeter);
    // While the reply was awaited, no poll went out after the "K".
    const QByteArray sent = rig.bus.at(kMeter).received;
    EXPECT_TRUE(sent.mid(sent.indexOf('K')).startsWith("KA")) << sent.toStdString();
    EXPECT_GE(ticks.count(), 1);
}

TEST(FakeLinkIdentify, AMeterThatNeverSaysItsModelIsTakenAsTheRememberedOne)
{
    FakeLinkRig rig;
    FakeDevice mute = FakeDevice::meter("540D");
    mute.reply.clear();
    rig.bus.devices[kMeter] = mute;
    rig.link.setRememberedModel(540);
    rig.link.setPorts({kMeter});
    rig.link.searchMeter();
    ASSERT_FALSE(rig.link.state().MeterConnected);
    rig.start();
    const qint64 start = rig.bus.now;
    QObject::connect(&rig.link, &MeterLink::frameDecoded, [&] { EXPECT_TRUE(rig.link.identified()); });
    ASSERT_TRUE(rig.runUntil([&] { return rig.link.state().MeterConnected; }, 10000));
    EXPECT_GE(rig.bus.now - start, MeterLink::kIdentifyGiveUpMs);
    EXPECT_EQ(rig.identity.MeterModel, 540);
    EXPECT_EQ(rig.identity.ModelSuffix, 0);
    EXPECT_TRUE(rig.statuses.last().contains(QStringLiteral("taken as the 540 identified last")))
        << rig.statuses.last().toStdString();
    EXPECT_GT(rig.frames, 0);
}

// Three ticks without a frame lose the meter; when frames come again the
// meter says its model again (it may be another one on the same cable).
TEST(FakeLinkWatchdog, LostAfterThreeSilentTicksAndIdentifiedAgainWhenBack)
{
    FakeLinkRig rig;
    rig.bus.devices[kMeter] = FakeDevice::meter("580D");
    rig.link.setPorts({kMeter});
    rig.link.searchMeter();
    ASSERT_TRUE(rig.link.state().MeterConnected);
    rig.start();
    rig.run(2000);
    rig.statuses.clear();
    QSignalSpy lost(&rig.link, &MeterLink::meterLost);
    QSignalSpy run(&rig.link, &MeterLink::runEnabledChanged);

    rig.bus.at(kMeter).pollAnswer.clear(); // switched off
    ASSERT_TRUE(rig.runUntil([&] { return lost.count() == 1; }, 4000));
    EXPECT_FALSE(rig.link.state().MeterConnected);
    EXPECT_FALSE(run.last().at(0).toBool());
    EXPECT_EQ(rig.statuses.last(), "No Connection");

    rig.bus.devices[kMeter] = FakeDevice::meter("520\0"); // another meter on the same cable
    ASSERT_TRUE(rig.runUntil([&] { return rig.link.state().MeterConnected; }, 4000));
    EXPECT_EQ(rig.identity.MeterModel, 520);
    EXPECT_TRUE(run.last().at(0).toBool());
    for (const QString &s : rig.statuses)
        EXPECT_FALSE(s.startsWith("Searching")) << s.toStdString(); // waited for, not searched for
}

TEST(FakeLinkRecovery, APulledAdapterIsReopenedWhenItReturns)
{
    FakeLinkRig rig;
    rig.bus.devices[kMeter] = FakeDevice::meter("560\0");
    rig.link.setPorts({kMeter});
    rig.link.searchMeter();
    rig.start();
    rig.run(1500);
    rig.bus.unplug(kMeter);
    EXPECT_FALSE(rig.line.isOpen());
    ASSERT_TRUE(rig.runUntil([&] { return !rig.link.state().MeterConnected; }, 4000));
    rig.run(2000);
    rig.bus.devices[kMeter] = FakeDevice::meter("560\0");
    const int before = rig.frames;
    ASSERT_TRUE(rig.runUntil([&] { return rig.link.state().MeterConnected && rig.frames > before; }, 6000));
    EXPECT_EQ(rig.line.path(), kMeter);
}
