#include "toolkit/text/Scratch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "toolkit/text/Str.h"

TEST(Scratch, AppendsBuildAtEndWithTerminator) {
    ScratchInit();
    int32_t pos = ScratchEnd();
    StrAppend("abc");
    StrAppend(nullptr);  // the absent text only terminates
    StrAppend("de");
    EXPECT_EQ(ScratchEnd(), pos + 5);
    EXPECT_STREQ(ScratchPointerAt(pos + 1), "abcde");
    StrVar var = nullptr;
    StrVarFromScratch(&var, pos);
    EXPECT_STREQ(var, "abcde");
    EXPECT_EQ(ScratchEnd(), pos);
    StrVarFree(var);
}

// Pieces appended one by one far past the initial capacity must all survive the moves, and
// a pointer formed after the last append must read the whole expression.
TEST(Scratch, LongExpressionSurvivesGrowth) {
    ScratchInit();
    int32_t pos = ScratchEnd();
    std::string want;
    for (int i = 0; i < 3000; ++i) {
        const char* piece = (i % 3 == 0) ? "x" : (i % 3 == 1) ? "piece," : "";
        StrAppend(piece);
        StrFromInt(i, ScratchEnd());
        want += piece + std::to_string(i);
    }
    ASSERT_EQ(ScratchEnd(), pos + static_cast<int32_t>(want.size()));
    char* passed = ScratchPass(pos);
    EXPECT_EQ(std::string(passed), want);
    EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(want.size()) + 1);
    ScratchRewind(pos);
    EXPECT_EQ(ScratchEnd(), pos);
}

TEST(Scratch, OffsetsLocateOnlyTheArea) {
    ScratchInit();
    char* at = StrLeft("hello", 5, ScratchEnd());
    int32_t offset = ScratchOffsetOf(at);
    ASSERT_NE(offset, 0);
    EXPECT_EQ(ScratchPointerAt(offset), at);
    char outside[] = "x";
    EXPECT_EQ(ScratchOffsetOf(outside), 0);
    EXPECT_EQ(ScratchOffsetOf(nullptr), 0);
    EXPECT_EQ(ScratchPointerAt(0), nullptr);
}

// Callers that pass nonsense get the empty result, never a write outside the block.
TEST(Scratch, AbsorbsBadPositionsAndCounts) {
    ScratchInit();
    EXPECT_STREQ(ScratchEmptyAt(-5), "");
    EXPECT_EQ(ScratchEnd(), 0);
    StrAppend("abc");
    ScratchRelease(100);
    EXPECT_EQ(ScratchEnd(), 0);
    ScratchRelease(-100);
    EXPECT_EQ(ScratchEnd(), 0);
    EXPECT_NE(ScratchReserve(-1, 0), nullptr);
    EXPECT_EQ(ScratchEnd(), 0);
    EXPECT_EQ(ScratchReserve(INT32_MAX, 0), nullptr);  // the area stays as it was
    EXPECT_EQ(ScratchEnd(), 0);
    ScratchRewind(INT32_MAX);
    EXPECT_STREQ(ScratchEmptyAt(ScratchEnd()), "");
    ScratchInit();
}

TEST(StrVar, OwnsACopyAndNullMeansEmpty) {
    StrVar never = nullptr;
    StrVar empty = nullptr;
    StrVarInit(&empty, "");
    ASSERT_NE(empty, nullptr);  // an empty text keeps a block
    EXPECT_TRUE(StrEqual(empty, never));

    char source[] = "value";
    StrVar var = nullptr;
    StrVarInit(&var, source);
    source[0] = 'X';
    EXPECT_STREQ(var, "value");
    StrVarSet(&var, "a much longer value than before");
    EXPECT_STREQ(var, "a much longer value than before");
    StrVarSet(&var, var + 7);  // a tail of its own block
    EXPECT_STREQ(var, "longer value than before");
    StrVarSet(&var, nullptr);
    EXPECT_EQ(var, nullptr);
    StrVarFree(empty);
    StrVarFree(nullptr);
}

TEST(StrVar, FromScratchTakesPosToEndEvenWhenEmpty) {
    ScratchInit();
    int32_t pos = ScratchEnd();
    StrVar var = nullptr;
    StrVarFromScratch(&var, pos);
    ASSERT_NE(var, nullptr);
    EXPECT_STREQ(var, "");
    StrAppend("one");
    StrAppend("two");
    StrVarFromScratch(&var, pos);
    EXPECT_STREQ(var, "onetwo");
    EXPECT_EQ(ScratchEnd(), pos);
    StrVarFree(var);
}

TEST(TextCopy, CopiesCountThenTerminates) {
    char dst[8];
    std::memset(dst, '#', sizeof dst);
    TextCopy(dst, "abcdef", 3);
    EXPECT_STREQ(dst, "abc");
    TextCopy(dst, "abc", -1);
    EXPECT_STREQ(dst, "");
    TextCopy(dst, nullptr, 4);
    EXPECT_STREQ(dst, "");
    TextCopy(nullptr, "abc", 3);
}
