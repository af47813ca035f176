// A downloaded page, written to a file, split into lines by the file reader and read by the
// scanner, as the poll cycle does. Beyond "no crash": the lines are those of a plain splitter,
// the scanner leaves the line it was handed in the area as it was and counts the rows it hands
// out, and the cycle's page reading stops at the users line with the last total before it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/PollLogic.h"
#include "fuzz/FuzzInput.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"

namespace {
std::string pagePath;

void CountRow(void* rows, const char* row) { *static_cast<int32_t*>(rows) += row != nullptr; }

// CR, LF, CR LF and NUL each end a line (so LF CR is two endings); endings are not kept and no
// empty line follows the last one.
std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < s.size();) {
        const size_t end = std::min(s.find_first_of(std::string("\r\n\0", 3), i), s.size());
        lines.push_back(s.substr(i, end - i));
        i = end + 1 + (end + 1 < s.size() && s[end] == '\r' && s[end + 1] == '\n');
    }
    return lines;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    PrivateHeapCreate();
    FileInit();
    // Memory-backed where the system has it, so each input costs no disk write.
    const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    pagePath = std::string(dir ? dir : "/tmp") + "/page_fuzz." + std::to_string(getpid());
    std::atexit([] { unlink(pagePath.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(pagePath.c_str(), "wb");
    FUZZ_CHECK(f && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0);
    FUZZ_CHECK(FileOpenRead(0, pagePath.c_str()) != 0);
    // What the page reading should find, from the rules line by line.
    StrVar total = nullptr;
    std::string lastTotal;
    int32_t lines = 0, changes = 0, userCount = -1;
    bool totalLine = false;
    for (const std::string& want : Split(std::string(reinterpret_cast<const char*>(data), size))) {
        FUZZ_CHECK(!FileAtEnd(0));
        const ScratchMark line;  // not passed: the rules must build past its terminator
        FUZZ_CHECK(FileReadLine(0, line.Pos()) == want);
        if (TotalFromLine(ScratchAt(line.Pos()), &total) && userCount < 0) {
            changes += PollTotalAlerts(lastTotal.c_str(), total) ? 1 : 0;
            lastTotal = total ? total : "";
            totalLine = true;
        }
        int32_t rows = 0, count = -1;
        const bool users = UsersFromLine(ScratchAt(line.Pos()), CountRow, &rows, &count);
        FUZZ_CHECK(users ? count == rows : rows == 0);
        lines += userCount < 0;
        userCount = users && userCount < 0 ? count : userCount;
        FUZZ_CHECK(ScratchAt(line.Pos()) == want);
        FUZZ_CHECK(ScratchEnd() == line.Pos() + static_cast<int32_t>(want.size()));
    }
    FUZZ_CHECK(FileAtEnd(0) && !*FileReadLine(0, ScratchEnd()));  // past the end, reads are empty
    StrVarFree(total);
    FileClose(0);

    RowList rows{};
    PageContent page{};
    const int32_t end = ScratchEnd();
    FUZZ_CHECK(PollReadPage(0, pagePath.c_str(), nullptr, &rows, &page));
    FUZZ_CHECK(page.lines == lines && page.totalLine == totalLine && page.totalChanges == changes);
    FUZZ_CHECK(lastTotal == (page.total ? page.total : ""));
    FUZZ_CHECK(page.usersLine == (userCount >= 0) && rows.count == (page.usersLine ? userCount : 0));
    FUZZ_CHECK(ScratchEnd() == end);
    PageContentFree(&page);
    RowListFree(&rows);
    return 0;
}
