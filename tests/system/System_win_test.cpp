// Files and threads under Wine: what the kernel makes of the toolkit's calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Scratch.h"

namespace {

class SystemEnvironment : public ::testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        FileInit();
        ThreadInit();
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SystemEnvironment);

constexpr DWORD WaitLimit = 20000;  // ms; reached only when something is broken

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD how) {
    return CreateFileA(path.c_str(), access, share, nullptr, how, 0, nullptr);
}

// While we read the page nobody may rewrite or delete it; other readers are welcome.
TEST(FileOpenRead, SharesReadingOnly) {
    const std::string path = std::string(TempDirectory(0)) + "file_win_test.htm";
    CloseHandle(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
    ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
    EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_TRUE(reader != INVALID_HANDLE_VALUE && CloseHandle(reader) &&
                !DeleteFileA(path.c_str()));
    FileClose(0);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "closing lets go of the file";
    EXPECT_EQ(FileOpenRead(0, path.c_str()), 0) << "no page";
}

// The result has 260 bytes of room: a path that needs more, or that cannot be made long, gives
// "" without spilling past it.
TEST(TempDirectory, ComesInLongFormOrNotAtAll) {
    const std::string longDir = std::string(TempDirectory(0)) + "Directory with a long name";
    char shortDir[MAX_PATH] = {};
    CreateDirectoryA(longDir.c_str(), nullptr);
    ASSERT_TRUE(GetShortPathNameA(longDir.c_str(), shortDir, sizeof shortDir) &&
                longDir != shortDir);
    for (const auto& c : {std::make_pair(std::string(shortDir), longDir + "\\"),
                          std::make_pair("C:\\" + std::string(300, 'p'), std::string()),
                          std::make_pair(std::string("C:\\absent"), std::string())}) {
        SetEnvironmentVariableA("TMP", c.first.c_str());
        char* area = std::fill_n(ScratchReserve(1024, 0), 1024, 'Z') - 1024;
        EXPECT_TRUE(!lstrcmpiA(TempDirectory(0), c.second.c_str()) &&
                    std::count(area + 260, area + 1024, 'Z') == 764)
            << c.first;
    }
    SetEnvironmentVariableA("TMP", nullptr);
    RemoveDirectoryA(longDir.c_str());
}

// The toolkit hands out no thread handles, so the entry says through this who it is: a handle
// of our own on the thread.
std::atomic<HANDLE> lastSelf;
HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);

uint32_t Entry(int32_t waits) {
    lastSelf = OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
    return waits ? WaitForSingleObject(gate, INFINITE) : 0;
}
uint32_t Empty(int32_t) { return 0; }

// Starts `Entry` and waits until it has said who it is.
HANDLE StartAndMeet(int32_t waits) {
    lastSelf = nullptr;
    EXPECT_NE(ThreadStart(Entry, waits), 0);
    for (const DWORD start = GetTickCount(); !lastSelf && GetTickCount() - start < WaitLimit;)
        SwitchToThread();
    return lastSelf.exchange(nullptr);
}

// The watcher starts a thread for every poll: an ended one keeps its handle only until the next
// start sweeps it. Shut-down lets go of running ones without waiting for them or stopping them.
TEST(ThreadStart, PassesTheArgumentSweepsEndedThreadsAndLetsRunningOnesBe) {
    HANDLE quick = StartAndMeet(0);
    ASSERT_EQ(WaitForSingleObject(quick, WaitLimit), WAIT_OBJECT_0);
    HANDLE blocked = StartAndMeet(1);
    EXPECT_EQ(ThreadHeldCount(), 1) << "the ended thread's handle is closed";
    ThreadCloseAll();
    EXPECT_EQ(WaitForSingleObject(blocked, 200), DWORD(WAIT_TIMEOUT)) << "told to, it waits";
    SetEvent(gate);
    CloseHandle(quick);
    CloseHandle(blocked);
}

// Enough starts at once that numbering without the lock repeats a number (or breaks the list):
// a few dozen never showed it.
TEST(ThreadStart, NumbersStayUniqueUnderConcurrentStarts) {
    std::vector<int32_t> numbers(800);
    std::thread starters[8];
    for (int s = 0; s < 8; ++s)
        starters[s] = std::thread([s, &numbers] {
            std::generate_n(&numbers[s * 100], 100, [] { return ThreadStart(Empty, 0); });
        });
    for (std::thread& t : starters)
        t.join();
    EXPECT_EQ(std::set<int32_t>(numbers.begin(), numbers.end()).size(), numbers.size());
}

}  // namespace
