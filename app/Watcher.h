#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "app/Download.h"
#include "app/PollLogic.h"
#include "toolkit/text/StrVar.h"

// The watcher's state, shared by the shell (main thread) and the poll cycles (workers).
struct WatcherState {
    std::atomic<int32_t> soundPending;  // 1: the alert sound is due; a flag, not a counter
    std::atomic<int32_t> newCount;      // shown in label 4 at the next change of the total
    std::atomic<int32_t> pollRunning;   // 1 while a cycle runs; keeps cycles from overlapping
    std::atomic<int32_t> closing;       // 1 once the shell shuts down; cycles then stand still
    StrVar lastTotalText;               // only cycles touch it, never two at once
    // The page file in the temporary folder, found once: looking the folder up (in its long
    // form) cost more than the rest of a quiet cycle, and it does not move while we run.
    StrVar pagePath;
    int32_t lastUserCount;
    RowList shownRows;  // what list box 2 shows
    RowList pageRows;   // the rows of the page being read
};
extern WatcherState watcher;

// Object numbers of the watcher's window, controls, sound, timer, tray icon, image and file.
constexpr int32_t WatcherWindow = 0;
constexpr int32_t StatusLabel = 1;   // time of the last poll
constexpr int32_t UserList = 2;      // registered users on-line
constexpr int32_t TotalLabel = 3;    // message total
constexpr int32_t CounterLabel = 4;  // changes since the last acknowledgement
constexpr int32_t AlertSoundNumber = 5;
constexpr int32_t PollTimer = 6;
constexpr int32_t WatcherTray = 7;
constexpr int32_t IconImage = 8;  // the icon decoded last, for the tray and the window
constexpr int32_t PageFile = 0;

// How often the watcher polls, and how long a download may run before it is given up.
struct WatcherTiming {
    int32_t pollMilliseconds;
    uint32_t downloadDeadlineMs;
};
constexpr WatcherTiming ProductTiming = {5000, DownloadDeadlineMs};

// Where the forum lives (an http address ending in "/") and the watcher's timing. The program
// defines both in main_win.cpp, fixed at build time. They are also the seams by which a test or
// a benchmark that links the watcher's code aims it at a server of its own, and by which test
// copies of the program wait less.
extern const char* forumSiteRoot;
extern WatcherTiming watcherTiming;

// Zeroes the state (newCount starts at 1) and makes the watcher's locks; false when the system
// gives none. Before the first cycle.
bool WatcherInit();

// Finds the page file's path in the temporary folder, once a file could be made there (and
// removed again); false when the folder is missing or cannot be written to, where every cycle
// would fail, or its path would come out relative and land in whatever the current folder is.
bool WatcherFindPageFile();

// Shows the idle or alert icon in the tray and as the window's small icon. Both threads decode
// under image number 8, so the caller holds the watcher lock.
void WatcherShowIcon(const void* icon, size_t size);

// The watcher lock keeps a cycle's effects, the acknowledgement and the shut-down apart. The
// main thread handles messages sent to its windows while it waits, since the cycle holding the
// lock may be waiting for exactly that.
enum class LockWaiter { Worker, MainThread };
void WatcherLock(LockWaiter waiter);
void WatcherUnlock();

// Kept from the start of a cycle's page scan to its end, so the shut-down never frees the file,
// the scratch area or the heaps under a scan. The scan runs without the watcher lock, so the
// window never waits for it. WatcherScanLock is false once the shut-down has begun: the cycle
// then stops. WatcherStopScans waits for a scan in progress and keeps every later one out.
bool WatcherScanLock();
void WatcherScanUnlock();
void WatcherStopScans();

// Every copy of the watcher in the session, whatever forum it follows, downloads into the same
// page file. A cycle holds this lock from the start of its download until it has closed the
// file, so each copy reads a whole page of its own. False when another copy held it too long:
// the cycle then changes nothing, as after a failed download.
bool WatcherPageLock();
void WatcherPageUnlock();
