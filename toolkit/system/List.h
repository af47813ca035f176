#pragma once
#include <cstddef>
#include <cstdint>

// Doubly linked list node; the payload follows the header. Callers hold payload addresses.
struct ListNode {
    ListNode* next;
    ListNode* previous;
    int32_t tag;  // the chosen number, for registry records
    int32_t reserved;
};

void* ListInsert(ListNode** list, size_t payloadSize);  // zero-filled payload, at the front
void ListRemove(ListNode** list, void* payload);
void* ListContains(ListNode* list, void* payload);  // payload, or null
ListNode* ListNodeOf(void* payload);
