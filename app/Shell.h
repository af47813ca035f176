#pragma once

// The program's entry: start-up, the event loop and shut-down, all on the main thread.
void ShellStartUp();       // private heap, toolkit, state, sound, window, timer, tray, first poll
void ShellBuildWindow();   // window 0 and its controls, timer 6 and tray icon 7
void ShellRunLoop();       // returns when the window is closed
void ShellAcknowledge();   // back to the idle icon and "no new" in label 4
[[noreturn]] void ShellShutDown();
