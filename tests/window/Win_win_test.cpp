// Real windows and controls under Wine: what the toolkit does beyond what the end-to-end test
// reads from the watcher's own window and the poll test sees inside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Properties.h"
#include "toolkit/window/Win.h"
#include "toolkit/window/WinLogic.h"

namespace {

using Events = std::vector<int32_t>;

// Every event until `code`, for three seconds at most. A thread timer wakes the wait now and
// then; it comes back as a bare WM_TIMER, which a toolkit window's never does.
Events Until(int32_t code) {
    Events seen;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 20, nullptr);
    for (const DWORD start = GetTickCount();
         (seen.empty() || seen.back() != code) && GetTickCount() - start < 3000;) {
        if (const int32_t got = WinWaitEvent(); got != WM_TIMER)
            seen.push_back(got);
    }
    KillTimer(nullptr, watchdog);
    return seen;
}
// Everything a step made: what the wait hands out before a marker posted to this thread, which
// comes back as its bare number.
Events Drain() {
    PostThreadMessageA(GetCurrentThreadId(), WM_APP + 9, 0, 0);
    return Until(WM_APP + 9);
}
template <class T, class U>
int Count(const std::vector<T>& all, const U& one) {
    return int(std::count(all.begin(), all.end(), one));
}
// An event's code with the object and kind the queries tell about it.
using Seen = std::tuple<int32_t, int32_t, int32_t>;
Seen Details(int32_t code) { return {code, WinEventObject(), WinEventKind()}; }

// "Привет" in Windows-1251. This program runs under code page 1252 (see CMakeLists.txt), where
// the A functions would show it in Latin letters.
constexpr char Hello[] = "\xCF\xF0\xE8\xE2\xE5\xF2";
static_assert(sizeof Hello == 7, "one byte per character");
const std::wstring HelloWide = L"\u041F\u0440\u0438\u0432\u0435\u0442";

// Window 0 opened as the watcher opens it, with label 3 and list box 2, settled.
class Watcher : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        WinInit();
        GadgetInit();
    }
    void SetUp() override {
        const uint32_t flags = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WinFlagCentreScreen;
        window = reinterpret_cast<HWND>(WinOpen(0, -5000, -5000, 200, 300, Hello, flags));
        total = HWND(LabelCreate(3, 5, 255, 190, 17, "total"));
        list = HWND(ListBoxCreate(2, 5, 25, 190, 220));
        ASSERT_TRUE(window && total && list);
        Drain();
    }
    void TearDown() override { WinClose(0); }
    HWND window = nullptr, total = nullptr, list = nullptr;
};

// Events made outside the wait, as by messages sent from other threads, change nothing seen
// until the next waits hand them out, each with its own details.
TEST_F(Watcher, EventDetailsStayPutUntilTheNextWait) {
    PostMessageW(window, TrayEventMsg, 7, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WinWaitEvent() == EventTray && WinEventWindow() == 0);
    SendMessageW(window, TrayEventMsg, 9, WM_RBUTTONDOWN);
    SendMessageW(window, WM_TIMER, 6, 0);
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);  // Explorer restarted
    EXPECT_EQ(Details(EventTray), Seen(EventTray, 7, 2));
    // A tray action that makes no event still names its icon.
    PostMessageW(window, TrayEventMsg, 4321, WM_MOUSEMOVE);
    std::vector<Seen> seen;
    for (int i = 0; i < 4; ++i)
        seen.push_back(Details(WinWaitEvent()));
    EXPECT_EQ(seen, (std::vector<Seen>{{EventTray, 9, 1},
                                       {EventTimerFired, 6, -1},
                                       {EventTaskbarCreated, 0, -1},
                                       {TrayEventMsg, 4321, -1}}));
}

// From a label, which is no tab stop, Tab leaves the focus alone and Shift+Tab takes the last.
TEST_F(Watcher, OnlyTheListBoxTakesTheFocusByTab) {
    SetFocus(nullptr);
    PostMessageA(window, WM_KEYDOWN, VK_TAB, 0);  // translated through the window's accelerators
    EXPECT_TRUE(Count(Drain(), EventCommand) == 0 && GetFocus() == list);
    SetFocus(total);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(64002, 1), 0);  // Shift+Tab, translated
    EXPECT_EQ(GetFocus(), list);
}

// The close box only asks, from inside the system command, so no bare WM_CLOSE stands in for
// the event; closing frees the controls' numbers.
TEST_F(Watcher, TheCloseBoxAsksAndClosingFreesTheGadgets) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Count(Until(EventClose), EventClose) == 1 && IsWindow(window));
    EXPECT_TRUE(LabelCreate(3, 0, 0, 9, 9, "") && !IsWindow(total)) << "replaced once made";
    WinClose(0);
    EXPECT_EQ(GadgetGetState(2), -1) << "a gone list box would answer 0";
}

// A press on an item is held for a drag until the release, which selects the item, or until a
// move past the drag threshold. Neither leaves the mouse captured by the list.
TEST_F(Watcher, ListPressesEndWithoutHoldingTheMouse) {
    GadgetAddItem(2, -1, "first");
    GadgetAddItem(2, -1, "second");
    const LPARAM at = MAKELPARAM(10, SendMessageA(list, LB_GETITEMHEIGHT, 0, 0) * 3 / 2);  // item 1
    auto held = [this] { return GetPropA(list, MouseDownProperty) != nullptr; };
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(Count(Drain(), EventControl), 2) << "the release and the selection change";
    EXPECT_TRUE(GadgetGetState(2) == 1 && !held() && !GetCapture());
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, at + GetSystemMetrics(SM_CXDRAG) + 1);  // x moves
    EXPECT_FALSE(held() || GetCapture()) << "after a drag";
}

