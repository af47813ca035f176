#include "toolkit/window/Win.h"

#include <richedit.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/window/EventQueue.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Properties.h"
#include "toolkit/window/WinLogic.h"

// The pure flag decoding and tray kinds keep <windows.h> out; they must agree with it.
static_assert(WinStyleCaption == WS_CAPTION && WinStyleMaximize == WS_MAXIMIZE &&
                  WinStyleMinimize == WS_MINIMIZE && WinFlagHidden == WS_VISIBLE &&
                  WinExStyleToolWindow == WS_EX_TOOLWINDOW,
              "window styles as <windows.h> numbers them");

using WindowHook = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using EraseHook = LRESULT (*)(HDC, HWND);

struct WindowRecord {
    HWND handle;                // 0 marks a free slot
    ACCEL* acceleratorEntries;  // private-heap block of acceleratorCount entries
    HACCEL acceleratorTable;
    WindowHook windowHook;  // none in this program
    int32_t acceleratorCount;
    HBRUSH backgroundBrush;  // 0: the class background
    HWND mdiClient;          // 0 for every window WinOpen makes
    EraseHook eraseHook;     // none in this program
    uint16_t minWidth;       // 0: the system's limit
    uint16_t minHeight;
    uint16_t maxWidth;
    uint16_t maxHeight;
    int32_t sizeState;  // 1 while minimised or maximised
};
static_assert(std::is_trivially_copyable<WindowRecord>::value,
              "slots are zero-filled and move when the table grows");

struct EventFields {
    int32_t object;
    int32_t window;
    int32_t kind;
    int32_t pendingCode;
    WPARAM wParam;
    LPARAM lParam;
};

struct EventData {
    void* inner;
};

struct EventState {
    EventFields live;
    EventFields snapshot;  // what the queries read, fixed from one wait to the next
    EventQueue queue;
    WindowHook processHook;  // none in this program
    EventData* eventData;    // never attached in this program
};

constexpr int32_t WindowGrowthStep = 16;
constexpr const char* ClassNameFormat = WinClassNameFormat;
constexpr size_t ClassNameSize = 32;
constexpr WORD FocusNextCommand = 64001;
constexpr WORD FocusPreviousCommand = 64002;
constexpr BYTE TabNextVirt = FVIRTKEY | FNOINVERT;
constexpr BYTE TabPreviousVirt = FVIRTKEY | FNOINVERT | FSHIFT;
constexpr int32_t AcceleratorCount = 2;
constexpr WORD ProgramIconResource = 1;
constexpr int32_t GadgetCommandId = -10000;  // controls that report as menu commands
constexpr int32_t NoWindow = -1;
constexpr int32_t NoKind = -1;
constexpr char RichClassPrefix[] = "Rich";
constexpr char MdiChildClass[] = "MDI_ChildClass";

static ObjectTable* windowTable;
static EventState* events;
static HICON classIcon;
static HCURSOR classCursor;

// The live-sizing loop replaces the system's modal sizing loop for windows with a sizing
// border, so that events keep flowing while the user drags a frame. No window of this program
// has a sizing border, so the handler takes nothing and the system's loop stays in charge.
struct LiveSizing {
    HWND window;
    int32_t active;
};
static LiveSizing* liveSizing;

static bool LiveSizingTakes(HWND, UINT, WPARAM, LPARAM, LRESULT*) { return false; }

static WindowRecord* RecordOf(int32_t number) {
    return static_cast<WindowRecord*>(ObjectTableGet(windowTable, number));
}

static HINSTANCE ModuleInstance() { return GetModuleHandleA(nullptr); }

static void FormatClassName(char (&name)[ClassNameSize], int32_t number) {
    snprintf(name, sizeof name, ClassNameFormat, static_cast<int>(number));
}

static int32_t PropertyNumber(HWND hwnd) {
    const auto value = reinterpret_cast<intptr_t>(GetPropA(hwnd, WindowIdProperty));
    return value ? static_cast<int32_t>(value - 1) : NoWindow;
}

// Controls and other children belong to the toolkit window that contains them.
static int32_t OwningWindowNumber(HWND hwnd) {
    for (HWND h = hwnd; h; h = GetParent(h)) {
        const int32_t number = PropertyNumber(h);
        if (number != NoWindow)
            return number;
    }
    return NoWindow;
}

