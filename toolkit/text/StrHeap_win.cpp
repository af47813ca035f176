#include "toolkit/text/StrHeap.h"

#include <windows.h>

namespace {
constexpr SIZE_T StrHeapInitialSize = 4096;
HANDLE strHeap;
}  // namespace

// No serialisation: the string layer is used by one thread at a time, so a lock on every
// piece of every expression would be pure cost.
bool StrHeapCreate() {
    if (!strHeap)
        strHeap = HeapCreate(HEAP_NO_SERIALIZE, StrHeapInitialSize, 0);
    return strHeap != nullptr;
}

void* StrHeapAlloc(size_t size) {
    return StrHeapCreate() ? HeapAlloc(strHeap, HEAP_NO_SERIALIZE, size) : nullptr;
}

void* StrHeapReAlloc(void* block, size_t size) {
    if (!block)
        return StrHeapAlloc(size);
    return strHeap ? HeapReAlloc(strHeap, HEAP_NO_SERIALIZE, block, size) : nullptr;
}

void StrHeapFree(void* block) {
    if (block && strHeap)
        HeapFree(strHeap, HEAP_NO_SERIALIZE, block);
}
