#pragma once

constexpr int ExitStartUpFailed = 1;

// The program's entry: start-up, the event loop and shut-down, all on the main thread.
// Private heap, toolkit, state, sound, window, timer, tray, first poll. False when the heap, the
// watcher lock or the window could not be made: the watcher then ends with ExitStartUpFailed.
bool ShellStartUp();
bool ShellBuildWindow();   // window 0 and its controls, timer 6 and tray icon 7; false: no window
void ShellRunLoop();       // returns when the window is closed
void ShellAcknowledge();   // back to the idle icon and "no new" in label 4
[[noreturn]] void ShellShutDown();
