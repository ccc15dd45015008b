// SPDX-License-Identifier: GPL-3.0-or-later
// The paint decision and the blink steps as plain state transitions; the
// widget only carries out the PanelChanges they return.
#include "panel/LcdPaint.h"

#include <bit>

namespace vandrel {

namespace {

// Moves the visible icons to `wanted` and reports only real differences.
PanelChanges showIcons(LcdState &state, std::uint32_t wanted)
{
    PanelChanges changes;
    changes.iconMask = (wanted ^ state.VisibleIcons) & AllIconBits;
    changes.iconValues = wanted & changes.iconMask;
    state.VisibleIcons = (state.VisibleIcons & ~changes.iconMask) | changes.iconValues;
    return changes;
}

std::uint32_t withBits(std::uint32_t word, std::uint32_t mask, bool on)
{
    return on ? (word | mask) : (word & ~mask);
}

} // namespace

int PanelChanges::touchCount() const
{
    return std::popcount(iconMask) + std::popcount(glyphMask);
}

PanelChanges PlanPaint(LcdState &state)
{
    const std::uint32_t flags = state.LcdIconFlags;
    const std::uint32_t followed = AllIconBits & ~MaxMinBits;
    const std::uint32_t changed = (flags ^ state.AppliedFlags) & followed;
    std::uint32_t wanted = (state.VisibleIcons & ~changed) | (flags & changed);
    if (!state.MaxMinBlink)
        wanted = (wanted & ~MaxMinBits) | (flags & MaxMinBits);
    PanelChanges changes = showIcons(state, wanted);
    state.AppliedFlags = flags;

    for (int i = 0; i < GlyphPositionCount; ++i) {
        if (state.Codes[i] != state.DrawnCodes[i]) {
            changes.glyphMask |= static_cast<std::uint16_t>(1u << i);
            state.DrawnCodes[i] = state.Codes[i];
        }
    }
    return changes;
}

void ResetForShow(LcdState &state)
{
    state.Codes = LcdState::blankCodes();
    state.DrawnCodes.fill(0);
    state.AppliedFlags = 0xFFFFFFFFu;
    state.LcdIconFlags = 0;
    state.VisibleIcons = 0;
}

PanelChanges BlinkStep(LcdState &state, bool meterConnected, bool recBlink, bool clockMode)
{
    std::uint32_t wanted = state.VisibleIcons;
    if (state.MaxMinBlink && meterConnected) {
        state.MaxMinPhaseOn = !state.MaxMinPhaseOn;
        wanted = withBits(wanted, MaxMinBits, state.MaxMinPhaseOn);
    }
    if (recBlink) {
        state.RecPhaseOn = !state.RecPhaseOn;
        wanted = withBits(wanted, iconBit(IconRec), state.RecPhaseOn && !clockMode);
    }
    return showIcons(state, wanted);
}

PanelChanges DpBlinkStep(LcdState &state)
{
    return showIcons(state, state.VisibleIcons ^ (iconBit(IconT1) | iconBit(IconT2)));
}

PanelChanges ShowTemperatureLegends(LcdState &state)
{
    return showIcons(state, state.VisibleIcons | iconBit(IconT1) | iconBit(IconT2));
}

PanelChanges StopMaxMinDisplay(LcdState &state)
{
    state.MaxMinBlink = false;
    return showIcons(state, state.VisibleIcons & ~MaxMinBits);
}

DpTimerCommand DpTimerSwitch(bool wanted, bool running)
{
    if (wanted)
        return running ? DpTimerCommand::Keep : DpTimerCommand::Start;
    return running ? DpTimerCommand::StopAndShowLegends : DpTimerCommand::Keep;
}

} // namespace vandrel
