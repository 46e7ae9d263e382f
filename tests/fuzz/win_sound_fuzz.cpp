// Fuzz target: a sound container slot as the state tables store it: its
// presence word, then the container's stream (image and name).
#include "record_fuzz.h"
#include "win_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_sound_container_ptr_desc, data, size);
}
