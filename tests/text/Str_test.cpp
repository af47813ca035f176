#include "toolkit/text/Str.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

namespace {
// StrRemove copies needles that lie in the area onto the private heap.
const bool heapReady = PrivateHeapCreate();

std::string At(int32_t pos) { return ScratchPointerAt(pos + 1); }

struct FindCase {
    const char* text;
    const char* needle;
    int32_t start;
    int32_t want;
};
struct PartCase {
    const char* text;
    int32_t n;
    const char* left;
    const char* right;
};
struct PairCase {
    const char* text;
    const char* needle;
    const char* removed;
    int32_t count;
};
}  // namespace

TEST(StrFind, ReturnsOneBasedPositionOrZero) {
    ASSERT_TRUE(heapReady);
    const FindCase cases[] = {
        {"abcabc", "c", 0, 3},       // a start below 1 means 1
        {"abc", "c", 3, 3},          {"abc", "c", 4, 0},
        {"abcabc", "a", 2, 4},       // counted from the beginning of the text
        {"aBc", "b", 1, 0},          // case-sensitive
        {"abc", "abcd", 1, 0},       // the needle may not run past the end
        {"abc", "", 1, 0},           {"", "a", 1, 0},
        {nullptr, "a", 1, 0},        {"abc", nullptr, 1, 0},
        {"ab\xE0\xFF", "\xFF", -7, 4},  // high bytes are plain bytes
        {"abc", "bc", INT32_MAX, 0},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(StrFind(c.text, c.needle, c.start), c.want)
            << (c.text ? c.text : "(null)") << " / " << (c.needle ? c.needle : "(null)") << " from " << c.start;
    EXPECT_EQ(StrLen(nullptr), 0);
    EXPECT_EQ(StrLen("\xCD\xE0"), 2);
}

TEST(StrLeftRight, ClampCountsToTheText) {
    ScratchInit();
    const PartCase cases[] = {
        {"abc", -1, "", ""},   {"abc", 0, "", ""},     {"abc", 2, "ab", "bc"},
        {"abc", 5, "abc", "abc"}, {"abc", INT32_MIN, "", ""}, {nullptr, 3, "", ""},
    };
    for (const PartCase& c : cases) {
        int32_t pos = ScratchEnd();
        StrLeft(c.text, c.n, pos);
        EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(std::strlen(c.left)));
        EXPECT_EQ(At(pos), c.left) << "left " << c.n;
        StrRight(c.text, c.n, pos);
        EXPECT_EQ(At(pos), c.right) << "right " << c.n;
        ScratchRewind(pos);
    }
}

TEST(StrRemoveCount, OnePassWithoutOverlap) {
    ScratchInit();
    const PairCase cases[] = {
        {"aabb", "ab", "ab", 1},     // the result is not scanned again
        {"aaaa", "aa", "", 2},       {"aaa", "aa", "a", 1},
        {"abc", "", "abc", 0},       {"abc", nullptr, "abc", 0},
        {"xAx", "a", "xAx", 0},      {"", "a", "", 0},
        {nullptr, "a", "", 0},       {"ab", "abc", "ab", 0},
        {"<b>x</b>, <b>y</b>", "<b>", "x</b>, y</b>", 2},
    };
    for (const PairCase& c : cases) {
        int32_t pos = ScratchEnd();
        StrRemove(c.text, c.needle, pos);
        EXPECT_EQ(At(pos), c.removed) << (c.text ? c.text : "(null)") << " - " << (c.needle ? c.needle : "(null)");
        EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(std::strlen(c.removed)));
        EXPECT_EQ(StrCount(c.text, c.needle), c.count) << (c.text ? c.text : "(null)");
        ScratchRewind(pos);
    }
}

TEST(StrFromInt, WritesEitherWidthExactly) {
    ScratchInit();
    const struct {
        int64_t value;
        const char* want;
    } cases[] = {
        {0, "0"},
        {-7, "-7"},
        {2147483647, "2147483647"},
        {INT32_MIN, "-2147483648"},
        {2147483648LL, "2147483648"},
        {-2147483649LL, "-2147483649"},
        {INT64_MAX, "9223372036854775807"},
        {INT64_MIN, "-9223372036854775808"},
    };
    for (const auto& c : cases) {
        int32_t pos = ScratchEnd();
        StrFromInt(c.value, pos);
        EXPECT_EQ(At(pos), c.want);
        EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(std::strlen(c.want)));
        ScratchRewind(pos);
    }
}

TEST(StrEqual, ComparesBytesWithAbsentAsEmpty) {
    EXPECT_TRUE(StrEqual(nullptr, ""));
    EXPECT_TRUE(StrEqual("\xE0", "\xE0"));
    EXPECT_FALSE(StrEqual("a", "A"));
    EXPECT_FALSE(StrEqual("ab", "abc"));
    EXPECT_FALSE(StrEqual(nullptr, "a"));
}

