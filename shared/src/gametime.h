// The millisecond clock and the frame clock variable.
#pragma once

// The frame clock in milliseconds. The main loop sets it from
// gametime_get_time once per frame; scripts, animation and the player read it.
extern float game_time;

// The multimedia timer as a double: never negative, wraps after 2^32 ms.
double gametime_get_time(void);

// The current local time, 24 characters, in a static buffer.
const char* gametime_str(void);

// game_time := 0; returns 1.
int gametime_reset(void);
