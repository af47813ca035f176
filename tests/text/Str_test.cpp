// fuzz/str_fuzz.cpp holds every operation to std::string over generated texts and needles, in
// and out of the scratch area; these are the rules it seldom reaches and the sizes it never does.
// The scanner's tests put ten-megabyte lines through the same operations.
#include "toolkit/text/Str.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"

namespace {
// StrRemove copies needles that lie in the area onto the private heap.
const bool heapReady = PrivateHeapCreate();

std::string At(int32_t pos) { return ScratchPointerAt(pos + 1); }
const char* Shown(const char* text) { return text ? text : "(null)"; }
}  // namespace

struct FindCase { const char* text; const char* needle; int32_t start; int32_t want; };
TEST(StrFind, ReturnsOneBasedPositionOrZero) {
    ASSERT_TRUE(heapReady);
    const FindCase cases[] = {
        {"abcabc", "c", 0, 3},  // a start below 1 means 1
        {"abc", "c", 3, 3},     {"abc", "c", 4, 0},
        {"abcabc", "a", 2, 4},  // counted from the beginning of the text
        {"aBc", "b", 1, 0},     {"abc", "abcd", 1, 0},
        {"abc", "", 1, 0},      {nullptr, "a", 1, 0},  {"abc", nullptr, 1, 0},
        {"ab\xE0\xFF", "\xFF", -7, 4},  // high bytes are plain bytes
        {"ab\0cd", "cd", 1, 0},         // the text ends at its first NUL
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(StrFind(c.text, c.needle, c.start), c.want)
            << Shown(c.text) << " / " << Shown(c.needle) << " from " << c.start;
}

struct RemoveCase { const char* text; const char* needle; const char* removed; int32_t count; };
TEST(StrRemoveCount, AbsorbAbsentTextsAndEmptyNeedles) {
    ScratchInit();
    const RemoveCase cases[] = {
        {"aabb", "ab", "ab", 1},  // the result is not scanned again
        {"aaaa", "aa", "", 2},    {"abc", "", "abc", 0},  {"abc", nullptr, "abc", 0},
        {nullptr, "a", "", 0},    {"", "a", "", 0},
    };
    for (const RemoveCase& c : cases) {
        StrRemove(c.text, c.needle, 0);
        EXPECT_EQ(At(0), c.removed) << Shown(c.text) << " - " << Shown(c.needle);
        EXPECT_EQ(ScratchEnd(), static_cast<int32_t>(std::strlen(c.removed)));
        EXPECT_EQ(StrCount(c.text, c.needle), c.count) << Shown(c.text);
    }
    EXPECT_STREQ(StrLeft(nullptr, 3, 0), "");
    EXPECT_TRUE(StrEqual(nullptr, ""));
    EXPECT_FALSE(StrEqual("a", "A"));
    EXPECT_FALSE(StrEqual("ab", "abc"));
}

struct IntCase { int64_t value; const char* want; };
TEST(StrFromInt, WritesEitherWidthExactly) {
    ScratchInit();
    const IntCase cases[] = {
        {0, "0"}, {-7, "-7"}, {INT32_MIN, "-2147483648"},
        {2147483648LL, "2147483648"},  // just past the 32-bit routine
        {-2147483649LL, "-2147483649"}, {INT64_MIN, "-9223372036854775808"},
    };
    for (const IntCase& c : cases) {
        StrFromInt(c.value, 0);
        EXPECT_EQ(At(0), c.want);
        EXPECT_EQ(ScratchEnd(), static_cast<int32_t>(std::strlen(c.want)));
    }
}

// Arguments that are the results of inner expressions must read right even when the
// operation's own reservation moves the area.
TEST(StrArguments, InAreaSurviveTheMoveOfTheirOwnReservation) {
    for (int op = 0; op < 3; ++op) {
        // Longer each time, so each operation's reservation outgrows the area again.
        const std::string big = std::string(static_cast<size_t>(30000) << op, 'q') + "<tag>end";
        const int32_t len = static_cast<int32_t>(big.size());
        ScratchInit();
        StrAppend(big.c_str());
        char* text = ScratchPass(0);
        const int32_t needlePos = ScratchEnd();
        StrAppend("<tag>");
        char* needle = ScratchPass(needlePos);
        const int32_t out = ScratchEnd();
        if (op == 0)
            EXPECT_EQ(StrLen(StrRemove(text, needle, out)), len - 5);
        else if (op == 1)
            EXPECT_EQ(StrLeft(text, len, out), big);
        else
            EXPECT_EQ(StrRight(text, len - 1, out), big.substr(1));
    }
    ScratchInit();
    StrAppend("a-b-c");
    StrRemove(ScratchPointerAt(1), "-", 0);  // written over its own source
    EXPECT_EQ(At(0), "abc");
}
