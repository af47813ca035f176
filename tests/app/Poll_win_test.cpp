// The poll cycle in the watcher's own window, against a page server inside the test: what only a
// look from inside the process shows.
#include "app/Poll.h"
#include "LoopbackServer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>

#include "app/Scanner.h"
#include "app/Shell.h"
#include "app/Texts.h"
#include "app/Watcher.h"
#include "app/resources/Resources.h"
#include "toolkit/Toolkit.h"
#include "toolkit/media/Image.h"
#include "toolkit/system/Heap.h"
#include "toolkit/window/Win.h"

const char* forumSiteRoot = "";  // the server below, once it listens
WatcherTiming watcherTiming = ProductTiming;

namespace {

constexpr DWORD WaitLimit = 20000;  // ms; reached only when something is broken

std::string Page(const std::string& total, int users) {
    std::string line = std::string(TotalMarker) + " <b>" + total + "</b>\r\n" + UsersMarker;
    for (int i = 0; i < users; ++i)
        line += " <a href=\"u" + std::to_string(i) + "\">user" + std::to_string(i) + "</a>,";
    return line + "</span></td>\r\n";
}

HWND Control(int32_t number) { return GetDlgItem(WinHandle(WatcherWindow), number); }

// What the cycle asked of the controls: stamps and totals set on labels 1 and 3, list emptyings
// and rows.
using Asked = std::array<int, 4>;
Asked asked;
WNDPROC controlProcs[3];

LRESULT CALLBACK CountAsks(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const int which = hwnd == Control(StatusLabel) ? 0 : hwnd == Control(TotalLabel) ? 1 : 2;
    asked[0] += which == 0 && message == WM_SETTEXT;
    asked[1] += which == 1 && message == WM_SETTEXT;
    asked[2] += message == LB_RESETCONTENT;
    asked[3] += message == LB_INSERTSTRING;
    return CallWindowProcA(controlProcs[which], hwnd, message, wParam, lParam);
}

Asked Cycle(const std::string& next) {
    servedPage = next;
    asked = Asked{};
    PollForum(0);
    return asked;
}

class PollForumTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A temporary folder of our own, so no other program's page gets in the way.
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        const std::string folder =
            std::string(temp) + "poll-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        SetEnvironmentVariableA("TMP", folder.c_str());
        ASSERT_TRUE(PrivateHeapCreate());
        ToolkitStartUp();
        ASSERT_TRUE(WatcherInit());
        ASSERT_TRUE(WatcherFindPageFile());
        ASSERT_TRUE(ShellBuildWindow());
        static const std::string root = ServeLoopback() + "200/0/0/";
        forumSiteRoot = root.c_str();
        const int32_t numbers[] = {StatusLabel, TotalLabel, UserList};
        for (int i = 0; i < 3; ++i)
            controlProcs[i] = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
                Control(numbers[i]), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountAsks)));
    }
};

}  // namespace

// A page like the last one costs the window nothing but the stamp: the list keeps the place the
// user scrolled to, and the labels are not painted again. The list paints nothing while a page
// refills it, and must come out of that: only then does it work its scroll range out over every
// row.
TEST_F(PollForumTest, QuietCyclesAskTheWindowForTheStampOnly) {
    const struct {
        const char* what;
        std::string page;
        Asked want;
    } cases[] = {
        {"first page", Page("100", 2), {1, 1, 1, 3}},
        {"the same page", Page("100", 2), {1, 0, 0, 0}},
        {"one user more", Page("100", 3), {1, 0, 1, 4}},
        {"a new total", Page("101", 3), {1, 1, 0, 0}},
        {"a long list", Page("101", 200), {1, 0, 1, 201}},
        {"a shorter long list", Page("101", 100), {1, 0, 1, 101}},
        {"no users line", std::string(TotalMarker) + " <b>101</b>\r\n", {1, 0, 1, 0}},
        {"still none", std::string(TotalMarker) + " <b>101</b>\r\n", {1, 0, 0, 0}},
    };
    SCROLLINFO range = {sizeof range, SIF_RANGE, 0, 0, 0, 0, 0};
    for (const auto& c : cases) {
        EXPECT_EQ(Cycle(c.page), c.want) << c.what;
        if (c.want[3] > 100) {
            EXPECT_EQ(GetScrollInfo(Control(UserList), SB_VERT, &range) ? range.nMax : -1,
                      c.want[3] - 1)
                << c.what;
        }
    }
    // Image 8 is decoded anew for every use, which destroys the icon decoded before: the window
    // keeps a copy of its own, alive until the next one replaces it.
    auto icon =
        reinterpret_cast<HICON>(SendMessageA(WinHandle(WatcherWindow), WM_GETICON, ICON_SMALL, 0));
    ImageFromMemory(IconImage, IconIdle, IconIdleSize);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info)) << "the window shows a destroyed icon";
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    ShellAcknowledge();
}

// The page is read whole before the cycle asks for the watcher lock, so the window never waits for
// a scan: here the rows are in while the lock is still held.
TEST_F(PollForumTest, ThePageIsReadBeforeTheWatcherLockIsTaken) {
    WatcherLock(LockWaiter::MainThread);
    servedPage = Page("300", 500);
    std::atomic<bool> done{false};
    std::thread cycle([&] { done = PollForum(0) == 0; });
    const DWORD deadline = GetTickCount() + WaitLimit;
    while (watcher.pageRows.count != 501 && GetTickCount() < deadline)
        Sleep(10);
    EXPECT_EQ(watcher.pageRows.count, 501);
    WatcherUnlock();
    // The cycle now fills the list, which this thread owns: its messages are handled here.
    for (MSG message; !done && GetTickCount() < deadline + WaitLimit;)
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    cycle.join();
}

// The acknowledgement waits for a cycle that holds the watcher lock while that cycle waits for
// the main thread to handle what it sent: both must get through.
TEST_F(PollForumTest, AcknowledgingWaitsForACycleWithoutDeadlock) {
    HANDLE locked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread cycle([&] {
        WatcherLock(LockWaiter::Worker);
        SetEvent(locked);
        SetWindowTextA(Control(StatusLabel), "from the cycle");  // sent to the main thread
        WatcherUnlock();
    });
    WaitForSingleObject(locked, WaitLimit);
    ShellAcknowledge();
    cycle.join();
    char text[64] = {};
    GetWindowTextA(Control(CounterLabel), text, sizeof text);
    EXPECT_STREQ(text, Label4Acknowledged);
    CloseHandle(locked);
}

LRESULT CALLBACK RefuseWindows(int code, WPARAM wParam, LPARAM lParam) {
    return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}

// A watcher whose window cannot be made says so, instead of waiting for events that never come.
// Last: it takes window 0 away.
TEST_F(PollForumTest, StartUpWithoutAWindowFails) {
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseWindows, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(ShellStartUp(), StartUp::NoWindow);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(WinHandle(WatcherWindow), nullptr);
}
