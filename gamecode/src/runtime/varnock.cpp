#include "varnock.h"

#include <cstdio>
#include <cstring>

#include "d3dtextr_dx7.h"
#include "d3dutil.h"
#include "d3dxframe.h"
#include "debug.h"
#include "dxinput.h"
#include "entity.h"
#include "entity_render.h"
#include "gameglobals.h"
#include "heap.h"
#include "math_util.h"
#include "sound.h"
#include "str_util.h"
#include "win_entity.h"
#include "winmain2.h"

varnock_scene_record varnock_scene = {};

namespace {

varnock_scene_record& scene = varnock_scene;

constexpr DWORD OPAQUE_WHITE = 0xFFFFFFFF;
constexpr DWORD PANEL_COLOUR = 0x40FFFFFF;  // white at alpha 64
constexpr DWORD DIGIT_COLOUR = 0x20FFFFFF;
constexpr DWORD OPAQUE_BLACK = 0xFF000000;
constexpr float LETTERBOX_MAX = 90.0f;
constexpr float LETTERBOX_SPEED = 200.0f;  // units per second

// The heads-up display panel: its origin and the two slot windows.
constexpr float PANEL_X = 639.0f - 128.0f;
constexpr float PANEL_Y = 0.0f;
constexpr float WEAPON_SLOT_X = PANEL_X + 72.0f, WEAPON_SLOT_Y = PANEL_Y + 36.0f;
constexpr float ITEM_SLOT_X = PANEL_X + 72.0f, ITEM_SLOT_Y = PANEL_Y + 110.0f;
constexpr float SLOT_SIZE = 42.0f;
// The console's lines end this far before the panel, or the screen's edge.
constexpr float TEXT_MARGIN = 8.0f;

// Loads `name` from the bitmap directory and keeps it (one reference); NULL
// when no file is found. The loader lower-cases the name it is given, so it
// gets a copy.
texture_container* keep_texture(const char* name)
{
    char writable[64];
    if (!STR_CPY(writable, sizeof writable, name))
        return nullptr;
    texture_container* container = d3dtextr_load_texture(writable, game_globals.bitmaps_pathname,
                                                         nullptr);
    if (container)
        container->texture_container_ref_cnt += 1;
    return container;
}

void give_back(texture_container*& container)
{
    if (container)
        free_texture_container(container);
    container = nullptr;
}

// Replaces the texture kept in `slot` by `container` (NULL keeps the old
// one), holding one reference of the new texture.
void keep_in(texture_container*& slot, texture_container* container)
{
    if (!container || container == slot)
        return;
    container->texture_container_ref_cnt += 1;
    give_back(slot);
    slot = container;
}

// The health bar's share of its full width: hit points of the maximum,
// within 0 .. 1 (a maximum of 0 or a value that is no number shows none).
float health_share(const win_character* player)
{
    float share = player->hitpoints / player->max_hitpoints;
    if (!(share > 0.0f))
        return 0.0f;
    return share < 1.0f ? share : 1.0f;
}

// The heads-up display's panel is drawn over the scene's right side.
bool panel_shown(void)
{
    return !game_globals.hide_gui && !scene.letterbox_on;
}

void quad(texture_container* texture, DWORD colour, float x, float y, float width, float height)
{
    d3dxframe_draw_screen_quad(texture, colour, colour, colour, colour, x, y, width, height);
}

// Texture stage 0 empty, identity world transform, the camera's view.
void set_screen_transforms(void)
{
    d3dxframe_set_texture(0, nullptr);
    d3dutil_set_identity_matrix(&game_globals.world_matrix);
    d3dxframe_set_world_transform(&game_globals.world_matrix);
    d3dxframe_set_view_transform(&game_globals.view_matrix);
}

// One step of a fade toward its end level (0 or 1): the elapsed time grows
// by the frame; at the end the fields go back to 0 and the end level is
// returned, else the level on the way there.
float fade_step(int32_t& mode, float& duration, float& elapsed, float mode_1_end, float other_end)
{
    float end_level = mode == 1 ? mode_1_end : other_end;
    elapsed += frame_delta_time / 1000.0f;
    if (elapsed >= duration) {
        mode = 0;
        duration = 0.0f;
        elapsed = 0.0f;
        return end_level;
    }
    float share = elapsed / duration;
    return end_level == 1.0f ? share : 1.0f - share;
}

int start_overlay_fade(int32_t mode, float seconds, int32_t use_color, uint8_t red, uint8_t green,
                       uint8_t blue)
{
    scene.overlay_fade_mode = mode;
    scene.overlay_fade_duration = seconds;
    scene.overlay_fade_use_color = use_color;
    scene.overlay_fade_elapsed = 0.0f;
    if (use_color) {
        scene.overlay_fade_color[0] = red;
        scene.overlay_fade_color[1] = green;
        scene.overlay_fade_color[2] = blue;
    }
    return 1;
}

}  // namespace

