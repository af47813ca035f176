#include "toolkit/window/Gadget.h"

#include <commctrl.h>

#include <cstdio>
#include <type_traits>

#include "toolkit/system/Heap.h"
#include "toolkit/system/ObjectTable.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/Properties.h"
#include "toolkit/window/WideText.h"
#include "toolkit/window/Win.h"
#include "toolkit/window/WinLogic.h"

struct GadgetKind;

struct GadgetRecord {
    HWND handle;             // 0 marks a free slot; the registry reads nothing else
    const GadgetKind* kind;  // operation table of this gadget's kind
    WNDPROC previousProc;    // the control's procedure before GadgetProc
    COLORREF backColour;     // DefaultColour: the system's
    COLORREF frontColour;    // DefaultColour: the system's
    HBRUSH backBrush;        // from the brush cache, or 0
};
static_assert(std::is_trivially_copyable<GadgetRecord>::value,
              "slots are zero-filled and move when the table grows");

// One table per kind; an empty slot means the kind does not support the operation.
struct GadgetKind {
    int32_t id;
    LRESULT (*parentMessage)(GadgetRecord*, HWND parent, UINT, WPARAM, LPARAM);
    void (*destroy)(GadgetRecord*);
    int32_t (*getState)(GadgetRecord*);
    void (*setState)(GadgetRecord*, int32_t state);
    char* (*getText)(GadgetRecord*);
    void (*setText)(GadgetRecord*, const char* text);
    int32_t (*addItem)(GadgetRecord*, int32_t position, const char* text, intptr_t image);
    int32_t (*addItemWithImage)(GadgetRecord*, int32_t position, const char* text, intptr_t image,
                                int32_t flags);
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

struct GadgetContext {
    HWND currentParent;
    HFONT currentFont;
    HWND* stack;  // gadget lists nested in containers; never nested here
    int32_t depth;
    int32_t capacity;
};

// Kept as a property of every window that has been a gadget parent, so that the window's
// destruction can forget it as the current parent.
struct GadgetStackRecord {
    HWND window;
    HWND savedParent;
    HWND* savedStack;
    int32_t savedDepth;
    int32_t savedCapacity;
    WNDPROC previousProc;
};

struct BrushEntry {
    COLORREF colour;
    HBRUSH brush;
    int32_t count;
};

constexpr int32_t LabelKindId = 3;
constexpr int32_t ListBoxKindId = 6;
constexpr int32_t GadgetGrowthStep = 50;
constexpr int32_t StackCapacity = 10;
constexpr COLORREF DefaultColour = static_cast<COLORREF>(-1);
constexpr int32_t ColourFront = 1;
constexpr int32_t ColourBack = 2;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE | WS_GROUP;
static_assert(LabelStyle == 0x50020000, "every label's own style bits");
constexpr DWORD LabelEdgeFlag = 0x20000;  // the label flag that asks for the sunken edge
// Exact height, so the list fills the space it is given to the pixel.
constexpr DWORD ListBoxStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_GROUP |
                               WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | LBS_NOTIFY;
static_assert(ListBoxStyle == 0x50330141, "every list box's own style bits");
constexpr DWORD CommonControlClasses = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES |
                                       ICC_USEREX_CLASSES | ICC_INTERNET_CLASSES;
static_assert(CommonControlClasses == 0xB48, "the control classes the toolkit registers");
constexpr UINT ColourRedraw = RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME;
constexpr int32_t UnsetId = -1;
constexpr int32_t EventSelect = 0;  // selection change, or release of a click
constexpr int32_t EventDoubleClick = 2;
constexpr int32_t EventDragStart = 14002;
constexpr WPARAM ModifierKeys = MK_SHIFT | MK_CONTROL;
// Our own message to a list box: copy one item's text into a caller's buffer on the thread
// that owns the list box, so the length check and the copy see the same item.
constexpr UINT ListBoxCopyItemMsg = WM_APP + 0x3301;
constexpr int32_t CopyAttempts = 3;

static ObjectTable* gadgetTable;
static GadgetContext* context;
static CRITICAL_SECTION brushLock;
static bool brushLockReady;
static ListNode* brushes;
static char stackProperty[40];
static WNDPROC listBoxClassProc;  // shared by every list box: they all have the same class
static int32_t dragCx;
static int32_t dragCy;

static GadgetRecord* RecordOf(int32_t number) {
    return static_cast<GadgetRecord*>(ObjectTableGet(gadgetTable, number));
}

static HINSTANCE ModuleInstance() { return GetModuleHandleA(nullptr); }

static int32_t ControlId(HWND hwnd) {
    return static_cast<int32_t>(GetWindowLongPtrW(hwnd, GWLP_ID));
}

// ---------------------------------------------------------------------------------------------
// Brush cache: gadgets of one back colour share one brush.

static HBRUSH AcquireBrush(COLORREF colour) {
    EnterCriticalSection(&brushLock);
    HBRUSH brush = nullptr;
    for (ListNode* node = brushes; node; node = node->next) {
        auto* entry = reinterpret_cast<BrushEntry*>(node + 1);
        if (entry->colour == colour && entry->brush) {
            entry->count++;
            brush = entry->brush;
            break;
        }
    }
    if (!brush) {
        if (auto* entry = static_cast<BrushEntry*>(ListInsert(&brushes, sizeof(BrushEntry)))) {
            entry->colour = colour;
            entry->brush = CreateSolidBrush(colour);
            entry->count = 1;
            brush = entry->brush;
        }
    }
    LeaveCriticalSection(&brushLock);
    return brush;
}

static void ReleaseBrush(HBRUSH brush) {
    EnterCriticalSection(&brushLock);
    for (ListNode* node = brushes; node; node = node->next) {
        auto* entry = reinterpret_cast<BrushEntry*>(node + 1);
        if (entry->brush != brush)
            continue;
        if (--entry->count <= 0) {
            DeleteObject(entry->brush);
            ListRemove(&brushes, entry);
        }
        break;
    }
    LeaveCriticalSection(&brushLock);
}

// ---------------------------------------------------------------------------------------------
// Operations both kinds share

static LRESULT AnswerColour(GadgetRecord* record, HDC dc, int systemColour) {
    LRESULT answer = NotHandled;
    if (record->frontColour != DefaultColour) {
        SetTextColor(dc, record->frontColour);
        if (record->backColour == DefaultColour) {
            SetBkColor(dc, GetSysColor(systemColour));
            answer = reinterpret_cast<LRESULT>(GetSysColorBrush(systemColour));
        }
    }
    if (record->backColour != DefaultColour) {
        SetBkColor(dc, record->backColour);
        answer = reinterpret_cast<LRESULT>(record->backBrush);
    }
    return answer;
}

static void DestroyBrush(GadgetRecord* record) {
    if (record->backBrush)
        ReleaseBrush(record->backBrush);
    record->backBrush = nullptr;
}

static void SetColour(GadgetRecord* record, int32_t type, COLORREF colour) {
    if (type == ColourBack) {
        DestroyBrush(record);
        record->backBrush = colour == DefaultColour ? nullptr : AcquireBrush(colour);
        record->backColour = colour;
    } else if (type == ColourFront) {
        record->frontColour = colour;
    } else {
        return;
    }
    RedrawWindow(record->handle, nullptr, nullptr, ColourRedraw);
}

static COLORREF GetColour(GadgetRecord* record, int32_t type) {
    if (type == ColourFront)
        return record->frontColour;
    if (type == ColourBack)
        return record->backColour;
    return DefaultColour;
}

// ---------------------------------------------------------------------------------------------
// Label

static LRESULT LabelParentMessage(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_CTLCOLORSTATIC)
        return NotHandled;
    return AnswerColour(record, reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
}

static const GadgetKind LabelKind = [] {
    GadgetKind k{};
    k.id = LabelKindId;
    k.parentMessage = LabelParentMessage;
    k.destroy = DestroyBrush;
    k.setColour = SetColour;
    k.getColour = GetColour;
    return k;
}();

// ---------------------------------------------------------------------------------------------
// List box

static LRESULT Send(GadgetRecord* record, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(record->handle, message, wParam, lParam);
}

static WPARAM Position(int32_t position) {
    return static_cast<WPARAM>(static_cast<intptr_t>(position));
}

static bool IsMultipleSelection(GadgetRecord* record) {
    return (GetWindowLongPtrW(record->handle, GWL_STYLE) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) !=
           0;
}

static LRESULT ListBoxParentMessage(GadgetRecord* record, HWND, UINT message, WPARAM wParam,
                                    LPARAM) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == LBN_DBLCLK)
            GadgetPostEvent(record->handle, EventDoubleClick);
        else if (HIWORD(wParam) == LBN_SELCHANGE)
            GadgetPostEvent(record->handle, EventSelect);
        // The list box reports through its own gadget events; the raw command makes none.
        return 0;
    case WM_CTLCOLORLISTBOX:
        return AnswerColour(record, reinterpret_cast<HDC>(wParam), COLOR_BTNHIGHLIGHT);
    default:
        return NotHandled;
    }
}

