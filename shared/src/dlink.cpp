#include "dlink.h"

#include <cstring>

#include "debug.h"

int dlink_add(dlink** list_ptr, dlink* new_ptr)
{
    REFUSE_NULL(list_ptr, "dlink_add", "list_ptr", 0);
    REFUSE_NULL(new_ptr, "dlink_add", "new_ptr", 0);
    dlink* head = *list_ptr;
    if (!head) {
        new_ptr->prev_ptr = new_ptr;
        new_ptr->next_ptr = new_ptr;
        *list_ptr = new_ptr;
        return 1;
    }
    dlink* tail = head->prev_ptr;
    new_ptr->prev_ptr = tail;
    new_ptr->next_ptr = head;
    tail->next_ptr = new_ptr;
    head->prev_ptr = new_ptr;
    return 1;
}

int dlink_insert(dlink** list_ptr, dlink* new_ptr)
{
    REFUSE_NULL(list_ptr, "dlink_insert", "list_ptr", 0);
    REFUSE_NULL(new_ptr, "dlink_insert", "new_ptr", 0);
    if (!dlink_add(list_ptr, new_ptr)) {
        LOG_ERROR("%s\n", "Could not dlink_add.");
        return 0;
    }
    *list_ptr = new_ptr;
    return 1;
}

int dlink_remove(dlink** list_ptr)
{
    REFUSE_NULL(list_ptr, "dlink_remove", "list_ptr", 0);
    dlink* head = *list_ptr;
    REFUSE_NULL(head, "dlink_remove", "* list_ptr", 0);
    if (head->next_ptr == head || !head->next_ptr) {
        *list_ptr = nullptr;
    } else {
        head->prev_ptr->next_ptr = head->next_ptr;
        head->next_ptr->prev_ptr = head->prev_ptr;
        *list_ptr = head->next_ptr;
    }
    dlink_init(head);
    return 1;
}

unsigned dlink_count(const dlink* head)
{
    if (!head)
        return 0;
    unsigned count = 0;
    const dlink* node = head;
    do {
        ++count;
        node = node->next_ptr;
    } while (node && node != head);
    return count;
}

dlink* dlink_find(dlink* head, const char* key_str)
{
    REFUSE_NULL(key_str, "dlink_find", "key_str", nullptr);
    if (!head)
        return nullptr;
    dlink* node = head;
    do {
        if (node->dlink_key_str && std::strcmp(node->dlink_key_str, key_str) == 0)
            return node;
        node = node->next_ptr;
    } while (node && node != head);
    return nullptr;
}

dlink* dlink_get_nth(dlink* node, int n)
{
    REFUSE_NULL(node, "dlink_get_nth", "list_ptr", nullptr);
    // A walk that comes back to its start has measured the ring: the steps
    // still to go are then taken modulo its size, so a position from data
    // costs at most two rounds however large it is.
    const dlink* start = node;
    int steps = 0;
    for (; n > 0; --n) {
        node = node->next_ptr;
        ++steps;
        if (node == start)
            n = (n - 1) % steps + 1;
    }
    for (; n < 0; ++n) {
        node = node->prev_ptr;
        ++steps;
        if (node == start)
            n = (n + 1) % steps - 1;
    }
    return node;
}

int dlink_pos(const dlink* head, const dlink* key_ptr)
{
    REFUSE_NULL(head, "dlink_pos", "list_ptr", -1);
    REFUSE_NULL(key_ptr, "dlink_pos", "key_ptr", -1);
    int pos = 0;
    const dlink* node = head;
    do {
        if (node == key_ptr)
            return pos;
        ++pos;
        node = node->next_ptr;
    } while (node && node != head);
    return -1;
}

int for_each_dlink(dlink* head, dlink_action_funct action_funct, int continue_flag)
{
    REFUSE_NULL(head, "for_each_dlink", "list_ptr", 0);
    REFUSE_NULL(action_funct, "for_each_dlink", "action_funct", 0);
    int failed = 0;
    dlink* node = head;
    for (;;) {
        if (!action_funct(node))
            failed = 1;
        if (failed && !continue_flag)
            return 0;
        node = node->next_ptr;
        if (node == head || !node)
            return failed ? 0 : 1;
    }
}

