// Fuzz target of the sound container streams: the input's first byte picks
// the form (one container, an array, a list or a slot array) and the count;
// the rest is the stream, read from a file and linked in place. Whatever
// the bytes, a reader returns a record it owns wholly or nothing, and leaks
// nothing.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "heap.h"
#include "win_sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int form = data[0] & 3;
    const int32_t count = (data[0] >> 2) % 8 + 1;
    ++data;
    --size;

    FILE* file = std::tmpfile();
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::rewind(file);
    switch (form) {
    case 0:
        if (win_sound_container* sound = read_win_sound_container_bin(file))
            free_win_sound_container(sound);
        break;
    case 1:
        if (win_sound_container* array = read_win_sound_container_array_bin(file, count))
            free_win_sound_container_array(array, count);
        break;
    case 2:
        if (win_sound_container* list = read_win_sound_container_list_bin(file, count))
            free_win_sound_container_list(list);
        break;
    default:
        if (win_sound_container_ptr* slots = read_win_sound_container_ptr_array_bin(file, count))
            free_win_sound_container_ptr_array(slots, count);
    }
    std::fclose(file);

    char* image = (char*)MALLOC(size ? size : 1);
    if (!image)
        return 0;
    std::memcpy(image, data, size);
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, image, (int32_t)size, 0);
    switch (form) {
    case 0:
        link_win_sound_container(&cursor);
        break;
    case 1:
        link_win_sound_container_array(&cursor, count);
        break;
    case 2:
        link_win_sound_container_list(&cursor, count);
        break;
    default:
        link_win_sound_container_ptr_array(&cursor, count);
    }
    link_arena_free(&arena);
    return 0;
}
