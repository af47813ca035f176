// Opening and closing numbered windows, their settings and queries.
#include "toolkit/window/Win.h"

#include <cstdio>
#include <type_traits>

#include "toolkit/system/ObjectTable.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Properties.h"
#include "toolkit/window/WideText.h"
#include "toolkit/window/WinInternal.h"
#include "toolkit/window/WinLogic.h"

// The pure flag decoding keeps <windows.h> out; it must agree with it.
static_assert(WinStyleCaption == WS_CAPTION && WinStyleMaximize == WS_MAXIMIZE &&
                  WinStyleMinimize == WS_MINIMIZE && WinFlagHidden == WS_VISIBLE &&
                  WinExStyleToolWindow == WS_EX_TOOLWINDOW,
              "window styles as <windows.h> numbers them");
static_assert(std::is_trivially_copyable<WindowRecord>::value,
              "slots are zero-filled and move when the table grows");

constexpr int32_t WindowGrowthStep = 16;
constexpr const char* ClassNameFormat = WinClassNameFormat;
constexpr size_t ClassNameSize = 32;
constexpr WORD ProgramIconResource = 1;

static ObjectTable* windowTable;
static HICON classIcon;
static HCURSOR classCursor;

WindowRecord* WindowRecordOf(int32_t number) {
    return static_cast<WindowRecord*>(ObjectTableGet(windowTable, number));
}

int32_t WindowNumberOf(HWND hwnd) {
    const auto value = reinterpret_cast<intptr_t>(GetPropA(hwnd, WindowIdProperty));
    return value ? static_cast<int32_t>(value - 1) : NoWindow;
}

static HINSTANCE ModuleInstance() { return GetModuleHandleW(nullptr); }

// The name is ASCII, so widening it byte by byte is its conversion.
static void FormatClassName(wchar_t (&name)[ClassNameSize], int32_t number) {
    char narrow[ClassNameSize];
    snprintf(narrow, sizeof narrow, ClassNameFormat, static_cast<int>(number));
    for (size_t i = 0; i < ClassNameSize && (i == 0 || narrow[i - 1]); ++i)
        name[i] = static_cast<unsigned char>(narrow[i]);
}

void WinInit() {
    windowTable = ObjectTableCreate(sizeof(WindowRecord), WindowGrowthStep, WinClose);
    EventInit();
    classIcon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(ProgramIconResource));
    classCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
}

void WinEnd() { ObjectTableReleaseAll(windowTable); }

// A Unicode class, so that the title and the controls' texts are shown as UTF-16 whatever the
// ANSI code page.
static void RegisterWindowClass(const wchar_t* className) {
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ToolkitWindowProc;
    wc.hInstance = ModuleInstance();
    wc.hIcon = classIcon;
    wc.hCursor = classCursor;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = className;
    // A class of this name left registered by an earlier window serves as well.
    RegisterClassW(&wc);
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

intptr_t WinOpen(int32_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                 const char* title, uint32_t flags, HWND parent) {
    if (!windowTable)
        return 0;
    int32_t chosen = number;
    if (!ObjectTableClaim(windowTable, number, &chosen))
        return 0;
    wchar_t className[ClassNameSize];
    FormatClassName(className, chosen);
    RegisterWindowClass(className);

    const WinOpenStyle decoded = WinDecodeFlags(flags);
    const Placement at = PlaceWindow(decoded, x, y, innerWidth, innerHeight, parent);
    const WideText wideTitle(title);
    HWND hwnd = wideTitle.get() ? CreateWindowExW(decoded.exStyle, className, wideTitle.get(),
                                                  decoded.style, at.x, at.y, at.width, at.height,
                                                  parent, nullptr, ModuleInstance(), nullptr)
                                : nullptr;
    if (!hwnd) {
        UnregisterClassW(className, ModuleInstance());
        ObjectTableRemove(windowTable, chosen);
        return 0;
    }
    // Creation sends messages whose handlers might open windows and so move the slot array:
    // the claimed record is found again by its number.
    auto* record = static_cast<WindowRecord*>(ObjectTableRecordOf(windowTable, chosen));
    record->handle = hwnd;
    SetPropA(hwnd, WindowIdProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(chosen) + 1));
    ShowOpenedWindow(hwnd, decoded.show);
    record = WindowRecordOf(chosen);
    if (!record)
        return 0;  // closed while it was being shown
    record->sizeState = decoded.sizeState ? 1 : 0;
    record->acceleratorTable = NavigationCreate();  // without it, simply no Tab navigation
    if (decoded.becomesGadgetParent)
        GadgetParentSet(hwnd);
    return number == AutoNumber ? chosen : reinterpret_cast<intptr_t>(hwnd);
}

void WinClose(int32_t number) {
    WindowRecord* record = WindowRecordOf(number);
    if (!record)
        return;
    HWND hwnd = record->handle;
    HACCEL table = record->acceleratorTable;
    if (HWND owner = GetWindow(hwnd, GW_OWNER))
        SetActiveWindow(owner);
    RemovePropA(hwnd, WindowIdProperty);
    // Clear the record first, so that nothing reached during the destruction finds a window
    // that is going away.
    ObjectTableRemove(windowTable, number);
    DestroyWindow(hwnd);
    wchar_t className[ClassNameSize];
    FormatClassName(className, number);
    UnregisterClassW(className, ModuleInstance());
    if (table)
        DestroyAcceleratorTable(table);
}

void WinSetTopmost(int32_t number, int32_t on) {
    WindowRecord* record = WindowRecordOf(number);
    if (record)
        SetWindowPos(record->handle, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE);
}

int32_t WinClientWidth(int32_t number) {
    WindowRecord* record = WindowRecordOf(number);
    RECT r;
    if (!record || !GetClientRect(record->handle, &r))
        return 0;
    return r.right - r.left;
}

int32_t WinClientHeight(int32_t number) {
    WindowRecord* record = WindowRecordOf(number);
    RECT r;
    if (!record || !GetClientRect(record->handle, &r))
        return 0;
    int32_t height = r.bottom - r.top;
    // Callers lay out a window with a menu bar by its height including the bar.
    if (GetMenu(record->handle))
        height += GetSystemMetrics(SM_CYMENU);
    return height;
}

HWND WinHandle(int32_t number) {
    WindowRecord* record = WindowRecordOf(number);
    return record ? record->handle : nullptr;
}

UINT_PTR WinAddTimer(int32_t number, int32_t timer, int32_t milliseconds) {
    WindowRecord* record = WindowRecordOf(number);
    if (!record)
        return 0;
    return SetTimer(record->handle, static_cast<UINT_PTR>(static_cast<uint32_t>(timer)),
                    static_cast<UINT>(milliseconds), nullptr);
}

// Sent, not posted: from a worker the call returns once the main thread has taken the icon,
// which it does inside WinWaitEvent, so the caller may change its image right after.
int32_t WinSetIcon(HWND window, intptr_t icon) {
    SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
    return 0;
}
