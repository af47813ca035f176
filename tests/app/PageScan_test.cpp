// The scanner over whole index pages, read the way the poll cycle reads them: one line at a
// time into the scratch area, both rules on every line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Scanner.h"
#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/text/Str.h"

namespace {
struct PageResult {
    int32_t lines;
    int32_t totalLines;
    int32_t usersLines;
    std::string total;
    int32_t count;
    std::vector<std::string> rows;
};

void Collect(void* context, const char* row) {
    static_cast<PageResult*>(context)->rows.push_back(row);
}

PageResult ScanPage(const std::string& name) {
    PageResult result{};
    std::string path = std::string(FIXTURES_DIR) + "/" + name;
    EXPECT_NE(FileOpenRead(0, path.c_str()), 0) << path;
    StrVar total = nullptr;
    while (!FileAtEnd(0)) {
        int32_t pos = ScratchEnd();
        FileReadLine(0, pos);
        int32_t offset = ScratchOffsetOf(ScratchPass(pos));
        ++result.lines;
        if (TotalFromLine(ScratchPointerAt(offset), &total))
            ++result.totalLines;
        // The first rule may have moved the area: the line is found again by its offset.
        int32_t count = 0;
        if (UsersFromLine(ScratchPointerAt(offset), Collect, &result, &count)) {
            ++result.usersLines;
            result.count = count;
        }
        ScratchRewind(pos);
    }
    FileClose(0);
    result.total = total ? total : "(none)";
    StrVarFree(total);
    return result;
}

std::vector<std::string> Linked(const std::vector<std::string>& names, int surplus) {
    std::vector<std::string> rows;
    for (const std::string& n : names)
        rows.push_back(" " + n);
    rows.insert(rows.end(), static_cast<size_t>(surplus), "");
    return rows;
}
}  // namespace

TEST(PageScan, FindsTotalAndRowsOnFixturePages) {
    ASSERT_TRUE(PrivateHeapCreate());
    ScratchInit();
    FileInit();
    std::vector<std::string> crowd{"admin"};
    for (int i = 1; i < 200; ++i)
        crowd.push_back("member" + std::string(i < 10 ? "00" : i < 100 ? "0" : "") + std::to_string(i));
    const struct {
        const char* file;
        const char* total;
        std::vector<std::string> rows;
    } cases[] = {
        // A hidden user keeps its italics and its two tags add two empty rows; names stay
        // in Windows-1251.
        {"index_online.htm", "4176",
         Linked({"admin", "Moderator", "vasya", "<i>Kot_Matroskin</i>", "petrovich",
                 "\xD1\xE5\xF0\xE3\xE5\xE9"},  // "Сергей"
                3)},
        {"index_nobody.htm", "12345", {" \xCD\xE5\xF2"}},  // DOS line endings; the word for "nobody"
        {"index_crowd.htm", "987654", Linked(crowd, 1)},
    };
    for (const auto& c : cases) {
        PageResult r = ScanPage(c.file);
        EXPECT_GT(r.lines, 300) << c.file;
        EXPECT_EQ(r.totalLines, 1) << c.file;
        EXPECT_EQ(r.usersLines, 1) << c.file;
        EXPECT_EQ(r.total, c.total) << c.file;
        EXPECT_EQ(r.rows, c.rows) << c.file;
        EXPECT_EQ(r.count, static_cast<int32_t>(c.rows.size())) << c.file;
        EXPECT_EQ(ScratchEnd(), 0) << c.file;
    }
    FileCloseAll();
}
