// Time the texture cache takes to load textures from files, against
// decoding the same files plainly, in the same run: 200 textures of
// 256 x 256 pixels of each kind.
//   tga   24-bit TGA files (bottom row first), through the cache, against
//         reading each file and turning its pixels into 32-bit texels;
//   bmp   the same as 24-bit BMP files;
//   png   RGB PNG files, through the cache, against libpng alone decoding
//         them with the transforms the PNG reader asks for (8-bit samples,
//         gamma, blue-green-red order).
// The cache runs as the game runs it: names without extension (a TGA or BMP
// is found after the PNG that is not there), the debug log open, on a device
// of the recording back-end (a texture goes to the graphics card only when
// first drawn with, so no display is needed).
//
// Each side of a kind counts by its best run (the whole set, once), in
// alternated order (see bench_timing.h); the tool prints both and their
// ratio with its spread.
//
// Usage: texture_bench [rounds]   (default 21)
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_device.h"
#include "bench_timing.h"
#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "debug.h"
#include "platform/win32.h"

namespace {

const int size = 256;
const int texture_count = 200;

// A picture with smooth areas and fine detail, as textures have: its
// pixels as 0xRRGGBB.
std::vector<uint32_t> picture(int seed)
{
    std::vector<uint32_t> pixels((size_t)size * size);
    uint32_t noise = 1234u + (uint32_t)seed;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            noise = noise * 214013u + 2531011u;
            uint32_t grain = (noise >> 16) & 0x0F;
            uint32_t r = (uint32_t)(x + seed) & 0xFF, g = (uint32_t)(y * 2 + seed) & 0xFF,
                     b = (uint32_t)((x ^ y) + grain) & 0xFF;
            pixels[(size_t)y * size + x] = r << 16 | g << 8 | b;
        }
    return pixels;
}

bool write_file(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

void put16(std::string& out, int value)
{
    out += (char)(value & 0xFF);
    out += (char)((value >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, (int)(value & 0xFFFF));
    put16(out, (int)(value >> 16));
}

// Rows bottom first, blue, green, red: both TGA and BMP keep them so.
void put_rows(std::string& out, const std::vector<uint32_t>& pixels)
{
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x) {
            uint32_t p = pixels[(size_t)y * size + x];
            out += (char)(p & 0xFF);
            out += (char)((p >> 8) & 0xFF);
            out += (char)((p >> 16) & 0xFF);
        }
}

std::string tga_file(const std::vector<uint32_t>& pixels)
{
    std::string out(12, '\0');
    out[2] = 2;  // true colour
    put16(out, size);
    put16(out, size);
    out += (char)24;
    out += (char)0;  // bottom row first
    put_rows(out, pixels);
    return out;
}

std::string bmp_file(const std::vector<uint32_t>& pixels)
{
    const uint32_t data_size = size * size * 3;  // rows of 768 bytes need no padding
    std::string out = "BM";
    put32(out, 54 + data_size);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, size);
    put32(out, size);
    put16(out, 1);
    put16(out, 24);
    for (uint32_t value : {0u, data_size, 2835u, 2835u, 0u, 0u})
        put32(out, value);
    put_rows(out, pixels);
    return out;
}

bool write_png(const std::string& path, const std::vector<uint32_t>& pixels)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row((size_t)size * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            uint32_t p = pixels[(size_t)y * size + x];
            row[(size_t)x * 3] = (png_byte)(p >> 16);
            row[(size_t)x * 3 + 1] = (png_byte)(p >> 8);
            row[(size_t)x * 3 + 2] = (png_byte)p;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}

// ---- plain decoding

uint8_t* read_whole(const std::string& path, size_t* length)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;
    fseek(file, 0, SEEK_END);
    *length = (size_t)ftell(file);
    fseek(file, 0, SEEK_SET);
    uint8_t* data = (uint8_t*)malloc(*length);
    if (data && fread(data, 1, *length, file) != *length) {
        free(data);
        data = nullptr;
    }
    fclose(file);
    return data;
}

// A 24-bit file whose rows start at `offset`, bottom row first, as texels
// top row first.
uint32_t* decode_plain(const std::string& path, size_t offset)
{
    size_t length = 0;
    uint8_t* data = read_whole(path, &length);
    if (!data || length < offset + (size_t)size * size * 3) {
        free(data);
        return nullptr;
    }
    uint32_t* texels = (uint32_t*)malloc((size_t)size * size * 4);
    for (int y = 0; texels && y < size; ++y) {
        const uint8_t* in = data + offset + (size_t)(size - 1 - y) * size * 3;
        uint32_t* out = texels + (size_t)y * size;
        for (int x = 0; x < size; ++x, in += 3)
            out[x] = 0xFF000000u | (uint32_t)in[2] << 16 | (uint32_t)in[1] << 8 | in[0];
    }
    free(data);
    return texels;
}

