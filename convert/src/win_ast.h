// The animation state table of a character or shader (win_ast): the states
// it moves through, the animations they play and the input word its
// transitions are compared with.
//
// Only the words that player input, the statistics line and the loading of
// a table's animations use are here so far, in their record order; the state
// table records add the rest of each record (transitions, joint tables,
// sound effects, state names) and the record family.
#pragma once

#include <cstdint>

#include "mow_anim.h"
#include "win_geo.h"

// One state of the table.
struct win_anim_table_base {
    int32_t mow_anim_index;  // into the table's animations; -1 none
    // The stretch of the animation the state plays, in milliseconds on its
    // time line; -1.0 in either: the whole animation. An end before the
    // begin plays the stretch backwards.
    float begin_time;
    float end_time;
    // Copied into the character's rotation velocity when the state is
    // entered (radians per second about x, y, z).
    win_vect3 extra_rotation_velocity;
};

// A bit of the input word above the action mask (whose bit 0x4000 the
// animation system sets at the end of a state): while it is set, the
// player's action mask is not merged into the word.
enum : int32_t { WIN_AST_INPUT_HOLD = 0x10000 };

struct win_ast {
    char* win_ast_name;
    mow_anim* current_mow_anim;  // the current state's animation, borrowed from a slot
    // The animation names, without directory or extension, and one slot per
    // name holding a counted reference to the animation loaded for it.
    int32_t mow_anim_filename_array_size;
    win_filename_ptr* mow_anim_filename_array;
    int32_t mow_anim_ptr_array_size;
    mow_anim_ptr* mow_anim_ptr_array;
    int32_t win_anim_table_base_array_size;
    win_anim_table_base* win_anim_table_base_array;  // indexed by state index
    // This frame's input and condition mask: the player's action mask is
    // ORed in, the animation system consumes and clears it each frame.
    int32_t anim_input_flags;
    int32_t current_anim_index;  // -1 for none
};
