#include "toolkit/system/File.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/text/Scratch.h"

// In the working directory, which the test runner gives each program.
static const char* Make(const char* path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// A line of megabytes grows its reservation by doubling (step by step it took minutes). Its CR
// ends one bufferful and its LF starts the next: the two still end one line.
TEST(File, LongLine) {
    ASSERT_TRUE(PrivateHeapCreate());
    FileInit();
    std::string big(10 * 1024 * 1024 - 1, 'q');
    for (size_t i = 0; i < big.size(); i += 997)
        big[i] = static_cast<char>('a' + i % 26);
    ASSERT_NE(FileOpenRead(0, Make("long.txt", big + "\r\nnext" + '\0' + "last")), 0);
    EXPECT_TRUE(FileReadLine(0, 0) == big);
    EXPECT_STREQ(FileReadLine(0, 0), "next");
    EXPECT_STREQ(FileReadLine(0, 0), "last");
    EXPECT_TRUE(FileAtEnd(0));
    FileClose(0);
    std::remove("long.txt");
}

// Numbers without a file read nothing; opening under a number in use closes the file there
// first, even when the new one fails; closing all closes chosen numbers too.
TEST(File, NumbersOfFiles) {
    ASSERT_TRUE(PrivateHeapCreate());
    FileInit();
    EXPECT_EQ(FileAtEnd(0), 0);  // no file under the number yet
    EXPECT_STREQ(FileReadLine(0, 0), "");
    FileClose(0);
    EXPECT_EQ(FileOpenRead(AutoNumber, "no_such_file.txt"), 0);
    ASSERT_NE(FileOpenRead(0, Make("first.txt", "one\ntwo\n")), 0);
    EXPECT_STREQ(FileReadLine(0, 0), "one");
    ASSERT_NE(FileOpenRead(0, Make("other.txt", "other\n")), 0);
    EXPECT_STREQ(FileReadLine(0, 0), "other");
    ASSERT_NE(FileOpenRead(0, "first.txt"), 0);
    EXPECT_EQ(FileOpenRead(0, nullptr), 0);
    EXPECT_EQ(FileAtEnd(0), 0);
    EXPECT_EQ(std::remove("first.txt"), 0);  // Windows refuses to delete a file still open
    const auto a = static_cast<int32_t>(FileOpenRead(AutoNumber, "other.txt"));
    EXPECT_STREQ(FileReadLine(a, 0), "other");
    FileCloseAll();
    EXPECT_EQ(FileAtEnd(a), 0);  // open, it would be at its end
    std::remove("other.txt");
}

#ifndef _WIN32
// A path that would not fit its room is no folder at all, not a shorter one. The stand-in takes
// TMPDIR, so it can be handed paths of any length.
TEST(File, TempDirectoryFitsItsRoomOrIsEmpty) {
    for (size_t length : {259, 260}) {
        const std::string dir = "/" + std::string(length - 2, 'd') + "/";
        setenv("TMPDIR", dir.c_str(), 1);
        EXPECT_EQ(TempDirectory(0), length < 260 ? dir : "") << length;
    }
    unsetenv("TMPDIR");
}
#endif
