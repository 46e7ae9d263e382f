// The harness of the record readers' fuzz targets: the input is one record
// stream of a type, read from a file (the stream form bounds every count by
// the bytes left in a real file) and linked from a memory image of it.
// Neither may crash, read outside the input or leak.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "debug.h"
#include "heap.h"
#include "record.h"

// Reads and links `data` as a stream of `type`; `use` sees each record that
// comes out, before it is released.
inline void fuzz_record_input(const record_type* type, const uint8_t* data, size_t size,
                              void (*use)(const void* record))
{
    static bool opened = (debug_open(nullptr, 0), true);  // count, write no log
    (void)opened;
    if (size > INT32_MAX)
        return;

    if (FILE* file = tmpfile()) {
        if (fwrite(data, 1, size, file) == size && fseek(file, 0, SEEK_SET) == 0) {
            if (void* record = record_read_bin(type, file)) {
                use(record);
                record_free(type, record);
            }
        }
        fclose(file);
    }

    char* image = (char*)MALLOC(size ? size : 1);
    if (!image)
        return;
    if (size)
        std::memcpy(image, data, size);
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, image, (int32_t)size, 0);
    if (void* linked = record_link(type, &cursor))
        use(linked);
    link_arena_free(&arena);
}
