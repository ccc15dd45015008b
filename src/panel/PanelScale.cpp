// SPDX-License-Identifier: GPL-3.0-or-later
// Panel sizes.
#include "panel/PanelScale.h"

#include <algorithm>
#include <cmath>

namespace vandrel {

int panelPercentOrDefault(int stored)
{
    return std::find(PanelPercents.begin(), PanelPercents.end(), stored) != PanelPercents.end() ? stored : 100;
}

int scaledEdge(int pixels, int percent)
{
    return static_cast<int>(std::lround(pixels * percent / 100.0));
}

QRect scaledRect(const PanelElement &e, int percent)
{
    const int left = scaledEdge(e.left, percent);
    const int top = scaledEdge(e.top, percent);
    return QRect(left, top, scaledEdge(e.left + e.width, percent) - left,
                 scaledEdge(e.top + e.height, percent) - top);
}

QSize scaledSize(const QSize &size, int percent)
{
    return QSize(scaledEdge(size.width(), percent), scaledEdge(size.height(), percent));
}

} // namespace vandrel
