#pragma once
#include <cstddef>
#include <cstdint>

// The heap that holds the scratch area and every string variable's block. It takes no lock:
// only one thread at a time builds strings, and the callers keep it that way.
bool StrHeapCreate();                            // idempotent; true once the heap exists
void* StrHeapAlloc(size_t size);                 // not zero-filled; null on failure
void* StrHeapReAlloc(void* block, size_t size);  // keeps the content; null block allocates
void StrHeapFree(void* block);                   // null is ignored
// Variables' blocks and the grown scratch area carry this many bytes beyond their text.
constexpr int32_t StrBlockSpare = 5;
