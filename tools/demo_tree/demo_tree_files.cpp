#include "demo_tree_files.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <system_error>
#include <vector>

#include "config.h"
#include "demo_anim.h"
#include "demo_level.h"
#include "demo_model.h"
#include "demo_pictures.h"
#include "file_io.h"
#include "gameglobals.h"
#include "menu.h"
#include "platform/path.h"
#include "sound.h"
#include "str_util.h"

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

// A square picture made pixel by pixel.
picture square(int size, pixel_funct pixel)
{
    picture made(size, size, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            made.at(x, y) = pixel(x, y, size);
    return made;
}

// Text with a soft glow behind it, its cell's top left at (x, y); x -1
// centres it.
void glowing_text(picture& target, const char* text, int height, int x, int y, uint32_t colour,
                  uint32_t glow, int radius)
{
    text_mask mask = make_text(text, height);
    if (x < 0)
        x = (target.width - mask.width) / 2;
    if (radius > 0)
        draw_mask(target, blur(mask, radius), x - radius, y - radius, glow);
    draw_mask(target, mask, x, y, colour);
}

// The colours and places the end-to-end test looks for (tests/e2e).
constexpr uint32_t SPLASH_TOP = 0xFF0B1026, SPLASH_BOTTOM = 0xFF4A1A12;
constexpr uint32_t TITLE_GOLD = 0xFFF0C050;
constexpr uint32_t MENU_TOP = 0xFF0E1424, MENU_BOTTOM = 0xFF2C100E;
constexpr uint32_t LABEL = 0xFFC8CAD8, LABEL_HIGHLIGHT = 0xFFFFF4D8, HIGHLIGHT_GOLD = 0xFFE0A030;

// The splash screen: a night-to-ember gradient, the title, a line under it
// and the prompt.
picture splash_screen(void)
{
    picture image(640, 480, 0);
    vertical_gradient(image, SPLASH_TOP, SPLASH_BOTTOM);
    glowing_text(image, "VARNOCK", 112, -1, 96, TITLE_GOLD, 0xC0E06010, 8);
    glowing_text(image, "A 3D ACTION ADVENTURE", 22, -1, 240, 0xFFD8DCEC, 0x00000000, 0);
    fill_rect(image, 200, 280, 440, 282, 0xA0F0C050);
    glowing_text(image, "Click to start", 22, -1, 410, 0xFFFFFFFF, 0x80F0A040, 3);
    return image;
}

int far_ridge(int x)
{
    return 330 + (int)(28.0 * sin(x / 61.0) + 17.0 * sin(x / 23.0 + 1.3) + 6.0 * sin(x / 7.0));
}

int near_ridge(int x)
{
    return 392 +
           (int)(34.0 * sin(x / 97.0 + 2.0) + 14.0 * sin(x / 31.0) + 5.0 * sin(x / 9.0 + 0.5));
}

// The menu's picture: a dusk sky with a moon over two ridges, the title, a
// dark panel behind the column of buttons and a line of help.
picture menu_picture(void)
{
    picture image(640, 480, 0);
    vertical_gradient(image, MENU_TOP, MENU_BOTTOM);
    soft_disc(image, 520, 112, 38, 26, 0x40F8E8C0);
    soft_disc(image, 520, 112, 34, 2, 0xFFF0E4C8);
    fill_below(image, far_ridge, 0xFF1C1420);
    fill_below(image, near_ridge, 0xFF0C0A10);
    fill_rect(image, 24, 92, 312, 446, 0x70000000);
    fill_rect(image, 24, 92, 312, 94, 0xC0E0A030);
    glowing_text(image, "VARNOCK", 56, 40, 20, TITLE_GOLD, 0xA0E06010, 5);
    text_mask help = make_text("Arrows or mouse, Enter  -  F1 help  -  F2 display", 13);
    draw_mask(image, help, 628 - help.width, 458, 0xFFA0A4B4);
    return image;
}

// A button: its label on nothing (normal), or bright on a gold bar that
// fades to the right (highlighted).
picture button_picture(const char* label, int width, int height, bool highlighted)
{
    picture image(width, height, 0x00000000);
    if (highlighted) {
        for (int x = 0; x < width; ++x)
            fill_rect(image, x, 0, x + 1, height, mix_colour(0xC0E0A030, 0x10E0A030, x, width));
        fill_rect(image, 0, 0, 3, height, 0xFFF0C050);
    }
    // As large as the button's height allows, and small enough to fit it.
    text_mask mask;
    for (int size = height * 4 / 5; size >= 10; --size) {
        mask = make_text(label, size);
        if (mask.width + 12 <= width)
            break;
    }
    int y = (height - mask.height) / 2;
    draw_mask(image, blur(mask, 1), 8, y, 0xC0000000);  // a soft shadow
    draw_mask(image, mask, 8, y, highlighted ? LABEL_HIGHLIGHT : LABEL);
    return image;
}

bool write_menu(const char* bitmaps)
{
    static const char* const labels[MENU_MAIN_BUTTON_TOTAL] = {
        "Prologue", "The Harbour", "The Old Foundry", "Citadel of Ash", "The Last Summit", "Exit"};
    static const int sizes[MENU_MAIN_BUTTON_TOTAL][2] = {{104, 30}, {189, 32}, {244, 33},
                                                         {251, 32}, {249, 33}, {54, 28}};
    // The name as the texture loader asks for it.
    char background[64];
    snprintf(background, sizeof background, "%s", menu_background_texture);
    to_lower_case(background);
    bool ok = write_tga(bitmaps, background, menu_picture(), false);
    for (int i = 0; i < MENU_MAIN_BUTTON_TOTAL; ++i) {
        char highlight[64];
        snprintf(highlight, sizeof highlight, "%s_hi", menu_button_textures[i]);
        ok = write_tga(bitmaps, menu_button_textures[i],
                       button_picture(labels[i], sizes[i][0], sizes[i][1], false), true) &&
             ok;
        ok = write_tga(bitmaps, highlight,
                       button_picture(labels[i], sizes[i][0], sizes[i][1], true), true) &&
             ok;
    }
    return ok;
}

// The interface pieces: a framed grey panel; the chosen one of the weapon
// and item slots has a gold frame.
uint32_t panel_pixel(int x, int y, int size)
{
    bool frame = x < 2 || y < 2 || x >= size - 2 || y >= size - 2;
    return frame ? 0xFFE0E0E0 : 0xFF404850;
}

uint32_t chosen_slot_pixel(int x, int y, int size)
{
    bool frame = x < 3 || y < 3 || x >= size - 3 || y >= size - 3;
    return frame ? HIGHLIGHT_GOLD : 0xFF404850;
}

// The health bar's fill: red, lighter along its top edge.
uint32_t health_pixel(int, int y, int size)
{
    return mix_colour(0xFFF06048, 0xFF901C14, y, size - 1);
}

// A digit of the counters (each digit is one picture of its own): the
// digit in the game font, light on black.
picture digit_picture(int digit)
{
    const int size = 16;
    picture image(size, size, 0xFF000000);
    const char text[2] = {(char)('0' + digit), 0};
    text_mask mask = make_text(text, size);
    draw_mask(image, mask, (size - mask.width) / 2, (size - mask.height) / 2, 0xFFF0F0F0);
    return image;
}

// The demo figure's skin: a checker of two warm tones inside a light frame.
uint32_t demo_skin_pixel(int x, int y, int size)
{
    if (x < 2 || y < 2 || x >= size - 2 || y >= size - 2)
        return 0xFFF0E0C0;
    return ((x / 8 + y / 8) % 2) ? 0xFFB05A30 : 0xFF7A3A20;
}

// A versioned text file of one name a line.
bool write_name_list(const char* directory, const char* file_name, int32_t type, int32_t version,
                     const std::vector<const char*>& names)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\%s", directory, file_name);
    FILE* file = file_open_write_version_text(path, type, version);
    if (!file)
        return false;
    bool ok = true;
    for (const char* name : names)
        ok = fprintf(file, "%s\n", name) >= 0 && ok;
    return file_close(file) && ok;
}

