// SPDX-License-Identifier: GPL-3.0-or-later
// The link end to end, against the simulated meter and other devices on
// pseudo-terminals: real opens that fail, real locks and refusals, devices
// that are not meters, identification of a meter switched on late, keys, and
// an unplugged device reopened when it returns. The link's rules in detail
// are tested on in-process devices (MeterLinkFakeTest).
#include "meter/MeterLink.h"

#include "LinkRig.h"
#include "SimProcess.h"

#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::PtyPair;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

namespace {

struct Rig : vandrel::test::LinkRig {
    QStringList statuses;
    int frames = 0;
    Rig()
    {
        QObject::connect(&link, &MeterLink::statusTextChanged, [this](const QString &s) { statuses << s; });
        QObject::connect(&link, &MeterLink::frameDecoded, [this] { ++frames; });
    }
};

// A serial device that is not a meter, played on a pseudo-terminal.
enum class Stranger { Silent, EchoingModem, Chatterer };

class StrangerDevice {
public:
    explicit StrangerDevice(Stranger kind)
    {
        if (kind == Stranger::EchoingModem) {
            // Echoes every byte it receives and answers it with a result code.
            notifier_ = std::make_unique<QSocketNotifier>(pty_.master(), QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
                char buf[64];
                const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
                for (ssize_t i = 0; i < n; ++i) {
                    received_.append(buf[i]);
                    pty_.write(QByteArray(1, buf[i]) + "\r\nOK\r\n");
                }
            });
        } else if (kind == Stranger::Chatterer) {
            // Sends text lines of its own, whatever it is told (like a GPS receiver).
            timer_.setInterval(50);
            QObject::connect(&timer_, &QTimer::timeout, [this] {
                received_ += pty_.readAvailable();
                pty_.write("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
            });
            timer_.start();
        }
    }
    QString path() const { return pty_.path(); }
    // What the device was sent (the silent one is read on asking).
    QByteArray received()
    {
        received_ += pty_.readAvailable();
        return received_;
    }

private:
    PtyPair pty_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer timer_;
    QByteArray received_;
};

} // namespace

static std::string strangerName(const testing::TestParamInfo<Stranger> &info)
{
    switch (info.param) {
    case Stranger::Silent: return "Silent";
    case Stranger::EchoingModem: return "EchoingModem";
    case Stranger::Chatterer: return "Chatterer";
    }
    return "Unknown";
}

// A device that is not the meter comes first in the list: whether it stays
// silent or answers the identification request with text of its own, the link
// ends up on the meter behind it and frames flow.
class MeterLinkStranger : public testing::TestWithParam<Stranger> {};

TEST_P(MeterLinkStranger, TheMeterBehindAnotherDeviceIsFound)
{
    StrangerDevice stranger(GetParam());
    SimProcess sim({"--model", "560"});
    Rig rig;
    rig.link.setPorts({stranger.path(), sim.device()});
    rig.link.searchMeter();
    rig.link.startTimers();

    ASSERT_TRUE(waitUntil([&] { return rig.port.DeviceName() == sim.device() && rig.frames > 2; }, 20000));
    EXPECT_TRUE(rig.link.state().MeterConnected);
    EXPECT_EQ(rig.link.portIndex(), 1);
    EXPECT_EQ(rig.link.state().LastConnectedPort, 1);
    EXPECT_EQ(rig.identity.MeterModel, 560);
    EXPECT_EQ(rig.statuses.last(), sim.device());
    EXPECT_TRUE(stranger.received().startsWith('K'));
    // Once frames flow, the link stays there.
    const int frames = rig.frames;
    ASSERT_TRUE(waitUntil([&] { return rig.frames > frames + 10; }, 20000));
    EXPECT_EQ(rig.port.DeviceName(), sim.device());
}

INSTANTIATE_TEST_SUITE_P(Devices, MeterLinkStranger,
                         testing::Values(Stranger::Silent, Stranger::EchoingModem, Stranger::Chatterer),
                         strangerName);

// A meter switched on after the search: its frames come on the port the link
// listens on, but nothing is decoded, shown or counted until it has said which
// model it is.
TEST(MeterLinkIdentify, FramesOfAMeterNotYetIdentifiedWaitForItsModel)
{
    SimProcess sim({"--model", "520", "--silence", "2", "--id-delay", "700"});
    StrangerDevice modem(Stranger::EchoingModem);
    Rig rig;
    QList<int> modelAtDecode;
    QObject::connect(&rig.link, &MeterLink::frameDecoded, [&] { modelAtDecode << rig.identity.MeterModel; });
    QSignalSpy identified(&rig.link, &MeterLink::meterIdentified);
    rig.link.setPorts({sim.device(), modem.path()});
    rig.link.searchMeter();
    EXPECT_FALSE(rig.link.state().MeterConnected); // the modem answered "K" but sent no frame
    EXPECT_TRUE(identified.isEmpty());
    EXPECT_EQ(rig.port.DeviceName(), sim.device()); // listening where the meter was last
    rig.link.startTimers();

    ASSERT_TRUE(waitUntil([&] { return rig.link.state().MeterConnected && rig.frames > 2; }, 20000));
    EXPECT_EQ(rig.identity.MeterModel, 520);
    EXPECT_EQ(identified.count(), 1);
    EXPECT_EQ(modelAtDecode.count(520), modelAtDecode.size());
    EXPECT_TRUE(rig.statuses.contains(QStringLiteral("Identifying\u2026")));
    EXPECT_TRUE(rig.statuses.contains(QStringLiteral("Trying %1\u2026").arg(modem.path())));
    EXPECT_EQ(rig.statuses.last(), sim.device());
    EXPECT_GE(sim.received('K'), 1);
}

