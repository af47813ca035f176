#include "toolkit/window/WinInternal.h"

#include "toolkit/window/WinLogic.h"

constexpr WORD FocusNextCommand = 64001;
constexpr WORD FocusPreviousCommand = 64002;
constexpr BYTE TabNextVirt = FVIRTKEY | FNOINVERT;
constexpr BYTE TabPreviousVirt = FVIRTKEY | FNOINVERT | FSHIFT;

HACCEL NavigationCreate() {
    ACCEL entries[] = {{TabNextVirt, VK_TAB, FocusNextCommand},
                       {TabPreviousVirt, VK_TAB, FocusPreviousCommand}};
    return CreateAcceleratorTableW(entries, sizeof entries / sizeof entries[0]);
}

HACCEL NavigationTableOf(HWND active) {
    const WindowRecord* record = active ? WindowRecordOf(WindowNumberOf(active)) : nullptr;
    return record ? record->acceleratorTable : nullptr;
}

// The tab stops are the active window's enabled, visible descendants with WS_TABSTOP, in window
// order.
static BOOL CALLBACK SeeTabStop(HWND child, LPARAM walk) {
    if (IsWindowEnabled(child) && IsWindowVisible(child) &&
        (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP))
        TabWalkSee(reinterpret_cast<TabWalk*>(walk), reinterpret_cast<uintptr_t>(child));
    return TRUE;
}

bool NavigationCommand(WORD command) {
    if (command != FocusNextCommand && command != FocusPreviousCommand)
        return false;
    HWND container = GetActiveWindow();
    if (!container)
        return true;
    HWND focus = GetFocus();
    TabWalk walk{};
    walk.current = focus && IsChild(container, focus) ? reinterpret_cast<uintptr_t>(focus) : 0;
    EnumChildWindows(container, SeeTabStop, reinterpret_cast<LPARAM>(&walk));
    const uintptr_t target =
        command == FocusNextCommand ? TabWalkNext(&walk) : TabWalkPrevious(&walk);
    if (target)
        SetFocus(reinterpret_cast<HWND>(target));
    return true;
}
