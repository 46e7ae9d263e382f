// Fuzz target: a collision file's body (after the header): one hull.
#include "record_fuzz.h"
#include "win_collision.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_collision_desc, data, size);
}
