// SPDX-License-Identifier: GPL-3.0-or-later
// Per-model facts of the simulated meter in one table: what each model measures,
// what status bit 5 means, which keys it has and how big a logged sample is.
#pragma once

namespace vandrel::sim {

// What status bit 5 of the first status byte stands for on a model.
enum class Bit5Meaning {
    HourMinute, // 520: the time row shows hours:minutes (set) or minutes:seconds
    Relative,   // 540: REL is on
    ClockMode,  // 560, 580: the display shows date and time
};

struct ModelInfo {
    int code;
    bool hasSecondTemperature; // third frame value is a second probe
    bool hasTimeRow;           // frame bytes 7, 8 carry a time instead of a value
    bool canRecord;            // has REC and a logger memory
    Bit5Meaning bit5;
    int sampleSize;            // bytes per logged sample
};

// The table itself; nullptr for a code that is not one of the four models.
const ModelInfo *findModel(int code);

} // namespace vandrel::sim