// Writes `anim` (NULL when it could not be made; released here) as the
// animation file `name` in the animation directory. Its stored name is its
// base name, so that the game shares it.
bool write_animation(const char* directory, const char* name, mow_anim* anim)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\%s.trw", directory, name);
    bool ok = anim && demo_anim_write_file(path, anim);
    if (anim)
        free_mow_anim(anim);
    return ok;
}

// The demo figure under the name the game loads it by, and its texture: a
// warm checker with a light border.
bool write_demo_figure(const char* models, const char* bitmaps)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\%s.%s", models, "demo_figure", "mow");
    to_lower_case(path);
    return demo_model_write(path, path) &&
           write_tga(bitmaps, demo_model_shader_name, square(64, demo_skin_pixel), false);
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

int demo_tree_write(void)
{
    // tools/play.sh writes the tree before every start: the game's own
    // configuration, with the player's settings, stays as it is.
    // The demo plays its sounds in 3D, and a player's screen shows no
    // statistics line (F5 or the configuration turns it on): a new
    // configuration asks for both.
    std::error_code error;
    const int32_t sound_mode = sound_module.enable_3d, statistics = game_globals.bShowStats;
    sound_module.enable_3d = 1;
    game_globals.bShowStats = 0;
    bool ok = std::filesystem::exists("varnock.cfg", error) ||
              write_edit_session_file("varnock") == 1;
    sound_module.enable_3d = sound_mode;
    game_globals.bShowStats = statistics;

    const char* bitmaps = game_globals.bitmaps_pathname;
    for (const char* directory : std::initializer_list<const char*>{
             bitmaps, game_globals.animation_pathname, game_globals.script_pathname,
             game_globals.model_pathname, game_globals.entity_pathname,
             game_globals.collision_pathname, game_globals.anim_table_pathname,
             game_globals.shaders_pathname, game_globals.sound_pathname, game_globals.ai_pathname})
        ok = make_directory(directory) && ok;
    ok = copy_game_font() && pictures_open_font() && ok;
    ok = write_name_list(bitmaps, "transtex.ttw", FILE_TYPE_TRANSTEX, FILE_VERSION_TRANSTEX,
                         {"no_attack", "end_of_entries"}) &&
         ok;
    ok = write_tga(bitmaps, "splash_screen", splash_screen(), false) && ok;
    ok = write_menu(bitmaps) && ok;
    // The scripts the load-script dialog offers: the episodes of the menu.
    ok = write_name_list(game_globals.script_pathname, "load_script.slt", FILE_TYPE_LOAD_SCRIPT,
                         FILE_VERSION_LOAD_SCRIPT,
                         std::vector<const char*>(std::begin(menu_episode_scripts),
                                                  std::end(menu_episode_scripts))) &&
         ok;
    for (const char* name :
         {"interface", "default_icon", "weapitem_win_off", "health_bar", "no_attack"})
        ok = write_tga(bitmaps, name, square(64, panel_pixel), true) && ok;
    ok = write_tga(bitmaps, "weapitem_win_on", square(64, chosen_slot_pixel), true) && ok;
    ok = write_tga(bitmaps, "skull", square(64, health_pixel), true) && ok;
    const char* digits[] = {"zero", "one", "two",   "three", "four",
                            "five", "six", "seven", "eight", "nine"};
    for (int digit = 0; digit < 10; ++digit)
        ok = write_tga(bitmaps, digits[digit], digit_picture(digit), true) && ok;
    pictures_close_font();
    ok = write_demo_figure(game_globals.model_pathname, bitmaps) && ok;
    const char* animations = game_globals.animation_pathname;
    const struct {
        const char* name;
        float swing;  // radians
    } tails[] = {{"vk_tail_animation", 0.3f},
                 {"vk_tail_anim_side_to_side", 0.6f},
                 {"vk_tail_anim_curly", 0.9f}};
    for (const auto& tail : tails)
        ok = write_animation(animations, tail.name, demo_anim_make_tail(tail.name, tail.swing)) &&
             ok;
    ok = write_animation(animations, "demo_wave", demo_anim_make_wave("demo_wave")) && ok;
    ok = demo_level_write() && ok;
    return ok ? 1 : 0;
}
