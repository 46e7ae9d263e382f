#include "shader.h"

#include "anim.h"
#include "debug.h"
#include "dlink.h"
#include "heap.h"
#include "mow_animate.h"
#include "win_ast.h"
#include "winmain2.h"

namespace {

// More slices than this in one frame means a state whose animation takes
// next to no time per pass; the rest of the frame is dropped rather than
// spun through.
enum { SHADER_MAX_SLICES_PER_FRAME = 1024 };

const char* table_name(const win_ast* table)
{
    return table->win_ast_name ? table->win_ast_name : "(null)";
}

const char* shader_name(const win_shader* shader)
{
    return shader && shader->win_shader_name ? shader->win_shader_name : "(null)";
}

// The animation slot a state names; NULL for none or a slot the table lacks.
mow_anim* state_anim(const win_ast* table, const win_anim_table_base* state)
{
    int32_t slot = state->mow_anim_index;
    if (!table->mow_anim_ptr_array || slot < 0 || slot >= table->mow_anim_ptr_array_size)
        return nullptr;
    return table->mow_anim_ptr_array[slot];
}

// Shows the texture that the animation's shader index keys give at `time`;
// an animation without such keys shows none.
void show_texture_at(win_shader* shader, const mow_anim* anim, float time)
{
    if (!shader)
        return;
    int32_t index = -1;
    if (anim->mow_shader_idx_key_array && anim->mow_shader_idx_key_array_size > 0)
        index = mow_animate_mow_shader_idx(anim, time);
    win_shader_set_current_texture(shader, index);
}

// The copy's slots hold the source's containers, each with one more
// reference; false after an error line.
bool share_textures(win_shader* copy, const win_shader* source)
{
    if (!source->texture_container_ptr_array)
        return true;
    int32_t slots = source->texture_container_ptr_array_size;
    copy->texture_container_ptr_array = malloc_texture_container_ptr_array(slots);
    if (!copy->texture_container_ptr_array) {
        LOG_ERROR("failed to allocate memory for texture array for '%s'.\n", shader_name(source));
        return false;
    }
    copy->texture_container_ptr_array_size = slots;
    for (int32_t i = 0; i < slots; ++i) {
        texture_container* container = source->texture_container_ptr_array[i];
        if (container)
            ++container->texture_container_ref_cnt;
        copy->texture_container_ptr_array[i] = container;
    }
    return true;
}

// The copy's own texture names; false after an error line.
bool copy_texture_names(win_shader* copy, const win_shader* source)
{
    if (!source->win_texture_filename_array)
        return true;
    int32_t names = source->win_texture_filename_array_size;
    copy->win_texture_filename_array = malloc_win_filename_ptr_array(names);
    if (!copy->win_texture_filename_array) {
        LOG_ERROR("Could not malloc win_texture_filename_array for '%s'\n", shader_name(source));
        return false;
    }
    copy->win_texture_filename_array_size = names;
    for (int32_t i = 0; i < names; ++i) {
        const char* name = source->win_texture_filename_array[i];
        if (name && !(copy->win_texture_filename_array[i] = STRDUP(name))) {
            LOG_ERROR("Could not strdup texture_filename '%s'\n", name);
            return false;
        }
    }
    return true;
}

// Fills `copy` (a default record) from `source`; false after an error line,
// with what was made left in `copy` for its release.
bool duplicate_shader(win_shader* copy, const win_shader* source)
{
    if (source->win_shader_name && !(copy->win_shader_name = STRDUP(source->win_shader_name))) {
        LOG_ERROR("Could not strdup win_shader_name '%s'\n", source->win_shader_name);
        return false;
    }
    if (source->win_ast_filename && !(copy->win_ast_filename = STRDUP(source->win_ast_filename))) {
        LOG_ERROR("Could not strdup win_ast_filename '%s'\n", source->win_ast_filename);
        return false;
    }
    if (source->win_ast && !(copy->win_ast = anim_create_duplicate_ast(source->win_ast))) {
        LOG_ERROR("%s\n", "Could not anim_create_duplicate_ast");
        return false;
    }
    for (int32_t i = 0; i < 5; ++i)
        copy->shader_reserved[i] = source->shader_reserved[i];
    if (!copy_texture_names(copy, source) || !share_textures(copy, source))
        return false;
    // The copy has the source's slots, so the source's index stands.
    win_shader_set_current_texture(copy, source->current_texture);
    return true;
}

}  // namespace

