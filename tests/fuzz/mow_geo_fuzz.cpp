// Fuzz target: a model stream, as a model file holds it after its header; a
// model that comes out is validated too.
#include "demo_model.h"
#include "fuzz_support.h"
#include "mow_geo.h"
#include "record_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&mow_model_desc, data, size, [](const void* model) {
        mow_geo_validate_mow_model((const mow_model*)model);
    });
}

void fuzz_write_seeds(void)
{
    mow_model* seed = demo_model_make("figure");
    char* buffer = nullptr;
    size_t length = 0;
    FILE* file = open_memstream(&buffer, &length);
    write_mow_model_bin(file, seed);
    std::fclose(file);
    fuzz_seed("figure", std::string(buffer, length));
    std::free(buffer);
    free_mow_model(seed);
}