TEST(MeterLinkSearch, SkipsUnopenableAndSilentDevicesAndIdentifiesTheMeter)
{
    PtyPair silent;
    SimProcess sim({"--model", "540", "--suffix", "D"});
    Rig rig;
    rig.link.state().LastConnectedPort = 7;
    rig.link.setPorts({"/dev/null", "/dev/vandrel-no-such-device", silent.path(), sim.device()});

    rig.link.searchMeter();

    // Not a serial device: dropped, and the meter's index follows. A device
    // that is not there may be plugged in later: it stays.
    EXPECT_EQ(rig.link.ports(), QStringList({"/dev/vandrel-no-such-device", silent.path(), sim.device()}));
    EXPECT_TRUE(rig.link.state().MeterConnected);
    EXPECT_EQ(rig.identity.MeterModel, 540);
    EXPECT_EQ(rig.identity.ModelSuffix, 'D');
    EXPECT_EQ(rig.link.state().LastConnectedPort, 2);
    EXPECT_EQ(rig.link.portIndex(), 2);
    EXPECT_EQ(rig.statuses.last(), sim.device());
    EXPECT_TRUE(rig.port.Active());
    EXPECT_TRUE(rig.port.hasOnRxChar());
    EXPECT_EQ(silent.readAvailable(1), QByteArray("K"));
}

// A meter plugged in after start-up: the list follows the system's devices
// while nothing is connected, and the new device is searched by itself.
TEST(MeterLinkSearch, MeterPluggedInLaterIsFound)
{
    PtyPair silent;
    QStringList system{silent.path()};
    Rig rig;
    rig.link.setDeviceSource([&] { return system; });
    rig.link.setPorts(system);
    rig.link.searchMeter();
    ASSERT_FALSE(rig.link.state().MeterConnected);
    rig.link.startTimers();

    SimProcess sim({"--model", "540", "--suffix", "D"});
    system << sim.device();
    ASSERT_TRUE(waitUntil([&] { return rig.link.state().MeterConnected && rig.frames > 0; }, 20000));
    EXPECT_EQ(rig.port.DeviceName(), sim.device());
    EXPECT_EQ(rig.identity.MeterModel, 540);
    EXPECT_EQ(rig.link.ports(), system);
}

// A device held by another program is the likeliest place of the meter when
// nothing answered: the status line says so instead of "No Connection".
TEST(MeterLinkSearch, DeviceHeldByAnotherProgramIsNamedOnTheStatusLine)
{
    PtyPair held;
    PtyPair silent;
    TComPort other;
    other.setDeviceName(held.path());
    other.Open();
    Rig rig;
    rig.link.setPorts({held.path(), silent.path()});

    rig.link.searchMeter();

    EXPECT_FALSE(rig.link.state().MeterConnected);
    EXPECT_EQ(rig.statuses.last(), QStringLiteral("In use by another program: ") + held.path() +
                                       QStringLiteral(" \u2014 see Help \u203a Serial port access"));
    EXPECT_EQ(rig.link.ports(), QStringList({held.path(), silent.path()}));

    // Once the other program lets go, the device is tried by itself and the
    // status line is back to the plain text.
    rig.link.startTimers();
    other.Close();
    ASSERT_TRUE(waitUntil([&] { return held.readAvailable().contains('K'); }, 5000));
    ASSERT_TRUE(waitUntil([&] { return !rig.link.searching() && rig.statuses.last() == "No Connection"; }, 5000));
}

