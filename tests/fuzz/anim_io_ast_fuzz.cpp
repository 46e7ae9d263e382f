// Fuzz target of the animation state table text file: the input is read as
// a state table file ("ast") with the collision-table pass over it, as the
// entity loader reads one, against the demo figure as its model. What the
// loader took must hold together (every count with its items, every state
// and animation index inside the table, the slots made for its names, its
// states as many as their names), and, when the demo writer takes it, read
// back into the same table from what it writes. Seed: the demo guard as
// demo_ast_write writes it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "anim_io.h"
#include "demo_ast.h"
#include "demo_model.h"
#include "fuzz_support.h"

namespace {

int32_t entries(int32_t size, const void* array)
{
    return array ? size : 0;
}

void check_table(const win_ast* table)
{
    FUZZ_CHECK(win_ast_check_indexes(table) == 1);
    FUZZ_CHECK(table->sound_fx_array_size ==
               entries(table->sound_fx_filename_array_size, table->sound_fx_filename_array));
    FUZZ_CHECK(entries(table->mow_anim_ptr_array_size, table->mow_anim_ptr_array) ==
               entries(table->mow_anim_filename_array_size, table->mow_anim_filename_array));
    FUZZ_CHECK(
        entries(table->win_anim_table_base_array_size, table->win_anim_table_base_array) ==
        entries(table->win_anim_state_filename_array_size, table->win_anim_state_filename_array));
}

// The table's stream, for comparing two tables whole.
std::string stream_of(const win_ast* table)
{
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    FUZZ_CHECK(write_win_ast_bin(out, table) == 1);
    std::fclose(out);
    std::string bytes(buffer, size);
    std::free(buffer);
    return bytes;
}

// The state table file at `path` read into a new table, against the demo
// figure ("figure.mow" in the scratch directory, written at the first
// input); the loader's result in *loaded.
win_ast* load(const std::string& path, int* loaded)
{
    static const bool figure = demo_model_write((fuzz_dir() + "/figure.mow").c_str(), "figure") ==
                               1;
    FUZZ_CHECK(figure);
    win_ast* table = malloc_win_ast("input");
    FUZZ_CHECK(table != nullptr);
    *loaded = anim_io_load_ast(path.c_str(), table, fuzz_dir().c_str(), fuzz_dir().c_str());
    check_table(table);
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int loaded = 0;
    win_ast* table = load(fuzz_file("input.ast", data, size), &loaded);
    std::string again = fuzz_dir() + "/again.ast";
    if (loaded && demo_ast_write(again.c_str(), table)) {
        int reloaded = 0;
        win_ast* reread = load(again, &reloaded);
        FUZZ_CHECK(reloaded == 1 && stream_of(reread) == stream_of(table));
        free_win_ast(reread);
    }
    free_win_ast(table);
    return 0;
}

void fuzz_write_seeds(void)
{
    win_ast* guard = demo_ast_make_guard("guard", "figure");
    FUZZ_CHECK(demo_ast_write(fuzz_seed_path("guard.ast").c_str(), guard));
    free_win_ast(guard);
}
