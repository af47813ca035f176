#include "app/PollLogic.h"

#include <gtest/gtest.h>

#include <initializer_list>
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
    EXPECT_TRUE(PollTotalAlerts("120", nullptr));  // losing the bold run is a change too
    EXPECT_FALSE(PollTotalShown(nullptr, ""));     // before the first page label 3 shows no total
    EXPECT_TRUE(PollTotalShown("", nullptr));
    EXPECT_FALSE(PollTotalShown("120", "1200"));
}

// Rows compare whole, boundaries included, also after the block has grown a few times.
TEST(RowList, EqualOnlyForTheSameRowsInOrder) {
    ASSERT_TRUE(PrivateHeapCreate());
    auto make = [](std::initializer_list<std::string> texts, int repeat = 1) {
        RowList rows{};
        for (int i = 0; i < repeat; i++)
            for (const std::string& t : texts)
                RowListAdd(&rows, t.c_str());
        return rows;
    };
    RowList shown = make({" admin", "", std::string(3000, 'x')}, 5);
    RowList same = make({" admin", "", std::string(3000, 'x')}, 5);
    std::string back;
    RowListEach(
        same, [](void* out, const char* row) { *static_cast<std::string*>(out) += row; }, &back);
    EXPECT_EQ(back.size(), 5 * (6 + 3000u));
    EXPECT_TRUE(RowListEqual(shown, same));
    for (RowList other : {make({"ab", "c"}), make({" admin", ""}, 5), make({})}) {
        EXPECT_FALSE(RowListEqual(shown, other));
        RowListFree(&other);
    }
    RowList split = make({"a", "bc"}), joined = make({"ab", "c"});
    EXPECT_FALSE(RowListEqual(split, joined));
    split.incomplete = true;  // a row that found no memory: refill rather than trust it
    EXPECT_FALSE(RowListEqual(split, split));
    RowListClear(&split);
    EXPECT_TRUE(RowListEqual(split, RowList{}));
    for (RowList* rows : {&shown, &same, &split, &joined})
        RowListFree(rows);
}

// Each text is built after the earlier ones, the last long enough to move the area: each reads
// whole through the pointer it returned, and the earlier ones through their positions.
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
    EXPECT_EQ(ScratchAt(0), counter);
    EXPECT_EQ(ScratchAt(static_cast<int32_t>(counter.size()) + 1), stamp);
}
