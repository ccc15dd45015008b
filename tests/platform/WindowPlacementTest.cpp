// SPDX-License-Identifier: GPL-3.0-or-later
// Placement of child windows: a new window comes wholly into view, and Cascade
// never leaves a window smaller than it can be used at.
#include "platform/WindowPlacement.h"

#include <QRegion>

#include <gtest/gtest.h>

using namespace vandrel;

namespace {

TEST(FitInside, BringsTheWholeWindowIntoView)
{
    struct Case {
        const char *what;
        QRect window;
        QSize workspace;
        QRect expected;
    };
    const QSize ws(1000, 600);
    const Case cases[] = {
        {"already inside", QRect(100, 50, 532, 421), ws, QRect(100, 50, 532, 421)},
        {"touching the far corner", QRect(468, 179, 532, 421), ws, QRect(468, 179, 532, 421)},
        {"mostly off the right and bottom", QRect(900, 500, 532, 421), ws, QRect(468, 179, 532, 421)},
        {"above and left of the view", QRect(-200, -30, 508, 360), ws, QRect(0, 0, 508, 360)},
        {"wider than the view: cut to it", QRect(300, 10, 1400, 300), ws, QRect(0, 10, 1000, 300)},
        {"taller than the view: cut to it", QRect(10, 300, 400, 900), ws, QRect(10, 0, 400, 600)},
        {"tiny view: no smaller than usable, scrolls", QRect(50, 50, 532, 421), QSize(250, 150),
         QRect(0, 0, 320, 200)},
        {"small window is not grown", QRect(900, 590, 128, 100), ws, QRect(872, 500, 128, 100)},
        {"view not laid out yet", QRect(900, 500, 532, 421), QSize(0, 0), QRect(900, 500, 532, 421)},
    };
    for (const Case &c : cases) {
        const QRect got = fitInside(c.window, c.workspace);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST(CascadeLayout, StepsDownWithoutMakingWindowsUnusable)
{
    struct Case {
        const char *what;
        QList<QSize> sizes, minimums;
        QSize workspace;
        QList<QRect> expected;
    };
    const QSize panel(136, 380);
    const QSize usable = kUsableWindowSize;
    const Case cases[] = {
        {"sizes kept where they fit",
         {panel, QSize(532, 421), QSize(508, 360)},
         {panel, usable, usable},
         QSize(1200, 800),
         {QRect(0, 0, 136, 380), QRect(30, 30, 532, 421), QRect(60, 60, 508, 360)}},
        {"cut to what fits from the corner, not below usable",
         {QSize(1100, 700), QSize(1100, 700)},
         {usable, usable},
         QSize(1000, 600),
         {QRect(0, 0, 1000, 600), QRect(30, 30, 970, 570)}},
        {"a corner leaving too little starts again at the top left",
         {QSize(400, 300), QSize(400, 300), QSize(400, 300)},
         {usable, usable, usable},
         QSize(700, 250),
         {QRect(0, 0, 400, 250), QRect(30, 30, 400, 220), QRect(0, 0, 400, 250)}},
        {"a fixed-size window keeps its size even in a small view",
         {panel, panel},
         {panel, panel},
         QSize(300, 300),
         {QRect(0, 0, 136, 380), QRect(0, 0, 136, 380)}},
    };
    for (const Case &c : cases) {
        const QList<QRect> got = cascadeLayout(c.sizes, c.minimums, c.workspace, 30);
        EXPECT_EQ(got, c.expected) << c.what;
        for (qsizetype i = 0; i < got.size(); ++i) {
            const QSize floor = c.minimums.at(i).boundedTo(c.sizes.at(i));
            EXPECT_GE(got.at(i).width(), floor.width()) << c.what;
            EXPECT_GE(got.at(i).height(), floor.height()) << c.what;
        }
    }
}

} // namespace

TEST(TileLayout, EveryWindowStaysWhollyInViewHoweverManyThereAre)
{
    struct Case {
        int windows;
        QSize workspace;
        QSize minimum;
    };
    const Case cases[] = {
        {1, {1024, 500}, {100, 80}},  {2, {1024, 500}, {100, 80}},  {5, {1024, 500}, {100, 80}},
        {12, {1024, 500}, {100, 80}}, {12, {800, 300}, {320, 200}}, {30, {1366, 640}, {200, 150}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.windows);
        const QList<QRect> places = tileLayout(QList<QSize>(c.windows, c.minimum), c.workspace);
        ASSERT_EQ(places.size(), c.windows);
        const QRect workspace(QPoint(0, 0), c.workspace);
        QRegion covered;
        for (const QRect &r : places) {
            EXPECT_TRUE(workspace.contains(r)) << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
            EXPECT_GE(r.width(), c.minimum.width());
            EXPECT_GE(r.height(), c.minimum.height());
            covered += r;
        }
        // Nothing of the workspace is left empty where the windows could have been.
        EXPECT_EQ(covered.boundingRect(), workspace);
    }
    // The windows share the workspace without overlapping when their cells are large enough.
    const QList<QRect> four = tileLayout(QList<QSize>(4, QSize(100, 80)), QSize(1000, 600));
    EXPECT_EQ(four, (QList<QRect>{QRect(0, 0, 500, 300), QRect(500, 0, 500, 300), QRect(0, 300, 500, 300),
                                  QRect(500, 300, 500, 300)}));
}

TEST(BesidePanel, WindowsAgainstOrUnderThePanelMakeRoomAndTakeItBack)
{
    const QRect small(0, 0, 130, 380);  // the panel's window at 100 %
    const QRect large(0, 0, 258, 740);  // at 200 %
    struct Case {
        QRect window;
        QRect from, to;
        QRect expected;
    };
    const Case cases[] = {
        {QRect(130, 0, 870, 400), small, large, QRect(258, 0, 742, 400)},   // the graph beside it
        {QRect(130, 400, 870, 300), small, large, QRect(258, 400, 742, 300)}, // the table under the graph
        {QRect(258, 0, 742, 400), large, small, QRect(130, 0, 870, 400)},   // back again
        {QRect(200, 50, 400, 300), small, large, QRect(258, 50, 342, 300)}, // partly under it
        {QRect(130, 0, 380, 300), small, large, QRect(258, 0, 320, 300)},   // kept usable
        {QRect(600, 0, 300, 300), small, large, QRect(600, 0, 300, 300)},   // not beside it
        {QRect(130, 760, 500, 200), small, large, QRect(130, 760, 500, 200)}, // below it
    };
    for (const Case &c : cases)
        EXPECT_EQ(besidePanel(c.window, c.from, c.to), c.expected) << c.window.x() << ',' << c.window.y();
}