static int32_t ListBoxGetState(GadgetRecord* record) {
    if (!IsMultipleSelection(record))
        return static_cast<int32_t>(Send(record, LB_GETCURSEL, 0, 0));
    int selected = -1;
    if (Send(record, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&selected)) != 1)
        return -1;
    return selected;
}

static void ListBoxSetState(GadgetRecord* record, int32_t state) {
    if (!IsMultipleSelection(record)) {
        Send(record, LB_SETCURSEL, Position(state), 0);
        return;
    }
    const auto count = static_cast<int32_t>(Send(record, LB_GETCOUNT, 0, 0));
    Send(record, LB_SELITEMRANGEEX, Position(count - 1), 0);
    if (state != -1)
        Send(record, LB_SETSEL, TRUE, state);
}

// The item's length and its text are taken in one call on the list box's own thread: between
// two separate calls from a worker, another thread could lengthen the item and overrun the
// room reserved for it.
struct CopyRequest {
    wchar_t* buffer;   // private-heap block
    int32_t capacity;  // in UTF-16 units, the terminator included
};

static char* ListBoxGetItemText(GadgetRecord* record, int32_t position) {
    const int32_t pos = ScratchEnd();
    CopyRequest request{nullptr, 0};
    auto needed = static_cast<int32_t>(
        Send(record, ListBoxCopyItemMsg, Position(position), reinterpret_cast<LPARAM>(&request)));
    char* text = nullptr;
    for (int32_t attempt = 0; attempt < CopyAttempts && needed >= 0 && needed < INT32_MAX;
         ++attempt) {
        PrivateFree(request.buffer);
        request.buffer = static_cast<wchar_t*>(
            PrivateAllocRaw(sizeof(wchar_t) * (static_cast<size_t>(needed) + 1)));
        request.capacity = needed + 1;
        if (!request.buffer)
            break;
        const auto got = static_cast<int32_t>(Send(record, ListBoxCopyItemMsg, Position(position),
                                                   reinterpret_cast<LPARAM>(&request)));
        if (got >= 0 && got <= needed) {
            text = TextFromWide(request.buffer, got, pos);
            break;
        }
        needed = got;
    }
    PrivateFree(request.buffer);
    return text ? text : ScratchEmptyAt(pos);
}

