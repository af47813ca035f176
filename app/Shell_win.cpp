#include "app/Shell.h"

#include <windows.h>

#include "app/ForumAddress.h"
#include "app/Poll.h"
#include "app/Layout.h"
#include "app/Texts.h"
#include "app/Watcher.h"
#include "app/resources/Resources.h"
#include "toolkit/media/Image.h"
#include "toolkit/media/Sound.h"
#include "toolkit/media/Tray.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/Run.h"
#include "toolkit/Toolkit.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"
#include "toolkit/window/WinLogic.h"

namespace {

// Caption with system menu and minimise box, no sizing border, centred on the screen (so the
// position passed is ignored).
constexpr uint32_t WindowFlags = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WinFlagCentreScreen;
static_assert(WindowFlags == 0xCA0001, "the flags as the toolkit encodes them");

// The first copy for a forum publishes its window in a small shared block named after the
// forum's address, and keeps the block as long as it runs. Window handles keep their meaning in
// 32 bits, which a 32-bit and a 64-bit copy read and write alike, and at once.
constexpr DWORD FirstCopyWaitMs = 5000;  // for a first copy that is still making its window
constexpr DWORD FirstCopyPollMs = 50;
constexpr LONG NoWindowYet = 0;
constexpr LONG CopyClosing = -1;  // never a window handle
volatile LONG* publishedWindow;

// The user started the watcher again, most likely to find its window: show the running one.
// Asynchronously, so that a first copy that hangs cannot hang this start as well.
void BringForward(HWND window) {
    if (IsIconic(window))
        ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
}

// False when another copy follows the same forum: its window has been brought forward. A copy
// that is shutting down hands the forum over to this one.
bool ClaimForum() {
    char name[ForumCopyNameRoom];
    ForumCopyName(forumSiteRoot, name);
    HANDLE block =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), name);
    const bool another = block && GetLastError() == ERROR_ALREADY_EXISTS;
    if (block)
        publishedWindow = static_cast<volatile LONG*>(
            MapViewOfFile(block, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
    if (!another)
        return true;
    for (DWORD waited = 0; publishedWindow && waited < FirstCopyWaitMs;
         waited += FirstCopyPollMs) {
        const LONG window = *publishedWindow;
        if (window == CopyClosing &&
            InterlockedCompareExchange(publishedWindow, NoWindowYet, CopyClosing) == CopyClosing)
            return true;
        if (window != NoWindowYet && window != CopyClosing) {
            BringForward(reinterpret_cast<HWND>(static_cast<intptr_t>(window)));
            return false;
        }
        Sleep(FirstCopyPollMs);
    }
    return false;
}

void Publish(LONG window) {
    if (publishedWindow)
        InterlockedExchange(publishedWindow, window);
}

void PlayPendingSound() {
    // Cleared before playing: a cycle that asks again meanwhile gets its own turn.
    if (watcher.soundPending.exchange(0) != 1)
        return;
    SoundFromMemory(AlertSoundNumber, AlertSound, AlertSoundSize);
    SoundPlay(AlertSoundNumber);
}

void OnTrayEvent() {
    if (WinEventKind() == TrayKindLeftDoubleClick) {
        RunExternal(forumSiteRoot);
        ShellAcknowledge();
    }
    // Asked again on purpose: the kind holds until the next wait, so a double-click
    // acknowledges once.
    if (WinEventKind() == TrayKindRightPress)
        ShellAcknowledge();
}

}  // namespace

// Controls, timer and tray icon that cannot be made leave their later uses without effect, as the
// toolkit's operations do with missing objects; only the window itself is indispensable.
bool ShellBuildWindow() {
    if (!WinOpen(WatcherWindow, 0, 0, ClientWidth, ClientHeight, TitleText, WindowFlags))
        return false;
    WinSetTopmost(WatcherWindow, 1);
    // The frame may differ from one desktop to the next; the client size is what was asked.
    const int32_t width = WinClientWidth(WatcherWindow);
    const int32_t height = WinClientHeight(WatcherWindow);
    LabelCreate(StatusLabel, Margin, Margin, width - 2 * Margin, StatusHeight, Label1Initial,
                SS_CENTER);
    LabelCreate(TotalLabel, Margin, height - TotalFromBottom, LabelWidth, LabelHeight,
                Label3Initial);
    LabelCreate(CounterLabel, Margin, height - CounterFromBottom, LabelWidth, LabelHeight,
                Label4Initial);
    ListBoxCreate(UserList, Margin, ListTop, width - 2 * Margin, height - ListSpareHeight);
    WinAddTimer(WatcherWindow, PollTimer, watcherTiming.pollMilliseconds);
    TrayAdd(WatcherTray, WinHandle(WatcherWindow),
            ImageFromMemory(IconImage, IconIdle, IconIdleSize));
    return true;
}

