#pragma once
#include <windows.h>
#include <cstdint>

// What the gadget files share among themselves; the program uses Gadget.h.

struct GadgetKind;

struct GadgetRecord {
    HWND handle;             // 0 marks a free slot; the registry reads nothing else
    const GadgetKind* kind;  // operation table of this gadget's kind
    WNDPROC previousProc;    // the control's procedure before GadgetProc
    COLORREF backColour;     // DefaultColour: the system's
    COLORREF frontColour;    // DefaultColour: the system's
    HBRUSH backBrush;        // from the brush cache, or 0
};

// One table per kind; an empty slot means the kind does not support the operation.
struct GadgetKind {
    int32_t id;
    void (*prepare)(HWND control);  // the kind's own step at creation, before registration
    LRESULT (*parentMessage)(GadgetRecord*, HWND parent, UINT, WPARAM, LPARAM);
    void (*destroy)(GadgetRecord*);
    int32_t (*getState)(GadgetRecord*);
    void (*setState)(GadgetRecord*, int32_t state);
    char* (*getText)(GadgetRecord*);
    void (*setText)(GadgetRecord*, const char* text);
    int32_t (*addItem)(GadgetRecord*, int32_t position, const char* text);
    void (*removeItem)(GadgetRecord*, int32_t position);
    void (*clearItems)(GadgetRecord*);
    int32_t (*countItems)(GadgetRecord*);
    int32_t (*getItemState)(GadgetRecord*, int32_t position);
    void (*setItemState)(GadgetRecord*, int32_t position, int32_t state);
    char* (*getItemText)(GadgetRecord*, int32_t position);
    int32_t (*setItemText)(GadgetRecord*, int32_t position, const char* text);
    void (*setColour)(GadgetRecord*, int32_t type, COLORREF colour);
    COLORREF (*getColour)(GadgetRecord*, int32_t type);
    void (*setItemData)(GadgetRecord*, int32_t position, intptr_t value);
    intptr_t (*getItemData)(GadgetRecord*, int32_t position);
};

constexpr COLORREF DefaultColour = static_cast<COLORREF>(-1);

// Creates a control of the kind in the current parent and registers it under the number, as
// LabelCreate and ListBoxCreate answer. The text may be null.
intptr_t GadgetMake(int32_t number, const GadgetKind* kind, DWORD exStyle, const wchar_t* className,
                    const char* text, DWORD style, int32_t x, int32_t y, int32_t width,
                    int32_t height);

// Colours, the same for both kinds (GadgetColour_win.cpp).
void GadgetColourInit();
LRESULT GadgetAnswerColour(GadgetRecord* record, HDC dc, int systemColour);  // or NotHandled
void GadgetReleaseColour(GadgetRecord* record);  // the destroy handler: gives the brush back
void GadgetSetColourOf(GadgetRecord* record, int32_t type, COLORREF colour);
COLORREF GadgetGetColourOf(GadgetRecord* record, int32_t type);
