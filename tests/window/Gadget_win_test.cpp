// Labels and the list box in a real window under Wine: the program's layout, the operations,
// calls from a worker thread, and the list box's mouse events.
#include <algorithm>
#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/window/WindowTestSupport.h"

static ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new WindowToolkitEnvironment);

constexpr int32_t W = 200;
constexpr int32_t H = 300;
constexpr DWORD LabelFixedStyle = 0x50020000;
constexpr DWORD ListBoxFixedStyle = 0x50330141;
// "Новых:   нет", "Всего сообщений:     1234"
constexpr char NewText[] = "\xCD\xEE\xE2\xFB\xF5:   \xED\xE5\xF2";
constexpr char TotalText[] =
    "\xC2\xF1\xE5\xE3\xEE \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9:     1234";

static std::array<LONG, 4> RectInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

static std::string WindowText(HWND hwnd) {
    char buffer[256] = {};
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

static std::vector<std::string> Items(int32_t number) {
    std::vector<std::string> items;
    for (int32_t i = 0; i < GadgetCountItems(number); ++i)
        items.push_back(GadgetGetItemText(number, i));
    return items;
}

// The program's window with its four controls, made in the program's order.
class WatcherLayout : public ::testing::Test {
protected:
    void SetUp() override {
        window = reinterpret_cast<HWND>(WinOpen(0, 0, 0, W, H, "w", 0xCA0001));
        ASSERT_NE(window, nullptr);
        time = reinterpret_cast<HWND>(LabelCreate(1, 5, 5, W - 10, 20, "", 1));
        total = reinterpret_cast<HWND>(LabelCreate(3, 5, H - 45, 190, 17, TotalText));
        fresh = reinterpret_cast<HWND>(LabelCreate(4, 5, H - 25, 190, 17, NewText));
        list = reinterpret_cast<HWND>(ListBoxCreate(2, 5, 25, W - 10, H - 80));
        ASSERT_TRUE(time && total && fresh && list);
        PumpFor(80);
    }
    void TearDown() override {
        WinClose(0);
        PumpFor(20);
    }
    HWND window = nullptr, time = nullptr, total = nullptr, fresh = nullptr, list = nullptr;
};

TEST_F(WatcherLayout, ControlsHaveTheirRectanglesStylesAndNumbers) {
    struct ControlCase {
        HWND hwnd;
        int32_t number;
        const char* className;
        std::array<LONG, 4> rect;
        DWORD style;
        bool clientEdge;
    };
    const ControlCase cases[] = {
        {time, 1, "Static", {5, 5, W - 5, 25}, LabelFixedStyle | SS_CENTER, false},
        {total, 3, "Static", {5, H - 45, 195, H - 28}, LabelFixedStyle, false},
        {fresh, 4, "Static", {5, H - 25, 195, H - 8}, LabelFixedStyle, false},
        {list, 2, "ListBox", {5, 25, W - 5, H - 55}, ListBoxFixedStyle, true},
    };
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(RectInParent(c.hwnd), c.rect);
        // Scroll bars come and go with the items; the rest of the style is fixed.
        const auto style = static_cast<DWORD>(GetWindowLongPtrA(c.hwnd, GWL_STYLE));
        EXPECT_EQ(style & ~(WS_VSCROLL | WS_HSCROLL), c.style & ~(WS_VSCROLL | WS_HSCROLL));
        EXPECT_EQ((GetWindowLongPtrA(c.hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, c.clientEdge);
        char className[32] = {};
        GetClassNameA(c.hwnd, className, sizeof className);
        EXPECT_STREQ(className, c.className);
        EXPECT_EQ(GetWindowLongPtrA(c.hwnd, GWLP_ID), c.number);
        EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropA(c.hwnd, "TK_ID")), c.number);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(c.hwnd, WM_GETFONT, 0, 0)), guiFont);
        EXPECT_EQ(GetParent(c.hwnd), window);
    }
    EXPECT_EQ(WindowText(total), TotalText);
}

TEST_F(WatcherLayout, OnlyTheListBoxTakesTheFocusByTab) {
    SetFocus(nullptr);
    // Tab as the keyboard delivers it, translated through the window's accelerators.
    PostMessageA(window, WM_KEYDOWN, VK_TAB, 0);
    PumpFor(60);
    EXPECT_EQ(GetFocus(), list);
    // The translated commands themselves (Tab, Shift+Tab), which are no events of their own.
    // From a label (which is no tab stop) Tab leaves the focus alone; Shift+Tab goes to the last.
    struct Step { HWND from; WPARAM command; HWND to; };
    for (const Step& s : {Step{list, 64001, list}, Step{list, 64002, list},
                          Step{total, 64001, total}, Step{total, 64002, list}}) {
        SetFocus(s.from);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(s.command, 1), 0);
        EXPECT_EQ(CountCode(PumpFor(60), EventCommand), 0) << s.command;
        EXPECT_EQ(GetFocus(), s.to) << s.command;
    }
}

