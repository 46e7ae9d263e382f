// Mouse message translation for a window procedure that wants button events
// and moves in screen coordinates, with a middle button made from the left
// one: a quick second press of the left button acts as a middle press. The
// mouse stays captured while any button is held.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// button: 0 left, 1 middle, 2 right; state: 1 press, 0 release.
typedef int (*mouse_button_funct_type)(int button, int state, int32_t x, int32_t y);
typedef int (*mouse_move_funct_type)(int32_t x, int32_t y);

// The two replaceable callbacks; they start as the defaults below.
extern mouse_button_funct_type mouse_button_funct;
extern mouse_move_funct_type mouse_move_funct;

// The entry for a window procedure: turns one mouse message into a button
// event or a move, and returns the callback's result (0 for a message that
// is no mouse message, after an error entry).
int mouse_translate_msg(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Updates the button flags and the capture, then calls mouse_button_funct.
int mouse_button_event(HWND window, UINT message, int32_t x, int32_t y);

int def_mouse_button_funct(int button, int state, int32_t x, int32_t y);
int def_mouse_move_funct(int32_t x, int32_t y);

// Clears the three button flags (after the window lost the focus and the
// releases went elsewhere). Returns 1.
int mouse_reset(void);
