// Animated shaders for the demo data tree and for tests, built as records and
// written with the game's own shader writer.
#pragma once

#include "mow_anim.h"
#include "win_ast.h"
#include "win_shader.h"

// Time line of the flicker animation, in milliseconds.
enum { DEMO_SHADER_FLICKER_LENGTH = 300 };

// "Flicker", named `name`: no tracks, only shader index keys over 0 to 300
// ms: texture 0 from 0 ms, texture 1 from 100 ms, texture 0 again from
// 200 ms. NULL after a log line.
mow_anim* demo_shader_make_flicker(const char* name);

// The state table of a flickering shader, named `name`, playing the
// animation `anim_name`:
//   state 0 "glow"   the whole animation, looping; the attack bit (0x40)
//                    alone leads to flash
//   state 1 "flash"  the second half (150 to 300 ms) twice as fast, then
//                    glow
// NULL after a log line.
win_ast* demo_shader_make_table(const char* name, const char* anim_name);

// A shader named `name` with the two textures `texture_0` and `texture_1`
// and the state table `table_name` (a name only: the loader reads the
// table; NULL for none). NULL after a log line.
win_shader* demo_shader_make(const char* name, const char* table_name, const char* texture_0,
                             const char* texture_1);

// demo_shader_make's shader as a file may also hold it: its state table
// (demo_shader_make_table of `table_name`, which must be given) stored with it, and two texture slots, the first holding a container
// (outside the texture cache) for `texture_0`, the second empty; it shows
// texture 1. NULL after a log line.
win_shader* demo_shader_make_whole(const char* name, const char* table_name, const char* texture_0,
                                   const char* texture_1);

// Writes `shader` as a shader file at `path` (header, then the shader
// stream). 1, or 0 after a log line.
int demo_shader_write_file(const char* path, const win_shader* shader);
