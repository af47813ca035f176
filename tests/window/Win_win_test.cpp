// Real windows under Wine: what the program's window looks like, and which events the wait
// delivers for which messages.
#include <atomic>
#include <cstring>
#include <thread>

#include "tests/window/WindowTestSupport.h"

static ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new WindowToolkitEnvironment);

constexpr uint32_t WatcherFlags = 0xCA0001;
// "следим за форумом"
constexpr char WatcherTitle[] = "\xF1\xEB\xE5\xE4\xE8\xEC \xE7\xE0 \xF4\xEE\xF0\xF3\xEC\xEE\xEC";

static LONG_PTR Style(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWL_STYLE); }
static LONG_PTR ExStyle(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWL_EXSTYLE); }

// Windows with a caption are never narrower than the system's minimum tracking width (about
// 110 pixels), so the test windows are wider than that.

// Opens window 0 as the program does and swallows the events that showing it makes.
class WatcherWindow : public ::testing::Test {
protected:
    void SetUp() override {
        handle = reinterpret_cast<HWND>(WinOpen(0, 0, 0, 200, 300, WatcherTitle, WatcherFlags));
        ASSERT_NE(handle, nullptr);
        PumpFor(100);
    }
    void TearDown() override { WinClose(0); }
    HWND handle = nullptr;
};

TEST_F(WatcherWindow, HasExactClientSizeCaptionAndNoSizingFrame) {
    EXPECT_EQ(WinClientWidth(0), 200);
    EXPECT_EQ(WinClientHeight(0), 300);
    RECT client;
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 300);

    const LONG_PTR style = Style(handle);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(ExStyle(handle) & WS_EX_TOOLWINDOW);

    char title[64] = {};
    GetWindowTextA(handle, title, sizeof title);
    EXPECT_STREQ(title, WatcherTitle);
    char className[64] = {};
    GetClassNameA(handle, className, sizeof className);
    EXPECT_STREQ(className, "WindowClass_0");
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(handle, "TK_WindowID")), 1);
    EXPECT_EQ(WinHandle(0), handle);
}

TEST_F(WatcherWindow, IsCentredOnScreen) {
    RECT r;
    GetWindowRect(handle, &r);
    const int outerWidth = r.right - r.left;
    const int outerHeight = r.bottom - r.top;
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2);
}

TEST_F(WatcherWindow, TopmostCanBeSetAndReleased) {
    WinSetTopmost(0, 1);
    EXPECT_TRUE(ExStyle(handle) & WS_EX_TOPMOST);
    WinSetTopmost(0, 0);
    EXPECT_FALSE(ExStyle(handle) & WS_EX_TOPMOST);
}

TEST_F(WatcherWindow, CloseRequestsLeaveTheWindowOpen) {
    // The close box goes through the system menu command.
    PostMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    auto events = PumpFor(150);
    EXPECT_EQ(CountCode(events, EventClose), 1);
    EXPECT_TRUE(IsWindow(handle));

    // A posted WM_CLOSE is retrieved as message 16 and then queued as the event 16.
    PostMessageA(handle, WM_CLOSE, 0, 0);
    events = PumpFor(150);
    EXPECT_EQ(CountCode(events, EventClose), 2);
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(WinEventWindow(), 0);
}

