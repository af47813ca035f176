// Poll-cycle benchmark: the watcher's window and controls as the shell builds them, then poll
// cycles back to back against a forum server, with what they cost and what they leave behind.
// Prints figures only; nothing here passes or fails.
//
//   poll_bench_win SITE_ROOT [CYCLES] [SCAN_REPEATS]
//
// SITE_ROOT is the server's root (BENCH_SITE_ROOT, from the build). Every tenth cycle is acknowledged
// on the main thread, as a user would, so the alert and acknowledgement paths both run when the
// server's total moves.
#include <windows.h>
#include <urlmon.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/Poll.h"
#include "app/PollLogic.h"
#include "app/Shell.h"
#include "app/Watcher.h"
#include "bench/watcher/SystemHandles.h"
#include "toolkit/system/Heap.h"
#include "toolkit/Toolkit.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
#include "toolkit/text/StrHeap.h"
#include "toolkit/window/Gadget.h"

// The watcher reads its forum from here; the benchmark aims it at the server it was given.
const char* forumSiteRoot = BENCH_SITE_ROOT;
WatcherTiming watcherTiming = ProductTiming;

namespace {

constexpr int DefaultCycles = 1000;
constexpr int DefaultScanRepeats = 300;
constexpr int EarlyReport = 10;
constexpr int AcknowledgeEvery = 10;
constexpr DWORD CycleTimeoutMs = 30000;
constexpr double HundredNsPerMs = 10000.0;

// Under Wine the program is a Linux process, and the kernel's CPU clock for the whole process
// counts in nanoseconds where Windows' process times count 10 ms ticks: a cycle's few
// milliseconds become measurable one by one. Elsewhere, the process times.
bool UnderWine() {
    static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");
    return wine;
}

bool LinuxProcessCpuMs(double* ms) {
    constexpr long ProcessCpuClock = 2;  // CLOCK_PROCESS_CPUTIME_ID
    long result;
#if defined(__x86_64__)
    struct {
        long long seconds, nanoseconds;
    } t{};
    asm volatile("syscall"
                 : "=a"(result)
                 : "a"(228L /* clock_gettime */), "D"(ProcessCpuClock), "S"(&t)
                 : "rcx", "r11", "memory");
#elif defined(__i386__)
    struct {
        long seconds, nanoseconds;
    } t{};
    asm volatile("int $0x80"
                 : "=a"(result)
                 : "a"(265L /* clock_gettime */), "b"(ProcessCpuClock), "c"(&t)
                 : "memory");
#else
    return false;
#endif
    if (result != 0)
        return false;
    *ms = static_cast<double>(t.seconds) * 1000.0 + static_cast<double>(t.nanoseconds) / 1e6;
    return true;
}

double CpuMs(HANDLE process) {
    double ms;
    if (UnderWine() && LinuxProcessCpuMs(&ms))
        return ms;
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    return static_cast<double>(k.QuadPart + u.QuadPart) / HundredNsPerMs;
}

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

DWORD WINAPI CycleThread(void*) { return PollForum(0); }

// `work` on a worker, as the shell runs a cycle; the main thread handles the messages the worker
// sends to the controls meanwhile, as its event loop would.
bool RunOnWorker(LPTHREAD_START_ROUTINE work, void* argument) {
    HANDLE thread = CreateThread(nullptr, 0, work, argument, 0, nullptr);
    if (!thread)
        return false;
    const DWORD deadline = GetTickCount() + CycleTimeoutMs;
    bool ended = false;
    while (!ended && GetTickCount() < deadline) {
        DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, CycleTimeoutMs, QS_ALLINPUT);
        ended = woke == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    CloseHandle(thread);
    return ended;
}

bool RunCycle() {
    watcher.pollRunning.store(1);
    const bool ended = RunOnWorker(CycleThread, nullptr);
    if (!ended)
        watcher.pollRunning.store(0);
    return ended;
}

// Blocks of sizes nothing else asks for, so a walk can tell which heap is ours.
constexpr SIZE_T PrivateMarkSize = 7771;
constexpr SIZE_T StringMarkSize = 7773;

struct HeapTotals {
    SIZE_T busyBytes;
    DWORD busyBlocks;
    bool privateHeap;
    bool stringHeap;
};

HeapTotals WalkHeap(HANDLE heap) {
    HeapTotals totals{0, 0, false, false};
    if (!HeapLock(heap))
        return totals;
    PROCESS_HEAP_ENTRY entry;
    entry.lpData = nullptr;
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
            totals.busyBytes += entry.cbData;
            totals.busyBlocks++;
            totals.privateHeap |= entry.cbData == PrivateMarkSize;
            totals.stringHeap |= entry.cbData == StringMarkSize;
        }
    }
    HeapUnlock(heap);
    return totals;
}

