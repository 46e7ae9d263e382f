#include "heap.h"

#include <cstdlib>
#include <cstring>

#include "debug.h"

// The game's blocks come from mimalloc where the build has it: loading a
// level makes and releases hundreds of thousands of small blocks (names,
// strings, records), which it hands out and takes back in a fraction of the
// C library's time. The sanitizer and fuzz builds keep the C library's heap,
// so that AddressSanitizer sees every block.
#ifdef VARNOCK_HEAP_MIMALLOC
#include <mimalloc.h>
#define HEAP_ALLOCATE mi_malloc
#define HEAP_RELEASE mi_free
#else
#define HEAP_ALLOCATE std::malloc
#define HEAP_RELEASE std::free
#endif

namespace {

int32_t allocations_until_fault = 0;  // 0: no fault planned
int fault_fired = 0;
int64_t live_blocks = 0;

// Takes one allocation off the countdown; true when this one is to fail.
bool fault_now(void)
{
    if (allocations_until_fault <= 0 || --allocations_until_fault > 0)
        return false;
    fault_fired = 1;
    return true;
}

}  // namespace

void* heap_malloc(size_t size, const char* file, long line)
{
    if (size == 0) {
        LOG_ERROR("Attempting to malloc %ld bytes at %s(%ld)\n", (long)size, file, line);
        return nullptr;
    }
    if (fault_now())
        return nullptr;
    void* block = HEAP_ALLOCATE(size);
    if (block)
        ++live_blocks;
    return block;
}

void heap_free(void* data_ptr, const char* file, long line)
{
    if (!data_ptr) {
        LOG_ERROR("Attempting to free data_ptr which is NULL at %s(%ld)\n", file, line);
        return;
    }
    HEAP_RELEASE(data_ptr);
    --live_blocks;
}

char* heap_strdup(const char* char_ptr, const char* file, long line)
{
    if (!char_ptr) {
        LOG_ERROR("Attempting to strdup with a NULL char_ptr at %s(%ld)\n", file, line);
        return nullptr;
    }
    if (fault_now())
        return nullptr;
    size_t size = std::strlen(char_ptr) + 1;
    char* copy = (char*)HEAP_ALLOCATE(size);
    if (copy) {
        std::memcpy(copy, char_ptr, size);
        ++live_blocks;
    }
    return copy;
}

void heap_fail_nth_allocation(int32_t nth)
{
    allocations_until_fault = nth > 0 ? nth : 0;
    fault_fired = 0;
}

int heap_fault_fired(void)
{
    return fault_fired;
}

int64_t heap_live_blocks(void)
{
    return live_blocks;
}
