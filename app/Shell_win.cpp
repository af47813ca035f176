#include "app/Shell.h"

#include <windows.h>

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
#include "toolkit/text/Scratch.h"
#include "toolkit/text/StrVar.h"
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
// forum's address, and keeps the block as long as it runs.
constexpr char CopyNamePrefix[] = "Local\\forumwatch ";
constexpr DWORD FirstCopyWaitMs = 5000;  // for a first copy that is still making its window
constexpr DWORD FirstCopyPollMs = 50;
volatile LONG* publishedWindow;

// False when another copy follows the same forum. Window handles keep their meaning in 32 bits,
// which a 32-bit and a 64-bit copy read and write alike, and at once.
bool FirstCopyForForum() {
    const int32_t pos = ScratchEnd();
    StrAppend(CopyNamePrefix);
    StrAppend(forumSiteRoot);
    HANDLE block = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(LONG), ScratchPass(pos));
    const bool another = block && GetLastError() == ERROR_ALREADY_EXISTS;
    ScratchRewind(pos);
    if (block)
        publishedWindow = static_cast<volatile LONG*>(
            MapViewOfFile(block, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(LONG)));
    return !another;
}

void PublishWindow() {
    if (publishedWindow)
        InterlockedExchange(
            publishedWindow,
            static_cast<LONG>(reinterpret_cast<intptr_t>(WinHandle(WatcherWindow))));
}

// The user started the watcher again, most likely to find its window: show the running one.
void BringFirstCopyForward() {
    HWND window = nullptr;
    for (DWORD waited = 0; publishedWindow && !window && waited < FirstCopyWaitMs;
         waited += FirstCopyPollMs) {
        window = reinterpret_cast<HWND>(static_cast<intptr_t>(*publishedWindow));
        if (!window)
            Sleep(FirstCopyPollMs);
    }
    if (!window)
        return;
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
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

// The watcher shows no error texts, so a start-up that cannot go on says so by the exit code
// alone, rather than run a loop with nothing to wait on. Without sound the watcher still watches.
StartUp ShellStartUp() {
    if (!PrivateHeapCreate())
        return StartUp::Failed;
    ToolkitStartUp();
    if (!FirstCopyForForum()) {
        BringFirstCopyForward();
        return StartUp::AnotherCopy;
    }
    if (!WatcherInit())
        return StartUp::Failed;
    SoundInit();
    if (!ShellBuildWindow())
        return StartUp::Failed;
    PublishWindow();
    StartPoll();
    return StartUp::Running;
}

void ShellRunLoop() {
    for (;;) {
        const int32_t event = WinWaitEvent();
        PlayPendingSound();
        if (event == EventTimerFired)
            StartPoll();
        else if (event == EventTray)
            OnTrayEvent();
        if (event == EventClose)
            return;
    }
}

void ShellAcknowledge() {
    WatcherLock(LockWaiter::MainThread);
    WatcherShowIcon(IconIdle, IconIdleSize);
    GadgetSetText(CounterLabel, Label4Acknowledged);
    watcher.newCount.store(1);
    WatcherUnlock();
}

void ShellShutDown() {
    // Kept for good: a cycle that finishes its download from now on waits for the lock until
    // the process ends, instead of reaching files, images and a heap that are going away.
    WatcherLock(LockWaiter::MainThread);
    watcher.closing.store(1);
    ToolkitShutDown();
    PrivateHeapDestroy();
    ExitProcess(0);
}
