// Fuzz target: a navigation map stream, as an entity file holds an environment's.
#include "record_fuzz.h"
#include "win_entity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_map_desc, data, size);
}
