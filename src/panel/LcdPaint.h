// SPDX-License-Identifier: GPL-3.0-or-later
// Decides what the panel must change on screen: the paint after a frame, the
// blink steps of the one-second tick and of the dew-point timer, and the reset on show.
#pragma once

#include "panel/LcdState.h"

#include <cstdint>

namespace vandrel {

// A set of changes to apply to the panel widgets. Only elements listed here
// are touched; everything else keeps what it shows.
struct PanelChanges {
    std::uint32_t iconMask = 0;    // icons whose visibility changes
    std::uint32_t iconValues = 0;  // their new visibility (within iconMask)
    std::uint16_t glyphMask = 0;   // glyph positions (bit i = position i) to redraw from Codes

    bool empty() const { return iconMask == 0 && glyphMask == 0; }
    int touchCount() const;
};

// The paint after BuildLcdState. Icons follow the icon word only where it
// differs from the word applied last, so icons that blink keep blinking; MAX
// and MIN follow their bits on every paint unless they blink together.
// Updates the drawn codes, the applied word and the visible icons.
PanelChanges PlanPaint(LcdState &state);

// A newly shown panel starts blank: every code blank, every icon hidden, and
// the drawn state set so that the first paint visits every element.
void ResetForShow(LcdState &state);

// The one-second blink of MAX+MIN (only while a meter is connected) and of REC
// (hidden in clock mode).
PanelChanges BlinkStep(LcdState &state, bool meterConnected, bool recBlink, bool clockMode);

// The dew-point timer's step: T1 and T2 swap between shown and hidden.
PanelChanges DpBlinkStep(LcdState &state);

// When the dew-point timer stops, both temperature legends are left visible.
PanelChanges ShowTemperatureLegends(LcdState &state);

// A long press of the MAX/MIN key ends MAX/MIN at once: no more blinking, both icons dark.
PanelChanges StopMaxMinDisplay(LcdState &state);

enum class DpTimerCommand { Keep, Start, StopAndShowLegends };

// How the caller's dew-point timer must be switched after BuildLcdState.
DpTimerCommand DpTimerSwitch(bool wanted, bool running);

} // namespace vandrel
