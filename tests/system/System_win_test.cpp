// Files, threads and launching under Wine: what the kernel and the shell make of the toolkit's
// calls.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/system/File.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/Run.h"
#include "toolkit/system/Thread.h"
#include "toolkit/text/Scratch.h"

namespace {

class SystemEnvironment : public ::testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit(), FileInit(), ThreadInit();
        CoInitialize(nullptr);  // as start-up does on the main thread, for the shell
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new SystemEnvironment);

constexpr DWORD WaitLimit = 20000;  // ms; reached only when something is broken

std::string Temp() {
    const std::string dir = TempDirectory(0);
    return ScratchEmptyAt(0), dir;
}
HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD how) {
    return CreateFileA(path.c_str(), access, share, nullptr, how, 0, nullptr);
}

// While we read the page nobody may rewrite or delete it, and a page still being written cannot
// be opened; other readers are welcome.
TEST(FileOpenRead, SharesReadingOnly) {
    const std::string path = Temp() + "file_win_test.htm";
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(FileOpenRead(0, path.c_str()), 0);
    CloseHandle(writer);
    ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
    EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_TRUE(reader != INVALID_HANDLE_VALUE && CloseHandle(reader) &&
                !DeleteFileA(path.c_str()));
    FileClose(0);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "closing lets go of the file";
    EXPECT_EQ(FileOpenRead(0, Temp().c_str()), 0) << "a directory is not a file";
}

// The result has 260 bytes of room: a path that needs more, or that cannot be made long, gives
// "" without spilling past it.
TEST(TempDirectory, ComesInLongFormOrNotAtAll) {
    const std::string longDir = Temp() + "Directory with a long name";
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
    SetEnvironmentVariableA("TMP", nullptr), RemoveDirectoryA(longDir.c_str());
}

// The entries learn nothing from the toolkit but their argument, so they say through these who
// they are (a handle of our own on the thread) and what they got.
std::atomic<HANDLE> lastSelf;
std::atomic<int32_t> seenArgument;
HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // blocked entries run on once it is set

void Meet() {
    lastSelf = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
}
uint32_t Quick(int32_t argument) {
    return seenArgument = argument, Meet(), uint32_t(argument) ^ 0xA5A5A5A5u;
}
uint32_t Blocked(int32_t) { return Meet(), WaitForSingleObject(gate, INFINITE); }
uint32_t Empty(int32_t) { return 0; }

// Starts `entry` as thread `number` and waits until it has said who it is.
HANDLE StartAndMeet(ThreadProc entry, int32_t argument, int32_t number) {
    lastSelf = nullptr;
    EXPECT_EQ(ThreadStart(entry, argument), number);
    for (const DWORD start = GetTickCount(); !lastSelf && GetTickCount() - start < WaitLimit;)
        SwitchToThread();
    return lastSelf.exchange(nullptr);
}

// An ended thread keeps its handle until the next start sweeps it; running ones keep theirs
// until shut-down, which lets go of them without waiting.
TEST(ThreadStart, PassesTheArgumentAndNumbersAndSweepsTheThreads) {
    EXPECT_EQ(ThreadStart(nullptr, 0), 0);
    HANDLE quick = StartAndMeet(Quick, -7, 1);  // a refused start uses no number
    DWORD code = 0;
    ASSERT_TRUE(WaitForSingleObject(quick, WaitLimit) == WAIT_OBJECT_0 &&
                GetExitCodeThread(quick, &code));
    EXPECT_EQ(std::make_tuple(code, seenArgument.load(), ThreadHeldCount()),
              std::make_tuple(uint32_t(-7) ^ 0xA5A5A5A5u, -7, 1));
    HANDLE blocked[] = {StartAndMeet(Blocked, 0, 2), nullptr};
    EXPECT_EQ(ThreadHeldCount(), 1) << "the ended thread's handle is closed";
    blocked[1] = StartAndMeet(Blocked, 0, 3);
    EXPECT_EQ(ThreadHeldCount(), 2);
    ThreadCloseAll();
    EXPECT_EQ(ThreadHeldCount(), 0);
    EXPECT_EQ(WaitForMultipleObjects(2, blocked, FALSE, 0), DWORD(WAIT_TIMEOUT)) << "still running";
    EXPECT_EQ(ThreadStart(Empty, 0), 4) << "numbers are never reused";
    SetEvent(gate);
    for (HANDLE h : {quick, blocked[0], blocked[1]})
        CloseHandle(h);
}

