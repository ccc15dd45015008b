// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's sizes: which ones there are and where each element lands.
#include "panel/LcdState.h"
#include "panel/PanelLayout.h"
#include "panel/PanelScale.h"

#include <gtest/gtest.h>

#include <vector>

using namespace vandrel;

namespace {

TEST(PanelScale, OnlyTheOfferedSizesAreTaken)
{
    const std::pair<int, int> cases[] = {{100, 100}, {150, 150}, {200, 200}, {0, 100},
                                         {125, 100}, {-150, 100}, {300, 100}};
    for (const auto &[stored, used] : cases)
        EXPECT_EQ(panelPercentOrDefault(stored), used) << stored;
}

TEST(PanelScale, ElementsScaleEdgeByEdge)
{
    struct Case {
        PanelElement element;
        int percent;
        QRect expected;
    };
    const Case cases[] = {
        {GlyphElements[0], 100, QRect(20, 66, 14, 24)},
        {GlyphElements[0], 150, QRect(30, 99, 21, 36)},
        {GlyphElements[0], 200, QRect(40, 132, 28, 48)},
        {BackgroundElement, 150, QRect(6, -2, 180, 533)},   // -1.5 rounds away from zero
        {BackgroundElement, 200, QRect(8, -2, 240, 710)},
        {IconElements[IconSubPoint], 150, QRect(65, 174, 3, 3)}, // 64.5 .. 67.5
        {KeyElements[0], 150, QRect(104, 228, 61, 38)}, // 103.5 .. 165, 228 .. 265.5
    };
    for (const Case &c : cases)
        EXPECT_EQ(scaledRect(c.element, c.percent), c.expected) << c.element.name << " at " << c.percent;
}

// Whatever the size, what lay apart stays apart, so a digit never runs into
// its point and one key area never covers another.
TEST(PanelScale, ElementsThatWereApartStayApart)
{
    std::vector<PanelElement> all(GlyphElements.begin(), GlyphElements.end());
    all.insert(all.end(), IconElements.begin() + 1, IconElements.end());
    all.insert(all.end(), KeyElements.begin(), KeyElements.end());
    for (int percent : PanelPercents) {
        for (const PanelElement &a : all) {
            for (const PanelElement &b : all) {
                if (&a == &b || scaledRect(a, 100).intersects(scaledRect(b, 100)))
                    continue;
                EXPECT_FALSE(scaledRect(a, percent).intersects(scaledRect(b, percent)))
                    << a.name << " and " << b.name << " at " << percent;
            }
        }
    }
}

} // namespace