static char* ListBoxGetText(GadgetRecord* record) {
    return ListBoxGetItemText(record, static_cast<int32_t>(Send(record, LB_GETCURSEL, 0, 0)));
}

static LPARAM Wide(const WideText& text) { return reinterpret_cast<LPARAM>(text.get()); }

static void ListBoxSetText(GadgetRecord* record, const char* text) {
    const WideText wide(text);
    const LRESULT found =
        wide.get() ? Send(record, LB_FINDSTRINGEXACT, Position(-1), Wide(wide)) : LB_ERR;
    Send(record, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

static int32_t ListBoxAddItem(GadgetRecord* record, int32_t position, const char* text, intptr_t) {
    const WideText wide(text);
    if (wide.get())
        Send(record, LB_INSERTSTRING, Position(position), Wide(wide));
    return 0;
}

static void ListBoxRemoveItem(GadgetRecord* record, int32_t position) {
    Send(record, LB_DELETESTRING, Position(position), 0);
}

static void ListBoxClearItems(GadgetRecord* record) { Send(record, LB_RESETCONTENT, 0, 0); }

static int32_t ListBoxCountItems(GadgetRecord* record) {
    return static_cast<int32_t>(Send(record, LB_GETCOUNT, 0, 0));
}

static int32_t ListBoxGetItemState(GadgetRecord* record, int32_t position) {
    return static_cast<int32_t>(Send(record, LB_GETSEL, Position(position), 0));
}

static void ListBoxSetItemState(GadgetRecord* record, int32_t position, int32_t state) {
    Send(record, LB_SETSEL, state != 0, static_cast<LPARAM>(position));
}

static int32_t ListBoxSetItemText(GadgetRecord* record, int32_t position, const char* text) {
    const WideText wide(text);
    if (!wide.get())
        return -1;
    const LRESULT data = Send(record, LB_GETITEMDATA, Position(position), 0);
    if (Send(record, LB_DELETESTRING, Position(position), 0) == LB_ERR)
        return -1;
    const LRESULT at = Send(record, LB_INSERTSTRING, Position(position), Wide(wide));
    Send(record, LB_SETITEMDATA, static_cast<WPARAM>(at), data);
    return static_cast<int32_t>(at);
}

static void ListBoxSetItemData(GadgetRecord* record, int32_t position, intptr_t value) {
    Send(record, LB_SETITEMDATA, Position(position), static_cast<LPARAM>(value));
}

static intptr_t ListBoxGetItemData(GadgetRecord* record, int32_t position) {
    return static_cast<intptr_t>(Send(record, LB_GETITEMDATA, Position(position), 0));
}

static const GadgetKind ListBoxKind = [] {
    GadgetKind k{};
    k.id = ListBoxKindId;
    k.parentMessage = ListBoxParentMessage;
    k.destroy = DestroyBrush;
    k.getState = ListBoxGetState;
    k.setState = ListBoxSetState;
    k.getText = ListBoxGetText;
    k.setText = ListBoxSetText;
    k.addItem = ListBoxAddItem;
    k.removeItem = ListBoxRemoveItem;
    k.clearItems = ListBoxClearItems;
    k.countItems = ListBoxCountItems;
    k.getItemState = ListBoxGetItemState;
    k.setItemState = ListBoxSetItemState;
    k.getItemText = ListBoxGetItemText;
    k.setItemText = ListBoxSetItemText;
    k.setColour = SetColour;
    k.getColour = GetColour;
    k.setItemData = ListBoxSetItemData;
    k.getItemData = ListBoxGetItemData;
    return k;
}();

static LRESULT CallListBox(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcW(listBoxClassProc, hwnd, message, wParam, lParam);
}

static LRESULT CopyItem(HWND hwnd, WPARAM position, CopyRequest* request) {
    const LRESULT length = CallListBox(hwnd, LB_GETTEXTLEN, position, 0);
    if (length == LB_ERR || !request)
        return -1;
    if (length >= request->capacity)
        return length;
    return CallListBox(hwnd, LB_GETTEXT, position, reinterpret_cast<LPARAM>(request->buffer));
}

// The press point is stored one up, so that a press at (0, 0) still reads as a press; a point
// on an item has non-negative coordinates, so the sum never wraps.
static void SetPressPoint(HWND hwnd, LPARAM point) {
    SetPropA(hwnd, MouseDownProperty,
             reinterpret_cast<HANDLE>(static_cast<uintptr_t>(static_cast<uint32_t>(point)) + 1));
}

static bool PressPoint(HWND hwnd, uint32_t* point) {
    const auto stored = reinterpret_cast<uintptr_t>(GetPropA(hwnd, MouseDownProperty));
    if (!stored)
        return false;
    *point = static_cast<uint32_t>(stored - 1);
    return true;
}

static void EndPress(HWND hwnd, int32_t type) {
    ReleaseCapture();
    RemovePropA(hwnd, MouseDownProperty);
    GadgetPostEvent(hwnd, type);
}

// Watches a press on an item, so that a drag can be told from a click.
static LRESULT CALLBACK ListBoxMouseProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    uint32_t pressed;
    switch (message) {
    case WM_LBUTTONDOWN: {
        if (wParam & ModifierKeys)
            break;
        const LRESULT hit = CallListBox(hwnd, LB_ITEMFROMPOINT, 0, lParam);
        if (HIWORD(hit) != 0)
            break;
        const bool extended = (GetWindowLongPtrW(hwnd, GWL_STYLE) & LBS_EXTENDEDSEL) != 0;
        if (extended && CallListBox(hwnd, LB_GETSEL, LOWORD(hit), 0) <= 0)
            break;
        SetPressPoint(hwnd, lParam);
        SetCapture(hwnd);
        // Passing the press on would turn a drag of a multiple selection into a new selection.
        if (extended)
            return 0;
        break;
    }
    case WM_MOUSEMOVE:
        if (PressPoint(hwnd, &pressed) &&
            DragThresholdPassed(pressed, static_cast<uint32_t>(lParam), dragCx, dragCy))
            EndPress(hwnd, EventDragStart);
        break;
    case WM_LBUTTONUP:
        if (PressPoint(hwnd, &pressed))
            EndPress(hwnd, EventSelect);
        break;
    case ListBoxCopyItemMsg:
        return CopyItem(hwnd, wParam, reinterpret_cast<CopyRequest*>(lParam));
    default:
        break;
    }
    return CallListBox(hwnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Registry, creation and the gadget procedure

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

static intptr_t CreateGadget(int32_t number, const GadgetKind* kind, HWND control) {
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
    if (kind == &ListBoxKind) {
        auto classProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListBoxMouseProc)));
        if (!listBoxClassProc)
            listBoxClassProc = classProc;
    }
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

// Unicode controls, like the windows they live in: see WideText.h.
static HWND MakeControl(DWORD exStyle, const wchar_t* className, const char* text, DWORD style,
                        int32_t x, int32_t y, int32_t width, int32_t height) {
    const WideText wide(text);
    if (!context || !wide.get())
        return nullptr;
    return CreateWindowExW(
        exStyle, className, wide.get(), style, x, y, width, height, context->currentParent,
        reinterpret_cast<HMENU>(static_cast<intptr_t>(UnsetId)), ModuleInstance(), nullptr);
}

intptr_t LabelCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* text, uint32_t flags) {
    const DWORD exStyle = (flags & LabelEdgeFlag) ? WS_EX_CLIENTEDGE : 0;
    HWND control = MakeControl(exStyle, L"Static", text, flags | LabelStyle, x, y, width, height);
    return CreateGadget(number, &LabelKind, control);
}

