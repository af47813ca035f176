// Gadget colours, and the brush cache through which gadgets of one back colour share a brush.
#include "toolkit/window/GadgetInternal.h"

#include "toolkit/system/CritSecLock.h"
#include "toolkit/system/List.h"
#include "toolkit/window/Win.h"

struct BrushEntry {
    COLORREF colour;
    HBRUSH brush;
    int32_t count;
};

constexpr int32_t ColourFront = 1;
constexpr int32_t ColourBack = 2;
constexpr UINT ColourRedraw = RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_FRAME;

// Colours may be set from any thread; the lock keeps the list whole.
static CRITICAL_SECTION brushLock;
static bool brushLockReady;
static ListNode* brushes;

void GadgetColourInit() {
    // A second start-up (the tests run several in one process, each over a fresh private heap)
    // must not re-initialise a lock that may be held; the old brush list went with the heap.
    if (!brushLockReady)
        InitializeCriticalSection(&brushLock);
    brushLockReady = true;
    brushes = nullptr;
}

static HBRUSH AcquireBrush(COLORREF colour) {
    const CritSecLock lock(&brushLock);
    for (ListNode* node = brushes; node; node = node->next) {
        auto* entry = reinterpret_cast<BrushEntry*>(node + 1);
        if (entry->colour == colour && entry->brush) {
            entry->count++;
            return entry->brush;
        }
    }
    auto* entry = static_cast<BrushEntry*>(ListInsert(&brushes, sizeof(BrushEntry)));
    if (!entry)
        return nullptr;
    entry->colour = colour;
    entry->brush = CreateSolidBrush(colour);
    entry->count = 1;
    return entry->brush;
}

static void ReleaseBrush(HBRUSH brush) {
    const CritSecLock lock(&brushLock);
    for (ListNode* node = brushes; node; node = node->next) {
        auto* entry = reinterpret_cast<BrushEntry*>(node + 1);
        if (entry->brush != brush)
            continue;
        if (--entry->count <= 0) {
            DeleteObject(entry->brush);
            ListRemove(&brushes, entry);
        }
        return;
    }
}

LRESULT GadgetAnswerColour(GadgetRecord* record, HDC dc, int systemColour) {
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

void GadgetReleaseColour(GadgetRecord* record) {
    if (record->backBrush)
        ReleaseBrush(record->backBrush);
    record->backBrush = nullptr;
}

void GadgetSetColourOf(GadgetRecord* record, int32_t type, COLORREF colour) {
    if (type == ColourBack) {
        GadgetReleaseColour(record);
        record->backBrush = colour == DefaultColour ? nullptr : AcquireBrush(colour);
        record->backColour = colour;
    } else if (type == ColourFront) {
        record->frontColour = colour;
    } else {
        return;
    }
    RedrawWindow(record->handle, nullptr, nullptr, ColourRedraw);
}

COLORREF GadgetGetColourOf(GadgetRecord* record, int32_t type) {
    if (type == ColourFront)
        return record->frontColour;
    if (type == ColourBack)
        return record->backColour;
    return DefaultColour;
}
