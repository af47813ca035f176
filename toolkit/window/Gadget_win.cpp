// The gadget registry, the procedure every gadget's control gets, the current parent, and the
// public operations, which dispatch through each gadget's kind.
#include "toolkit/window/Gadget.h"

#include <commctrl.h>

#include <type_traits>

#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/GadgetInternal.h"
#include "toolkit/window/Properties.h"
#include "toolkit/window/WideText.h"
#include "toolkit/window/Win.h"

static_assert(std::is_trivially_copyable<GadgetRecord>::value,
              "slots are zero-filled and move when the table grows");

struct GadgetContext {
    HWND currentParent;  // where new gadgets go; 0 for none
    HFONT currentFont;
};

constexpr int32_t GadgetGrowthStep = 50;
constexpr DWORD CommonControlClasses = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                       ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
static_assert(CommonControlClasses == 0xB48, "the control classes the toolkit registers");
constexpr int32_t UnsetId = -1;

static ObjectTable* gadgetTable;
static GadgetContext* context;

static GadgetRecord* RecordOf(int32_t number) {
    return static_cast<GadgetRecord*>(ObjectTableGet(gadgetTable, number));
}

static int32_t ControlId(HWND hwnd) {
    return static_cast<int32_t>(GetWindowLongPtrW(hwnd, GWLP_ID));
}

// Release operation of the registry: the control's WM_NCDESTROY frees the number. A control
// that could not be destroyed (a call from a thread that does not own it) gives up its number
// all the same, and GadgetProc no longer takes it for a gadget.
static void GadgetRelease(int32_t number) {
    GadgetRecord* record = RecordOf(number);
    if (!record)
        return;
    HWND hwnd = record->handle;
    DestroyWindow(hwnd);
    record = RecordOf(number);
    if (record && record->handle == hwnd)
        ObjectTableRemove(gadgetTable, number);
}

void GadgetInit() {
    GadgetColourInit();
    auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    gadgetTable = ObjectTableCreate(sizeof(GadgetRecord), GadgetGrowthStep, GadgetRelease);
    context = static_cast<GadgetContext*>(PrivateAlloc(sizeof(GadgetContext)));
    if (context)
        context->currentFont = font;
    INITCOMMONCONTROLSEX icc{sizeof icc, CommonControlClasses};
    InitCommonControlsEx(&icc);
}

HWND GadgetParentSet(HWND window) {
    if (!context)
        return nullptr;
    HWND previous = context->currentParent;
    if (window)
        context->currentParent = window;
    return previous;
}

// Unicode controls, like the windows they live in: see WideText.h.
intptr_t GadgetMake(int32_t number, const GadgetKind* kind, DWORD exStyle, const wchar_t* className,
                    const char* text, DWORD style, int32_t x, int32_t y, int32_t width,
                    int32_t height) {
    const WideText wide(text);
    if (!context || !gadgetTable || !wide.get())
        return 0;
    HWND control = CreateWindowExW(exStyle, className, wide.get(), style, x, y, width, height,
                                   context->currentParent,
                                   reinterpret_cast<HMENU>(static_cast<intptr_t>(UnsetId)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control)
        return 0;
    int32_t chosen = number;
    // Only now, with the new control made, does an old gadget under the number go.
    auto* record = static_cast<GadgetRecord*>(ObjectTableClaim(gadgetTable, number, &chosen));
    if (!record) {
        DestroyWindow(control);
        return 0;
    }
    record->backColour = DefaultColour;
    record->frontColour = DefaultColour;
    if (kind->prepare)
        kind->prepare(control);
    // Number and record first, procedure last: GadgetProc finds a complete gadget from its
    // first message on.
    record->kind = kind;
    record->previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(control, GWLP_WNDPROC));
    SetWindowLongPtrW(control, GWLP_ID, chosen);
    SetPropA(control, IdProperty, reinterpret_cast<HANDLE>(static_cast<intptr_t>(chosen)));
    record->handle = control;
    SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProc));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(context->currentFont), TRUE);
    return number == AutoNumber ? chosen : reinterpret_cast<intptr_t>(control);
}

// The record of the gadget this control is, or null: a control that lost its number to a
// newer gadget must not reach that gadget's record.
static GadgetRecord* RecordOfControl(HWND hwnd, int32_t id) {
    GadgetRecord* record = RecordOf(id);
    return record && record->handle == hwnd ? record : nullptr;
}

static void ForgetGadget(HWND hwnd, int32_t id) {
    if (GadgetRecord* record = RecordOfControl(hwnd, id)) {
        if (record->kind->destroy)
            record->kind->destroy(record);
        ObjectTableRemove(gadgetTable, id);
    }
    RemovePropA(hwnd, IdProperty);
    SetWindowLongPtrW(hwnd, GWLP_ID, UnsetId);
}

