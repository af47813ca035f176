#pragma once
#include <cstdint>

constexpr int ExitStartUpFailed = 1;
constexpr int ExitBadArgument = 2;

enum class StartUp {
    Running,       // the window is up and the first poll started
    AnotherCopy,   // a copy for the same forum runs already; its window was brought forward
    NoHeap,        // the failures: the watcher says which and ends with ExitStartUpFailed
    NoLock,
    NoTempFolder,  // missing, or no file can be made there
    NoWindow,
};

// The program's entry: start-up, the event loop and shut-down, all on the main thread.
// Private heap, toolkit, state, sound, window, timer, tray, first poll.
StartUp ShellStartUp();
bool ShellBuildWindow();  // window 0 and its controls, timer 6 and tray icon 7; false: no window
// Says in a message box why the start-up failed, and lets a start for the same forum go ahead
// meanwhile. Needs neither the heap nor the toolkit.
void ShellSayStartUpFailed(StartUp failed);
void ShellSay(const char* text);  // Windows-1251; a message box of the watcher's own
// One event from the wait: first the alert sound a cycle asked for, then what the event asks;
// false for the close request, after which the caller shuts down.
bool ShellHandleEvent(int32_t event);
void ShellRunLoop();      // returns when the window is closed
void ShellAcknowledge();  // back to the idle icon and "no new" in label 4
[[noreturn]] void ShellShutDown();