intptr_t ListBoxCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t flags) {
    if (!dragCx && !dragCy) {
        dragCx = GetSystemMetrics(SM_CXDRAG);
        dragCy = GetSystemMetrics(SM_CYDRAG);
    }
    HWND control = MakeControl(WS_EX_CLIENTEDGE, L"ListBox", nullptr, flags | ListBoxStyle, x, y,
                               width, height);
    return CreateGadget(number, &ListBoxKind, control);
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
    RemovePropA(hwnd, DropAcceptProperty);  // drop targets are never registered here
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
    // PostMessageA to no window would post to this thread, and the wait would hand the program
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
// The current parent

static HWND CurrentParent() { return context->depth ? context->stack[0] : context->currentParent; }

static GadgetStackRecord* StackRecordOf(HWND window) {
    return static_cast<GadgetStackRecord*>(GetPropA(window, stackProperty));
}

static LRESULT CALLBACK GadgetStackProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    GadgetStackRecord* record = StackRecordOf(hwnd);
    WNDPROC next = record ? record->previousProc : nullptr;
    if (record && message == WM_NCDESTROY) {
        // Gadgets made after this must not try to go into a window that is gone.
        if (CurrentParent() == hwnd) {
            context->currentParent = nullptr;
            context->depth = 0;
        }
        PrivateFree(record->savedStack);
        PrivateFree(record);
        RemovePropA(hwnd, stackProperty);
    }
    return next ? CallWindowProcW(next, hwnd, message, wParam, lParam)
                : DefWindowProcW(hwnd, message, wParam, lParam);
}

