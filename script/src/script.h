// The script run model: every started level script sits in one circular list
// of running scripts; once per exploration frame script_update_script gives
// each of them one slice, in which its commands run until one has not
// finished or its code ends. Scripts are started by name from the script
// directory (compiled scripts, extension "scw"), ended when their code ends,
// all at once when a level is left, or replaced by their abort companions
// ("<name>_abort") when the player skips a sequence.
//
// A start loads the compiled script whole and links its tables (parsestr.h);
// a slice decodes its commands at the program counter. Running the commands
// comes with the game runtime: until then every command is done as soon as
// it is decoded, so a script runs to its end in its first slice.
#pragma once

#include <cstdint>

#include "parsestr.h"
#include "script_services.h"

// The running list: its head, NULL when no script runs.
extern running_script* script_global_running_script_list;

// One slice of one script; 0 when a string copy failed during it.
int parse_run_script(running_script* script);
// Ends a script: releases its code and command, unlinks and frees it.
int script_terminate_script(running_script* script);
// Ends the running script of that name (exact path); always 1.
int script_unload_script(const char* name);

// Ends every script without messages and forgets the walk; for tests.
void script_reset(void);