TEST_F(WatcherWindow, MovesBeforeAWaitMakeOneEvent) {
    for (int i = 1; i <= 5; ++i)
        SetWindowPos(handle, nullptr, 10 * i, 10 * i, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const auto events = PumpFor(150);
    EXPECT_EQ(CountCode(events, EventMoved), 1);
}

TEST_F(WatcherWindow, SizeStateChangesComeInOrder) {
    ShowWindow(handle, SW_MINIMIZE);
    auto events = PumpFor(200);
    ASSERT_GE(FindCode(events, EventMinimised), 0);
    EXPECT_EQ(FindCode(events, EventSized), -1) << "minimising reports no new size";

    ShowWindow(handle, SW_RESTORE);
    events = PumpFor(200);
    const int restored = FindCode(events, EventRestored);
    ASSERT_GE(restored, 0);
    EXPECT_GT(FindCode(events, EventSized, restored), restored);

    ShowWindow(handle, SW_MAXIMIZE);
    events = PumpFor(200);
    const int maximised = FindCode(events, EventMaximised);
    ASSERT_GE(maximised, 0);
    EXPECT_GT(FindCode(events, EventSized, maximised), maximised);

    ShowWindow(handle, SW_RESTORE);
    events = PumpFor(200);
    EXPECT_GE(FindCode(events, EventRestored), 0);
}

TEST_F(WatcherWindow, TrayMouseActionsBecomeTrayEventsWithKinds) {
    struct TrayCase {
        UINT mouse;
        int32_t kind;  // -1: no tray event
    };
    const TrayCase cases[] = {
        {WM_LBUTTONDOWN, 0}, {WM_RBUTTONDOWN, 1}, {WM_LBUTTONDBLCLK, 2}, {WM_RBUTTONDBLCLK, 3},
        {WM_MOUSEMOVE, -1},  {WM_LBUTTONUP, -1},  {WM_RBUTTONUP, -1},    {WM_MBUTTONDOWN, -1},
    };
    for (const TrayCase& c : cases) {
        PostMessageA(handle, TrayCallbackMsg, 7, static_cast<LPARAM>(c.mouse));
        // The callback itself is no event: the wait returns its number, then the re-post.
        EXPECT_EQ(WinWaitEvent(), static_cast<int32_t>(TrayCallbackMsg)) << c.mouse;
        const int32_t code = WinWaitEvent();
        if (c.kind < 0) {
            EXPECT_EQ(code, static_cast<int32_t>(TrayEventMsg)) << c.mouse;
            EXPECT_EQ(WinEventKind(), -1) << c.mouse;
        } else {
            EXPECT_EQ(code, EventTray) << c.mouse;
            EXPECT_EQ(WinEventKind(), c.kind) << c.mouse;
            EXPECT_EQ(WinEventObject(), 7) << c.mouse;
        }
    }
}

TEST_F(WatcherWindow, EventDetailsStayPutUntilTheNextWait) {
    PostMessageA(handle, TrayEventMsg, 7, WM_LBUTTONDBLCLK);
    ASSERT_EQ(WinWaitEvent(), EventTray);
    // Handled outside the wait, as messages sent by other threads are: changes nothing seen.
    SendMessageA(handle, TrayEventMsg, 9, WM_RBUTTONDOWN);
    SendMessageA(handle, WM_TIMER, 6, 0);
    EXPECT_EQ(WinEventKind(), 2);
    EXPECT_EQ(WinEventKind(), 2);
    EXPECT_EQ(WinEventObject(), 7);
}

TEST_F(WatcherWindow, TimerFiresWithItsNumberAndNoKind) {
    ASSERT_NE(WinAddTimer(0, 6, 30), 0u);
    // Adding the same number again restarts that timer rather than adding a second one.
    ASSERT_NE(WinAddTimer(0, 6, 30), 0u);
    const Delivered fired = WaitForCode(EventTimerFired);
    EXPECT_EQ(fired.code, EventTimerFired);
    EXPECT_EQ(fired.object, 6);
    EXPECT_EQ(fired.kind, -1);
    KillTimer(handle, 6);
}

TEST_F(WatcherWindow, CommandsReportByTheirSource) {
    HWND button = CreateWindowExA(0, "Button", "b", WS_CHILD, 0, 0, 10, 10, handle,
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(77)), nullptr,
                                  nullptr);
    HWND commandButton = CreateWindowExA(0, "Button", "c", WS_CHILD, 0, 0, 10, 10, handle,
                                         reinterpret_cast<HMENU>(static_cast<intptr_t>(-10000)),
                                         nullptr, nullptr);
    struct CommandCase {
        const char* source;
        WPARAM wParam;
        HWND control;
        int32_t code, object, kind;
    };
    const CommandCase cases[] = {
        {"menu", MAKEWPARAM(501, 0), nullptr, EventCommand, 501, -1},
        {"accelerator", MAKEWPARAM(502, 1), nullptr, EventCommand, 502, -1},
        {"control", MAKEWPARAM(77, BN_CLICKED), button, EventControl, 77, BN_CLICKED},
        {"command control", MAKEWPARAM(503, 4), commandButton, EventCommand, 503, 4},
    };
    for (const CommandCase& c : cases) {
        PostMessageA(handle, WM_COMMAND, c.wParam, reinterpret_cast<LPARAM>(c.control));
        EXPECT_EQ(WinWaitEvent(), c.code) << c.source;
        EXPECT_EQ(WinEventObject(), c.object) << c.source;
        EXPECT_EQ(WinEventKind(), c.kind) << c.source;
    }
    DestroyWindow(button);
    DestroyWindow(commandButton);
}