static bool IsMdiChild(const WindowRecord* record) { return record->mdiClient != nullptr; }

void WinInit() {
    windowTable = ObjectTableCreate(sizeof(WindowRecord), WindowGrowthStep, WinClose);
    events = static_cast<EventState*>(PrivateAlloc(sizeof(EventState)));
    classIcon = LoadIconA(ModuleInstance(), MAKEINTRESOURCEA(ProgramIconResource));
    classCursor = LoadCursorA(nullptr, IDC_ARROW);
    liveSizing = static_cast<LiveSizing*>(PrivateAlloc(sizeof(LiveSizing)));
}

static void FreeEventData() {
    if (!events || !events->eventData)
        return;
    PrivateFree(events->eventData->inner);
    PrivateFree(events->eventData);
    events->eventData = nullptr;
}

void WinEnd() {
    ObjectTableReleaseAll(windowTable);
    FreeEventData();
}

// ---------------------------------------------------------------------------------------------
// Opening and closing

static void RegisterWindowClass(const char* className) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ToolkitWindowProc;
    wc.hInstance = ModuleInstance();
    wc.hIcon = classIcon;
    wc.hCursor = classCursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = className;
    // A class of this name left registered by an earlier window serves as well.
    RegisterClassA(&wc);
}

struct Placement {
    int32_t x, y, width, height;
};

static Placement PlaceWindow(const WinOpenStyle& decoded, int32_t x, int32_t y, int32_t innerWidth,
                             int32_t innerHeight, HWND parent) {
    RECT r{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&r, decoded.style, FALSE, decoded.exStyle);
    Placement p{x, y, r.right - r.left, r.bottom - r.top};
    if ((x == WinIgnorePosition || y == WinIgnorePosition) && decoded.centre == WinCentre::None) {
        p.x = CW_USEDEFAULT;
        p.y = CW_USEDEFAULT;
    }
    if (decoded.centre == WinCentre::Screen) {
        p.x = WinCentreOnScreen(GetSystemMetrics(SM_CXSCREEN), &p.width);
        p.y = WinCentreOnScreen(GetSystemMetrics(SM_CYSCREEN), &p.height);
    } else if (decoded.centre == WinCentre::Parent) {
        HWND reference = parent ? parent : GetActiveWindow();
        RECT pr;
        if (reference && GetWindowRect(reference, &pr)) {
            p.x = WinCentreOnSpan(pr.left, pr.right, p.width);
            p.y = WinCentreOnSpan(pr.top, pr.bottom, p.height);
        }
    }
    return p;
}

static void ShowOpenedWindow(HWND hwnd, WinShow show) {
    switch (show) {
    case WinShow::Hidden:
        break;
    case WinShow::Maximised:
        ShowWindow(hwnd, SW_MAXIMIZE);
        break;
    case WinShow::Minimised:
        ShowWindow(hwnd, SW_SHOWMINIMIZED);
        break;
    case WinShow::Normal:
        ShowWindow(hwnd, SW_SHOWNORMAL);
        break;
    }
}

static void BuildAccelerators(WindowRecord* record) {
    auto* entries = static_cast<ACCEL*>(PrivateAlloc(sizeof(ACCEL) * AcceleratorCount));
    if (!entries)
        return;  // the window simply has no Tab navigation
    entries[0] = ACCEL{TabNextVirt, VK_TAB, FocusNextCommand};
    entries[1] = ACCEL{TabPreviousVirt, VK_TAB, FocusPreviousCommand};
    record->acceleratorEntries = entries;
    record->acceleratorTable = CreateAcceleratorTableA(entries, AcceleratorCount);
    record->acceleratorCount = AcceleratorCount;
}

