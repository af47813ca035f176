#include "toolkit/window/WinLogic.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/window/EventQueue.h"

static auto Fields(const WinOpenStyle& d) {
    return std::make_tuple(d.style, d.exStyle, static_cast<int>(d.centre), static_cast<int>(d.show),
                           d.becomesGadgetParent, d.sizeState);
}

TEST(WinDecodeFlags, SplitsOptionsFromStyle) {
    constexpr WinCentre None = WinCentre::None, Screen = WinCentre::Screen;
    constexpr WinShow Normal = WinShow::Normal;
    const struct {
        uint32_t flags;
        WinOpenStyle want;  // style, extended style, centring, show, gadget parent, size state
    } cases[] = {
        // The watcher's window: caption, system menu, minimise box, centred on the screen.
        {0xCA0001, {0xCA0000, 0, Screen, Normal, true, false}},
        // Nothing but options: a caption is added all the same.
        {0x0, {0xC00000, 0, None, Normal, true, false}},
        {0x1, {0xC00000, 0, Screen, Normal, true, false}},
        {0x2, {0xC00000, 0, WinCentre::Parent, Normal, true, false}},
        {0x10000000, {0xC00000, 0, None, WinShow::Hidden, true, false}},
        {0x8, {0xC00000, 0, None, Normal, false, false}},
        // A real style bit suppresses the added caption.
        {0x80000, {0x80000, 0, None, Normal, true, false}},
        // Screen centring wins over parent centring.
        {0x3 | 0x80000, {0x80000, 0, Screen, Normal, true, false}},
        // Tool window: no size state, no boxes, a caption, the tool-window extended style.
        {0x4 | 0x21030000 | 0x80000, {0xC80000, 0x80, None, Normal, true, false}},
        {0x4, {0xC00000, 0x80, None, Normal, true, false}},
        // Size states stay in the style and decide the show command; hidden overrides them.
        {0x01CF0000, {0x01CF0000, 0, None, WinShow::Maximised, true, true}},
        {0x20CF0000, {0x20CF0000, 0, None, WinShow::Minimised, true, true}},
        {0x31CF0000, {0x21CF0000, 0, None, WinShow::Hidden, true, true}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fields(WinDecodeFlags(c.flags)), Fields(c.want)) << std::hex << c.flags;
}

TEST(WinCentre, PlacesAndClampsAlongOneAxis) {
    struct ScreenCase {
        int32_t screen, size, wantPos, wantSize;
    };
    const ScreenCase screens[] = {
        {1280, 206, 537, 206}, {1280, 1281, 0, 1280}, {1280, 1279, 0, 1279}, {100, 0, 50, 0},
    };
    for (const ScreenCase& c : screens) {
        int32_t size = c.size;
        EXPECT_EQ(WinCentreOnScreen(c.screen, &size), c.wantPos) << c.screen << " " << c.size;
        EXPECT_EQ(size, c.wantSize) << c.screen << " " << c.size;
    }
    struct SpanCase {
        int32_t lo, hi, size, want;
    };
    const SpanCase spans[] = {
        {100, 500, 200, 200},
        {100, 300, 400, 0},  // larger than its reference: never above or left of the screen
        {-50, 50, 20, 0},
        {0, 2147483647, 1, 1073741823},
        {-2147483647 - 1, 2147483647, -2147483647 - 1, 1073741823},  // no overflow
    };
    for (const SpanCase& c : spans)
        EXPECT_EQ(WinCentreOnSpan(c.lo, c.hi, c.size), c.want) << c.lo << ".." << c.hi;
}

TEST(TrayKindFromMouse, OnlyPressesAndDoubleClicksHaveKinds) {
    const struct {
        uint32_t message;
        int32_t kind;
    } cases[] = {{0x201, 0}, {0x204, 1}, {0x203, 2}, {0x206, 3}, {0x200, -1},
                 {0x202, -1}, {0x205, -1}, {0x207, -1}, {0x209, -1}, {0, -1}, {0xFFFFFFFF, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(TrayKindFromMouse(c.message), c.kind) << std::hex << c.message;
}

static uint32_t Point(int x, int y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

TEST(DragThresholdPassed, LeavesTheRectangleOnlyBeyondTheThreshold) {
    const struct {
        uint32_t press, now;
        bool passed;
    } cases[] = {
        {Point(10, 10), Point(14, 14), false},  // on the edge of a 4 x 4 threshold
        {Point(10, 10), Point(15, 10), true},
        {Point(10, 10), Point(6, 10), false},
        {Point(10, 10), Point(10, 6), false},
        {Point(10, 10), Point(10, 4), true},
        {Point(2, 2), Point(-3, 2), true},      // captured points may be negative
        {Point(0, 0), Point(-4, -4), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DragThresholdPassed(c.press, c.now, 4, 4), c.passed)
            << std::hex << c.press << " -> " << c.now;
}

struct TabCase {
    std::vector<uintptr_t> stops;
    uintptr_t current;
    uintptr_t next, previous;
};

TEST(TabWalk, WrapsAroundTheTabStops) {
    const TabCase cases[] = {
        {{1, 2, 3}, 0, 1, 3},   // no focus yet: Tab takes the first, Shift+Tab the last
        {{1, 2, 3}, 1, 2, 3},
        {{1, 2, 3}, 2, 3, 1},
        {{1, 2, 3}, 3, 1, 2},
        {{1, 2, 3}, 9, 0, 3},   // focus on something that takes no Tab
        {{5}, 5, 5, 5},         // the watcher: the list box is the only stop
        {{}, 0, 0, 0},
        {{}, 4, 0, 0},
    };
    for (const TabCase& c : cases) {
        TabWalk walk{};
        walk.current = c.current;
        for (uintptr_t stop : c.stops)
            TabWalkSee(&walk, stop);
        EXPECT_EQ(TabWalkNext(&walk), c.next) << "current " << c.current;
        EXPECT_EQ(TabWalkPrevious(&walk), c.previous) << "current " << c.current;
    }
}

class EventQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(PrivateHeapCreate()); }
    void TearDown() override { EventQueueClear(&queue); }
    std::vector<std::pair<int32_t, int32_t>> Drain() {
        std::vector<std::pair<int32_t, int32_t>> out;
        int32_t code, window;
        while (EventQueuePop(&queue, &code, &window))
            out.emplace_back(code, window);
        return out;
    }
    EventQueue queue{};
};

TEST_F(EventQueueTest, MergesOnlyARepeatOfTheNewestEvent) {
    const std::pair<int32_t, int32_t> pushed[] = {
        {3, 0}, {3, 0}, {3, 0},  // a burst of moves: one
        {15, 0}, {3, 0},         // not adjacent: kept
        {3, 1},                  // another window: kept
        {5, 1}, {5, 1},
    };
    for (const auto& p : pushed)
        EventQueuePush(&queue, p.first, p.second);
    const std::vector<std::pair<int32_t, int32_t>> want = {{3, 0}, {15, 0}, {3, 0}, {3, 1}, {5, 1}};
    EXPECT_EQ(Drain(), want);
    EXPECT_EQ(queue.head, nullptr);
    EXPECT_EQ(queue.tail, nullptr);
    // Once drained, the same event queues again.
    EXPECT_TRUE(EventQueuePush(&queue, 5, 1));
    EXPECT_EQ(Drain().size(), 1u);
}
