#pragma once
// Shared by the window tests: toolkit start-up once per program, and bounded event waits.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Gadget.h"
#include "toolkit/window/Win.h"

class WindowToolkitEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(PrivateHeapCreate());
        ScratchInit();
        WinInit();
        GadgetInit();
    }
};

// A thread timer wakes WinWaitEvent now and then, so no wait can hang. It arrives as a bare
// WM_TIMER (275): toolkit windows' timers come back as EventTimerFired instead, so every 275
// a test sees is the watchdog's.
constexpr UINT WatchdogMs = 20;
constexpr int32_t WatchdogCode = WM_TIMER;

struct Delivered {
    int32_t code;
    int32_t kind;
    int32_t object;
};
using Events = std::vector<Delivered>;

// Waits until `done(the events so far)` holds or `ms` pass, returning every event delivered.
inline Events PumpUntil(const std::function<bool(const Events&)>& done, DWORD ms = 3000) {
    Events seen;
    const UINT_PTR watchdog = SetTimer(nullptr, 0, WatchdogMs, nullptr);
    const DWORD start = GetTickCount();
    while (!done(seen) && GetTickCount() - start < ms) {
        const int32_t code = WinWaitEvent();
        if (code != WatchdogCode) seen.push_back({code, WinEventKind(), WinEventObject()});
    }
    KillTimer(nullptr, watchdog);
    return seen;
}

// Everything that arrives within `ms`: for checking what a step produced, and that it
// produced nothing more.
inline Events PumpFor(DWORD ms) {
    return PumpUntil([](const Events&) { return false; }, ms);
}

inline int CountCode(const Events& events, int32_t code) {
    int n = 0;
    for (const Delivered& e : events) n += e.code == code;
    return n;
}

// Index of the first event with `code` at or after `from`, or -1.
inline int FindCode(const Events& events, int32_t code, int from = 0) {
    for (int i = from; i < static_cast<int>(events.size()); ++i)
        if (events[i].code == code) return i;
    return -1;
}
