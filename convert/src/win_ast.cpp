#include "win_ast.h"

#include "debug.h"

namespace {

// The tables whose sound slots hold sounds: a ring through their
// sound_holder links, NULL when empty.
win_ast* sound_holders = nullptr;

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

// Whether `idx` is -1 or indexes one of `count` entries; logged when not.
// `state` is the state that holds the index, -1 for the table itself.
int index_fits(const win_ast* table, int32_t state, const char* idx_word, int32_t idx,
               const char* array_word, int32_t count)
{
    if (idx >= -1 && idx < count)
        return 1;
    if (state < 0)
        LOG_ERROR("Bad %s = %ld in win_ast %s with %s_size = %ld\n", idx_word, (long)idx,
                  table_name(table), array_word, (long)count);
    else
        LOG_ERROR("Bad %s = %ld in state %ld of win_ast %s with %s_size = %ld\n", idx_word,
                  (long)idx, (long)state, table_name(table), array_word, (long)count);
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
    if (!state_fits(table, -1, "current_anim_index", table->current_anim_index, states))
        return 0;
    for (int32_t s = 0; s < states; ++s) {
        const win_anim_table_base* state = &table->win_anim_table_base_array[s];
        if (!state_fits(table, s, "anim_index", state->anim_index, states) ||
            !state_fits(table, s, "next_anim_index", state->next_anim_index, states) ||
            !state_fits(table, s, "block_to_anim_index", state->block_to_anim_index, states) ||
            !index_fits(table, s, "mow_anim_index", state->mow_anim_index,
                        "mow_anim_filename_array", animations))
            return 0;
        const win_anim_table_entry* entry = state->win_anim_table_entry_list;
        for (int32_t e = 0; entry && e < state->win_anim_table_entry_list_size; ++e) {
            if (!state_fits(table, s, "target_anim_index", entry->target_anim_index, states))
                return 0;
            entry = entry->next_ptr;
        }
    }
    return 1;
}

void win_ast_release(void* win_ast_ptr)
{
    win_ast* table = (win_ast*)win_ast_ptr;
    if (!table->sound_holder_next)
        return;
    if (table->sound_holder_next == table) {
        sound_holders = nullptr;
    } else {
        table->sound_holder_prev->sound_holder_next = table->sound_holder_next;
        table->sound_holder_next->sound_holder_prev = table->sound_holder_prev;
        if (sound_holders == table)
            sound_holders = table->sound_holder_next;
    }
    table->sound_holder_prev = nullptr;
    table->sound_holder_next = nullptr;
}

int win_ast_hold_sounds(win_ast* win_ast_ptr)
{
    REFUSE_NULL(win_ast_ptr, "win_ast_hold_sounds", "win_ast_ptr", 0);
    if (win_ast_ptr->sound_holder_next)
        return 1;
    if (!sound_holders) {
        win_ast_ptr->sound_holder_prev = win_ast_ptr;
        win_ast_ptr->sound_holder_next = win_ast_ptr;
        sound_holders = win_ast_ptr;
        return 1;
    }
    win_ast* tail = sound_holders->sound_holder_prev;
    win_ast_ptr->sound_holder_prev = tail;
    win_ast_ptr->sound_holder_next = sound_holders;
    tail->sound_holder_next = win_ast_ptr;
    sound_holders->sound_holder_prev = win_ast_ptr;
    return 1;
}

void win_ast_forget_sound(const win_sound_container* sound)
{
    win_ast* table = sound_holders;
    if (!table || !sound)
        return;
    do {
        for (int32_t i = 0; i < entries(table->sound_fx_array_size, table->sound_fx_array); ++i)
            if (table->sound_fx_array[i] == sound)
                table->sound_fx_array[i] = nullptr;
        table = table->sound_holder_next;
    } while (table != sound_holders);
}

void win_ast_reset(void)
{
    while (sound_holders)
        win_ast_release(sound_holders);
}