// GetGuiResources counts nothing under Wine; there a fresh object's handle index stands in:
// the system hands out the lowest free slot, so objects left behind push it up.
unsigned long NextGdiSlot() {
    HGDIOBJ probe = CreateSolidBrush(RGB(1, 2, 3));
    unsigned long slot = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(probe) & 0xFFFF);
    DeleteObject(probe);
    return slot;
}

// Handles, GDI and USER objects, and every heap's blocks in use. Our private heap and the
// string heap are among the heaps; growth in any of them between the early and the late report
// is what a leak would look like.
void ReportResources(const char* when) {
    HANDLE process = GetCurrentProcess();
    DWORD handles = 0;
    GetProcessHandleCount(process, &handles);
    printf(
        "%s: handles %lu (kernel table: %ld), GDI objects %lu, USER objects %lu, "
        "next GDI slot %lu, next USER slot %lu\n",
        when, static_cast<unsigned long>(handles), CountHandlesInSystemTable(GetCurrentProcessId()),
        static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
        static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)), NextGdiSlot(),
        NextUserSlot());
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    HANDLE defaultHeap = GetProcessHeap();
    void* privateMark = PrivateAllocRaw(PrivateMarkSize);
    void* stringMark = StrHeapAlloc(StringMarkSize);
    for (DWORD i = 0; i < count && i < heaps.size(); i++) {
        HeapTotals t = WalkHeap(heaps[i]);
        const char* name = heaps[i] == defaultHeap ? " (process heap)"
                           : t.privateHeap         ? " (private heap)"
                           : t.stringHeap          ? " (string heap)"
                                                   : "";
        // The marks themselves are left out of the figures.
        const SIZE_T mark = t.privateHeap ? PrivateMarkSize : t.stringHeap ? StringMarkSize : 0;
        printf("%s: heap %lu%s: %lu bytes in %lu blocks\n", when, static_cast<unsigned long>(i),
               name, static_cast<unsigned long>(t.busyBytes - mark),
               static_cast<unsigned long>(t.busyBlocks - (mark ? 1 : 0)));
    }
    PrivateFree(privateMark);
    StrHeapFree(stringMark);
}

// The scanning part of a cycle alone, with no network and no controls: the page the last
// cycle saved, read as a cycle reads it.
int ScanSavedPage(const char* path) {
    RowList rows{};
    PageContent page{};
    PollReadPage(PageFile, path, nullptr, &rows, &page);
    PageContentFree(&page);
    RowListFree(&rows);
    return page.lines;
}

struct Download {
    const char* address;
    const char* path;
};

DWORD WINAPI DownloadThread(void* argument) {
    const Download* d = static_cast<const Download*>(argument);
    URLDownloadToFileA(nullptr, d->address, d->path, 0, nullptr);
    return 0;
}

// One bare download of the page on a thread of its own, as a cycle's worker makes it; its CPU
// time is what a cycle is compared with.
double FreshThreadDownloadCpu(const char* address, const char* path) {
    HANDLE process = GetCurrentProcess();
    const double cpu0 = CpuMs(process);
    Download d{address, path};
    HANDLE thread = CreateThread(nullptr, 0, DownloadThread, &d, 0, nullptr);
    if (!thread)
        return 0;
    WaitForSingleObject(thread, CycleTimeoutMs);
    CloseHandle(thread);
    return CpuMs(process) - cpu0;
}

// Downloads back to back on this thread: against the fresh-thread figure, what a thread of its
// own costs Wine's download.
void MeasureDownloadOnOneThread(const char* address, const char* path, int repeats) {
    HANDLE process = GetCurrentProcess();
    const double cpu0 = CpuMs(process), wall0 = NowMs();
    for (int i = 0; i < repeats; i++) {
        Download d{address, path};
        DownloadThread(&d);
    }
    const double cpu = CpuMs(process) - cpu0, wall = NowMs() - wall0;
    printf("download only, all on one thread: %.2f ms wall, %.3f ms CPU per download (%d)\n",
           wall / repeats, cpu / repeats, repeats);
}

