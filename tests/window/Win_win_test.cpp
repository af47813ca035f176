// Real windows and controls under Wine: what the toolkit does beyond what the end-to-end test
// reads from the watcher's own window and the poll test sees inside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

class WindowEnvironment : public ::testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        WinInit();
        GadgetInit();
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

using Events = std::vector<int32_t>;

// Every event until `done(events so far)` holds, for three seconds at most. A thread timer wakes
// the wait now and then; it comes back as a bare WM_TIMER, which a toolkit window's never does.
Events PumpUntil(const std::function<bool(const Events&)>& done) {
    Events seen;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 20, nullptr);
    for (const DWORD start = GetTickCount(); !done(seen) && GetTickCount() - start < 3000;) {
        const int32_t code = WinWaitEvent();
        if (code != WM_TIMER)
            seen.push_back(code);
    }
    KillTimer(nullptr, watchdog);
    return seen;
}
Events Until(int32_t code) {
    return PumpUntil([code](const Events& e) { return !e.empty() && e.back() == code; });
}
// Everything a step made: what the wait hands out before a marker posted to this thread, which
// comes back as its bare number.
Events Drain() {
    constexpr int32_t Marker = WM_APP + 9;
    PostThreadMessageA(GetCurrentThreadId(), Marker, 0, 0);
    return Until(Marker);
}
int Count(const Events& events, int32_t code) {
    return int(std::count(events.begin(), events.end(), code));
}

// "Привет" in Windows-1251. This program runs under code page 1252 (see CMakeLists.txt), where
// the A functions would show it in Latin letters.
constexpr char Hello[] = "\xCF\xF0\xE8\xE2\xE5\xF2";
static_assert(sizeof Hello == 7, "one byte per character");
const std::wstring HelloWide = L"\u041F\u0440\u0438\u0432\u0435\u0442";

// Window 0 opened as the watcher opens it, with labels 3 and 4 and list box 2, settled.
class Watcher : public ::testing::Test {
protected:
    void SetUp() override {
        const uint32_t flags = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WinFlagCentreScreen;
        window = reinterpret_cast<HWND>(WinOpen(0, -5000, -5000, 200, 300, Hello, flags));
        total = HWND(LabelCreate(3, 5, 255, 190, 17, "total"));
        fresh = HWND(LabelCreate(4, 5, 275, 190, 17, "new"));
        list = HWND(ListBoxCreate(2, 5, 25, 190, 220));
        ASSERT_TRUE(window && total && fresh && list);
        Drain();
    }
    void TearDown() override { WinClose(0); }
    HWND window = nullptr, total = nullptr, fresh = nullptr, list = nullptr;
};

// Events made outside the wait, as by messages sent from other threads, change nothing seen
// until the next waits hand them out, each with its own details.
TEST_F(Watcher, EventDetailsStayPutUntilTheNextWait) {
    PostMessageW(window, TrayEventMsg, 7, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WinWaitEvent() == EventTray && WinEventWindow() == 0);
    SendMessageW(window, TrayEventMsg, 9, WM_RBUTTONDOWN);
    SendMessageW(window, WM_TIMER, 6, 0);
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);  // Explorer restarted
    EXPECT_EQ(std::make_tuple(WinEventKind(), WinEventObject()), std::make_tuple(2, 7));
    // A tray action that makes no event still names its icon.
    PostMessageW(window, TrayEventMsg, 4321, WM_MOUSEMOVE);
    using Seen = std::tuple<int32_t, int32_t, int32_t>;
    std::vector<Seen> seen;
    for (int i = 0; i < 4; ++i) {
        const int32_t code = WinWaitEvent();
        seen.emplace_back(code, WinEventObject(), WinEventKind());
    }
    EXPECT_EQ(seen, (std::vector<Seen>{{EventTray, 9, 1},
                                       {EventTimerFired, 6, -1},
                                       {EventTaskbarCreated, 0, -1},
                                       {TrayEventMsg, 4321, -1}}));
}

// From a label, which is no tab stop, Tab leaves the focus alone and Shift+Tab takes the last.
TEST_F(Watcher, OnlyTheListBoxTakesTheFocusByTab) {
    SetFocus(nullptr);
    PostMessageA(window, WM_KEYDOWN, VK_TAB, 0);  // translated through the window's accelerators
    EXPECT_EQ(Count(PumpUntil([this](const Events&) { return GetFocus() == list; }), EventCommand),
              0);
    SetFocus(total);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(64002, 1), 0);  // Shift+Tab, translated
    EXPECT_EQ(GetFocus(), list);
    EXPECT_EQ(Count(Drain(), EventCommand), 0) << "focus commands are no events";
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

