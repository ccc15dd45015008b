// SPDX-License-Identifier: GPL-3.0-or-later
// The sampling-rate editor text: filling and reading with its corrections.
#include "realtime/RateEditor.h"

#include <gtest/gtest.h>

using namespace vandrel;

TEST(RateEditor, FillsMinutesAndSeconds)
{
    EXPECT_EQ(rateEditorText(2), "  00 : 02 ");
    EXPECT_EQ(rateEditorText(125), "  02 : 05 ");
    EXPECT_EQ(rateEditorText(3660), "  61 : 00 ");
}

TEST(RateEditor, ReadsAndCorrects)
{
    struct Case {
        QString text;
        int seconds;
        bool rewrite;
        QString corrected;
    };
    const Case cases[] = {
        {"  01 : 30  ", 90, false, {}},
        {"  00 : 02 ", 2, false, {}},
        {"  99 : 05  ", 3605, true, "  60 : 05 "},
        {"  05 : 75  ", 360, true, "  05 : 60 "},
        {"  1_ : 05  ", 5, true, "  00 : 05 "},
        {"  __ : __  ", 0, true, "  00 : 00 "},
        {"", 0, true, "  00 : 00 "},
    };
    for (const Case &c : cases) {
        const RateEdit r = parseRateEditorText(c.text);
        EXPECT_EQ(r.seconds, c.seconds) << c.text.toStdString();
        EXPECT_EQ(r.rewrite, c.rewrite) << c.text.toStdString();
        if (c.rewrite) {
            EXPECT_EQ(r.text, c.corrected) << c.text.toStdString();
        }
    }
}