TEST_F(WatcherLayout, LabelTextIsReplacedWholeAndAbsentTextEmptiesIt) {
    GadgetSetText(4, "x");
    EXPECT_EQ(WindowText(fresh), "x");
    GadgetSetText(4, nullptr);
    EXPECT_EQ(WindowText(fresh), "");
    // A label has no items: these leave it alone.
    GadgetClearItems(4);
    EXPECT_EQ(GadgetAddItem(4, -1, "item"), 0);
    EXPECT_EQ(WindowText(fresh), "");
}

TEST_F(WatcherLayout, ListBoxKeepsItemsWhereTheyAreInserted) {
    struct AddCase {
        int32_t position;
        const char* text;
        std::vector<std::string> want;
    };
    const AddCase steps[] = {
        {-1, "b", {"b"}},
        {-1, "a", {"b", "a"}},           // no sorting
        {-1, "a", {"b", "a", "a"}},      // duplicates stay
        {0, "c", {"c", "b", "a", "a"}},
        {4, "d", {"c", "b", "a", "a", "d"}},   // at the count: at the end
        {9, "e", {"c", "b", "a", "a", "d"}},   // beyond the count: nothing
        {-1, nullptr, {"c", "b", "a", "a", "d", ""}},
    };
    for (const AddCase& s : steps) {
        EXPECT_EQ(GadgetAddItem(2, s.position, s.text), 0) << s.position;
        EXPECT_EQ(Items(2), s.want) << s.position;
    }
    GadgetClearItems(2);
    EXPECT_EQ(GadgetCountItems(2), 0);
}

TEST_F(WatcherLayout, ListBoxItemOperations) {
    for (const char* name : {"Alpha", "beta", "Gamma", "BETA"})
        GadgetAddItem(2, -1, name);
    // Setting the text selects the first item equal to it without regard to case.
    const std::pair<const char*, int32_t> selections[] = {
        {"BETA", 1}, {"gamma", 2}, {"delta", -1}, {"alpha", 0}, {"", -1}};
    for (const auto& s : selections) {
        GadgetSetText(2, s.first);
        EXPECT_EQ(GadgetGetState(2), s.second) << s.first;
    }
    GadgetSetState(2, 1);
    EXPECT_STREQ(GadgetGetText(2), "beta");
    EXPECT_GT(GadgetGetItemState(2, 1), 0);
    GadgetSetItemData(2, 1, 4242);
    EXPECT_EQ(GadgetSetItemText(2, 1, "TWO"), 1);
    EXPECT_EQ(GadgetGetItemData(2, 1), 4242) << "the item keeps its data";
    EXPECT_EQ(GadgetSetItemText(2, 7, "none"), -1);
    GadgetRemoveItem(2, 0);
    EXPECT_EQ(Items(2), (std::vector<std::string>{"TWO", "Gamma", "BETA"}));
    EXPECT_STREQ(GadgetGetItemText(2, 5), "");
    EXPECT_STREQ(GadgetGetItemText(2, -1), "");
    GadgetSetState(2, -1);
    EXPECT_EQ(GadgetGetState(2), -1);
    EXPECT_STREQ(GadgetGetText(2), "");
}

TEST_F(WatcherLayout, BackColourPaintsThroughASharedBrush) {
    EXPECT_EQ(GadgetGetColour(3, 2), static_cast<COLORREF>(-1));
    HDC dc = GetDC(window);
    // Default colours: the label leaves WM_CTLCOLORSTATIC to the system, which answers a brush.
    GadgetSetColour(3, 2, RGB(10, 20, 30));
    GadgetSetColour(4, 2, RGB(10, 20, 30));
    GadgetSetColour(4, 1, RGB(200, 0, 0));
    EXPECT_EQ(GadgetGetColour(4, 7), static_cast<COLORREF>(-1)) << "no such colour";
    const LRESULT brush3 =
        SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(total));
    const LRESULT brush4 =
        SendMessageA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(fresh));
    EXPECT_NE(brush3, 0);
    EXPECT_EQ(brush3, brush4);
    EXPECT_EQ(GetTextColor(dc), RGB(200, 0, 0));
    EXPECT_EQ(GetBkColor(dc), RGB(10, 20, 30));
    // Back to the default: the other label still holds the shared brush.
    GadgetSetColour(3, 2, static_cast<COLORREF>(-1));
    LOGBRUSH lb{};
    EXPECT_NE(GetObjectA(reinterpret_cast<HGDIOBJ>(brush4), sizeof lb, &lb), 0);
    ReleaseDC(window, dc);
}

