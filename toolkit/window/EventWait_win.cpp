// The event queue's owner: events queued and handed out one at a time by the wait, and offered
// to the program's handler while a modal loop of the system's keeps the wait from returning.
#include "toolkit/window/Win.h"

#include "toolkit/system/Heap.h"
#include "toolkit/window/EventQueue.h"
#include "toolkit/window/WinInternal.h"

// What the queries tell about the event the last wait returned.
struct EventDetails {
    int32_t object;
    int32_t window;
    int32_t kind;
    WPARAM wParam;  // of a message returned as its own number
    LPARAM lParam;
};

struct EventState {
    EventDetails live;      // the message being handled
    EventDetails snapshot;  // what the queries read, fixed from one wait to the next
    EventQueue queue;
    WinModalHandler modalHandler;
    int32_t modalDepth;  // modal loops entered and not yet left
    bool inModalHandler;
};

static EventState* events;

void EventInit() { events = static_cast<EventState*>(PrivateAlloc(sizeof(EventState))); }

bool EventsReady() { return events != nullptr; }

void EventSetWindow(int32_t window) { events->live.window = window; }

void EventSetObject(int32_t object) { events->live.object = object; }

void EventModalLoop(bool entered) {
    if (entered)
        events->modalDepth++;
    else if (events->modalDepth > 0)
        events->modalDepth--;
}

static void SetSnapshot(const WinEvent& event) {
    events->snapshot.object = event.object;
    events->snapshot.window = event.window;
    events->snapshot.kind = event.kind;
}

// A modal loop dispatches messages without returning to WinWaitEvent; the program sees the
// events through its handler meanwhile, in order. Events queued while the handler runs (a move
// it makes, say) are offered by this same walk, not by a nested one.
static void OfferToModalHandler() {
    if (!events->modalHandler || events->modalDepth <= 0 || events->inModalHandler)
        return;
    events->inModalHandler = true;
    const EventDetails kept = events->snapshot;
    for (const WinEvent* first; (first = EventQueueFront(&events->queue));) {
        SetSnapshot(*first);
        if (!events->modalHandler(first->code))
            break;
        WinEvent handled;
        EventQueuePop(&events->queue, &handled);
    }
    events->snapshot = kept;
    events->inModalHandler = false;
}

static void PushEvent(const WinEvent& event) {
    EventQueuePush(&events->queue, event);
    OfferToModalHandler();
}

void EventReport(int32_t code, int32_t object, int32_t kind) {
    PushEvent({code, events->live.window, object, kind, true});
}

void QueueEvent(int32_t code, int32_t window) {
    if (events)
        PushEvent({code, window, 0, NoKind, false});
}

void WinSetModalHandler(WinModalHandler handler) {
    if (events)
        events->modalHandler = handler;
}

int32_t WinEventKind() { return events ? events->snapshot.kind : NoKind; }
int32_t WinEventObject() { return events ? events->snapshot.object : 0; }
int32_t WinEventWindow() { return events ? events->snapshot.window : NoWindow; }

int32_t WinWaitEvent() {
    if (!events)
        return 0;
    WinEvent event;
    if (!EventQueuePop(&events->queue, &event)) {
        MSG msg{};
        events->live = EventDetails{0, NoWindow, NoKind, 0, 0};
        // Nothing in this program asks the wait to end; a WM_QUIT is reported as its number.
        GetMessageW(&msg, nullptr, 0, 0);
        HWND active = GetActiveWindow();
        HACCEL table = NavigationTableOf(active);
        if (!table || !TranslateAcceleratorW(active, table, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // Events the message made that only describe the window's state follow on later waits.
        const WinEvent* first = EventQueueFront(&events->queue);
        if (!first || !first->replacesMessage || !EventQueuePop(&events->queue, &event)) {
            events->snapshot = events->live;
            events->snapshot.wParam = msg.wParam;
            events->snapshot.lParam = msg.lParam;
            return static_cast<int32_t>(msg.message);
        }
    }
    SetSnapshot(event);
    return event.code;
}
