#include "toolkit/text/Str.h"

#include <cstring>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

constexpr int32_t MaxDecimalDigits = 20;               // of the largest unsigned 64-bit magnitude
constexpr int32_t IntTextRoom = 1 + MaxDecimalDigits;  // a sign and the digits of any value

static int32_t LengthOf(const char* text) {
    if (!text)
        return 0;
    size_t len = std::strlen(text);
    return len > INT32_MAX ? INT32_MAX : static_cast<int32_t>(len);
}

// First occurrence of needle[0..n) in hay[0..len), or null; it never reads outside either.
// Candidates are found by the needle's last byte and compared from the end backwards: in page
// markup needles share long heads ("<a href=\"profile.php?...") and differ near their end.
static const char* FindBytes(const char* hay, size_t len, const char* needle, size_t n) {
    if (n == 0 || n > len)
        return nullptr;
    const char last = needle[n - 1];
    const char* at = hay + n - 1;  // where the needle's last byte would stand
    const char* stop = hay + len;
    while (at < stop) {
        at = static_cast<const char*>(std::memchr(at, last, static_cast<size_t>(stop - at)));
        if (!at)
            return nullptr;
        const char* start = at - (n - 1);
        size_t k = n - 1;
        while (k > 0 && start[k - 1] == needle[k - 1])
            --k;
        if (k == 0)
            return start;
        ++at;
    }
    return nullptr;
}

int32_t StrLen(const char* text) { return LengthOf(text); }

int32_t StrFind(const char* text, const char* needle, int32_t start) {
    if (!text || !needle || !*needle)
        return 0;
    if (start < 1)
        start = 1;
    // Only as far as start is measured: the scanner looks for the first comma of a long text
    // on every pass, and measuring the whole text each time would double the pass.
    size_t skip = static_cast<size_t>(start - 1);
    if (strnlen(text, skip + 1) <= skip)
        return 0;
    const char* hit;
    if (needle[1] == 0) {
        hit = std::strchr(text + skip, needle[0]);
    } else {
        size_t len = std::strlen(text + skip);
        hit = FindBytes(text + skip, len, needle, std::strlen(needle));
    }
    return hit ? static_cast<int32_t>(hit - text) + 1 : 0;
}

// n bytes of text from byte `from` on, to pos; n is already clamped to the text.
static char* CopyPart(const char* text, int32_t from, int32_t n, int32_t pos) {
    const ScratchText source(text);  // the reservation may move the area, and a text there
    char* dst = ScratchReserve(n, pos);
    if (!dst)
        return ScratchEmptyAt(pos);
    if (n > 0)
        std::memmove(dst, source.Get() + from, static_cast<size_t>(n));
    dst[n] = 0;
    return dst;
}

char* StrLeft(const char* text, int32_t n, int32_t pos) {
    // Measured only as far as n: the scanner takes short heads of long texts.
    int32_t len = n > 0 && text ? static_cast<int32_t>(strnlen(text, static_cast<size_t>(n))) : 0;
    return CopyPart(text, 0, len, pos);
}

char* StrRight(const char* text, int32_t n, int32_t pos) {
    int32_t len = LengthOf(text);
    if (n < 0)
        n = 0;
    if (n > len)
        n = len;
    return CopyPart(text, len - n, n, pos);
}

// Copies [text, text + len) to dst leaving out every occurrence of needle, in one pass. dst
// may be text itself or lie below it: the write position never passes the read position, and
// memmove takes the overlap.
static int32_t RemoveInto(char* dst, const char* text, int32_t len, const char* needle, int32_t n) {
    const char* read = text;
    const char* stop = text + len;
    char* write = dst;
    while (read < stop) {
        const char* hit =
            FindBytes(read, static_cast<size_t>(stop - read), needle, static_cast<size_t>(n));
        const char* keepEnd = hit ? hit : stop;
        size_t keep = static_cast<size_t>(keepEnd - read);
        if (write != read)
            std::memmove(write, read, keep);
        write += keep;
        read = hit ? hit + n : stop;
    }
    return static_cast<int32_t>(write - dst);
}

char* StrRemove(const char* text, const char* needle, int32_t pos) {
    int32_t len = LengthOf(text);
    int32_t n = LengthOf(needle);
    const ScratchText heldText(text);
    const ScratchText heldNeedle(needle);
    char* dst = ScratchReserve(len, pos);
    if (!dst)
        return ScratchEmptyAt(pos);
    text = heldText.Get();
    needle = heldNeedle.Get();
    if (len == 0)
        return ScratchEmptyAt(pos);
    // The result is written over the area from pos on, which may be where a needle built
    // in the area lies; a private copy keeps it intact.
    char* needleCopy = nullptr;
    if (heldNeedle.Pos() != ScratchOutside && n > 0) {
        needleCopy = static_cast<char*>(PrivateAllocRaw(static_cast<size_t>(n) + 1));
        if (needleCopy) {
            std::memcpy(needleCopy, needle, static_cast<size_t>(n) + 1);
            needle = needleCopy;
        } else if (heldNeedle.Pos() + n >= pos) {
            return ScratchEmptyAt(pos);
        }
    }
    int32_t kept = n > 0 ? RemoveInto(dst, text, len, needle, n) : len;
    if (n == 0)
        std::memmove(dst, text, static_cast<size_t>(len));
    PrivateFree(needleCopy);
    return ScratchFinish(dst, kept, len);
}

int32_t StrCount(const char* text, const char* needle) {
    int32_t len = LengthOf(text);
    int32_t n = LengthOf(needle);
    if (len == 0 || n == 0)
        return 0;
    int32_t count = 0;
    const char* read = text;
    const char* stop = text + len;
    while (const char* hit =
               FindBytes(read, static_cast<size_t>(stop - read), needle, static_cast<size_t>(n))) {
        ++count;
        read = hit + n;
    }
    return count;
}

// Digits of magnitude, most significant first, into out; returns their count.
static int32_t DecimalDigits(uint64_t magnitude, char* out) {
    char reversed[MaxDecimalDigits];
    int32_t count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (int32_t i = 0; i < count; ++i)
        out[i] = reversed[count - 1 - i];
    return count;
}

// Negating in unsigned arithmetic covers the smallest value too, whose magnitude has no signed
// form; the application's 32-bit counters come widened with their sign.
char* StrFromInt(int64_t value, int32_t pos) {
    char* dst = ScratchReserve(IntTextRoom, pos);
    if (!dst)
        return ScratchEmptyAt(pos);
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    int32_t len = 0;
    if (negative)
        dst[len++] = '-';
    len += DecimalDigits(magnitude, dst + len);
    return ScratchFinish(dst, len, IntTextRoom);
}

bool StrEqual(const char* a, const char* b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }
