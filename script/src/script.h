// The script run model: every started level script sits in one circular list
// of running scripts; once per exploration frame script_update_script gives
// each of them one slice, in which its commands run until one has not
// finished or its code ends. A command that has not finished blocks its
// script and runs again, as decoded, at the start of the script's next
// slice. Scripts are started by name from the script directory (compiled
// scripts, extension "scw"), ended when their code ends, all at once when a
// level is left, or replaced by their abort companions ("<name>_abort") when
// the player skips a sequence.
//
// A start loads the compiled script whole, links its tables (parsestr.h) and
// finds or loads the entities and sounds they name; a slice decodes the
// commands at the program counter and runs each through parse_run_command,
// whose one table of commands (script_commands.cpp) is where commands reach
// the game runtime.
//
// Everything here is re-entrant on the one thread: a command may start
// scripts (appended at the tail, they get their first slice in the same
// walk, or past 1,024 of them in the next), end any script, itself
// included, empty the list, or give another script a slice through the
// animation path. A script that ends while such a call is under way leaves
// the list at once and is released when the outermost call into the engine
// returns; the walk goes on with the successor it had.
#pragma once

#include <cstdint>

#include "parsestr.h"
#include "script_services.h"

// The running list: its head, NULL when no script runs.
extern running_script* script_global_running_script_list;

// Runs the script's decoded command (script_commands.cpp): 1 when it is
// done, 0 when it has not finished (the script blocks on it). Codes that are
// no commands (punctuation, operators, declarations, built-in functions)
// are reported and done.
int parse_run_command(running_script* script);
// Ends a script: it leaves the list and is released (at once, or when the
// outermost call into the engine returns); 1.
int script_terminate_script(running_script* script);
// Ends the running script of that name (exact path); always 1.
int script_unload_script(const char* name);

// `wait`: 0 until game_time has reached the time `ms` after the first call,
// with *wait_end_time 0 between waits.
int parse_wait(float ms, float* wait_end_time);
// `run_script` and `run_setup_script`: starts the script `name` as the
// script's child and waits (0) until the child has ended; a child that
// cannot be started is reported, and the command is done.
int parse_block_for_script(running_script* script, const char* name);

// Resolve a new script's entity and sound tables against the loaded
// entities and sounds, loading what is missing; 0 at the first failure.
int parse_load_all_entities(parsed_entity* list);
int parse_load_all_sounds(parsed_sound* list);
// `load_entity`: resolves the first record of the table whose id is `id`
// with the entity of its name, found in the ring or loaded into it. 0 while
// it does not load (the command tries again); 1 when resolved, or when no
// record has the id (reported).
int script_load_referenced_entity(float id, parsed_entity* list);

// Ends every script without messages and forgets the walk; for tests.
void script_reset(void);
