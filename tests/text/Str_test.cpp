// The scratch area and string operations at sizes that move the area. fuzz/str_fuzz.cpp holds
// every operation, variables and nonsense positions included, on small texts in and out of it.
#include "toolkit/text/Str.h"

#include <gtest/gtest.h>

#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"  // StrAppend

// Pieces appended one by one far past the initial capacity (this runs first, while the area is
// small) survive its few moves, and a pointer formed after the last append reads them all. Held by
// offset, that text and a needle built after it read right even when an operation's own
// reservation moves the area: each result here outgrows the area's slack, a date's too.
TEST(Scratch, ExpressionsAndArgumentsSurviveTheAreaMoving) {
    ASSERT_TRUE(PrivateHeapCreate());  // StrRemove copies needles in the area there
    ScratchInit();
    std::string want;
    const char* base = ScratchAt(0);
    int moves = 0;
    for (int i = 0; i < 4000; ++i) {
        StrAppend(i % 2 ? "piece," : nullptr);  // the absent text only terminates
        StrFromInt(i, ScratchEnd());
        want += (i % 2 ? "piece," : "") + std::to_string(i);
        moves += ScratchAt(0) != base;
        base = ScratchAt(0);
    }
    EXPECT_LT(moves, 10);  // growth leaves room for the appends to come
    EXPECT_EQ(ScratchPass(0), want);
    const auto len = static_cast<int32_t>(want.size());
    StrAppend("3999");
    ScratchPass(len + 1);
    EXPECT_EQ(StrRemove(ScratchAt(0), ScratchAt(len + 1), ScratchEnd()), want.substr(0, len - 4));
    EXPECT_EQ(StrLeft(ScratchAt(0), len, ScratchEnd()), want);
    EXPECT_EQ(StrRight(ScratchAt(0), len - 1, ScratchEnd()), want.substr(1));
    const int32_t end = ScratchEnd();
    StrAppend(ScratchAt(0));  // a text in the area itself
    EXPECT_EQ(ScratchAt(end), want);
    EXPECT_EQ(DateFormat(ScratchAt(0), 0, end + len), want);  // a mask, output in steps
    EXPECT_EQ(ScratchEnd(), end + 2 * len);
}

// A mark hands on what was built after it, the end past its terminator so the operation's own
// result lands behind it, and takes the end back when it leaves scope, nested or not. Positions
// count from 0 both ways.
TEST(ScratchMark, PassesWhatWasBuiltAndRewindsOnLeavingScope) {
    ScratchInit();
    StrAppend("kept");
    {
        ScratchMark outer;
        StrAppend("ab");
        {
            ScratchMark inner;
            StrFromInt(-12, inner.Pos());
            const char* passed = inner.Pass();
            EXPECT_STREQ(StrLeft(passed, 2, ScratchEnd()), "-1");
            EXPECT_STREQ(ScratchAt(inner.Pos()), "-12");
        }
        EXPECT_STREQ(outer.Pass(), "ab");
    }
    EXPECT_EQ(ScratchEnd(), 4);
    EXPECT_EQ(ScratchPosOf(ScratchAt(3)), 3);
    EXPECT_EQ(ScratchPosOf("kept"), ScratchOutside);
}