TEST_F(WatcherWindow, SmallIconCanBeSetFromAWorker) {
    HICON big = reinterpret_cast<HICON>(SendMessageA(handle, WM_GETICON, ICON_BIG, 0));
    HICON icon = LoadIconA(nullptr, IDI_WARNING);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        EXPECT_EQ(WinSetIcon(WinHandle(0), reinterpret_cast<intptr_t>(icon)), 0);
        done = true;
        PostMessageA(handle, WM_NULL, 0, 0);
    });
    PumpUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(handle, WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(handle, WM_GETICON, ICON_BIG, 0)), big);
}

TEST_F(WatcherWindow, ReopeningANumberClosesTheOldWindow) {
    HWND second = reinterpret_cast<HWND>(WinOpen(0, 10, 10, 150, 60, "again", WS_CAPTION));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(WinHandle(0), second);
    EXPECT_EQ(WinClientWidth(0), 150);
    handle = second;
}

TEST(WinOpen, FlagsDecideStyleAndShowState) {
    struct FlagCase {
        uint32_t flags;
        LONG_PTR styleSet, styleClear, exSet;
        bool visible, iconic, zoomed;
    };
    const FlagCase cases[] = {
        {0, WS_CAPTION, 0, 0, true, false, false},                      // caption all the same
        {0x10000000, WS_CAPTION, WS_VISIBLE, 0, false, false, false},   // hidden
        {0x4 | WS_MAXIMIZEBOX, WS_CAPTION, WS_MAXIMIZEBOX, WS_EX_TOOLWINDOW, true, false, false},
        {0x8 | WS_OVERLAPPEDWINDOW, WS_THICKFRAME | WS_MAXIMIZEBOX, 0, 0, true, false, false},
        {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, WS_MINIMIZE, 0, 0, true, true, false},
        {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, WS_MAXIMIZE, 0, 0, true, false, true},
    };
    for (const FlagCase& c : cases) {
        HWND hwnd = reinterpret_cast<HWND>(WinOpen(5, 20, 20, 120, 90, nullptr, c.flags));
        ASSERT_NE(hwnd, nullptr) << std::hex << c.flags;
        EXPECT_EQ(Style(hwnd) & c.styleSet, c.styleSet) << std::hex << c.flags;
        EXPECT_EQ(Style(hwnd) & c.styleClear, 0) << std::hex << c.flags;
        EXPECT_EQ(ExStyle(hwnd) & c.exSet, c.exSet) << std::hex << c.flags;
        EXPECT_EQ(IsWindowVisible(hwnd) != 0, c.visible) << std::hex << c.flags;
        EXPECT_EQ(IsIconic(hwnd) != 0, c.iconic) << std::hex << c.flags;
        EXPECT_EQ(IsZoomed(hwnd) != 0, c.zoomed) << std::hex << c.flags;
        if (!c.iconic && !c.zoomed) {
            EXPECT_EQ(WinClientWidth(5), 120) << std::hex << c.flags;
            EXPECT_EQ(WinClientHeight(5), 90) << std::hex << c.flags;
        }
        WinClose(5);
        EXPECT_FALSE(IsWindow(hwnd));
        PumpFor(30);
    }
}

