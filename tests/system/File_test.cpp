#include "toolkit/system/File.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/system/FileSys.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/text/Scratch.h"

namespace {

// Test files live in the working directory, which the test runner gives each program.
class FileTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        FileInit();
    }
    void TearDown() override {
        FileCloseAll();
        for (const std::string& path : made)
            std::remove(path.c_str());
    }

    std::string Make(const std::string& content) {
        std::string path = "file_test_" + std::to_string(made.size()) + ".txt";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path;
        if (f) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        made.push_back(path);
        return path;
    }

    // Every line of the open file, as the poll cycle reads them.
    static std::vector<std::string> ReadAll(int32_t number) {
        std::vector<std::string> lines;
        while (!FileAtEnd(number)) {
            const int32_t pos = ScratchEnd();
            lines.emplace_back(FileReadLine(number, pos));
            EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(lines.back().size()));
            ScratchEmptyAt(pos);
        }
        return lines;
    }

    std::vector<std::string> LinesOf(const std::string& content) {
        if (!FileOpenRead(0, Make(content).c_str()))
            return {"(not opened)"};
        std::vector<std::string> lines = ReadAll(0);
        EXPECT_EQ(FileAtEnd(0), 1);
        FileClose(0);
        return lines;
    }

    std::vector<std::string> made;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(FileTest, SplitsAtEveryLineEnding) {
    const std::string nul(1, '\0');
    struct Case {
        std::string content;
        Lines want;
    };
    const Case cases[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},                  // LF CR is two endings
        {"ab" + nul + "cd", {"ab", "cd"}},            // the zero byte is consumed, not stored
        {"a\r", {"a"}},                               // a final CR
        {"a\n", {"a"}},                               // no empty line after the last ending
        {"a\r\n", {"a"}},
        {"\n", {""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\r" + nul + "b", {"a", "", "b"}},          // the byte after a CR is put back as is
        {"", {}},
        {"\xEF\xBB\xBF" "bom\xE0\xFF", {"\xEF\xBB\xBF" "bom\xE0\xFF"}},  // bytes pass unchanged
    };
    for (const Case& c : cases)
        EXPECT_EQ(LinesOf(c.content), c.want) << testing::PrintToString(c.content);
}

// Endings that straddle a refill of the 4096-byte buffer read the same as anywhere else.
TEST_F(FileTest, EndingsAcrossRefillsAndLongLines) {
    const struct {
        int32_t before;  // bytes of the first line
        const char* ending;
    } cases[] = {
        {4095, "\r\n"}, {4094, "\r\n"}, {4096, "\r\n"}, {4095, "\n\r"}, {4095, "\r"},
        {4096, "\n"},   {10000, "\r\n"}, {8192, ""},
    };
    for (const auto& c : cases) {
        const std::string first(static_cast<size_t>(c.before), 'x');
        const std::string ending = c.ending;
        Lines want = {first};
        if (ending == "\n\r")
            want.push_back("");
        if (!ending.empty())
            want.push_back("tail");
        EXPECT_EQ(LinesOf(first + ending + (ending.empty() ? "" : "tail")), want)
            << c.before << " bytes, ending " << testing::PrintToString(ending);
    }
}

TEST_F(FileTest, TenMegabyteLineIsReturnedWhole) {
    std::string big(10 * 1024 * 1024, 'q');
    for (size_t i = 0; i < big.size(); i += 997)
        big[i] = static_cast<char>('a' + i % 26);
    const Lines lines = LinesOf(big + "\r\nend");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0] == big) << "length " << lines[0].size();
    EXPECT_EQ(lines[1], "end");
}

TEST_F(FileTest, AtEndNeverConsumes) {
    ASSERT_NE(FileOpenRead(0, Make("xy\nz").c_str()), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FileAtEnd(0), 0);
    EXPECT_EQ(std::string(FileReadLine(0, ScratchEnd())), "xy");
    EXPECT_EQ(FileAtEnd(0), 0);
    EXPECT_EQ(std::string(FileReadLine(0, ScratchEnd())), "z");
    EXPECT_EQ(FileAtEnd(0), 1);
    EXPECT_EQ(std::string(FileReadLine(0, ScratchEnd())), "");  // past the end: empty, again
    EXPECT_EQ(FileAtEnd(0), 1);
    ScratchEmptyAt(0);
}

