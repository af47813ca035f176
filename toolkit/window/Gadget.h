#pragma once
#include <windows.h>
#include <cstdint>

// Numbered child controls (labels and list boxes) in the current gadget parent.
void GadgetInit();
intptr_t LabelCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* text, uint32_t flags = 0);   // handle, or chosen number for -1
intptr_t ListBoxCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t flags = 0);
void GadgetSetText(int32_t number, const char* text);          // any thread
void GadgetClearItems(int32_t number);                         // any thread
int32_t GadgetAddItem(int32_t number, int32_t position, const char* text);  // -1 appends; any thread
HWND GadgetParentSet(HWND window);                             // returns the previous parent
LRESULT CALLBACK GadgetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void GadgetPostEvent(HWND control, int32_t type);
// Forwarding from the toolkit window procedure: the answer of the gadget's kind, or NotHandled.
LRESULT GadgetForward(HWND gadget, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
