#include "toolkit/text/StrVar.h"

#include <cstring>

#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrHeap.h"

constexpr size_t MaxTextLength = INT32_MAX - StrBlockSpare;

void StrAppend(const char* text) {
    const int32_t at = ScratchEnd();
    const size_t len = text ? std::strlen(text) : 0;
    const ScratchText source(text);  // found again once the reservation has moved the area
    char* dst = len <= MaxTextLength ? ScratchReserve(static_cast<int32_t>(len), at) : nullptr;
    if (!dst) {
        ScratchEmptyAt(at);
        return;
    }
    if (len)
        std::memmove(dst, source.Get(), len);
    dst[len] = 0;
}

// A block of length + StrBlockSpare bytes holding a copy of text. A text that lies inside the
// variable's own block is moved down first, since shrinking would cut it off.
static void AssignBlock(StrVar* var, const char* text, size_t len) {
    if (len > static_cast<size_t>(MaxTextLength))
        return;
    char* old = *var;
    auto at = reinterpret_cast<uintptr_t>(text);
    auto start = reinterpret_cast<uintptr_t>(old);
    bool inOwnBlock = old && at >= start && at <= start + std::strlen(old);
    if (inOwnBlock)
        std::memmove(old, text, len + 1);
    auto* block = static_cast<char*>(StrHeapReAlloc(old, len + StrBlockSpare));
    if (!block)
        return;  // the variable keeps its old value
    if (!inOwnBlock) {
        std::memcpy(block, text, len);
        block[len] = 0;
    }
    *var = block;
}

void StrVarInit(StrVar* var, const char* text) {
    if (!var)
        return;
    if (*var) {  // a misuse, but a leak or a stale value would be worse than an assignment
        StrVarSet(var, text);
        return;
    }
    if (text)
        AssignBlock(var, text, std::strlen(text));
}

void StrVarSet(StrVar* var, const char* text) {
    if (!var)
        return;
    if (!text) {
        StrHeapFree(*var);
        *var = nullptr;
        return;
    }
    AssignBlock(var, text, std::strlen(text));
}

void StrVarFromScratch(StrVar* var, int32_t pos) {
    const int32_t end = ScratchEnd();
    if (pos < 0)
        pos = 0;
    if (pos > end)
        pos = end;
    const char* text = ScratchAt(pos);
    if (var && text) {
        const int32_t len = end - pos;
        // Blocks come from the same heap, so a variable never lies inside the area.
        auto* block =
            static_cast<char*>(StrHeapReAlloc(*var, static_cast<size_t>(len) + StrBlockSpare));
        if (block) {
            std::memcpy(block, text, static_cast<size_t>(len));
            block[len] = 0;
            *var = block;
        }
    }
    ScratchEmptyAt(pos);
}

void StrVarFree(StrVar var) { StrHeapFree(var); }

void TextCopy(char* dst, const char* src, int32_t len) {
    if (!dst)
        return;
    if (src && len > 0)
        std::memmove(dst, src, static_cast<size_t>(len));
    dst[len > 0 && src ? len : 0] = 0;
}
