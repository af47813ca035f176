#include "toolkit/system/File.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

namespace {

class FileWinTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        FileInit();
    }
    void SetUp() override {
        char value[MAX_PATH * 4];
        const DWORD n = GetEnvironmentVariableA("TMP", value, sizeof value);
        hadTmp = n > 0 && n < sizeof value;
        savedTmp = hadTmp ? value : "";
    }
    void TearDown() override {
        FileCloseAll();
        SetEnvironmentVariableA("TMP", hadTmp ? savedTmp.c_str() : nullptr);
    }

    static std::string Temp() {
        const std::string dir = TempDirectory(0);
        ScratchEmptyAt(0);
        return dir;
    }

    static std::string MakeFile(const char* name, const char* content) {
        const std::string path = Temp() + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
        DWORD written = 0;
        WriteFile(h, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(h);
        return path;
    }

    static HANDLE Open(const std::string& path, DWORD access, DWORD share) {
        return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    bool hadTmp = false;
    std::string savedTmp;
};

}  // namespace

// While we read the page, nobody may rewrite or delete it, but others may read it too.
TEST_F(FileWinTest, OpenFileSharesReadingOnly) {
    const std::string path = MakeFile("file_win_test_share.htm", "page\r\n");
    ASSERT_NE(FileOpenRead(0, path.c_str()), 0);

    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA(path.c_str()));

    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);

    FileClose(0);
    writer = Open(path, GENERIC_WRITE, 0);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE) << "closing must release the file";
    CloseHandle(writer);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(FileWinTest, FileBeingWrittenCannotBeOpened) {
    const std::string path = MakeFile("file_win_test_busy.htm", "half a page");
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileOpenRead(0, path.c_str()), 0);
    EXPECT_EQ(FileAtEnd(0), 0);
    CloseHandle(writer);

    const intptr_t handle = FileOpenRead(0, path.c_str());
    EXPECT_NE(handle, 0);
    EXPECT_EQ(GetFileType(reinterpret_cast<HANDLE>(handle)), static_cast<DWORD>(FILE_TYPE_DISK));
    FileClose(0);
    DeleteFileA(path.c_str());
}

TEST_F(FileWinTest, DirectoryIsNotAFile) {
    EXPECT_EQ(FileOpenRead(0, Temp().c_str()), 0);
}

TEST_F(FileWinTest, TempDirectoryComesBackInLongForm) {
    const std::string base = Temp();
    ASSERT_FALSE(base.empty());
    ASSERT_EQ(base.back(), '\\');
    const std::string longDir = base + "Directory with a long name";
    CreateDirectoryA(longDir.c_str(), nullptr);
    char shortDir[MAX_PATH];
    const DWORD n = GetShortPathNameA(longDir.c_str(), shortDir, sizeof shortDir);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, sizeof shortDir);
    if (lstrcmpiA(shortDir, longDir.c_str()) == 0) {
        RemoveDirectoryA(longDir.c_str());
        GTEST_SKIP() << "this file system keeps no short names";
    }
    SetEnvironmentVariableA("TMP", shortDir);
    const std::string dir = Temp();
    EXPECT_EQ(lstrcmpiA(dir.c_str(), (longDir + "\\").c_str()), 0) << shortDir << " gave " << dir;
    RemoveDirectoryA(longDir.c_str());
}

// The result has 260 bytes of room; a path that needs more must not spill past it.
TEST_F(FileWinTest, TempDirectoryThatDoesNotFitIsEmpty) {
    const std::string tooLong = "C:\\" + std::string(300, 'p');
    const std::string missing = "C:\\no such directory here";
    for (const std::string& tmp : {tooLong, missing}) {
        SetEnvironmentVariableA("TMP", tmp.c_str());
        constexpr int32_t Span = 1024;
        const int32_t pos = ScratchEnd();
        char* area = ScratchReserve(Span, pos);
        ASSERT_NE(area, nullptr);
        memset(area, 'Z', Span);
        ScratchRelease(Span);
        EXPECT_STREQ(TempDirectory(pos), "") << tmp.size() << " bytes";
        EXPECT_EQ(ScratchEnd(), pos);
        area = ScratchPointerAt(ScratchOffsetOf(area));
        for (int32_t i = 260; i < Span; ++i)
            ASSERT_EQ(area[i], 'Z') << "written at " << i << " for " << tmp.size() << " bytes";
    }
}
