// Real windows and controls under Wine: what the toolkit does with them beyond the watcher's
// own window, which the end-to-end test reads from outside.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"
#include "toolkit/window/WinLogic.h"

namespace {

class WindowEnvironment : public ::testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate() && (ScratchInit(), WinInit(), GadgetInit(), true));
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
constexpr int32_t Marker = WM_APP + 9;
Events Drain() { return PostThreadMessageA(GetCurrentThreadId(), Marker, 0, 0), Until(Marker); }
std::vector<int32_t> Codes(const Events& events, int32_t control = -1) {  // or a control's kinds
    std::vector<int32_t> codes;
    for (const Delivered& e : events)
        if (control < 0 || (e.code == EventControl && e.object == control))
            codes.push_back(control < 0 ? e.code : e.kind);
    return codes;
}
int Count(const Events& events, int32_t code, int32_t control = -1) {
    const std::vector<int32_t> codes = Codes(events, control);
    return int(std::count(codes.begin(), codes.end(), code));
}

HWND Open(int32_t number, int32_t w, int32_t h, uint32_t flags, HWND parent = nullptr) {
    return reinterpret_cast<HWND>(WinOpen(number, 100, 100, w, h, "t", flags, parent));
}
std::string Text(HWND hwnd) {
    char buffer[256] = {};
    return GetWindowTextA(hwnd, buffer, sizeof buffer), buffer;
}
std::vector<std::string> Items(int32_t number) {
    std::vector<std::string> items(std::max(GadgetCountItems(number), 0));
    for (size_t i = 0; i < items.size(); ++i)
        items[i] = GadgetGetItemText(number, int32_t(i));
    return items;
}

// Captioned windows are at least about 110 pixels wide, so the test windows are wider.
constexpr uint32_t Plain = WS_CAPTION | WinFlagNoGadgetParent;

TEST(WinOpen, FlagsDecideStyleAndShowStateAndANumberHoldsOneWindow) {
    struct Case {
        uint32_t flags;
        LONG_PTR set, clear, exSet;
        int shown;
    };  // 1 normal, 2 minimised, 3 maximised
    const Case cases[] = {
        {WinFlagHidden, WS_CAPTION, WS_VISIBLE, 0, 0},
        {WinFlagToolWindow | WS_MAXIMIZEBOX, WS_CAPTION, WS_MAXIMIZEBOX, WS_EX_TOOLWINDOW, 1},
        {Plain | WS_OVERLAPPEDWINDOW, WS_THICKFRAME | WS_MAXIMIZEBOX, 0, 0, 1},
        {WS_OVERLAPPEDWINDOW | WS_MINIMIZE, WS_MINIMIZE, 0, 0, 2},
        {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, WS_MAXIMIZE, 0, 0, 3},
    };
    HWND previous = nullptr;
    for (const Case& c : cases) {
        HWND hwnd = Open(5, 120, 90, c.flags);
        const LONG_PTR style = GetWindowLongPtrA(hwnd, GWL_STYLE),
                       ex = GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
        const int shown = IsZoomed(hwnd) ? 3 : IsIconic(hwnd) ? 2 : IsWindowVisible(hwnd) ? 1 : 0;
        EXPECT_EQ(std::make_tuple(style & c.set, style & c.clear, ex & c.exSet, shown),
                  std::make_tuple(c.set, LONG_PTR{0}, c.exSet, c.shown))
            << std::hex << c.flags;
        EXPECT_FALSE(previous && IsWindow(previous)) << "opening under a number closes its window";
        previous = hwnd;
    }
    WinClose(5);
    EXPECT_FALSE(IsWindow(previous));
}

