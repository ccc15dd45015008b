// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the display-frame encoding and of the simulated meter's identification,
// key reactions per model, unit conversion and drift limits.
#include "DisplayFrame.h"
#include "SimMeter.h"

#include <gtest/gtest.h>

#include <string>

using namespace vandrel::sim;

namespace {

double value(const Frame &f, int slot)
{
    return ((f[3 + 2 * slot] << 8) | f[4 + 2 * slot]) / 10.0;
}

SimMeter meterFor(int model, std::uint8_t suffix = 0) { return SimMeter(*findModel(model), suffix, 7); }

} // namespace

TEST(DisplayFrame, encodesValuesBigEndianWithSignAndOverloadInStatusB)
{
    FrameContent c;
    c.statusA = 0x5A;
    setValue(c, 0, 45.6);
    setValue(c, 1, -3.0);
    setValue(c, 2, 7000.0); // beyond 6553.5: cannot be represented
    const Frame f = buildFrame(c);
    EXPECT_EQ(f[0], 0x02);
    EXPECT_EQ(f[9], 0x03);
    EXPECT_EQ(f[1], 0x5A);
    EXPECT_EQ(f[3], 0x01);
    EXPECT_EQ(f[4], 0xC8);
    EXPECT_EQ(f[5], 0x00);
    EXPECT_EQ(f[6], 0x1E);
    EXPECT_EQ(f[2], 0x20 | 0x04); // second value negative, third overloaded
}

TEST(DisplayFrame, settingASlotAgainClearsItsOldSignAndOverload)
{
    FrameContent c;
    setValue(c, 0, -5.0, true);
    setValue(c, 1, -1.0);
    setValue(c, 0, 12.3);
    EXPECT_EQ(c.statusB, 0x20);
    EXPECT_EQ(c.values[0], 123);
    setValue(c, 1, -0.01); // rounds to zero: no negative zero on the display
    EXPECT_EQ(c.statusB, 0x00);
}

struct IdCase {
    int model;
    std::uint8_t suffix;
    const char *expected;
};

class Identification : public ::testing::TestWithParam<IdCase> {};

TEST_P(Identification, isThreeDigitsAndTheSuffixByte)
{
    const auto id = meterFor(GetParam().model, GetParam().suffix).identification();
    EXPECT_EQ(std::string(id.begin(), id.end()), std::string(GetParam().expected, 4));
}

INSTANTIATE_TEST_SUITE_P(Models, Identification,
                         ::testing::Values(IdCase{520, 0, "520\0"}, IdCase{540, 'D', "540D"},
                                           IdCase{560, '\r', "560\r"}, IdCase{580, 'D', "580D"}));

// What one key press changes in status byte A, per model.
struct KeyCase {
    int model;
    std::uint8_t suffix;
    char key;
    std::uint8_t bitsChanged; // 0: the key is ignored
};

class KeyReaction : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyReaction, togglesExactlyItsBitAndBackOnASecondPress)
{
    const KeyCase &k = GetParam();
    SimMeter m = meterFor(k.model, k.suffix);
    const std::uint8_t before = m.frame()[1];
    EXPECT_EQ(m.pressKey(static_cast<std::uint8_t>(k.key)), k.bitsChanged != 0);
    EXPECT_EQ(m.frame()[1] ^ before, k.bitsChanged);
    m.pressKey(static_cast<std::uint8_t>(k.key));
    EXPECT_EQ(m.frame()[1], before);
}

INSTANTIATE_TEST_SUITE_P(
    PerModel, KeyReaction,
    ::testing::Values(KeyCase{520, 0, 'H', 0x04}, KeyCase{580, 'D', 'H', 0x04}, KeyCase{540, 0, 'C', 0x08},
                      KeyCase{540, 0, 'R', 0x20}, KeyCase{520, 0, 'R', 0}, KeyCase{580, 0, 'R', 0},
                      KeyCase{540, 0, 'T', 0}, KeyCase{520, 0, 'T', 0x20}, KeyCase{560, 0, 'T', 0x20},
                      KeyCase{580, 0, 'T', 0x20}, KeyCase{560, 0, 'E', 0x10}, KeyCase{580, 0, 'E', 0x10},
                      KeyCase{520, 0, 'E', 0}, KeyCase{540, 0, 'E', 0}, KeyCase{580, 0, 'Z', 0},
                      KeyCase{580, 0, 'X', 0}));

