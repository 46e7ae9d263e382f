// Heap wrappers: heap blocks (see heap.cpp for whose), with misuse reported
// at the caller's source position. Every allocation of the program goes
// through MALLOC, STRDUP and FREE, and only FREE releases what they gave: a
// block of theirs is never handed to free(), nor one of the C library to FREE.
#pragma once

#include <cstddef>
#include <cstdint>

void* heap_malloc(size_t size, const char* file, long line);
void heap_free(void* data_ptr, const char* file, long line);
char* heap_strdup(const char* char_ptr, const char* file, long line);

#define MALLOC(size) heap_malloc((size), __FILE__, __LINE__)
#define STRDUP(str) heap_strdup((str), __FILE__, __LINE__)
#define FREE(ptr) heap_free((ptr), __FILE__, __LINE__)

// Allocation-failure testing. The `nth` allocation from now on (1: the next)
// returns NULL, as an exhausted heap would; 0 turns the fault off. Once it has
// fired, heap_fault_fired() is 1 until the next heap_fail_nth_allocation.
void heap_fail_nth_allocation(int32_t nth);
int heap_fault_fired(void);
// Blocks handed out by heap_malloc and heap_strdup and not yet freed, for
// leak checks in tests.
int64_t heap_live_blocks(void);
