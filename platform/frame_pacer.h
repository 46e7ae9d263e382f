// Pacing of presented frames where the buffer swap does not wait for the
// display's vertical blank (software rendering, a virtual display, many
// compositors): the present then waits as that wait would, until a refresh
// period of the display has passed since the last frame was shown. A scene
// that takes a moment to draw is so shown at about the display's rate, and
// a menu that stands still costs a fraction of a core instead of all of
// them; the frame's own timing is unchanged, the wait is part of the present
// as a vertical-blank wait is. A swap that waited itself leaves nothing to
// wait for.
#pragma once

#include <cstdint>

struct frame_pacer {
    uint64_t last_ns;  // when the last frame counts as shown; 0 before the first
};

// The nanoseconds to wait after a swap that returned at `now_ns` (from a
// monotonic clock, above 0), for a display that refreshes every `period_ns`.
// A frame that comes a good part of a period or more after the last (a slow
// frame, or a swap that waited for the blank) waits for nothing and starts
// the count afresh; an early one waits until a period after the last, which
// keeps the rate at the display's without drift.
uint64_t frame_pacer_wait(frame_pacer* pacer, uint64_t now_ns, uint64_t period_ns);

// After a swap: waits as frame_pacer_wait says, on the monotonic clock, for
// a display of `refresh_rate` frames a second (60 when 0 or unknown).
void frame_pacer_pace(frame_pacer* pacer, int refresh_rate);