// Taken literally, the ignored position would put the window far off the screen.
TEST(WinOpen, CentresOnParentShrinksToTheScreenOrLeavesPlacementToTheSystem) {
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    HWND parent = Open(1, 400, 300, Plain),
         huge = Open(3, sw * 2, GetSystemMetrics(SM_CYSCREEN) * 2, Plain | WinFlagCentreScreen);
    HWND child = Open(2, 200, 50, Plain | WinFlagCentreParent, parent);  // not the active window's
    const auto n = int32_t(WinOpen(-1, WinIgnorePosition, 40, 180, 40, "auto", Plain));
    RECT p{}, c{}, h{}, a{};
    GetWindowRect(parent, &p), GetWindowRect(child, &c), GetWindowRect(huge, &h),
        GetWindowRect(WinHandle(n), &a);
    EXPECT_EQ(std::make_pair(c.left, c.top),
              std::make_pair(p.left + ((p.right - p.left) - (c.right - c.left)) / 2,
                             p.top + ((p.bottom - p.top) - (c.bottom - c.top)) / 2));
    EXPECT_TRUE(h.left == 0 && h.top == 0 && h.right <= sw);
    EXPECT_TRUE(n > 0 && a.left > -1000 && WinClientWidth(n) == 180);
    for (int32_t number : {2, 1, 3, n})
        WinClose(number);
    EXPECT_EQ(WinHandle(n), nullptr);
}

// Window 0 opened as the watcher opens it, with labels 3 and 4 and list box 2, settled.
class Watcher : public ::testing::Test {
protected:
    void SetUp() override {
        window = Open(0, 200, 300, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WinFlagCentreScreen);
        total = HWND(LabelCreate(3, 5, 255, 190, 17, "total")),
        fresh = HWND(LabelCreate(4, 5, 275, 190, 17, "new"));
        list = HWND(ListBoxCreate(2, 5, 25, 190, 220));
        ASSERT_TRUE(window && total && fresh && list);
        Drain();
    }
    void TearDown() override { WinClose(0); }
    HWND window = nullptr, total = nullptr, fresh = nullptr, list = nullptr;
};