int varnock_one_time_scene_init(void)
{
    LOG_NOTICE("%s\n", "varnock_one_time_scene_init called.");
    varnock_load_interface_textures();
    return 1;
}

void varnock_load_interface_textures(void)
{
    const struct {
        const char* name;
        texture_container** slot;
        const char* error;
    } textures[] = {
        {"interface", &game_globals.interface_background,
         "Unable to d3dtextr_load_texture interface_background.\n"},
        {"default_icon", &game_globals.weapon_icon_texture,
         "Unable to d3dtextr_load_texture current_weapon_icon.\n"},
        {"default_icon", &game_globals.item_icon_texture,
         "Unable to d3dtextr_load_texture current_item_icon.\n"},
        {"splash_screen", &scene.splash_texture, "Could not load splash screen texture.\n"},
        {"weapitem_win_on", &scene.weapitem_window_on_texture,
         "Could not load weapitem_window_on_texture.\n"},
        {"weapitem_win_off", &scene.weapitem_window_off_texture,
         "Could not load weapitem_window_off_texture.\n"},
        {"health_bar", &scene.healthbar_window_texture,
         "Could not load healthbar_window_texture.\n"},
        {"skull", &scene.healthbar_texture, "Could not load healthbar_texture.\n"},
        {"no_attack", &scene.no_attack_texture, "Could not load no_attack_texture.\n"},
    };
    for (const auto& texture : textures) {
        give_back(*texture.slot);
        *texture.slot = keep_texture(texture.name);
        if (!*texture.slot)
            LOG_ERROR("%s", texture.error);
    }
    static const char* const digits[10] = {"zero", "one", "two",   "three", "four",
                                           "five", "six", "seven", "eight", "nine"};
    for (int i = 0; i < 10; ++i) {
        give_back(scene.number_textures[i]);
        scene.number_textures[i] = keep_texture(digits[i]);
        if (!scene.number_textures[i])
            LOG_ERROR("Could not load number_textures[%d].\n", i);
    }
    // With a player character, the two icons become those of its current
    // weapon and item (the default icon for none).
    const win_character* player = win_entity_character(game_globals.player_character);
    if (game_globals.player_character) {
        win_entity* weapon = player && player->current_weapon ? game_globals.current_weapon
                                                              : nullptr;
        keep_in(game_globals.weapon_icon_texture, entity_retrieve_icon_texture(weapon));
        keep_in(game_globals.item_icon_texture,
                entity_retrieve_icon_texture(player ? player->current_item : nullptr));
    }
}

int32_t varnock_render_scene(void)
{
    if (!d3dxframe_begin_scene(0)) {
        LOG_ERROR("%s", "Unable to BeginScene.\n");
        return E_FAIL;
    }
    set_screen_transforms();
    entity_render_all();
    entity_draw_map_nodes();
    if (!game_globals.hide_gui)
        varnock_draw_hud();
    varnock_draw_letterbox();
    if (!d3dxframe_end_scene()) {
        LOG_ERROR("%s", "Unable to EndScene.\n");
        return E_FAIL;
    }
    return 0;
}

