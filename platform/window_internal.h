// What the rest of the platform folder needs to know about a window: the
// SDL window behind it (NULL when headless). Not for game code.
#pragma once

#include "platform/win32.h"

struct SDL_Window;

SDL_Window* platform_window_sdl(HWND window);
// Starts SDL's event subsystem once; returns 1 when it runs.
int platform_sdl_events_ready(void);
