// The list box: a single-column list of text items, its operations, the copy of an item's text
// across threads, and the press on an item that may become a drag.
#include "toolkit/window/Gadget.h"

#include "toolkit/system/Heap.h"
#include "toolkit/text/Scratch.h"
#include "toolkit/window/GadgetInternal.h"
#include "toolkit/window/Properties.h"
#include "toolkit/window/WideText.h"
#include "toolkit/window/Win.h"
#include "toolkit/window/WinLogic.h"

constexpr int32_t ListBoxKindId = 6;
// Exact height, so the list fills the space it is given to the pixel.
constexpr DWORD ListBoxStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_GROUP |
                               WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | LBS_NOTIFY;
static_assert(ListBoxStyle == 0x50330141, "every list box's own style bits");
constexpr int32_t EventSelect = 0;  // selection change, or release of a click
constexpr int32_t EventDoubleClick = 2;
constexpr int32_t EventDragStart = 14002;
constexpr WPARAM ModifierKeys = MK_SHIFT | MK_CONTROL;
// Our own message to a list box: copy one item's text into a caller's buffer on the thread
// that owns the list box, so the length check and the copy see the same item.
constexpr UINT ListBoxCopyItemMsg = WM_APP + 0x3301;
constexpr int32_t CopyAttempts = 3;

static WNDPROC listBoxClassProc;  // shared by every list box: they all have the same class
static int32_t dragCx;
static int32_t dragCy;

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
        return GadgetAnswerColour(record, reinterpret_cast<HDC>(wParam), COLOR_BTNHIGHLIGHT);
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
    const int32_t pos = ScratchEnd();  // no mark: the text built here is the caller's result
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

static int32_t ListBoxAddItem(GadgetRecord* record, int32_t position, const char* text) {
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

// The chain of procedures becomes GadgetProc, the mouse procedure, the class's procedure.
static void InstallMouseProc(HWND control) {
    auto classProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListBoxMouseProc)));
    if (!listBoxClassProc)
        listBoxClassProc = classProc;
}

static const GadgetKind ListBoxKind = [] {
    GadgetKind k{};
    k.id = ListBoxKindId;
    k.prepare = InstallMouseProc;
    k.parentMessage = ListBoxParentMessage;
    k.destroy = GadgetReleaseColour;
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
    k.setColour = GadgetSetColourOf;
    k.getColour = GadgetGetColourOf;
    k.setItemData = ListBoxSetItemData;
    k.getItemData = ListBoxGetItemData;
    return k;
}();

intptr_t ListBoxCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t flags) {
    if (!dragCx && !dragCy) {
        dragCx = GetSystemMetrics(SM_CXDRAG);
        dragCy = GetSystemMetrics(SM_CYDRAG);
    }
    return GadgetMake(number, &ListBoxKind, WS_EX_CLIENTEDGE, L"ListBox", nullptr,
                      flags | ListBoxStyle, x, y, width, height);
}
