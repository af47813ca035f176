#pragma once
#include <cstdint>

// The FIFO of queued window events. Nodes come from the private heap.
struct EventNode {
    EventNode* next;
    int32_t code;
    int32_t window;
};

struct EventQueue {
    EventNode* head;
    EventNode* tail;
};

// Appends (code, window) unless the newest event is the same one. Returns false when the event
// was merged or had to be dropped because no node could be allocated.
bool EventQueuePush(EventQueue* queue, int32_t code, int32_t window);
bool EventQueuePop(EventQueue* queue, int32_t* code, int32_t* window);  // false when empty
void EventQueueClear(EventQueue* queue);
