// SPDX-License-Identifier: GPL-3.0-or-later
// Key reactions, drift and frame assembly of the simulated meter.
// The meter reports live values only; HOLD, REL and MAX/MIN are just status bits.
#include "SimMeter.h"

#include <algorithm>
#include <cmath>

namespace vandrel::sim {

namespace {

// Drift keeps each reading inside a believable indoor range and pulls it back
// toward the middle, so a long demo never walks off to a limit.
constexpr double kRhLow = 30.0, kRhHigh = 70.0, kRhCentre = 50.0;
constexpr double kT1Low = 15.0, kT1High = 30.0, kT1Centre = 22.5;
constexpr double kT2Low = 15.0, kT2High = 30.0, kT2Centre = 20.0;

} // namespace

double toDisplayUnit(double celsius, bool fahrenheit)
{
    return fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

SimMeter::SimMeter(const ModelInfo &model, std::uint8_t suffix, std::uint32_t seed)
    : model_(&model), suffix_(suffix), rng_(seed)
{
    std::uniform_real_distribution<double> offset(-3.0, 3.0);
    live_.rh = kRhCentre + 3.0 * offset(rng_);
    live_.t1 = kT1Centre + offset(rng_);
    live_.t2 = kT2Centre + offset(rng_);
}

std::array<std::uint8_t, 4> SimMeter::identification() const
{
    const int code = model_->code;
    return {static_cast<std::uint8_t>('0' + code / 100 % 10), static_cast<std::uint8_t>('0' + code / 10 % 10),
            static_cast<std::uint8_t>('0' + code % 10), suffix_};
}

bool SimMeter::pressKey(std::uint8_t key)
{
    switch (key) {
    case Key::Unit:
        status_.fahrenheit = !status_.fahrenheit;
        return true;
    case Key::Hold:
        status_.hold = !status_.hold;
        return true;
    case Key::MaxMin:
        // MAX, MIN, both, then round again without passing through "off".
        status_.maxMinMode = status_.maxMinMode >= 3 ? 1 : status_.maxMinMode + 1;
        return true;
    case Key::MaxMinOff:
        status_.maxMinMode = 0;
        return true;
    case Key::Rec:
        if (!model_->canRecord)
            return false;
        status_.rec = !status_.rec;
        return true;
    case Key::Time:
        if (model_->bit5 == Bit5Meaning::Relative)
            return false;
        status_.bit5 = !status_.bit5;
        return true;
    case Key::Rel:
        if (model_->bit5 != Bit5Meaning::Relative)
            return false;
        status_.bit5 = !status_.bit5;
        return true;
    case Key::TimeReset:
        // Long press of the time key on the 520 restarts its timer.
        if (!model_->hasTimeRow)
            return false;
        elapsedSeconds_ = 0.0;
        return true;
    default:
        return false;
    }
}

double SimMeter::drift(double value, double centre, double low, double high, double seconds)
{
    std::normal_distribution<double> noise(0.0, 1.0);
    const double pull = 0.01 * (centre - value) * seconds;
    const double step = 0.08 * std::sqrt(seconds) * noise(rng_);
    return std::clamp(value + pull + step, low, high);
}

void SimMeter::advance(double seconds)
{
    if (!(seconds > 0.0))
        return;
    // A long pause is drifted in one step; cap it so the noise stays small.
    const double s = std::min(seconds, 60.0);
    live_.rh = drift(live_.rh, kRhCentre, kRhLow, kRhHigh, s * 4.0);
    live_.t1 = drift(live_.t1, kT1Centre, kT1Low, kT1High, s);
    live_.t2 = drift(live_.t2, kT2Centre, kT2Low, kT2High, s);
    elapsedSeconds_ += seconds;
}

Frame SimMeter::frame() const
{
    FrameContent c;
    c.statusA = static_cast<std::uint8_t>(status_.maxMinMode & StatusA::MaxMinMask);
    if (status_.hold)
        c.statusA |= StatusA::Hold;
    if (status_.fahrenheit)
        c.statusA |= StatusA::Fahrenheit;
    if (status_.rec && model_->canRecord) {
        c.statusA |= StatusA::Rec;
        c.statusB |= StatusB::RecBlink; // the REC mark blinks while recording
    }
    if (status_.bit5)
        c.statusA |= StatusA::Bit5;
    if (status_.autoPowerOff)
        c.statusA |= StatusA::AutoPowerOff;
    if (status_.lowBattery)
        c.statusA |= StatusA::LowBattery;

    setValue(c, 0, live_.rh);
    setValue(c, 1, toDisplayUnit(live_.t1, status_.fahrenheit));
    if (model_->hasTimeRow) {
        const auto total = static_cast<long long>(elapsedSeconds_);
        if (status_.bit5)
            setTimeRow(c, static_cast<int>(total / 3600 % 100), static_cast<int>(total / 60 % 60));
        else
            setTimeRow(c, static_cast<int>(total / 60 % 60), static_cast<int>(total % 60));
    } else if (model_->hasSecondTemperature) {
        const double t2 = toDisplayUnit(live_.t2, status_.fahrenheit);
        setValue(c, 2, t2);
        if (std::fabs(t2) > 200.0)
            c.statusB |= StatusB::T2NoDecimals;
    }
    return buildFrame(c);
}

} // namespace vandrel::sim
