#pragma once
#include <windows.h>
#include <cstdint>

// Numbered top-level windows, the shared window procedure and the pull-model event wait.
constexpr int32_t EventMoved = 3;
constexpr int32_t EventSized = 5;
constexpr int32_t EventRedraw = 15;
constexpr int32_t EventClose = 16;
constexpr int32_t EventControl = 13100;
constexpr int32_t EventCommand = 13101;
constexpr int32_t EventTray = 13102;
constexpr int32_t EventActivated = 13104;
constexpr int32_t EventMinimised = 13107;
constexpr int32_t EventMaximised = 13108;
constexpr int32_t EventRestored = 13109;
constexpr int32_t EventTimerFired = 13110;
constexpr int32_t EventTaskbarCreated = 13111;  // the taskbar was re-created: tray icons must be added again

constexpr UINT TrayCallbackMsg = 12501;
constexpr UINT TrayEventMsg = 12502;
constexpr UINT GadgetNotifyMsg = 13103;

constexpr LRESULT NotHandled = static_cast<LRESULT>(0xD0D0D0D1u);
// Each window's class is named after its number; tools outside find the watcher by it.
constexpr char WinClassNameFormat[] = "WindowClass_%d";

void WinInit();
void WinEnd();
// Client area innerWidth x innerHeight; flags as the toolkit encodes them (style bits plus
// options in the low bits). Native handle, or the chosen number for -1; 0 on failure.
intptr_t WinOpen(int32_t number, int32_t x, int32_t y, int32_t innerWidth, int32_t innerHeight,
                 const char* title, uint32_t flags, HWND parent = nullptr);
void WinClose(int32_t number);
void WinSetTopmost(int32_t number, int32_t on);
int32_t WinClientWidth(int32_t number);
int32_t WinClientHeight(int32_t number);
HWND WinHandle(int32_t number);  // any thread; null when there is no window
UINT_PTR WinAddTimer(int32_t number, int32_t timer, int32_t milliseconds);
int32_t WinSetIcon(HWND window, intptr_t icon);  // small icon; any thread; always 0
int32_t WinWaitEvent();
int32_t WinEventKind();  // -1 when the event has no kind
int32_t WinEventObject();
int32_t WinEventWindow();
void QueueEvent(int32_t code, int32_t window);
// Called on the main thread for each event queued while a modal loop (the window dragged, its
// system menu open) keeps WinWaitEvent from returning; WinEventKind/Object/Window describe the
// event during the call. False leaves that event, and those after it, queued for WinWaitEvent.
using WinModalHandler = bool (*)(int32_t event);
void WinSetModalHandler(WinModalHandler handler);
LRESULT CALLBACK ToolkitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