// Arguments that are the results of inner expressions must read right even when the
// operation's own reservation moves the area.
TEST(StrArguments, InAreaSurviveTheMoveOfTheirOwnReservation) {
    for (int op = 0; op < 3; ++op) {
        // Longer each time, so each operation's reservation outgrows the area again.
        std::string big = std::string(static_cast<size_t>(30000) << op, 'q') + "<tag>end";
        int32_t len = static_cast<int32_t>(big.size());
        ScratchInit();
        StrAppend(big.c_str());
        char* text = ScratchPass(0);
        int32_t needlePos = ScratchEnd();
        StrAppend("<tag>");
        char* needle = ScratchPass(needlePos);
        int32_t out = ScratchEnd();
        std::string want;
        if (op == 0) {
            StrRemove(text, needle, out);
            want = big.substr(0, big.size() - 8) + "end";
        } else if (op == 1) {
            StrLeft(text, len, out);
            want = big;
        } else {
            StrRight(text, len - 1, out);
            want = big.substr(1);
        }
        EXPECT_EQ(At(out), want) << "operation " << op;
    }
    // Written over its own source at pos.
    ScratchInit();
    StrAppend("a-b-c");
    StrRemove(ScratchPointerAt(1), "-", 0);
    EXPECT_EQ(At(0), "abc");
    EXPECT_EQ(ScratchEnd(), 3);
}

static std::string RandomText(std::mt19937& rng, int minLen, int maxLen) {
    std::uniform_int_distribution<int> len(minLen, maxLen);
    std::uniform_int_distribution<int> letter(0, 2);
    std::string s(static_cast<size_t>(len(rng)), 'a');
    for (char& ch : s)
        ch = "ab\xE0"[letter(rng)];
    return s;
}

static void CheckAgainstStdString(const std::string& text, const std::string& needle, int32_t start,
                                  int32_t n) {
    size_t from = start < 1 ? 0 : static_cast<size_t>(start - 1);
    size_t found = needle.empty() || from >= text.size() ? std::string::npos : text.find(needle, from);
    ASSERT_EQ(StrFind(text.c_str(), needle.c_str(), start),
              found == std::string::npos ? 0 : static_cast<int32_t>(found) + 1)
        << text << " / " << needle << " from " << start;

    std::string removed;
    int32_t count = 0;
    for (size_t r = 0; r < text.size();) {
        if (!needle.empty() && text.compare(r, needle.size(), needle) == 0) {
            r += needle.size();
            ++count;
        } else {
            removed += text[r++];
        }
    }
    StrRemove(text.c_str(), needle.c_str(), 0);
    ASSERT_EQ(At(0), removed) << text << " - " << needle;
    ASSERT_EQ(StrCount(text.c_str(), needle.c_str()), count) << text << " / " << needle;

    size_t k = n < 0 ? 0 : std::min(static_cast<size_t>(n), text.size());
    StrLeft(text.c_str(), n, 0);
    ASSERT_EQ(At(0), text.substr(0, k));
    StrRight(text.c_str(), n, 0);
    ASSERT_EQ(At(0), text.substr(text.size() - k));
}

// std::string is the obvious reference for every byte-level operation; short texts reach
// every boundary, long ones the search over many near-misses.
TEST(StrReference, AgreesWithStdStringOnGeneratedInputs) {
    std::mt19937 rng(20261206);
    for (int i = 0; i < 4000; ++i) {
        ScratchInit();
        std::string text = RandomText(rng, 0, 24);
        std::string needle = RandomText(rng, 0, 3);
        int32_t start = std::uniform_int_distribution<int>(-2, 26)(rng);
        int32_t n = std::uniform_int_distribution<int>(-3, 28)(rng);
        CheckAgainstStdString(text, needle, start, n);
    }
    for (int i = 0; i < 300; ++i) {
        ScratchInit();
        std::string text = RandomText(rng, 500, 3000);
        std::string needle = RandomText(rng, 2, 9);
        int32_t start = std::uniform_int_distribution<int>(-2, 3100)(rng);
        int32_t n = std::uniform_int_distribution<int>(-3, 3100)(rng);
        CheckAgainstStdString(text, needle, start, n);
    }
}

TEST(StrGarbage, HugeAndBinaryTextsStayInBounds) {
    ScratchInit();
    std::string huge(10 * 1024 * 1024, '\0');
    std::mt19937 rng(7);
    for (char& ch : huge)
        ch = static_cast<char>(rng() % 255 + 1);  // no NUL inside: texts end at the first one
    int32_t len = static_cast<int32_t>(huge.size());
    EXPECT_EQ(StrLen(huge.c_str()), len);
    int32_t pos = ScratchEnd();
    StrRemove(huge.c_str(), "\x01", pos);
    EXPECT_EQ(StrLen(ScratchPointerAt(pos + 1)), len - StrCount(huge.c_str(), "\x01"));
    StrRight(huge.c_str(), len - 1, pos);
    EXPECT_EQ(StrLen(ScratchPointerAt(pos + 1)), len - 1);
    const char withNul[] = "ab\0cd";
    EXPECT_EQ(StrFind(withNul, "cd", 1), 0);  // the text ends at its first NUL
    ScratchInit();
}
