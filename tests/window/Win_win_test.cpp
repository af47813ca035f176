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

struct Delivered {
    int32_t code, kind, object, window;
};
using Events = std::vector<Delivered>;

// Every event until `done(events so far)` holds, for three seconds at most. A thread timer wakes
// the wait now and then; it comes back as a bare WM_TIMER, which a toolkit window's never does.
Events PumpUntil(const std::function<bool(const Events&)>& done) {
    Events seen;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 20, nullptr);
    for (const DWORD start = GetTickCount(); !done(seen) && GetTickCount() - start < 3000;) {
        const int32_t code = WinWaitEvent();
        if (code != WM_TIMER)
            seen.push_back({code, WinEventKind(), WinEventObject(), WinEventWindow()});
    }
    KillTimer(nullptr, watchdog);
    return seen;
}
Events Until(int32_t code) {
    return PumpUntil([code](const Events& e) { return !e.empty() && e.back().code == code; });
}
// Everything a step made: what the wait hands out before a marker posted to this thread, which
// comes back as its bare number.
Events Drain() {
    constexpr int32_t Marker = WM_APP + 9;
    PostThreadMessageA(GetCurrentThreadId(), Marker, 0, 0);
    return Until(Marker);
}
// Events of `code`; given a control, its events of kind `code`.
int Count(const Events& events, int32_t code, int32_t control = -1) {
    return int(std::count_if(events.begin(), events.end(), [=](const Delivered& e) {
        return control < 0 ? e.code == code
                           : e.code == EventControl && e.object == control && e.kind == code;
    }));
}

HWND Open(int32_t number, int32_t w, int32_t h, uint32_t flags, HWND parent = nullptr) {
    return reinterpret_cast<HWND>(WinOpen(number, 100, 100, w, h, "t", flags, parent));
}
RECT Rect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}
std::string Text(HWND hwnd) {
    char buffer[256] = {};
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}
std::vector<std::string> Items(int32_t number) {
    std::vector<std::string> items(std::max(GadgetCountItems(number), 0));
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = GadgetGetItemText(number, int32_t(i));
    return items;
}

// Captioned windows are at least about 110 pixels wide, so the test windows are wider.
constexpr uint32_t Plain = WS_CAPTION | WinFlagNoGadgetParent;

TEST(WinOpen, FlagsDecideTheShowStateAndANumberHoldsOneWindow) {
    const std::pair<uint32_t, int> cases[] = {
        {WinFlagHidden, 0},  // 1 normal, 2 minimised, 3 maximised
        {WinFlagToolWindow, 1},
        {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, 2},
        {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, 3},
    };
    HWND previous = nullptr;
    for (const auto& c : cases) {
        HWND hwnd = Open(5, 120, 90, c.first);
        const int shown = IsZoomed(hwnd) ? 3 : IsIconic(hwnd) ? 2 : IsWindowVisible(hwnd) ? 1 : 0;
        const bool tool = GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW;
        EXPECT_EQ(std::make_pair(shown, tool),
                  std::make_pair(c.second, c.first == WinFlagToolWindow))
            << std::hex << c.first;
        EXPECT_FALSE(previous && IsWindow(previous)) << "opening under a number closes its window";
        previous = hwnd;
    }
    WinClose(5);
    EXPECT_FALSE(IsWindow(previous));
}

// Taken literally, the ignored position would put the window far off the screen.
TEST(WinOpen, CentresOnParentShrinksToTheScreenOrLeavesPlacementToTheSystem) {
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    HWND parent = Open(1, 400, 300, Plain);
    const RECT h =
        Rect(Open(3, sw * 2, GetSystemMetrics(SM_CYSCREEN) * 2, Plain | WinFlagCentreScreen));
    // Centred on its parent, not on the active window, which is the huge one.
    const RECT c = Rect(Open(2, 200, 50, Plain | WinFlagCentreParent, parent));
    const RECT p = Rect(parent);
    const auto n = int32_t(WinOpen(-1, WinIgnorePosition, 40, 180, 40, "auto", Plain));
    EXPECT_EQ(std::make_pair(c.left, c.top),
              std::make_pair(p.left + ((p.right - p.left) - (c.right - c.left)) / 2,
                             p.top + ((p.bottom - p.top) - (c.bottom - c.top)) / 2));
    EXPECT_TRUE(h.left == 0 && h.top == 0 && h.right <= sw);
    EXPECT_TRUE(n > 0 && Rect(WinHandle(n)).left > -1000 && WinClientWidth(n) == 180);
    for (int32_t number : {2, 1, 3, n})
        WinClose(number);
    EXPECT_EQ(WinHandle(n), nullptr);
}