TEST_F(Watcher, EventsNameTheirSourceAndLeaveTheWindowOpen) {
    auto button = [this](intptr_t id) {
        return LPARAM(CreateWindowExA(0, "Button", "", WS_CHILD, 0, 0, 9, 9, window, HMENU(id),
                                      nullptr, nullptr));
    };
    auto post = [this](UINT m, WPARAM w, LPARAM l) {
        return [=] { PostMessageA(window, m, w, l); };
    };
    constexpr int32_t Any = -2, Tray = TrayCallbackMsg;
    struct Case {
        const char* what;
        std::function<void()> cause;
        std::vector<int32_t> codes;
        int32_t object, kind;
    };
    const Case cases[] = {
        {"close box", post(WM_SYSCOMMAND, SC_CLOSE, 0), {EventClose}, Any, -1},
        {"menu", post(WM_COMMAND, 501, 0), {EventCommand}, 501, -1},
        {"accelerator", post(WM_COMMAND, MAKEWPARAM(502, 1), 0), {EventCommand}, 502, -1},
        {"control",
         post(WM_COMMAND, MAKEWPARAM(77, BN_CLICKED), button(77)),
         {EventControl},
         77,
         BN_CLICKED},
        {"command control",
         post(WM_COMMAND, MAKEWPARAM(503, 4), button(-10000)),
         {EventCommand},
         503,
         4},
        // The shell's call returns at once; the action comes back re-posted, naming its icon
        // even when it makes no event.
        {"tray double-click", post(Tray, 7, WM_LBUTTONDBLCLK), {Tray, EventTray}, 7, 2},
        {"tray move", post(Tray, 4321, WM_MOUSEMOVE), {Tray, int32_t(TrayEventMsg)}, 4321, -1},
        {"timer", [] { WinAddTimer(0, 6, 30); }, {EventTimerFired}, 6, -1},
    };
    for (const Case& c : cases) {
        c.cause();
        const Events events = Until(c.codes.back());
        const std::vector<int32_t> codes = Codes(events);
        EXPECT_TRUE(codes.size() >= c.codes.size() &&
                    std::equal(c.codes.rbegin(), c.codes.rend(), codes.rbegin()))
            << c.what;
        const Delivered& e = events.back();
        EXPECT_EQ(std::make_tuple(c.object == Any ? Any : e.object, e.kind, e.window),
                  std::make_tuple(c.object, c.kind, 0))
            << c.what;
    }
    KillTimer(window, 6);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(Watcher, EventDetailsStayPutUntilTheNextWait) {
    PostMessageA(window, TrayEventMsg, 7, WM_LBUTTONDBLCLK);
    ASSERT_EQ(WinWaitEvent(), EventTray);
    // Handled outside the wait, as messages sent by other threads are: they change nothing seen.
    SendMessageA(window, TrayEventMsg, 9, WM_RBUTTONDOWN);
    SendMessageA(window, WM_TIMER, 6, 0);
    EXPECT_EQ(std::make_tuple(WinEventKind(), WinEventObject()), std::make_tuple(2, 7));
}

TEST_F(Watcher, MovesMergeAndSizeStatesComeInOrder) {
    for (int i = 1; i <= 5; ++i)
        SetWindowPos(window, nullptr, 10 * i, 10 * i, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(Count(Drain(), EventMoved), 1) << "moves before a wait make one event";
    struct Step {
        int show;
        int32_t state;
        bool sized;
    };  // minimising reports no new size
    for (const Step& s :
         {Step{SW_MINIMIZE, EventMinimised, false}, Step{SW_RESTORE, EventRestored, true},
          Step{SW_MAXIMIZE, EventMaximised, true}, Step{SW_RESTORE, EventRestored, true}}) {
        ShowWindow(window, s.show);
        const Events events = Drain();
        EXPECT_TRUE(Count(events, s.state) == 1 && (Count(events, EventSized) > 0) == s.sized)
            << s.show;
    }
}

// From a label, which is no tab stop, Tab leaves the focus alone and Shift+Tab takes the last.
TEST_F(Watcher, OnlyTheListBoxTakesTheFocusByTab) {
    SetFocus(nullptr);
    PostMessageA(window, WM_KEYDOWN, VK_TAB, 0);  // translated through the window's accelerators
    EXPECT_EQ(Count(PumpUntil([this](const Events&) { return GetFocus() == list; }), EventCommand),
              0);
    struct Step {
        HWND from;
        WPARAM command;
        HWND to;
    };
    for (const Step& s :
         {Step{list, 64002, list}, Step{total, 64001, total}, Step{total, 64002, list}}) {
        SetFocus(s.from), SendMessageA(window, WM_COMMAND, MAKEWPARAM(s.command, 1), 0);
        EXPECT_EQ(GetFocus(), s.to) << s.command;
    }
    EXPECT_EQ(Count(Drain(), EventCommand), 0) << "focus commands are no events";
}

TEST_F(Watcher, LabelsAndListBoxesDoWhatTheirKindCan) {
    GadgetSetText(4, nullptr), GadgetClearItems(4);
    EXPECT_TRUE(GadgetAddItem(4, -1, "item") + GadgetCountItems(4) == 0 && Text(fresh).empty())
        << "a label has no items";
    using Rows = std::vector<std::string>;
    struct AddCase {
        int32_t position;
        const char* text;
        Rows want;
    };
    // No sorting; a position beyond the count adds nothing.
    for (const AddCase& s :
         {AddCase{-1, "Alpha", {"Alpha"}}, AddCase{-1, "beta", {"Alpha", "beta"}},
          AddCase{0, "ALPHABET", {"ALPHABET", "Alpha", "beta"}},
          AddCase{3, "x", {"ALPHABET", "Alpha", "beta", "x"}},
          AddCase{9, "y", {"ALPHABET", "Alpha", "beta", "x"}},
          AddCase{-1, nullptr, {"ALPHABET", "Alpha", "beta", "x", ""}}})
        EXPECT_EQ((GadgetAddItem(2, s.position, s.text), Items(2)), s.want) << s.position;
    // Setting the text selects the first item equal to it, case aside.
    for (const auto& s : {std::make_pair("beta", 2), std::make_pair("delta", -1),
                          std::make_pair("alpha", 1), std::make_pair("", -1)})
        EXPECT_EQ((GadgetSetText(2, s.first), GadgetGetState(2)), s.second) << s.first;
    GadgetSetState(2, 2), GadgetSetItemData(2, 2, 4242);
    EXPECT_TRUE(std::string(GadgetGetText(2)) == "beta" && GadgetGetItemState(2, 2) > 0);
    EXPECT_TRUE(GadgetSetItemText(2, 2, "two") == 2 && GadgetGetItemData(2, 2) == 4242)
        << "the item keeps its data";
    EXPECT_EQ(GadgetSetItemText(2, 7, "none"), -1);
    GadgetRemoveItem(2, 0), GadgetSetState(2, -1);
    EXPECT_EQ(Items(2), (Rows{"Alpha", "two", "x", ""}));
    EXPECT_EQ(std::string(GadgetGetText(2)) + GadgetGetItemText(2, 9), "");
}

TEST_F(Watcher, BackColourPaintsThroughASharedBrush) {
    EXPECT_EQ(GadgetGetColour(3, 2), COLORREF(-1));
    GadgetSetColour(3, 2, RGB(10, 20, 30)), GadgetSetColour(4, 2, RGB(10, 20, 30)),
        GadgetSetColour(4, 1, RGB(200, 0, 0));
    HDC dc = GetDC(window);
    const LRESULT brush3 = SendMessageA(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(total));
    const LRESULT brush4 = SendMessageA(window, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(fresh));
    EXPECT_TRUE(brush3 && brush3 == brush4 && GetTextColor(dc) == RGB(200, 0, 0) &&
                GetBkColor(dc) == RGB(10, 20, 30));
    ReleaseDC(window, dc);
    GadgetSetColour(3, 2, COLORREF(-1));  // back to the default: the other label keeps the brush
    LOGBRUSH lb{};
    EXPECT_NE(GetObjectA(HGDIOBJ(brush4), sizeof lb, &lb), 0);
}

WNDPROC oldLabelProc;
bool successorAtDestroy;
LRESULT CALLBACK SeeSuccessor(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        successorAtDestroy = FindWindowExA(GetParent(hwnd), nullptr, "Static", "successor");
    return CallWindowProcA(oldLabelProc, hwnd, message, wParam, lParam);
}

TEST_F(Watcher, ANumberInUseGoesToTheNewGadgetOnceItExists) {
    oldLabelProc = WNDPROC(SetWindowLongPtrA(total, GWLP_WNDPROC, LONG_PTR(SeeSuccessor)));
    HWND successor = HWND(LabelCreate(3, 5, 100, 100, 17, "successor"));
    GadgetSetText(3, "changed");
    EXPECT_TRUE(successorAtDestroy && !IsWindow(total) && Text(successor) == "changed");
    ASSERT_NE(ListBoxCreate(4, 5, 100, 100, 50), 0);  // a list box may take a label's number
    EXPECT_TRUE((GadgetAddItem(4, -1, "x"), !IsWindow(fresh)) && GadgetCountItems(4) == 1);
}

// The poll cycle's calls, from a worker while the main thread waits for events. The window's
// icon, set the same way, is the poll test's.
TEST_F(Watcher, AWorkerFillsAndReadsTheGadgets) {
    const std::vector<std::string> names = {"\xC8\xE2\xE0\xED", "Petr", "\xCE\xEB\xFC\xE3\xE0",
                                            "Petr"};
    std::string seen;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int round = 0; round < 3; ++round) {
            GadgetClearItems(2);
            for (const std::string& name : names)
                GadgetAddItem(2, -1, name.c_str());
            GadgetSetText(4, "12:34:56");
        }
        seen = GadgetGetItemText(2, 2);
        done = true, PostMessageA(window, WM_NULL, 0, 0);
    });
    PumpUntil([&](const Events&) { return done.load(); });
    worker.join();
    EXPECT_EQ(std::make_tuple(Items(2), Text(fresh), seen),
              std::make_tuple(names, std::string("12:34:56"), names[2]));
}

