#include "shader_io.h"

#include <cstdio>

#include "anim_io.h"
#include "d3dtextr_dx7.h"
#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "str_util.h"

namespace {

enum { SHADER_PATH_SIZE = 400 };

// Shader files and the error lines of the shader loader.
const versioned_record_file shader_file = {
    FILE_TYPE_SHADER,
    FILE_VERSION_SHADER,
    [](FILE* file) -> void* { return read_win_shader_bin(file); },
    [](const char* path, int32_t found) {
        LOG_ERROR("Bad file type or file version, found %ld, expected %ld for '%s'\n", (long)found,
                  (long)FILE_VERSION_SHADER, path);
    },
    [](const char* path) { LOG_ERROR("Could not read_win_shader_bin for '%s'\n", path); },
};

// The slot's shader read from its file, or NULL after an error line.
win_shader* read_shader_file(const char* path)
{
    return (win_shader*)file_read_versioned_record(path, path, &shader_file);
}

// One slot per texture name, each holding a counted reference to its
// container; the first texture that loads is shown unless the file chose
// one. Slots stored in the file (containers outside the cache, without
// surfaces) are let go first. False when the slots could not be made.
bool load_textures(win_shader* shader, const char* texture_pathname)
{
    int32_t names = shader->win_texture_filename_array ? shader->win_texture_filename_array_size
                                                       : 0;
    if (names <= 0)
        return true;
    if (shader->texture_container_ptr_array)
        free_texture_container_ptr_array(shader->texture_container_ptr_array,
                                         shader->texture_container_ptr_array_size);
    shader->texture_container_ptr_array = malloc_texture_container_ptr_array(names);
    shader->texture_container_ptr_array_size = shader->texture_container_ptr_array ? names : 0;
    if (!shader->texture_container_ptr_array) {
        LOG_ERROR("%s\n", "Could not malloc_texture_container_ptr_array");
        return false;
    }
    for (int32_t j = 0; j < names; ++j) {
        const char* name = shader->win_texture_filename_array[j];
        // The cache lower-cases the name it is given; the shader keeps its own.
        char* key = name ? STRDUP(name) : nullptr;
        texture_container* container = key ? d3dtextr_load_texture(key, texture_pathname, nullptr)
                                           : nullptr;
        if (key)
            FREE(key);
        if (!container) {
            LOG_ERROR("Could not d3dtextr_dx7_load_texture '%s'\n", name ? name : "(null)");
            continue;
        }
        ++container->texture_container_ref_cnt;
        shader->texture_container_ptr_array[j] = container;
        if (shader->current_texture == -1)
            win_shader_set_current_texture(shader, j);
    }
    // A stored index must name one of the slots made now.
    win_shader_set_current_texture(shader, shader->current_texture);
    return true;
}

// The state table the shader names, read afresh in place of one stored in
// the file, at its first state.
void load_table(win_shader* shader, const char* anim_pathname, const char* anim_table_pathname,
                const char* model_pathname)
{
    const char* name = shader->win_ast_filename;
    if (shader->win_ast)
        free_win_ast(shader->win_ast);
    shader->win_ast = malloc_win_ast(name);
    win_ast* table = shader->win_ast;
    if (!table) {
        LOG_ERROR("Failed to allocate memory for win_ast %s.\n", name);
        return;
    }
    char path[SHADER_PATH_SIZE];
    snprintf(path, sizeof path, "%s\\%s.%s", anim_table_pathname, name, "ast");
    to_lower_case(path);
    // Shader tables play no sounds: no sound directory.
    if (!anim_io_load_ast(path, table, model_pathname, nullptr))
        LOG_ERROR("Failed to load ast file %s.\n", name);
    // Shader animations hold shader index keys and no joint tracks.
    if (!anim_io_load_ast_anims(table, 0, anim_pathname))
        LOG_ERROR("Failed to load animations for ast file %s.\n", name);
    table->current_anim_index = 0;
    if (table->win_anim_table_base_array_size > 0 && table->win_anim_table_base_array &&
        table->mow_anim_ptr_array) {
        int32_t slot = table->win_anim_table_base_array[0].mow_anim_index;
        table->current_mow_anim = slot >= 0 && slot < table->mow_anim_ptr_array_size
                                      ? table->mow_anim_ptr_array[slot]
                                      : nullptr;
    }
}

}  // namespace

win_shader* load_win_shader_array(const win_filename_ptr* win_shader_filename_ptr_array,
                                  int32_t count, const char* shader_pathname,
                                  const char* texture_pathname, const char* anim_pathname,
                                  const char* anim_table_pathname, const char* model_pathname)
{
    REFUSE_NULL(win_shader_filename_ptr_array, "load_win_shader_array",
                "win_shader_filename_ptr_array", nullptr);
    REFUSE_NULL(shader_pathname, "load_win_shader_array", "shader_pathname", nullptr);
    REFUSE_NULL(texture_pathname, "load_win_shader_array", "texture_pathname", nullptr);
    REFUSE_NULL(anim_pathname, "load_win_shader_array", "anim_pathname", nullptr);
    REFUSE_NULL(anim_table_pathname, "load_win_shader_array", "anim_table_pathname", nullptr);
    if (count <= 0) {
        LOG_ERROR("Bad win_shader_filename_ptr_array_size = %ld\n", (long)count);
        return nullptr;
    }
    win_shader* shaders = malloc_win_shader_array(count);
    if (!shaders)
        return nullptr;
    for (int32_t i = 0; i < count; ++i) {
        const char* name = win_shader_filename_ptr_array[i];
        char path[SHADER_PATH_SIZE];
        snprintf(path, sizeof path, "%s\\%s.%s", shader_pathname, name ? name : "", "shw");
        LOG_NOTICE("Reading SHW '%s'\n", path);
        win_shader* read = read_shader_file(path);
        if (!read)
            continue;
        // The slot takes over all the read record owns; the emptied record
        // itself goes.
        shaders[i] = *read;
        FREE(read);
        win_shader* shader = &shaders[i];
        if (!load_textures(shader, texture_pathname))
            continue;
        if (shader->win_ast_filename)
            load_table(shader, anim_pathname, anim_table_pathname, model_pathname);
    }
    return shaders;
}
