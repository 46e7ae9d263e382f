// Heap wrappers: plain C heap blocks, with misuse reported at the caller's
// source position. Every allocation of the program goes through MALLOC,
// STRDUP and FREE.
#pragma once

#include <cstddef>

void* heap_malloc(size_t size, const char* file, long line);
void heap_free(void* data_ptr, const char* file, long line);
char* heap_strdup(const char* char_ptr, const char* file, long line);

#define MALLOC(size) heap_malloc((size), __FILE__, __LINE__)
#define STRDUP(str) heap_strdup((str), __FILE__, __LINE__)
#define FREE(ptr) heap_free((ptr), __FILE__, __LINE__)
