// Intrusive circular doubly linked lists.
//
// Every listable record begins with the node head below: previous link, next
// link, key name. A list is a pointer to its head node, NULL when empty; the
// head's previous link is the tail. A node that is in no list is linked to
// itself. Lists own no memory: records are allocated and released by their
// own types. Record types are cast to `dlink` at the calls, which is why the
// program is built with -fno-strict-aliasing.
#pragma once

struct dlink {
    dlink* prev_ptr;
    dlink* next_ptr;
    char* dlink_key_str;  // the record's name, may be NULL; owned by the record
};

typedef int (*dlink_action_funct)(void* node);
typedef int (*dlink_free_funct)(void* node);
typedef int (*dlink_free_with_funct)(void* node, void* context);
typedef int (*dlink_less_than_funct)(void* first, void* second);

// Appends at the tail; on an empty list the node becomes the head.
int dlink_add(dlink** list_ptr, dlink* new_ptr);
// Appends, then makes the new node the head.
int dlink_insert(dlink** list_ptr, dlink* new_ptr);
// Unlinks the head node; its next node becomes the head. The node is left
// linked to itself. To remove another node, point a temporary handle at it.
int dlink_remove(dlink** list_ptr);

unsigned dlink_count(const dlink* head);
// The first node from the head whose key equals `key_str` (NULL keys skipped).
dlink* dlink_find(dlink* head, const char* key_str);
// The node n steps away (n < 0 walks backwards), wrapping around.
dlink* dlink_get_nth(dlink* node, int n);
// 0-based position of `key_ptr` from the head, -1 when absent.
int dlink_pos(const dlink* head, const dlink* key_ptr);

// Calls `action_funct` on every node from the head; see dlink.cpp.
int for_each_dlink(dlink* head, dlink_action_funct action_funct, int continue_flag);
// Detaches and releases every node through `free_funct`; 1 when all succeeded.
// The caller's handle is untouched: set it to NULL afterwards.
int dlink_free_list(dlink* head, dlink_free_funct free_funct);
// The same, with `context` handed to every call of `free_funct`.
int dlink_free_list_with(dlink* head, dlink_free_with_funct free_funct, void* context);
// Stable ascending bubble sort; 1 when any node moved.
int dlink_bubble_sort(dlink** list_ptr, dlink_less_than_funct less_than_funct);
// Byte-wise comparison of the two nodes' keys.
int dlink_less_than(void* first_ptr, void* second_ptr);
// Splices the second list in after the tail of the first.
int dlink_combine_lists(dlink** list_ptr, dlink* second);

// Links a fresh node to itself.
inline void dlink_init(dlink* node)
{
    node->prev_ptr = node;
    node->next_ptr = node;
}

// The step of a walk round a ring from its head: `next` (a member's next or
// previous link), or NULL once that is the head again. A walk that stops
// there visits each member once, whatever size is kept beside the ring (a
// size read from a file may say anything).
//     for (T* m = head; m; m = dlink_ring_step(head, m->next)) ...
template <class T>
inline T* dlink_ring_step(const T* head, T* next)
{
    return next == head ? nullptr : next;
}
