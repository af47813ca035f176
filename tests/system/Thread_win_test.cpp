#include "toolkit/system/Thread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "toolkit/system/Heap.h"

namespace {

constexpr DWORD WaitLimit = 10000;  // ms; only ever reached when something is broken

// The entries learn nothing from the toolkit but their argument, so they report through these.
std::atomic<int32_t> seenArgument;
HANDLE gate;                         // manual-reset: blocked entries run on once it is set
std::atomic<HANDLE> lastSelf;        // a handle of our own on the thread that ran last

HANDLE OpenSelf() {
    return OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
}

uint32_t Quick(int32_t argument) {
    seenArgument = argument;
    lastSelf = OpenSelf();
    return static_cast<uint32_t>(argument) ^ 0xA5A5A5A5u;
}

uint32_t Blocked(int32_t) {
    lastSelf = OpenSelf();
    WaitForSingleObject(gate, WaitLimit);
    return 0;
}

uint32_t Empty(int32_t) { return 0; }

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ThreadInit();
        gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        SetEvent(gate);
        for (HANDLE self : selves) {
            WaitForSingleObject(self, WaitLimit);
            CloseHandle(self);
        }
        ThreadCloseAll();
        CloseHandle(gate);
        PrivateHeapDestroy();
    }
    // Starts `entry` and waits until it has told us who it is; its handle goes to `self`.
    int32_t StartAndMeet(ThreadProc entry, int32_t argument, HANDLE* self = nullptr) {
        lastSelf = nullptr;
        const int32_t number = ThreadStart(entry, argument);
        const DWORD start = GetTickCount();
        while (!lastSelf && number && GetTickCount() - start < WaitLimit)
            SwitchToThread();
        selves.push_back(lastSelf.exchange(nullptr));
        if (self)
            *self = selves.back();
        return number;
    }
    std::vector<HANDLE> selves;
};

}  // namespace

TEST_F(ThreadTest, PassesTheArgumentAndReturnsTheExitCode) {
    EXPECT_EQ(ThreadStart(nullptr, 0), 0);
    HANDLE self = nullptr;
    EXPECT_EQ(StartAndMeet(Quick, -7, &self), 1) << "a refused start uses no number";
    ASSERT_EQ(WaitForSingleObject(self, WaitLimit), WAIT_OBJECT_0);
    EXPECT_EQ(seenArgument, -7);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(self, &code));
    EXPECT_EQ(code, static_cast<DWORD>(-7) ^ 0xA5A5A5A5u);
}

// An ended thread keeps its handle until the next start sweeps it; a running one stays.
TEST_F(ThreadTest, NextStartClosesOnlyEndedThreads) {
    HANDLE quick = nullptr;
    EXPECT_EQ(StartAndMeet(Quick, 0, &quick), 1);
    ASSERT_EQ(WaitForSingleObject(quick, WaitLimit), WAIT_OBJECT_0);
    EXPECT_EQ(ThreadHeldCount(), 1);
    EXPECT_EQ(StartAndMeet(Blocked, 0), 2);
    EXPECT_EQ(ThreadHeldCount(), 1) << "the ended thread's handle is closed";
    EXPECT_EQ(StartAndMeet(Blocked, 0), 3);
    EXPECT_EQ(ThreadHeldCount(), 2) << "running threads keep theirs";
}

// Shut-down lets go of every handle without waiting for threads that still run.
TEST_F(ThreadTest, CloseAllReturnsWhileThreadsRun) {
    for (int i = 0; i < 3; ++i)
        StartAndMeet(Blocked, 0);
    ThreadCloseAll();
    EXPECT_EQ(ThreadHeldCount(), 0);
    for (HANDLE self : selves)
        EXPECT_EQ(WaitForSingleObject(self, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // The numbering goes on after a close-all; numbers are never reused.
    EXPECT_EQ(ThreadStart(Empty, 0), 4);
}

// Threads started from several threads at once each get a number of their own.
TEST_F(ThreadTest, NumbersStayUniqueUnderConcurrentStarts) {
    constexpr int Starters = 4, PerStarter = 25;
    std::vector<int32_t> numbers(Starters * PerStarter);
    std::vector<std::thread> starters;
    for (int s = 0; s < Starters; ++s)
        starters.emplace_back([s, &numbers] {
            for (int i = 0; i < PerStarter; ++i)
                numbers[s * PerStarter + i] = ThreadStart(Empty, 0);
        });
    for (std::thread& t : starters)
        t.join();
    std::sort(numbers.begin(), numbers.end());
    for (int i = 0; i < Starters * PerStarter; ++i)
        ASSERT_EQ(numbers[i], i + 1);
}
