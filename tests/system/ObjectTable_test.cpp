#include "toolkit/system/ObjectTable.h"

#include <gtest/gtest.h>

#include <vector>

#include "toolkit/system/Heap.h"

namespace {

struct Record {
    int32_t handle;  // nonzero while the object exists
    int32_t data;
};

// The release operation only knows a number, so the table under test lives here.
ObjectTable* table;
std::vector<int32_t> released;  // numbers the release operation was called with
std::vector<int32_t> freed;     // those that named an object

void Release(int32_t number) {
    released.push_back(number);
    if (ObjectTableGet(table, number)) {
        freed.push_back(number);
        ObjectTableRemove(table, number);
    }
}

int32_t Make(int32_t number, int32_t data = 1) {
    int32_t chosen = 0;
    auto* record = static_cast<Record*>(ObjectTableClaim(table, number, &chosen));
    if (!record)
        return -100;
    *record = {1, data};
    return chosen;
}

std::vector<int32_t> Iterate() {
    std::vector<int32_t> numbers;
    int32_t number = 0;
    ObjectTableFirst(table);
    while (ObjectTableNext(table, &number))
        numbers.push_back(number);
    return numbers;
}

class ObjectTableTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        table = ObjectTableCreate(sizeof(Record), 16, Release);
        ASSERT_NE(table, nullptr);
        released.clear();
        freed.clear();
    }
    // Tables live as long as the program and have no destroy; the sanitizer wants these back.
    void TearDown() override {
        while (table->automatic)
            ListRemove(&table->automatic, table->automatic + 1);
        PrivateFree(table->slots);
        PrivateFree(table);
    }
};

}  // namespace

TEST_F(ObjectTableTest, GrowsToNumberPlusStepKeepingObjects) {
    for (int32_t n = 0; n < 16; ++n)
        Make(n, n + 100);
    Make(20);
    EXPECT_EQ(table->slotCount, 36);
    for (int32_t n = 0; n < 36; ++n) {
        auto* record = static_cast<Record*>(ObjectTableGet(table, n));
        ASSERT_EQ(record != nullptr, n < 16 || n == 20) << n;
        EXPECT_EQ(record ? record->data : 0, n < 16 ? n + 100 : n == 20 ? 1 : 0) << n;
    }
}

TEST_F(ObjectTableTest, ClaimReleasesFirstAndHandsBackZeros) {
    Make(5, 7);
    auto* halfMade = static_cast<Record*>(ObjectTableClaim(table, 6));
    halfMade->data = 1234;  // making failed before the handle was stored: the slot is free
    EXPECT_EQ(ObjectTableGet(table, 6), nullptr);
    released.clear();
    for (int32_t n : {5, 6}) {
        auto* record = static_cast<Record*>(ObjectTableClaim(table, n));
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->handle, 0) << n;
        EXPECT_EQ(record->data, 0) << n;
    }
    EXPECT_EQ(released, (std::vector<int32_t>{5, 6}));  // a free number is offered too
    EXPECT_EQ(freed, std::vector<int32_t>{5});
}

TEST_F(ObjectTableTest, ForeignNumbersFindNothingAndAreRefused) {
    Make(0);
    const int32_t stale = Make(AutoNumber);
    ObjectTableRemove(table, stale);
    for (int32_t n : {40, 16, -1, -5, INT32_MIN, INT32_MAX, AutoNumberBase + 7, stale}) {
        EXPECT_EQ(ObjectTableGet(table, n), nullptr) << n;
        ObjectTableRemove(table, n);
    }
    for (int32_t n : {-2, INT32_MIN, AutoNumberBase, INT32_MAX}) {
        int32_t chosen = 77;
        EXPECT_EQ(ObjectTableClaim(table, n, &chosen), nullptr) << n;
        EXPECT_EQ(chosen, 77) << n;
    }
    EXPECT_EQ(table->slotCount, 16);
    EXPECT_NE(ObjectTableGet(table, 0), nullptr);
}

TEST_F(ObjectTableTest, AutomaticNumbersStayDistinctAcrossTheWrap) {
    Make(100);
    const int32_t first = Make(AutoNumber, 50);
    const int32_t second = Make(AutoNumber, 51);
    EXPECT_GE(first, table->slotCount);
    EXPECT_NE(first, second);
    EXPECT_EQ(static_cast<Record*>(ObjectTableGet(table, second))->data, 51);
    table->nextAutoNumber = INT32_MAX - AutoNumberBase;
    EXPECT_EQ(Make(AutoNumber), INT32_MAX);
    const int32_t wrapped = Make(AutoNumber);  // the counter restarts but skips live numbers
    EXPECT_NE(wrapped, first);
    EXPECT_NE(wrapped, second);
    EXPECT_GE(wrapped, AutoNumberBase);
}

TEST_F(ObjectTableTest, IteratesInOrderAndReleasesEveryObjectOnce) {
    Make(3);
    const int32_t older = Make(AutoNumber);
    Make(0);
    const int32_t newer = Make(AutoNumber);
    Make(7);
    const std::vector<int32_t> order = {0, 3, 7, older, newer};
    EXPECT_EQ(Iterate(), order);
    ObjectTableReleaseAll(table);
    EXPECT_EQ(freed, order);
    EXPECT_EQ(Iterate(), std::vector<int32_t>{});
}

TEST_F(ObjectTableTest, IterationSurvivesRemovingTheNextRecord) {
    const int32_t a = Make(AutoNumber);
    const int32_t b = Make(AutoNumber);
    const int32_t c = Make(AutoNumber);
    std::vector<int32_t> seen;
    int32_t number = 0;
    ObjectTableFirst(table);
    while (ObjectTableNext(table, &number)) {
        seen.push_back(number);
        if (number == a)
            ObjectTableRemove(table, b);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{a, c}));
}

#ifndef _WIN32
// Only the stand-in heap keeps the table alive across a destroy, to meet refused memory.
TEST_F(ObjectTableTest, RefusedMemoryGivesNull) {
    PrivateHeapDestroy();
    EXPECT_EQ(ObjectTableClaim(table, 50), nullptr);
    EXPECT_EQ(ObjectTableClaim(table, AutoNumber), nullptr);
    EXPECT_EQ(ObjectTableCreate(sizeof(Record), 16, Release), nullptr);
    ASSERT_TRUE(PrivateHeapCreate());
    EXPECT_EQ(table->slotCount, 16);
    EXPECT_EQ(table->automatic, nullptr);
}
#endif

TEST(List, RemovalKeepsBothDirectionsLinked) {
    ASSERT_TRUE(PrivateHeapCreate());
    for (int victim = 0; victim < 3; ++victim) {  // first, middle, last
        ListNode* list = nullptr;
        std::vector<void*> payloads;  // newest first, as the list runs
        for (int i = 0; i < 3; ++i)
            payloads.insert(payloads.begin(), ListInsert(&list, 8));
        void* gone = payloads[victim];
        ListRemove(&list, gone);
        ListRemove(&list, gone);  // a second removal must not free twice
        payloads.erase(payloads.begin() + victim);
        EXPECT_EQ(ListContains(list, gone), nullptr);
        std::vector<void*> forward, backward;
        ListNode* last = nullptr;
        for (ListNode* node = list; node; last = node, node = node->next)
            forward.push_back(node + 1);
        for (ListNode* node = last; node; node = node->previous)
            backward.insert(backward.begin(), node + 1);
        EXPECT_EQ(forward, payloads) << victim;
        EXPECT_EQ(backward, payloads) << victim;
        for (void* p : payloads)
            ListRemove(&list, p);
        EXPECT_EQ(list, nullptr);
    }
}
