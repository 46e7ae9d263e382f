// The body of a fuzz target for a reader of record streams: the bytes are
// read as one record of a type with the stream form and the link form.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "heap.h"
#include "record.h"

// What is done with each record that comes out, before it is released: a
// check of the reader's type that must not fail on anything a reader gives.
typedef void (*record_fuzz_use)(const void* record);

// What a record read from `bytes` writes; false when the bytes are refused.
// `use`, when given, sees the record read.
inline bool record_fuzz_rewrite(const record_type* type, const std::string& bytes,
                                std::string* written, record_fuzz_use use = nullptr)
{
    FILE* in = bytes.empty() ? std::tmpfile() : fmemopen((void*)bytes.data(), bytes.size(), "rb");
    if (!in)
        return false;
    void* rec = record_read_bin(type, in);
    std::fclose(in);
    if (!rec)
        return false;
    if (use)
        use(rec);
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    int ok = record_write_bin(type, out, rec);
    std::fclose(out);
    written->assign(buffer, size);
    std::free(buffer);
    record_free(type, rec);
    return ok;
}

// Reads and links `data` as one record of `type`. What is read must write
// back, and what that writes must read and write back unchanged. `use`, when
// given, sees the record read and the record linked.
inline int record_fuzz_one_input(const record_type* type, const uint8_t* data, size_t size,
                                 record_fuzz_use use = nullptr)
{
    std::string bytes((const char*)data, size);
    std::string first, second;
    if (record_fuzz_rewrite(type, bytes, &first, use) &&
        (!record_fuzz_rewrite(type, first, &second) || second != first))
        __builtin_trap();

    char* image = (char*)MALLOC(size ? size : 1);
    std::memcpy(image, data, size);
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, image, (int32_t)size, 0);
    void* linked = record_link(type, &cursor);
    if (linked && use)
        use(linked);
    link_arena_free(&arena);
    return 0;
}
