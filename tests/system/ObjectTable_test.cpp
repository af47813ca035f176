#include "toolkit/system/ObjectTable.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "toolkit/system/Heap.h"

namespace {
using Record = std::pair<int32_t, int32_t>;  // a handle, nonzero while the object exists; data

ObjectTable* table;          // the release operation only knows a number
std::vector<int32_t> freed;  // numbers the release operation found an object under
// Tables live as long as the program and have no destroy: here they stay reachable (a vector
// would be gone before the leak check runs).
ObjectTable* tables[8];
int tableCount;

void Release(int32_t number) {
    if (ObjectTableGet(table, number))
        freed.push_back(number);
    ObjectTableRemove(table, number);
}

void Fresh() {
    ASSERT_TRUE(PrivateHeapCreate());
    tables[tableCount++] = table = ObjectTableCreate(sizeof(Record), 16, Release);
    freed.clear();
}

// The number the object was made under, or -100 when the claim was refused.
int32_t Make(int32_t number, int32_t data = 1) {
    int32_t chosen = -100;
    if (auto* record = static_cast<Record*>(ObjectTableClaim(table, number, &chosen)))
        *record = {1, data};
    return chosen;
}

int32_t DataOf(int32_t n) { return static_cast<Record*>(ObjectTableGet(table, n))->second; }
}  // namespace

// A claim beyond the slots grows the table to the number plus a step, keeping what is there.
// Claiming a number releases what is there first and hands back zeros, even where making an
// object failed half-way (no handle: the slot is still free). Chosen numbers never fall among
// slot indexes and stay distinct when the counter wraps; numbers that name nothing find
// nothing, and those no object may have are refused.
TEST(ObjectTable, GrowsClaimsFromZerosAndHandsOutOnlyObjectNumbers) {
    Fresh();
    Make(5, 105);
    static_cast<Record*>(ObjectTableClaim(table, 20))->second = 1234;
    EXPECT_EQ(table->slotCount, 36);
    for (int32_t n : {5, 20})
        EXPECT_EQ(*static_cast<Record*>(ObjectTableClaim(table, n)), Record(0, 0)) << n;
    EXPECT_EQ(freed, std::vector<int32_t>{5});
    const int32_t first = Make(AutoNumber, 50);
    const int32_t stale = Make(AutoNumber);
    ObjectTableRemove(table, stale);
    for (int32_t n : {36, -1, -5, INT32_MIN, AutoNumberBase + 7, stale})
        EXPECT_EQ(ObjectTableGet(table, n), nullptr) << n;
    table->nextAutoNumber = INT32_MAX - AutoNumberBase;
    EXPECT_EQ(Make(AutoNumber), INT32_MAX);
    EXPECT_EQ(Make(AutoNumber), stale);  // the counter restarts but skips live numbers
    EXPECT_EQ(DataOf(first), 50);
    for (int32_t n : {-2, INT32_MIN, AutoNumberBase, INT32_MAX - 1})
        EXPECT_EQ(Make(n), -100) << n;  // the chosen number is left alone too
#ifndef _WIN32
    // Only the stand-in heap keeps the table alive across a destroy, to meet refused memory.
    PrivateHeapDestroy();
    EXPECT_EQ(Make(50) + Make(AutoNumber), -200);
    EXPECT_EQ(ObjectTableCreate(sizeof(Record), 16, Release), nullptr);
    ASSERT_TRUE(PrivateHeapCreate());
    EXPECT_EQ(table->slotCount, 36);
#endif
}

// Slots in order, then chosen numbers oldest first. Removing the newest, the oldest, and the one
// an iteration would visit next keeps the chosen records' list linked both ways (look-ups walk it
// newest first, iteration oldest first), and releasing all frees every object once.
TEST(ObjectTable, IteratesInOrderAndReleasesEveryObjectOnce) {
    Fresh();
    const int32_t chosen[] = {Make(AutoNumber, 0), Make(AutoNumber, 1), Make(AutoNumber, 2),
                              Make(AutoNumber, 3), Make(AutoNumber, 4), Make(AutoNumber, 5)};
    Make(3);
    Make(0);
    ObjectTableRemove(table, chosen[5]);
    ObjectTableRemove(table, chosen[0]);
    std::vector<int32_t> seen;
    int32_t number = 0;
    for (ObjectTableFirst(table); ObjectTableNext(table, &number);) {
        seen.push_back(number);
        if (number == chosen[1])
            ObjectTableRemove(table, chosen[2]);
    }
    const std::vector<int32_t> left = {0, 3, chosen[1], chosen[3], chosen[4]};
    EXPECT_EQ(seen, left);
    EXPECT_EQ(DataOf(chosen[1]) + DataOf(chosen[4]), 5);
    ObjectTableReleaseAll(table);
    EXPECT_EQ(freed, left);
}