// Label 1's time stamp, set from a worker as every cycle sets it, changed page or not.
DWORD WINAPI StampThread(void* repeats) {
    for (int i = 0; i < *static_cast<int*>(repeats); i++) {
        char stamp[32];
        snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", i / 3600 % 24, i / 60 % 60, i % 60);
        GadgetSetText(StatusLabel, stamp);
    }
    return 0;
}

void MeasureStamp(int repeats) {
    HANDLE process = GetCurrentProcess();
    const double cpu0 = CpuMs(process), wall0 = NowMs();
    RunOnWorker(StampThread, &repeats);
    const double cpu = CpuMs(process) - cpu0, wall = NowMs() - wall0;
    printf("stamp only (label 1 set from a worker): %.3f ms wall, %.3f ms CPU per stamp\n",
           wall / repeats, cpu / repeats);
}

void MeasureScan(const char* path, int repeats) {
    HANDLE process = GetCurrentProcess();
    int lines = 0;
    const double cpu0 = CpuMs(process), wall0 = NowMs();
    for (int i = 0; i < repeats; i++)
        lines = ScanSavedPage(path);
    const double cpu = CpuMs(process) - cpu0, wall = NowMs() - wall0;
    printf(
        "scan only (saved page, %d lines read): %.3f ms wall, %.3f ms CPU per scan "
        "(%d scans)\n",
        lines, wall / repeats, cpu / repeats, repeats);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: poll_bench_win SITE_ROOT [CYCLES] [SCAN_REPEATS]\n");
        return 2;
    }
    forumSiteRoot = argv[1];
    const int cycles = argc > 2 ? atoi(argv[2]) : DefaultCycles;
    const int scanRepeats = argc > 3 ? atoi(argv[3]) : DefaultScanRepeats;

    PrivateHeapCreate();
    ToolkitStartUp();
    WatcherInit();
    WatcherFindPageFile();
    ShellBuildWindow();

    const int32_t pos = ScratchEnd();
    StrAppend(forumSiteRoot);
    StrAppend("phpBB2/");
    StrVar address = nullptr;
    StrVarFromScratch(&address, pos);
    const char* path = watcher.pagePath;

    // Each cycle is followed by a bare download on a fresh thread, so the two are compared under
    // the same conditions of the moment rather than in two runs minutes apart; the spread of
    // their difference says how far the mean can be trusted.
    HANDLE process = GetCurrentProcess();
    double cpuTotal = 0, wallTotal = 0, wallMax = 0, bareTotal = 0, beyondSquares = 0;
    int done = 0;
    for (int i = 1; i <= cycles; i++) {
        const double cpu0 = CpuMs(process), wall0 = NowMs();
        if (!RunCycle()) {
            printf("cycle %d did not end within %lu ms; stopping\n", i,
                   static_cast<unsigned long>(CycleTimeoutMs));
            break;
        }
        const double wall = NowMs() - wall0;
        const double cpu = CpuMs(process) - cpu0;
        const double bare = FreshThreadDownloadCpu(address, path);
        cpuTotal += cpu;
        bareTotal += bare;
        beyondSquares += (cpu - bare) * (cpu - bare);
        wallTotal += wall;
        wallMax = wall > wallMax ? wall : wallMax;
        done = i;
        if (i % AcknowledgeEvery == 0)
            ShellAcknowledge();
        if (i == EarlyReport || i == cycles) {
            char when[32];
            snprintf(when, sizeof when, "cycle %d", i);
            ReportResources(when);
        }
        fflush(stdout);
    }
    if (done > 0) {
        printf(
            "full cycles: %d, %.2f ms wall (max %.1f), %.3f ms CPU of this process per cycle "
            "(download included, server not)\n",
            done, wallTotal / done, wallMax, cpuTotal / done);
        const double beyond = (cpuTotal - bareTotal) / done;
        const double spread = beyondSquares / done - beyond * beyond;
        printf("download only, each on a new thread after each cycle: %.3f ms CPU per download\n",
               bareTotal / done);
        printf(
            "beyond a bare download on a fresh thread: %.3f ms CPU per cycle (standard error "
            "%.3f)\n",
            beyond, spread > 0 && done > 1 ? sqrt(spread / (done - 1)) : 0.0);
    }
    MeasureDownloadOnOneThread(address, path, scanRepeats);
    StrVarFree(address);
    // Downloads alone on the main thread: tells the download's own leftovers from a cycle's.
    ReportResources("after the downloads");
    MeasureScan(path, scanRepeats);
    MeasureStamp(scanRepeats);
    fflush(stdout);
    ToolkitShutDown();
    PrivateHeapDestroy();
    return 0;
}