// A press on an item without modifiers is held, for a drag, until the release, which then
// reports itself beside the list box's own selection change; a move beyond the threshold ends
// it as a drag instead.
TEST_F(Watcher, ListBoxPressesAreHeldUntilAReleaseOrADrag) {
    for (const char* name : {"first", "second", "third"})
        GadgetAddItem(2, -1, name);
    RECT item, client;
    SendMessageA(list, LB_GETITEMRECT, 1, LPARAM(&item)), GetClientRect(list, &client);
    const int x = item.left + 10, y = (item.top + item.bottom) / 2,
              cx = GetSystemMetrics(SM_CXDRAG);
    auto mouse = [this](UINT message, WPARAM keys, int atX, int atY) {
        SendMessageA(list, message, keys, MAKELPARAM(atX, atY));
    };
    auto held = [this] { return GetPropA(list, "TK_MouseDown") != nullptr; };
    struct Press {
        const char* what;
        int x, y;
        WPARAM keys;
        int32_t selected;
    };  // -1: not held
    for (const Press& p :
         {Press{"on an item", x, y, 0, 1}, Press{"on the top-left pixel", 0, 0, 0, 0},
          Press{"beside the items", 10, int(client.bottom) - 2, 0, -1},
          Press{"with Control", x, y, MK_CONTROL, -1}}) {
        GadgetSetState(2, -1);
        mouse(WM_LBUTTONDOWN, MK_LBUTTON | p.keys, p.x, p.y);
        EXPECT_EQ(held(), p.selected >= 0) << p.what;
        mouse(WM_LBUTTONUP, 0, p.x, p.y);
        EXPECT_TRUE(p.selected < 0 || (Codes(Drain(), 2) == std::vector<int32_t>{0, 0} &&
                                       GadgetGetState(2) == p.selected))
            << p.what;
        EXPECT_FALSE(held() || GetCapture()) << p.what;
    }
    mouse(WM_LBUTTONDBLCLK, MK_LBUTTON, x, y), mouse(WM_LBUTTONUP, 0, x, y);
    EXPECT_EQ(Count(Drain(), 2, 2), 1) << "a double-click";
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, x, y), mouse(WM_MOUSEMOVE, MK_LBUTTON, x + cx, y);
    EXPECT_TRUE(Count(Drain(), 14002, 2) == 0 && held()) << "still within the threshold";
    mouse(WM_MOUSEMOVE, MK_LBUTTON, x + cx + 1, y);
    EXPECT_EQ(Count(Drain(), 14002, 2), 1);
    EXPECT_FALSE(held() || GetCapture() == list) << "the release after a drag is no click";
}