void varnock_draw_hud(void)
{
    if (!scene.letterbox_on) {
        quad(game_globals.interface_background, PANEL_COLOUR, PANEL_X, PANEL_Y, 128.0f, 320.0f);
        if (game_globals.weapon_item_toggle == 0) {
            quad(scene.weapitem_window_on_texture, PANEL_COLOUR, WEAPON_SLOT_X, WEAPON_SLOT_Y,
                 SLOT_SIZE, SLOT_SIZE);
            quad(scene.weapitem_window_off_texture, PANEL_COLOUR, ITEM_SLOT_X, ITEM_SLOT_Y,
                 SLOT_SIZE, SLOT_SIZE);
        } else if (game_globals.weapon_item_toggle == 1) {
            quad(scene.weapitem_window_off_texture, PANEL_COLOUR, WEAPON_SLOT_X, WEAPON_SLOT_Y,
                 SLOT_SIZE, SLOT_SIZE);
            quad(scene.weapitem_window_on_texture, PANEL_COLOUR, ITEM_SLOT_X, ITEM_SLOT_Y,
                 SLOT_SIZE, SLOT_SIZE);
        }
        quad(scene.healthbar_window_texture, PANEL_COLOUR, 8.0f, 457.0f, 127.0f, 15.0f);
        quad(game_globals.weapon_icon_texture, PANEL_COLOUR, WEAPON_SLOT_X, WEAPON_SLOT_Y,
             SLOT_SIZE, SLOT_SIZE);
        if (game_globals.attack_enabled == 0)
            quad(scene.no_attack_texture, PANEL_COLOUR, WEAPON_SLOT_X, WEAPON_SLOT_Y, SLOT_SIZE,
                 SLOT_SIZE);
        quad(game_globals.item_icon_texture, PANEL_COLOUR, ITEM_SLOT_X, ITEM_SLOT_Y, SLOT_SIZE,
             SLOT_SIZE);
        // The bar is as wide as the player's hit points are of its maximum,
        // 119 units at full health; without a player it has width 0.
        const win_entity* player = game_globals.player_character;
        const win_character* character = win_entity_character(player);
        quad(scene.healthbar_texture, PANEL_COLOUR, 12.0f, 461.0f,
             character ? health_share(character) * 119.0f : 0.0f, 7.0f);
        const win_character* weapon = win_entity_character(game_globals.current_weapon);
        if (player && weapon)
            varnock_draw_health_counter(weapon->weapon_data.ammo_count, 39.0f, 322.0f, 52.0f,
                                        322.0f);
    }
    if (game_globals.closeup_texture && game_globals.display_closeup == 1)
        quad(game_globals.closeup_texture, PANEL_COLOUR, 0.0f, 0.0f, 639.0f, 479.0f);
    if (game_globals.overlay_alpha > 0.0f) {
        DWORD alpha = (DWORD)(int32_t)(game_globals.overlay_alpha * 255.0f) & 0xFF;
        DWORD colour = alpha << 24;
        if (scene.overlay_fade_use_color == 1)
            colour |= (DWORD)scene.overlay_fade_color[0] << 16 |
                      (DWORD)scene.overlay_fade_color[1] << 8 | scene.overlay_fade_color[2];
        quad(nullptr, colour, 0.0f, 0.0f, 639.0f, 479.0f);
    }
}

int varnock_draw_health_counter(int32_t value, float tens_x, float tens_y, float units_x,
                                float units_y)
{
    if (value < 0 || value > 99)
        return 0;
    quad(scene.number_textures[value / 10], DIGIT_COLOUR, tens_x, tens_y, 16.0f, 16.0f);
    quad(scene.number_textures[value % 10], DIGIT_COLOUR, units_x, units_y, 16.0f, 16.0f);
    return 1;
}

int varnock_draw_letterbox(void)
{
    if (!scene.letterbox_on && scene.letterbox_height <= 0.0f)
        return 1;
    float step = LETTERBOX_SPEED * frame_delta_time / 1000.0f;
    if (scene.letterbox_on && scene.letterbox_height < LETTERBOX_MAX)
        scene.letterbox_height += step;
    else if (!scene.letterbox_on && scene.letterbox_height > 0.0f)
        scene.letterbox_height -= step;
    if (scene.letterbox_height < 0.0f)
        scene.letterbox_height = 0.0f;
    if (scene.letterbox_height > LETTERBOX_MAX)
        scene.letterbox_height = LETTERBOX_MAX;
    quad(nullptr, OPAQUE_BLACK, 0.0f, 0.0f, 639.0f, scene.letterbox_height);
    quad(nullptr, OPAQUE_BLACK, 0.0f, 479.0f - scene.letterbox_height, 639.0f,
         scene.letterbox_height);
    return 1;
}

