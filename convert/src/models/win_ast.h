// Animation state tables (win_ast): the animation brain of one character or
// shader, with their record families (record.h). From leaf to root:
//   win_anim_table_entry  one transition of a state: the input and condition
//                         mask it waits for and the state it leads to
//   win_joint_pair        one inclusive range of joint indexes of the model
//                         the table's collision data refers to
//   win_joint_table       a named set of joint ranges (collision tables)
//   win_anim_table_base   one state: a stretch of one animation with its
//                         speed, root-motion multipliers, extra velocities,
//                         sound, script, attack and reaction properties,
//                         joint tables and transitions
//   win_ast               the whole table
// Transitions, ranges and joint tables are list elements; states and tables
// are not.
//
// The binary form (file type 67, version 112, and the same stream inside
// entity and shader files) is write_win_ast_bin / read_win_ast_bin, with
// link_win_ast for a file image loaded whole. Every record is stored as its
// image of 32-bit words in member order, reserved words included.
//
// Ownership. A table owns its names, name arrays, states and joint tables; a
// state owns its transitions and its script name; a joint table its name and
// ranges. Each filled animation slot holds one counted reference to a shared
// animation, which free_win_ast drops; current_mow_anim only borrows one of
// them. The sound effects belong to the sound module: a table owns the block
// of its sound slots, never the sounds. A table whose slots hold sounds is
// put on the register of sound holders (win_ast_hold_sounds), so that an
// unloaded sound leaves every slot that named it (win_ast_forget_sound);
// releasing the table takes it off.
//
// The stored words must agree: every count of an owned array or list goes
// with its items (none without them), every state index of a state (its
// own, next and block-to state, each transition's target) is -1 or a state
// of the table, and every state's animation is -1 or one of its animation
// names; a stream that says otherwise is refused when read. The current
// state is kept as stored (the loaders set it; win_ast_current_state is
// NULL for one the table lacks), and sound and joint-table indexes are
// checked where they are used; the counts of the slots are the loader's to
// set.
#pragma once

#include <cstdint>

#include "dlink.h"
#include "mow_anim.h"
#include "record.h"
#include "win_ast_fields.h"
#include "win_geo.h"

// clang-format off
// A transition: taken when its mask equals the table's whole input word.
struct win_anim_table_entry {
    win_anim_table_entry* prev_ptr;
    win_anim_table_entry* next_ptr;
    int32_t condition_mask;     // action mask bits and WIN_AST_END_OF_ANIM
    int32_t target_anim_index;  // the state entered; -1 none
};
RECORD_BEGIN(win_anim_table_entry, 16)
    REC_LINKS(prev_ptr, next_ptr)
    REC_WORDS(condition_mask)
    REC_WORDS(target_anim_index)
RECORD_END(win_anim_table_entry, LIST, .target_anim_index = -1)

// Joints first to last of the model named by spaz_model_name, both included.
struct win_joint_pair {
    win_joint_pair* prev_ptr;
    win_joint_pair* next_ptr;
    int32_t first_joint_idx;
    int32_t last_joint_idx;
};
RECORD_BEGIN(win_joint_pair, 16)
    REC_LINKS(prev_ptr, next_ptr)
    REC_WORDS(first_joint_idx)
    REC_WORDS(last_joint_idx)
RECORD_END(win_joint_pair, LIST, .first_joint_idx = -1, .last_joint_idx = -1)

// A collision joint table; states name it by its position in the table's
// list (0 = the first defined).
struct win_joint_table {
    win_joint_table* prev_ptr;
    win_joint_table* next_ptr;
    char* win_joint_table_name;  // the list key, as written in the file
    int32_t win_joint_pair_list_size;
    win_joint_pair* win_joint_pair_list;
};
RECORD_BEGIN(win_joint_table, 20)
    REC_LINKS(prev_ptr, next_ptr)
    REC_NAME(win_joint_table_name)
    REC_LIST(win_joint_pair_list_size, win_joint_pair_list, win_joint_pair)
RECORD_END(win_joint_table, NAMED_LIST)

