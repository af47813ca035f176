#pragma once
#include <windows.h>
#include <cstdint>

// Numbered child controls (labels and list boxes) in the current gadget parent.
void GadgetInit();
intptr_t LabelCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* text, uint32_t flags = 0);  // handle, or chosen number for -1
intptr_t ListBoxCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t flags = 0);
void GadgetSetText(int32_t number, const char* text);  // any thread
void GadgetClearItems(int32_t number);                 // any thread
int32_t GadgetAddItem(int32_t number, int32_t position,
                      const char* text);  // -1 appends; any thread
// Holds a gadget's painting (hold != 0) while many changes are made, then lets it paint them all
// at once (hold == 0). Any thread.
void GadgetHoldPainting(int32_t number, int32_t hold);
// The kinds' other operations. A gadget that lacks one does nothing and answers 0, -1 where -1
// means "none" (states, colours), or the empty text; texts are new texts in the scratch area.
int32_t GadgetGetState(int32_t number);  // list box: selected item, -1 none
void GadgetSetState(int32_t number, int32_t state);
char* GadgetGetText(int32_t number);  // list box: selected item's text
void GadgetRemoveItem(int32_t number, int32_t position);
int32_t GadgetCountItems(int32_t number);
int32_t GadgetGetItemState(int32_t number, int32_t position);
void GadgetSetItemState(int32_t number, int32_t position, int32_t state);
char* GadgetGetItemText(int32_t number, int32_t position);                      // any thread
int32_t GadgetSetItemText(int32_t number, int32_t position, const char* text);  // -1 on failure
void GadgetSetColour(int32_t number, int32_t type, COLORREF colour);  // 1 text, 2 back; -1 default
COLORREF GadgetGetColour(int32_t number, int32_t type);
void GadgetSetItemData(int32_t number, int32_t position, intptr_t value);
intptr_t GadgetGetItemData(int32_t number, int32_t position);
HWND GadgetParentSet(HWND window);  // returns the previous parent
LRESULT CALLBACK GadgetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void GadgetPostEvent(HWND control, int32_t type);
// Forwarding from the toolkit window procedure: the answer of the gadget's kind, or NotHandled.
LRESULT GadgetForward(HWND gadget, HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