LRESULT CALLBACK GadgetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const int32_t id = ControlId(hwnd);
    if (id == UnsetId)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    GadgetRecord* record = RecordOfControl(hwnd, id);
    // Without its record the control still gets its class's own handling.
    WNDPROC next = record ? record->previousProc
                          : reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd, GCLP_WNDPROC));
    const LRESULT answer = CallWindowProcW(next, hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        ForgetGadget(hwnd, id);
    return answer;
}

LRESULT GadgetForward(HWND gadget, HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!gadget || !gadgetTable)
        return NotHandled;
    const int32_t id = ControlId(gadget);
    if (reinterpret_cast<intptr_t>(GetPropA(gadget, IdProperty)) != id)
        return NotHandled;
    GadgetRecord* record = RecordOfControl(gadget, id);
    if (!record || !record->kind->parentMessage)
        return NotHandled;
    return record->kind->parentMessage(record, parent, message, wParam, lParam);
}

void GadgetPostEvent(HWND control, int32_t type) {
    // PostMessageW to no window would post to this thread, and the wait would hand the program
    // a bare 13103 that no window sent.
    if (!control)
        return;
    HWND owner = control;
    while (!GetPropA(owner, WindowIdProperty)) {
        HWND parent = GetParent(owner);
        if (!parent)
            break;
        owner = parent;
    }
    PostMessageW(owner, GadgetNotifyMsg,
                 static_cast<WPARAM>(static_cast<intptr_t>(ControlId(control))), type);
}

// ---------------------------------------------------------------------------------------------
// The operations callers use; each may come from any thread.

void GadgetSetText(int32_t number, const char* text) {
    if (!text)
        text = "";
    GadgetRecord* record = RecordOf(number);
    if (!record)
        return;
    if (record->kind->setText)
        record->kind->setText(record, text);
    else if (const WideText wide(text); wide.get())
        SetWindowTextW(record->handle, wide.get());
}

void GadgetClearItems(int32_t number) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->clearItems)
        record->kind->clearItems(record);
}

int32_t GadgetAddItem(int32_t number, int32_t position, const char* text) {
    GadgetRecord* record = RecordOf(number);
    if (!record || !record->kind->addItem)
        return 0;
    return record->kind->addItem(record, position, text ? text : "");
}

// A list box left to paint repaints its scroll bar on every insert: under Wine 5,000 inserts
// took 30 s that way, and 1.5 s held.
void GadgetHoldPainting(int32_t number, int32_t hold) {
    GadgetRecord* record = RecordOf(number);
    if (!record)
        return;
    SendMessageW(record->handle, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    if (!hold)
        RedrawWindow(record->handle, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

// The rest of the kinds' operations: the kind's slot, or `none` when the gadget or the slot is
// missing.
template <typename R, typename... Params, typename... Args>
static R Call(int32_t number, R (*GadgetKind::*slot)(GadgetRecord*, Params...), R none,
              Args... args) {
    GadgetRecord* record = RecordOf(number);
    return record && record->kind->*slot ? (record->kind->*slot)(record, args...) : none;
}

template <typename... Params, typename... Args>
static void Call(int32_t number, void (*GadgetKind::*slot)(GadgetRecord*, Params...),
                 Args... args) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->*slot)
        (record->kind->*slot)(record, args...);
}

constexpr char* NoText = nullptr;
static char* OrEmpty(char* text) { return text ? text : ScratchEmptyAt(ScratchEnd()); }

int32_t GadgetGetState(int32_t n) { return Call(n, &GadgetKind::getState, -1); }
void GadgetSetState(int32_t n, int32_t state) { Call(n, &GadgetKind::setState, state); }
char* GadgetGetText(int32_t n) { return OrEmpty(Call(n, &GadgetKind::getText, NoText)); }
void GadgetRemoveItem(int32_t n, int32_t position) { Call(n, &GadgetKind::removeItem, position); }
int32_t GadgetCountItems(int32_t n) { return Call(n, &GadgetKind::countItems, 0); }
int32_t GadgetGetItemState(int32_t n, int32_t position) {
    return Call(n, &GadgetKind::getItemState, 0, position);
}
void GadgetSetItemState(int32_t n, int32_t position, int32_t state) {
    Call(n, &GadgetKind::setItemState, position, state);
}
char* GadgetGetItemText(int32_t n, int32_t position) {
    return OrEmpty(Call(n, &GadgetKind::getItemText, NoText, position));
}
int32_t GadgetSetItemText(int32_t n, int32_t position, const char* text) {
    return Call(n, &GadgetKind::setItemText, -1, position, text ? text : "");
}
void GadgetSetColour(int32_t n, int32_t type, COLORREF colour) {
    Call(n, &GadgetKind::setColour, type, colour);
}
COLORREF GadgetGetColour(int32_t n, int32_t type) {
    return Call(n, &GadgetKind::getColour, DefaultColour, type);
}
void GadgetSetItemData(int32_t n, int32_t position, intptr_t value) {
    Call(n, &GadgetKind::setItemData, position, value);
}
intptr_t GadgetGetItemData(int32_t n, int32_t position) {
    return Call(n, &GadgetKind::getItemData, intptr_t{0}, position);
}