TEST_F(FileTest, NumbersWithoutAFileDoNothing) {
    const int32_t numbers[] = {0, 3, -1, -2, 15, 16, 1000, INT32_MIN, INT32_MAX, AutoNumberBase};
    for (int32_t n : numbers) {
        EXPECT_EQ(FileAtEnd(n), 0) << n;
        EXPECT_EQ(std::string(FileReadLine(n, 0)), "") << n;
        EXPECT_EQ(ScratchEnd(), 0) << n;
        FileClose(n);
    }
    EXPECT_EQ(FileOpenRead(-2, Make("a").c_str()), 0);
    EXPECT_EQ(FileOpenRead(AutoNumberBase, Make("a").c_str()), 0);
    EXPECT_EQ(FileOpenRead(0, nullptr), 0);
}

TEST_F(FileTest, MissingFileFailsAndFreesTheNumber) {
    ASSERT_NE(FileOpenRead(0, Make("first\n").c_str()), 0);
    EXPECT_EQ(FileOpenRead(0, "no_such_file_here.txt"), 0);
    EXPECT_EQ(FileAtEnd(0), 0);  // the earlier file was closed all the same
    EXPECT_EQ(std::string(FileReadLine(0, 0)), "");
    ScratchEmptyAt(0);
    EXPECT_EQ(FileOpenRead(AutoNumber, "no_such_file_here.txt"), 0);
}

TEST_F(FileTest, ReopeningANumberClosesTheFirstFile) {
    const std::string first = Make("one\ntwo\n");
    ASSERT_NE(FileOpenRead(0, first.c_str()), 0);
    EXPECT_EQ(std::string(FileReadLine(0, 0)), "one");
    ASSERT_NE(FileOpenRead(0, Make("other\n").c_str()), 0);
    EXPECT_EQ(ReadAll(0), Lines{"other"});
    // The first file's handle is gone: removing it works even where open files are locked.
    FileClose(0);
    EXPECT_EQ(std::remove(first.c_str()), 0);
}

TEST_F(FileTest, AutomaticNumbersAndCloseAll) {
    const std::string path = Make("shared\n");
    const intptr_t a = FileOpenRead(AutoNumber, path.c_str());
    const intptr_t b = FileOpenRead(AutoNumber, path.c_str());
    ASSERT_GE(a, AutoNumberBase);
    ASSERT_GE(b, AutoNumberBase);
    EXPECT_NE(a, b);
    const intptr_t fixed = FileOpenRead(20, path.c_str());  // beyond the first 16 slots
    ASSERT_NE(fixed, 0);
    EXPECT_EQ(ReadAll(static_cast<int32_t>(a)), Lines{"shared"});
    EXPECT_EQ(FileAtEnd(static_cast<int32_t>(b)), 0);
    FileClose(static_cast<int32_t>(a));
    EXPECT_EQ(FileAtEnd(static_cast<int32_t>(a)), 0);
    FileClose(static_cast<int32_t>(a));  // twice: nothing happens
    FileCloseAll();
    EXPECT_EQ(FileAtEnd(static_cast<int32_t>(b)), 0);
    EXPECT_EQ(FileAtEnd(20), 0);
}

TEST_F(FileTest, TempDirectoryEndsWithSeparator) {
    const int32_t pos = ScratchEnd();
    const std::string dir = TempDirectory(pos);
    ASSERT_FALSE(dir.empty());
    EXPECT_LT(dir.size(), 260u);
    EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(dir.size()));
#ifdef _WIN32
    EXPECT_EQ(dir.back(), '\\');
#else
    EXPECT_EQ(dir.back(), '/');
#endif
    ScratchEmptyAt(pos);
}

#ifndef _WIN32
// The stand-in takes TMPDIR, which lets a test hand it paths of any length.
TEST_F(FileTest, TempDirectoryTooLongForItsRoomIsEmpty) {
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    const struct {
        size_t length;
        bool fits;
    } cases[] = {{258, true}, {259, true}, {260, false}, {4000, false}};
    for (const auto& c : cases) {
        std::string dir = "/" + std::string(c.length - 2, 'd') + "/";
        setenv("TMPDIR", dir.c_str(), 1);
        const int32_t pos = ScratchEnd();
        EXPECT_EQ(std::string(TempDirectory(pos)), c.fits ? dir : "") << c.length;
        EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(c.fits ? dir.size() : 0));
        ScratchEmptyAt(pos);
    }
    setenv("TMPDIR", "/var/tmp", 1);  // the separator is added when missing
    EXPECT_EQ(std::string(TempDirectory(0)), "/var/tmp/");
    ScratchEmptyAt(0);
    if (saved)
        setenv("TMPDIR", previous.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// Reading a directory fails on Linux although opening it succeeds: a failed read is the end.
TEST_F(FileTest, FailedReadCountsAsEndOfData) {
    ASSERT_NE(FileOpenRead(0, "."), 0);
    EXPECT_EQ(FileAtEnd(0), 1);
    EXPECT_EQ(std::string(FileReadLine(0, 0)), "");
    ScratchEmptyAt(0);
}
#endif
