#include "toolkit/system/ObjectTable.h"

#include <gtest/gtest.h>

#include <vector>

#include "toolkit/system/Heap.h"

namespace {

struct Record {
    int32_t handle;  // nonzero while the object exists
    int32_t data;
};

// The release operation only knows a number, so the table under test and the record of calls
// live here.
ObjectTable* table;
std::vector<int32_t> released;   // every number the release operation was called with
std::vector<int32_t> freed;      // numbers that actually named an object

void Release(int32_t number) {
    released.push_back(number);
    if (!ObjectTableGet(table, number))
        return;
    freed.push_back(number);
    ObjectTableRemove(table, number);
}

int32_t Make(int32_t number, int32_t handle = 1) {
    int32_t chosen = 0;
    auto* record = static_cast<Record*>(ObjectTableClaim(table, number, &chosen));
    if (!record)
        return -100;
    record->handle = handle;
    record->data = handle * 10;
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
    // Tables live for the whole program, so there is no destroy operation; the sanitizer
    // wants the test's own tables back.
    void TearDown() override { FreeTable(table); }

public:
    static void FreeTable(ObjectTable* t) {
        while (t->automatic)
            ListRemove(&t->automatic, t->automatic + 1);
        PrivateFree(t->slots);
        PrivateFree(t);
    }
};

}  // namespace

TEST_F(ObjectTableTest, GrowsToNumberPlusStepKeepingObjects) {
    for (int32_t n = 0; n < 16; ++n)
        Make(n, n + 1);
    Make(20, 99);
    EXPECT_EQ(table->slotCount, 36);
    for (int32_t n = 0; n < 16; ++n) {
        auto* record = static_cast<Record*>(ObjectTableGet(table, n));
        ASSERT_NE(record, nullptr) << n;
        EXPECT_EQ(record->data, (n + 1) * 10) << n;
    }
    for (int32_t n = 16; n < 36; ++n)
        EXPECT_EQ(ObjectTableGet(table, n) != nullptr, n == 20) << n;
}

TEST_F(ObjectTableTest, ClaimReleasesFirstAndHandsBackZeros) {
    Make(5, 7);
    released.clear();
    auto* record = static_cast<Record*>(ObjectTableClaim(table, 5));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(released, std::vector<int32_t>{5});
    EXPECT_EQ(freed, std::vector<int32_t>{5});
    EXPECT_EQ(record->handle, 0);
    EXPECT_EQ(record->data, 0);

    // A free number is offered to the release operation too, which finds nothing.
    released.clear();
    freed.clear();
    ASSERT_NE(ObjectTableClaim(table, 6), nullptr);
    EXPECT_EQ(released, std::vector<int32_t>{6});
    EXPECT_TRUE(freed.empty());
}

TEST_F(ObjectTableTest, HalfMadeRecordIsFreeAndClaimedClean) {
    auto* record = static_cast<Record*>(ObjectTableClaim(table, 2));
    ASSERT_NE(record, nullptr);
    record->data = 1234;  // the making failed before the handle was stored
    EXPECT_EQ(ObjectTableGet(table, 2), nullptr);
    EXPECT_EQ(Iterate(), std::vector<int32_t>{});
    record = static_cast<Record*>(ObjectTableClaim(table, 2));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->data, 0);
}

TEST_F(ObjectTableTest, NumbersThatNameNothing) {
    Make(0);
    const int32_t chosen = Make(AutoNumber);
    ObjectTableRemove(table, chosen);
    const int32_t none[] = {40, -5, -1, INT32_MIN, INT32_MAX, AutoNumberBase, chosen,
                            chosen + 1, 16};
    for (int32_t n : none)
        EXPECT_EQ(ObjectTableGet(table, n), nullptr) << n;
    // Removing them changes nothing, the live object included.
    for (int32_t n : none)
        ObjectTableRemove(table, n);
    EXPECT_NE(ObjectTableGet(table, 0), nullptr);
}

TEST_F(ObjectTableTest, ClaimRefusesNonObjectNumbers) {
    const int32_t refused[] = {-2, -5, INT32_MIN, AutoNumberBase, AutoNumberBase + 1, INT32_MAX};
    for (int32_t n : refused) {
        int32_t chosen = 77;
        EXPECT_EQ(ObjectTableClaim(table, n, &chosen), nullptr) << n;
        EXPECT_EQ(chosen, 77) << n;
    }
    EXPECT_TRUE(released.empty());
    EXPECT_EQ(table->slotCount, 16);
}

TEST_F(ObjectTableTest, AutomaticNumbersAreDistinctAboveSlotsAndFoundAgain) {
    Make(100);  // slot numbers can grow well beyond the step
    std::vector<int32_t> chosen;
    for (int i = 0; i < 5; ++i) {
        chosen.push_back(Make(AutoNumber, 50 + i));
        EXPECT_GE(chosen.back(), AutoNumberBase);
        EXPECT_GE(chosen.back(), table->slotCount);
    }
    for (size_t i = 0; i < chosen.size(); ++i) {
        auto* record = static_cast<Record*>(ObjectTableGet(table, chosen[i]));
        ASSERT_NE(record, nullptr) << chosen[i];
        EXPECT_EQ(record->handle, static_cast<int32_t>(50 + i));
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(chosen[i], chosen[j]);
    }
    // A number is not reused while its record lives, even when the counter wraps.
    table->nextAutoNumber = chosen[1] - AutoNumberBase;
    const int32_t next = Make(AutoNumber);
    for (int32_t n : chosen)
        EXPECT_NE(next, n);
    table->nextAutoNumber = INT32_MAX - AutoNumberBase;
    EXPECT_EQ(Make(AutoNumber), INT32_MAX);
    EXPECT_EQ(table->nextAutoNumber, 0);
}

