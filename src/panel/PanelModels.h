// SPDX-License-Identifier: GPL-3.0-or-later
// What the front panel needs to know about each meter model, in one table:
// row layout, icon scheme and key command bytes. What the meter measures
// (and so what HOLD means on a dew-point variant) is in meter/ModelTraits.
#pragma once

namespace vandrel {

// How a model arranges its three LCD rows outside clock mode.
enum class RowLayout {
    Standard,           // humidity, temperature, second temperature
    TimeInThirdRow,     // the third row shows the two time bytes of the frame
    TemperatureMovedDown // the temperature row moves down; the second row stays blank
};

// Which unit, sign and point icons a model lights outside clock mode.
enum class IconScheme {
    None,            // unknown model code: no model icons at all
    OneTempAndTime,  // second-row unit, sign and point; time legend and colon
    OneTempThirdRow, // third-row unit, sign and point
    TwoTemperatures  // both units, all three signs, both points, T1/T2 legends
};

struct PanelModelFacts {
    int model = 0;
    RowLayout rows = RowLayout::Standard;
    IconScheme icons = IconScheme::None;
    bool hasClock = false;       // clock mode lights the date/time legends
    bool hasRecIcon = false;     // the REC icon exists
    char key3Byte = 'C';         // lower-left key
    char tKeyByte = 0;           // middle-left key; 0: the model has no such command
    bool tKeyCanBeHeld = false;  // pressing the middle-left key starts a long press
    char tKeyLongByte = 0;       // written when that long press completes; 0: nothing
};

// The facts for a model code. Codes outside the known four get the neutral
// entry (model 0), which lights no model icons and has no middle-left command.
const PanelModelFacts &panelFacts(int model);

} // namespace vandrel
