// Stand-in for the unserialised Win32 string heap, so the string layer runs under the
// sanitizers natively.
#include "toolkit/text/StrHeap.h"

#include <cstdlib>

bool StrHeapCreate() { return true; }

void* StrHeapAlloc(size_t size) { return std::malloc(size ? size : 1); }

void* StrHeapReAlloc(void* block, size_t size) { return std::realloc(block, size ? size : 1); }

void StrHeapFree(void* block) { std::free(block); }
