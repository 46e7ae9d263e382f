#include "gameglobals.h"

#include <cstring>

#include "config_section.h"
#include "debug.h"
#include "heap.h"
#include "runtime_services.h"
#include "str_util.h"

game_globals_record game_globals;

namespace {

// The configuration section, in file order: the strings, the switches, the
// floats.
game_globals_record& g = game_globals;
const config_row config_rows[] = {
    {CONFIG_STRING, g.entity_pathname, "game_globals.entity_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.model_pathname, "game_globals.model_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.animation_pathname, "game_globals.animation_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.anim_table_pathname, "game_globals.anim_table_pathname",
     GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.script_pathname, "game_globals.script_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.collision_pathname, "game_globals.collision_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.shaders_pathname, "game_globals.shaders_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.bitmaps_pathname, "game_globals.bitmaps_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.sound_pathname, "game_globals.sound_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.ai_pathname, "game_globals.ai_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.collision_table_pathname, "game_globals.collision_table_pathname",
     GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.path_pathname, "game_globals.path_pathname", GAMEGLOBALS_PATH_SIZE},
    {CONFIG_STRING, g.startup_script_filename, "game_globals.startup_script_filename",
     GAMEGLOBALS_PATH_SIZE},
    {CONFIG_SWITCH, &g.bShowStats, "game_globals.bShowStats"},
    {CONFIG_SWITCH, &g.bDisplayCollisionData, "game_globals.bDisplayCollisionData"},
    {CONFIG_SWITCH, &g.skip_splash, "game_globals.skip_splash"},
    {CONFIG_SWITCH, &g.sound_enable, "game_globals.sound_enable"},
    {CONFIG_FLOAT_SWITCH, &g.gravity, "game_globals.gravity", 0, GAMEGLOBALS_GRAVITY},
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
    return config_write_section(session_file, "gameglobals", config_rows);
}

// A value that cannot be read leaves its field as it was; reading goes on
// with the next line. A directory longer than its field is refused (with the
// copy's error line) rather than cut.
int gameglobals_read_config(FILE* session_file, int16_t* line_cnt)
{
    REFUSE_NULL(session_file, "gameglobals_read_config", "session_file", 0);
    REFUSE_NULL(line_cnt, "gameglobals_read_config", "line_cnt", 0);
    return config_read_section(session_file, line_cnt, config_rows);
}