TEST(SimMeter, maxMinKeyCyclesThroughThreeModesAndNLeavesThem)
{
    SimMeter m = meterFor(580);
    std::vector<int> modes;
    for (int i = 0; i < 5; ++i) {
        m.pressKey('M');
        modes.push_back(m.frame()[1] & 0x03);
    }
    EXPECT_EQ(modes, (std::vector<int>{1, 2, 3, 1, 2}));
    m.pressKey('N');
    EXPECT_EQ(m.frame()[1] & 0x03, 0);
}

TEST(SimMeter, recordingBlinksTheRecMark)
{
    SimMeter m = meterFor(560);
    m.pressKey('E');
    EXPECT_EQ(m.frame()[2] & StatusB::RecBlink, StatusB::RecBlink);
}

TEST(SimMeter, unitKeyConvertsTemperaturesButNotHumidity)
{
    SimMeter m = meterFor(580);
    const Frame c = m.frame();
    m.pressKey('C');
    const Frame f = m.frame();
    EXPECT_DOUBLE_EQ(value(f, 0), value(c, 0));
    EXPECT_NEAR(value(f, 1), m.live().t1 * 9 / 5 + 32, 0.051);
    EXPECT_NEAR(value(f, 2), m.live().t2 * 9 / 5 + 32, 0.051);
    EXPECT_NEAR(value(c, 1), m.live().t1, 0.051);
}

TEST(SimMeter, singleTemperatureModelsLeaveTheThirdValueEmpty)
{
    const Frame f = meterFor(560).frame();
    EXPECT_EQ(f[7], 0);
    EXPECT_EQ(f[8], 0);
}

TEST(SimMeter, model520ShowsItsTimerAsMinutesSecondsOrHoursMinutesAndXRestartsIt)
{
    SimMeter m = meterFor(520);
    m.advance(2 * 3600 + 5 * 60 + 9); // 2:05:09
    Frame f = m.frame();
    EXPECT_EQ(f[7], 5);
    EXPECT_EQ(f[8], 9);
    m.pressKey('T');
    f = m.frame();
    EXPECT_EQ(f[1] & 0x20, 0x20);
    EXPECT_EQ(f[7], 2);
    EXPECT_EQ(f[8], 5);
    m.pressKey('X');
    f = m.frame();
    EXPECT_EQ(f[7], 0);
    EXPECT_EQ(f[8], 0);
    EXPECT_EQ(f[2] & 0x0C, 0); // a time has no sign or overload
}

TEST(SimMeter, driftStaysWithinBelievableRangesOverADay)
{
    SimMeter m = meterFor(540);
    for (int i = 0; i < 24 * 3600 / 5; ++i) {
        m.advance(5.0);
        const Frame f = m.frame();
        ASSERT_GE(value(f, 0), 30.0);
        ASSERT_LE(value(f, 0), 70.0);
        ASSERT_GE(value(f, 1), 15.0);
        ASSERT_LE(value(f, 1), 30.0);
        ASSERT_GE(value(f, 2), 15.0);
        ASSERT_LE(value(f, 2), 30.0);
        ASSERT_EQ(f[2], 0); // nothing negative or overloaded
    }
}

TEST(SimMeter, readingsActuallyMoveOverTime)
{
    SimMeter m = meterFor(580);
    const Frame first = m.frame();
    int changed = 0;
    for (int i = 0; i < 60; ++i) {
        m.advance(10.0);
        changed += m.frame() != first;
    }
    EXPECT_GT(changed, 30);
}