TEST(WinOpen, CentresOnParentOrShrinksToTheScreen) {
    HWND parent = reinterpret_cast<HWND>(WinOpen(1, 100, 100, 400, 300, "parent", WS_CAPTION | 0x8));
    ASSERT_NE(parent, nullptr);
    HWND child = reinterpret_cast<HWND>(
        WinOpen(2, 0, 0, 200, 50, "child", WS_CAPTION | 0x2 | 0x8, parent));
    ASSERT_NE(child, nullptr);
    RECT pr, cr;
    GetWindowRect(parent, &pr);
    GetWindowRect(child, &cr);
    EXPECT_EQ(cr.left, pr.left + ((pr.right - pr.left) - (cr.right - cr.left)) / 2);
    EXPECT_EQ(cr.top, pr.top + ((pr.bottom - pr.top) - (cr.bottom - cr.top)) / 2);

    const int sw = GetSystemMetrics(SM_CXSCREEN);
    const int sh = GetSystemMetrics(SM_CYSCREEN);
    HWND huge = reinterpret_cast<HWND>(WinOpen(3, 0, 0, sw * 2, sh * 2, "huge", WS_CAPTION | 0x1 | 0x8));
    ASSERT_NE(huge, nullptr);
    RECT hr;
    GetWindowRect(huge, &hr);
    EXPECT_EQ(hr.left, 0);
    EXPECT_EQ(hr.top, 0);
    EXPECT_LE(hr.right - hr.left, sw);
    WinClose(2);
    WinClose(1);
    WinClose(3);
    PumpFor(30);
}

TEST(WinOpen, IgnoredPositionLetsTheSystemPlaceTheWindow) {
    HWND hwnd = reinterpret_cast<HWND>(WinOpen(6, -65535, 40, 150, 60, "default", WS_CAPTION | 0x8));
    ASSERT_NE(hwnd, nullptr);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_GT(r.left, -1000) << "taken literally, the window would sit far off the screen";
    EXPECT_EQ(WinClientWidth(6), 150);
    WinClose(6);
}

TEST(WinOpen, AutomaticNumberIsReturnedAndUsable) {
    const intptr_t number = WinOpen(-1, 0, 0, 180, 40, "auto", WS_CAPTION | 0x8);
    ASSERT_GT(number, 0);
    const auto n = static_cast<int32_t>(number);
    HWND hwnd = WinHandle(n);
    ASSERT_NE(hwnd, nullptr);
    char className[64] = {};
    GetClassNameA(hwnd, className, sizeof className);
    EXPECT_EQ(std::string(className), "WindowClass_" + std::to_string(n));
    EXPECT_EQ(WinClientWidth(n), 180);
    WinClose(n);
    EXPECT_EQ(WinHandle(n), nullptr);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(WinOperations, NumbersThatNameNoWindowDoNothing) {
    for (int32_t number : {99, -1, -5, 1 << 30, 0x7FFFFFFF}) {
        EXPECT_EQ(WinHandle(number), nullptr) << number;
        EXPECT_EQ(WinClientWidth(number), 0) << number;
        EXPECT_EQ(WinClientHeight(number), 0) << number;
        EXPECT_EQ(WinAddTimer(number, 1, 10), 0u) << number;
        WinSetTopmost(number, 1);
        WinClose(number);
    }
    EXPECT_EQ(WinSetIcon(nullptr, 0), 0);
}

// Last: it closes every window.
TEST(WinEnd, ClosesEveryWindow) {
    HWND a = reinterpret_cast<HWND>(WinOpen(0, 0, 0, 50, 50, "a", WS_CAPTION));
    HWND b = reinterpret_cast<HWND>(WinOpen(40, 0, 0, 50, 50, "b", WS_CAPTION));
    ASSERT_TRUE(a && b);
    WinEnd();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(WinHandle(40), nullptr);
}
