// Input devices and the action mask: the player's keyboard, mouse and
// joysticks in one device list with one current device, the action mask read
// from the current device once per frame, the key-name table through which
// the configuration file names keyboard keys, the 14 keyboard bindings, and
// their "[dxinput]" section of the configuration file.
//
// The list is made once at start-up (dxinput_init): slot 0 the keyboard, then
// the mouse, then every attached joystick in enumeration order. F4 picks
// another device (dxinput_pick_device); the window's focus re-acquires the
// current one. Each slot remembers what kind of device it holds, and the
// reader follows the kind, so a joystick in the mouse's usual slot (no mouse
// could be made) is still read as a joystick.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/dinput.h"
#include "platform/win32.h"

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

enum { DXINPUT_MAX_DEVICES = 10 };

struct dxinput_globals_record {
    HWND hwnd;  // the main window, owner of the cooperative levels
    LPDIRECTINPUTDEVICE2 device_list[DXINPUT_MAX_DEVICES];
    DWORD device_type[DXINPUT_MAX_DEVICES];  // DIDEVTYPE_* of each slot
    int32_t device_count;
    LPDIRECTINPUTDEVICE2 current_device;  // one of the list, or NULL
    int current_device_index;
    // The keyboard's mask is kept between frames (bits 14 and 15 are never
    // touched); the mouse and joysticks build theirs anew on every read.
    int32_t keyboard_action_mask;
};
extern dxinput_globals_record dxinput_globals;

// Opens the keyboard (failure: 0, no devices), then the mouse and the
// joysticks (failures only logged), and picks the current device index.
int dxinput_init(HINSTANCE instance, HWND window);
// Puts the device's second interface into the next slot; 0 when the list is
// full or the interface cannot be had. The caller keeps its own reference.
int dxinput_add_device(LPDIRECTINPUTDEVICE device, DWORD device_type);
// Makes slot `index` current and acquires it: 1. For a slot that does not
// exist, device 0 becomes current (when there is one) and the result is 0.
int dxinput_pick_device(int index);
// Acquire: 1 when the device is acquired now; 0 when that failed, it was
// already acquired, or there is no device.
int dxinput_reacquire_device(LPDIRECTINPUTDEVICE2 device);
int dxinput_reacquire_current_device(void);
int dxinput_reacquire_device_by_index(int index);
// 1 when slot `index` holds the current device.
int dxinput_is_current_device(int index);
// The action mask of the current device this frame; 0 without a device or
// when the read failed (a lost device is re-acquired for the next frame).
int32_t dxinput_read_current_device(void);
// Unacquires and forgets the current device, releases every slot.
void dxinput_release_devices(void);

// Releases the devices and puts bindings and state back to the start; for
// tests.
void dxinput_reset(void);