// A copy that cannot work says why and ends, rather than run a loop with nothing to wait on or
// poll into a page path that is no path. Without sound the watcher still watches.
StartUp ShellStartUp() {
    if (!PrivateHeapCreate())
        return StartUp::NoHeap;
    ToolkitStartUp();
    if (!ClaimForum())
        return StartUp::AnotherCopy;
    if (!WatcherInit())
        return StartUp::NoLock;
    if (!WatcherFindPageFile())
        return StartUp::NoTempFolder;
    SoundInit();
    if (!ShellBuildWindow())
        return StartUp::NoWindow;
    Publish(static_cast<LONG>(reinterpret_cast<intptr_t>(WinHandle(WatcherWindow))));
    // Dragging the window or opening its menu must not stop the polls, chimes and tray presses.
    WinSetModalHandler(ShellHandleEvent);
    StartPoll();
    return StartUp::Running;
}

// Texts and folder converted on the stack: there may be no heap.
constexpr int32_t SayRoom = 1024;

void SayWide(const char* text, const wchar_t* tail) {
    wchar_t message[SayRoom] = {}, title[64] = {};
    int32_t length = MultiByteToWideChar(1251, 0, text, -1, message, SayRoom - MAX_PATH - 2);
    length = length > 0 ? length - 1 : 0;
    for (int32_t i = 0; tail && tail[i] && length < SayRoom - 1; i++)
        message[length++] = tail[i];
    MultiByteToWideChar(1251, 0, TitleText, -1, title, 64);
    MessageBoxW(nullptr, message, title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void ShellSay(const char* text) { SayWide(text, nullptr); }

// The folder as the system names it, in UTF-16, so that any name reads right.
void ShellSayStartUpFailed(StartUp failed) {
    Publish(CopyClosing);
    wchar_t folder[MAX_PATH + 2] = {};
    switch (failed) {
    case StartUp::NoHeap:
        return ShellSay(NoHeapText);
    case StartUp::NoLock:
        return ShellSay(NoLockText);
    case StartUp::NoTempFolder:
        GetTempPathW(MAX_PATH + 1, folder);
        return SayWide(NoTempFolderText, folder);
    case StartUp::NoWindow:
        return ShellSay(NoWindowText);
    case StartUp::Running:
    case StartUp::AnotherCopy:
        return;
    }
}

// Adding a case here is all an event needs, whether it comes from the loop below or from a
// modal loop the system runs.
bool ShellHandleEvent(int32_t event) {
    PlayPendingSound();
    switch (event) {
    case EventTimerFired:
        // A tray icon the taskbar refused (not there yet at sign-in) is asked for again.
        TrayRetryFailed();
        StartPoll();
        return true;
    case EventTaskbarCreated:
        TrayAddAgain();
        return true;
    case EventTray:
        OnTrayEvent();
        return true;
    case EventClose:
        return false;
    default:
        return true;
    }
}

void ShellRunLoop() {
    while (ShellHandleEvent(WinWaitEvent())) {
    }
}

void ShellAcknowledge() {
    WatcherLock(LockWaiter::MainThread);
    WatcherShowIcon(IconIdle, IconIdleSize);
    GadgetSetText(CounterLabel, Label4Acknowledged);
    watcher.newCount.store(1);
    WatcherUnlock();
}

// The window is taken back first, so that a start from now on watches anew instead of calling
// a dying window forward. Then the watcher lock is kept for good: a cycle that finishes its
// download from now on waits for it until the process ends, instead of reaching files, images
// and a heap that are going away; and a scan under way is waited for.
void ShellShutDown() {
    Publish(CopyClosing);
    WatcherLock(LockWaiter::MainThread);
    WatcherStopScans();
    ToolkitShutDown();
    PrivateHeapDestroy();
    ExitProcess(0);
}
