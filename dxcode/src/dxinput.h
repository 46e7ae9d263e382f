// Input devices and the action mask: the key-name table through which the
// configuration file names keyboard keys, the 14 keyboard bindings, and their
// "[dxinput]" section of the configuration file.
//
// The devices themselves (keyboard, mouse and joysticks, the current device
// and the action mask read from it once per frame) are added with the input
// device stand-in.
#pragma once

#include <cstdint>
#include <cstdio>

// The bits of the action mask: the player's actions, shared by input, the
// animation state tables and the AI.
enum : int32_t {
    ACTION_DOWN = 0x0001,
    ACTION_LEFT = 0x0002,
    ACTION_RIGHT = 0x0004,
    ACTION_UP = 0x0008,
    ACTION_A_BUTTON = 0x0010,      // run
    ACTION_B_BUTTON = 0x0020,      // action
    ACTION_C_BUTTON = 0x0040,      // attack
    ACTION_X_BUTTON = 0x0080,      // aim
    ACTION_Y_BUTTON = 0x0100,      // use item
    ACTION_Z_BUTTON = 0x0200,      // debug camera switch
    ACTION_L1_BUTTON = 0x0400,     // scroll up
    ACTION_R1_BUTTON = 0x0800,     // scroll down
    ACTION_M_BUTTON = 0x1000,      // toggle weapons and items
    ACTION_START_BUTTON = 0x2000,  // start
    ACTION_END_OF_ANIM = 0x4000,
    ACTION_STRAFE = 0x8000,
};

// One row of the key-name table: a keyboard scan code and its names.
struct dxinput_key {
    int32_t code;
    const char* display_str;
    const char* token_str;
};
enum { DXINPUT_KEY_COUNT = 104, DXINPUT_BINDING_COUNT = 14 };
extern const dxinput_key dxinput_key_table[DXINPUT_KEY_COUNT];

// Scan codes bound to down, left, right, up, run, action, attack, aim,
// use_item, button_z, scroll_inventory_up, scroll_inventory_down,
// toggle_weapons_items, start; -1 for a key name the table does not know.
extern int32_t dxinput_key_bindings[DXINPUT_BINDING_COUNT];
extern const int32_t dxinput_default_key_bindings[DXINPUT_BINDING_COUNT];

// The first row whose token equals `token` (case-sensitive): its code, or -1
// after an error line.
int32_t dxinput_get_code_from_token(const char* token);
// The first row with `code`: its display or token string, or NULL after an
// error line.
const char* dxinput_get_display_string(int32_t code);
const char* dxinput_get_token_string(int32_t code);

// The "[dxinput]" section: one key token per binding, in binding order. A
// binding the table cannot name is written as its default key.
int dxinput_write_config(FILE* session_file);
int dxinput_read_config(FILE* session_file, int16_t* line_cnt);

// Bindings back to their defaults; for tests.
void dxinput_reset(void);
