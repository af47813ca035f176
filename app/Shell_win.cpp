#include "app/Shell.h"

#include <windows.h>

#include "app/Poll.h"
#include "app/Texts.h"
#include "app/resources/Resources.h"
#include "toolkit/media/Image.h"
#include "toolkit/media/Sound.h"
#include "toolkit/media/Tray.h"
#include "toolkit/system/Heap.h"
#include "toolkit/system/Run.h"
#include "toolkit/system/Toolkit.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

namespace {

// Caption with system menu and minimise box, no sizing border, centred on the screen (so the
// position passed is ignored).
constexpr uint32_t WindowFlags = 0xCA0001;
constexpr int32_t ClientWidth = 200;
constexpr int32_t ClientHeight = 300;
constexpr int32_t Margin = 5;
constexpr int32_t StatusHeight = 20;
constexpr int32_t LabelWidth = 190;
constexpr int32_t LabelHeight = 17;
constexpr int32_t TotalFromBottom = 45;
constexpr int32_t CounterFromBottom = 25;
constexpr int32_t ListTop = 25;
constexpr int32_t ListSpareHeight = 80;  // the status line above, the two labels below
constexpr uint32_t LabelCentred = 1;     // SS_CENTER
constexpr int32_t PollMilliseconds = 5000;

constexpr int32_t TrayKindRightPress = 1;
constexpr int32_t TrayKindLeftDoubleClick = 2;

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

void ShellBuildWindow() {
    WinOpen(WatcherWindow, 0, 0, ClientWidth, ClientHeight, TitleText, WindowFlags);
    WinSetTopmost(WatcherWindow, 1);
    // The frame may differ from one desktop to the next; the client size is what was asked.
    const int32_t width = WinClientWidth(WatcherWindow);
    const int32_t height = WinClientHeight(WatcherWindow);
    LabelCreate(StatusLabel, Margin, Margin, width - 2 * Margin, StatusHeight, Label1Initial,
                LabelCentred);
    LabelCreate(TotalLabel, Margin, height - TotalFromBottom, LabelWidth, LabelHeight,
                Label3Initial);
    LabelCreate(CounterLabel, Margin, height - CounterFromBottom, LabelWidth, LabelHeight,
                Label4Initial);
    ListBoxCreate(UserList, Margin, ListTop, width - 2 * Margin, height - ListSpareHeight);
    WinAddTimer(WatcherWindow, PollTimer, PollMilliseconds);
    TrayAdd(WatcherTray, WinHandle(WatcherWindow),
            ImageFromMemory(IconImage, IconIdle, IconIdleSize));
}

void ShellStartUp() {
    PrivateHeapCreate();
    ToolkitStartUp();
    WatcherInit();
    SoundInit();
    ShellBuildWindow();
    StartPoll();
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
