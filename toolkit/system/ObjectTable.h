#pragma once
#include <cstddef>
#include <cstdint>

#include "toolkit/system/List.h"

// Numbered objects. A caller-chosen number names the record in slot `number`; -1 asks the
// registry to choose one. Chosen numbers start at AutoNumberBase, so they never fall among slot
// indexes, and they are looked up in the table's own list: a forged or stale number finds nothing.
constexpr int32_t AutoNumber = -1;
constexpr int32_t AutoNumberBase = 0x40000000;  // fixed numbers at or above this are refused

using ReleaseProc = void (*)(int32_t number);

struct ObjectTable {
    int32_t recordSize;
    int32_t growthStep;
    int32_t slotCount;
    ListNode* automatic;  // newest first
    ReleaseProc release;
    int32_t iterationSlot;
    ListNode* iterationNode;
    uint8_t* slots;
    int32_t nextAutoNumber;  // next number to hand out for -1
};

// Null unless the record holds its 32-bit first field, step is 1 or more and release is given.
ObjectTable* ObjectTableCreate(int32_t recordSize, int32_t step, ReleaseProc release);
// The zero-filled record in which to build an object under `number`; an object already there
// is released first. `chosen` (may be null) receives the number used. Null when the number is
// not an object number (negative other than -1, or at/above AutoNumberBase) or memory ran out.
void* ObjectTableClaim(ObjectTable* table, int32_t number, int32_t* chosen = nullptr);
void* ObjectTableGet(ObjectTable* table, int32_t number);  // null when no object exists
// The record under `number` whether or not its object exists yet, where it lies now: for one
// that was claimed and must be found again after code that may have grown the table.
void* ObjectTableRecordOf(ObjectTable* table, int32_t number);
void ObjectTableRemove(ObjectTable* table, int32_t number);
void ObjectTableFirst(ObjectTable* table);
void* ObjectTableNext(ObjectTable* table, int32_t* number);  // null at the end
void ObjectTableReleaseAll(ObjectTable* table);