int varnock_render_splash(void)
{
    // Asked for every frame until it loads; the texture cache logs a failure
    // once.
    if (!scene.splash_texture && d3dxframe_is_ready())
        scene.splash_texture = keep_texture("splash_screen");
    if (!d3dxframe_begin_scene(0))
        return 0;
    set_screen_transforms();
    if (scene.splash_texture)
        quad(scene.splash_texture, OPAQUE_WHITE, 0.0f, 0.0f, 639.0f, 479.0f);
    if (!d3dxframe_end_scene()) {
        LOG_ERROR("%s", "Unable to EndScene.\n");
        return 0;
    }
    // Without its picture the splash still tells the player how to go on.
    if (!scene.splash_texture) {
        static const char prompt[] = "Click to start";
        int32_t x = (d3dxframe_get_render_width() - d3dxframe_get_text_width(prompt)) / 2;
        int32_t y = (d3dxframe_get_render_height() - d3dx_globals.font_height) / 2;
        d3dxframe_draw_text(x, y, prompt, &OPAQUE_WHITE);
    }
    return 1;
}

void varnock_update_screen_fade(void)
{
    if (scene.screen_fade_mode == 0)
        return;
    // Fading in brings the light scale up to 1, fading out down to 0.
    d3dxframe_set_light_scale(fade_step(scene.screen_fade_mode, scene.screen_fade_duration,
                                        scene.screen_fade_elapsed, 1.0f, 0.0f));
}

void varnock_update_overlay_fade(void)
{
    if (scene.overlay_fade_mode == 0)
        return;
    // Mode 1 takes the overlay away (alpha to 0), mode 2 brings it up.
    game_globals.overlay_alpha = fade_step(scene.overlay_fade_mode, scene.overlay_fade_duration,
                                           scene.overlay_fade_elapsed, 0.0f, 1.0f);
}

int varnock_fade_out(float seconds)
{
    scene.screen_fade_mode = 2;
    scene.screen_fade_duration = seconds;
    scene.screen_fade_elapsed = 0.0f;
    return 1;
}

int varnock_fade_in(float seconds)
{
    scene.screen_fade_mode = 1;
    scene.screen_fade_duration = seconds;
    scene.screen_fade_elapsed = 0.0f;
    return 1;
}

int varnock_overlay_fade_out(float seconds)
{
    return start_overlay_fade(2, seconds, 0, 0, 0, 0);
}

int varnock_overlay_fade_in(float seconds)
{
    return start_overlay_fade(1, seconds, 0, 0, 0, 0);
}

int varnock_overlay_fade_out_color(float seconds, uint8_t red, uint8_t green, uint8_t blue)
{
    return start_overlay_fade(2, seconds, 1, red, green, blue);
}

int varnock_overlay_fade_in_color(float seconds, uint8_t red, uint8_t green, uint8_t blue)
{
    return start_overlay_fade(1, seconds, 1, red, green, blue);
}

int varnock_set_attack_enabled(int32_t flag)
{
    game_globals.attack_enabled = flag;
    return 1;
}

