// SPDX-License-Identifier: GPL-3.0-or-later
// The panel drawn larger for high-resolution screens: which sizes there are and
// where each element of the 128 x 356 layout lands at a size.
#pragma once

#include "panel/PanelLayout.h"

#include <QRect>
#include <QSize>

#include <array>

namespace vandrel {

// The sizes View › Panel size offers, in percent.
inline constexpr std::array<int, 3> PanelPercents{100, 150, 200};

// A stored size that is none of them reads as 100 %.
int panelPercentOrDefault(int stored);

// A coordinate at `percent`, to the nearest pixel (halves away from zero).
int scaledEdge(int pixels, int percent);

// An element's rectangle at `percent`. Each edge is scaled on its own, so
// elements that did not overlap at 100 % never overlap at a larger size and
// neighbours that touched still touch.
QRect scaledRect(const PanelElement &e, int percent);
QSize scaledSize(const QSize &size, int percent);

} // namespace vandrel
