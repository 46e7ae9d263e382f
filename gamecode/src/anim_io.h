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
