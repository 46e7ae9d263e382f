// What the rest of the platform folder needs to know about a window: the
// SDL window behind it (NULL when headless). Not for game code.
#pragma once

#include "platform/win32.h"

struct SDL_Window;

SDL_Window* platform_window_sdl(HWND window);

// A window drawn inside its top-level ancestor's SDL window (a dialog or a
// control): no SDL window of its own and no show, activation or focus
// messages; messages sent to it reach `proc`. Destroyed with its parent.
HWND platform_window_make_inner(HWND parent, WNDPROC proc, DWORD style, const char* text, int x,
                                int y, int width, int height);
// One pointer for the owner of an inner window's procedure.
void platform_window_set_data(HWND window, void* data);
void* platform_window_data(HWND window);
