// Writes the demo data tree the game starts on, into the directory given
// (default: the working directory), with the game's own writers:
//   varnock.cfg                     the configuration file, its data
//                                   directories under c:\data\win
//   drive_c/data/win/bitmap/...     the interface textures, the splash screen
//                                   and the transparent-texture list
//   drive_c/data/win/anim/...       the three tail animations
//   gamefont.ttf                    the game font, a copy of a free system
//                                   face (Debian's fonts-dejavu-core)
// Drive c: is the folder drive_c of the directory the game runs in (see
// platform/path.h). The tree grows with the game until it is a level.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "config.h"
#include "d3dxframe.h"
#include "debug.h"
#include "file_io.h"
#include "gameglobals.h"
#include "platform/path.h"

namespace {

// Makes the host directory that a data directory of the game stands for.
bool make_directory(const char* directory)
{
    char host[1024];
    std::error_code error;
    return platform_resolve_path(directory, host, sizeof host) &&
           (std::filesystem::create_directories(host, error), !error);
}

typedef uint32_t (*pixel_funct)(int x, int y, int size);

// An uncompressed true-colour TGA image (32 bits, top row first): the
// simplest file the texture loader reads.
bool write_tga(const char* directory, const char* name, int size, pixel_funct pixel)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\%s.tga", directory, name);
    FILE* file = file_open(path, FILE_MODE_WRITE_BIN);
    if (!file)
        return false;
    uint8_t header[18] = {};
    header[2] = 2;  // true colour
    header[12] = (uint8_t)(size & 0xFF);
    header[13] = (uint8_t)(size >> 8);
    header[14] = (uint8_t)(size & 0xFF);
    header[15] = (uint8_t)(size >> 8);
    header[16] = 32;
    header[17] = 0x28;  // 8 alpha bits, top row first
    std::vector<uint8_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            uint32_t argb = pixel(x, y, size);
            uint8_t bgra[4] = {(uint8_t)argb, (uint8_t)(argb >> 8), (uint8_t)(argb >> 16),
                               (uint8_t)(argb >> 24)};
            pixels.insert(pixels.end(), bgra, bgra + 4);
        }
    bool ok = file_write(file, header, sizeof header) &&
              file_write(file, pixels.data(), (int32_t)pixels.size());
    return file_close(file) && ok;
}

// The splash screen: four coloured quarters, so a look at the screen tells
// that the whole picture is there.
uint32_t splash_pixel(int x, int y, int size)
{
    bool right = x >= size / 2, bottom = y >= size / 2;
    if (!bottom)
        return right ? 0xFF20C040 : 0xFFC02020;  // green, red
    return right ? 0xFFE0C020 : 0xFF2040C0;      // yellow, blue
}

// The interface pieces: a framed grey panel.
uint32_t panel_pixel(int x, int y, int size)
{
    bool frame = x < 2 || y < 2 || x >= size - 2 || y >= size - 2;
    return frame ? 0xFFE0E0E0 : 0xFF404850;
}

// A digit: a light block on black (each digit is one picture of its own).
uint32_t digit_pixel(int x, int y, int size)
{
    bool inside = x > size / 4 && x < size * 3 / 4 && y > size / 8 && y < size * 7 / 8;
    return inside ? 0xFFF0F0F0 : 0xFF000000;
}

bool write_transparent_list(const char* directory)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\transtex.ttw", directory);
    FILE* file = file_open_write_version_text(path, FILE_TYPE_TRANSTEX, FILE_VERSION_TRANSTEX);
    if (!file)
        return false;
    bool ok = fprintf(file, "no_attack\nend_of_entries\n") >= 0;
    return file_close(file) && ok;
}

// The tail animations: for now the file header alone. The animation records
// and their writer fill them in when they exist.
bool write_tail_animation(const char* directory, const char* name)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\%s.trw", directory, name);
    FILE* file = file_open_write_version_bin(path, FILE_TYPE_ANIM, FILE_VERSION_ANIM);
    return file && file_close(file);
}

// The game adds its font from the working directory.
bool copy_game_font(void)
{
    const char* face = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    std::error_code error;
    std::filesystem::copy_file(face, "gamefont.ttf",
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error)
        fprintf(stderr, "demo_tree: cannot copy %s: %s\n", face, error.message().c_str());
    return !error;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && chdir(argv[1]) != 0)) {
        fprintf(stderr, "usage: demo_tree [directory]\n");
        return 2;
    }
    debug_open(nullptr, 0);  // count failures, write no log
    gameglobals_init();
    d3dxframe_set_defaults();
    bool ok = write_edit_session_file("varnock") == 1;

    const char* bitmaps = game_globals.bitmaps_pathname;
    ok = make_directory(bitmaps) && make_directory(game_globals.animation_pathname) && ok;
    ok = write_transparent_list(bitmaps) && ok;
    ok = write_tga(bitmaps, "splash_screen", 256, splash_pixel) && ok;
    for (const char* name : {"interface", "default_icon", "weapitem_win_on", "weapitem_win_off",
                             "health_bar", "skull", "no_attack"})
        ok = write_tga(bitmaps, name, 64, panel_pixel) && ok;
    for (const char* name : {"zero", "one", "two", "three", "four", "five", "six", "seven", "eight",
                             "nine"})
        ok = write_tga(bitmaps, name, 16, digit_pixel) && ok;
    for (const char* name : {"vk_tail_animation", "vk_tail_anim_side_to_side", "vk_tail_anim_curly"})
        ok = write_tail_animation(game_globals.animation_pathname, name) && ok;
    ok = copy_game_font() && ok;
    if (!ok || debug_log.error_count > 0) {
        fprintf(stderr, "demo_tree: could not write the tree\n");
        return 1;
    }
    return 0;
}
