// Files, threads and launching under Wine: what the kernel and the shell do with the toolkit's
// calls.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
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
        ScratchInit();
        FileInit();
        CoInitialize(nullptr);  // as start-up does on the main thread, for the shell
    }
};
::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new SystemEnvironment);

constexpr DWORD WaitLimit = 20000;  // ms; reached only when something is broken

std::string Temp() {
    const std::string dir = TempDirectory(0);
    ScratchEmptyAt(0);
    return dir;
}
HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, 0, nullptr);
}

// While we read the page nobody may rewrite or delete it, and a page still being written cannot
// be opened; other readers are welcome.
TEST(FileOpenRead, SharesReadingOnly) {
    const std::string path = Temp() + "file_win_test.htm";
    HANDLE writer = Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(FileOpenRead(0, path.c_str()), 0);
    CloseHandle(writer);
    ASSERT_NE(FileOpenRead(0, path.c_str()), 0);
    EXPECT_EQ(Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    FileClose(0);
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "closing lets go of the file";
    EXPECT_EQ(FileOpenRead(0, Temp().c_str()), 0) << "a directory is not a file";
}

// The result has 260 bytes of room: a path that needs more, or that cannot be made long, gives
// "" without spilling past it.
TEST(TempDirectory, ComesInLongFormOrNotAtAll) {
    const std::string longDir = Temp() + "Directory with a long name";
    CreateDirectoryA(longDir.c_str(), nullptr);
    char shortDir[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(longDir.c_str(), shortDir, sizeof shortDir), 0u);
    ASSERT_STRNE(shortDir, longDir.c_str()) << "Wine gives long names a short form";
    struct Case { std::string tmp, want; };
    for (const Case& c : {Case{shortDir, longDir + "\\"}, Case{"C:\\" + std::string(300, 'p'), ""},
                          Case{"C:\\absent", ""}}) {
        SetEnvironmentVariableA("TMP", c.tmp.c_str());
        char* area = ScratchReserve(1024, 0);
        std::fill(area, area + 1024, 'Z');
        EXPECT_STRCASEEQ(TempDirectory(0), c.want.c_str()) << c.tmp;
        EXPECT_EQ(std::count(area + 260, area + 1024, 'Z'), 1024 - 260) << c.tmp;
    }
    SetEnvironmentVariableA("TMP", nullptr);
    RemoveDirectoryA(longDir.c_str());
}

// The entries learn nothing from the toolkit but their argument, so they report through these.
std::atomic<int32_t> seenArgument;
std::atomic<HANDLE> lastSelf;  // a handle of our own on the thread that ran last
HANDLE gate;                   // manual-reset: blocked entries run on once it is set

void Meet() { lastSelf = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()); }
uint32_t Quick(int32_t argument) { return seenArgument = argument, Meet(), uint32_t(argument) ^ 0xA5A5A5A5u; }
uint32_t Blocked(int32_t) { return Meet(), WaitForSingleObject(gate, WaitLimit); }
uint32_t Empty(int32_t) { return 0; }

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ThreadInit();
        gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        SetEvent(gate);
        for (HANDLE self : selves) WaitForSingleObject(self, WaitLimit), CloseHandle(self);
        ThreadCloseAll();
        CloseHandle(gate);
    }
    // Starts `entry` and waits until it has said who it is.
    int32_t StartAndMeet(ThreadProc entry, int32_t argument) {
        lastSelf = nullptr;
        const int32_t number = ThreadStart(entry, argument);
        for (const DWORD start = GetTickCount(); !lastSelf && GetTickCount() - start < WaitLimit;) SwitchToThread();
        selves.push_back(lastSelf.exchange(nullptr));
        return number;
    }
    std::vector<HANDLE> selves;
};

TEST_F(ThreadTest, PassesTheArgumentAndEndsWithTheEntrysResult) {
    EXPECT_EQ(ThreadStart(nullptr, 0), 0);
    EXPECT_EQ(StartAndMeet(Quick, -7), 1) << "a refused start uses no number";
    DWORD code = 0;
    ASSERT_EQ(WaitForSingleObject(selves[0], WaitLimit), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(selves[0], &code));
    EXPECT_EQ(code, uint32_t(-7) ^ 0xA5A5A5A5u);
    EXPECT_EQ(seenArgument, -7);
}