// Enough starts at once that numbering without the lock repeats a number (or breaks the list):
// a few dozen never showed it.
TEST(ThreadStart, NumbersStayUniqueUnderConcurrentStarts) {
    ThreadInit();
    std::vector<int32_t> numbers(800), want(800);
    std::thread starters[8];
    for (int s = 0; s < 8; ++s)
        starters[s] = std::thread([s, &numbers] {
            std::generate_n(&numbers[s * 100], 100, [] { return ThreadStart(Empty, 0); });
        });
    for (std::thread& t : starters)
        t.join();
    std::sort(numbers.begin(), numbers.end()), std::iota(want.begin(), want.end(), 1);
    EXPECT_EQ(numbers, want);
}

// The first start the recorder (tests/recorder_win.cpp) wrote down: command line, folder and
// show mode, tab-separated; empty when nothing started in time.
std::string Recorded(const std::string& out) {
    std::string text;
    for (const DWORD start = GetTickCount();
         text.find('\n') == std::string::npos && GetTickCount() - start < WaitLimit; Sleep(20))
        std::getline(std::ifstream(out), text, '\0');
    return text.substr(0, text.find('\n'));
}

// A program starts in the caller's folder; a document, which is no program, opens with its
// handler in its own folder. Wine looks handlers up in HKEY_CLASSES_ROOT only, so the test's
// own type is registered there.
TEST(RunExternal, StartsProgramsAndOpensDocumentsInTheirFolder) {
    char recorder[MAX_PATH] = {}, here[MAX_PATH] = {};
    GetFullPathNameA(RECORDER_EXE, sizeof recorder, recorder, nullptr);
    GetCurrentDirectoryA(sizeof here, here);
    const std::string id = std::to_string(GetCurrentProcessId()),
                      out = Temp() + "run-" + id + ".txt";
    const std::string folder = Temp() + "run-" + id, document = folder + "\\note.fwrec";
    SetEnvironmentVariableA("RECORDER_OUT", out.c_str());
    EXPECT_EQ(RunExternal("") + RunExternal(nullptr), 0) << "no target starts nothing";
    ASSERT_EQ(RunExternal(recorder), 1);
    EXPECT_EQ(Recorded(out),
              "\"" + std::string(recorder) + "\"\t" + here + "\t" + std::to_string(SW_SHOWNORMAL));
    DeleteFileA(out.c_str());
    CreateDirectoryA(folder.c_str(), nullptr), std::ofstream(document) << "text";
    const std::string handler = "\"" + std::string(recorder) + "\" \"%1\"";
    RegSetValueA(HKEY_CLASSES_ROOT, ".fwrec", REG_SZ, "ForumWatchTest.Recorder", 0);
    RegSetValueA(HKEY_CLASSES_ROOT, "ForumWatchTest.Recorder\\shell\\open\\command", REG_SZ,
                 handler.c_str(), 0);
    EXPECT_EQ(RunExternal(document.c_str()), 1);
    const std::string record = Recorded(out);
    EXPECT_TRUE(record.find(document) != std::string::npos &&
                record.find("\t" + folder + "\t") != std::string::npos)
        << record;
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".fwrec"),
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "ForumWatchTest.Recorder");
    DeleteFileA(document.c_str()), DeleteFileA(out.c_str()), RemoveDirectoryA(folder.c_str());
}

}  // namespace