static void SaveInto(GadgetStackRecord* record) {
    PrivateFree(record->savedStack);
    record->savedParent = context->currentParent;
    record->savedStack = context->stack;
    record->savedDepth = context->depth;
    record->savedCapacity = context->capacity;
    context->stack = nullptr;
    context->depth = 0;
    context->capacity = 0;
}

static void RestoreFrom(GadgetStackRecord* record) {
    PrivateFree(context->stack);
    context->currentParent = record->savedParent;
    context->stack = record->savedStack;
    context->depth = record->savedDepth;
    context->capacity = record->savedCapacity;
    record->savedStack = nullptr;
    record->savedDepth = 0;
    record->savedCapacity = 0;
}

static void BecomeNewParent(HWND window) {
    if (!context->stack) {
        context->stack = static_cast<HWND*>(PrivateAlloc(sizeof(HWND) * StackCapacity));
        context->capacity = context->stack ? StackCapacity : 0;
    }
    context->depth = 0;
    context->currentParent = window;
    auto* record = static_cast<GadgetStackRecord*>(PrivateAlloc(sizeof(GadgetStackRecord)));
    if (!record)
        return;
    record->window = window;
    record->previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    SetPropA(window, stackProperty, record);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetStackProc));
}

HWND GadgetParentSet(HWND window) {
    if (!context)
        return nullptr;
    HWND previous = CurrentParent();
    if (!window)
        return previous;
    if (previous) {
        if (GadgetStackRecord* saved = StackRecordOf(previous))
            SaveInto(saved);
    }
    if (GadgetStackRecord* record = StackRecordOf(window))
        RestoreFrom(record);
    else
        BecomeNewParent(window);
    return previous;
}

