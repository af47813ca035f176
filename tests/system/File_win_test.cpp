#include "toolkit/system/File.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"

namespace {

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

class FileWinTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        FileInit();
    }
    void SetUp() override {
        char value[1024];
        const DWORD n = GetEnvironmentVariableA("TMP", value, sizeof value);
        savedTmp = n > 0 && n < sizeof value ? value : "";
    }
    void TearDown() override {
        FileCloseAll();
        SetEnvironmentVariableA("TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
    }
    static std::string Temp() {
        const std::string dir = TempDirectory(0);
        ScratchEmptyAt(0);
        return dir;
    }
    std::string savedTmp;
};

}  // namespace

// While we read the page nobody may rewrite or delete it, and a page still being written
// cannot be opened; other readers are welcome.
TEST_F(FileWinTest, SharesReadingOnly) {
    const std::string path = Temp() + "file_win_test.htm";
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(FileOpenRead(0, path.c_str()), 0);
    CloseHandle(writer);

    ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
    EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);

    FileClose(0);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "closing must let go of the file";
    EXPECT_EQ(FileOpenRead(0, Temp().c_str()), 0) << "a directory is not a file";
}

TEST_F(FileWinTest, TempDirectoryComesBackInLongForm) {
    const std::string longDir = Temp() + "Directory with a long name";
    CreateDirectoryA(longDir.c_str(), nullptr);
    char shortDir[MAX_PATH];
    const DWORD n = GetShortPathNameA(longDir.c_str(), shortDir, sizeof shortDir);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, sizeof shortDir);
    if (lstrcmpiA(shortDir, longDir.c_str()) != 0) {
        SetEnvironmentVariableA("TMP", shortDir);
        EXPECT_EQ(lstrcmpiA(Temp().c_str(), (longDir + "\\").c_str()), 0) << shortDir;
    }
    RemoveDirectoryA(longDir.c_str());
}

// The result has 260 bytes of room; a path that needs more must not spill past it.
TEST_F(FileWinTest, TempDirectoryThatDoesNotFitIsEmpty) {
    for (const std::string& tmp : {"C:\\" + std::string(300, 'p'), std::string("C:\\absent")}) {
        SetEnvironmentVariableA("TMP", tmp.c_str());
        constexpr int32_t Span = 1024;
        char* area = ScratchReserve(Span, 0);
        ASSERT_NE(area, nullptr);
        memset(area, 'Z', Span);
        EXPECT_STREQ(TempDirectory(0), "") << tmp;
        EXPECT_EQ(ScratchEnd(), 0);
        for (int32_t i = 260; i < Span; ++i)
            ASSERT_EQ(area[i], 'Z') << "written at " << i << " for " << tmp;
    }
}
