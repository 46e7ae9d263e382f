// Animations for the demo data tree and for tests, built with the animation
// records and written with the game's own animation writer.
#pragma once

#include "mow_anim.h"

// Time line of the demo animations, in milliseconds.
enum { DEMO_ANIM_LENGTH = 1000 };
// When a fall has brought the figure down, in milliseconds.
constexpr float DEMO_ANIM_FALL_TIME = 600.0f;

// "Wave" for the demo figure (demo_model.h), named `name`: the root bobs,
// the arm swings about z and back, the figure walks 2 units along z (root
// motion); the bounding sphere, the figure's one appendage and its shader
// index follow the swing. `tracks` tracks (at least the figure's 2), the
// ones beyond the figure's without keys. Count 1; NULL after a log line.
mow_anim* demo_anim_make_wave(const char* name, int32_t tracks = 2);

// A fall of the demo figure, named `name`, with `tracks` tracks: the root
// joint (track 0) turns about x from upright to `angle` radians by
// DEMO_ANIM_FALL_TIME and lies there to the end; the root does not move, and
// the sphere, appendage and shader index keys are the wave's. Count 1; NULL
// after a log line.
mow_anim* demo_anim_make_fall(const char* name, int32_t tracks, float angle);

// Gives track `track` of `anim` one rotation key, at 0 ms, holding `angles`
// (in place of its rotation keys): the joint keeps that turn throughout. 1,
// or 0 after a log line.
int demo_anim_hold_rotation(mow_anim* anim, int32_t track, win_vect3 angles);

// A tail animation named `name` for the player's tail: 26 tracks, of which
// tracks 21 to 25 (the tail joints) swing about y by up to `swing` radians,
// each a little later than the one before. Count 1; NULL after a log line.
mow_anim* demo_anim_make_tail(const char* name, float swing);

// Writes `anim` as an animation file at `path` (header, then the animation
// stream). 1, or 0 after a log line.
int demo_anim_write_file(const char* path, const mow_anim* anim);
