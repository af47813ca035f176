#include "toolkit/system/ObjectTable.h"

#include <cstring>

#include "toolkit/system/Heap.h"

// Chosen numbers run from AutoNumberBase up to INT32_MAX; past that the counter wraps and
// skips numbers still held, so a long-running program never hands out a duplicate.
constexpr int32_t AutoNumberSpan = INT32_MAX - AutoNumberBase + 1;

static uint8_t* SlotRecord(ObjectTable* table, int32_t number) {
    return table->slots + static_cast<size_t>(number) * static_cast<size_t>(table->recordSize);
}

// Every record starts with the 32-bit "in use" field; read it without assuming the record's
// alignment.
static int32_t FirstField(const void* record) {
    int32_t value;
    std::memcpy(&value, record, sizeof value);
    return value;
}

static ListNode* FindAutomatic(ObjectTable* table, int32_t number) {
    for (ListNode* node = table->automatic; node; node = node->next)
        if (node->tag == number)
            return node;
    return nullptr;
}

static bool IsSlotNumber(const ObjectTable* table, int32_t number) {
    return number >= 0 && number < table->slotCount;
}

ObjectTable* ObjectTableCreate(int32_t recordSize, int32_t step, ReleaseProc release) {
    if (recordSize < static_cast<int32_t>(sizeof(int32_t)) || step < 1 || !release)
        return nullptr;
    auto* table = static_cast<ObjectTable*>(PrivateAlloc(sizeof(ObjectTable)));
    if (!table)
        return nullptr;
    table->slots = static_cast<uint8_t*>(
        PrivateAlloc(static_cast<size_t>(step) * static_cast<size_t>(recordSize)));
    if (!table->slots) {
        PrivateFree(table);
        return nullptr;
    }
    table->recordSize = recordSize;
    table->growthStep = step;
    table->slotCount = step;
    table->release = release;
    return table;
}

// Grows the slot array to `number` + step slots. The array may move, which is why callers
// hold numbers rather than record addresses across a claim.
static bool GrowToInclude(ObjectTable* table, int32_t number) {
    int64_t wanted = static_cast<int64_t>(number) + table->growthStep;
    if (wanted > INT32_MAX)
        wanted = INT32_MAX;
    const uint64_t bytes = static_cast<uint64_t>(wanted) * static_cast<uint64_t>(table->recordSize);
    if (bytes > SIZE_MAX)
        return false;
    void* grown = PrivateReAlloc(table->slots, static_cast<size_t>(bytes));
    if (!grown)
        return false;
    table->slots = static_cast<uint8_t*>(grown);
    table->slotCount = static_cast<int32_t>(wanted);
    return true;
}

static int32_t NextAutoNumber(ObjectTable* table) {
    for (;;) {
        int32_t number = AutoNumberBase + table->nextAutoNumber;
        table->nextAutoNumber = (table->nextAutoNumber + 1) % AutoNumberSpan;
        if (!FindAutomatic(table, number))
            return number;
    }
}

static void* ClaimAutomatic(ObjectTable* table, int32_t* chosen) {
    void* record = ListInsert(&table->automatic, static_cast<size_t>(table->recordSize));
    if (!record)
        return nullptr;
    const int32_t number = NextAutoNumber(table);
    ListNodeOf(record)->tag = number;
    if (chosen)
        *chosen = number;
    return record;
}

void* ObjectTableClaim(ObjectTable* table, int32_t number, int32_t* chosen) {
    if (!table)
        return nullptr;
    if (number == AutoNumber)
        return ClaimAutomatic(table, chosen);
    if (number < 0 || number >= AutoNumberBase)
        return nullptr;
    if (number >= table->slotCount && !GrowToInclude(table, number))
        return nullptr;
    table->release(number);
    // A half-made object leaves data behind a zero first field, which the release operation
    // rightly ignores; clear the slot so every claim really starts from zeros.
    uint8_t* record = SlotRecord(table, number);
    std::memset(record, 0, static_cast<size_t>(table->recordSize));
    if (chosen)
        *chosen = number;
    return record;
}

void* ObjectTableRecordOf(ObjectTable* table, int32_t number) {
    if (!table || number < 0)
        return nullptr;
    if (IsSlotNumber(table, number))
        return SlotRecord(table, number);
    ListNode* node = FindAutomatic(table, number);
    return node ? node + 1 : nullptr;
}

void* ObjectTableGet(ObjectTable* table, int32_t number) {
    void* record = ObjectTableRecordOf(table, number);
    return record && FirstField(record) != 0 ? record : nullptr;
}

void ObjectTableRemove(ObjectTable* table, int32_t number) {
    if (!table || number < 0)
        return;
    if (IsSlotNumber(table, number)) {
        std::memset(SlotRecord(table, number), 0, static_cast<size_t>(table->recordSize));
        return;
    }
    ListNode* node = FindAutomatic(table, number);
    if (!node)
        return;
    // Removing the record an iteration would visit next must not leave it holding freed memory.
    if (table->iterationNode == node)
        table->iterationNode = node->previous;
    ListRemove(&table->automatic, node + 1);
}

void ObjectTableFirst(ObjectTable* table) {
    if (!table)
        return;
    table->iterationSlot = 0;
    ListNode* oldest = table->automatic;
    while (oldest && oldest->next)
        oldest = oldest->next;
    table->iterationNode = oldest;
}

void* ObjectTableNext(ObjectTable* table, int32_t* number) {
    if (!table)
        return nullptr;
    while (table->iterationSlot < table->slotCount) {
        const int32_t slot = table->iterationSlot++;
        uint8_t* record = SlotRecord(table, slot);
        if (FirstField(record) != 0) {
            if (number)
                *number = slot;
            return record;
        }
    }
    ListNode* node = table->iterationNode;
    if (!node)
        return nullptr;
    // Step past the record before handing it out, so the caller may release it.
    table->iterationNode = node->previous;
    if (number)
        *number = node->tag;
    return node + 1;
}

void ObjectTableReleaseAll(ObjectTable* table) {
    if (!table)
        return;
    int32_t number = 0;
    ObjectTableFirst(table);
    while (ObjectTableNext(table, &number))
        table->release(number);
}
