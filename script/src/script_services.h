// The script engine as the frame sees it: the one header a lower subsystem
// includes to start level scripts and to run them once per frame. The
// program resolves these calls when it links the whole game; the frame's own
// tests link small doubles of them instead.
#pragma once

#include <cstdint>

struct running_script;

// Starts the compiled script `name` (no directory, no extension) from
// game_globals.script_pathname. Returns -1.0 on failure, else how far
// game_time advanced during the call; a script of the same path (compared
// without regard to case) that already runs counts as success and starts
// nothing. `out`, when given, receives the new script or NULL.
float script_initiate_script(const char* name, running_script** out);
// One slice for every running script; returns how far game_time advanced
// during the walk, never below 0.
float script_update_script(void);
// Ends every running script; 1 when every end succeeded.
int script_cleanup_script_list(void);
// Replaces each running script that has an abort companion by the companion;
// scripts without one keep running. Returns 1.
int script_abort_all_scripts(void);
