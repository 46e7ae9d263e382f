// Record loading against a raw read of the same file.
//
// Writes three data files with the record writers (2M flat 32-byte
// vertices, 64 MB; 100k named records that carry a string each, 4.3 MB; a
// list of 20k script commands with their expression trees, strings and
// constants, as a compiled script holds them) and times each way of loading
// them against one plain read of the same file (the whole file into one heap
// block): the stream read (read_X_array_bin, read_X_list_bin) and the link
// form (the whole file loaded, then link_X_array or link_X_list). Every load
// releases what it made, and so does the raw read. Each side counts by its
// best run, in alternated order (see bench_timing.h); a speed is raw time
// over form time (1.0 is as fast as the raw read). The list's link form is
// also timed against its stream read. The tool exits with 1 when a measure
// misses its goal.
//
//     record_bench [rounds [word]]   (41 rounds; only the measures that name the word)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_timing.h"
#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "parsestr.h"
#include "record.h"
#include "win_geo.h"

// A named list-type record with a string of its own, as most game records are.
struct bench_item {
    bench_item* prev_ptr;
    bench_item* next_ptr;
    char* bench_item_name;
    int32_t bench_item_flags;
    float bench_item_value[3];
    char* bench_item_label;
};
RECORD_BEGIN(bench_item, 32)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(bench_item_name)
    REC_WORDS(bench_item_flags)
    REC_WORDS(bench_item_value)
    REC_STRING(bench_item_label)
RECORD_END(bench_item, NAMED_LIST)

