#include "toolkit/window/EventQueue.h"

#include "toolkit/system/Heap.h"

bool EventQueuePush(EventQueue* queue, int32_t code, int32_t window) {
    // A burst of moves or redraws handled before the program looks carries no more information
    // than the last of them.
    if (queue->tail && queue->tail->code == code && queue->tail->window == window)
        return false;
    auto* node = static_cast<EventNode*>(PrivateAlloc(sizeof(EventNode)));
    if (!node)
        return false;
    node->code = code;
    node->window = window;
    if (queue->tail)
        queue->tail->next = node;
    else
        queue->head = node;
    queue->tail = node;
    return true;
}

bool EventQueuePop(EventQueue* queue, int32_t* code, int32_t* window) {
    EventNode* node = queue->head;
    if (!node)
        return false;
    *code = node->code;
    *window = node->window;
    queue->head = node->next;
    if (!queue->head)
        queue->tail = nullptr;
    PrivateFree(node);
    return true;
}

void EventQueueClear(EventQueue* queue) {
    int32_t code, window;
    while (EventQueuePop(queue, &code, &window)) {
    }
}
