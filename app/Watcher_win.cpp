#include "app/Watcher.h"

#include <windows.h>

#include "app/Texts.h"
#include "toolkit/media/Image.h"
#include "toolkit/media/Tray.h"
#include "toolkit/system/File.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/text/Str.h"
#include "toolkit/window/Win.h"

WatcherState watcher;

namespace {
// The page lock is named after the page file, which every copy of every build shares.
constexpr char PageLockPrefix[] = "Local\\forumwatch ";
HANDLE watcherLock;
HANDLE pageLock;
// In the process only, and taken twice every cycle: a section costs no call to the system
// unless a shut-down meets a scan.
CRITICAL_SECTION scanLock;
bool scanLockReady;
// Made and removed at once in the temporary folder to see that the page file can be written there.
constexpr char ProbeName[] = "forumwatch probe ";
// The window's own copy of the icon it shows: the image under IconImage is destroyed by the
// next decode, while the window would go on drawing it.
HICON windowIcon;
}  // namespace

bool WatcherInit() {
    watcher.soundPending.store(0);
    watcher.newCount.store(1);
    watcher.pollRunning.store(0);
    watcher.closing.store(0);
    StrVarSet(&watcher.lastTotalText, nullptr);
    StrVarSet(&watcher.pagePath, nullptr);
    watcher.lastUserCount = 0;
    // A second start-up in one process (tests) comes with a fresh private heap: the old rows went
    // with the old one.
    watcher.shownRows = RowList{};
    watcher.pageRows = RowList{};
    if (!watcherLock)
        watcherLock = CreateMutexA(nullptr, FALSE, nullptr);
    if (!pageLock) {
        const ScratchMark name;
        StrAppend(PageLockPrefix);
        StrAppend(PageFileName);
        pageLock = CreateMutexA(nullptr, FALSE, name.Pass());
    }
    if (!scanLockReady)
        InitializeCriticalSection(&scanLock);
    scanLockReady = true;
    return watcherLock && pageLock;
}

// The folder's path comes back empty when it is missing (its long form cannot be looked up) or
// too long. The probe is named after the process, so two copies starting at once do not meet,
// and goes when its handle closes.
bool WatcherFindPageFile() {
    const ScratchMark path;
    TempDirectory(path.Pos());  // ends in a separator
    if (ScratchEnd() == path.Pos())
        return false;
    StrAppend(ProbeName);
    StrFromInt(GetCurrentProcessId(), ScratchEnd());
    HANDLE probe = CreateFileA(path.Pass(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    TempDirectory(path.Pos());  // the page file's path, over the probe's
    StrAppend(PageFileName);
    StrVarFromScratch(&watcher.pagePath, path.Pos());
    return true;
}

bool WatcherScanLock() {
    EnterCriticalSection(&scanLock);
    if (!watcher.closing.load())
        return true;
    LeaveCriticalSection(&scanLock);
    return false;
}

void WatcherScanUnlock() { LeaveCriticalSection(&scanLock); }

// Kept for good: the process ends soon after.
void WatcherStopScans() {
    watcher.closing.store(1);
    if (scanLockReady)
        EnterCriticalSection(&scanLock);
}

void WatcherLock(LockWaiter waiter) {
    if (!watcherLock)
        return;
    if (waiter == LockWaiter::Worker) {
        WaitForSingleObject(watcherLock, INFINITE);
        return;
    }
    // The holder may be a cycle blocked in a message sent to our windows: handle such
    // messages while waiting, never anything posted (that waits for the event loop).
    for (;;) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD woken =
            MsgWaitForMultipleObjects(1, &watcherLock, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_ABANDONED_0 || woken == WAIT_FAILED)
            return;
    }
}

void WatcherUnlock() {
    if (watcherLock)
        ReleaseMutex(watcherLock);
}

// A copy that ended while it held the lock leaves it abandoned, which serves as well. Another
// copy holds it for one download and scan at most, so twice the deadline is ample; past that
// the other copy is stuck, and this cycle goes without.
bool WatcherPageLock() {
    const DWORD waited = WaitForSingleObject(pageLock, 2 * watcherTiming.downloadDeadlineMs);
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void WatcherPageUnlock() { ReleaseMutex(pageLock); }

void WatcherShowIcon(const void* icon, size_t size) {
    TrayChange(WatcherTray, ImageFromMemory(IconImage, icon, size));
    const intptr_t image = ImageFromMemory(IconImage, icon, size);
    HICON copy = image ? CopyIcon(reinterpret_cast<HICON>(image)) : nullptr;
    if (!copy)
        return;  // the window keeps the icon it has, which is still valid
    WinSetIcon(WinHandle(WatcherWindow), reinterpret_cast<intptr_t>(copy));
    if (windowIcon)
        DestroyIcon(windowIcon);
    windowIcon = copy;
}
