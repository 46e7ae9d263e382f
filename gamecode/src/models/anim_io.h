// State table files and the animations they name.
//
// A state table is read from its text file ("ast", anim_io_load_ast) or its
// binary file (anim_io_load_ast_bin) into a table the caller made with
// malloc_win_ast; the collision-table section of the text file goes through
// the grammar pass first (anim_io_yacc.h). The text file, in order (one
// name per line; blank lines and "//" comments anywhere):
//   the text header: type 24, version 112;
//   optionally a line "spaz_model_name <model>", then collision blocks;
//   the sound effect names, then "end";
//   the animation names (no directory or extension), then "end";
//   the state names, then "end";
//   for each state in that order: its name, its animation's name or
//   "none", the name of the state that follows when it ends, its keywords
//   with their values (any order, any case), its transitions, and
//   "end_of_entries".
// A transition is input tokens (exact case; they OR their masks), ";" and
// the target state's name:  u b ; attack_high
// "end", "END" and "none", "None" are the same; state names, input tokens
// and "end_of_entries" match only exactly.
//
// Animation loading and sharing: the animations a state table names are read
// from their animation files ("trw") once and kept in one global list, keyed
// by the name stored in each; every table that names an animation holds a
// counted reference to the one record in a slot. Each state's stretch is
// then brought inside its animation's time range. The list is never swept:
// a loaded animation stays for the session.
#pragma once

#include <cstdint>

#include "mow_anim.h"
#include "win_ast.h"

// Longest animation path (directory, "\", name, ".trw") with its zero; a
// longer one is refused rather than cut.
enum { ANIM_IO_PATH_SIZE = 260 };
// Entries of the name tables that states are resolved in.
enum { ANIM_IO_NAME_SIZE = 128 };

// ---- State table files ----

// A keyword of a state that sets one bit of its anim_type_flags or
// reaction_flags; the tables end with a NULL keyword.
struct anim_io_flag_keyword {
    const char* keyword;
    int32_t bit;
};
extern const anim_io_flag_keyword anim_io_type_flag_table[];
extern const anim_io_flag_keyword anim_io_reaction_flag_table[];
// The keyword that sets anim_type_flags bit ANIM_IO_ATTACK_FLAG with a value
// (the attack value); "attacking" says the same.
enum : int32_t { ANIM_IO_ATTACK_FLAG = 0x80 };

// The input tokens of transitions, both spellings of each action; a mask
// of 0 ("ni", "no_input") adds nothing.
enum { ANIM_IO_INPUT_TOKENS = 34, ANIM_IO_INPUT_TOKEN_SIZE = 32 };
struct anim_io_input_token {
    char token[ANIM_IO_INPUT_TOKEN_SIZE];
    int32_t mask;
};
extern const anim_io_input_token anim_io_input_token_table[ANIM_IO_INPUT_TOKENS];

// Milliseconds of one animation frame (begin_end_frame), a float's worth.
constexpr float ANIM_IO_FRAME_TIME = 33.333332f;

// Limits of the name lists of the text file: a name holds at most
// ANIM_IO_NAME_SIZE - 1 characters, a list at most ANIM_IO_MAX_NAMES names.
enum { ANIM_IO_MAX_NAMES = 499 };

// Reads the state table text file `filename` into `win_ast_ptr`, a table
// fresh from malloc_win_ast: the grammar pass (spaz_model_name from
// `model_directory`, the joint tables), the sound effects (each loaded with
// sound_load from `sound_directory`, as a 3D sound; one that does not load
// leaves its slot empty), the animation names with as many empty slots
// (anim_io_load_ast_anims fills them), the states with their keywords and
// transitions. anim_input_flags is 0, and current_anim_index 0 once there
// are states (a table without them keeps -1). 1 when every step succeeded;
// else 0 after its messages, each naming the file and line, with the table
// holding what was read (free_win_ast releases it). A file that ends early,
// a name list longer than the limits and a table without states fail.
int anim_io_load_ast(const char* filename, win_ast* win_ast_ptr, const char* model_directory,
                     const char* sound_directory);

// Reads a binary state table file (header type 67, version 112, then one
// write_win_ast_bin stream) into `win_ast_ptr`, as anim_io_load_ast does:
// the caller's table keeps its name when it has one and takes everything
// else from the file; its sounds are loaded and its animation slots made.
// `ignored` stands where the text loader takes its model directory. 1, or 0
// after its messages.
int anim_io_load_ast_bin(const char* filename, win_ast* win_ast_ptr, const char* ignored,
                         const char* sound_directory);

// ---- Animations ----

// Head of the list of loaded animations (NULL when empty) and its size. The
// list holds one reference to each animation.
extern mow_anim* anim_io_global_mow_anim_list;
extern int32_t anim_io_global_mow_anim_list_size;

// The animation of the animation file at `path`, with one more reference for
// the caller: the listed one whose stored name is the file's base name, or
// the one read from the file and listed. NULL after a log line.
mow_anim* anim_load_anim(const char* path);

// Fills the table's animation slots (one per animation name, allocated by
// the table's loader) from `anim_directory`, then gives every state without
// times its animation's whole range and clamps the others into it (with a
// warning each). `expected_num_tracks`: the track count every animation must
// have (-1: any). Every name is tried; 1 when all loaded and matched, else 0
// with the states' times untouched and the loaded animations kept in their
// slots.
int anim_io_load_ast_anims(win_ast* win_ast_ptr, int32_t expected_num_tracks,
                           const char* anim_directory);

// The index of `name` among the table's animation names (exact); -1 for
// "none" in any case, and -1 after an error line for a name not there.
int32_t anim_io_resolve_mow_anim_index(const win_ast* win_ast_ptr, const char* name);

// The index of `name` among the first `count` names of `name_table` (exact);
// -1 after a warning when it is not there.
int32_t anim_io_resolve_anim_index(const char (*name_table)[ANIM_IO_NAME_SIZE], int32_t count,
                                   const char* name);

// Releases every listed animation whatever its count and empties the list;
// for tests, between cases. Nobody may hold a listed animation across it.
void anim_io_reset(void);