// An ended thread keeps its handle until the next start sweeps it; a running one keeps its own.
TEST_F(ThreadTest, ANewStartClosesOnlyEndedThreads) {
    StartAndMeet(Quick, 0);
    ASSERT_EQ(WaitForSingleObject(selves[0], WaitLimit), WAIT_OBJECT_0);
    EXPECT_EQ(ThreadHeldCount(), 1);
    EXPECT_EQ(StartAndMeet(Blocked, 0), 2);
    EXPECT_EQ(ThreadHeldCount(), 1);
    EXPECT_EQ(StartAndMeet(Blocked, 0), 3);
    EXPECT_EQ(ThreadHeldCount(), 2);
}

TEST_F(ThreadTest, CloseAllLetsGoWithoutWaitingAndNumbersGoOn) {
    for (int i = 0; i < 3; ++i) StartAndMeet(Blocked, 0);
    ThreadCloseAll();
    EXPECT_EQ(ThreadHeldCount(), 0);
    for (HANDLE self : selves) EXPECT_EQ(WaitForSingleObject(self, 0), DWORD(WAIT_TIMEOUT)) << "still running";
    EXPECT_EQ(ThreadStart(Empty, 0), 4);
}

TEST_F(ThreadTest, NumbersStayUniqueUnderConcurrentStarts) {
    std::vector<int32_t> numbers(100);
    std::vector<std::thread> starters;
    for (int s = 0; s < 4; ++s)
        starters.emplace_back([s, &numbers] {
            for (int i = 0; i < 25; ++i) numbers[s * 25 + i] = ThreadStart(Empty, 0);
        });
    for (std::thread& t : starters) t.join();
    std::sort(numbers.begin(), numbers.end());
    for (int i = 0; i < 100; ++i) ASSERT_EQ(numbers[i], i + 1);
}

// The recorder stands in for the program and the document handler: each start appends its
// command line, folder and show mode, tab-separated, to the file named by RECORDER_OUT.
class RunExternalTest : public ::testing::Test {
protected:
    void SetUp() override {
        char path[MAX_PATH] = {};
        GetFullPathNameA(RECORDER_EXE, sizeof path, path, nullptr);
        recorder = path;
        out = Temp() + "run-record-" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(out.c_str());
        SetEnvironmentVariableA("RECORDER_OUT", out.c_str());
    }
    void TearDown() override { DeleteFileA(out.c_str()); }
    // The first start's fields; none when nothing started within the wait limit.
    std::vector<std::string> Record() {
        std::string line;
        for (const DWORD start = GetTickCount(); GetTickCount() - start < WaitLimit; Sleep(20)) {
            std::ifstream file(out);
            if (std::getline(file, line) && !file.eof()) break;  // a whole line, ended
        }
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        return fields;
    }
    std::string recorder, out;
};

TEST_F(RunExternalTest, StartsAProgramQuotedShownNormallyInTheCallersFolder) {
    EXPECT_EQ(RunExternal("") + RunExternal(nullptr), 0) << "no target starts nothing";
    ASSERT_EQ(RunExternal(recorder.c_str()), 1);
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    EXPECT_EQ(Record(), (std::vector<std::string>{"\"" + recorder + "\"", folder, std::to_string(SW_SHOWNORMAL)}));
}

// A document is no program: the shell opens it with its handler, in the document's folder.
// Wine looks handlers up in HKEY_CLASSES_ROOT only, so the test's own type is set there.
TEST_F(RunExternalTest, OpensADocumentWithItsHandlerInItsOwnFolder) {
    const std::string folder = Temp() + "run-docs-" + std::to_string(GetCurrentProcessId());
    const std::string document = folder + "\\note.fwrec", handler = "\"" + recorder + "\" \"%1\"";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream(document) << "text";
    RegSetValueA(HKEY_CLASSES_ROOT, ".fwrec", REG_SZ, "ForumWatchTest.Recorder", 0);
    RegSetValueA(HKEY_CLASSES_ROOT, "ForumWatchTest.Recorder\\shell\\open\\command", REG_SZ, handler.c_str(), 0);
    const int32_t started = RunExternal(document.c_str());
    const std::vector<std::string> record = Record();
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".fwrec");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "ForumWatchTest.Recorder");
    DeleteFileA(document.c_str());
    RemoveDirectoryA(folder.c_str());
    ASSERT_EQ(started, 1);
    ASSERT_EQ(record.size(), 3u);
    EXPECT_NE(record[0].find(document), std::string::npos) << record[0];
    EXPECT_EQ(record[1], folder);
}

}  // namespace
