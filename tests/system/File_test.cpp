#include "toolkit/system/File.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/text/Scratch.h"

namespace {

using Lines = std::vector<std::string>;

// Test files go to the working directory, which the test runner gives each program.
class FileTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        FileInit();
    }
    void TearDown() override {
        FileCloseAll();
        ScratchEmptyAt(0);
        for (const std::string& path : made)
            std::remove(path.c_str());
    }
    std::string Make(const std::string& content) {
        made.push_back("file_test_" + std::to_string(made.size()) + ".txt");
        std::FILE* f = std::fopen(made.back().c_str(), "wb");
        EXPECT_TRUE(f && std::fwrite(content.data(), 1, content.size(), f) == content.size());
        if (f)
            std::fclose(f);
        return made.back();
    }
    // Lines the way the poll cycle reads them.
    static Lines ReadAll(int32_t number) {
        Lines lines;
        while (!FileAtEnd(number)) {
            const int32_t pos = ScratchEnd();
            lines.emplace_back(FileReadLine(number, pos));
            EXPECT_EQ(ScratchEnd(), pos + static_cast<int32_t>(lines.back().size()));
            ScratchEmptyAt(pos);
        }
        return lines;
    }
    Lines LinesOf(const std::string& content) {
        if (!FileOpenRead(0, Make(content).c_str()))
            return {"(not opened)"};
        Lines lines = ReadAll(0);
        FileClose(0);
        return lines;
    }
    std::vector<std::string> made;
};

}  // namespace

// Endings that straddle a refill of the 4096-byte buffer read the same as anywhere else.
struct RefillCase { size_t before; std::string ending; Lines after; };
TEST_F(FileTest, EndingsAcrossRefillsAndLongLines) {
    const RefillCase cases[] = {
        {4095, "\r\n", {"t"}}, {4094, "\r\n", {"t"}}, {4096, "\r\n", {"t"}},
        {4095, "\n\r", {"", "t"}}, {4095, "\r", {"t"}}, {10000, "\r\n", {"t"}}, {8192, "", {}},
    };
    for (const RefillCase& c : cases) {
        const std::string first(c.before, 'x');
        Lines want = {first};
        want.insert(want.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(LinesOf(first + c.ending + (c.after.empty() ? "" : "t")), want)
            << c.before << " bytes, " << testing::PrintToString(c.ending);
    }
    std::string big(10 * 1024 * 1024, 'q');
    for (size_t i = 0; i < big.size(); i += 997)
        big[i] = static_cast<char>('a' + i % 26);
    const Lines lines = LinesOf(big + "\r\nend");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0] == big) << "10 MB line came back with " << lines[0].size() << " bytes";
}