// A device the user may not open, as a real open refuses it: a sysfs file
// that nobody, root included, may open for writing.
TEST(MeterLinkSearch, RefusedDeviceIsNamedOnTheStatusLine)
{
    const char *refused = "/sys/kernel/notes";
    const int fd = ::open(refused, O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (fd >= 0 || error != EACCES)
        GTEST_SKIP() << refused << " is not refused here";
    PtyPair silent;
    Rig rig;
    rig.link.setPorts({silent.path(), QString::fromLatin1(refused)});

    rig.link.searchMeter();

    EXPECT_FALSE(rig.link.state().MeterConnected);
    EXPECT_EQ(rig.statuses.last(), QStringLiteral("Permission denied: ") + QString::fromLatin1(refused) +
                                       QStringLiteral(" \u2014 see Help \u203a Serial port access"));
}

TEST(MeterLinkWatchdog, TicksWithoutFramesCountOnlyWhileConnected)
{
    Rig rig;
    // Not connected: ticks count nothing and keep the interval at one second.
    for (int i = 0; i < 5; ++i)
        rig.link.tick();
    EXPECT_EQ(rig.link.state().MissedTicks, 0);
    EXPECT_EQ(rig.link.mainTimer().interval(), 1000);
    EXPECT_FALSE(rig.link.state().MainTimerBusy);

    // A frame seen makes the meter connected on the next tick.
    rig.link.state().FrameSeen = true;
    QSignalSpy ticks(&rig.link, &MeterLink::frameTick);
    rig.link.tick();
    EXPECT_TRUE(rig.link.state().MeterConnected);
    EXPECT_EQ(ticks.count(), 1);
    QSignalSpy lost(&rig.link, &MeterLink::meterLost);
    QSignalSpy missed(&rig.link, &MeterLink::frameMissed);
    rig.link.tick();
    rig.link.tick();
    EXPECT_EQ(lost.count(), 0);
    EXPECT_EQ(missed.count(), 2);
    rig.link.tick();
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(rig.link.state().MeterConnected);
}

TEST(MeterLinkKeys, KeyCommandSkipsTheNextPoll)
{
    SimProcess sim;
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    ASSERT_EQ(sim.command("clear-stats").left(2), "OK");

    rig.link.sendKey("H");
    EXPECT_TRUE(rig.link.state().SkipNextPoll);
    rig.link.state().MissedTicks = 0;
    rig.link.poll(); // skipped: nothing written
    EXPECT_FALSE(rig.link.state().SkipNextPoll);
    EXPECT_EQ(rig.link.state().MissedTicks, -1);
    rig.link.poll(); // polls again
    ASSERT_TRUE(waitUntil([&] { return rig.frames > 0; }));
    EXPECT_EQ(sim.received('H'), 1);
    EXPECT_EQ(sim.received('A'), 1);
    // The meter acted on the key: its frames now carry the HOLD bit.
    ASSERT_TRUE(rig.pollUntil([&] { return rig.reading.HoldOn; }));
}

TEST(MeterLinkKeys, ClosedPortWritesNothingAndCountsNothing)
{
    Rig rig;
    rig.link.sendKey("C"); // no port: silently dropped
    rig.link.poll();
    rig.link.poll();
    EXPECT_EQ(rig.link.state().MissedTicks, -1); // only the skipped poll counts back
}

TEST(MeterLinkRecovery, UnpluggedDeviceIsReopenedWhenItReturns)
{
    QTemporaryDir dir;
    const QString link = dir.filePath("meter");
    SimProcess sim({"--link", link});
    Rig rig;
    rig.link.setPorts({link});
    rig.link.searchMeter();
    ASSERT_TRUE(rig.link.state().MeterConnected);
    rig.link.startTimers();
    ASSERT_TRUE(waitUntil([&] { return rig.frames > 2; }));

    QSignalSpy lost(&rig.link, &MeterLink::meterLost);
    ASSERT_EQ(sim.command("unplug 4").left(2), "OK");
    ASSERT_TRUE(waitUntil([&] { return !rig.port.Active(); }, 5000));
    ASSERT_TRUE(waitUntil([&] { return lost.count() == 1; }, 8000));
    EXPECT_FALSE(sim.waitForLine("DEVICE ", 10000).isEmpty());
    const int before = rig.frames;
    ASSERT_TRUE(waitUntil([&] { return rig.link.state().MeterConnected; }, 15000));
    EXPECT_GT(rig.frames, before);
    EXPECT_TRUE(rig.port.Active());
    EXPECT_EQ(rig.port.DeviceName(), link);
}

TEST(MeterLinkClose, CloseQueryStopsTimersAndClosesThePort)
{
    SimProcess sim;
    Rig rig;
    rig.link.setPorts({sim.device()});
    rig.link.searchMeter();
    rig.link.startTimers();
    rig.link.state().RxBusy = true; // a receive handler still on the stack
    EXPECT_FALSE(rig.link.shutDown());
    EXPECT_FALSE(rig.link.aTimer().isActive());
    EXPECT_TRUE(rig.port.Active());
    rig.link.state().RxBusy = false;
    EXPECT_TRUE(rig.link.shutDown());
    EXPECT_FALSE(rig.port.Active());
}

TEST(MeterLinkPorts, TypedDeviceJoinsTheListAndIsOpened)
{
    PtyPair device;
    Rig rig;
    rig.link.setPorts({"ttyS0"});
    QSignalSpy index(&rig.link, &MeterLink::portIndexChanged);
    rig.link.choosePort(-1, device.path());
    EXPECT_EQ(rig.link.ports(), QStringList({"ttyS0", device.path()}));
    EXPECT_EQ(rig.link.portIndex(), 1);
    ASSERT_FALSE(index.isEmpty());
    EXPECT_EQ(index.last().at(0).toInt(), 1);
    EXPECT_EQ(rig.link.state().LastConnectedPort, 1);
    EXPECT_TRUE(rig.port.Active());
    EXPECT_EQ(rig.port.DeviceName(), device.path());
    EXPECT_EQ(MeterLink::devicePath("ttyUSB0"), "/dev/ttyUSB0");
}
