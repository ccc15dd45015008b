// SPDX-License-Identifier: GPL-3.0-or-later
// Where child windows go in the main window's workspace: a new window lies
// wholly in view, and Cascade lines windows up without making them unusable.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace vandrel {

// Below this a graph or a table shows too little to work with.
inline constexpr QSize kUsableWindowSize{320, 200};

// The window moved in from every workspace edge it crosses. One larger than the
// workspace is cut to it, but never below `minimum` (nor grown to it); such a
// window starts at the top left and the workspace scrolls to the rest. An empty
// workspace (not laid out yet) leaves the window as it is.
QRect fitInside(const QRect &window, const QSize &workspace, const QSize &minimum = kUsableWindowSize);

// Cascade: window i (in the order given) at the i-th step down and right, as
// large as it was but cut to what fits from its corner. No window is cut below
// `minimum` (a smaller one keeps its size, a fixed-size window gives its size
// as minimum); when the next corner leaves less than that, the cascade starts
// again at the top left.
QList<QRect> cascadeLayout(const QList<QSize> &sizes, const QList<QSize> &minimums, const QSize &workspace,
                           int step);

// Tile: the windows in a grid of about as many columns as rows that fills the
// workspace, window i (in the order given) in cell i, row by row. A window
// whose `minimum` is larger than its cell keeps that size and is moved in
// from the workspace's right and bottom edges instead, so every window stays
// wholly in view (overlapping a neighbour rather than lying off-screen).
QList<QRect> tileLayout(const QList<QSize> &minimums, const QSize &workspace);

// A window beside the panel when the panel changes size from `oldPanel` to
// `newPanel`: one that stood against the panel's right edge or now lies under
// the panel moves its left edge to the new one, keeping its right edge, but
// never narrower than `minimum` wide. Any other window stays where it is.
QRect besidePanel(const QRect &window, const QRect &oldPanel, const QRect &newPanel, int minimum = kUsableWindowSize.width());

} // namespace vandrel
