// The player-character scene module: what is drawn in screen space around
// the 3D world and the presentation effects of the game. The one-time
// loading of the interface textures, the per-frame scene (entities, the
// heads-up display, the letterbox bars) between begin and end of scene, the
// splash screen, the screen fade (through the frame's light scale) and the
// overlay fade, the text console of the scripts, the action-button script,
// the change of game mode by name, and the final clean-up at shut-down.
//
// Screen-space rectangles are in 640 x 480 units; colours are 0xAARRGGBB.
#pragma once

#include <cstdint>

#include "runtime_services.h"
#include "script_imports.h"

struct texture_container;

enum { VARNOCK_TEXT_LINES = 4, VARNOCK_TEXT_LINE_SIZE = 128 };

// Console text that never expires.
constexpr float VARNOCK_TEXT_FOREVER = -2147483648.0f;

struct varnock_scene_record {
    texture_container* number_textures[10];  // digits "zero" .. "nine"
    int32_t screen_fade_mode;                // 0 idle, 1 fade in, 2 fade out
    float screen_fade_duration;              // seconds
    float screen_fade_elapsed;
    int32_t overlay_fade_mode;  // 0 idle, 1 the overlay fades away, 2 it fades up
    float overlay_fade_duration;
    int32_t overlay_fade_use_color;  // 0: black
    float overlay_fade_elapsed;
    uint8_t overlay_fade_color[3];
    float text_time_left;  // seconds; VARNOCK_TEXT_FOREVER: no expiry
    char text_lines[VARNOCK_TEXT_LINES][VARNOCK_TEXT_LINE_SIZE];
    int32_t text_line_count;
    int32_t text_x;
    int32_t text_y;
    uint8_t text_color[3];
    int32_t letterbox_on;
    float letterbox_height;  // 0 .. 90
    texture_container* splash_texture;
    texture_container* weapitem_window_on_texture;
    texture_container* weapitem_window_off_texture;
    texture_container* healthbar_window_texture;
    texture_container* healthbar_texture;
    texture_container* no_attack_texture;
};

extern varnock_scene_record varnock_scene;

void varnock_load_interface_textures(void);

void varnock_draw_hud(void);
// Two digits of 16 x 16; 0 for a value outside 0 .. 99.
int varnock_draw_health_counter(int32_t value, float tens_x, float tens_y, float units_x,
                                float units_y);
int varnock_draw_letterbox(void);

// A level that cannot be played is given up: an error line, a box over the
// window that says what failed and why ("The player 'hero' could not be
// made", "the model 'hero' did not load") and where the details are, and
// then the menu. The level's entities and scripts stay until the menu's
// next choice clears them, as after a level's own end. Both texts are given.
void varnock_give_up_level(const char* failure, const char* cause);

// The fades, the console text, the fog and the change of game mode, which
// script commands call, are in script_imports.h; what the frame calls is in
// runtime_services.h.

// Back to the start values, without releasing anything; for tests.
void varnock_reset(void);
