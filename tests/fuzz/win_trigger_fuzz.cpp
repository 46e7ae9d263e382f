// Fuzz target: one trigger stream, as an environment's triggers are stored.
#include "record_fuzz.h"
#include "win_trigger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_trigger_desc, data, size);
}
