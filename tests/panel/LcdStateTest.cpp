// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of BuildLcdState: the twelve glyph codes and the icon word for the
// display situations that matter (overloads, blanks, clock, per-model rows).
#include "panel/LcdState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace vandrel;

namespace {

constexpr int B = glyph::Blank;

struct RowCase {
    const char *name;
    int model;
    char suffix;
    std::function<void(MeterReading &)> setUp;
    GlyphCodes codes;
    std::uint32_t bitsOn;   // must all be set
    std::uint32_t bitsOff;  // must all be clear
};

std::uint32_t bits(std::initializer_list<int> list)
{
    std::uint32_t word = 0;
    for (int b : list)
        word |= iconBit(b);
    return word;
}

MeterReading plainReading()
{
    MeterReading r;
    r.ShownRh = 45.6;
    r.ShownT1 = 23.4;
    r.ShownT2 = 21.0;
    r.AutoPowerOff = false;
    return r;
}

void clockAt(MeterReading &r, QDate date, QTime time)
{
    r.ClockMode = true;
    r.FrameTime = QDateTime(date, time);
}

class RowCodes : public ::testing::TestWithParam<RowCase> {};

TEST_P(RowCodes, giveCodesAndIcons)
{
    const RowCase &c = GetParam();
    MeterReading r = plainReading();
    c.setUp(r);
    LcdState state;
    BuildLcdState(r, MeterIdentity{c.model, c.suffix}, state);
    EXPECT_EQ(state.Codes, c.codes);
    EXPECT_EQ(state.LcdIconFlags & c.bitsOn, c.bitsOn);
    EXPECT_EQ(state.LcdIconFlags & c.bitsOff, 0u);
}

const RowCase RowCases[] = {
    {"humidityWithPoint", 580, 0, [](MeterReading &) {},
     {B, 4, 5, 6, B, 2, 3, 4, B, 2, 1, 0}, bits({IconMainPoint, IconRh, IconSubPoint, IconThirdPoint}), 0},
    {"bothLeadingZerosBlank", 580, 0, [](MeterReading &r) { r.ShownRh = 5.0; },
     {B, B, 5, 0, B, 2, 3, 4, B, 2, 1, 0}, 0, 0},
    {"zeroKeepsLastTwoDigits", 580, 0, [](MeterReading &r) { r.ShownRh = 0.0; },
     {B, B, 0, 0, B, 2, 3, 4, B, 2, 1, 0}, 0, bits({IconMainMinus})},
    {"innerZerosKept", 580, 0, [](MeterReading &r) { r.ShownRh = 100.5; },
     {1, 0, 0, 5, B, 2, 3, 4, B, 2, 1, 0}, 0, 0},
    {"negativeOverloadReadsErr", 580, 0, [](MeterReading &r) { r.ShownRhOver = true, r.ShownRh = -12.0; },
     {B, glyph::E, glyph::SmallR, glyph::SmallR, B, 2, 3, 4, B, 2, 1, 0},
     bits({IconMainMinus}), bits({IconMainPoint})},
    {"overloadAtNegativeZeroReadsOL", 580, 0, [](MeterReading &r) { r.ShownRhOver = true, r.ShownRh = -0.0; },
     {B, 0, glyph::L, B, B, 2, 3, 4, B, 2, 1, 0}, bits({IconRh}), bits({IconMainPoint, IconMainMinus})},
    {"secondRowOverloadIgnoresSign", 580, 0, [](MeterReading &r) { r.ShownT1Over = true, r.ShownT1 = -5.0; },
     {B, 4, 5, 6, B, 0, glyph::L, B, B, 2, 1, 0}, bits({IconSubMinus}), bits({IconSubPoint})},
    {"negativeThirdRow", 580, 0, [](MeterReading &r) { r.ShownT2 = -12.3; },
     {B, 4, 5, 6, B, 2, 3, 4, B, 1, 2, 3}, bits({IconThirdMinus, IconThirdPoint, IconT1, IconT2}), 0},
    {"thirdRowWithoutDecimals", 580, 0, [](MeterReading &r) { r.ShownT2 = 250, r.T2NoDecimals = true; },
     {B, 4, 5, 6, B, 2, 3, 4, B, 2, 5, 0}, 0, bits({IconThirdPoint})},
    {"thirdRowCutInSinglePrecision", 580, 0,
     [](MeterReading &r) { r.ShownT2 = std::nextafter(200.0, 0.0), r.T2NoDecimals = true; },
     {B, 4, 5, 6, B, 2, 3, 4, B, 2, 0, 0}, 0, 0},
    {"thirdRowLeadingZerosBlank", 580, 0, [](MeterReading &r) { r.ShownT2 = 0.5; },
     {B, 4, 5, 6, B, 2, 3, 4, B, B, 0, 5}, 0, 0},
    {"fahrenheitUnits", 540, 0, [](MeterReading &r) { r.TempUnit = QStringLiteral("F"); },
     {B, 4, 5, 6, B, 2, 3, 4, B, 2, 1, 0}, bits({IconSubF, IconThirdF}), bits({IconSubC, IconThirdC})},
    {"fourDigitsKeepTheLastFour", 580, 0, [](MeterReading &r) { r.ShownRh = 1234.5; },
     {2, 3, 4, 5, B, 2, 3, 4, B, 2, 1, 0}, 0, 0},
    {"model560MovesTemperatureDown", 560, 0, [](MeterReading &r) { r.ShownT1 = -7.5; },
     {B, 4, 5, 6, B, B, B, B, B, B, 7, 5},
     bits({IconThirdC, IconThirdPoint, IconThirdMinus}),
     bits({IconSubC, IconSubPoint, IconSubMinus, IconT1, IconT2})},
    {"model560OverloadMovesDown", 560, 0, [](MeterReading &r) { r.ShownT1Over = true; },
     {B, 4, 5, 6, B, B, B, B, B, 0, glyph::L, B}, 0, bits({IconThirdPoint})},
    {"model520TimeRowKeepsLeadingDigit", 520, 0,
     [](MeterReading &r) { r.ByteTimeText = {QStringLiteral("12"), QStringLiteral("05")}; },
     {B, 4, 5, 6, B, 2, 3, 4, 1, 2, 0, 5}, bits({IconColon, IconMinuteSecond, IconSubC, IconSubPoint}),
     bits({IconHourMinute, IconThirdPoint, IconT1})},
    {"model520TimeRowKeepsZeros", 520, 0,
     [](MeterReading &r) { r.ByteTimeText = {QStringLiteral("00"), QStringLiteral("05")}, r.HourMinute = true; },
     {B, 4, 5, 6, B, 2, 3, 4, 0, 0, 0, 5}, bits({IconHourMinute}), bits({IconMinuteSecond})},
    {"clockMode580", 580, 0, [](MeterReading &r) { clockAt(r, QDate(2025, 3, 12), QTime(9, 7)); },
     {2, 0, 2, 5, 0, 3, 1, 2, 0, 9, 0, 7},
     bits({IconYear, IconMonthDay, IconHourMinute, IconDash, IconColon}),
     bits({IconMainPoint, IconRh, IconT1, IconT2, IconSubC, IconThirdC, IconSubPoint})},
    {"clockModeKeepsLeadingZeros560", 560, 0, [](MeterReading &r) { clockAt(r, QDate(2001, 1, 5), QTime(0, 0)); },
     {2, 0, 0, 1, 0, 1, 0, 5, 0, 0, 0, 0}, bits({IconYear, IconMonthDay, IconDash}), bits({IconThirdC})},
    {"clockModeHidesMaxMin", 580, 0,
     [](MeterReading &r) { clockAt(r, QDate(2025, 3, 12), QTime(9, 7)), r.MaxMinMode = 1; },
     {2, 0, 2, 5, 0, 3, 1, 2, 0, 9, 0, 7}, 0, bits({IconMax, IconMin})},
    {"dewPointDisplay", 580, 'D',
     [](MeterReading &r) { r.HoldOn = true, r.DewPoint = 9.3, r.T2 = 20.0, r.ShownT2 = 9.3 - 20.0; },
     {B, 4, 5, 6, B, B, 9, 3, B, 1, 0, 7}, bits({IconHold, IconThirdMinus}), bits({IconSubMinus})},
    {"dewPointBelowZeroShowsItsMinus", 540, 'D', [](MeterReading &r) { r.HoldOn = true, r.DewPoint = -4.2; },
     {B, 4, 5, 6, B, B, 4, 2, B, B, 4, 2}, bits({IconSubMinus, IconSubPoint}), 0},
    {"dewPointOverload", 580, 'D',
     [](MeterReading &r) { r.HoldOn = true, r.DewPointOverload = true, r.DewPoint = -4.2; },
     {B, 4, 5, 6, B, 0, glyph::L, B, B, 0, glyph::L, B}, 0,
     bits({IconSubMinus, IconSubPoint, IconThirdPoint})},
    {"dewPointWithoutNumberReadsOL", 580, 'D',
     [](MeterReading &r) { r.HoldOn = true, r.DewPoint = -std::numeric_limits<double>::infinity(); },
     {B, 4, 5, 6, B, 0, glyph::L, B, B, 0, glyph::L, B}, 0, 0},
    {"holdWithoutDVariantIsNoDewPoint", 580, 0, [](MeterReading &r) { r.HoldOn = true, r.DewPoint = 9.3; },
     {B, 4, 5, 6, B, 2, 3, 4, B, 2, 1, 0}, bits({IconHold}), 0},
    {"unknownModelLightsNoModelIcons", 999, 0, [](MeterReading &r) { r.RecOn = true; },
     {B, 4, 5, 6, B, 2, 3, 4, B, 2, 1, 0}, bits({IconMainPoint, IconRh}),
     AllIconBits & ~bits({IconMainPoint, IconRh})},
};

INSTANTIATE_TEST_SUITE_P(BuildLcdState, RowCodes, ::testing::ValuesIn(RowCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(BuildLcdState, statusIconsFollowTheReading)
{
    MeterReading r = plainReading();
    r.LowBattery = true;
    r.AutoPowerOff = true;
    r.RelativeOn = true;
    r.RecOn = true;
    LcdState state;
    BuildLcdState(r, MeterIdentity{560, 0}, state);
    EXPECT_EQ(state.LcdIconFlags & bits({IconLowBattery, IconAutoOff, IconRel, IconRec, IconHold}),
              bits({IconLowBattery, IconAutoOff, IconRel, IconRec}));
    BuildLcdState(r, MeterIdentity{540, 0}, state);
    EXPECT_FALSE(state.LcdIconFlags & iconBit(IconRec)) << "540 has no REC icon";
    EXPECT_FALSE(state.LcdIconFlags & 1u) << "bit 0 carries nothing";
}

TEST(BuildLcdState, maxMinModeSetsIconsOrBlink)
{
    MeterReading r = plainReading();
    LcdState state;
    const MeterIdentity id{580, 0};
    r.MaxMinMode = 3;
    BuildLcdState(r, id, state);
    EXPECT_TRUE(state.MaxMinBlink);
    EXPECT_EQ(state.LcdIconFlags & MaxMinBits, 0u);

    // Clock mode leaves the blink as it was.
    r.ClockMode = true;
    r.MaxMinMode = 0;
    BuildLcdState(r, id, state);
    EXPECT_TRUE(state.MaxMinBlink);

    r.ClockMode = false;
    r.MaxMinMode = 2;
    BuildLcdState(r, id, state);
    EXPECT_FALSE(state.MaxMinBlink);
    EXPECT_EQ(state.LcdIconFlags & MaxMinBits, iconBit(IconMin));
    r.MaxMinMode = 1;
    BuildLcdState(r, id, state);
    EXPECT_EQ(state.LcdIconFlags & MaxMinBits, iconBit(IconMax));
}

struct DpCase {
    int model;
    char suffix;
    bool holdOn;
    bool wanted;
};

class DpTimerWanted : public ::testing::TestWithParam<DpCase> {};

TEST_P(DpTimerWanted, onlyForDewPointDisplayOnTwoTemperatureMeters)
{
    const DpCase &c = GetParam();
    MeterReading r = plainReading();
    r.HoldOn = c.holdOn;
    LcdState state;
    EXPECT_EQ(BuildLcdState(r, MeterIdentity{c.model, c.suffix}, state), c.wanted);
    EXPECT_EQ(state.DpTimerWanted, c.wanted);
}

INSTANTIATE_TEST_SUITE_P(BuildLcdState, DpTimerWanted,
                         ::testing::Values(DpCase{580, 'D', true, true}, DpCase{540, 'D', true, true},
                                           DpCase{580, 'D', false, false}, DpCase{580, 0, true, false},
                                           DpCase{520, 'D', true, false}, DpCase{560, 'D', true, false}));

} // namespace
