#pragma once
#include <cstddef>

// The program's private heap: one growable heap, serialised by the system, from which every
// table, record, list node and short-lived toolkit block comes. The shell creates it before
// anything else and destroys it last, which frees everything still allocated in one step.
bool PrivateHeapCreate();  // initial 4096 bytes, no maximum; true if ready
void PrivateHeapDestroy();
void* PrivateAlloc(size_t size);                 // zero-filled; null on failure
void* PrivateAllocRaw(size_t size);              // not zero-filled; null on failure
void* PrivateReAlloc(void* block, size_t size);  // bytes added are zero-filled; null on failure
void PrivateFree(void* block);                   // null is ignored
