// Fuzz target: an animation state table stream, as a binary state table
// file holds it after its header and entity and shader files hold it
// inside theirs. A table that comes out is walked as the state machine walks
// it: every count goes with its items, every state index of a state leads to
// a state and every animation index to an animation name.
#include "demo_ast.h"
#include "fuzz_support.h"
#include "record_fuzz.h"
#include "win_ast.h"

namespace {

void state_at(const win_ast* table, int32_t index)
{
    FUZZ_CHECK(index == -1 || (index >= 0 && index < table->win_anim_table_base_array_size));
}

void walk(const void* record)
{
    const win_ast* table = (const win_ast*)record;
    FUZZ_CHECK(!table->mow_anim_ptr_array && !table->sound_fx_array && !table->current_mow_anim);
    FUZZ_CHECK(table->win_anim_table_base_array || table->win_anim_table_base_array_size == 0);
    // The current state is kept as stored; the state machine takes it through
    // win_ast_current_state, which answers one of the table's states or none.
    const win_anim_table_base* current = win_ast_current_state(table);
    FUZZ_CHECK(!current || current == &table->win_anim_table_base_array[table->current_anim_index]);
    for (int32_t s = 0; s < table->win_anim_table_base_array_size; ++s) {
        const win_anim_table_base* state = &table->win_anim_table_base_array[s];
        state_at(table, state->anim_index);
        state_at(table, state->next_anim_index);
        state_at(table, state->block_to_anim_index);
        FUZZ_CHECK(state->mow_anim_index == -1 ||
                   (table->mow_anim_filename_array && state->mow_anim_index >= 0 &&
                    state->mow_anim_index < table->mow_anim_filename_array_size));
        const win_anim_table_entry* entry = state->win_anim_table_entry_list;
        FUZZ_CHECK(entry || state->win_anim_table_entry_list_size == 0);
        for (int32_t e = 0; e < state->win_anim_table_entry_list_size; ++e) {
            state_at(table, entry->target_anim_index);
            entry = entry->next_ptr;
        }
        FUZZ_CHECK(entry == state->win_anim_table_entry_list);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return record_fuzz_one_input(&win_ast_desc, data, size, walk);
}

void fuzz_write_seeds(void)
{
    win_ast* seed = demo_ast_make_guard("guard", "figure");
    char* buffer = nullptr;
    size_t length = 0;
    FILE* file = open_memstream(&buffer, &length);
    write_win_ast_bin(file, seed);
    std::fclose(file);
    fuzz_seed("guard", std::string(buffer, length));
    std::free(buffer);
    free_win_ast(seed);
}
