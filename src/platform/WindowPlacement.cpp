// SPDX-License-Identifier: GPL-3.0-or-later
// Child-window placement rules.
#include "platform/WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace vandrel {

namespace {

// One side: as long as it was, cut to `room`, never below min(length, floor).
int cutLength(int length, int room, int floor)
{
    return std::max(std::min(length, room), std::min(length, floor));
}

// One side's start: inside [0, room - length] when it fits, else 0.
int startInside(int start, int length, int room)
{
    return std::max(0, std::min(start, room - length));
}

} // namespace

QRect fitInside(const QRect &window, const QSize &workspace, const QSize &minimum)
{
    if (workspace.isEmpty())
        return window;
    const int w = cutLength(window.width(), workspace.width(), minimum.width());
    const int h = cutLength(window.height(), workspace.height(), minimum.height());
    return QRect(startInside(window.x(), w, workspace.width()), startInside(window.y(), h, workspace.height()), w, h);
}

QList<QRect> cascadeLayout(const QList<QSize> &sizes, const QList<QSize> &minimums, const QSize &workspace,
                           int step)
{
    QList<QRect> out;
    step = std::max(1, step);
    int corner = 0;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const QSize size = sizes.at(i);
        const QSize floor = minimums.value(i, kUsableWindowSize).boundedTo(size);
        // Past the point where this window would have to shrink below its
        // floor, start again at the top left.
        if (corner > 0 && (workspace.width() - corner < floor.width() || workspace.height() - corner < floor.height()))
            corner = 0;
        const int w = cutLength(size.width(), workspace.width() - corner, floor.width());
        const int h = cutLength(size.height(), workspace.height() - corner, floor.height());
        out.append(QRect(corner, corner, w, h));
        corner += step;
    }
    return out;
}

QList<QRect> tileLayout(const QList<QSize> &minimums, const QSize &workspace)
{
    QList<QRect> places;
    const int n = static_cast<int>(minimums.size());
    if (n == 0 || workspace.isEmpty())
        return places;
    const int cols = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = (n + cols - 1) / cols;
    for (int i = 0; i < n; ++i) {
        const int col = i % cols;
        const int row = i / cols;
        // Cell edges by proportion, so the cells together cover the workspace exactly.
        const int left = workspace.width() * col / cols;
        const int top = workspace.height() * row / rows;
        const QSize cell(workspace.width() * (col + 1) / cols - left, workspace.height() * (row + 1) / rows - top);
        const QSize size = cell.expandedTo(minimums.at(i));
        places.append(QRect(QPoint(std::max(0, std::min(left, workspace.width() - size.width())),
                                   std::max(0, std::min(top, workspace.height() - size.height()))),
                            size));
    }
    return places;
}

QRect besidePanel(const QRect &window, const QRect &oldPanel, const QRect &newPanel, int minimum)
{
    const int oldEdge = oldPanel.right() + 1;
    const int newEdge = newPanel.right() + 1;
    // Below both panels a window is not beside it.
    if (window.top() > std::max(oldPanel.bottom(), newPanel.bottom()))
        return window;
    const bool against = std::abs(window.left() - oldEdge) <= 1;
    const bool covered = window.left() >= oldEdge && window.left() < newEdge;
    if (!against && !covered)
        return window;
    QRect moved = window;
    moved.setLeft(newEdge);
    // Narrowed no further than usable (a window already narrower keeps its width).
    moved.setWidth(std::max(moved.width(), std::min(minimum, window.width())));
    return moved;
}

} // namespace vandrel
