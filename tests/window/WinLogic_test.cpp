#include "toolkit/window/WinLogic.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/window/EventQueue.h"

TEST(WinDecodeFlags, SplitsOptionsFromStyle) {
    constexpr WinCentre None = WinCentre::None, Screen = WinCentre::Screen;
    constexpr WinShow Normal = WinShow::Normal, Hidden = WinShow::Hidden;
    const std::pair<uint32_t, WinOpenStyle> cases[] = {
        // style, extended style, centring, show, gadget parent, size state
        {0xCA0001, {0xCA0000, 0, Screen, Normal, true, false}},  // the watcher's window
        // Nothing but options: a caption is added all the same.
        {0x8 | 0x2, {0xC00000, 0, WinCentre::Parent, Normal, false, false}},
        // A real style bit suppresses the added caption; screen centring wins over parent.
        {0x3 | 0x80000, {0x80000, 0, Screen, Normal, true, false}},
        {0x10000000, {0xC00000, 0, None, Hidden, true, false}},
        // Tool window: no size state, no boxes, a caption, the tool-window extended style.
        {0x4 | 0x21030000 | 0x80000, {0xC80000, 0x80, None, Normal, true, false}},
        // Size states stay in the style and decide the show command; hidden overrides them.
        {0x01CF0000, {0x01CF0000, 0, None, WinShow::Maximised, true, true}},
        {0x20CF0000, {0x20CF0000, 0, None, WinShow::Minimised, true, true}},
        {0x31CF0000, {0x21CF0000, 0, None, Hidden, true, true}},
    };
    auto fields = [](const WinOpenStyle& d) {
        return std::make_tuple(d.style, d.exStyle, static_cast<int>(d.centre),
                               static_cast<int>(d.show), d.becomesGadgetParent, d.sizeState);
    };
    for (const auto& [flags, want] : cases)
        EXPECT_EQ(fields(WinDecodeFlags(flags)), fields(want)) << std::hex << flags;
}

// Centring on a parent and shrinking to the screen are seen on real windows.
TEST(WinCentre, PlacesAndClampsAlongOneAxis) {
    int32_t size = 206, huge = 1281;
    EXPECT_EQ(WinCentreOnScreen(1280, &size), 537);
    EXPECT_EQ(WinCentreOnScreen(1280, &huge) + huge, 1280);  // shortened to the screen, at 0
    EXPECT_EQ(WinCentreOnSpan(100, 500, 200), 200);
    EXPECT_EQ(WinCentreOnSpan(100, 300, 400), 0);  // never above or left of the screen
    EXPECT_EQ(WinCentreOnSpan(INT32_MIN, INT32_MAX, INT32_MIN), 1073741823);  // no overflow
}

// A 4 x 4 threshold around a press at the origin: its edge is still inside. Points are packed as
// in a mouse message, and captured ones may be negative.
TEST(DragThresholdPassed, LeavesTheRectangleOnlyBeyondTheThreshold) {
    const std::tuple<int, int, bool> moves[] = {{4, 4, false}, {-4, -4, false}, {5, 0, true},
                                                {-5, 0, true}, {0, 5, true},    {0, -5, true}};
    auto p = [](int x, int y) { return static_cast<uint32_t>(y) << 16 | static_cast<uint16_t>(x); };
    for (const auto& [dx, dy, passed] : moves)
        EXPECT_EQ(DragThresholdPassed(0, p(dx, dy), 4, 4), passed) << dx << " " << dy;
}

// No focus yet: Tab takes the first stop, Shift+Tab the last; focus on something that takes no
// Tab stays put; both wrap around, the watcher's list box being its only stop.
TEST(TabWalk, WrapsAroundTheTabStops) {
    // stops, current, next, previous
    const std::tuple<std::vector<uintptr_t>, uintptr_t, uintptr_t, uintptr_t> cases[] = {
        {{1, 2, 3}, 0, 1, 3}, {{1, 2, 3}, 2, 3, 1}, {{1, 2, 3}, 9, 0, 3}, {{5}, 5, 5, 5}};
    for (const auto& [stops, current, next, previous] : cases) {
        TabWalk walk{current, 0, 0, 0, 0, false};
        for (uintptr_t stop : stops)
            TabWalkSee(&walk, stop);
        EXPECT_EQ(TabWalkNext(&walk), next) << "current " << current;
        EXPECT_EQ(TabWalkPrevious(&walk), previous) << "current " << current;
    }
}

// A burst of the same event is one; the same event after another, for another window, object
// or kind is kept, so a tray press among timer ticks keeps its kind; once drained, the same event
// queues again.
TEST(EventQueue, MergesOnlyARepeatOfTheNewestEvent) {
    ASSERT_TRUE(PrivateHeapCreate());
    using Event = std::tuple<int32_t, int32_t, int32_t, int32_t>;  // code, window, object, kind
    const Event moved{3, 0, 0, -1}, redraw{15, 0, 0, -1}, movedOther{3, 1, 0, -1},
        tick{13110, 0, 6, -1}, tickOther{13110, 0, 5, -1}, press{13102, 0, 7, 1},
        pressLeft{13102, 0, 7, 0};
    EventQueue queue{};
    for (const auto& [code, window, object, kind] :
         {moved, moved, redraw, moved, movedOther, tick, tick, press, tick, tickOther, pressLeft,
          press})
        EventQueuePush(&queue, {code, window, object, kind, code > 13000});
    std::vector<Event> out;
    for (WinEvent e; EventQueuePop(&queue, &e);)
        out.emplace_back(e.code, e.window, e.object, e.kind);
    EXPECT_EQ(out, (std::vector<Event>{moved, redraw, moved, movedOther, tick, press, tick,
                                       tickOther, pressLeft, press}));
    EXPECT_TRUE(EventQueuePush(&queue, {13102, 0, 7, 1, true})) << "the press again";
    EventQueueClear(&queue);  // the sanitizer's leak check sees a node left behind
}
