#include "toolkit/system/List.h"

#include "toolkit/system/Heap.h"

ListNode* ListNodeOf(void* payload) {
    return payload ? static_cast<ListNode*>(payload) - 1 : nullptr;
}

void* ListInsert(ListNode** list, size_t payloadSize) {
    auto* node = static_cast<ListNode*>(PrivateAlloc(sizeof(ListNode) + payloadSize));
    if (!node)
        return nullptr;
    node->next = *list;
    if (*list)
        (*list)->previous = node;
    *list = node;
    return node + 1;
}

void* ListContains(ListNode* list, void* payload) {
    ListNode* wanted = ListNodeOf(payload);
    for (ListNode* node = list; node; node = node->next)
        if (node == wanted)
            return payload;
    return nullptr;
}

void ListRemove(ListNode** list, void* payload) {
    // Lists stay short (automatic records, threads, brushes); the membership walk turns a
    // double removal or a foreign payload into a no-op instead of a double free.
    if (!ListContains(*list, payload))
        return;
    ListNode* node = ListNodeOf(payload);
    if (node->previous)
        node->previous->next = node->next;
    else
        *list = node->next;
    if (node->next)
        node->next->previous = node->previous;
    PrivateFree(node);
}
