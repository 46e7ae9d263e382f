// Fuzz target of the model file reader: the bytes after the file header as a
// model stream, read from a file and linked from a memory image; a model that
// comes out is validated too.
#include "mow_geo.h"
#include "record_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_record_input(&mow_model_desc, data, size, [](const void* model) {
        mow_geo_validate_mow_model((const mow_model*)model);
    });
    return 0;
}
