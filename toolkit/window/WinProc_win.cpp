// The window procedure every toolkit window shares: window messages turned into events.
#include "toolkit/window/Win.h"

#include "toolkit/window/Gadget.h"
#include "toolkit/window/WinInternal.h"
#include "toolkit/window/WinLogic.h"

// Registered at start-up, so not a constant: the shell broadcasts it when the taskbar comes
// back after Explorer restarted, with every tray icon gone.
static UINT TaskbarCreatedMsg() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

// Controls and other children belong to the toolkit window that contains them.
static int32_t OwningWindowNumber(HWND hwnd) {
    for (HWND h = hwnd; h; h = GetParent(h)) {
        const int32_t number = WindowNumberOf(h);
        if (number != NoWindow)
            return number;
    }
    return NoWindow;
}

static LRESULT OnSize(HWND hwnd, WindowRecord* record, int32_t number, WPARAM type) {
    // During creation the window has no number yet; there is nothing to report.
    if (WindowNumberOf(hwnd) == NoWindow || !record)
        return 1;
    switch (type) {
    case SIZE_MINIMIZED:
        record->sizeState = 1;
        QueueEvent(EventMinimised, number);
        break;
    case SIZE_MAXIMIZED:
        record->sizeState = 1;
        QueueEvent(EventMaximised, number);
        QueueEvent(EventSized, number);
        break;
    case SIZE_RESTORED:
        if (record->sizeState) {
            record->sizeState = 0;
            QueueEvent(EventRestored, number);
        }
        QueueEvent(EventSized, number);
        break;
    default:
        QueueEvent(EventSized, number);
        break;
    }
    return 0;
}

static BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

static LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control && GadgetForward(control, hwnd, WM_COMMAND, wParam, lParam) != NotHandled)
        return 0;
    const int32_t low = LOWORD(wParam);
    const int32_t high = HIWORD(wParam);
    if (control)
        EventReport(EventControl, static_cast<int32_t>(GetWindowLongPtrW(control, GWLP_ID)), high);
    else if (high == 0 || !NavigationCommand(LOWORD(wParam)))  // a menu, or another accelerator
        EventReport(EventCommand, low, NoKind);
    return 0;
}

// Any tray action names its icon, even one that makes no event.
static LRESULT OnTrayEvent(WPARAM wParam, LPARAM lParam) {
    const int32_t kind = TrayKindFromMouse(static_cast<uint32_t>(lParam));
    if (kind == TrayKindNone)
        EventSetObject(static_cast<int32_t>(wParam));
    else
        EventReport(EventTray, static_cast<int32_t>(wParam), kind);
    return 0;
}

static LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const int32_t number = OwningWindowNumber(hwnd);
    WindowRecord* record = number == NoWindow ? nullptr : WindowRecordOf(number);
    EventSetWindow(number);
    switch (message) {
    case WM_MOVE:
        if (number != NoWindow)
            QueueEvent(EventMoved, number);
        return 0;
    case WM_SIZE:
        return OnSize(hwnd, record, number, wParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            QueueEvent(EventActivated, number);
        return 1;
    case WM_CLOSE:
        // The program decides whether a close request ends anything.
        if (number != NoWindow)
            QueueEvent(EventClose, number);
        return 0;
    case WM_ERASEBKGND:
        if (record)
            QueueEvent(EventRedraw, number);
        return NotHandled;
    case WM_SYSCOLORCHANGE:
        // Controls see the change only from their parent.
        if (record)
            EnumChildWindows(hwnd, SendSysColorChange, 0);
        return NotHandled;
    case WM_COMMAND:
        return OnCommand(hwnd, wParam, lParam);
    case WM_TIMER:
        if (!record)
            return NotHandled;
        EventReport(EventTimerFired, static_cast<int32_t>(wParam), NoKind);
        return 0;
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
        return GadgetForward(reinterpret_cast<HWND>(lParam), hwnd, message, wParam, lParam);
    case TrayCallbackMsg:
        // Re-posted so that the tray action reaches the program through the wait like any
        // other event, after the shell's call into us has returned.
        PostMessageW(hwnd, TrayEventMsg, wParam, lParam);
        return 0;
    case TrayEventMsg:
        return OnTrayEvent(wParam, lParam);
    case GadgetNotifyMsg:
        EventReport(EventControl, static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
        return 0;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
        EventModalLoop(true);
        return NotHandled;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
        EventModalLoop(false);
        return NotHandled;
    default:
        if (message == TaskbarCreatedMsg() && message) {
            EventReport(EventTaskbarCreated, 0, NoKind);
            return 0;
        }
        return NotHandled;
    }
}

LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Before WinInit there is no event state to report into; behave as a plain window.
    LRESULT result = EventsReady() ? HandleMessage(hwnd, message, wParam, lParam) : NotHandled;
    if (result == NotHandled)
        result = DefWindowProcW(hwnd, message, wParam, lParam);
    SetLastError(0);
    return result;
}
