// SPDX-License-Identifier: GPL-3.0-or-later
// Child-window placement rules.
#include "platform/WindowPlacement.h"

#include <algorithm>

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

} // namespace vandrel
