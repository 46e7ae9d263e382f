// Test hooks of the input-device stand-in: a machine without real devices
// whose keyboard, mouse and joysticks the test sets directly.
#pragma once

#include "platform/dinput.h"

// In the test mode the devices read the states below instead of SDL; the
// keyboard and the mouse are always attached, joysticks as set. Turning the
// mode on or off clears every state.
void dinput_set_test_mode(int on);

enum { DINPUT_TEST_MAX_JOYSTICKS = 12 };
// Attached joysticks (0 at start), enumerated in index order.
void dinput_test_set_joystick_count(int count);

// A key held (1) or released (0), by DIK_* scan code.
void dinput_test_set_key(int32_t scan_code, int down);
// Motion added to what the next mouse read reports; the read takes it.
void dinput_test_move_mouse(LONG dx, LONG dy);
// Mouse button 0 left, 1 right, 2 middle, 3 fourth.
void dinput_test_set_mouse_button(int button, int down);
// A joystick's stick as SDL reports it: -32768 .. 32767 on each axis.
void dinput_test_set_joystick_axes(int joystick, int x, int y);
void dinput_test_set_joystick_button(int joystick, int button, int down);

// Lets go of every key and button, centres the sticks and drops mouse motion
// not yet read.
void dinput_test_release_all(void);

// Whether the exclusive mouse holds the pointer (acquired); in the game this
// is SDL's relative mouse mode.
int dinput_test_mouse_captured(void);
