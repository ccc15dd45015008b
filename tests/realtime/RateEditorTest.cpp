// SPDX-License-Identifier: GPL-3.0-or-later
// The sampling-rate editor text: filling, the rate while typing and the
// corrections when an edit ends.
#include "realtime/RateEditor.h"

#include <gtest/gtest.h>

using namespace vandrel;

TEST(RateEditor, FillsMinutesAndSeconds)
{
    EXPECT_EQ(rateEditorText(2), "  00 : 02 ");
    EXPECT_EQ(rateEditorText(125), "  02 : 05 ");
    EXPECT_EQ(rateEditorText(3660), "  61 : 00 ");
}

// Each text read while typing, and when the edit ends with 7 s in force.
TEST(RateEditor, OnlyAFinishedTextBecomesTheRate)
{
    constexpr int kInForce = 7;
    struct Case {
        QString text;
        std::optional<int> typing; // the rate taken at once, if any
        int finished;              // the rate once the edit ends
        QString shown;             // the text then, when it is rewritten
    };
    const Case cases[] = {
        {"  01 : 30  ", 90, 90, {}},
        {"  00 : 02 ", 2, 2, {}},
        {"  60 : 60  ", 3660, 3660, {}},
        {"  00 : 00  ", std::nullopt, 0, {}},                     // zero only as a finished edit
        {"  99 : 05  ", std::nullopt, 3605, "  60 : 05 "},        // above 60: corrected at the end
        {"  05 : 75  ", std::nullopt, 360, "  05 : 60 "},
        {"  00 : 0_  ", std::nullopt, kInForce, "  00 : 07 "},    // a deleted digit: unfinished
        {"  1_ : 05  ", std::nullopt, kInForce, "  00 : 07 "},
        {"  _5 : 05  ", std::nullopt, kInForce, "  00 : 07 "},
        {"  __ : __  ", std::nullopt, kInForce, "  00 : 07 "},
        {"  -1 : 05  ", std::nullopt, kInForce, "  00 : 07 "},
        {"", std::nullopt, kInForce, "  00 : 07 "},
    };
    for (const Case &c : cases) {
        const std::string name = c.text.toStdString();
        EXPECT_EQ(rateWhileEditing(c.text), c.typing) << name;
        const RateEdit r = finishRateEdit(c.text, kInForce);
        EXPECT_EQ(r.seconds, c.finished) << name;
        EXPECT_EQ(r.rewrite, !c.shown.isEmpty()) << name;
        if (r.rewrite) {
            EXPECT_EQ(r.text, c.shown) << name;
        }
    }
}