// A line holds at most 127 characters; further characters of a line and
// lines after the fourth are dropped.
int varnock_display_text(uint32_t x, uint32_t y, uint8_t red, uint8_t green, uint8_t blue,
                         int32_t seconds, const char* text)
{
    if (x > 639 || y > 479)
        return 0;
    std::memset(scene.text_lines, 0, sizeof scene.text_lines);
    scene.text_x = (int32_t)x;
    scene.text_y = (int32_t)y;
    scene.text_color[0] = red;
    scene.text_color[1] = green;
    scene.text_color[2] = blue;
    scene.text_time_left = (float)seconds;
    scene.text_line_count = 1;
    size_t column = 0, longest = 0;
    for (const char* c = text ? text : ""; *c; ++c) {
        if (*c == '~') {
            if (scene.text_line_count == VARNOCK_TEXT_LINES)
                break;
            scene.text_line_count += 1;
            column = 0;
            continue;
        }
        if (column + 1 < VARNOCK_TEXT_LINE_SIZE)
            scene.text_lines[scene.text_line_count - 1][column++] = *c;
        if (column > longest)
            longest = column;
    }
    LOG_NOTICE("char_width = %ld.\n", (long)d3dxframe_get_char_width());
    LOG_NOTICE("max_chars = %ld.\n", (long)longest);
    return 1;
}

void varnock_draw_text(void)
{
    if (!(scene.text_time_left > 0.0f || scene.text_time_left == VARNOCK_TEXT_FOREVER))
        return;
    float width = (float)d3dxframe_get_render_width();
    float height = (float)d3dxframe_get_render_height();
    DWORD shadow = 0xFF000000;
    DWORD colour = 0xFF000000 | (DWORD)scene.text_color[0] << 16 | (DWORD)scene.text_color[1] << 8 |
                   scene.text_color[2];
    // Lines stand a line of the game font apart: a fixed step in the
    // 640x480 units drew a second line over the first once the font grew.
    const float line_height = (float)d3dxframe_get_line_height();
    // A line ends before the panel while it is shown, else before the
    // screen's edge: what goes beyond is set on further lines, broken between
    // words, so that no word stands under the panel or off the screen.
    const float right = (panel_shown() ? PANEL_X : 640.0f) - TEXT_MARGIN;
    const float x = (float)scene.text_x * width / 640.0f;
    const int32_t room = (int32_t)(right * width / 640.0f - x);
    float y = (float)scene.text_y * height / 480.0f;
    for (int i = 0; i < scene.text_line_count && i < VARNOCK_TEXT_LINES; ++i) {
        const char* at = scene.text_lines[i];
        do {
            char piece[VARNOCK_TEXT_LINE_SIZE];
            size_t length = 0;
            const char* next = d3dxframe_fit_text(at, room, &length);
            snprintf(piece, sizeof piece, "%.*s", (int)length, at);
            d3dxframe_draw_text((int32_t)(x + 2.0f), (int32_t)(y + 2.0f), piece, &shadow);
            d3dxframe_draw_text((int32_t)x, (int32_t)y, piece, &colour);
            y += line_height;
            at = next;
        } while (*at);
    }
    if (scene.text_time_left > 0.0f)
        scene.text_time_left -= frame_delta_time * 0.001f;
}

void varnock_clear_display_text(void)
{
    std::memset(scene.text_lines, 0, sizeof scene.text_lines);
}

int varnock_set_action_button_script(const char* name)
{
    if (game_globals.action_button_script)
        FREE(game_globals.action_button_script);
    game_globals.action_button_script = nullptr;
    if (!name || std::strcmp(name, "none") == 0 || std::strcmp(name, "NONE") == 0) {
        LOG_NOTICE("%s\n", "Setting action_button script to NULL.");
        return 1;
    }
    game_globals.action_button_script = STRDUP(name);
    LOG_NOTICE("Setting action_button script to %s.\n", name);
    return 1;
}

int varnock_set_letterbox(int32_t on)
{
    scene.letterbox_on = on;
    return 1;
}

int varnock_change_game_mode(const char* name)
{
    static const struct {
        const char* name;
        int32_t state;
        const char* notice;
    } modes[] = {
        {"splash", GAME_MODE_SPLASH, "change game mode: GAME_MODE_SPLASH\n"},
        {"explore", GAME_MODE_EXPLORATION, "change game mode: GAME_MODE_EXPLORATION\n"},
        {"look", GAME_MODE_CAMERA_LOOK, "change game mode: GAME_MODE_CAMERA_LOOK\n"},
        {"movie", GAME_MODE_PLAYING_MOVIE, "change game mode: GAME_MODE_PLAYING_MOVIE\n"},
        {"menu", GAME_MODE_MENU, "change game mode: GAME_MODE_MENU\n"},
    };
    for (const auto& mode : modes) {
        if (!name || std::strcmp(name, mode.name) != 0)
            continue;
        LOG_NOTICE("%s", mode.notice);
        winmain_set_game_state(mode.state);
        if (mode.state == GAME_MODE_MENU) {
            game_globals.previous_game_state = GAME_MODE_MENU;
            ShowCursor(TRUE);
        }
        return 1;
    }
    LOG_ERROR("tried to set unknown game_mode: %s\n", name ? name : "(null)");
    return 0;
}