// libpng with the PNG reader's transforms, into one buffer.
uint8_t* decode_libpng(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return nullptr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    uint8_t* pixels = nullptr;
    std::vector<png_bytep> rows;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        free(pixels);
        fclose(file);
        return nullptr;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_expand(png);
    int intent = 0;
    double file_gamma = 0.45455;
    if (!png_get_sRGB(png, info, &intent)) {
        png_get_gAMA(png, info, &file_gamma);
        png_set_gamma(png, 2.2, file_gamma);
    }
    png_set_bgr(png);
    png_read_update_info(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    size_t row_bytes = png_get_rowbytes(png, info);
    pixels = (uint8_t*)malloc(row_bytes * height);
    for (png_uint_32 y = 0; pixels && y < height; ++y)
        rows.push_back(pixels + row_bytes * y);
    if (pixels) {
        png_read_image(png, rows.data());
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(file);
    return pixels;
}

// ---- timing

double now_ms()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milliseconds to load every name of a set through the cache; -1 when one
// does not load. The cache is emptied afterwards, outside the time.
double time_cache(const std::string& directory)
{
    double start = now_ms();
    bool all = true;
    for (int i = 0; i < texture_count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "texture%03d", i);
        all = d3dtextr_load_texture(name, directory.c_str(), nullptr) && all;
    }
    double spent = now_ms() - start;
    d3dtextr_cleanup();
    return all ? spent : -1.0;
}

template <typename Decode>
double time_plain(const std::string& directory, const char* extension, Decode decode)
{
    std::vector<void*> made;
    double start = now_ms();
    for (int i = 0; i < texture_count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "/texture%03d.%s", i, extension);
        made.push_back(decode(directory + name));
    }
    double spent = now_ms() - start;
    bool all = std::find(made.begin(), made.end(), nullptr) == made.end();
    for (void* texels : made)
        free(texels);
    return all ? spent : -1.0;
}

struct kind {
    const char* name;
    const char* baseline;
    std::string directory;
    double (*plain)(const std::string& directory);
};

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 21;
    // No dot in the path: the cache takes a name in a dotted directory as one
    // with its extension.
    char work_template[] = "/tmp/texture-bench-XXXXXX";
    if (!mkdtemp(work_template)) {
        fprintf(stderr, "texture_bench: no temporary directory\n");
        return 1;
    }
    std::string work = work_template;
    kind kinds[] = {
        {"tga", "plain decoding", work + "/tga",
         [](const std::string& d) {
             return time_plain(d, "tga", [](const std::string& p) { return decode_plain(p, 18); });
         }},
        {"bmp", "plain decoding", work + "/bmp",
         [](const std::string& d) {
             return time_plain(d, "bmp", [](const std::string& p) { return decode_plain(p, 54); });
         }},
        {"png", "libpng alone", work + "/png",
         [](const std::string& d) {
             return time_plain(d, "png", [](const std::string& p) { return decode_libpng(p); });
         }},
    };
    bool written = true;
    for (kind& k : kinds) {
        std::string command = "mkdir -p " + k.directory;
        written = written && system(command.c_str()) == 0;
        for (int i = 0; written && i < texture_count; ++i) {
            char name[32];
            snprintf(name, sizeof name, "/texture%03d.%s", i, k.name);
            std::string path = k.directory + name;
            std::vector<uint32_t> pixels = picture(i);
            if (strcmp(k.name, "tga") == 0)
                written = write_file(path, tga_file(pixels));
            else if (strcmp(k.name, "bmp") == 0)
                written = write_file(path, bmp_file(pixels));
            else
                written = write_png(path, pixels);
        }
    }

    // The game's device and log, without a display.
    HWND window = nullptr;
    if (!written ||
        !(window = bench_open_recording_device("texture_bench", (work + "/debug.txt").c_str()))) {
        fprintf(stderr, "texture_bench: could not set up\n");
        return 1;
    }

    bench_print_machine();
    bool failed = false;
    for (kind& k : kinds) {
        // Seconds of a run; a texture that did not load fails the tool.
        auto cache = [&] { return time_cache(k.directory) / 1000.0; };
        auto plain = [&] { return k.plain(k.directory) / 1000.0; };
        const bench_ratio result = bench_compare(rounds, cache, plain);
        failed = failed || result.ratio < 0.0;
        printf("%s: %d textures of %dx%d\n", k.name, texture_count, size, size);
        printf("  cache:   %.1f ms (best of %d runs)\n", 1000 * result.best_a, rounds);
        printf("  %-8s %.1f ms (%s)\n", "plain:", 1000 * result.best_b, k.baseline);
        bench_print_ratio("ratio:", result);
    }
    bench_print_load();
    bench_close_recording_device(window);
    std::string command = "rm -rf " + work;
    if (system(command.c_str()) != 0)
        fprintf(stderr, "texture_bench: %s is left behind\n", work.c_str());
    if (failed) {
        fprintf(stderr, "texture_bench: a texture did not load\n");
        return 1;
    }
    return 0;
}
