// SPDX-License-Identifier: GPL-3.0-or-later
// The current reading of the meter: what its last display frame said, plus the
// HOLD/REL/MAX-MIN bookkeeping the program does for the on-screen display.
#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

namespace vandrel {

// The three values of one display, with the overload mark that travels with each.
struct ShownTriple {
    double rh = 0.0, t1 = 0.0, t2 = 0.0;
    bool rhOver = false, t1Over = false, t2Over = false;
};

struct MeterReading {
    // Measured values (what the table and the graph take).
    double Rh = 0.0;
    double T1 = 0.0;
    double T2 = 0.0;
    double DewPoint = 0.0;

    QString RhText, T1Text, T2Text, DewPointText;
    QString TempUnit = QStringLiteral("C");

    bool RhOver = false, T1Over = false, T2Over = false;
    bool RhNeg = false, T1Neg = false, T2Neg = false;
    bool DewPointOverload = false;
    // The dew point was computed from this frame's humidity and temperature:
    // a dew-point variant whose readings are not overloaded. Only then is it
    // a measured value a graph may draw.
    bool HasDewPoint = false;
    bool WideRangeT2 = false;

    // Values as the LCD shows them after REL, HOLD and MAX/MIN handling.
    double ShownRh = 0.0, ShownT1 = 0.0, ShownT2 = 0.0;
    bool ShownRhOver = false, ShownT1Over = false, ShownT2Over = false;

    // Frame bytes 7 and 8 as two-digit texts (model 520's time row).
    std::array<QString, 2> ByteTimeText;

    // Status fields of the two status bytes.
    int MaxMinMode = 0;
    bool HoldOn = false;
    bool RecOn = false;
    bool RecBlink = false;
    bool RelativeOn = false;
    bool ClockMode = false;
    bool HourMinute = false;
    bool AutoPowerOff = true;
    bool LowBattery = false;
    bool T2NoDecimals = false;

    // Local date and time taken when the last frame was decoded (clock display).
    QDateTime FrameTime;

    // Stores of the display modes and the previous states that detect switching on.
    ShownTriple HoldStore, MaxStore, MinStore;
    ShownTriple RelReference;
    bool PrevHoldOn = false;
    bool PrevRelativeOn = false;
    int PrevMaxMinMode = 0;
};

} // namespace vandrel
