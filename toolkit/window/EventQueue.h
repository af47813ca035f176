#pragma once
#include <cstdint>

// One toolkit event as it waits in the queue: each carries its own details, so that a later
// event can neither overwrite nor absorb an earlier one's object or kind.
struct WinEvent {
    int32_t code;
    int32_t window;        // -1: no toolkit window
    int32_t object;        // gadget, command, timer or tray icon; 0 for window events
    int32_t kind;          // -1: none
    bool replacesMessage;  // handed out in place of the message that made it
};

// The FIFO of queued window events. Nodes come from the private heap.
struct EventNode {
    EventNode* next;
    WinEvent event;
};

struct EventQueue {
    EventNode* head;
    EventNode* tail;
};

// Appends the event unless the newest one is the same in every detail. Returns false when the
// event was merged or had to be dropped because no node could be allocated.
bool EventQueuePush(EventQueue* queue, const WinEvent& event);
const WinEvent* EventQueueFront(const EventQueue* queue);  // null when empty
bool EventQueuePop(EventQueue* queue, WinEvent* event);    // false when empty
void EventQueueClear(EventQueue* queue);
