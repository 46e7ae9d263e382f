// Animations for the demo data tree and for tests, built with the animation
// records and written with the game's own animation writer.
#pragma once

#include "mow_anim.h"

// Time line of the demo animations, in milliseconds.
enum { DEMO_ANIM_LENGTH = 1000 };

// "Wave" for the demo figure (demo_model.h), named `name`: the root bobs,
// the arm swings about z and back, the figure walks 2 units along z (root
// motion); the bounding sphere, the figure's one appendage and its shader
// index follow the swing. Count 1; NULL after a log line.
mow_anim* demo_anim_make_wave(const char* name);

// A tail animation named `name` for the player's tail: 26 tracks, of which
// tracks 21 to 25 (the tail joints) swing about y by up to `swing` radians,
// each a little later than the one before. Count 1; NULL after a log line.
mow_anim* demo_anim_make_tail(const char* name, float swing);

// Writes `anim` as an animation file at `path` (header, then the animation
// stream). 1, or 0 after a log line.
int demo_anim_write_file(const char* path, const mow_anim* anim);
