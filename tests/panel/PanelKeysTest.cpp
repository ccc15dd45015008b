// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the key rules: the byte each key writes per model, the messages
// that replace a write, and the long press counted by the one-second tick.
#include "panel/PanelKeys.h"

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

struct KeyCase {
    const char *name;
    PanelKey key;
    KeyEvent event;
    int model;
    char suffix;
    bool connected;
    const char *bytes;
    bool skipNextPoll;
    PanelMessage message;
};

constexpr auto None = PanelMessage::None;
constexpr auto NoLink = PanelMessage::NoConnection;
constexpr auto DpOnly = PanelMessage::DewPointOnlyFromMeter;

class KeyTable : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTable, writesTheKeysByte)
{
    const KeyCase &c = GetParam();
    PanelKeyState keys;
    const KeyCommand cmd = PanelKeyEvent(c.key, c.event, MeterIdentity{c.model, c.suffix}, c.connected, keys);
    EXPECT_EQ(cmd.bytes, QByteArray(c.bytes));
    EXPECT_EQ(cmd.skipNextPoll, c.skipNextPoll);
    EXPECT_EQ(cmd.message, c.message);
    EXPECT_FALSE(cmd.closePanel);
    EXPECT_FALSE(cmd.stopMaxMinDisplay);
}

const KeyCase KeyCases[] = {
    {"lowerRightWritesC", PanelKey::LowerRight, KeyEvent::Click, 560, 0, true, "C", true, None},
    {"lowerRightWithoutMeter", PanelKey::LowerRight, KeyEvent::Click, 560, 0, false, "", false, NoLink},
    {"lowerRightIgnoresPress", PanelKey::LowerRight, KeyEvent::Press, 560, 0, true, "", false, None},
    {"holdWritesH", PanelKey::Hold, KeyEvent::Click, 580, 0, true, "H", true, None},
    {"holdOnDewPoint580", PanelKey::Hold, KeyEvent::Click, 580, 'D', true, "", true, DpOnly},
    {"holdOnDewPoint540", PanelKey::Hold, KeyEvent::Click, 540, 'D', true, "", true, DpOnly},
    {"holdOnDewPoint520WritesH", PanelKey::Hold, KeyEvent::Click, 520, 'D', true, "H", true, None},
    {"holdWithoutMeter", PanelKey::Hold, KeyEvent::Click, 580, 'D', false, "", false, NoLink},
    {"lowerLeft520", PanelKey::LowerLeft, KeyEvent::Click, 520, 0, true, "C", true, None},
    {"lowerLeft540", PanelKey::LowerLeft, KeyEvent::Click, 540, 0, true, "C", true, None},
    {"lowerLeft560", PanelKey::LowerLeft, KeyEvent::Click, 560, 0, true, "E", true, None},
    {"lowerLeft580", PanelKey::LowerLeft, KeyEvent::Click, 580, 0, true, "E", true, None},
    {"lowerLeftUnknownModel", PanelKey::LowerLeft, KeyEvent::Click, 999, 0, true, "C", true, None},
    {"maxMinPressWritesM", PanelKey::MaxMin, KeyEvent::Press, 540, 0, true, "M", true, None},
    {"maxMinWithoutMeter", PanelKey::MaxMin, KeyEvent::Press, 540, 0, false, "", false, NoLink},
    {"maxMinClickIsNoCommand", PanelKey::MaxMin, KeyEvent::Click, 540, 0, true, "", false, None},
    {"middleLeft520", PanelKey::MiddleLeft, KeyEvent::Press, 520, 0, true, "T", true, None},
    {"middleLeft540", PanelKey::MiddleLeft, KeyEvent::Press, 540, 0, true, "R", true, None},
    {"middleLeft560", PanelKey::MiddleLeft, KeyEvent::Press, 560, 0, true, "T", true, None},
    {"middleLeft580", PanelKey::MiddleLeft, KeyEvent::Press, 580, 0, true, "T", true, None},
    {"middleLeftUnknownModel", PanelKey::MiddleLeft, KeyEvent::Press, 999, 0, true, "", true, NoLink},
    {"middleLeftWithoutMeterIsSilent", PanelKey::MiddleLeft, KeyEvent::Press, 580, 0, false, "", false, None},
    {"middleLeftReleaseWritesNothing", PanelKey::MiddleLeft, KeyEvent::Release, 580, 0, true, "", false, None},
};