// Window 0 opened as the watcher opens it, with labels 3 and 4 and list box 2, settled.
class Watcher : public ::testing::Test {
protected:
    void SetUp() override {
        window = Open(0, 200, 300, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WinFlagCentreScreen);
        total = HWND(LabelCreate(3, 5, 255, 190, 17, "total"));
        fresh = HWND(LabelCreate(4, 5, 275, 190, 17, "new"));
        list = HWND(ListBoxCreate(2, 5, 25, 190, 220));
        ASSERT_TRUE(window && total && fresh && list);
        Drain();
    }
    void TearDown() override { WinClose(0); }
    HWND window = nullptr, total = nullptr, fresh = nullptr, list = nullptr;
};

TEST_F(Watcher, EventDetailsStayPutUntilTheNextWait) {
    PostMessageA(window, TrayEventMsg, 7, WM_LBUTTONDBLCLK);
    ASSERT_EQ(WinWaitEvent(), EventTray);
    // Handled outside the wait, as messages sent by other threads are: they change nothing seen.
    SendMessageA(window, TrayEventMsg, 9, WM_RBUTTONDOWN);
    SendMessageA(window, WM_TIMER, 6, 0);
    EXPECT_EQ(std::make_tuple(WinEventKind(), WinEventObject()), std::make_tuple(2, 7));
    // A tray action that makes no event still names its icon.
    PostMessageA(window, TrayEventMsg, 4321, WM_MOUSEMOVE);
    ASSERT_EQ(WinWaitEvent(), int32_t(TrayEventMsg));
    EXPECT_EQ(WinEventObject(), 4321);
}

// From a label, which is no tab stop, Tab leaves the focus alone and Shift+Tab takes the last.
TEST_F(Watcher, OnlyTheListBoxTakesTheFocusByTab) {
    SetFocus(nullptr);
    PostMessageA(window, WM_KEYDOWN, VK_TAB, 0);  // translated through the window's accelerators
    EXPECT_EQ(Count(PumpUntil([this](const Events&) { return GetFocus() == list; }), EventCommand),
              0);
    const std::tuple<HWND, WPARAM, HWND> steps[] = {
        {list, 64002, list}, {total, 64001, total}, {total, 64002, list}};
    for (const auto& s : steps) {
        SetFocus(std::get<0>(s));
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(std::get<1>(s), 1), 0);
        EXPECT_EQ(GetFocus(), std::get<2>(s)) << std::get<1>(s);
    }
    EXPECT_EQ(Count(Drain(), EventCommand), 0) << "focus commands are no events";
}

// Appending and emptying, as the watcher does, are the end-to-end test's.
TEST_F(Watcher, LabelsAndListBoxesDoWhatTheirKindCan) {
    GadgetSetText(4, nullptr);
    GadgetClearItems(4);
    EXPECT_EQ(GadgetAddItem(4, -1, "item") + GadgetCountItems(4), 0) << "a label has no items";
    EXPECT_EQ(Text(fresh), "");
    // No sorting; a position beyond the count adds nothing.
    const std::pair<int32_t, const char*> adds[] = {{-1, "beta"}, {0, "Alpha"}, {0, "ALPHABET"},
                                                    {4, "y"},     {3, "x"},     {-1, nullptr}};
    for (const auto& a : adds)
        GadgetAddItem(2, a.first, a.second);
    using Rows = std::vector<std::string>;
    EXPECT_EQ(Items(2), (Rows{"ALPHABET", "Alpha", "beta", "x", ""}));
    // Setting the text selects the first item equal to it, case aside.
    for (const auto& s : {std::make_pair("beta", 2), std::make_pair("delta", -1),
                          std::make_pair("alpha", 1), std::make_pair("", -1)}) {
        GadgetSetText(2, s.first);
        EXPECT_EQ(GadgetGetState(2), s.second) << s.first;
    }
    GadgetSetState(2, 2);
    GadgetSetItemData(2, 2, 4242);
    EXPECT_TRUE(std::string(GadgetGetText(2)) == "beta" && GadgetGetItemState(2, 2) > 0);
    EXPECT_TRUE(GadgetSetItemText(2, 2, "two") == 2 && GadgetGetItemData(2, 2) == 4242)
        << "the item keeps its data";
    EXPECT_EQ(GadgetSetItemText(2, 7, "none"), -1);
    GadgetRemoveItem(2, 0);
    GadgetSetState(2, -1);
    EXPECT_EQ(Items(2), (Rows{"Alpha", "two", "x", ""}));
    EXPECT_EQ(std::string(GadgetGetText(2)) + GadgetGetItemText(2, 9), "");
}

