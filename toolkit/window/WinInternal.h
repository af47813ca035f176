#pragma once
#include <windows.h>
#include <cstdint>

// What the window toolkit's files share among themselves; the program uses Win.h.

struct WindowRecord {
    HWND handle;              // 0 marks a free slot
    HACCEL acceleratorTable;  // Tab and Shift+Tab; 0 when it could not be made
    int32_t sizeState;        // 1 while minimised or maximised
};

constexpr int32_t NoWindow = -1;
constexpr int32_t NoKind = -1;

WindowRecord* WindowRecordOf(int32_t number);  // null when there is no such window
int32_t WindowNumberOf(HWND hwnd);             // from its property; NoWindow for other windows

// The event side (EventWait_win.cpp), for the window procedure.
void EventInit();
bool EventsReady();
void EventSetWindow(int32_t window);  // the toolkit window of the message being handled
void EventSetObject(int32_t object);  // what a message that makes no event concerns
// An event that stands for the message being handled: the wait returns it instead of the
// message's number.
void EventReport(int32_t code, int32_t object, int32_t kind);
void EventModalLoop(bool entered);  // a modal loop of the system's begins (true) or ends

// Tab navigation without a dialog manager (Navigation_win.cpp).
HACCEL NavigationCreate();              // a window's Tab and Shift+Tab table
HACCEL NavigationTableOf(HWND active);  // the table to translate the active window's keys by
bool NavigationCommand(WORD command);   // moves the focus when the command is a Tab command
