// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated meter's own state: identification, mode keys and slowly drifting
// live readings. Pure logic: time only moves when advance() is called.
#pragma once

#include "DisplayFrame.h"
#include "SimModel.h"

#include <array>
#include <cstdint>
#include <random>

namespace vandrel::sim {

// Key bytes the meter understands besides the poll and identification requests.
namespace Key {
inline constexpr std::uint8_t Unit = 'C';
inline constexpr std::uint8_t Hold = 'H';
inline constexpr std::uint8_t Rec = 'E';
inline constexpr std::uint8_t MaxMin = 'M';
inline constexpr std::uint8_t MaxMinOff = 'N';
inline constexpr std::uint8_t Time = 'T';
inline constexpr std::uint8_t Rel = 'R';
inline constexpr std::uint8_t TimeReset = 'X';
} // namespace Key

struct MeterStatus {
    int maxMinMode = 0;
    bool hold = false; // dew-point mode on a "D" 540/580
    bool fahrenheit = false;
    bool rec = false;
    bool bit5 = false; // HourMinute, REL or clock mode, by model
    bool autoPowerOff = true;
    bool lowBattery = false;
};

// Live values, always kept in degrees Celsius; the unit key only changes what
// the frame shows.
struct LiveValues {
    double rh = 50.0;
    double t1 = 22.0;
    double t2 = 20.0;
};

class SimMeter {
public:
    // `model` must be one of the table's codes; `suffix` 0 means no suffix.
    SimMeter(const ModelInfo &model, std::uint8_t suffix, std::uint32_t seed);

    const ModelInfo &model() const { return *model_; }
    std::uint8_t suffix() const { return suffix_; }
    const MeterStatus &status() const { return status_; }
    MeterStatus &status() { return status_; }
    const LiveValues &live() const { return live_; }

    // Three digits of the model, then the suffix byte (0 for none).
    std::array<std::uint8_t, 4> identification() const;

    // Reacts to a key byte as the meter's own key would. Returns false for a
    // byte this model has no key for (the meter ignores it).
    bool pressKey(std::uint8_t key);

    // Lets `seconds` of meter time pass: the readings drift, the 520's timer runs.
    void advance(double seconds);

    Frame frame() const;

private:
    double drift(double value, double centre, double low, double high, double seconds);

    const ModelInfo *model_;
    std::uint8_t suffix_;
    MeterStatus status_;
    LiveValues live_;
    double elapsedSeconds_ = 0.0; // the 520's time row
    std::mt19937 rng_;
};

// Degrees Celsius to the unit the display is in.
double toDisplayUnit(double celsius, bool fahrenheit);

} // namespace vandrel::sim