INSTANTIATE_TEST_SUITE_P(PanelKeyEvent, KeyTable, ::testing::ValuesIn(KeyCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(PanelKeyEvent, closeKeyClosesWithOrWithoutMeter)
{
    PanelKeyState keys;
    for (bool connected : {true, false}) {
        const KeyCommand c = PanelKeyEvent(PanelKey::Close, KeyEvent::Click, MeterIdentity{}, connected, keys);
        EXPECT_TRUE(c.closePanel);
        EXPECT_TRUE(c.bytes.isEmpty());
        EXPECT_FALSE(c.skipNextPoll);
    }
}

TEST(PanelMessageText, exactTexts)
{
    EXPECT_EQ(panelMessageText(PanelMessage::NoConnection), QStringLiteral("No Connection"));
    EXPECT_EQ(panelMessageText(PanelMessage::DewPointOnlyFromMeter),
              QStringLiteral("Dewpoint only can be enabled from meter!"));
    EXPECT_TRUE(panelMessageText(PanelMessage::None).isEmpty());
}

class LongPress : public ::testing::Test {
protected:
    KeyCommand press(PanelKey key, int model, bool connected = true)
    {
        return PanelKeyEvent(key, KeyEvent::Press, MeterIdentity{model, 0}, connected, keys);
    }
    void release(PanelKey key, int model)
    {
        PanelKeyEvent(key, KeyEvent::Release, MeterIdentity{model, 0}, true, keys);
    }
    KeyCommand tick(int model, bool holdOn = false) { return LongPressStep(keys, MeterIdentity{model, 0}, holdOn); }

    PanelKeyState keys;
};

TEST_F(LongPress, shortMaxMinPressWritesOnlyM)
{
    press(PanelKey::MaxMin, 580);
    release(PanelKey::MaxMin, 580);
    EXPECT_TRUE(tick(580).empty());
    EXPECT_TRUE(tick(580).empty());
}

TEST_F(LongPress, maxMinHeldToSecondTickWritesNAndDarkensIcons)
{
    press(PanelKey::MaxMin, 580);
    EXPECT_TRUE(tick(580).empty());
    const KeyCommand c = tick(580);
    EXPECT_EQ(c.bytes, QByteArray("N"));
    EXPECT_TRUE(c.skipNextPoll);
    EXPECT_TRUE(c.stopMaxMinDisplay);
    EXPECT_FALSE(keys.MaxMinKeyHeld);
    EXPECT_TRUE(tick(580).empty()) << "one long press writes N once";
}

TEST_F(LongPress, maxMinLongPressWithHoldKeepsIcons)
{
    press(PanelKey::MaxMin, 540);
    tick(540, true);
    const KeyCommand c = tick(540, true);
    EXPECT_EQ(c.bytes, QByteArray("N"));
    EXPECT_FALSE(c.stopMaxMinDisplay);
}

TEST_F(LongPress, releaseBetweenTicksCancels)
{
    press(PanelKey::MaxMin, 580);
    tick(580);
    release(PanelKey::MaxMin, 580);
    EXPECT_TRUE(tick(580).empty());
}

TEST_F(LongPress, newPressRestartsTheCount)
{
    press(PanelKey::MaxMin, 580);
    tick(580);
    release(PanelKey::MaxMin, 580);
    press(PanelKey::MaxMin, 580);
    EXPECT_TRUE(tick(580).empty());
    EXPECT_EQ(tick(580).bytes, QByteArray("N"));
}

TEST_F(LongPress, maxMinWithoutMeterStartsNoLongPress)
{
    press(PanelKey::MaxMin, 580, false);
    tick(580);
    EXPECT_TRUE(tick(580).empty());
}

TEST_F(LongPress, tKeyHeldOn520WritesX)
{
    EXPECT_EQ(press(PanelKey::MiddleLeft, 520).bytes, QByteArray("T"));
    EXPECT_TRUE(tick(520).empty());
    const KeyCommand c = tick(520);
    EXPECT_EQ(c.bytes, QByteArray("X"));
    EXPECT_TRUE(c.skipNextPoll);
    EXPECT_FALSE(c.stopMaxMinDisplay);
}

TEST_F(LongPress, tKeyHeldOn560WritesOnlyT)
{
    press(PanelKey::MiddleLeft, 560);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(tick(560).empty());
    EXPECT_TRUE(keys.TKeyHeld) << "held until the mouse is released";
    release(PanelKey::MiddleLeft, 560);
    EXPECT_FALSE(keys.TKeyHeld);
}

TEST_F(LongPress, relKeyOn540HasNoLongPress)
{
    EXPECT_EQ(press(PanelKey::MiddleLeft, 540).bytes, QByteArray("R"));
    EXPECT_FALSE(keys.TKeyHeld);
    tick(540);
    EXPECT_TRUE(tick(540).empty());
}

} // namespace
