// The animation state table of a character or shader (win_ast): the states
// it moves through and the input word its transitions are compared with.
//
// Only the words that player input and the statistics line use are here so
// far, in their record order; the animation records add the rest of each
// record (animations, transitions, joint tables, sound effects, names) and
// the record family.
#pragma once

#include <cstdint>

#include "win_geo.h"

// One state of the table.
struct win_anim_table_base {
    // Copied into the character's rotation velocity when the state is
    // entered (radians per second about x, y, z).
    win_vect3 extra_rotation_velocity;
};

// A bit of the input word above the action mask (whose bit 0x4000 the
// animation system sets at the end of a state): while it is set, the
// player's action mask is not merged into the word.
enum : int32_t { WIN_AST_INPUT_HOLD = 0x10000 };

struct win_ast {
    int32_t win_anim_table_base_array_size;
    win_anim_table_base* win_anim_table_base_array;  // indexed by state index
    // This frame's input and condition mask: the player's action mask is
    // ORed in, the animation system consumes and clears it each frame.
    int32_t anim_input_flags;
    int32_t current_anim_index;  // -1 for none
};
