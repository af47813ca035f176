// A downloaded page, split into lines by the file reader and read by the scanner, as the poll
// cycle does. Beyond "no crash": lines hold no line endings, the scanner's count equals its rows,
// and the count is one more than the links left after the removals.
#include <cstring>
#include <string>

#include "app/Scanner.h"
#include "fuzz/FuzzInput.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/text/Str.h"

namespace {
const char UsersMarker[] =
    "\xC7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED\xED\xFB\xE5 "
    "\xEF\xEE\xEB\xFC\xE7\xEE\xE2\xE0\xF2\xE5\xEB\xE8:";
static_assert(sizeof UsersMarker - 1 == 32, "one byte per character");

struct Rows {
    int32_t count = 0;
};
void CountRow(void* context, const char* row) {
    FUZZ_CHECK(row != nullptr);
    ++static_cast<Rows*>(context)->count;
}

// The number of ">" once the users text has been cut out, given its comma and lost its closing
// tags: what the scanner's passes are counted from.
int32_t ExpectedLinks(const char* line) {
    const int32_t pos = ScratchEnd();
    ExtractBetween(line, UsersMarker, "</span></td>", pos);
    StrAppend(",");
    StrVar s = nullptr;
    StrVarFromScratch(&s, pos);
    const char* removals[] = {"</a>", "</b>", "<b>"};
    for (const char* r : removals) {
        StrRemove(s, r, pos);
        StrVarFromScratch(&s, pos);
    }
    const int32_t n = StrCount(s, ">");
    StrVarFree(s);
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrivateHeapCreate();
    ScratchInit();
    FileInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetFile(data, size);
    FUZZ_CHECK(FileOpenRead(0, "page") != 0);
    size_t delivered = 0;
    StrVar total = nullptr;
    while (!FileAtEnd(0)) {
        const int32_t pos = ScratchEnd();
        const char* line = FileReadLine(0, pos);
        const int32_t length = StrLen(line);
        FUZZ_CHECK(std::memchr(line, '\n', length) == nullptr);
        FUZZ_CHECK(std::memchr(line, '\r', length) == nullptr);
        delivered += static_cast<size_t>(length);
        FUZZ_CHECK(delivered <= size);
        StrVar copy = nullptr;
        StrVarFromScratch(&copy, pos);
        TotalFromLine(copy, &total);
        Rows rows;
        int32_t count = -1;
        if (UsersFromLine(copy, CountRow, &rows, &count)) {
            FUZZ_CHECK(count == rows.count);
            FUZZ_CHECK(count == ExpectedLinks(copy) + 1);
        } else {
            FUZZ_CHECK(rows.count == 0);
        }
        StrVarFree(copy);
        FUZZ_CHECK(ScratchEnd() == pos);
    }
    StrVarFree(total);
    FileClose(0);
    return 0;
}