// A press on an item is held for a drag until the release, which selects the item; a move past
// the drag threshold ends the hold. Neither leaves the mouse captured by the list.
TEST_F(Watcher, ListPressesEndWithoutHoldingTheMouse) {
    for (const char* name : {"first", "second"})
        GadgetAddItem(2, -1, name);
    RECT item;
    SendMessageA(list, LB_GETITEMRECT, 1, LPARAM(&item));
    const int x = item.left + 10, y = (item.top + item.bottom) / 2;
    const int threshold = GetSystemMetrics(SM_CXDRAG);
    auto mouse = [&](UINT message, WPARAM keys, int atX) {
        SendMessageA(list, message, keys, MAKELPARAM(atX, y));
    };
    auto held = [this] { return GetPropA(list, MouseDownProperty) != nullptr; };
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, x);
    EXPECT_TRUE(held());
    mouse(WM_LBUTTONUP, 0, x);
    EXPECT_EQ(Count(Drain(), EventControl), 2) << "the release and the selection change";
    EXPECT_EQ(GadgetGetState(2), 1);
    EXPECT_FALSE(held() || GetCapture());
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, x);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, x + threshold + 1);
    mouse(WM_LBUTTONUP, 0, x + threshold + 1);
    EXPECT_FALSE(held() || GetCapture()) << "after a drag";
}

TEST_F(Watcher, ShowsWindows1251TextsUnderAnotherCodePage) {
    ASSERT_EQ(GetACP(), 1252u) << "the point is a code page other than 1251";
    GadgetSetText(3, Hello);
    GadgetAddItem(2, -1, Hello);
    wchar_t title[16]{}, label[16]{}, item[16]{};
    GetWindowTextW(window, title, 16);
    GetWindowTextW(total, label, 16);
    SendMessageW(list, LB_GETTEXT, 0, LPARAM(item));
    EXPECT_EQ(std::make_tuple(std::wstring(title), std::wstring(label), std::wstring(item)),
              std::make_tuple(HelloWide, HelloWide, HelloWide));
    std::string row(1 << 20, '\xE0');  // a megabyte row: no fixed buffer on the way in or out
    GadgetAddItem(2, -1, row.c_str());
    EXPECT_TRUE(GadgetGetItemText(2, 0) == std::string(Hello) && GadgetGetItemText(2, 1) == row);
}

// The list box's operations, step by step on one list of Cyrillic letters (a, b, A, B stand for
// them below); a label has none of these operations.
TEST_F(Watcher, ListOperationsKeepTheRowsInOrder) {
    constexpr char a[] = "\xE0", b[] = "\xE1", A[] = "\xC0", B[] = "\xC1";
    auto rows = [] {
        std::string all;
        for (int32_t i = 0; i < GadgetCountItems(2); ++i)
            all += GadgetGetItemText(2, i);
        return all;
    };
    const std::tuple<const char*, std::function<intptr_t()>, intptr_t, std::string> steps[] = {
        {"append", [&] { return GadgetAddItem(2, -1, b); }, 0, b},
        {"insert first", [&] { return GadgetAddItem(2, 0, a); }, 0, std::string(a) + b},
        {"insert at the count", [&] { return GadgetAddItem(2, 2, a); }, 0, std::string(a) + b + a},
        {"beyond the count", [&] { return GadgetAddItem(2, 9, b); }, 0, std::string(a) + b + a},
        {"set item text", [&] { return GadgetSetItemText(2, 1, B); }, 1, std::string(a) + B + a},
        {"set item text beyond", [&] { return GadgetSetItemText(2, 7, b); }, -1, ""},
        {"data kept by set item text",
         [&] {
             return GadgetSetItemData(2, 0, 42), GadgetSetItemText(2, 0, A),
                    GadgetGetItemData(2, 0);
         },
         42, std::string(A) + B + a},
        {"remove", [] { return GadgetRemoveItem(2, 1), GadgetCountItems(2); }, 2,
         std::string(A) + a},
        {"set state", [] { return GadgetSetState(2, 1), GadgetGetState(2); }, 1, ""},
        {"item state", [] { return GadgetGetItemState(2, 1) - GadgetGetItemState(2, 0); }, 1, ""},
        {"text selects the first match regardless of case",
         [&] { return GadgetSetText(2, a), GadgetGetState(2); }, 0, ""},
        {"selected text", [&] { return std::string(GadgetGetText(2)) == A; }, 1, ""},
        {"no match clears", [&] { return GadgetSetText(2, b), GadgetGetState(2); }, -1, ""},
        {"colours",
         [] { return GadgetSetColour(2, 2, 7), GadgetGetColour(2, 2) + GadgetGetColour(2, 1); }, 6,
         ""},
        {"a label's back colour",
         [&] {
             GadgetSetColour(3, 2, 7);
             HDC dc = GetDC(total);
             const bool painted =
                 SendMessageW(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(total)) &&
                 GetBkColor(dc) == 7;
             return ReleaseDC(total, dc), painted;
         },
         1, ""},
        {"a label has no items",
         [&] { return GadgetClearItems(3), GadgetAddItem(3, -1, a) + GadgetCountItems(3); }, 0, ""},
        {"clear", [] { return GadgetClearItems(2), GadgetCountItems(2); }, 0, ""},
    };
    for (const auto& [what, op, answer, want] : steps) {
        EXPECT_EQ(op(), answer) << what;
        if (!want.empty()) {
            EXPECT_EQ(rows(), want) << what;
        }
    }
}