intptr_t WinOpen(int32_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                 const char* title, uint32_t flags, HWND parent) {
    if (!windowTable)
        return 0;
    int32_t chosen = number;
    void* claimed = ObjectTableClaim(windowTable, number, &chosen);
    if (!claimed)
        return 0;
    char className[ClassNameSize];
    FormatClassName(className, chosen);
    RegisterWindowClass(className);

    const WinOpenStyle decoded = WinDecodeFlags(flags);
    const Placement at = PlaceWindow(decoded, x, y, innerWidth, innerHeight, parent);
    HWND hwnd =
        CreateWindowExA(decoded.exStyle, className, title ? title : "", decoded.style, at.x, at.y,
                        at.width, at.height, parent, nullptr, ModuleInstance(), nullptr);
    if (!hwnd) {
        UnregisterClassA(className, ModuleInstance());
        ObjectTableRemove(windowTable, chosen);
        return 0;
    }
    // Creation sends messages whose handlers might open windows and so move the slot array:
    // the claimed record is found again by its number.
    auto* record = static_cast<WindowRecord*>(ObjectTableRecordOf(windowTable, chosen));
    record->handle = hwnd;
    SetPropA(hwnd, WindowIdProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(chosen) + 1));
    ShowOpenedWindow(hwnd, decoded.show);
    record = RecordOf(chosen);
    if (!record)
        return 0;  // closed while it was being shown
    record->sizeState = decoded.sizeState ? 1 : 0;
    BuildAccelerators(record);
    record->mdiClient = nullptr;
    if (decoded.becomesGadgetParent)
        GadgetParentSet(hwnd);
    return number == AutoNumber ? chosen : reinterpret_cast<intptr_t>(hwnd);
}

void WinClose(int32_t number) {
    WindowRecord* record = RecordOf(number);
    if (!record)
        return;
    HWND hwnd = record->handle;
    HWND owner = GetWindow(hwnd, GW_OWNER);
    if (owner && !IsMdiChild(record))
        SetActiveWindow(owner);
    RemovePropA(hwnd, WindowIdProperty);
    // Drop targets are never registered in this program; the property marks one that was.
    RemovePropA(hwnd, DropAcceptProperty);
    // Copy what the clean-up needs: destroying the window runs code that may move the table.
    const HWND mdiClient = record->mdiClient;
    ACCEL* entries = record->acceleratorEntries;
    HACCEL table = record->acceleratorTable;
    HBRUSH brush = record->backgroundBrush;
    // Clear the record first, so that nothing reached during the destruction finds a window
    // that is going away.
    ObjectTableRemove(windowTable, number);
    if (mdiClient) {
        SendMessageA(mdiClient, WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd), 0);
    } else {
        DestroyWindow(hwnd);
        char className[ClassNameSize];
        FormatClassName(className, number);
        UnregisterClassA(className, ModuleInstance());
    }
    if (entries) {
        PrivateFree(entries);
        DestroyAcceleratorTable(table);
    }
    if (brush)
        DeleteObject(brush);
}

// ---------------------------------------------------------------------------------------------
// Settings and queries

