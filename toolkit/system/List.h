#pragma once
#include <cstddef>
#include <cstdint>

// Doubly linked list node; the payload follows the header, as aligned as a heap block's start
// on either width. Callers hold payload addresses.
struct alignas(8) ListNode {
    ListNode* next;
    ListNode* previous;
    int32_t tag;  // the chosen number, for registry records
};

void* ListInsert(ListNode** list, size_t payloadSize);  // zero-filled payload, at the front
void ListRemove(ListNode** list, void* payload);
void* ListContains(ListNode* list, void* payload);  // payload, or null
ListNode* ListNodeOf(void* payload);
