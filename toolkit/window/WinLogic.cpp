#include "toolkit/window/WinLogic.h"

constexpr uint32_t ToolWindowRemoved = 0x21030000;  // WS_MINIMIZE|WS_MAXIMIZE|both boxes
constexpr uint32_t OptionBits = 0x00000007;         // never a window style bit
constexpr uint32_t CaptionlessOptions = WinFlagCentreScreen | WinFlagCentreParent | WinFlagHidden;

constexpr uint32_t MouseLeftDown = 0x0201;
constexpr uint32_t MouseLeftDouble = 0x0203;
constexpr uint32_t MouseRightDown = 0x0204;
constexpr uint32_t MouseRightDouble = 0x0206;

WinOpenStyle WinDecodeFlags(uint32_t flags) {
    WinOpenStyle out{};
    out.becomesGadgetParent = (flags & WinFlagNoGadgetParent) == 0;
    flags &= ~WinFlagNoGadgetParent;
    // A caller that asks for nothing but placement still gets a window one can move and close.
    if ((flags & ~CaptionlessOptions) == 0)
        flags |= WinStyleCaption;
    if (flags & WinFlagToolWindow) {
        out.exStyle = WinExStyleToolWindow;
        flags = (flags & ~ToolWindowRemoved) | WinStyleCaption;
    }
    out.centre = (flags & WinFlagCentreScreen)   ? WinCentre::Screen
                 : (flags & WinFlagCentreParent) ? WinCentre::Parent
                                                 : WinCentre::None;
    if (flags & WinFlagHidden)
        out.show = WinShow::Hidden;
    else if (flags & WinStyleMaximize)
        out.show = WinShow::Maximised;
    else if (flags & WinStyleMinimize)
        out.show = WinShow::Minimised;
    else
        out.show = WinShow::Normal;
    out.sizeState = (flags & (WinStyleMaximize | WinStyleMinimize)) != 0;
    out.style = flags & ~(OptionBits | WinFlagHidden);
    return out;
}

int32_t WinCentreOnScreen(int32_t screen, int32_t* size) {
    if (*size > screen)
        *size = screen;
    return static_cast<int32_t>((static_cast<int64_t>(screen) - *size) / 2);
}

int32_t WinCentreOnSpan(int32_t lo, int32_t hi, int32_t size) {
    const int64_t pos =
        lo + (static_cast<int64_t>(hi) - lo - size) / 2;  // 64-bit: extreme rectangles overflow
    if (pos < 0)
        return 0;
    return pos > INT32_MAX ? INT32_MAX : static_cast<int32_t>(pos);
}

int32_t TrayKindFromMouse(uint32_t mouseMessage) {
    switch (mouseMessage) {
    case MouseLeftDown:
        return TrayKindLeftPress;
    case MouseRightDown:
        return TrayKindRightPress;
    case MouseLeftDouble:
        return TrayKindLeftDoubleClick;
    case MouseRightDouble:
        return TrayKindRightDoubleClick;
    default:
        return TrayKindNone;
    }
}

static int32_t LowSigned(uint32_t point) { return static_cast<int16_t>(point & 0xFFFF); }
static int32_t HighSigned(uint32_t point) { return static_cast<int16_t>(point >> 16); }

bool DragThresholdPassed(uint32_t pressPoint, uint32_t nowPoint, int32_t cx, int32_t cy) {
    const int32_t dx = LowSigned(nowPoint) - LowSigned(pressPoint);
    const int32_t dy = HighSigned(nowPoint) - HighSigned(pressPoint);
    return dx < -cx || dx > cx || dy < -cy || dy > cy;
}

void TabWalkSee(TabWalk* walk, uintptr_t candidate) {
    if (!walk->first)
        walk->first = candidate;
    if (walk->current && candidate == walk->current) {
        walk->currentSeen = true;
        walk->beforeCurrent = walk->last;
    } else if (walk->currentSeen && !walk->afterCurrent) {
        walk->afterCurrent = candidate;
    }
    walk->last = candidate;
}

uintptr_t TabWalkNext(const TabWalk* walk) {
    if (!walk->current)
        return walk->first;
    // A focus window that takes no Tab (a label, a disabled control) keeps the focus where it is.
    if (!walk->currentSeen)
        return 0;
    return walk->afterCurrent ? walk->afterCurrent : walk->first;
}

uintptr_t TabWalkPrevious(const TabWalk* walk) {
    if (walk->current && walk->currentSeen && walk->beforeCurrent)
        return walk->beforeCurrent;
    return walk->last;
}
