// The scratch area, string variables and string operations. fuzz/str_fuzz.cpp holds every
// operation to std::string on small texts in and out of the area; here are the sizes that move
// the area and the misuse a caller can commit.
#include "toolkit/text/Str.h"

#include <gtest/gtest.h>

#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"

// Pieces appended one by one far past the initial capacity (this runs first, while the area is
// small) survive its few moves, and a pointer formed after the last append reads them all. Held by
// offset, that text and a needle built after it read right even when an operation's own
// reservation moves the area: each result here outgrows the area's slack, a date's too.
TEST(Scratch, ExpressionsAndArgumentsSurviveTheAreaMoving) {
    ASSERT_TRUE(PrivateHeapCreate());  // StrRemove copies needles in the area there
    ScratchInit();
    std::string want;
    const char* base = ScratchPointerAt(1);
    int moves = 0;
    for (int i = 0; i < 4000; ++i) {
        StrAppend(i % 2 ? "piece," : nullptr);  // the absent text only terminates
        StrFromInt(i, ScratchEnd());
        want += (i % 2 ? "piece," : "") + std::to_string(i);
        moves += ScratchPointerAt(1) != base;
        base = ScratchPointerAt(1);
    }
    EXPECT_LT(moves, 10);  // growth leaves room for the appends to come
    EXPECT_EQ(ScratchPass(0), want);
    const auto len = static_cast<int32_t>(want.size());
    StrAppend("3999");
    ScratchPass(len + 1);
    EXPECT_EQ(StrRemove(ScratchPointerAt(1), ScratchPointerAt(len + 2), ScratchEnd()),
              want.substr(0, len - 4));
    EXPECT_EQ(StrLeft(ScratchPointerAt(1), len, ScratchEnd()), want);
    EXPECT_EQ(StrRight(ScratchPointerAt(1), len - 1, ScratchEnd()), want.substr(1));
    const int32_t end = ScratchEnd();
    StrAppend(ScratchPointerAt(1));  // a text in the area itself
    EXPECT_EQ(ScratchPointerAt(end + 1), want);
    EXPECT_EQ(DateFormat(ScratchPointerAt(1), 0, end + len), want);  // a mask, output in steps
    EXPECT_EQ(ScratchEnd(), end + 2 * len);
    ScratchInit();
    StrAppend("a-b-c");
    EXPECT_STREQ(StrRemove(ScratchPointerAt(1), "-", 0), "abc");  // written over its own source
    StrVar var = nullptr;
    StrVarFromScratch(&var, 0);
    EXPECT_STREQ(var, "abc");
    EXPECT_EQ(ScratchEnd(), 0);  // the assignment rewinds
    StrVarFromScratch(&var, 0);  // an empty value keeps a block
    ASSERT_NE(var, nullptr);
    EXPECT_STREQ(var, "");
    StrVarFree(var);
}

// Callers that pass nonsense get the empty result, never a write outside the block.
TEST(Scratch, AbsorbsBadPositionsAndCounts) {
    ScratchInit();
    EXPECT_STREQ(ScratchEmptyAt(-5), "");
    StrAppend("abc");
    ScratchRelease(100);
    ScratchRelease(-100);
    EXPECT_EQ(ScratchEnd(), 0);
    EXPECT_EQ(ScratchReserve(INT32_MAX, 0), nullptr);  // the area stays as it was
    EXPECT_EQ(ScratchEnd(), 0);
    ScratchRewind(INT32_MAX);
    EXPECT_STREQ(ScratchEmptyAt(ScratchEnd()), "");
}

TEST(StrVar, OwnsACopyAndNullMeansEmpty) {
    StrVar var = nullptr;
    StrVarInit(&var, "value");
    StrVarSet(&var, "a much longer value than before");
    StrVarSet(&var, var + 7);  // a tail of its own block: shrinking must not cut it off
    EXPECT_STREQ(var, "longer value than before");
    StrVarSet(&var, nullptr);
    EXPECT_EQ(var, nullptr);
    StrVarInit(&var, "");
    ASSERT_NE(var, nullptr);
    StrVarFree(var);
    char dst[8] = "#######";
    TextCopy(dst, "abcdef", 3);
    EXPECT_STREQ(dst, "abc");
    TextCopy(dst, nullptr, 4);
    EXPECT_STREQ(dst, "");
}
