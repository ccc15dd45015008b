// SPDX-License-Identifier: GPL-3.0-or-later
// The per-model table of the simulated meter. Everything that differs between
// the four models is answered here, so the state machine has no model branches.
#include "SimModel.h"

#include <array>

namespace vandrel::sim {

namespace {

constexpr std::array<ModelInfo, 4> kModels{{
    {520, false, true, false, Bit5Meaning::HourMinute, 4},
    {540, true, false, false, Bit5Meaning::Relative, 6},
    {560, false, false, true, Bit5Meaning::ClockMode, 4},
    {580, true, false, true, Bit5Meaning::ClockMode, 6},
}};

} // namespace

const ModelInfo *findModel(int code)
{
    for (const ModelInfo &m : kModels) {
        if (m.code == code)
            return &m;
    }
    return nullptr;
}

} // namespace vandrel::sim