// Windows-1251 texts under code page 1252, and what the list box adds to the platform's own, on
// the Cyrillic letters a, b and A stand for.
TEST_F(Watcher, TextsInWindows1251AndListItems) {
    ASSERT_EQ(GetACP(), 1252u) << "the point is a code page other than 1251";
    constexpr char a[] = "\xE0", b[] = "\xE1", A[] = "\xC0";
    GadgetSetText(3, Hello);
    GadgetAddItem(2, -1, b);
    GadgetAddItem(2, 0, Hello);
    wchar_t title[16]{}, label[16]{}, item[16]{};
    GetWindowTextW(window, title, 16);
    GetWindowTextW(total, label, 16);
    SendMessageW(list, LB_GETTEXT, 0, LPARAM(item));
    EXPECT_EQ(std::wstring(title) + label + item, HelloWide + HelloWide + HelloWide);
    EXPECT_EQ(GadgetGetItemText(2, 0), std::string(Hello));
    GadgetSetItemData(2, 0, 42);
    EXPECT_EQ(GadgetSetItemText(2, 0, A), 0);
    EXPECT_EQ(GadgetSetItemText(2, 7, b), -1) << "beyond the count";
    EXPECT_EQ(GadgetGetItemData(2, 0), 42) << "kept by set item text";
    std::string row(1 << 20, '\xE0');  // a megabyte row: no fixed buffer on the way in or out
    GadgetAddItem(2, -1, row.c_str());
    EXPECT_TRUE(GadgetGetItemText(2, 0) == std::string(A) &&
                GadgetGetItemText(2, 1) == std::string(b) && GadgetGetItemText(2, 2) == row);
    GadgetSetText(2, a);  // the first match, regardless of case
    EXPECT_TRUE(GadgetGetState(2) == 0 && std::string(GadgetGetText(2)) == A);
    GadgetSetText(2, "\xE2");
    EXPECT_EQ(GadgetGetState(2), -1) << "no match clears the selection";
    GadgetSetColour(3, 2, 7);  // a label's back colour
    HDC dc = GetDC(total);
    EXPECT_TRUE(SendMessageW(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(total)) &&
                GetBkColor(dc) == 7);
    ReleaseDC(total, dc);
}

// The modal handler's view of each event offered, and how the loop is ended once a tick and a
// tray press have been seen.
std::vector<Seen> offered;
std::pair<UINT, WPARAM> ending;
bool OnModalEvent(int32_t code) {
    offered.push_back(Details(code));
    // Sent from inside the handler on the first tick: the press it queues waits for this walk.
    if (code == EventTimerFired && Count(offered, offered.back()) == 1)
        SendMessageW(WinHandle(0), TrayEventMsg, 7, WM_RBUTTONDOWN);
    if (code == EventTray)
        PostMessageW(WinHandle(0), ending.first, ending.second, 0);
    return code != EventTray;  // the press is left for the wait
}

// Ends a loop the handler never heard from, so that the test fails instead of hanging.
void CALLBACK EndLoopAnyway(HWND, UINT, UINT_PTR, DWORD) {
    PostMessageW(WinHandle(0), ending.first, ending.second, 0);
    PostMessageW(WinHandle(0), TrayEventMsg, 7, WM_RBUTTONDOWN);
}

// Dragging the window and its system menu hold the main thread in loops of the system's; timer
// ticks reach the program through the handler meanwhile, and a tray press among them keeps its
// own object and kind, in the handler and in the wait after the loop.
TEST_F(Watcher, ModalLoopsHandEventsToTheHandler) {
    const std::tuple<WPARAM, LPARAM, std::pair<UINT, WPARAM>> loops[] = {
        {SC_MOVE | HTCAPTION, 0, {WM_KEYDOWN, VK_ESCAPE}},  // a drag by the caption
        {SC_KEYMENU, ' ', {WM_CANCELMODE, 0}},              // the system menu
    };
    WinSetModalHandler(OnModalEvent);
    WinAddTimer(0, 6, 10);
    const Seen tick{EventTimerFired, 6, -1}, press{EventTray, 7, 1};
    for (const auto& [command, key, end] : loops) {
        offered.clear();
        ending = end;
        PostMessageW(window, WM_SYSCOMMAND, command, key);
        const UINT_PTR rescue = SetTimer(nullptr, 0, 2000, EndLoopAnyway);
        const Events after = Until(EventTray);
        KillTimer(nullptr, rescue);
        EXPECT_EQ(Details(EventTray), press) << command;
        EXPECT_TRUE(Count(offered, tick) && Count(offered, press))
            << command << ": " << offered.size();
        EXPECT_EQ(Count(after, EventTimerFired), 0) << command << ": ticks went to the handler";
    }
    WinSetModalHandler(nullptr);  // the timer goes with the window
}

// Negative and huge numbers are no different: the object table's own test covers them.
TEST_F(Watcher, UnknownNumbersDoNothing) {
    WinSetTopmost(77, 1);
    WinClose(77);
    GadgetSetText(77, "x");
    GadgetClearItems(77);
    EXPECT_TRUE(!WinHandle(77) && !WinClientWidth(77) && !WinClientHeight(77) &&
                !WinAddTimer(77, 1, 10) && !GadgetAddItem(77, -1, "x"));
}

}  // namespace
