// Fuzz target: a model stream, as a model file holds it after its header; a
// model that comes out is validated too.
#include "mow_geo.h"
#include "record_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&mow_model_desc, data, size, [](const void* model) {
        mow_geo_validate_mow_model((const mow_model*)model);
    });
}
