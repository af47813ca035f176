#pragma once

constexpr int ExitStartUpFailed = 1;

enum class StartUp {
    Running,      // the window is up and the first poll started
    AnotherCopy,  // a copy for the same forum runs already; its window was brought forward
    Failed,       // no heap, lock or window: the watcher ends with ExitStartUpFailed
};

// The program's entry: start-up, the event loop and shut-down, all on the main thread.
// Private heap, toolkit, state, sound, window, timer, tray, first poll.
StartUp ShellStartUp();
bool ShellBuildWindow();  // window 0 and its controls, timer 6 and tray icon 7; false: no window
void ShellRunLoop();      // returns when the window is closed
void ShellAcknowledge();  // back to the idle icon and "no new" in label 4
[[noreturn]] void ShellShutDown();