// One state; its fields are in win_ast_fields.h.
RECORD_BEGIN(win_anim_table_base, 200)
    REC_LIST(win_anim_table_entry_list_size, win_anim_table_entry_list, win_anim_table_entry)
    REC_WORDS(next_anim_index)
    REC_WORDS(anim_index)
    REC_WORDS(mow_anim_index)
    REC_WORDS(anim_type_flags)
    REC_WORDS(reaction_flags)
    REC_WORDS(attack_value)
    REC_WORDS(sound_effect)
    REC_WORDS(begin_time)
    REC_WORDS(end_time)
    REC_WORDS(anim_table_reserved_float)
    REC_WORDS(translation_multiplier)
    REC_WORDS(rotation_multiplier)
    REC_WORDS(anim_time_multiplier)
    REC_WORDS(extra_rotation_velocity)
    REC_WORDS(anim_table_reserved)
    REC_WORDS(extra_translation_velocity)
    REC_WORDS(anim_table_reserved_2)
    REC_STRING(play_script)
    REC_WORDS(win_joint_table_idx)
    REC_WORDS(combat_win_joint_table_idx)
    REC_WORDS(vulnerable_win_joint_table_idx)
    REC_WORDS(block_to_anim_index)
    REC_WORDS(block_to_value)
RECORD_END(win_anim_table_base, PLAIN,
           .next_anim_index = -1, .anim_index = -1, .mow_anim_index = -1, .attack_value = -1,
           .sound_effect = -1, .begin_time = -1.0f, .end_time = -1.0f,
           .anim_table_reserved_float = -1.0f, .anim_time_multiplier = 1.0f,
           .win_joint_table_idx = -1, .combat_win_joint_table_idx = -1,
           .vulnerable_win_joint_table_idx = -1, .block_to_anim_index = -1,
           .block_to_value = -1)

// The slots of a table's sound effects (win_sound_fx_ptr, win_ast_fields.h).
RECORD_BEGIN(win_sound_fx_ptr, 4)
    REC_SELF_RUNTIME()
RECORD_END(win_sound_fx_ptr, PLAIN)

// The table; its fields are in win_ast_fields.h. The check of the stored
// words (the agreement described at the top), and the release step, which
// takes a table off the register of sound holders.
RECORD_CHECK(win_ast, win_ast_check_indexes);
RECORD_RELEASE(win_ast, win_ast_release);
RECORD_BEGIN(win_ast, 88)
    REC_NAME(win_ast_name)
    REC_RUNTIME(current_mow_anim)
    REC_ARRAY(mow_anim_filename_array_size, mow_anim_filename_array, win_filename_ptr)
    REC_RUNTIME_ARRAY(mow_anim_ptr_array_size, mow_anim_ptr_array, mow_anim_ptr)
    REC_WORDS(anim_blocking_state)
    REC_WORDS(anim_progress)
    REC_STRING(aux_str)
    REC_ARRAY(win_anim_table_base_array_size, win_anim_table_base_array, win_anim_table_base,
              "anim_table_base_array")
    REC_WORDS(anim_input_flags)
    REC_WORDS(current_anim_index)
    REC_ARRAY(win_anim_state_filename_array_size, win_anim_state_filename_array,
              win_filename_ptr)
    REC_ARRAY(sound_fx_filename_array_size, sound_fx_filename_array, win_filename_ptr)
    REC_RUNTIME_ARRAY(sound_fx_array_size, sound_fx_array, win_sound_fx_ptr)
    REC_STRING(spaz_model_name)
    REC_LIST(win_joint_table_list_size, win_joint_table_list, win_joint_table)
    REC_UNSTORED(sound_holder)
RECORD_END(win_ast, NAMED, .current_anim_index = -1)
// clang-format on

// The state the table stands in, or NULL when it stands in none or in one it
// does not have. Takes no NULL table.
win_anim_table_base* win_ast_current_state(const win_ast* win_ast_ptr);

// Puts the table on the register of sound holders (once), so that its
// sound slots forget a sound the sound module unloads. Whoever fills a
// table's sound slots calls it; releasing the table takes it off. 1, or 0
// for a NULL table.
int win_ast_hold_sounds(win_ast* win_ast_ptr);
// Empties every sound slot of the registered tables that holds `sound`; the
// sound module's forget function (sound_add_forget_funct).
void win_ast_forget_sound(const win_sound_container* sound);
// Takes every table off the register, releasing none; for tests, between
// cases.
void win_ast_reset(void);
