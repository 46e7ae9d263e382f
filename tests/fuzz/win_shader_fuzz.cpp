// Fuzz target: a shader file's body (after the header): one shader with its
// state table, texture names and texture slots. A shader that comes out
// shows nothing or one of its textures, so the renderer's slot lookup stays
// inside the slots it has.
#include "demo_shader.h"
#include "fuzz_support.h"
#include "record_fuzz.h"
#include "win_shader.h"

namespace {

void walk(const void* record)
{
    const win_shader* shader = (const win_shader*)record;
    int32_t names = shader->win_texture_filename_array ? shader->win_texture_filename_array_size
                                                       : 0;
    int32_t slots = shader->texture_container_ptr_array ? shader->texture_container_ptr_array_size
                                                        : 0;
    FUZZ_CHECK(shader->current_texture >= -1 &&
               shader->current_texture < (names > slots ? names : slots));
    for (int32_t i = 0; i < slots; ++i)
        if (const texture_container* container = shader->texture_container_ptr_array[i])
            FUZZ_CHECK(!container->texture_container_surface);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_shader_desc, data, size, walk);
}

void fuzz_write_seeds(void)
{
    win_shader* plain = demo_shader_make("glow", "flicker", "glow_a", "glow_b");
    win_shader* full = demo_shader_make_whole("flicker", "flicker", "glow_a", "glow_b");
    for (win_shader* seed : {plain, full}) {
        char* buffer = nullptr;
        size_t length = 0;
        FILE* file = open_memstream(&buffer, &length);
        write_win_shader_bin(file, seed);
        std::fclose(file);
        fuzz_seed(seed->win_shader_name, std::string(buffer, length));
        std::free(buffer);
        free_win_shader(seed);
    }
}