void varnock_give_up_level(const char* failure, const char* cause)
{
    LOG_ERROR("This level cannot be played. %s, as %s.\n", failure, cause);
    // Short lines: the box does not break them.
    char text[512];
    snprintf(text, sizeof text, "This level cannot be played.\n\n%s,\nas %s.\n\n%s", failure, cause,
             debug_log_written() ? "Check the debug file for the details."
                                 : "The debug file could not be written.");
    MessageBox(d3dx_globals.hwnd, text, "Level Cannot Be Played", MB_OK | MB_ICONHAND);
    varnock_change_game_mode("menu");
}

int varnock_set_fog(int32_t enable, const win_rgba* color, float start, float end)
{
    if (!enable) {
        if (!d3dxframe_set_render_state(D3DRENDERSTATE_FOGENABLE, 0)) {
            LOG_ERROR("%s", "Unable to disable fog.\n");
            return 0;
        }
        return 1;
    }
    REFUSE_NULL(color, "varnock_set_fog", "color", 0);
    // Each channel within 0 .. 255, so that none spills into its neighbour.
    auto channel = [](float value) -> DWORD {
        int32_t v = math_util_float_to_int(value * 255.0f);
        return (DWORD)(v < 0 ? 0 : v > 255 ? 255 : v);
    };
    // Start and end go to the device as the bits of their floats.
    auto bits = [](float value) {
        DWORD word;
        std::memcpy(&word, &value, sizeof word);
        return word;
    };
    const struct {
        int32_t state;
        DWORD value;
        const char* error;
    } steps[] = {
        {D3DRENDERSTATE_FOGENABLE, 1, "Unable to enable fog.\n"},
        {D3DRENDERSTATE_FOGCOLOR,
         channel(color->r) << 16 | channel(color->g) << 8 | channel(color->b),
         "Unable to set fog color.\n"},
        {D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR, "Unable to set fog mode.\n"},
        {D3DRENDERSTATE_FOGSTART, bits(start), "Unable to set fog start.\n"},
        {D3DRENDERSTATE_FOGEND, bits(end), "Unable to set fog end.\n"},
    };
    for (const auto& step : steps) {
        if (!d3dxframe_set_render_state(step.state, step.value)) {
            LOG_ERROR("%s", step.error);
            return 0;
        }
    }
    if (!d3dxframe_set_render_state(D3DRENDERSTATE_RANGEFOGENABLE, 1))
        LOG_NOTICE("%s", "Unable to use range based fog..\n");
    return 1;
}

// The module gives back the texture references it keeps before the cache
// lets go of the textures, so none of them outlives the program's end.
int varnock_final_cleanup(void)
{
    LOG_NOTICE("%s\n", "varnock_final_cleanup called.");
    entity_unload_all(1);
    texture_container** kept[] = {&game_globals.interface_background,
                                  &game_globals.weapon_icon_texture,
                                  &game_globals.item_icon_texture,
                                  &game_globals.closeup_texture,
                                  &scene.splash_texture,
                                  &scene.weapitem_window_on_texture,
                                  &scene.weapitem_window_off_texture,
                                  &scene.healthbar_window_texture,
                                  &scene.healthbar_texture,
                                  &scene.no_attack_texture};
    for (texture_container** slot : kept)
        give_back(*slot);
    for (texture_container*& digit : scene.number_textures)
        give_back(digit);
    d3dtextr_cleanup();
    sound_term();
    dxinput_release_devices();
    return 0;
}

void varnock_reset(void)
{
    scene = {};
}
