// SPDX-License-Identifier: GPL-3.0-or-later
// Child windows open wholly inside the visible part of the main window's
// workspace, wherever the workspace would have put them.
#include "platform/MdiChild.h"
#include "platform/WindowPlacement.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

TEST(MdiChild, OpensWhollyInsideTheVisibleWorkspace)
{
    struct Case {
        QSize area;
        QRect bounds; // invalid: the workspace chooses
        QSize size;
    };
    const Case cases[] = {
        {QSize(700, 500), QRect(), QSize(532, 421)},
        {QSize(1000, 700), QRect(), QSize(508, 360)},
        {QSize(900, 600), QRect(800, 500, 508, 360), QSize()},
        {QSize(900, 600), QRect(-100, -50, 300, 200), QSize()},
    };
    for (const Case &c : cases) {
        QMdiArea area;
        area.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area.resize(c.area);
        area.show();
        // Several windows, so the workspace runs out of free places.
        for (int i = 0; i < 6; ++i) {
            auto *child = new MdiChild;
            QMdiSubWindow *w = child->showIn(area, QStringLiteral("Window %1").arg(i), c.bounds, c.size);
            w->show();
            const QRect view = area.viewport()->rect();
            EXPECT_TRUE(view.contains(w->geometry()))
                << "window " << i << " in " << c.area.width() << "x" << c.area.height() << " at " << w->x() << ","
                << w->y() << " " << w->width() << "x" << w->height();
            EXPECT_EQ(w->size(), c.bounds.isValid() ? c.bounds.size() : c.size);
        }
    }
}

} // namespace
