// The string operations against std::string, with arguments absent, stored outside the scratch
// area, or built inside it (where the operation's own reservation may move them).
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/Str.h"
#include "toolkit/text/StrVar.h"

// Every occurrence, leftmost first, without overlap and without looking at the result again:
// what precedes i is final, and a match from i on uses only bytes of the original text.
static std::string Removed(std::string text, const std::string& needle) {
    for (size_t i = 0; !needle.empty() && (i = text.find(needle, i)) != std::string::npos;)
        text.erase(i, needle.size());
    return text;
}

// The area makes itself on first use; the heap takes the copies the operations keep aside.
static const bool heapReady = PrivateHeapCreate();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FUZZ_CHECK(heapReady);
    FuzzInput in{data, size, 0};
    const int32_t mode = in.Int();  // bits 0 and 1: text, needle in the area; 2 and 3: absent
    const int32_t n = in.Int();
    std::string arg[2] = {in.Text(), in.Text()};
    const ScratchMark whole;  // the arguments, results and nonsense positions below
    int32_t placed[2] = {ScratchOutside, ScratchOutside};
    for (int i = 0; i < 2; ++i) {
        if (mode >> (i + 2) & 1) {
            arg[i].clear();
        } else if (mode >> i & 1) {
            placed[i] = ScratchEnd();
            StrAppend(arg[i].c_str());
            ScratchPass(placed[i]);
        }
    }
    // Where an argument lies now: asked again for every call, as a caller holding positions does.
    auto at = [&](int i) -> const char* {
        return mode >> (i + 2) & 1           ? nullptr
               : placed[i] != ScratchOutside ? ScratchAt(placed[i])
                                             : &arg[i][0];
    };
    const std::string& text = arg[0];
    const std::string& needle = arg[1];
    const std::string removed = Removed(text, needle);
    const size_t from = n < 1 ? 0 : static_cast<size_t>(n) - 1;  // a start below 1 means 1
    const size_t npos = std::string::npos;
    const size_t found = needle.empty() || from >= text.size() ? npos : text.find(needle, from);
    const size_t k = n < 0 ? 0 : std::min(static_cast<size_t>(n), text.size());
    const size_t count = needle.empty() ? 0 : (text.size() - removed.size()) / needle.size();

    FUZZ_CHECK(StrLen(at(0)) == static_cast<int32_t>(text.size()));
    FUZZ_CHECK(StrFind(at(0), at(1), n) == (found == npos ? 0 : static_cast<int32_t>(found) + 1));
    FUZZ_CHECK(StrCount(at(0), at(1)) == static_cast<int32_t>(count));
    FUZZ_CHECK(StrEqual(at(0), at(1)) == (text == needle));
    const int32_t pos = ScratchEnd();
    FUZZ_CHECK(StrRemove(at(0), at(1), pos) == removed);
    FUZZ_CHECK(ScratchEnd() == pos + static_cast<int32_t>(removed.size()));
    FUZZ_CHECK(StrLeft(at(0), n, pos) == text.substr(0, k));
    FUZZ_CHECK(StrRight(at(0), n, pos) == text.substr(text.size() - k));

    const uint64_t high = static_cast<uint32_t>(in.Int());
    const int64_t wide = static_cast<int64_t>(high << 32 | static_cast<uint32_t>(n));
    FUZZ_CHECK(StrFromInt(wide, pos) == std::to_string(wide));
    FUZZ_CHECK(ScratchEnd() == pos + static_cast<int32_t>(std::to_string(wide).size()));

    // A variable set to a tail of its own block, then taken back out of the area (rewinding it).
    StrVar var = nullptr;
    StrVarInit(&var, at(0));
    FUZZ_CHECK((var != nullptr) == !(mode >> 2 & 1));  // an empty text still gets a block
    StrVarSet(&var, var ? var + k : nullptr);
    FUZZ_CHECK((var ? std::string(var) : text) == text.substr(k));
    ScratchRewind(pos);
    StrAppend(at(0));
    StrVarFromScratch(&var, pos);
    FUZZ_CHECK(var && var == text && ScratchEnd() == pos);  // an empty value keeps a block too
    std::vector<char> copy(k + 1, '#');
    TextCopy(copy.data(), var, k);
    TextCopy(copy.data(), at(0) ? copy.data() : nullptr, at(0) ? static_cast<int32_t>(k) : n);
    FUZZ_CHECK(copy.data() == text.substr(0, k));
    StrVarSet(&var, nullptr);  // frees
    FUZZ_CHECK(!var);

    if (placed[0] != ScratchOutside)  // written over its own source
        FUZZ_CHECK(StrRemove(at(0), at(1), placed[0]) == removed);

    // Nonsense counts and positions leave the end inside the area, where an empty text fits.
    const int32_t end = ScratchEnd();
    ScratchRelease(n);
    FUZZ_CHECK(ScratchEnd() == (n > 0 ? std::max(end - n, 0) : end));
    ScratchRewind(n & 0xFFFF);  // far beyond the area, every run would grow it
    FUZZ_CHECK(!*ScratchEmptyAt(ScratchEnd()) && !*ScratchEmptyAt(std::min(n, 0)));
    FUZZ_CHECK(ScratchReserve(INT32_MAX - (n & 0xFF), 0) == nullptr);
    return 0;
}
