#pragma once
#include <cstdint>

// The decisions of the window toolkit that need no window: decoding WinOpen's flags, placing a
// window, reading tray mouse actions, the list box drag threshold and the Tab order walk.
// Kept free of <windows.h> so the native sanitizer build tests them.

constexpr uint32_t WinFlagCentreScreen = 0x00000001;
constexpr uint32_t WinFlagCentreParent = 0x00000002;
constexpr uint32_t WinFlagToolWindow = 0x00000004;
constexpr uint32_t WinFlagNoGadgetParent = 0x00000008;
constexpr uint32_t WinFlagHidden = 0x10000000;     // WS_VISIBLE, taken out of the style
constexpr uint32_t WinStyleMaximize = 0x01000000;  // WS_MAXIMIZE
constexpr uint32_t WinStyleMinimize = 0x20000000;  // WS_MINIMIZE
constexpr uint32_t WinStyleCaption = 0x00C00000;   // WS_CAPTION
constexpr uint32_t WinExStyleToolWindow = 0x00000080;
constexpr int32_t WinIgnorePosition = -65535;

enum class WinCentre { None, Screen, Parent };
enum class WinShow { Hidden, Normal, Minimised, Maximised };

struct WinOpenStyle {
    uint32_t style;  // as handed to the window: the option bits are already cleared
    uint32_t exStyle;
    WinCentre centre;
    WinShow show;
    bool becomesGadgetParent;
    bool sizeState;  // starts minimised or maximised
};

WinOpenStyle WinDecodeFlags(uint32_t flags);
// Position along one axis of a window `size` long centred on a screen `screen` long; a window
// longer than the screen is shortened to it (`size` is updated).
int32_t WinCentreOnScreen(int32_t screen, int32_t* size);
// Position along one axis centred on the span lo..hi of a reference window, never below 0.
int32_t WinCentreOnSpan(int32_t lo, int32_t hi, int32_t size);

// Tray kind of the mouse message a tray icon reports, or TrayKindNone for one that makes no event.
constexpr int32_t TrayKindNone = -1;
constexpr int32_t TrayKindLeftPress = 0;
constexpr int32_t TrayKindRightPress = 1;
constexpr int32_t TrayKindLeftDoubleClick = 2;
constexpr int32_t TrayKindRightDoubleClick = 3;
int32_t TrayKindFromMouse(uint32_t mouseMessage);

// True when the pointer has left the drag rectangle around the press; points are packed as in
// a mouse message's lParam (signed 16-bit x low, y high).
bool DragThresholdPassed(uint32_t pressPoint, uint32_t nowPoint, int32_t cx, int32_t cy);

// One walk over the tab stops in window order, fed candidate by candidate; windows are opaque
// non-zero handles. Zero-fill to start, set `current` (0 = no current window).
struct TabWalk {
    uintptr_t current;
    uintptr_t first;
    uintptr_t last;
    uintptr_t beforeCurrent;
    uintptr_t afterCurrent;
    bool currentSeen;
};
void TabWalkSee(TabWalk* walk, uintptr_t candidate);
uintptr_t TabWalkNext(const TabWalk* walk);      // window to focus for Tab; 0 = leave the focus
uintptr_t TabWalkPrevious(const TabWalk* walk);  // window to focus for Shift+Tab; 0 = none