// Subclasses the old control to see, at the moment it dies, whether its successor exists.
static WNDPROC oldLabelProc;
static int staticsAtDestroy;
static LRESULT CALLBACK CountAtDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        staticsAtDestroy = 0;
        for (HWND c = FindWindowExA(GetParent(hwnd), nullptr, "Static", nullptr); c;
             c = FindWindowExA(GetParent(hwnd), c, "Static", nullptr))
            ++staticsAtDestroy;
    }
    return CallWindowProcA(oldLabelProc, hwnd, message, wParam, lParam);
}

TEST_F(WatcherLayout, ANumberInUseGoesToTheNewGadgetAfterItExists) {
    oldLabelProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(total, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountAtDestroy)));
    HWND replacement = reinterpret_cast<HWND>(LabelCreate(3, 5, 100, 100, 17, "new"));
    ASSERT_NE(replacement, nullptr);
    EXPECT_FALSE(IsWindow(total));
    EXPECT_EQ(staticsAtDestroy, 4) << "old label 3, the new one, labels 1 and 4";
    GadgetSetText(3, "changed");
    EXPECT_EQ(WindowText(replacement), "changed");
    EXPECT_EQ(GetWindowLongPtrA(replacement, GWLP_ID), 3);

    // A list box may take a label's number: the number then behaves as a list box.
    HWND listUnder4 = reinterpret_cast<HWND>(ListBoxCreate(4, 5, 100, 100, 50));
    ASSERT_NE(listUnder4, nullptr);
    EXPECT_FALSE(IsWindow(fresh));
    GadgetAddItem(4, -1, "x");
    EXPECT_EQ(GadgetCountItems(4), 1);
}

TEST_F(WatcherLayout, ListBoxIsFilledAndReadFromAWorker) {
    const char* names[] = {"\xC8\xE2\xE0\xED", "Petr", "\xCE\xEB\xFC\xE3\xE0", "Petr"};
    std::string seen;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        // The program's poll cycle: empty the list, append the rows, update the labels.
        for (int round = 0; round < 3; ++round) {
            GadgetClearItems(2);
            for (const char* name : names)
                GadgetAddItem(2, -1, name);
            GadgetSetText(1, "12:34:56");
            GadgetSetText(4, NewText);
        }
        seen = GadgetGetItemText(2, 2);
        done = true;
        PostMessageA(window, WM_NULL, 0, 0);
    });
    PumpUntil([&](const Events&) { return done.load(); }, 5000);
    worker.join();
    ASSERT_TRUE(done);
    EXPECT_EQ(Items(2), (std::vector<std::string>(std::begin(names), std::end(names))));
    EXPECT_EQ(WindowText(time), "12:34:56");
    EXPECT_EQ(WindowText(fresh), NewText);
    EXPECT_EQ(seen, names[2]);
}

class ListBoxMouse : public WatcherLayout {
protected:
    void SetUp() override {
        WatcherLayout::SetUp();
        for (const char* name : {"first", "second", "third"})
            GadgetAddItem(2, -1, name);
        GadgetSetState(2, -1);
        RECT item;
        SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
        onSecond = MAKELPARAM(item.left + 10, (item.top + item.bottom) / 2);
        cx = GetSystemMetrics(SM_CXDRAG);
    }
    std::vector<int32_t> ControlKinds(const Events& events) {
        std::vector<int32_t> kinds;
        for (const Delivered& e : events)
            if (e.code == EventControl) {
                EXPECT_EQ(e.object, 2);
                kinds.push_back(e.kind);
            }
        return kinds;
    }
    LPARAM onSecond = 0;
    int cx = 0;
};

