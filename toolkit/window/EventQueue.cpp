#include "toolkit/window/EventQueue.h"

#include "toolkit/system/Heap.h"

static bool SameEvent(const WinEvent& a, const WinEvent& b) {
    return a.code == b.code && a.window == b.window && a.object == b.object && a.kind == b.kind &&
           a.replacesMessage == b.replacesMessage;
}

bool EventQueuePush(EventQueue* queue, const WinEvent& event) {
    // A burst of moves, redraws or ticks of one timer handled before the program looks carries
    // no more information than the last of them.
    if (queue->tail && SameEvent(queue->tail->event, event))
        return false;
    auto* node = static_cast<EventNode*>(PrivateAlloc(sizeof(EventNode)));
    if (!node)
        return false;
    node->event = event;
    if (queue->tail)
        queue->tail->next = node;
    else
        queue->head = node;
    queue->tail = node;
    return true;
}

const WinEvent* EventQueueFront(const EventQueue* queue) {
    return queue->head ? &queue->head->event : nullptr;
}

bool EventQueuePop(EventQueue* queue, WinEvent* event) {
    EventNode* node = queue->head;
    if (!node)
        return false;
    *event = node->event;
    queue->head = node->next;
    if (!queue->head)
        queue->tail = nullptr;
    PrivateFree(node);
    return true;
}

void EventQueueClear(EventQueue* queue) {
    WinEvent event;
    while (EventQueuePop(queue, &event)) {
    }
}
