// Real windows under Wine: what the program's window looks like, and which events the wait
// delivers for which messages.
#include <atomic>
#include <string>
#include <thread>

#include "tests/window/WindowTestSupport.h"
#include "toolkit/window/WinLogic.h"

static ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new WindowToolkitEnvironment);

constexpr uint32_t WatcherFlags = 0xCA0001;
// A captioned window that leaves the gadget parent alone.
constexpr uint32_t Plain = WS_CAPTION | WinFlagNoGadgetParent;
// "следим за форумом"
constexpr char WatcherTitle[] = "\xF1\xEB\xE5\xE4\xE8\xEC \xE7\xE0 \xF4\xEE\xF0\xF3\xEC\xEE\xEC";

static LONG_PTR Style(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWL_STYLE); }
static LONG_PTR ExStyle(HWND hwnd) { return GetWindowLongPtrA(hwnd, GWL_EXSTYLE); }
static HWND Open(int32_t number, int32_t w, int32_t h, uint32_t flags, HWND parent = nullptr) {
    return reinterpret_cast<HWND>(WinOpen(number, 100, 100, w, h, "t", flags, parent));
}

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

TEST_F(WatcherWindow, HasExactClientSizeCaptionNoSizingFrameAndSitsCentred) {
    RECT client, outer;
    GetClientRect(handle, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 300);
    GetWindowRect(handle, &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);

    const LONG_PTR watched = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    EXPECT_EQ(Style(handle) & (watched | WS_MAXIMIZEBOX | WS_THICKFRAME), watched);
    EXPECT_FALSE(ExStyle(handle) & WS_EX_TOOLWINDOW);
    char text[64] = {};
    GetWindowTextA(handle, text, sizeof text);
    EXPECT_STREQ(text, WatcherTitle);
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(handle, "TK_WindowID")), 1);

    WinSetTopmost(0, 1);
    EXPECT_TRUE(ExStyle(handle) & WS_EX_TOPMOST);
    WinSetTopmost(0, 0);
    EXPECT_FALSE(ExStyle(handle) & WS_EX_TOPMOST);
}

TEST_F(WatcherWindow, CloseRequestsLeaveTheWindowOpen) {
    // The close box goes through the system menu command.
    PostMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(CountCode(PumpFor(150), EventClose), 1);
    EXPECT_TRUE(IsWindow(handle));
    // A posted WM_CLOSE is retrieved as message 16 and then queued as the event 16.
    PostMessageA(handle, WM_CLOSE, 0, 0);
    EXPECT_EQ(CountCode(PumpFor(150), EventClose), 2);
    EXPECT_TRUE(IsWindow(handle));
    EXPECT_EQ(WinEventWindow(), 0);
}

