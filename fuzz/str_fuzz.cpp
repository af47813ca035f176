// The string operations against std::string, with arguments taken both from outside the scratch
// area and from inside it (where the operation's own reservation may move them).
#include <string>

#include "fuzz/FuzzInput.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/text/Str.h"

namespace {
std::string Removed(const std::string& text, const std::string& needle) {
    if (needle.empty())
        return text;
    std::string out;
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, needle.size(), needle) == 0)
            i += needle.size();
        else
            out.push_back(text[i++]);
    }
    return out;
}

int32_t Counted(const std::string& text, const std::string& needle) {
    if (needle.empty())
        return 0;
    int32_t n = 0;
    for (size_t i = text.find(needle); i != std::string::npos; i = text.find(needle, i + needle.size()))
        ++n;
    return n;
}

int32_t Found(const std::string& text, const std::string& needle, int32_t start) {
    if (text.empty() || needle.empty())
        return 0;
    if (start < 1)
        start = 1;
    if (start > static_cast<int32_t>(text.size()))
        return 0;
    const size_t at = text.find(needle, static_cast<size_t>(start - 1));
    return at == std::string::npos ? 0 : static_cast<int32_t>(at) + 1;
}

std::string Clamped(const std::string& text, int32_t n, bool left) {
    const int32_t length = static_cast<int32_t>(text.size());
    if (n < 0)
        n = 0;
    if (n > length)
        n = length;
    return left ? text.substr(0, static_cast<size_t>(n)) : text.substr(static_cast<size_t>(length - n));
}

// Puts a text into the area as an inner expression's result would lie there, then lets the
// operation run at the area's end, after the argument: the operation's reservation may move it.
struct InArea {
    int32_t pos;
    explicit InArea(const std::string& text) : pos(ScratchEnd()) { StrAppend(text.c_str()); }
    const char* Pass() { return ScratchPass(pos); }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrivateHeapCreate();
    ScratchInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t mode = in.Int();
    const int32_t n = in.Int();
    const std::string text = in.Text();
    const std::string needle = in.Text();
    const bool textInArea = mode & 1;
    const bool needleInArea = mode & 2;
    const int32_t base = ScratchEnd();

    InArea t(textInArea ? text : std::string());
    const char* textArg = textInArea ? t.Pass() : text.c_str();
    InArea u(needleInArea ? needle : std::string());
    const char* needleArg = needleInArea ? u.Pass() : needle.c_str();
    if (textInArea)
        textArg = ScratchPointerAt(t.pos + 1);  // the needle's append may have moved the area

    FUZZ_CHECK(StrLen(textArg) == static_cast<int32_t>(text.size()));
    FUZZ_CHECK(StrFind(textArg, needleArg, n) == Found(text, needle, n));
    const int32_t count = StrCount(textArg, needleArg);
    FUZZ_CHECK(count == Counted(text, needle));
    FUZZ_CHECK(static_cast<int64_t>(count) * static_cast<int64_t>(needle.size()) <=
               static_cast<int64_t>(text.size()));
    FUZZ_CHECK(StrEqual(textArg, needleArg) == (text == needle));

    // Each producing call runs at the current end and may move the area: arguments that lie in
    // the area are handed over again by offset afterwards.
    const int32_t textOffset = ScratchOffsetOf(textArg);
    const int32_t needleOffset = ScratchOffsetOf(needleArg);
    auto again = [&](const char*& p, int32_t offset) {
        if (offset)
            p = ScratchPointerAt(offset);
    };
    int32_t pos = ScratchEnd();
    std::string got = StrRemove(textArg, needleArg, pos);
    FUZZ_CHECK(got == Removed(text, needle));
    FUZZ_CHECK(got.size() <= text.size());
    FUZZ_CHECK(ScratchEnd() == pos + static_cast<int32_t>(got.size()));
    ScratchRewind(pos);
    again(textArg, textOffset);
    again(needleArg, needleOffset);

    pos = ScratchEnd();
    got = StrLeft(textArg, n, pos);
    FUZZ_CHECK(got == Clamped(text, n, true));
    ScratchRewind(pos);
    again(textArg, textOffset);
    got = StrRight(textArg, n, pos);
    FUZZ_CHECK(got == Clamped(text, n, false));
    ScratchRewind(pos);

    const int64_t wide = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(in.Int())) << 32) |
                                              static_cast<uint32_t>(n));
    FUZZ_CHECK(std::string(StrFromInt(wide, pos)) == std::to_string(wide));
    ScratchRewind(pos);
    FUZZ_CHECK(std::string(StrFromInt(n, pos)) == std::to_string(n));
    ScratchRewind(base);
    return 0;
}
