#include "toolkit/text/Scratch.h"

#include <cstring>

#include "toolkit/text/StrHeap.h"

namespace {
constexpr int32_t InitialCapacity = 16;
// A growth adds this much beyond the need, so a run of appends rarely moves the area.
constexpr int64_t GrowthSlack = 16384;
// Room kept above the last reserved byte for the terminator (and a trailing word, should a
// copy ever move whole 4-byte words).
constexpr int32_t CapacityMargin = 4;
constexpr int64_t MaxCapacity = INT32_MAX - StrBlockSpare;

struct ScratchArea {
    char* base;
    int32_t end;       // a terminator stands here
    int32_t capacity;  // reservations stay CapacityMargin below it
    int32_t size;      // bytes in the block: capacity, or capacity + StrBlockSpare once grown
};
ScratchArea area;

// What a failed result points at: the area is left as it was and nothing is written.
char emptyText[1];
}  // namespace

// Lazily, so a tool or test that forgets ScratchInit gets an area instead of a crash.
static bool EnsureArea() {
    if (area.base)
        return true;
    if (!StrHeapCreate())
        return false;
    auto* block = static_cast<char*>(StrHeapAlloc(InitialCapacity));
    if (!block)
        return false;
    block[0] = 0;
    area = ScratchArea{block, 0, InitialCapacity, InitialCapacity};
    return true;
}

// Keeps end inside the block whatever a caller passes, so a terminator at end is always safe.
static void SetEnd(int64_t value) {
    if (value < 0)
        value = 0;
    if (value > area.capacity - 1)
        value = area.capacity - 1;
    area.end = static_cast<int32_t>(value);
}

void ScratchInit() {
    if (!EnsureArea())
        return;
    area.end = 0;
    area.base[0] = 0;
}

int32_t ScratchEnd() { return area.end; }

char* ScratchReserve(int32_t len, int32_t pos) {
    if (!EnsureArea())
        return nullptr;
    if (len < 0)
        len = 0;
    if (pos < 0)
        pos = 0;
    int64_t from = area.end > pos ? area.end : pos;
    if (from + len >= area.capacity - CapacityMargin) {
        int64_t capacity = from + len + GrowthSlack;
        if (capacity > MaxCapacity)
            return nullptr;
        int32_t size = static_cast<int32_t>(capacity) + StrBlockSpare;
        auto* block = static_cast<char*>(StrHeapReAlloc(area.base, static_cast<size_t>(size)));
        if (!block)
            return nullptr;
        area.base = block;
        area.capacity = static_cast<int32_t>(capacity);
        area.size = size;
    }
    area.end = pos + len;
    return area.base + pos;
}

void ScratchRelease(int32_t n) {
    if (n > 0)
        SetEnd(static_cast<int64_t>(area.end) - n);
}

char* ScratchFinish(char* out, int32_t length, int32_t room) {
    ScratchRelease(room - length);
    out[length] = 0;
    return out;
}

char* ScratchEmptyAt(int32_t pos) {
    char* at = ScratchReserve(0, pos);
    if (!at)
        return emptyText;
    *at = 0;
    return at;
}

// Any pointer into the block counts, not only up to end: a text left just beyond end must be
// re-located after a growth too.
int32_t ScratchPosOf(const char* p) {
    if (!p || !area.base)
        return ScratchOutside;
    auto at = reinterpret_cast<uintptr_t>(p);
    auto base = reinterpret_cast<uintptr_t>(area.base);
    if (at < base || at - base >= static_cast<uintptr_t>(area.size))
        return ScratchOutside;
    return static_cast<int32_t>(at - base);
}

char* ScratchAt(int32_t pos) {
    if (!area.base || pos < 0 || pos >= area.size)
        return nullptr;
    return area.base + pos;
}

char* ScratchPass(int32_t pos) {
    if (!EnsureArea())
        return emptyText;
    SetEnd(static_cast<int64_t>(area.end) + 1);
    if (pos < 0 || pos >= area.end)
        return emptyText;
    return area.base + pos;
}

// The terminator goes back too: what was built past pos may have overwritten the one that ended
// an expression begun before it, which its builder may still hand on.
void ScratchRewind(int32_t pos) {
    if (!area.base)
        return;
    SetEnd(pos);
    area.base[area.end] = 0;
}
