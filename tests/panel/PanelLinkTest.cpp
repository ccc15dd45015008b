// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's keys and display against the simulated meter: the bytes the keys
// write, nothing written without a meter, the meter's answer showing on the
// LCD, and a panel that is closed and opened again.
#include "panel/PanelController.h"

#include "LinkRig.h"
#include "SimProcess.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

using namespace vandrel;
using vandrel::test::PtyPair;
using vandrel::test::SimProcess;
using vandrel::test::waitUntil;

namespace {

struct Rig : vandrel::test::LinkRig {
    PanelController panel{link};
    QMdiArea area;
    QStringList messages;
    Rig()
    {
        panel.setMessageSink([this](const QString &m) { messages << m; });
        area.resize(800, 600);
    }
};

bool iconOn(const LcdState &s, int bit) { return (s.LcdIconFlags >> bit) & 1u; }

} // namespace

TEST(PanelLink, NothingIsWrittenWithoutAMeter)
{
    PtyPair device;
    Rig rig;
    rig.link.setPorts({device.path()});
    rig.link.choosePort(0, device.path()); // port open, nobody answers
    ASSERT_TRUE(rig.port.Active());
    ASSERT_FALSE(rig.link.state().MeterConnected);

    rig.panel.keyEvent(PanelKey::LowerRight, KeyEvent::Click);
    rig.panel.keyEvent(PanelKey::Hold, KeyEvent::Click);
    rig.panel.keyEvent(PanelKey::MaxMin, KeyEvent::Press);
    rig.panel.keyEvent(PanelKey::MiddleLeft, KeyEvent::Press); // silently nothing
    rig.panel.tickStarted();
    rig.panel.tickStarted();
    EXPECT_EQ(device.readAvailable(0, 300), QByteArray());
    EXPECT_EQ(rig.messages, QStringList({"No Connection", "No Connection", "No Connection"}));
}

TEST(PanelLink, KeysWriteTheirBytesAndTheMeterAnswersOnTheLcd)
{
    SimProcess sim({"--model", "580"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    rig.panel.createPanel(rig.area);
    ASSERT_TRUE(rig.pollUntil([&] { return !rig.reading.RhText.isEmpty(); }));
    EXPECT_FALSE(iconOn(rig.panel.lcd(), 3)); // HOLD off
    ASSERT_EQ(sim.command("clear-stats").left(2), "OK");

    rig.panel.keyEvent(PanelKey::Hold, KeyEvent::Click);
    EXPECT_TRUE(rig.link.state().SkipNextPoll);
    ASSERT_TRUE(rig.pollUntil([&] { return iconOn(rig.panel.lcd(), 3); })); // the H icon lights

    // MAX/MIN held across two ticks: "M" on press, "N" on the second tick.
    rig.panel.keyEvent(PanelKey::MaxMin, KeyEvent::Press);
    rig.panel.tickStarted();
    rig.panel.tickStarted();
    rig.panel.keyEvent(PanelKey::MaxMin, KeyEvent::Release);
    rig.panel.keyEvent(PanelKey::LowerRight, KeyEvent::Click);
    rig.panel.keyEvent(PanelKey::LowerLeft, KeyEvent::Click);
    rig.panel.keyEvent(PanelKey::MiddleLeft, KeyEvent::Press);
    rig.panel.keyEvent(PanelKey::MiddleLeft, KeyEvent::Release);
    ASSERT_TRUE(waitUntil([&] { return sim.received('T') == 1; }));
    EXPECT_EQ(sim.received('H'), 1);
    EXPECT_EQ(sim.received('M'), 1);
    EXPECT_EQ(sim.received('N'), 1);
    EXPECT_EQ(sim.received('C'), 1);
    EXPECT_EQ(sim.received('E'), 1); // the lower-left key records on this model
    EXPECT_TRUE(rig.messages.isEmpty());
    ASSERT_TRUE(rig.pollUntil([&] { return rig.reading.TempUnit == "F"; })); // the unit key acted
}

TEST(PanelLink, ModelSpecificKeys)
{
    SimProcess sim({"--model", "540"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    rig.panel.keyEvent(PanelKey::MiddleLeft, KeyEvent::Press);
    rig.panel.tickStarted();
    rig.panel.tickStarted(); // no long press on this key here
    rig.panel.keyEvent(PanelKey::LowerLeft, KeyEvent::Click);
    ASSERT_TRUE(waitUntil([&] { return sim.received('C') == 1; }));
    EXPECT_EQ(sim.received('R'), 1);
    EXPECT_EQ(sim.received('T'), 0);
    EXPECT_EQ(sim.received('X'), 0);
}

TEST(PanelLink, DewPointVariantRefusesHoldFromThePanel)
{
    SimProcess sim({"--model", "580", "--suffix", "D"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    ASSERT_EQ(sim.command("clear-stats").left(2), "OK");
    rig.panel.keyEvent(PanelKey::Hold, KeyEvent::Click);
    EXPECT_EQ(rig.messages, QStringList({"Dewpoint only can be enabled from meter!"}));
    EXPECT_TRUE(rig.link.state().SkipNextPoll);
    rig.panel.keyEvent(PanelKey::LowerRight, KeyEvent::Click); // something that is written, to sync on
    ASSERT_TRUE(waitUntil([&] { return sim.received('C') == 1; }));
    EXPECT_EQ(sim.received('H'), 0);
}

TEST(PanelLink, ClosedPanelKeepsTheLcdAndReopensFromBlank)
{
    SimProcess sim({"--model", "560"});
    Rig rig;
    ASSERT_TRUE(rig.connectTo(sim.device()));
    QMdiSubWindow *window = rig.panel.createPanel(rig.area);
    ASSERT_NE(rig.panel.panel(), nullptr);
    window->close();
    ASSERT_TRUE(waitUntil([&] { return rig.panel.panel() == nullptr; }));

    // Frames keep coming while the panel is closed; nothing is drawn anywhere.
    ASSERT_TRUE(rig.pollUntil([&] { return rig.panel.lcd().Codes[10] != 11; }));
    rig.panel.tickStarted();
    rig.panel.keyEvent(PanelKey::LowerRight, KeyEvent::Click); // keys work without a window too

    rig.panel.createPanel(rig.area);
    ASSERT_NE(rig.panel.panel(), nullptr);
    // A new window starts blank and the next frame draws everything again.
    EXPECT_EQ(rig.panel.lcd().DrawnCodes[10], 11);
    ASSERT_TRUE(rig.pollUntil([&] { return rig.panel.lcd().DrawnCodes[10] != 11; }));
    EXPECT_EQ(rig.panel.lcd().DrawnCodes, rig.panel.lcd().Codes);
}