void WinSetTopmost(int32_t number, int32_t on) {
    WindowRecord* record = RecordOf(number);
    if (!record || IsMdiChild(record))
        return;
    SetWindowPos(record->handle, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
}

int32_t WinClientWidth(int32_t number) {
    WindowRecord* record = RecordOf(number);
    RECT r;
    if (!record || !GetClientRect(record->handle, &r))
        return 0;
    return r.right - r.left;
}

int32_t WinClientHeight(int32_t number) {
    WindowRecord* record = RecordOf(number);
    RECT r;
    if (!record || !GetClientRect(record->handle, &r))
        return 0;
    int32_t height = r.bottom - r.top;
    // Callers lay out a window with a menu bar by its height including the bar.
    if (GetMenu(record->handle) && !IsMdiChild(record))
        height += GetSystemMetrics(SM_CYMENU);
    return height;
}

HWND WinHandle(int32_t number) {
    WindowRecord* record = RecordOf(number);
    return record ? record->handle : nullptr;
}

UINT_PTR WinAddTimer(int32_t number, int32_t timer, int32_t milliseconds) {
    WindowRecord* record = RecordOf(number);
    if (!record)
        return 0;
    return SetTimer(record->handle, static_cast<UINT_PTR>(static_cast<uint32_t>(timer)),
                    static_cast<UINT>(milliseconds), nullptr);
}

// Sent, not posted: from a worker the call returns once the main thread has taken the icon,
// which it does inside WinWaitEvent, so the caller may change its image right after.
int32_t WinSetIcon(HWND window, intptr_t icon) {
    SendMessageA(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
    return 0;
}

int32_t WinEventKind() { return events ? events->snapshot.kind : NoKind; }
int32_t WinEventObject() { return events ? events->snapshot.object : 0; }
int32_t WinEventWindow() { return events ? events->snapshot.window : NoWindow; }

void QueueEvent(int32_t code, int32_t window) {
    if (events)
        EventQueuePush(&events->queue, code, window);
}

// ---------------------------------------------------------------------------------------------
// The window procedure

static LRESULT OnSize(HWND hwnd, WindowRecord* record, int32_t number, WPARAM type) {
    // During creation the window has no number yet; there is nothing to report.
    if (PropertyNumber(hwnd) == NoWindow || !record)
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

static LRESULT OnEraseBackground(HWND hwnd, WindowRecord* record, int32_t number, HDC dc) {
    if (!record)
        return NotHandled;
    LRESULT result = NotHandled;
    if (record->backgroundBrush) {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, record->backgroundBrush);
        result = 1;
    } else if (hwnd == record->handle && record->eraseHook) {
        result = record->eraseHook(dc, hwnd);
    }
    QueueEvent(EventRedraw, number);
    return result;
}

static BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
    SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

static LRESULT OnMinMaxInfo(HWND hwnd, const WindowRecord* record, MINMAXINFO* info) {
    if (!record || !info)
        return NotHandled;
    if (record->minWidth)
        info->ptMinTrackSize.x = record->minWidth;
    else if (GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        info->ptMinTrackSize.x = 1;
    if (record->minHeight)
        info->ptMinTrackSize.y = record->minHeight;
    if (record->maxWidth)
        info->ptMaxTrackSize.x = record->maxWidth;
    if (record->maxHeight)
        info->ptMaxTrackSize.y = record->maxHeight;
    return 0;
}

static void SetPending(int32_t code, int32_t object, int32_t kind) {
    events->live.pendingCode = code;
    events->live.object = object;
    events->live.kind = kind;
}

// Tab navigation without a dialog manager: the tab stops are the container's enabled, visible
// descendants with WS_TABSTOP, in window order.
static BOOL CALLBACK SeeTabStop(HWND child, LPARAM walk) {
    if (IsWindowEnabled(child) && IsWindowVisible(child) &&
        (GetWindowLongPtrA(child, GWL_STYLE) & WS_TABSTOP))
        TabWalkSee(reinterpret_cast<TabWalk*>(walk), reinterpret_cast<uintptr_t>(child));
    return TRUE;
}

static bool HasClassName(HWND hwnd, const char* name) {
    char buffer[64];
    return GetClassNameA(hwnd, buffer, sizeof buffer) > 0 && lstrcmpiA(buffer, name) == 0;
}

static void MoveFocus(bool forward) {
    HWND container = GetActiveWindow();
    if (!container)
        return;
    HWND focus = GetFocus();
    HWND current = nullptr;
    if (focus && IsChild(container, focus)) {
        current = focus;
        HWND outermostMdi = nullptr;
        for (HWND h = focus; h && h != container; h = GetParent(h))
            if (HasClassName(h, MdiChildClass))
                outermostMdi = h;
        if (outermostMdi) {
            container = outermostMdi;
            if (outermostMdi == focus)
                current = nullptr;
        }
    }
    TabWalk walk{};
    walk.current = reinterpret_cast<uintptr_t>(current);
    EnumChildWindows(container, SeeTabStop, reinterpret_cast<LPARAM>(&walk));
    const uintptr_t target = forward ? TabWalkNext(&walk) : TabWalkPrevious(&walk);
    if (target)
        SetFocus(reinterpret_cast<HWND>(target));
}

static LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    HWND control = reinterpret_cast<HWND>(lParam);
    if (control && GadgetForward(control, hwnd, WM_COMMAND, wParam, lParam) != NotHandled)
        return 0;
    const int32_t low = LOWORD(wParam);
    const int32_t high = HIWORD(wParam);
    if (control) {
        const auto id = static_cast<int32_t>(GetWindowLongPtrA(control, GWLP_ID));
        if (id == GadgetCommandId)
            SetPending(EventCommand, low, high);
        else
            SetPending(EventControl, id, high);
    } else if (high == 0) {
        SetPending(EventCommand, low, NoKind);
    } else if (low == FocusNextCommand || low == FocusPreviousCommand) {
        MoveFocus(low == FocusNextCommand);
    } else {
        SetPending(EventCommand, low, NoKind);
    }
    return 0;
}

// Any tray action names its icon, even one that makes no event.
static LRESULT OnTrayEvent(WPARAM wParam, LPARAM lParam) {
    const int32_t kind = TrayKindFromMouse(static_cast<uint32_t>(lParam));
    SetPending(kind < 0 ? 0 : EventTray, static_cast<int32_t>(wParam), kind);
    return 0;
}

static LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const int32_t number = OwningWindowNumber(hwnd);
    WindowRecord* record = number == NoWindow ? nullptr : RecordOf(number);
    WindowHook hook = record && record->windowHook ? record->windowHook : events->processHook;
    if (hook) {
        const LRESULT hooked = hook(hwnd, message, wParam, lParam);
        if (hooked != HookPassOn)
            return hooked;
        record = number == NoWindow ? nullptr : RecordOf(number);
    }
    events->live.window = number;
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
        return OnEraseBackground(hwnd, record, number, reinterpret_cast<HDC>(wParam));
    case WM_SYSCOLORCHANGE:
        if (record && !IsMdiChild(record))
            EnumChildWindows(hwnd, SendSysColorChange, 0);
        return NotHandled;
    case WM_GETMINMAXINFO:
        return OnMinMaxInfo(hwnd, record, reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return header ? GadgetForward(header->hwndFrom, hwnd, message, wParam, lParam) : NotHandled;
    }
    case WM_COMMAND:
        return OnCommand(hwnd, wParam, lParam);
    case WM_TIMER:
        if (!record)
            return NotHandled;
        SetPending(EventTimerFired, static_cast<int32_t>(wParam), NoKind);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return GadgetForward(reinterpret_cast<HWND>(lParam), hwnd, message, wParam, lParam);
    case TrayCallbackMsg:
        // Re-posted so that the tray action reaches the program through the wait like any
        // other event, after the shell's call into us has returned.
        PostMessageA(hwnd, TrayEventMsg, wParam, lParam);
        return 0;
    case TrayEventMsg:
        return OnTrayEvent(wParam, lParam);
    case GadgetNotifyMsg:
        SetPending(EventControl, static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
        return 0;
    default:
        return NotHandled;
    }
}

LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    if (!LiveSizingTakes(hwnd, message, wParam, lParam, &result)) {
        // Before WinInit there is no event state to report into; behave as a plain window.
        result = events ? HandleMessage(hwnd, message, wParam, lParam) : NotHandled;
    }
    if (result == NotHandled)
        result = DefWindowProcA(hwnd, message, wParam, lParam);
    SetLastError(0);
    return result;
}

