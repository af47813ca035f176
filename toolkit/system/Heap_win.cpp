#include "toolkit/system/Heap.h"

#include <windows.h>

static HANDLE privateHeap;

bool PrivateHeapCreate() {
    // No options: the system serialises every call, so any thread may allocate and free.
    if (!privateHeap)
        privateHeap = HeapCreate(0, 4096, 0);
    return privateHeap != nullptr;
}

void PrivateHeapDestroy() {
    if (privateHeap)
        HeapDestroy(privateHeap);
    privateHeap = nullptr;
}

void* PrivateAlloc(size_t size) {
    return privateHeap ? HeapAlloc(privateHeap, HEAP_ZERO_MEMORY, size) : nullptr;
}

void* PrivateAllocRaw(size_t size) {
    return privateHeap ? HeapAlloc(privateHeap, 0, size) : nullptr;
}

void* PrivateReAlloc(void* block, size_t size) {
    if (!block)
        return PrivateAlloc(size);
    return privateHeap ? HeapReAlloc(privateHeap, HEAP_ZERO_MEMORY, block, size) : nullptr;
}

void PrivateFree(void* block) {
    if (block && privateHeap)
        HeapFree(privateHeap, 0, block);
}