void GadgetInit() {
    // A second start-up (the tests run several in one process, each over a fresh private heap)
    // must not re-initialise a lock that may be held; the old brush list went with the heap.
    if (!brushLockReady)
        InitializeCriticalSection(&brushLock);
    brushLockReady = true;
    brushes = nullptr;
    snprintf(stackProperty, sizeof stackProperty, StackPropertyFormat,
             static_cast<long long>(reinterpret_cast<intptr_t>(ModuleInstance())));
    auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    gadgetTable = ObjectTableCreate(sizeof(GadgetRecord), GadgetGrowthStep, GadgetRelease);
    context = static_cast<GadgetContext*>(PrivateAlloc(sizeof(GadgetContext)));
    if (context) {
        context->currentFont = font;
        context->stack = static_cast<HWND*>(PrivateAlloc(sizeof(HWND) * StackCapacity));
        context->capacity = context->stack ? StackCapacity : 0;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, CommonControlClasses};
    InitCommonControlsEx(&icc);
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
    if (!text)
        text = "";
    GadgetRecord* record = RecordOf(number);
    if (!record)
        return 0;
    if (record->kind->addItemWithImage)
        return record->kind->addItemWithImage(record, position, text, 0, 0);
    if (record->kind->addItem)
        return record->kind->addItem(record, position, text, 0);
    return 0;
}

// A list box left to paint repaints its scroll bar on every insert: under Wine 5,000 inserts
// took 30 s that way, and 1.5 s held.
void GadgetHoldPainting(int32_t number, int32_t hold) {
    GadgetRecord* record = RecordOf(number);
    if (!record)
        return;
    Send(record, WM_SETREDRAW, hold ? FALSE : TRUE, 0);
    if (!hold)
        RedrawWindow(record->handle, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

int32_t GadgetGetState(int32_t number) {
    GadgetRecord* record = RecordOf(number);
    return record && record->kind->getState ? record->kind->getState(record) : -1;
}

void GadgetSetState(int32_t number, int32_t state) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->setState)
        record->kind->setState(record, state);
}

char* GadgetGetText(int32_t number) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->getText)
        return record->kind->getText(record);
    return ScratchEmptyAt(ScratchEnd());
}

void GadgetRemoveItem(int32_t number, int32_t position) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->removeItem)
        record->kind->removeItem(record, position);
}

int32_t GadgetCountItems(int32_t number) {
    GadgetRecord* record = RecordOf(number);
    return record && record->kind->countItems ? record->kind->countItems(record) : 0;
}

int32_t GadgetGetItemState(int32_t number, int32_t position) {
    GadgetRecord* record = RecordOf(number);
    return record && record->kind->getItemState ? record->kind->getItemState(record, position) : 0;
}

void GadgetSetItemState(int32_t number, int32_t position, int32_t state) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->setItemState)
        record->kind->setItemState(record, position, state);
}

char* GadgetGetItemText(int32_t number, int32_t position) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->getItemText)
        return record->kind->getItemText(record, position);
    return ScratchEmptyAt(ScratchEnd());
}

int32_t GadgetSetItemText(int32_t number, int32_t position, const char* text) {
    GadgetRecord* record = RecordOf(number);
    if (!record || !record->kind->setItemText)
        return -1;
    return record->kind->setItemText(record, position, text ? text : "");
}

void GadgetSetColour(int32_t number, int32_t type, COLORREF colour) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->setColour)
        record->kind->setColour(record, type, colour);
}

COLORREF GadgetGetColour(int32_t number, int32_t type) {
    GadgetRecord* record = RecordOf(number);
    return record && record->kind->getColour ? record->kind->getColour(record, type)
                                             : DefaultColour;
}

void GadgetSetItemData(int32_t number, int32_t position, intptr_t value) {
    GadgetRecord* record = RecordOf(number);
    if (record && record->kind->setItemData)
        record->kind->setItemData(record, position, value);
}

intptr_t GadgetGetItemData(int32_t number, int32_t position) {
    GadgetRecord* record = RecordOf(number);
    return record && record->kind->getItemData ? record->kind->getItemData(record, position) : 0;
}
