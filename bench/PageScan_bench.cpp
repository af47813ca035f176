// A whole index page as the poll cycle handles it: every line read into the scratch area and
// offered to both scanner rules.
#include <cstdio>
#include <string>

#include "BenchTimer.h"
#include "app/Scanner.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"

static void CountRow(void* context, const char*) { ++*static_cast<long*>(context); }

// total null: the lines are only read, which separates the reading from the scanning.
static int ScanPage(const std::string& path, StrVar* total, long* rows) {
    int lines = 0;
    if (!FileOpenRead(0, path.c_str()))
        return -1;
    while (!FileAtEnd(0)) {
        int32_t pos = ScratchEnd();
        FileReadLine(0, pos);
        int32_t offset = ScratchOffsetOf(ScratchPass(pos));
        int32_t count = 0;
        if (total) {
            TotalFromLine(ScratchPointerAt(offset), total);
            UsersFromLine(ScratchPointerAt(offset), CountRow, rows, &count);
        }
        ScratchRewind(pos);
        ++lines;
    }
    FileClose(0);
    return lines;
}

int main() {
    PrivateHeapCreate();
    ScratchInit();
    FileInit();
    const char* pages[] = {"index_online.htm", "index_nobody.htm", "index_crowd.htm"};
    for (const char* page : pages) {
        std::string path = std::string(FIXTURES_DIR) + "/" + page;
        StrVar total = nullptr;
        long rows = 0;
        int lines = ScanPage(path, &total, &rows);
        if (lines < 0) {
            std::printf("%s: cannot open\n", path.c_str());
            return 1;
        }
        double us = BestMicrosecondsPerRun(3, [&] { ScanPage(path, &total, &rows); });
        double readUs = BestMicrosecondsPerRun(3, [&] { ScanPage(path, nullptr, &rows); });
        std::printf(
            "%-18s %4d lines, total %-7s: %8.1f us per page read and scanned, %8.1f us "
            "of it reading\n",
            page, lines, total ? total : "", us, readUs);
        StrVarFree(total);
    }
    return 0;
}
