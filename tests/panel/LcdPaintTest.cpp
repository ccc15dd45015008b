// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the paint decision and the blink steps: only changed elements are
// touched, and blinking icons are not undone by the paint after a frame.
#include "panel/LcdPaint.h"

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

constexpr std::uint32_t T1T2 = iconBit(IconT1) | iconBit(IconT2);

// A state as a frame leaves it: codes and flags set, nothing painted yet.
LcdState frameState(std::uint32_t flags)
{
    LcdState s;
    ResetForShow(s);
    PlanPaint(s); // the blank first paint of a new panel
    s.Codes = {11, 4, 5, 6, 11, 2, 3, 4, 11, 2, 1, 0};
    s.LcdIconFlags = flags;
    return s;
}

TEST(PlanPaint, newPanelDrawsEveryGlyphBlankAndTouchesNoHiddenIcon)
{
    LcdState s;
    s.Codes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2};
    s.LcdIconFlags = AllIconBits;
    s.VisibleIcons = AllIconBits; // what an earlier, now closed, panel showed
    ResetForShow(s);
    const PanelChanges c = PlanPaint(s);
    EXPECT_EQ(c.glyphMask, 0x0FFF);
    EXPECT_EQ(c.iconMask, 0u) << "the icons of a new panel start hidden";
    EXPECT_EQ(s.DrawnCodes, LcdState::blankCodes());
    EXPECT_EQ(s.VisibleIcons, 0u);
}

TEST(PlanPaint, secondPaintWithNothingChangedTouchesNothing)
{
    LcdState s = frameState(iconBit(IconRh) | iconBit(IconMainPoint) | iconBit(IconMax));
    const PanelChanges first = PlanPaint(s);
    EXPECT_EQ(first.iconMask, iconBit(IconRh) | iconBit(IconMainPoint) | iconBit(IconMax));
    EXPECT_EQ(first.iconValues, first.iconMask);
    EXPECT_EQ(first.glyphMask, 0b111011101110) << "blank positions stay as drawn";
    EXPECT_TRUE(PlanPaint(s).empty());
}

TEST(PlanPaint, onlyChangedDigitAndIconAreTouched)
{
    LcdState s = frameState(iconBit(IconRh) | iconBit(IconSubMinus));
    PlanPaint(s);
    s.Codes[9] = 7;
    s.LcdIconFlags = iconBit(IconRh) | iconBit(IconThirdMinus);
    const PanelChanges c = PlanPaint(s);
    EXPECT_EQ(c.glyphMask, 1u << 9);
    EXPECT_EQ(c.iconMask, iconBit(IconSubMinus) | iconBit(IconThirdMinus));
    EXPECT_EQ(c.iconValues, iconBit(IconThirdMinus));
    EXPECT_EQ(c.touchCount(), 3);
}

TEST(PlanPaint, paintDoesNotUndoTheDewPointBlink)
{
    LcdState s = frameState(T1T2);
    PlanPaint(s);
    EXPECT_EQ(DpBlinkStep(s).iconMask, T1T2);
    EXPECT_EQ(s.VisibleIcons & T1T2, 0u);
    EXPECT_TRUE(PlanPaint(s).empty()) << "unchanged flags must leave the blinking legends alone";
    const PanelChanges back = DpBlinkStep(s);
    EXPECT_EQ(back.iconValues, T1T2);
}

TEST(PlanPaint, recBlinkSurvivesPaintsAndHidesInClockMode)
{
    LcdState s = frameState(iconBit(IconRec));
    PlanPaint(s);
    EXPECT_EQ(BlinkStep(s, true, true, false).iconMask, 0u) << "first phase is on; REC already shows";
    const PanelChanges off = BlinkStep(s, true, true, false);
    EXPECT_EQ(off.iconMask, iconBit(IconRec));
    EXPECT_EQ(off.iconValues, 0u);
    EXPECT_TRUE(PlanPaint(s).empty());
    EXPECT_EQ(BlinkStep(s, true, true, true).iconMask, 0u) << "on phase in clock mode stays hidden";
    EXPECT_TRUE(BlinkStep(s, true, false, false).empty()) << "no REC blink, no change";
}

TEST(PlanPaint, maxMinBlinkAlternatesWhileConnectedAndPaintLeavesIt)
{
    LcdState s = frameState(0);
    s.MaxMinBlink = true;
    PlanPaint(s);
    EXPECT_TRUE(BlinkStep(s, false, false, false).empty()) << "no blinking without a meter";
    for (int tick = 0; tick < 4; ++tick) {
        const PanelChanges c = BlinkStep(s, true, false, false);
        EXPECT_EQ(c.iconMask, MaxMinBits);
        EXPECT_EQ(c.iconValues, tick % 2 == 0 ? MaxMinBits : 0u);
        EXPECT_TRUE(PlanPaint(s).empty());
    }
}

TEST(PlanPaint, maxMinFollowItsBitsOnEveryPaintOnceBlinkEnds)
{
    LcdState s = frameState(0);
    s.MaxMinBlink = true;
    PlanPaint(s);
    BlinkStep(s, true, false, false); // both on
    s.MaxMinBlink = false;
    s.LcdIconFlags = iconBit(IconMax);
    const PanelChanges c = PlanPaint(s);
    EXPECT_EQ(c.iconMask, iconBit(IconMin));
    EXPECT_EQ(s.VisibleIcons & MaxMinBits, iconBit(IconMax));
}

TEST(PlanPaint, stopMaxMinDisplayHidesBothAndEndsBlink)
{
    LcdState s = frameState(0);
    s.MaxMinBlink = true;
    PlanPaint(s);
    BlinkStep(s, true, false, false);
    const PanelChanges c = StopMaxMinDisplay(s);
    EXPECT_FALSE(s.MaxMinBlink);
    EXPECT_EQ(c.iconMask, MaxMinBits);
    EXPECT_EQ(c.iconValues, 0u);
    EXPECT_TRUE(BlinkStep(s, true, false, false).empty());
}

TEST(PlanPaint, temperatureLegendsShowWhenDewPointTimerStops)
{
    LcdState s = frameState(T1T2);
    PlanPaint(s);
    DpBlinkStep(s);
    const PanelChanges c = ShowTemperatureLegends(s);
    EXPECT_EQ(c.iconMask, T1T2);
    EXPECT_EQ(c.iconValues, T1T2);
    EXPECT_TRUE(ShowTemperatureLegends(s).empty());
}

TEST(DpTimerSwitch, startsStopsOrKeeps)
{
    EXPECT_EQ(DpTimerSwitch(true, false), DpTimerCommand::Start);
    EXPECT_EQ(DpTimerSwitch(true, true), DpTimerCommand::Keep);
    EXPECT_EQ(DpTimerSwitch(false, true), DpTimerCommand::StopAndShowLegends);
    EXPECT_EQ(DpTimerSwitch(false, false), DpTimerCommand::Keep);
}

} // namespace
