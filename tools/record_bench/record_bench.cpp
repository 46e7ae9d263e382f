// Record loading against a raw read of the same file.
//
// Writes two data files with the record writers (2M flat 32-byte vertices,
// 64 MB; 100k named records that carry a string each), then times each way
// of loading them against one plain read of the same file: the stream read
// (read_X_array_bin) and the link form (the whole file loaded, then
// link_X_array). Every load releases what it made, and so does the raw read.
// Each measure runs in alternated pairs (raw first, then the form first), so
// drift on a loaded machine falls on both sides; it reports the medians and
// the median of the pairs' speed ratios (raw time / form time: 1.0x is as
// fast as the raw read).
//
//     record_bench [pairs [word]]   (21 pairs; only the measures that name the word)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
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
constexpr int32_t file_type = FILE_TYPE_MODEL;
constexpr int32_t file_version = FILE_VERSION_MODEL;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double timed(const std::function<bool()>& load)
{
    auto start = std::chrono::steady_clock::now();
    if (!load()) {
        std::fprintf(stderr, "record_bench: a load failed (see the log)\n");
        std::exit(1);
    }
    return seconds_since(start);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
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
    T* array = link(&cursor, count);
    bool ok = array && cursor.data == cursor.end;
    link_arena_free(&arena);
    return ok;
}

struct measure {
    const char* what;
    const std::string* path;
    std::function<bool()> load;
    double goal;  // the least speed against the raw read
};

}  // namespace

int main(int argc, char** argv)
{
    int pairs = argc > 1 ? std::atoi(argv[1]) : 21;
    const char* only = argc > 2 ? argv[2] : "";
    if (pairs <= 0) {
        std::fprintf(stderr, "usage: record_bench [pairs [word]]\n");
        return 2;
    }
    char dir[] = "/tmp/record_bench.XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("record_bench: mkdtemp");
        return 1;
    }
    const std::string flat_path = std::string(dir) + "/flat.bin";
    const std::string items_path = std::string(dir) + "/items.bin";
    if (!write_flat(flat_path) || !write_items(items_path)) {
        std::fprintf(stderr, "record_bench: could not write the files in %s\n", dir);
        return 1;
    }

    const measure measures[] = {
        {"stream read, 2M flat records (64 MB)", &flat_path,
         [&] {
             return stream_read(flat_path, read_win_vtx_norm_uv_array_bin,
                                free_win_vtx_norm_uv_array, flat_count);
         },
         0.8},
        {"stream read, 100k records with name and string", &items_path,
         [&] {
             return stream_read(items_path, read_bench_item_array_bin, free_bench_item_array,
                                item_count);
         },
         0.1},
        {"link form, 100k records with name and string", &items_path,
         [&] { return link_form(items_path, link_bench_item_array, item_count); }, 0.3},
        {"link form, 2M flat records (64 MB)", &flat_path,
         [&] { return link_form(flat_path, link_win_vtx_norm_uv_array, flat_count); }, 0.8},
    };

    std::printf("record loading against a raw read of the same file, %d alternated pairs\n", pairs);
    std::printf("%-50s %9s %9s %8s %7s\n", "", "raw ms", "form ms", "speed", "goal");
    bool all_met = true;
    for (const measure& m : measures) {
        if (!std::strstr(m.what, only))
            continue;
        std::function<bool()> raw = [&] { return raw_read(*m.path); };
        timed(raw);  // the file in the page cache, the heap warmed
        timed(m.load);
        std::vector<double> raw_times, form_times, ratios;
        for (int i = 0; i < pairs; ++i) {
            double raw_time, form_time;
            if (i % 2 == 0) {
                raw_time = timed(raw);
                form_time = timed(m.load);
            } else {
                form_time = timed(m.load);
                raw_time = timed(raw);
            }
            raw_times.push_back(raw_time);
            form_times.push_back(form_time);
            ratios.push_back(raw_time / form_time);
        }
        double speed = median(ratios);
        bool met = speed >= m.goal;
        all_met = all_met && met;
        std::printf("%-50s %9.2f %9.2f %7.3fx %4s%.1fx%s\n", m.what, 1000 * median(raw_times),
                    1000 * median(form_times), speed, ">=", m.goal, met ? "" : "  (missed)");
    }

    std::remove(flat_path.c_str());
    std::remove(items_path.c_str());
    rmdir(dir);
    return all_met ? 0 : 1;
}