// The modal handler's view: code, object and kind of each event offered, and how the loop is
// ended once a tick and a tray press have been seen.
std::vector<std::tuple<int32_t, int32_t, int32_t>> offered;
UINT endMessage;
WPARAM endWParam;
bool OnModalEvent(int32_t code) {
    offered.emplace_back(code, WinEventObject(), WinEventKind());
    HWND window = WinHandle(0);
    // Sent from inside the handler: the press it queues waits for this same walk.
    if (code == EventTimerFired && std::count(offered.begin(), offered.end(), offered.back()) == 1)
        SendMessageW(window, TrayEventMsg, 7, WM_RBUTTONDOWN);
    if (code != EventTray)
        return true;
    PostMessageW(window, endMessage, endWParam, 0);
    return false;  // left for the wait
}

// Ends a loop the handler never heard from, so that the test fails instead of hanging.
void CALLBACK EndLoopAnyway(HWND, UINT, UINT_PTR, DWORD) {
    PostMessageW(WinHandle(0), endMessage, endWParam, 0);
    PostMessageW(WinHandle(0), TrayEventMsg, 7, WM_RBUTTONDOWN);
}

// Dragging the window and its system menu hold the main thread in loops of the system's; timer
// ticks reach the program through the handler meanwhile, and a tray press among them keeps its
// own object and kind, in the handler and in the wait after the loop.
TEST_F(Watcher, ModalLoopsHandEventsToTheHandler) {
    const std::tuple<WPARAM, LPARAM, UINT, WPARAM> loops[] = {
        {SC_MOVE | HTCAPTION, 0, WM_KEYDOWN, VK_ESCAPE},  // a drag by the caption
        {SC_KEYMENU, ' ', WM_CANCELMODE, 0},              // the system menu
    };
    WinSetModalHandler(OnModalEvent);
    WinAddTimer(0, 6, 10);
    for (const auto& [command, key, end, endParam] : loops) {
        offered.clear();
        endMessage = end;
        endWParam = endParam;
        PostMessageW(window, WM_SYSCOMMAND, command, key);
        const UINT_PTR rescue = SetTimer(nullptr, 0, 2000, EndLoopAnyway);
        Events after = Until(EventTray);
        KillTimer(nullptr, rescue);
        EXPECT_EQ(std::make_tuple(WinEventObject(), WinEventKind()), std::make_tuple(7, 1))
            << command;
        const auto tick = std::make_tuple(EventTimerFired, 6, -1);
        const auto press = std::make_tuple(EventTray, 7, 1);
        EXPECT_TRUE(std::count(offered.begin(), offered.end(), tick) >= 1 &&
                    std::count(offered.begin(), offered.end(), press) >= 1)
            << command << ": " << offered.size() << " offered";
        EXPECT_EQ(Count(after, EventTimerFired), 0) << command << ": ticks went to the handler";
    }
    KillTimer(window, 6);
    WinSetModalHandler(nullptr);
}

TEST(UnknownNumbers, DoNothing) {
    for (int32_t n : {77, -1, 1 << 30}) {
        WinSetTopmost(n, 1);
        WinClose(n);
        GadgetSetText(n, "x");
        GadgetClearItems(n);
        EXPECT_TRUE(!WinHandle(n) && !WinClientWidth(n) && !WinClientHeight(n) &&
                    !WinAddTimer(n, 1, 10) && !GadgetAddItem(n, -1, "x"))
            << n;
    }
    EXPECT_EQ(WinSetIcon(nullptr, 0), 0);
    // Posted to no window, the notice would reach the wait as a bare message of this thread.
    GadgetPostEvent(nullptr, 0);
    EXPECT_EQ(Count(Drain(), int32_t(GadgetNotifyMsg)), 0);
}

}  // namespace
