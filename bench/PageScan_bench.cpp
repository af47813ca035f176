// A whole index page as the poll cycle reads it, and the same page only read line by line, which
// tells the reading from the scanning.
#include <cstdio>
#include <string>

#include "BenchTimer.h"
#include "app/PollLogic.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

// Lines read; -1 when the page cannot be opened.
static int ScanPage(const std::string& path, PageContent* page, long* rows) {
    RowList list{};
    const bool read = PollReadPage(0, path.c_str(), nullptr, &list, page);
    *rows += list.count;
    RowListFree(&list);
    return read ? page->lines : -1;
}

static int ReadPage(const std::string& path) {
    int lines = 0;
    if (!FileOpenRead(0, path.c_str()))
        return -1;
    for (; !FileAtEnd(0); ++lines) {
        const ScratchMark line;
        FileReadLine(0, line.Pos());
    }
    FileClose(0);
    return lines;
}

int main() {
    PrivateHeapCreate();
    ScratchInit();
    FileInit();
    const char* pages[] = {"index_online.htm", "index_nobody.htm", "index_crowd.htm"};
    for (const char* name : pages) {
        std::string path = std::string(FIXTURES_DIR) + "/" + name;
        PageContent page{};
        long rows = 0;
        int lines = ScanPage(path, &page, &rows);
        if (lines < 0) {
            std::printf("%s: cannot open\n", path.c_str());
            return 1;
        }
        double us = BestMicrosecondsPerRun(3, [&] {
            PageContentFree(&page);
            ScanPage(path, &page, &rows);
        });
        double readUs = BestMicrosecondsPerRun(3, [&] { ReadPage(path); });
        std::printf(
            "%-18s %4d lines read, total %-7s: %8.1f us per page scanned, %8.1f us to read "
            "every line\n",
            name, lines, page.total ? page.total : "", us, readUs);
        PageContentFree(&page);
    }
    return 0;
}