// A press on an item without modifiers is held, for a drag, until the release, which then
// reports itself beside the list box's own selection change; a move beyond the threshold ends
// it as a drag instead.
TEST_F(Watcher, ListBoxPressesAreHeldUntilAReleaseOrADrag) {
    for (const char* name : {"first", "second", "third"})
        GadgetAddItem(2, -1, name);
    RECT item, client;
    SendMessageA(list, LB_GETITEMRECT, 1, LPARAM(&item));
    GetClientRect(list, &client);
    const int x = item.left + 10, y = (item.top + item.bottom) / 2;
    const int cx = GetSystemMetrics(SM_CXDRAG);
    auto mouse = [this](UINT message, WPARAM keys, int atX, int atY) {
        SendMessageA(list, message, keys, MAKELPARAM(atX, atY));
    };
    auto held = [this] { return GetPropA(list, "TK_MouseDown") != nullptr; };
    const struct {
        const char* what;
        int x, y;
        WPARAM keys;
        int32_t selected;  // -1: not held
    } presses[] = {{"on an item", x, y, 0, 1},
                   {"on the top-left pixel", 0, 0, 0, 0},
                   {"beside the items", 10, int(client.bottom) - 2, 0, -1},
                   {"with Control", x, y, MK_CONTROL, -1}};
    for (const auto& p : presses) {
        GadgetSetState(2, -1);
        mouse(WM_LBUTTONDOWN, MK_LBUTTON | p.keys, p.x, p.y);
        EXPECT_EQ(held(), p.selected >= 0) << p.what;
        mouse(WM_LBUTTONUP, 0, p.x, p.y);
        const Events events = Drain();
        EXPECT_TRUE(p.selected < 0 || (Count(events, 0, 2) == 2 && GadgetGetState(2) == p.selected))
            << p.what;
        EXPECT_FALSE(held() || GetCapture()) << p.what;
    }
    mouse(WM_LBUTTONDBLCLK, MK_LBUTTON, x, y);
    mouse(WM_LBUTTONUP, 0, x, y);
    EXPECT_EQ(Count(Drain(), 2, 2), 1) << "a double-click";
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, x + cx, y);
    EXPECT_TRUE(Count(Drain(), 14002, 2) == 0 && held()) << "still within the threshold";
    mouse(WM_MOUSEMOVE, MK_LBUTTON, x + cx + 1, y);
    EXPECT_EQ(Count(Drain(), 14002, 2), 1);
    EXPECT_FALSE(held() || GetCapture() == list) << "the release after a drag is no click";
}

// The close box only asks, from inside the system command, so no bare WM_CLOSE stands in for
// the event; closing frees everything.
TEST_F(Watcher, TheCloseBoxAsksAndClosingFreesTheGadgetsNumbersAndTheParent) {
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Count(Until(EventClose), EventClose) == 1 && IsWindow(window));
    EXPECT_EQ(GadgetParentSet(nullptr), window);
    const auto chosen = int32_t(ListBoxCreate(-1, 5, 5, 100, 100));
    GadgetAddItem(chosen, -1, "auto");
    ASSERT_TRUE(chosen > 0 && GadgetCountItems(chosen) == 1);
    WinClose(0);
    GadgetAddItem(2, -1, "x");
    EXPECT_TRUE(!IsWindow(total) && GadgetCountItems(chosen) == 0 && GadgetCountItems(2) == 0);
    EXPECT_EQ(GadgetParentSet(nullptr), nullptr);
    EXPECT_EQ(LabelCreate(1, 0, 0, 10, 10, "x") + GadgetCountItems(1), 0)
        << "no parent: fails, the number stays free";
}

TEST(UnknownNumbers, DoNothing) {
    for (int32_t n : {77, -1, 1 << 30}) {
        WinSetTopmost(n, 1);
        WinClose(n);
        GadgetSetText(n, "x");
        GadgetClearItems(n);
        GadgetSetColour(n, 2, 0);
        EXPECT_TRUE(!WinHandle(n) && !WinClientWidth(n) && !WinClientHeight(n) &&
                    !WinAddTimer(n, 1, 10))
            << n;
        EXPECT_TRUE(!GadgetAddItem(n, -1, "x") && GadgetGetState(n) == -1 && !*GadgetGetText(n) &&
                    GadgetSetItemText(n, 0, "x") == -1 && !GadgetGetItemData(n, 0))
            << n;
    }
    EXPECT_EQ(WinSetIcon(nullptr, 0), 0);
    // Posted to no window, the notice would reach the wait as a bare message of this thread.
    GadgetPostEvent(nullptr, 0);
    EXPECT_EQ(Count(Drain(), int32_t(GadgetNotifyMsg)), 0);
}

}  // namespace
