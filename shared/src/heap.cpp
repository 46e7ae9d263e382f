#include "heap.h"

#include <cstdlib>
#include <cstring>

#include "debug.h"

void* heap_malloc(size_t size, const char* file, long line)
{
    if (size == 0) {
        LOG_ERROR("Attempting to malloc %ld bytes at %s(%ld)\n", (long)size, file, line);
        return nullptr;
    }
    return std::malloc(size);
}

void heap_free(void* data_ptr, const char* file, long line)
{
    if (!data_ptr) {
        LOG_ERROR("Attempting to free data_ptr which is NULL at %s(%ld)\n", file, line);
        return;
    }
    std::free(data_ptr);
}

char* heap_strdup(const char* char_ptr, const char* file, long line)
{
    if (!char_ptr) {
        LOG_ERROR("Attempting to strdup with a NULL char_ptr at %s(%ld)\n", file, line);
        return nullptr;
    }
    size_t size = std::strlen(char_ptr) + 1;
    char* copy = (char*)std::malloc(size);
    if (copy)
        std::memcpy(copy, char_ptr, size);
    return copy;
}