namespace {

constexpr int32_t flat_count = 2000000;
constexpr int32_t item_count = 100000;
constexpr int32_t command_count = 20000;
constexpr int32_t file_type = FILE_TYPE_MODEL;
constexpr int32_t file_version = FILE_VERSION_MODEL;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds of one load; a failed load ends the tool.
double timed(const std::function<bool()>& load)
{
    auto start = std::chrono::steady_clock::now();
    if (!load()) {
        std::fprintf(stderr, "record_bench: a load failed (see the log)\n");
        std::exit(1);
    }
    return seconds_since(start);
}

// ---- the files

bool write_flat(const std::string& path)
{
    win_vtx_norm_uv* vertices = malloc_win_vtx_norm_uv_array(flat_count);
    for (int32_t i = 0; i < flat_count; ++i) {
        float f = (float)i;
        vertices[i] = {f, f + 1, f + 2, 0.0f, 1.0f, 0.0f, f / flat_count, 1.0f - f / flat_count};
    }
    FILE* file = file_open_write_version_bin(path.c_str(), file_type, file_version);
    bool ok = file && write_win_vtx_norm_uv_array_bin(file, vertices, flat_count);
    if (file)
        file_close(file);
    free_win_vtx_norm_uv_array(vertices, flat_count);
    return ok;
}

bool write_items(const std::string& path)
{
    bench_item* items = malloc_bench_item_array(item_count);
    char text[64];
    for (int32_t i = 0; i < item_count; ++i) {
        std::snprintf(text, sizeof text, "item_%06ld", (long)i);
        items[i].bench_item_name = STRDUP(text);
        std::snprintf(text, sizeof text, "label of item %ld", (long)i);
        items[i].bench_item_label = STRDUP(text);
        items[i].bench_item_flags = i;
        items[i].bench_item_value[1] = 0.5f * (float)i;
    }
    FILE* file = file_open_write_version_bin(path.c_str(), file_type, file_version);
    bool ok = file && write_bench_item_array_bin(file, items, item_count);
    if (file)
        file_close(file);
    free_bench_item_array(items, item_count);
    return ok;
}

// A small tree: an operator over a variable and a constant.
expression* make_tree(int32_t i)
{
    expression* root = malloc_expression();
    root->expression_type = EXPRESSION_OPERATOR;
    root->value = (float)(i % 7);
    root->left = malloc_expression();
    root->left->expression_type = EXPRESSION_VARIABLE;
    root->left->value = (float)(i % 13);
    root->right = malloc_expression();
    root->right->expression_type = EXPRESSION_CONSTANT;
    root->right->value = 0.5f * (float)i;
    return root;
}

// Commands as a compiled script holds them: two trees, a string and two
// constants each.
bool write_commands(const std::string& path)
{
    compiled_info* list = nullptr;
    int32_t size = 0;
    char text[64];
    for (int32_t i = 0; i < command_count; ++i) {
        compiled_info* command = malloc_compiled_info();
        command->compiled_info_type = i % 40;
        command->arg_ptr_array = malloc_expression_ptr_array(2);
        command->n_expr = 2;
        command->arg_ptr_array[0].exp_ptr = make_tree(i);
        command->arg_ptr_array[1].exp_ptr = make_tree(i + 1);
        command->string_arg_array = malloc_string_array(1);
        command->n_str = 1;
        std::snprintf(text, sizeof text, "entity_%05ld", (long)i);
        command->string_arg_array[0].str = STRDUP(text);
        command->const_arg = (float*)MALLOC(2 * sizeof(float));
        command->n_const = 2;
        command->const_arg[0] = (float)i;
        command->const_arg[1] = 1.0f;
        add_to_compiled_info_list(&list, &size, command);
    }
    FILE* file = file_open_write_version_bin(path.c_str(), file_type, file_version);
    bool ok = file && write_compiled_info_list_bin(file, list, size);
    if (file)
        file_close(file);
    free_compiled_info_list(list);
    return ok;
}

// ---- the loads

// The baseline: the whole file into one heap block, and the block released.
bool raw_read(const std::string& path)
{
    FILE* file = file_open(path.c_str(), FILE_MODE_READ_BIN);
    if (!file)
        return false;
    int32_t size = fsize(file);
    char* block = (char*)MALLOC((size_t)size);
    bool ok = block && file_read(file, block, size);
    file_close(file);
    if (block)
        FREE(block);
    return ok;
}

template <class T>
bool stream_read(const std::string& path, T* (*read)(FILE*, int32_t), int (*release)(T*, int32_t),
                 int32_t count)
{
    int found = 0;
    FILE* file = file_open_search_verify_version_bin(path.c_str(), nullptr, file_type, file_version,
                                                     &found);
    if (!file)
        return false;
    T* array = read(file, count);
    file_close(file);
    return array && release(array, count);
}

// The link form of an array or a list.
template <class T>
bool link_form(const std::string& path, T* (*link)(link_cursor*, int32_t), int32_t count)
{
    int found = 0;
    int32_t size = 0;
    char* image = file_mem_load_search_verify_version_bin(path.c_str(), nullptr, file_type,
                                                          file_version, &found, &size);
    if (!image)
        return false;
    link_arena arena = {};
    link_cursor cursor = link_arena_begin(&arena, image, size, FILE_HDR_SIZE);
    T* records = link(&cursor, count);
    bool ok = records && cursor.data == cursor.end;
    link_arena_free(&arena);
    return ok;
}

int release_commands(compiled_info* list, int32_t)
{
    return free_compiled_info_list(list);
}

// One measure: a form of loading against its baseline (the raw read, or the
// stream read of the same records), and the least speed it must have.
struct measure {
    const char* what;
    const char* baseline;
    std::function<bool()> base;
    std::function<bool()> load;
    double goal;
};

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 41;
    const char* only = argc > 2 ? argv[2] : "";
    if (rounds < 3) {
        std::fprintf(stderr, "usage: record_bench [rounds (at least 3) [word]]\n");
        return 2;
    }
    char dir[] = "/tmp/record_bench.XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("record_bench: mkdtemp");
        return 1;
    }
    const std::string flat_path = std::string(dir) + "/flat.bin";
    const std::string items_path = std::string(dir) + "/items.bin";
    const std::string commands_path = std::string(dir) + "/commands.bin";
    if (!write_flat(flat_path) || !write_items(items_path) || !write_commands(commands_path)) {
        std::fprintf(stderr, "record_bench: could not write the files in %s\n", dir);
        return 1;
    }

    auto raw = [](const std::string& path) { return [&path] { return raw_read(path); }; };
    auto stream_commands = [&] {
        return stream_read(commands_path, read_compiled_info_list_bin, release_commands,
                           command_count);
    };
    auto link_commands = [&] {
        return link_form(commands_path, link_compiled_info_list, command_count);
    };
    const measure measures[] = {
        {"stream read, 2M flat records (64 MB)", "raw read", raw(flat_path),
         [&] {
             return stream_read(flat_path, read_win_vtx_norm_uv_array_bin,
                                free_win_vtx_norm_uv_array, flat_count);
         },
         0.8},
        {"link form, 2M flat records (64 MB)", "raw read", raw(flat_path),
         [&] { return link_form(flat_path, link_win_vtx_norm_uv_array, flat_count); }, 0.8},
        {"stream read, 100k records with name and string", "raw read", raw(items_path),
         [&] {
             return stream_read(items_path, read_bench_item_array_bin, free_bench_item_array,
                                item_count);
         },
         0.1},
        {"link form, 100k records with name and string", "raw read", raw(items_path),
         [&] { return link_form(items_path, link_bench_item_array, item_count); }, 0.3},
        {"stream read, list of 20k commands", "raw read", raw(commands_path), stream_commands, 0.0},
        {"link form, list of 20k commands", "raw read", raw(commands_path), link_commands, 0.0},
        {"link form, list of 20k commands", "stream read", stream_commands, link_commands, 1.0},
    };

    bench_print_machine();
    std::printf("record loading, best runs of %d rounds; speed = baseline time / form time\n",
                rounds);
    std::printf("%-50s %-12s %8s %8s %24s\n", "", "baseline", "base ms", "form ms",
                "speed (thirds)");
    bool all_met = true;
    for (const measure& m : measures) {
        if (!std::strstr(m.what, only))
            continue;
        timed(m.base);  // the file in the page cache, the heap warmed
        timed(m.load);
        const bench_ratio result = bench_compare(
            rounds, [&] { return timed(m.base); }, [&] { return timed(m.load); });
        // Every run must meet the goal, the slowest of the thirds too.
        bool met = result.low >= m.goal;
        all_met = all_met && met;
        std::printf("%-50s %-12s %8.2f %8.2f %7.3fx (%.3f-%.3f)", m.what, m.baseline,
                    1000 * result.best_a, 1000 * result.best_b, result.ratio, result.low,
                    result.high);
        if (m.goal > 0.0)
            std::printf("  goal %.1fx%s", m.goal, met ? "" : " (missed)");
        std::printf("\n");
    }
    bench_print_load();

    for (const std::string* path : {&flat_path, &items_path, &commands_path})
        std::remove(path->c_str());
    rmdir(dir);
    return all_met ? 0 : 1;
}
