#include "gameglobals.h"

#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "runtime_services.h"
#include "str_util.h"
#include "text_io.h"

game_globals_record game_globals;

namespace {

// The configuration section, in file order: the strings, the switches, the
// floats. Keys serve a person reading the file; values are read by position.
enum config_kind { CONFIG_STRING, CONFIG_SWITCH, CONFIG_GRAVITY, CONFIG_FLOAT };
struct config_value {
    config_kind kind;
    void* field;
    const char* key;
};

game_globals_record& g = game_globals;
const config_value config_values[] = {
    {CONFIG_STRING, g.entity_pathname, "game_globals.entity_pathname"},
    {CONFIG_STRING, g.model_pathname, "game_globals.model_pathname"},
    {CONFIG_STRING, g.animation_pathname, "game_globals.animation_pathname"},
    {CONFIG_STRING, g.anim_table_pathname, "game_globals.anim_table_pathname"},
    {CONFIG_STRING, g.script_pathname, "game_globals.script_pathname"},
    {CONFIG_STRING, g.collision_pathname, "game_globals.collision_pathname"},
    {CONFIG_STRING, g.shaders_pathname, "game_globals.shaders_pathname"},
    {CONFIG_STRING, g.bitmaps_pathname, "game_globals.bitmaps_pathname"},
    {CONFIG_STRING, g.sound_pathname, "game_globals.sound_pathname"},
    {CONFIG_STRING, g.ai_pathname, "game_globals.ai_pathname"},
    {CONFIG_STRING, g.collision_table_pathname, "game_globals.collision_table_pathname"},
    {CONFIG_STRING, g.path_pathname, "game_globals.path_pathname"},
    {CONFIG_STRING, g.startup_script_filename, "game_globals.startup_script_filename"},
    {CONFIG_SWITCH, &g.bShowStats, "game_globals.bShowStats"},
    {CONFIG_SWITCH, &g.bDisplayCollisionData, "game_globals.bDisplayCollisionData"},
    {CONFIG_SWITCH, &g.skip_splash, "game_globals.skip_splash"},
    {CONFIG_SWITCH, &g.sound_enable, "game_globals.sound_enable"},
    {CONFIG_GRAVITY, &g.gravity, "game_globals.gravity"},
    {CONFIG_SWITCH, &g.wireframe_mode, "game_globals.wireframe_mode"},
    {CONFIG_SWITCH, &g.hide_gui, "game_globals.hide_gui"},
    {CONFIG_FLOAT, &g.x_wind, "game_globals.x_wind"},
    {CONFIG_FLOAT, &g.z_wind, "game_globals.z_wind"},
    {CONFIG_FLOAT, &g.debug_mouse_sensitivity, "game_globals.debug_mouse_sensitivity"},
    {CONFIG_FLOAT, &g.debug_mouse_speed, "game_globals.debug_mouse_speed"},
};

const struct {
    char* field;
    size_t size;
    const char* value;
} default_strings[] = {
    {g.title, sizeof g.title, "Varnock: DEBUG version 0.7"},
    {g.entity_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\entity"},
    {g.model_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\model"},
    {g.animation_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\anim"},
    {g.anim_table_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\animtab"},
    {g.script_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\script"},
    {g.collision_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\collision"},
    {g.shaders_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\shader"},
    {g.bitmaps_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\bitmap"},
    {g.path_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win"},
    {g.sound_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\sound"},
    {g.ai_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\ai"},
    {g.collision_table_pathname, GAMEGLOBALS_PATH_SIZE, "c:\\data\\win\\collision_tab"},
    {g.startup_script_filename, GAMEGLOBALS_PATH_SIZE, "startup"},
};

void set_defaults(void)
{
    char* old_script = g.action_button_script;
    g = game_globals_record{};
    if (old_script)
        FREE(old_script);
    for (const auto& entry : default_strings)
        STR_CPY(entry.field, entry.size, entry.value);
    g.game_state = GAME_MODE_SPLASH;
    g.bShowStats = 1;
    g.sound_enable = 1;
    g.gravity = GAMEGLOBALS_GRAVITY;
    g.overlay_alpha = 1.0f;
    g.attack_enabled = 1;
    g.debug_mouse_sensitivity = 3.0f;
    g.debug_mouse_speed = 100.0f;
    g.camera_look_at_point = {0.0f, 0.0f, -1.0f};
    g.parked_acceleration = {0.0f, 1.0f, 0.0f};
}

}  // namespace

void gameglobals_init(void)
{
    LOG_NOTICE("%s\n", "Initializing game_globals.");
    set_defaults();
}

void gameglobals_reset(void)
{
    set_defaults();
}

void gameglobals_reset_level_state(void)
{
    g.player_character = nullptr;
    g.current_weapon = nullptr;
    g.current_item = nullptr;
    g.parked_child_list = nullptr;
    g.parked_child_list_size = 0;
    g.parked_acceleration = {0.0f, 1.0f, 0.0f};
    g.parked_entity_flag = 0;
    // Each slot holds a counted reference: given back, not dropped.
    entity_weapon_hold_texture(&g.weapon_icon_texture, nullptr);
    entity_weapon_hold_texture(&g.item_icon_texture, nullptr);
    entity_weapon_hold_texture(&g.closeup_texture, nullptr);
    g.display_closeup = 0;
    g.browse_mode = 0;
    g.action_button_pressed = 0;
}

int gameglobals_write_config(FILE* session_file)
{
    REFUSE_NULL(session_file, "gameglobals_write_config", "session_file", 0);
    int ok = fprintf(session_file, "\n//  [gameglobals]\n") >= 0;
    for (const config_value& value : config_values) {
        int written = 0;
        switch (value.kind) {
        case CONFIG_STRING:
            written = file_write_value_line(session_file, (const char*)value.field, value.key);
            break;
        case CONFIG_SWITCH:
            written = file_write_long_line(session_file, *(int32_t*)value.field == 1, value.key);
            break;
        case CONFIG_GRAVITY:
            written = file_write_long_line(session_file,
                                           *(float*)value.field == GAMEGLOBALS_GRAVITY, value.key);
            break;
        case CONFIG_FLOAT:
            written = file_write_float_line(session_file, *(float*)value.field, value.key);
            break;
        }
        ok = ok && written;
    }
    return ok ? 1 : 0;
}

// A value that cannot be read leaves its field as it was; reading goes on
// with the next line. A directory longer than its field is refused (with the
// copy's error line) rather than cut.
int gameglobals_read_config(FILE* session_file, int16_t* line_cnt)
{
    REFUSE_NULL(session_file, "gameglobals_read_config", "session_file", 0);
    REFUSE_NULL(line_cnt, "gameglobals_read_config", "line_cnt", 0);
    int ok = 1;
    for (const config_value& value : config_values) {
        if (value.kind == CONFIG_STRING) {
            char line[TEXT_LINE_SIZE];
            if (!get_text_line(session_file, line_cnt, line, sizeof line) ||
                !STR_CPY((char*)value.field, GAMEGLOBALS_PATH_SIZE, line))
                ok = 0;
        } else if (value.kind == CONFIG_FLOAT) {
            float number = 0.0f;
            if (read_float_text(session_file, line_cnt, &number))
                *(float*)value.field = number;
            else
                ok = 0;
        } else {
            int32_t number = 0;
            if (!read_long_text(session_file, line_cnt, &number))
                ok = 0;
            else if (value.kind == CONFIG_SWITCH)
                *(int32_t*)value.field = number == 1 ? 1 : 0;
            else
                *(float*)value.field = number == 1 ? GAMEGLOBALS_GRAVITY : 0.0f;
        }
    }
    return ok;
}