namespace {

// Detaches the nodes one by one from the head and releases each.
int free_nodes(dlink* head, dlink_free_with_funct free_funct, void* context)
{
    int failed = 0;
    dlink* handle = head;
    while (handle) {
        if (!handle->next_ptr) {
            LOG_WARNING("%s\n", "Improperly terminating list.");
            return free_funct(handle, context);
        }
        dlink* node = handle;
        dlink_remove(&handle);
        if (!free_funct(node, context))
            failed = 1;
    }
    return failed ? 0 : 1;
}

int call_free_funct(void* node, void* context)
{
    return (*(dlink_free_funct*)context)(node);
}

}  // namespace

int dlink_free_list(dlink* head, dlink_free_funct free_funct)
{
    REFUSE_NULL(head, "dlink_free_list", "list_ptr", 0);
    REFUSE_NULL(free_funct, "dlink_free_list", "free_funct", 0);
    return free_nodes(head, call_free_funct, &free_funct);
}

int dlink_free_list_with(dlink* head, dlink_free_with_funct free_funct, void* context)
{
    REFUSE_NULL(head, "dlink_free_list_with", "list_ptr", 0);
    REFUSE_NULL(free_funct, "dlink_free_list_with", "free_funct", 0);
    return free_nodes(head, free_funct, context);
}

int dlink_bubble_sort(dlink** list_ptr, dlink_less_than_funct less_than_funct)
{
    REFUSE_NULL(list_ptr, "dlink_bubble_sort", "list_ptr", 0);
    REFUSE_NULL(*list_ptr, "dlink_bubble_sort", "* list_ptr", 0);
    REFUSE_NULL(less_than_funct, "dlink_bubble_sort", "less_than_funct", 0);
    unsigned n = dlink_count(*list_ptr);
    if (n < 2)
        return 0;

    // The handle walks the circle; each pass starts on the first node in
    // order and ends, after n - 1 steps and one more, on the first node again.
    int moved = 0;
    int swapped;
    do {
        swapped = 0;
        unsigned steps = n - 1;
        while (steps > 0) {
            dlink* cur = *list_ptr;
            dlink* nxt = cur->next_ptr;
            if (less_than_funct(nxt, cur)) {
                dlink_remove(list_ptr);             // handle on nxt
                *list_ptr = (*list_ptr)->next_ptr;  // the node after nxt
                dlink_insert(list_ptr, cur);        // cur goes before it: after nxt
                *list_ptr = cur->prev_ptr;          // back on nxt
                moved = 1;
                swapped = 1;
            } else {
                *list_ptr = nxt;
                --steps;
            }
        }
        *list_ptr = (*list_ptr)->next_ptr;
    } while (swapped);
    return moved;
}

int dlink_less_than(void* first, void* second)
{
    dlink* first_ptr = (dlink*)first;
    dlink* second_ptr = (dlink*)second;
    REFUSE_NULL(first_ptr, "dlink_less_than", "first_ptr", 0);
    REFUSE_NULL(second_ptr, "dlink_less_than", "second_ptr", 0);
    REFUSE_NULL(first_ptr->dlink_key_str, "dlink_less_than", "first_ptr->dlink_key_str", 0);
    REFUSE_NULL(second_ptr->dlink_key_str, "dlink_less_than", "second_ptr->dlink_key_str", 0);
    return std::strcmp(first_ptr->dlink_key_str, second_ptr->dlink_key_str) < 0 ? 1 : 0;
}

int dlink_combine_lists(dlink** list_ptr, dlink* second)
{
    REFUSE_NULL(list_ptr, "dlink_combine_lists", "first list", 0);
    REFUSE_NULL(second, "dlink_combine_lists", "second list", 0);
    dlink* first = *list_ptr;
    if (!first) {
        *list_ptr = second;
        return 1;
    }
    dlink* first_tail = first->prev_ptr;
    dlink* second_tail = second->prev_ptr;
    first_tail->next_ptr = second;
    second->prev_ptr = first_tail;
    second_tail->next_ptr = first;
    first->prev_ptr = second_tail;
    return 1;
}
