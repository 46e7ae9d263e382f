// The multimedia millisecond timer.
#pragma once

#include "platform/win_types.h"

// Milliseconds since the program started, from a monotonic clock. Wraps after
// 2^32 ms like the original timer.
DWORD timeGetTime(void);

// Replaces the clock source (tests drive time by hand); NULL restores the
// monotonic clock.
typedef DWORD (*timer_source_funct)(void);
void platform_timer_set_source(timer_source_funct source);