// A press on an item without modifiers is remembered, for a drag, until the release; the
// release then reports itself beside the list box's selection change: two events of kind 0
// and no raw WM_COMMAND event.
TEST_F(ListBoxMouse, PressesOnAnItemAreHeldUntilTheRelease) {
    RECT client;
    GetClientRect(list, &client);
    struct PressCase { const char* what; LPARAM at; WPARAM keys; bool held; int32_t selected; };
    const PressCase cases[] = {
        {"on an item", onSecond, 0, true, 1},
        {"on the top-left pixel", MAKELPARAM(0, 0), 0, true, 0},
        {"beside the items", MAKELPARAM(10, client.bottom - 2), 0, false, -1},
        {"with Control", onSecond, MK_CONTROL, false, -1},
    };
    for (const PressCase& c : cases) {
        SCOPED_TRACE(c.what);
        GadgetSetState(2, -1);
        PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON | c.keys, c.at);
        PumpFor(60);
        EXPECT_EQ(GetPropA(list, "TK_MouseDown") != nullptr, c.held);
        PostMessageA(list, WM_LBUTTONUP, 0, c.at);
        const std::vector<int32_t> kinds = ControlKinds(PumpFor(100));
        if (c.held) {
            EXPECT_EQ(kinds, (std::vector<int32_t>{0, 0}));
            EXPECT_EQ(GadgetGetState(2), c.selected);
        }
        EXPECT_EQ(GetPropA(list, "TK_MouseDown"), nullptr);
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(ListBoxMouse, DoubleClickAddsKindTwo) {
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, onSecond);
    PostMessageA(list, WM_LBUTTONUP, 0, onSecond);
    const auto kinds = ControlKinds(PumpFor(150));
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), 2), kinds.end());
}

// Counts the list box's own selection notifications on their way to the window.
static WNDPROC windowProcBeforeCount;
static int selectionNotices;
static LRESULT CALLBACK CountSelectionNotices(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE)
        ++selectionNotices;
    return CallWindowProcA(windowProcBeforeCount, hwnd, message, wParam, lParam);
}

TEST_F(ListBoxMouse, MoveBeyondTheThresholdStartsADrag) {
    const int x = LOWORD(onSecond), y = HIWORD(onSecond);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, onSecond);
    PostMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + cx, y));  // within: nothing
    auto kinds = ControlKinds(PumpFor(100));
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 14002), 0);
    EXPECT_NE(GetPropA(list, "TK_MouseDown"), nullptr);

    PostMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + cx + 1, y));
    kinds = ControlKinds(PumpFor(100));
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 14002), 1);
    EXPECT_EQ(GetPropA(list, "TK_MouseDown"), nullptr);
    EXPECT_NE(GetCapture(), list);

    // Wine's list box still reports the press's selection when the button goes up after the
    // drag took its capture; that notice may come, but no release event of our own.
    windowProcBeforeCount = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountSelectionNotices)));
    selectionNotices = 0;
    PostMessageA(list, WM_LBUTTONUP, 0, MAKELPARAM(x + cx + 1, y));
    kinds = ControlKinds(PumpFor(100));
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProcBeforeCount));
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), 0), selectionNotices);
}

TEST(Gadgets, ClosingTheWindowFreesTheNumbersChosenOrNotAndTheParent) {
    HWND window = reinterpret_cast<HWND>(WinOpen(0, 0, 0, W, H, "w", 0xCA0001));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GadgetParentSet(nullptr), window);
    HWND label = reinterpret_cast<HWND>(LabelCreate(1, 5, 5, 50, 20, "x"));
    ASSERT_NE(label, nullptr);
    ListBoxCreate(2, 5, 30, 50, 50);
    const auto chosen = static_cast<int32_t>(ListBoxCreate(-1, 5, 5, 100, 100));
    ASSERT_GT(chosen, 0);
    EXPECT_EQ(GadgetAddItem(chosen, -1, "auto"), 0);
    EXPECT_EQ(GadgetCountItems(chosen), 1);
    WinClose(0);
    EXPECT_FALSE(IsWindow(label));
    EXPECT_EQ(GadgetCountItems(chosen), 0);
    EXPECT_EQ(GadgetParentSet(nullptr), nullptr);
    EXPECT_EQ(GadgetAddItem(2, -1, "x"), 0);
    EXPECT_EQ(GadgetCountItems(2), 0);
    // With no parent, creation fails and leaves the number free.
    EXPECT_EQ(LabelCreate(1, 0, 0, 10, 10, "x"), 0);
    EXPECT_EQ(GadgetCountItems(1), 0);
}

TEST(Gadgets, UnknownNumbersDoNothing) {
    for (int32_t number : {77, -1, -9, 1 << 30}) {
        GadgetSetText(number, "x");
        GadgetClearItems(number);
        EXPECT_EQ(GadgetAddItem(number, -1, "x"), 0) << number;
        EXPECT_EQ(GadgetGetState(number), -1) << number;
        EXPECT_STREQ(GadgetGetText(number), "") << number;
        EXPECT_EQ(GadgetSetItemText(number, 0, "x"), -1) << number;
        GadgetSetColour(number, 2, 0);
        EXPECT_EQ(GadgetGetItemData(number, 0), 0) << number;
    }
    GadgetPostEvent(nullptr, 0);
    EXPECT_EQ(CountCode(PumpFor(50), static_cast<int32_t>(GadgetNotifyMsg)), 0);
}