TEST_F(WatcherWindow, MovesBeforeAWaitMakeOneEvent) {
    for (int i = 1; i <= 5; ++i)
        SetWindowPos(handle, nullptr, 10 * i, 10 * i, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(CountCode(PumpFor(150), EventMoved), 1);
}

TEST_F(WatcherWindow, SizeStateChangesComeInOrder) {
    struct Step { int show; int32_t state; bool sized; };
    const Step steps[] = {{SW_MINIMIZE, EventMinimised, false},  // minimising reports no new size
                          {SW_RESTORE, EventRestored, true},
                          {SW_MAXIMIZE, EventMaximised, true},
                          {SW_RESTORE, EventRestored, true}};
    for (const Step& s : steps) {
        ShowWindow(handle, s.show);
        const Events events = PumpFor(200);
        const int at = FindCode(events, s.state);
        ASSERT_GE(at, 0) << s.state;
        EXPECT_EQ(FindCode(events, EventSized, at) > at, s.sized) << s.state;
    }
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
        EXPECT_EQ(code, c.kind < 0 ? static_cast<int32_t>(TrayEventMsg) : EventTray) << c.mouse;
        EXPECT_EQ(WinEventKind(), c.kind) << c.mouse;
        if (c.kind >= 0) {
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
    const Events events =
        PumpUntil([](const Events& e) { return FindCode(e, EventTimerFired) >= 0; });
    const int at = FindCode(events, EventTimerFired);
    ASSERT_GE(at, 0);
    EXPECT_EQ(events[at].object, 6);
    EXPECT_EQ(events[at].kind, -1);
    KillTimer(handle, 6);
}

TEST_F(WatcherWindow, CommandsReportByTheirSource) {
    auto button = [this](intptr_t id) {
        return CreateWindowExA(0, "Button", "b", WS_CHILD, 0, 0, 10, 10, handle,
                               reinterpret_cast<HMENU>(id), nullptr, nullptr);
    };
    HWND control = button(77), commandControl = button(-10000);
    struct CommandCase {
        const char* source;
        WPARAM wParam;
        HWND control;
        int32_t code, object, kind;
    };
    const CommandCase cases[] = {
        {"menu", MAKEWPARAM(501, 0), nullptr, EventCommand, 501, -1},
        {"accelerator", MAKEWPARAM(502, 1), nullptr, EventCommand, 502, -1},
        {"control", MAKEWPARAM(77, BN_CLICKED), control, EventControl, 77, BN_CLICKED},
        {"command control", MAKEWPARAM(503, 4), commandControl, EventCommand, 503, 4},
    };
    for (const CommandCase& c : cases) {
        PostMessageA(handle, WM_COMMAND, c.wParam, reinterpret_cast<LPARAM>(c.control));
        EXPECT_EQ(WinWaitEvent(), c.code) << c.source;
        EXPECT_EQ(WinEventObject(), c.object) << c.source;
        EXPECT_EQ(WinEventKind(), c.kind) << c.source;
    }
    DestroyWindow(control);
    DestroyWindow(commandControl);
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
    PumpUntil([&](const Events&) { return done.load(); });
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(handle, WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(handle, WM_GETICON, ICON_BIG, 0)), big);
}

TEST_F(WatcherWindow, ReopeningANumberClosesTheOldWindow) {
    HWND second = Open(0, 150, 60, WS_CAPTION);
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
        {WinFlagHidden, WS_CAPTION, WS_VISIBLE, 0, false, false, false},
        {WinFlagToolWindow | WS_MAXIMIZEBOX, WS_CAPTION, WS_MAXIMIZEBOX, WS_EX_TOOLWINDOW, true,
         false, false},
        {Plain | WS_OVERLAPPEDWINDOW, WS_THICKFRAME | WS_MAXIMIZEBOX, 0, 0, true, false, false},
        {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, WS_MINIMIZE, 0, 0, true, true, false},
        {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, WS_MAXIMIZE, 0, 0, true, false, true},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags);
        HWND hwnd = Open(5, 120, 90, c.flags);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(Style(hwnd) & c.styleSet, c.styleSet);
        EXPECT_EQ(Style(hwnd) & c.styleClear, 0);
        EXPECT_EQ(ExStyle(hwnd) & c.exSet, c.exSet);
        EXPECT_EQ(IsWindowVisible(hwnd) != 0, c.visible);
        EXPECT_EQ(IsIconic(hwnd) != 0, c.iconic);
        EXPECT_EQ(IsZoomed(hwnd) != 0, c.zoomed);
        if (!c.iconic && !c.zoomed) {
            EXPECT_EQ(WinClientWidth(5), 120);
            EXPECT_EQ(WinClientHeight(5), 90);
        }
        WinClose(5);
        EXPECT_FALSE(IsWindow(hwnd));
        PumpFor(30);
    }
}

TEST(WinOpen, CentresOnParentOrShrinksToTheScreen) {
    HWND parent = Open(1, 400, 300, Plain);
    ASSERT_NE(parent, nullptr);
    HWND child = Open(2, 200, 50, Plain | WinFlagCentreParent, parent);
    ASSERT_NE(child, nullptr);
    RECT pr, cr;
    GetWindowRect(parent, &pr);
    GetWindowRect(child, &cr);
    EXPECT_EQ(cr.left, pr.left + ((pr.right - pr.left) - (cr.right - cr.left)) / 2);
    EXPECT_EQ(cr.top, pr.top + ((pr.bottom - pr.top) - (cr.bottom - cr.top)) / 2);

    const int sw = GetSystemMetrics(SM_CXSCREEN);
    HWND huge = Open(3, sw * 2, GetSystemMetrics(SM_CYSCREEN) * 2, Plain | WinFlagCentreScreen);
    ASSERT_NE(huge, nullptr);
    RECT hr;
    GetWindowRect(huge, &hr);
    EXPECT_EQ(hr.left, 0);
    EXPECT_EQ(hr.top, 0);
    EXPECT_LE(hr.right - hr.left, sw);
    for (int32_t number : {2, 1, 3}) WinClose(number);
    PumpFor(30);
}

// Taken literally, the ignored position would put the window far off the screen.
TEST(WinOpen, AutomaticNumberIsUsableAndIgnoredPositionLeavesPlacementToTheSystem) {
    const auto n = static_cast<int32_t>(WinOpen(-1, WinIgnorePosition, 40, 180, 40, "auto", Plain));
    ASSERT_GT(n, 0);
    HWND hwnd = WinHandle(n);
    ASSERT_NE(hwnd, nullptr);
    RECT r;
    GetWindowRect(hwnd, &r);
    EXPECT_GT(r.left, -1000);
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
    HWND a = Open(0, 50, 50, WS_CAPTION);
    HWND b = Open(40, 50, 50, WS_CAPTION);
    ASSERT_TRUE(a && b);
    WinEnd();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_EQ(WinHandle(40), nullptr);
}
