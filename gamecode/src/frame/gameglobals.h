// The one global record of the game: window title, data directories, the
// start-up script, display and debug switches, the physics constants the
// configuration file carries, the game state, and the run-time anchors that
// every game module shares (current camera, environment and player character,
// camera and view matrices, heads-up display and camera state).
//
// gameglobals_init gives it its defaults before anything else runs; the
// configuration file overwrites the configurable fields ("[gameglobals]"
// section, written and read here); gameglobals_reset_level_state clears the
// level-dependent fields before a new level script starts.
#pragma once

#include <cstdint>
#include <cstdio>

#include "win_geo.h"

struct win_entity;
struct win_collision;
struct texture_container;

enum {
    GAME_MODE_SPLASH = 0,
    GAME_MODE_EXPLORATION = 1,
    GAME_MODE_CAMERA_LOOK = 2,
    GAME_MODE_PLAYING_MOVIE = 3,
    GAME_MODE_MENU = 4,
};

// Directory fields hold at most 149 characters, without a trailing backslash.
enum { GAMEGLOBALS_PATH_SIZE = 150, GAMEGLOBALS_TITLE_SIZE = 256 };

// The gravity the configuration switch stands for (inches per second squared).
constexpr float GAMEGLOBALS_GRAVITY = -386.4f;

struct game_globals_record {
    char title[GAMEGLOBALS_TITLE_SIZE];
    char entity_pathname[GAMEGLOBALS_PATH_SIZE];
    char model_pathname[GAMEGLOBALS_PATH_SIZE];
    char animation_pathname[GAMEGLOBALS_PATH_SIZE];
    char anim_table_pathname[GAMEGLOBALS_PATH_SIZE];
    char script_pathname[GAMEGLOBALS_PATH_SIZE];
    char collision_pathname[GAMEGLOBALS_PATH_SIZE];
    char shaders_pathname[GAMEGLOBALS_PATH_SIZE];
    char bitmaps_pathname[GAMEGLOBALS_PATH_SIZE];
    char path_pathname[GAMEGLOBALS_PATH_SIZE];
    char sound_pathname[GAMEGLOBALS_PATH_SIZE];
    char ai_pathname[GAMEGLOBALS_PATH_SIZE];
    char collision_table_pathname[GAMEGLOBALS_PATH_SIZE];
    char startup_script_filename[GAMEGLOBALS_PATH_SIZE];
    int32_t game_state;  // written only by winmain_set_game_state
    int32_t previous_game_state;
    int32_t menu_screen;
    int32_t bShowStats;
    int32_t bDisplayCollisionData;
    int32_t input_device;  // F4 cycle: 0 keyboard, 1 mouse, 2 joystick
    int32_t debug_camera;
    int32_t sound_enable;
    int32_t display_closeup;
    int32_t action_button_pressed;
    float gravity;  // GAMEGLOBALS_GRAVITY or 0.0
    float x_wind;
    float z_wind;
    int32_t skip_splash;
    int32_t display_map_nodes;
    int32_t hide_gui;
    int32_t bUseOldCollisionAlgorithm;
    win_matrix44 projection_matrix;  // set again after a device change
    win_matrix44 view_matrix;
    win_matrix44 world_matrix;  // identity: the world transform of the scene, splash and menu
    int32_t browse_mode;
    float overlay_alpha;  // 0 .. 1; the game starts behind an opaque black overlay
    win_vect3 camera_shake_amplitude;
    float camera_shake_time;
    int32_t attack_enabled;
    char* action_button_script;  // owned copy, or NULL
    int32_t wireframe_mode;
    win_vect3 debug_camera_direction;
    float debug_mouse_sensitivity;  // radians per second
    float debug_mouse_speed;        // units per second
    win_vect3 camera_look_at_point;
    win_vect3 camera_eye_point;
    win_vect3 camera_target_point;
    win_vect3 camera_look_at_smoothed;
    win_vect3 camera_look_offset;
    win_collision* win_collision_list;  // the global hull list
    int32_t win_collision_list_size;
    win_entity* current_camera;
    win_entity* current_environment;
    win_entity* player_character;
    win_entity* current_weapon;
    win_entity* current_item;
    win_entity* parked_child_list;  // weapons and items of an unloaded player character
    int32_t parked_child_list_size;
    win_vect3 parked_acceleration;
    int32_t parked_entity_flag;
    int32_t weapon_item_toggle;  // 0 weapons selected, 1 items
    texture_container* interface_background;
    texture_container* weapon_icon_texture;
    texture_container* item_icon_texture;
    texture_container* closeup_texture;
};

extern game_globals_record game_globals;

// Every field to its default (NOTICE "Initializing game_globals.").
void gameglobals_init(void);
// Clears the player, weapon, item, parking, icon and close-up fields; the
// camera, environment, interface texture and every setting stay.
void gameglobals_reset_level_state(void);

// The "[gameglobals]" section: 13 directories and names, 7 switches, 4 floats.
int gameglobals_write_config(FILE* session_file);
int gameglobals_read_config(FILE* session_file, int16_t* line_cnt);

// The defaults again, without the notice; for tests.
void gameglobals_reset(void);