TEST_F(Watcher, ClosingTheWindowFreesItsGadgetsNumbersAndTheParent) {
    EXPECT_EQ(GadgetParentSet(nullptr), window);
    const auto chosen = int32_t(ListBoxCreate(-1, 5, 5, 100, 100));
    ASSERT_TRUE(chosen > 0 && (GadgetAddItem(chosen, -1, "auto"), GadgetCountItems(chosen)) == 1);
    WinClose(0), GadgetAddItem(2, -1, "x");
    EXPECT_TRUE(!IsWindow(total) && GadgetCountItems(chosen) == 0 && GadgetCountItems(2) == 0);
    EXPECT_EQ(GadgetParentSet(nullptr), nullptr);
    EXPECT_EQ(LabelCreate(1, 0, 0, 10, 10, "x") + GadgetCountItems(1), 0)
        << "no parent: fails, the number stays free";
}

TEST(UnknownNumbers, DoNothing) {
    for (int32_t n : {77, -1, 1 << 30}) {
        WinSetTopmost(n, 1), WinClose(n), GadgetSetText(n, "x"), GadgetClearItems(n),
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
    EXPECT_EQ((GadgetPostEvent(nullptr, 0), Count(Drain(), int32_t(GadgetNotifyMsg))), 0);
}

}  // namespace
