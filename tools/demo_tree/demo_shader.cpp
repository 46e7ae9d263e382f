#include "demo_shader.h"

#include "debug.h"
#include "demo_model.h"
#include "file_io.h"
#include "heap.h"

namespace {

enum { GLOW, FLASH, FLICKER_STATES };

// A name array of copies of `names`; NULL when one could not be made.
win_filename_ptr* name_array(std::initializer_list<const char*> names)
{
    win_filename_ptr* array = malloc_win_filename_ptr_array((int32_t)names.size());
    if (!array)
        return nullptr;
    int32_t i = 0;
    bool ok = true;
    for (const char* name : names)
        ok = (array[i++] = STRDUP(name)) && ok;
    if (!ok) {
        free_win_filename_ptr_array(array, (int32_t)names.size());
        return nullptr;
    }
    return array;
}

}  // namespace

mow_anim* demo_shader_make_flicker(const char* name)
{
    mow_anim* anim = malloc_mow_anim(name);
    if (!anim)
        return nullptr;
    anim->mow_anim_begin_time = 0.0f;
    anim->mow_anim_end_time = (float)DEMO_SHADER_FLICKER_LENGTH;
    anim->mow_shader_idx_key_array = malloc_mow_shader_idx_key_array(3);
    if (!anim->mow_shader_idx_key_array) {
        free_mow_anim(anim);
        return nullptr;
    }
    anim->mow_shader_idx_key_array_size = 3;
    anim->mow_shader_idx_key_array[0] = {0.0f, 0};
    anim->mow_shader_idx_key_array[1] = {100.0f, 1};
    anim->mow_shader_idx_key_array[2] = {200.0f, 0};
    return anim;
}

win_ast* demo_shader_make_table(const char* name, const char* anim_name)
{
    win_ast* table = malloc_win_ast(name);
    if (!table)
        return nullptr;
    table->mow_anim_filename_array = name_array({anim_name});
    table->win_anim_state_filename_array = name_array({"glow", "flash"});
    table->win_anim_table_base_array = malloc_win_anim_table_base_array(FLICKER_STATES);
    win_anim_table_entry* entry = malloc_win_anim_table_entry();
    if (!table->mow_anim_filename_array || !table->win_anim_state_filename_array ||
        !table->win_anim_table_base_array || !entry) {
        LOG_ERROR("%s\n", "Could not make the flicker table.");
        if (entry)
            free_win_anim_table_entry(entry);
        free_win_ast(table);
        return nullptr;
    }
    table->mow_anim_filename_array_size = 1;
    table->win_anim_state_filename_array_size = FLICKER_STATES;
    table->win_anim_table_base_array_size = FLICKER_STATES;
    table->current_anim_index = GLOW;
    for (int32_t i = 0; i < FLICKER_STATES; ++i) {
        win_anim_table_base& state = table->win_anim_table_base_array[i];
        state.anim_index = i;
        state.next_anim_index = GLOW;
        state.mow_anim_index = 0;
        state.translation_multiplier = {1.0f, 1.0f, 1.0f};
        state.rotation_multiplier = {1.0f, 1.0f, 1.0f};
    }
    win_anim_table_base& glow = table->win_anim_table_base_array[GLOW];
    glow.begin_time = 0.0f;
    glow.end_time = (float)DEMO_SHADER_FLICKER_LENGTH;
    win_anim_table_base& flash = table->win_anim_table_base_array[FLASH];
    flash.begin_time = 150.0f;
    flash.end_time = (float)DEMO_SHADER_FLICKER_LENGTH;
    flash.anim_time_multiplier = 2.0f;
    entry->condition_mask = 0x40;
    entry->target_anim_index = FLASH;
    add_to_win_anim_table_entry_list(&glow.win_anim_table_entry_list,
                                     &glow.win_anim_table_entry_list_size, entry);
    return table;
}

win_shader* demo_shader_make(const char* name, const char* table_name, const char* texture_0,
                             const char* texture_1)
{
    win_shader* shader = malloc_win_shader(name);
    if (!shader)
        return nullptr;
    shader->win_ast_filename = table_name ? STRDUP(table_name) : nullptr;
    shader->win_texture_filename_array = name_array({texture_0, texture_1});
    if ((table_name && !shader->win_ast_filename) || !shader->win_texture_filename_array) {
        LOG_ERROR("%s\n", "Could not make the demo shader.");
        free_win_shader(shader);
        return nullptr;
    }
    shader->win_texture_filename_array_size = 2;
    return shader;
}

win_shader* demo_shader_make_whole(const char* name, const char* table_name, const char* texture_0,
                                   const char* texture_1)
{
    win_shader* shader = demo_shader_make(name, table_name, texture_0, texture_1);
    if (!shader)
        return nullptr;
    shader->win_ast = demo_shader_make_table(table_name, table_name);
    shader->texture_container_ptr_array = malloc_texture_container_ptr_array(2);
    if (!shader->win_ast || !shader->texture_container_ptr_array ||
        !(shader->texture_container_ptr_array[0] = malloc_texture_container(texture_0))) {
        LOG_ERROR("%s\n", "Could not make the whole demo shader.");
        if (shader->texture_container_ptr_array)
            shader->texture_container_ptr_array_size = 2;
        free_win_shader(shader);
        return nullptr;
    }
    shader->texture_container_ptr_array_size = 2;
    shader->current_texture = 1;
    return shader;
}

int demo_shader_write_file(const char* path, const win_shader* shader)
{
    return demo_write_record_file(path, FILE_TYPE_SHADER, FILE_VERSION_SHADER, &win_shader_desc,
                                  shader);
}