TEST_F(ObjectTableTest, IteratesSlotsAscendingThenAutomaticOldestFirst) {
    Make(3);
    const int32_t older = Make(AutoNumber);
    Make(0);
    const int32_t newer = Make(AutoNumber);
    Make(7);
    EXPECT_EQ(Iterate(), (std::vector<int32_t>{0, 3, 7, older, newer}));
}

TEST_F(ObjectTableTest, ReleaseAllReportsEveryObjectOnce) {
    Make(3);
    Make(0);
    Make(7);
    const int32_t a = Make(AutoNumber);
    const int32_t b = Make(AutoNumber);
    ObjectTableReleaseAll(table);
    EXPECT_EQ(freed, (std::vector<int32_t>{0, 3, 7, a, b}));
    EXPECT_EQ(Iterate(), std::vector<int32_t>{});
    EXPECT_EQ(table->automatic, nullptr);
}

TEST_F(ObjectTableTest, IterationSurvivesRemovingTheNextAutomaticRecord) {
    const int32_t a = Make(AutoNumber);
    const int32_t b = Make(AutoNumber);
    const int32_t c = Make(AutoNumber);
    std::vector<int32_t> seen;
    int32_t number = 0;
    ObjectTableFirst(table);
    while (ObjectTableNext(table, &number)) {
        seen.push_back(number);
        if (number == a)
            ObjectTableRemove(table, b);  // the record the iteration would visit next
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{a, c}));
}

// Payloads of a plain list, oldest to newest, checked along both links.
static void ExpectLinked(ListNode* list, const std::vector<void*>& newestFirst) {
    std::vector<void*> forward;
    ListNode* last = nullptr;
    for (ListNode* node = list; node; node = node->next) {
        EXPECT_EQ(node->previous, last);
        forward.push_back(node + 1);
        last = node;
    }
    EXPECT_EQ(forward, newestFirst);
    std::vector<void*> backward;
    for (ListNode* node = last; node; node = node->previous)
        backward.insert(backward.begin(), node + 1);
    EXPECT_EQ(backward, newestFirst);
}

TEST(List, RemoveFirstMiddleAndLastKeepsBothDirections) {
    ASSERT_TRUE(PrivateHeapCreate());
    for (int victim = 0; victim < 4; ++victim) {
        ListNode* list = nullptr;
        std::vector<void*> payloads;  // newest first
        for (int i = 0; i < 4; ++i)
            payloads.insert(payloads.begin(), ListInsert(&list, 8));
        ExpectLinked(list, payloads);
        ListRemove(&list, payloads[victim]);
        void* gone = payloads[victim];
        payloads.erase(payloads.begin() + victim);
        ExpectLinked(list, payloads);
        EXPECT_EQ(ListContains(list, gone), nullptr);
        for (void* p : payloads)
            EXPECT_EQ(ListContains(list, p), p);
        while (!payloads.empty()) {
            ListRemove(&list, payloads.back());
            payloads.pop_back();
        }
        EXPECT_EQ(list, nullptr) << "victim " << victim;
    }
}

TEST(List, InsertZeroFillsAndForeignPayloadsAreIgnored) {
    ASSERT_TRUE(PrivateHeapCreate());
    ListNode* list = nullptr;
    auto* payload = static_cast<unsigned char*>(ListInsert(&list, 32));
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(ListNodeOf(payload), list);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(payload[i], 0) << i;

    ListNode* other = nullptr;
    void* stranger = ListInsert(&other, 4);
    ListRemove(&list, stranger);  // not a member: a no-op, not a corrupted list
    ListRemove(&list, nullptr);
    EXPECT_EQ(list, ListNodeOf(payload));
    ListRemove(&list, payload);
    ListRemove(&list, payload);  // a second removal must not free twice
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(ListContains(nullptr, stranger), nullptr);
    ListRemove(&other, stranger);
}

// The stand-in heap keeps blocks alive across a destroy, which lets a live table meet a heap
// that refuses memory; on Windows destroying the heap frees the table itself.
#ifndef _WIN32
TEST_F(ObjectTableTest, RefusedMemoryGivesNullAndKeepsTheTable) {
    Make(1);
    PrivateHeapDestroy();
    EXPECT_EQ(ObjectTableClaim(table, 50), nullptr);
    EXPECT_EQ(ObjectTableClaim(table, AutoNumber), nullptr);
    EXPECT_EQ(ObjectTableCreate(sizeof(Record), 16, Release), nullptr);
    ListNode* list = nullptr;
    EXPECT_EQ(ListInsert(&list, 8), nullptr);
    ASSERT_TRUE(PrivateHeapCreate());
    EXPECT_EQ(table->slotCount, 16);
    EXPECT_EQ(table->automatic, nullptr);
    EXPECT_NE(ObjectTableGet(table, 1), nullptr);
}
#endif

TEST(ObjectTableCreate, RefusesRecordsTooSmallForTheInUseField) {
    ASSERT_TRUE(PrivateHeapCreate());
    auto nothing = [](int32_t) {};
    EXPECT_EQ(ObjectTableCreate(2, 16, nothing), nullptr);
    EXPECT_EQ(ObjectTableCreate(8, -1, nothing), nullptr);
    ObjectTable* empty = ObjectTableCreate(8, 0, nothing);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(ObjectTableClaim(empty, 0), nullptr);  // a zero step still makes room
    EXPECT_EQ(empty->slotCount, 1);
    ObjectTableTest::FreeTable(empty);
}
