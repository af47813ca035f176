// The label: a static text that takes no focus and sends no notifications.
#include "toolkit/window/Gadget.h"

#include "toolkit/window/GadgetInternal.h"
#include "toolkit/window/Win.h"

constexpr int32_t LabelKindId = 3;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE | WS_GROUP;
static_assert(LabelStyle == 0x50020000, "every label's own style bits");
constexpr DWORD LabelEdgeFlag = 0x20000;  // the label flag that asks for the sunken edge

static LRESULT LabelParentMessage(GadgetRecord* record, HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_CTLCOLORSTATIC)
        return NotHandled;
    return GadgetAnswerColour(record, reinterpret_cast<HDC>(wParam), COLOR_BTNFACE);
}

// Its text is the window text: GadgetSetText's fallback sets it.
static const GadgetKind LabelKind = [] {
    GadgetKind k{};
    k.id = LabelKindId;
    k.parentMessage = LabelParentMessage;
    k.destroy = GadgetReleaseColour;
    k.setColour = GadgetSetColourOf;
    k.getColour = GadgetGetColourOf;
    return k;
}();

intptr_t LabelCreate(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                     const char* text, uint32_t flags) {
    const DWORD exStyle = (flags & LabelEdgeFlag) ? WS_EX_CLIENTEDGE : 0;
    return GadgetMake(number, &LabelKind, exStyle, L"Static", text, flags | LabelStyle, x, y, width,
                      height);
}
