// Fuzz target of the animation state table text file: the input is read as
// a state table file ("ast") with the collision-table pass over it, as the
// entity loader reads one, against the demo figure as its model. What the
// loader took must hold together (every state and animation index inside
// the table, the slots made for its names, its states as many as their
// names), and, when the demo writer takes it, read back into the same
// table from what it writes. Seed: the demo guard as demo_ast_write writes
// it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "anim_io.h"
#include "debug.h"
#include "demo_ast.h"
#include "demo_model.h"

namespace {

// A property that must hold for every input: a broken one is a finding.
void require(bool holds)
{
    if (!holds)
        __builtin_trap();
}

// The directory the input is written to, with the demo figure in it as
// "figure.mow", made at the first input (with the log off: errors are
// counted, nothing is written) and removed at exit; in memory where the
// machine has a memory file system.
const std::string& scratch_dir(void)
{
    static std::string name;
    static const bool made = [] {
        debug_open(nullptr, 0);
        char pattern[64];
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::snprintf(pattern, sizeof pattern, "%s/anim_io_ast_fuzz_XXXXXX", base);
        require(mkdtemp(pattern) != nullptr);
        name = pattern;
        require(demo_model_write((name + "/figure.mow").c_str(), "figure") == 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(name, ignored);
        });
        return true;
    }();
    (void)made;
    return name;
}

void write_input(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    require(file != nullptr);
    if (size > 0)
        require(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
}

int32_t entries(int32_t size, const void* array)
{
    return array ? size : 0;
}

void check_table(const win_ast* table)
{
    require(win_ast_check_indexes(table) == 1);
    require(table->sound_fx_array_size ==
            entries(table->sound_fx_filename_array_size, table->sound_fx_filename_array));
    require(entries(table->mow_anim_ptr_array_size, table->mow_anim_ptr_array) ==
            entries(table->mow_anim_filename_array_size, table->mow_anim_filename_array));
    require(
        entries(table->win_anim_table_base_array_size, table->win_anim_table_base_array) ==
        entries(table->win_anim_state_filename_array_size, table->win_anim_state_filename_array));
}

// The table's stream, for comparing two tables whole.
std::string stream_of(const win_ast* table)
{
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    require(write_win_ast_bin(out, table) == 1);
    std::fclose(out);
    std::string bytes(buffer, size);
    std::free(buffer);
    return bytes;
}

win_ast* load(const std::string& path, int* loaded)
{
    win_ast* table = malloc_win_ast("input");
    require(table != nullptr);
    *loaded = anim_io_load_ast(path.c_str(), table, scratch_dir().c_str(), scratch_dir().c_str());
    check_table(table);
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string dir = scratch_dir();
    write_input(dir + "/input.ast", data, size);
    int loaded = 0;
    win_ast* table = load(dir + "/input.ast", &loaded);
    if (loaded && demo_ast_write((dir + "/again.ast").c_str(), table)) {
        int reloaded = 0;
        win_ast* again = load(dir + "/again.ast", &reloaded);
        require(reloaded == 1 && stream_of(again) == stream_of(table));
        free_win_ast(again);
    }
    free_win_ast(table);
    return 0;
}