// The rule, byte by byte over the whole content: CR, LF, CR LF and NUL each end a line (so LF CR
// is two endings), endings are not stored, and no empty line follows the last one.
static Lines SplitReference(const std::string& s) {
    Lines lines;
    for (size_t i = 0; i < s.size();) {
        const size_t end = s.find_first_of(std::string("\r\n\0", 3), i);
        lines.push_back(s.substr(i, end == std::string::npos ? std::string::npos : end - i));
        if (end == std::string::npos)
            break;
        i = end + 1 + (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n');
    }
    return lines;
}

// Against the buffered reader, over generated content that crosses many refills of its buffer.
TEST_F(FileTest, MatchesAReferenceSplitterOnGeneratedContent) {
    EXPECT_EQ(LinesOf(""), Lines{});
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const char alphabet[] = {'a', '\xE0', '\r', '\n', '\0'};  // high bytes are plain bytes
    for (int round = 0; round < 150; ++round) {
        std::string content(next() % 9000, 'a');
        for (char& c : content)
            c = alphabet[next() % (next() % 2 ? 5 : 2)];
        ASSERT_EQ(LinesOf(content), SplitReference(content)) << "round " << round;
    }
}

TEST_F(FileTest, AtEndNeverConsumesAndTheEndStays) {
    ASSERT_NE(FileOpenRead(0, Make("xy\nz").c_str()), 0);
    EXPECT_EQ(FileAtEnd(0) + FileAtEnd(0), 0);
    EXPECT_EQ(ReadAll(0), (Lines{"xy", "z"}));
    EXPECT_STREQ(FileReadLine(0, 0), "");
    EXPECT_EQ(FileAtEnd(0), 1);
}

TEST_F(FileTest, NumbersWithoutAFileDoNothing) {
    const std::string path = Make("a");
    for (int32_t n : {0, 15, 1000, -1, -2, INT32_MIN, INT32_MAX, AutoNumberBase}) {
        EXPECT_EQ(FileAtEnd(n), 0) << n;
        EXPECT_STREQ(FileReadLine(n, 0), "") << n;
        EXPECT_EQ(ScratchEnd(), 0) << n;
        FileClose(n);
    }
    EXPECT_EQ(FileOpenRead(-2, path.c_str()), 0);
    EXPECT_EQ(FileOpenRead(AutoNumberBase, path.c_str()), 0);
    EXPECT_EQ(FileOpenRead(AutoNumber, "no_such_file.txt"), 0);
    EXPECT_EQ(FileOpenRead(0, nullptr), 0);
}

TEST_F(FileTest, ReopeningANumberClosesTheFirstFileEvenOnFailure) {
    const std::string first = Make("one\ntwo\n");
    ASSERT_NE(FileOpenRead(0, first.c_str()), 0);
    EXPECT_STREQ(FileReadLine(0, 0), "one");
    ASSERT_NE(FileOpenRead(0, Make("other\n").c_str()), 0);
    EXPECT_EQ(ReadAll(0), Lines{"other"});
    ASSERT_NE(FileOpenRead(0, first.c_str()), 0);
    EXPECT_EQ(FileOpenRead(0, "no_such_file.txt"), 0);
    EXPECT_EQ(FileAtEnd(0), 0);
    // Had the first file stayed open, Windows would refuse to delete it.
    EXPECT_EQ(std::remove(first.c_str()), 0);
}

TEST_F(FileTest, AutomaticNumbersAndCloseAll) {
    const std::string path = Make("shared\n");
    const auto a = static_cast<int32_t>(FileOpenRead(AutoNumber, path.c_str()));
    const auto b = static_cast<int32_t>(FileOpenRead(AutoNumber, path.c_str()));
    ASSERT_GE(a, AutoNumberBase);
    ASSERT_GE(b, AutoNumberBase);
    EXPECT_NE(a, b);
    ASSERT_NE(FileOpenRead(20, path.c_str()), 0);  // beyond the first 16 slots
    EXPECT_EQ(ReadAll(a), Lines{"shared"});
    FileClose(a);
    EXPECT_EQ(FileAtEnd(b), 0);
    FileCloseAll();
    EXPECT_STREQ(FileReadLine(b, 0), "");
    EXPECT_STREQ(FileReadLine(20, 0), "");
}

#ifndef _WIN32
// The stand-in takes TMPDIR, which lets a test hand it paths of any length.
TEST_F(FileTest, TempDirectoryFitsItsRoomOrIsEmpty) {
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    for (size_t length : {259, 260, 4000}) {
        const std::string dir = "/" + std::string(length - 2, 'd') + "/";
        setenv("TMPDIR", dir.c_str(), 1);
        EXPECT_EQ(std::string(TempDirectory(0)), length < 260 ? dir : "") << length;
        EXPECT_EQ(ScratchEnd(), length < 260 ? static_cast<int32_t>(length) : 0);
    }
    setenv("TMPDIR", "/var/tmp", 1);
    EXPECT_STREQ(TempDirectory(0), "/var/tmp/");
    ScratchEmptyAt(0);
    if (saved)
        setenv("TMPDIR", previous.c_str(), 1);
    else
        unsetenv("TMPDIR");
}

// Linux opens a directory for reading but fails the read: a failed read is the end.
TEST_F(FileTest, FailedReadCountsAsEndOfData) {
    ASSERT_NE(FileOpenRead(0, "."), 0);
    EXPECT_EQ(FileAtEnd(0), 1);
    EXPECT_STREQ(FileReadLine(0, 0), "");
}
#endif
