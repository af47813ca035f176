// Stand-in for the Win32 private heap, so the pure parts run under the sanitizers. Each block
// carries its size in front so that a resize can zero-fill what it adds, as HeapReAlloc does
// with HEAP_ZERO_MEMORY.
#include "toolkit/system/Heap.h"

#include <cstdlib>
#include <cstring>

namespace {
struct alignas(16) BlockHeader {
    size_t size;
};
bool created;
}  // namespace

bool PrivateHeapCreate() {
    created = true;
    return true;
}

// Blocks outlive a destroy here (the sanitizer would report them as leaks only at exit, and the
// tests create and destroy the heap once per process).
void PrivateHeapDestroy() { created = false; }

static void* Allocate(size_t size, bool zero) {
    if (!created)
        return nullptr;
    auto* header = static_cast<BlockHeader*>(zero ? std::calloc(1, sizeof(BlockHeader) + size)
                                                  : std::malloc(sizeof(BlockHeader) + size));
    if (!header)
        return nullptr;
    header->size = size;
    return header + 1;
}

void* PrivateAlloc(size_t size) { return Allocate(size, true); }
void* PrivateAllocRaw(size_t size) { return Allocate(size, false); }

void* PrivateReAlloc(void* block, size_t size) {
    if (!block)
        return PrivateAlloc(size);
    if (!created)
        return nullptr;
    BlockHeader* old = static_cast<BlockHeader*>(block) - 1;
    size_t oldSize = old->size;
    auto* header = static_cast<BlockHeader*>(std::realloc(old, sizeof(BlockHeader) + size));
    if (!header)
        return nullptr;
    if (size > oldSize)
        std::memset(reinterpret_cast<char*>(header + 1) + oldSize, 0, size - oldSize);
    header->size = size;
    return header + 1;
}

void PrivateFree(void* block) {
    if (block)
        std::free(static_cast<BlockHeader*>(block) - 1);
}
