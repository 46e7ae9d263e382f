// The fields of an animation state table and of its states: the part of
// the table that the frame reads and writes (models_services.h), namely the
// input word, the current state and the states' extra velocities. The
// records themselves, with their families and the records of the
// transitions and joint tables, are in win_ast.h. It stands among the
// services headers so that the frame sees it, and so it includes nothing
// above the math: the animations it points to are only declared.
#pragma once

#include <cstdint>

#include "dlink.h"
#include "win_geo.h"

struct mow_anim;
// A slot holding one counted reference to an animation, or NULL (its record
// family is the models' own, in mow_anim.h).
typedef mow_anim* mow_anim_ptr;
struct win_anim_table_entry;
struct win_joint_table;
struct win_sound_container;

// Bits of the input word (anim_input_flags, condition_mask) beside the
// action mask, which the animation system itself uses.
enum : int32_t {
    WIN_AST_END_OF_ANIM = 0x4000,  // input: the current state's stretch ended
    // Input: while set, the player's action mask is not merged into the word.
    WIN_AST_INPUT_HOLD = 0x10000,
};

// clang-format off
// One state. Indexes are -1 for none.
struct win_anim_table_base {
    int32_t win_anim_table_entry_list_size;
    win_anim_table_entry* win_anim_table_entry_list;  // tried in list order
    int32_t next_anim_index;  // entered when the stretch ends and no transition is taken
    int32_t anim_index;       // the state's own index
    int32_t mow_anim_index;   // into the table's animation names and slots
    int32_t anim_type_flags;  // state properties (keyword bits, anim_io.h)
    int32_t reaction_flags;   // attack kind, severity and direction
    int32_t attack_value;
    int32_t sound_effect;     // into the table's sound slots
    // The stretch of the animation the state plays, in milliseconds on its
    // time line; -1.0 in either: the whole animation (set when the
    // animations are loaded). An end before the begin plays it backwards.
    float begin_time;
    float end_time;
    float anim_table_reserved_float;     // carried unchanged
    win_vect3 translation_multiplier;    // scales the root translation
    win_vect3 rotation_multiplier;       // scales the root rotation
    float anim_time_multiplier;          // playback speed
    // Copied into the character's rotation velocity when the state is
    // entered (radians per second about x, y, z).
    win_vect3 extra_rotation_velocity;
    int32_t anim_table_reserved[3];      // carried unchanged
    // Added to the character's velocity while the state runs.
    win_vect3 extra_translation_velocity;
    int32_t anim_table_reserved_2[16];   // carried unchanged
    char* play_script;                   // started when the state is entered
    int32_t win_joint_table_idx;         // into the table's joint tables
    int32_t combat_win_joint_table_idx;
    int32_t vulnerable_win_joint_table_idx;
    int32_t block_to_anim_index;  // entered instead of a hit reaction when blocked
    int32_t block_to_value;       // percent chance of blocking a hit; -1 never
};

// A slot of a table's sound effects: a sound of the sound module's list,
// borrowed; NULL for none. Releasing slots releases no sound.
typedef win_sound_container* win_sound_fx_ptr;

struct win_ast {
    char* win_ast_name;
    mow_anim* current_mow_anim;  // the current state's animation, borrowed from a slot
    // The animation names, without directory or extension, and one slot per
    // name holding a counted reference to the animation loaded for it. The
    // slots are made by the table's loader; their count is stored, they are
    // not.
    int32_t mow_anim_filename_array_size;
    win_filename_ptr* mow_anim_filename_array;
    int32_t mow_anim_ptr_array_size;
    mow_anim_ptr* mow_anim_ptr_array;
    int32_t anim_blocking_state;  // 0 idle, 1 a blocking play runs, 2 it has finished
    float anim_progress;          // 0.0 to 1.0 through the current state's stretch
    char* aux_str;                // carried with the table; nothing reads it
    int32_t win_anim_table_base_array_size;
    win_anim_table_base* win_anim_table_base_array;  // indexed by state index
    // This frame's input and condition mask: the player's action mask is
    // ORed in, the animation system consumes and clears it each frame.
    int32_t anim_input_flags;
    int32_t current_anim_index;  // -1 for none
    int32_t win_anim_state_filename_array_size;  // the state names, in index order
    win_filename_ptr* win_anim_state_filename_array;
    int32_t sound_fx_filename_array_size;  // the sound effect names
    win_filename_ptr* sound_fx_filename_array;
    // One slot per sound effect name, same order, filled by the loader; the
    // count is stored, the slots are not.
    int32_t sound_fx_array_size;
    win_sound_fx_ptr* sound_fx_array;
    char* spaz_model_name;  // the model whose joints the joint tables index
    int32_t win_joint_table_list_size;
    win_joint_table* win_joint_table_list;  // in definition order
    // The table's node on the register of sound holders; its links are NULL
    // while it is not on it. A table on the register is never copied by
    // value: the register knows it by its address.
    dlink sound_holder;
};
// clang-format on
