// Shader animation: a shader's state table is stepped with the frame time,
// and the shader index keys of its current animation pick which of the
// shader's textures is shown (win_shader.h). Script commands start a shader's
// states (shader_play_anim and shader_play_anim2, declared in
// script_imports.h), and a duplicated character gets its own copy of its
// shaders.
//
// A shader's state machine is the character machine's smaller twin
// (anim.h): the same time slices and the same exact-mask transitions, but no
// sound, no play script and no root motion.
#pragma once

#include <cstdint>

#include "script_imports.h"
#include "win_shader.h"

// Steps the shader's table by frame_delta_time: slice after slice, the
// current texture follows the current animation's shader index keys, and an
// ended state takes its transition or else, forced, its next state. Stops
// early when the table has no current animation. 1.
int shader_update_anim(win_shader* shader, win_ast* win_ast_ptr);

// Takes the first transition of the current state whose condition mask
// equals the table's whole input word (forced when the word holds the end
// of the animation). 1 when one was taken; 0 when none matched, or after an
// error line for a NULL table.
int shader_interpret_input(win_shader* shader, win_ast* win_ast_ptr);

// Makes `new_anim_index` the table's current state and its animation the
// current one; the animation starts from its beginning when `forced` or
// when it differs from the one playing (else it runs on). The shader then
// shows the texture of the animation's position. 1, or 0 after an error
// line for a NULL table or a state the table does not have (the table is
// left as it was).
int shader_start_next_anim_state(win_shader* shader, win_ast* win_ast_ptr, int32_t new_anim_index,
                                 int32_t forced);

// A new array of `count` shaders copied from `template_win_shader_array`:
// names, table file names and texture names copied, each state table
// deep-copied, and each texture slot sharing its container with one more
// reference. NULL after an error line, with nothing left allocated.
win_shader* shader_duplicate_win_shader_array(const win_shader* template_win_shader_array,
                                              int32_t count);
