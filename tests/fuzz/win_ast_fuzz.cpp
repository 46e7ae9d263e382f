// Fuzz target: an animation state table stream, as a binary state table
// file holds it after its header and entity and shader files hold it
// inside theirs. A table that comes out is walked as the state machine walks
// it: every state index it holds leads to a state and every animation index
// to an animation name.
#include "record_fuzz.h"
#include "win_ast.h"

namespace {

// A property that must hold for every table a reader gives.
void require(bool holds)
{
    if (!holds)
        __builtin_trap();
}

const win_anim_table_base* state_at(const win_ast* table, int32_t index)
{
    if (index == -1)
        return nullptr;
    require(table->win_anim_table_base_array && index >= 0 &&
            index < table->win_anim_table_base_array_size);
    return &table->win_anim_table_base_array[index];
}

void walk(const void* record)
{
    const win_ast* table = (const win_ast*)record;
    require(!table->mow_anim_ptr_array && !table->sound_fx_array && !table->current_mow_anim);
    state_at(table, table->current_anim_index);
    require(table->win_anim_table_base_array || table->win_anim_table_base_array_size == 0);
    int32_t states = table->win_anim_table_base_array_size;
    for (int32_t s = 0; s < states; ++s) {
        const win_anim_table_base* state = &table->win_anim_table_base_array[s];
        state_at(table, state->anim_index);
        state_at(table, state->next_anim_index);
        state_at(table, state->block_to_anim_index);
        if (state->mow_anim_index != -1)
            require(table->mow_anim_filename_array && state->mow_anim_index >= 0 &&
                    state->mow_anim_index < table->mow_anim_filename_array_size);
        const win_anim_table_entry* entry = state->win_anim_table_entry_list;
        require(entry || state->win_anim_table_entry_list_size == 0);
        for (int32_t e = 0; e < state->win_anim_table_entry_list_size; ++e) {
            state_at(table, entry->target_anim_index);
            entry = entry->next_ptr;
        }
        require(entry == state->win_anim_table_entry_list);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_ast_desc, data, size, walk);
}
