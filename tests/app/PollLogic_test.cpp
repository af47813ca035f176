#include "app/PollLogic.h"

#include <gtest/gtest.h>

#include <string>

#include "app/Texts.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"

namespace {
class PollTexts : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());  // date formatting copies its mask there
        ScratchInit();
    }
    // The text an operation built at pos, read only after the operation has ended.
    static std::string Built(int32_t pos) {
        return std::string(ScratchPointerAt(pos + 1), static_cast<size_t>(ScratchEnd() - pos));
    }
};
}  // namespace

struct ToneCase { int32_t last; int32_t count; int32_t want; };
TEST(PollToneFor, RisesForMoreUsersFallsForFewerSilentForSame) {
    const ToneCase cases[] = {
        {0, 1, ToneMoreUsers},      // the first users line always sounds the high tone
        {2, 3, ToneMoreUsers},
        {3, 2, ToneFewerUsers},
        {3, 3, 0},
        {0, 0, 0},
        {INT32_MAX, INT32_MIN, ToneFewerUsers},  // compared, never subtracted
    };
    for (const ToneCase& c : cases)
        EXPECT_EQ(PollToneFor(c.last, c.count), c.want) << c.last << " -> " << c.count;
}

struct AlertCase { const char* last; const char* total; bool want; };
TEST(PollTotalAlerts, OnlyAChangeAfterANonEmptyTotalAlerts) {
    const AlertCase cases[] = {
        {nullptr, "120", false},  // the first total only sets the baseline
        {"", "120", false},       // after a total that became empty, nothing alerts
        {"120", "120", false},
        {"120", "121", true},
        {"120", "", true},        // losing the bold run is a change too
        {"120", nullptr, true},
        {"120", "1200", true},    // compared as text, byte for byte
        {"120", " 120", true},
    };
    for (const AlertCase& c : cases)
        EXPECT_EQ(PollTotalAlerts(c.last, c.total), c.want)
            << (c.last ? c.last : "(null)") << " -> " << (c.total ? c.total : "(null)");
}

TEST_F(PollTexts, StampShowsTheTimeOfDay) {
    const int32_t pos = ScratchEnd();
    PollStampText(DateMake(2024, 3, 9, 7, 5, 42), pos);
    EXPECT_EQ(Built(pos), std::string(StampPrefix) + "07:05:42");
    ScratchRewind(pos);
}

// A text built after others in the area, long enough to move it, still reads whole, and so
// does the earlier one.
TEST_F(PollTexts, BuildsAfterEarlierResultsWhileTheAreaGrows) {
    const std::string total(40000, '7');
    const int32_t first = ScratchEnd();
    PollCounterText(3, first);
    ScratchPass(first);
    const int32_t second = ScratchEnd();
    PollTotalText(total.c_str(), second);
    EXPECT_EQ(Built(second), std::string(TotalPrefix) + total);
    EXPECT_EQ(std::string(ScratchPointerAt(first + 1)), std::string(NewPrefix) + "3");
    ScratchRewind(first);
}
