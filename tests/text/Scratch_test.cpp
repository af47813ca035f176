#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"

#include <gtest/gtest.h>

#include <string>

#include "toolkit/text/Str.h"

// Pieces appended one by one far past the initial capacity must all survive the moves, and a
// pointer formed after the last append must read the whole expression.
TEST(Scratch, ExpressionSurvivesGrowthAndAssignmentRewinds) {
    ScratchInit();
    int32_t pos = ScratchEnd();
    std::string want;
    for (int i = 0; i < 3000; ++i) {
        const char* piece = i % 2 ? "piece," : nullptr;  // the absent text only terminates
        StrAppend(piece);
        StrFromInt(i, ScratchEnd());
        want += (piece ? piece : "") + std::to_string(i);
    }
    ASSERT_EQ(ScratchEnd(), pos + static_cast<int32_t>(want.size()));
    EXPECT_EQ(std::string(ScratchPass(pos)), want);
    ScratchRewind(pos);
    StrAppend("one");
    StrVar var = nullptr;
    StrVarFromScratch(&var, pos);
    EXPECT_STREQ(var, "one");
    EXPECT_EQ(ScratchEnd(), pos);
    StrVarFromScratch(&var, pos);  // an empty value keeps a block
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
    ScratchInit();
}

TEST(StrVar, OwnsACopyAndNullMeansEmpty) {
    StrVar empty = nullptr;
    StrVarInit(&empty, "");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(StrEqual(empty, nullptr));
    char source[] = "value";
    StrVar var = nullptr;
    StrVarInit(&var, source);
    source[0] = 'X';
    EXPECT_STREQ(var, "value");
    StrVarSet(&var, "a much longer value than before");
    StrVarSet(&var, var + 7);  // a tail of its own block: shrinking must not cut it off
    EXPECT_STREQ(var, "longer value than before");
    StrVarSet(&var, nullptr);
    EXPECT_EQ(var, nullptr);
    StrVarFree(empty);

    char dst[8] = "#######";
    TextCopy(dst, "abcdef", 3);
    EXPECT_STREQ(dst, "abc");
    TextCopy(dst, nullptr, 4);
    EXPECT_STREQ(dst, "");
}