int shader_update_anim(win_shader* shader, win_ast* win_ast_ptr)
{
    float dt = frame_delta_time;
    for (int32_t slices = 0; dt > 0.0f; ++slices) {
        if (!win_ast_ptr || !win_ast_ptr->current_mow_anim)
            break;
        if (slices == SHADER_MAX_SLICES_PER_FRAME) {
            LOG_WARNING("Shader %s took %ld slices in one frame; the rest is dropped\n",
                        shader_name(shader), (long)slices);
            break;
        }
        float consumed = 0.0f;
        float time = 0.0f;
        anim_calc_time_advance(win_ast_ptr, dt, &consumed, &time);
        dt -= consumed;
        show_texture_at(shader, win_ast_ptr->current_mow_anim, time);
        if (!shader_interpret_input(shader, win_ast_ptr) &&
            (win_ast_ptr->anim_input_flags & WIN_AST_END_OF_ANIM)) {
            const win_anim_table_base* state = win_ast_current_state(win_ast_ptr);
            if (state)
                shader_start_next_anim_state(shader, win_ast_ptr, state->next_anim_index, 1);
        }
        win_ast_ptr->anim_input_flags &= ~WIN_AST_END_OF_ANIM;
    }
    return 1;
}

int shader_interpret_input(win_shader* shader, win_ast* win_ast_ptr)
{
    REFUSE_NULL(win_ast_ptr, "shader_interpret_input", "win_ast", 0);
    const win_anim_table_base* state = win_ast_current_state(win_ast_ptr);
    if (!state)
        return 0;
    const win_anim_table_entry* head = state->win_anim_table_entry_list;
    for (const win_anim_table_entry* entry = head; entry;
         entry = dlink_ring_step(head, entry->next_ptr)) {
        if (entry->condition_mask == win_ast_ptr->anim_input_flags) {
            int32_t forced = (win_ast_ptr->anim_input_flags & WIN_AST_END_OF_ANIM) != 0;
            shader_start_next_anim_state(shader, win_ast_ptr, entry->target_anim_index, forced);
            return 1;
        }
    }
    return 0;
}

int shader_start_next_anim_state(win_shader* shader, win_ast* win_ast_ptr, int32_t new_anim_index,
                                 int32_t forced)
{
    REFUSE_NULL(win_ast_ptr, "start_next_anim_state", "win_ast", 0);
    win_ast* table = win_ast_ptr;
    if (!table->win_anim_table_base_array || new_anim_index < 0 ||
        new_anim_index >= table->win_anim_table_base_array_size) {
        LOG_ERROR("Bad new_anim_index = %ld for '%s'\n", (long)new_anim_index, table_name(table));
        return 0;
    }
    mow_anim* previous = table->current_mow_anim;
    table->current_anim_index = new_anim_index;
    table->current_mow_anim = state_anim(table, &table->win_anim_table_base_array[new_anim_index]);
    if (forced || table->current_mow_anim != previous)
        table->anim_progress = 0.0f;
    if (table->current_mow_anim) {
        float consumed = 0.0f;
        float time = 0.0f;
        anim_calc_time_advance(table, 0.0f, &consumed, &time);
        show_texture_at(shader, table->current_mow_anim, time);
    }
    return 1;
}

int shader_play_anim(win_shader* shader, int32_t state)
{
    REFUSE_NULL(shader, "shader_play_anim", "entity", 0);
    shader_start_next_anim_state(shader, shader->win_ast, state, 0);
    return 1;
}

int shader_play_anim2(win_shader* shader, int32_t state)
{
    REFUSE_NULL(shader, "shader_play_anim2", "shader", 0);
    win_ast* table = shader->win_ast;
    REFUSE_NULL(table, "shader_play_anim2", "shader->win_ast", 0);
    switch (table->anim_blocking_state) {
    case 0:
        shader_start_next_anim_state(shader, table, state, 0);
        table->anim_blocking_state = 1;
        return 0;
    case 1:
        return 0;
    case 2:
        table->anim_blocking_state = 0;
        return 1;
    default:
        LOG_ERROR("Unknown anim_blocking_state %f for '%s'\n", (double)table->anim_blocking_state,
                  shader_name(shader));
        return 0;
    }
}

win_shader* shader_duplicate_win_shader_array(const win_shader* template_win_shader_array,
                                              int32_t count)
{
    REFUSE_NULL(template_win_shader_array, "shader_duplicate_win_shader_array",
                "template_win_shader_array", nullptr);
    win_shader* copies = malloc_win_shader_array(count);
    if (!copies) {
        LOG_ERROR("%s\n", "Could not allocate mew_win_shader_array");
        return nullptr;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!duplicate_shader(&copies[i], &template_win_shader_array[i])) {
            free_win_shader_array(copies, count);
            return nullptr;
        }
    }
    return copies;
}
