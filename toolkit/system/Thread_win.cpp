#include "toolkit/system/Thread.h"

#include <windows.h>

#include "toolkit/system/CritSecLock.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/List.h"

namespace {

struct ThreadRecord {
    HANDLE handle;  // open until a sweep finds the thread ended, or until ThreadCloseAll
};

// What the trampoline needs to call the toolkit's entry with its own calling convention.
struct StartBlock {
    ThreadProc entry;
    int32_t argument;
};

// Commit only one page up front; the reservation stays the process default.
constexpr SIZE_T ThreadStackCommit = 4096;

CRITICAL_SECTION threadLock;
bool threadLockReady;
ListNode* threadList;  // newest first
int32_t nextThreadNumber = 1;

ThreadRecord* RecordOf(ListNode* node) { return reinterpret_cast<ThreadRecord*>(node + 1); }

// The start block comes from the process heap, not the private one: a thread may start
// running only after the shell has destroyed the private heap on its way out, and the process
// heap outlives every thread.
DWORD WINAPI Trampoline(LPVOID parameter) {
    StartBlock start = *static_cast<StartBlock*>(parameter);
    HeapFree(GetProcessHeap(), 0, parameter);
    return start.entry(start.argument);
}

// Closes the handles of threads that have ended. Called with the lock held; only zero
// time-out waits, CloseHandle and private-heap calls happen here.
void SweepEnded() {
    ListNode* node = threadList;
    while (node) {
        ListNode* next = node->next;
        ThreadRecord* record = RecordOf(node);
        if (WaitForSingleObject(record->handle, 0) == WAIT_OBJECT_0) {
            CloseHandle(record->handle);
            ListRemove(&threadList, record);
        }
        node = next;
    }
}

}  // namespace

void ThreadInit() {
    // A second start-up (the tests run several in one process, each over a fresh private heap)
    // must not re-initialise a lock that may be held; the list's old records went with the heap.
    if (!threadLockReady)
        InitializeCriticalSection(&threadLock);
    threadLockReady = true;
    CritSecLock lock(&threadLock);
    threadList = nullptr;
    nextThreadNumber = 1;
}

int32_t ThreadStart(ThreadProc entry, int32_t argument) {
    if (!entry || !threadLockReady)
        return 0;
    auto* start = static_cast<StartBlock*>(HeapAlloc(GetProcessHeap(), 0, sizeof(StartBlock)));
    if (!start)
        return 0;
    start->entry = entry;
    start->argument = argument;
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, ThreadStackCommit, Trampoline, start, 0, &id);
    if (!handle) {
        HeapFree(GetProcessHeap(), 0, start);
        return 0;  // no number used up
    }

    CritSecLock lock(&threadLock);
    SweepEnded();
    const int32_t number = nextThreadNumber++;
    auto* record = static_cast<ThreadRecord*>(ListInsert(&threadList, sizeof(ThreadRecord)));
    if (record) {
        record->handle = handle;
    } else {
        // The thread runs all the same; without a record nobody would ever close its handle.
        CloseHandle(handle);
    }
    return number;
}

void ThreadCloseAll() {
    if (!threadLockReady)
        return;
    CritSecLock lock(&threadLock);
    // Running threads are neither waited for nor stopped: they end with the process.
    while (threadList) {
        ThreadRecord* record = RecordOf(threadList);
        CloseHandle(record->handle);
        ListRemove(&threadList, record);
    }
}

int32_t ThreadHeldCount() {
    if (!threadLockReady)
        return 0;
    CritSecLock lock(&threadLock);
    int32_t count = 0;
    for (ListNode* node = threadList; node; node = node->next)
        ++count;
    return count;
}
