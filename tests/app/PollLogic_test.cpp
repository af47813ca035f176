#include "app/PollLogic.h"

#include <gtest/gtest.h>

#include <string>

#include "app/Texts.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Date.h"
#include "toolkit/text/Scratch.h"

TEST(PollToneFor, RisesForMoreUsersFallsForFewerSilentForSame) {
    EXPECT_EQ(PollToneFor(0, 1), ToneMoreUsers);  // the first users line always sounds high
    EXPECT_EQ(PollToneFor(3, 2), ToneFewerUsers);
    EXPECT_EQ(PollToneFor(3, 3), 0);
    EXPECT_EQ(PollToneFor(INT32_MAX, INT32_MIN), ToneFewerUsers);  // compared, never subtracted
}

TEST(PollTotalAlerts, OnlyAChangeAfterANonEmptyTotalAlerts) {
    EXPECT_FALSE(PollTotalAlerts(nullptr, "120"));  // the first total only sets the baseline
    EXPECT_FALSE(PollTotalAlerts("", "120"));       // after a total that became empty: nothing
    EXPECT_FALSE(PollTotalAlerts("120", "120"));
    EXPECT_TRUE(PollTotalAlerts("120", "121"));
    EXPECT_TRUE(PollTotalAlerts("120", nullptr));   // losing the bold run is a change too
}

// Each text is built after the earlier ones, the last long enough to move the area: each reads
// whole through the pointer it returned, and the earlier ones through their offsets.
TEST(PollTexts, BuildAfterEarlierResultsWhileTheAreaGrows) {
    ASSERT_TRUE(PrivateHeapCreate());  // date formatting copies its mask there
    ScratchInit();
    const std::string total(40000, '7');
    const std::string counter = std::string(NewPrefix) + "3";
    const std::string stamp = std::string(StampPrefix) + "07:05:42";
    EXPECT_EQ(PollCounterText(3, 0), counter);
    EXPECT_EQ(PollStampText(DateMake(2024, 3, 9, 7, 5, 42), ScratchEnd() + 1), stamp);
    const int32_t last = ScratchEnd() + 1;
    EXPECT_EQ(PollTotalText(total.c_str(), last), std::string(TotalPrefix) + total);
    EXPECT_EQ(ScratchEnd(), last + static_cast<int32_t>(sizeof TotalPrefix - 1 + total.size()));
    EXPECT_EQ(ScratchPointerAt(1), counter);
    EXPECT_EQ(ScratchPointerAt(static_cast<int32_t>(counter.size()) + 2), stamp);
}
