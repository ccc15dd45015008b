// SPDX-License-Identifier: GPL-3.0-or-later
// The per-model table of the front panel; every model rule of the panel asks
// panelFacts() instead of comparing model codes itself.
#include "panel/PanelModels.h"

#include <array>

namespace vandrel {

namespace {

constexpr PanelModelFacts UnknownModel{};

constexpr std::array<PanelModelFacts, 4> KnownModels{{
    {520, RowLayout::TimeInThirdRow, IconScheme::OneTempAndTime,
     false, false, 'C', 'T', true, 'X'},
    {540, RowLayout::Standard, IconScheme::TwoTemperatures,
     false, false, 'C', 'R', false, 0},
    {560, RowLayout::TemperatureMovedDown, IconScheme::OneTempThirdRow,
     true, true, 'E', 'T', true, 0},
    {580, RowLayout::Standard, IconScheme::TwoTemperatures,
     true, true, 'E', 'T', true, 0},
}};

} // namespace

const PanelModelFacts &panelFacts(int model)
{
    for (const PanelModelFacts &f : KnownModels) {
        if (f.model == model)
            return f;
    }
    return UnknownModel;
}

} // namespace vandrel
