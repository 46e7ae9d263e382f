#include "win_ast.h"

#include <cstddef>

#include "debug.h"
#include "dlink.h"

namespace {

// The tables whose sound slots hold sounds: a ring of their sound_holder
// nodes, NULL when empty.
dlink* sound_holders = nullptr;

// The table whose register node `node` is.
win_ast* holder_table(dlink* node)
{
    return (win_ast*)((char*)node - offsetof(win_ast, sound_holder));
}

const char* table_name(const win_ast* table)
{
    return table->win_ast_name ? table->win_ast_name : "(null)";
}

// The entries of an owned array: its count while the pointer is set, else
// none (a count means nothing without its array).
int32_t entries(int32_t array_size, const void* array)
{
    return array ? array_size : 0;
}

// Whether a stored count goes with what it counts: none without its array
// or list, which those who use the table walk by count. Logged when not;
// `state` as in index_fits.
int count_fits(const win_ast* table, int32_t state, const char* count_word, int32_t count,
               const void* array)
{
    if (array || count == 0)
        return 1;
    if (state < 0)
        LOG_ERROR("Bad %s = %ld without its items in win_ast %s\n", count_word, (long)count,
                  table_name(table));
    else
        LOG_ERROR("Bad %s = %ld without its items in state %ld of win_ast %s\n", count_word,
                  (long)count, (long)state, table_name(table));
    return 0;
}

// Whether `idx` is -1 or indexes one of `count` entries; logged when not.
// `state` is the state that holds the index.
int index_fits(const win_ast* table, int32_t state, const char* idx_word, int32_t idx,
               const char* array_word, int32_t count)
{
    if (idx >= -1 && idx < count)
        return 1;
    LOG_ERROR("Bad %s = %ld in state %ld of win_ast %s with %s_size = %ld\n", idx_word, (long)idx,
              (long)state, table_name(table), array_word, (long)count);
    return 0;
}

int state_fits(const win_ast* table, int32_t state, const char* idx_word, int32_t idx,
               int32_t states)
{
    return index_fits(table, state, idx_word, idx, "win_anim_table_base_array", states);
}

}  // namespace

int win_ast_check_indexes(const void* win_ast_ptr)
{
    const win_ast* table = (const win_ast*)win_ast_ptr;
    REFUSE_NULL(table, "win_ast_check_indexes", "win_ast_ptr", 0);
    const int32_t states = entries(table->win_anim_table_base_array_size,
                                   table->win_anim_table_base_array);
    const int32_t animations = entries(table->mow_anim_filename_array_size,
                                       table->mow_anim_filename_array);
    if (!count_fits(table, -1, "mow_anim_filename_array_size", table->mow_anim_filename_array_size,
                    table->mow_anim_filename_array) ||
        !count_fits(table, -1, "win_anim_table_base_array_size",
                    table->win_anim_table_base_array_size, table->win_anim_table_base_array) ||
        !count_fits(table, -1, "win_anim_state_filename_array_size",
                    table->win_anim_state_filename_array_size,
                    table->win_anim_state_filename_array) ||
        !count_fits(table, -1, "sound_fx_filename_array_size", table->sound_fx_filename_array_size,
                    table->sound_fx_filename_array) ||
        !count_fits(table, -1, "win_joint_table_list_size", table->win_joint_table_list_size,
                    table->win_joint_table_list))
        return 0;
    for (int32_t s = 0; s < states; ++s) {
        const win_anim_table_base* state = &table->win_anim_table_base_array[s];
        if (!count_fits(table, s, "win_anim_table_entry_list_size",
                        state->win_anim_table_entry_list_size, state->win_anim_table_entry_list) ||
            !state_fits(table, s, "anim_index", state->anim_index, states) ||
            !state_fits(table, s, "next_anim_index", state->next_anim_index, states) ||
            !state_fits(table, s, "block_to_anim_index", state->block_to_anim_index, states) ||
            !index_fits(table, s, "mow_anim_index", state->mow_anim_index,
                        "mow_anim_filename_array", animations))
            return 0;
        const win_anim_table_entry* head = state->win_anim_table_entry_list;
        for (const win_anim_table_entry* entry = head; entry;
             entry = dlink_ring_step(head, entry->next_ptr))
            if (!state_fits(table, s, "target_anim_index", entry->target_anim_index, states))
                return 0;
    }
    return 1;
}

void win_ast_release(void* win_ast_ptr)
{
    dlink* node = &((win_ast*)win_ast_ptr)->sound_holder;
    if (!node->next_ptr)
        return;
    if (sound_holders == node) {
        dlink_remove(&sound_holders);
    } else {
        dlink* handle = node;
        dlink_remove(&handle);
    }
    node->prev_ptr = nullptr;
    node->next_ptr = nullptr;
}

int win_ast_hold_sounds(win_ast* win_ast_ptr)
{
    REFUSE_NULL(win_ast_ptr, "win_ast_hold_sounds", "win_ast_ptr", 0);
    if (win_ast_ptr->sound_holder.next_ptr)
        return 1;
    return dlink_add(&sound_holders, &win_ast_ptr->sound_holder);
}

void win_ast_forget_sound(const win_sound_container* sound)
{
    dlink* node = sound_holders;
    if (!node || !sound)
        return;
    do {
        win_ast* table = holder_table(node);
        for (int32_t i = 0; i < entries(table->sound_fx_array_size, table->sound_fx_array); ++i)
            if (table->sound_fx_array[i] == sound)
                table->sound_fx_array[i] = nullptr;
        node = node->next_ptr;
    } while (node != sound_holders);
}

void win_ast_reset(void)
{
    while (sound_holders)
        win_ast_release(holder_table(sound_holders));
}

win_anim_table_base* win_ast_current_state(const win_ast* win_ast_ptr)
{
    INVARIANT(win_ast_ptr != nullptr);
    const int32_t index = win_ast_ptr->current_anim_index;
    if (!win_ast_ptr->win_anim_table_base_array || index < 0 ||
        index >= win_ast_ptr->win_anim_table_base_array_size)
        return nullptr;
    return &win_ast_ptr->win_anim_table_base_array[index];
}
