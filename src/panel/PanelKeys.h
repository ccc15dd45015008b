// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's keys as plain rules: which byte each key writes on which model,
// the messages instead of a write, and the long press seen by the one-second tick.
#pragma once

#include "meter/MeterIdentity.h"

#include <QByteArray>
#include <QString>

namespace vandrel {

// The click areas, numbered like their widgets (lblbtn0..lblbtn4, then Label1).
enum class PanelKey : int {
    MaxMin = 0,    // lblbtn0: press and release
    Hold = 1,      // lblbtn1: click
    LowerRight = 2, // lblbtn2: click
    LowerLeft = 3, // lblbtn3: click
    MiddleLeft = 4, // lblbtn4: press and release
    Close = 5,     // Label1: click closes the panel
};
inline constexpr int PanelKeyCount = 6;

enum class KeyEvent { Press, Release, Click };

enum class PanelMessage { None, NoConnection, DewPointOnlyFromMeter };

// The exact text of a message ("" for None).
QString panelMessageText(PanelMessage message);

// What the caller must do for one key event or tick, in this order: set
// SkipNextPoll, write the bytes, end the MAX/MIN display, show the message.
struct KeyCommand {
    bool skipNextPoll = false;
    QByteArray bytes;
    bool stopMaxMinDisplay = false;
    PanelMessage message = PanelMessage::None;
    bool closePanel = false;

    bool empty() const
    {
        return !skipNextPoll && bytes.isEmpty() && !stopMaxMinDisplay
            && message == PanelMessage::None && !closePanel;
    }
};

// Long-press bookkeeping of the two keys that know one. Lives beside the
// LCD state, outside the panel window.
struct PanelKeyState {
    bool MaxMinKeyHeld = false;
    int MaxMinTicks = 0;
    bool TKeyHeld = false;
    int TKeyTicks = 0;
};

// One mouse event on a key area. Events a key does not use give an empty command.
KeyCommand PanelKeyEvent(PanelKey key, KeyEvent event, const MeterIdentity &id,
                         bool meterConnected, PanelKeyState &keys);

// The long-press step at the start of every one-second tick: a key still held
// at the second tick after its press sends its long-press byte.
KeyCommand LongPressStep(PanelKeyState &keys, const MeterIdentity &id, bool holdOn);

} // namespace vandrel
