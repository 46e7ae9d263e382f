// Fuzz target of the model file reader: the bytes after the file header as a
// model stream, read from a file and linked from a memory image. Neither may
// crash, read outside the input or leak; a model that reads is validated too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "debug.h"
#include "heap.h"
#include "mow_geo.h"
#include "record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool opened = (debug_open(nullptr, 0), true);  // count, write no log
    (void)opened;
    if (size > INT32_MAX)
        return 0;

    // The stream reader reads a real file: it bounds every count by the
    // bytes left in it.
    if (FILE* file = tmpfile()) {
        if (fwrite(data, 1, size, file) == size && fseek(file, 0, SEEK_SET) == 0) {
            if (mow_model* model = read_mow_model_bin(file)) {
                mow_geo_validate_mow_model(model);
                free_mow_model(model);
            }
        }
        fclose(file);
    }

    char* image = (char*)MALLOC(size ? size : 1);
    if (!image)
        return 0;
    if (size)
        std::memcpy(image, data, size);
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, image, (int32_t)size, 0);
    if (mow_model* linked = link_mow_model(&cursor))
        mow_geo_validate_mow_model(linked);
    link_arena_free(&arena);
    return 0;
}