// ---------------------------------------------------------------------------------------------
// The wait

// The key state's high bit, which makes the short negative, tells a key that is down.
static bool IsKeyDown(int key) { return GetKeyState(key) < 0; }

static bool FocusKeepsTab(HWND focus) {
    const bool plainTab =
        IsKeyDown(VK_TAB) && !IsKeyDown(VK_CONTROL) && !IsKeyDown(VK_SHIFT) && !IsKeyDown(VK_MENU);
    char name[8];
    if (plainTab && GetClassNameA(focus, name, sizeof name) >= 4 &&
        strncmp(name, RichClassPrefix, 4) == 0 &&
        !(SendMessageA(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY))
        return true;
    return GetPropA(focus, HotkeyProperty) != nullptr;
}

static HACCEL ActiveAccelerators(HWND active) {
    HWND focus = GetFocus();
    if (focus && FocusKeepsTab(focus))
        return nullptr;
    if (!active)
        return nullptr;
    const int32_t number = PropertyNumber(active);
    if (number == NoWindow)
        return nullptr;
    WindowRecord* record = RecordOf(number);
    return record ? record->acceleratorTable : nullptr;
}

int32_t WinWaitEvent() {
    if (!events)
        return 0;
    FreeEventData();
    events->live.kind = NoKind;
    int32_t code;
    int32_t window;
    if (EventQueuePop(&events->queue, &code, &window)) {
        events->live.window = window;
        events->live.pendingCode = 0;
    } else {
        MSG msg{};
        // Nothing in this program asks the wait to end; a WM_QUIT is reported as its number.
        GetMessageA(&msg, nullptr, 0, 0);
        HWND active = GetActiveWindow();
        HACCEL table = ActiveAccelerators(active);
        if (!table || !TranslateAcceleratorA(active, table, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (events->live.pendingCode) {
            code = events->live.pendingCode;
            events->live.pendingCode = 0;
        } else {
            code = static_cast<int32_t>(msg.message);
            events->live.wParam = msg.wParam;
            events->live.lParam = msg.lParam;
        }
    }
    events->snapshot = events->live;
    return code;
}
