// The script engine as the other subsystems see it: the one header a lower
// subsystem includes to start level scripts and to run them (once per frame,
// or one slice at once when an animation state starts its play script), and
// the hooks by which the game runtime tells the running scripts that an
// entity or a sound is gone. The program resolves these calls when it links
// the whole game; the lower subsystems' own tests link small doubles of
// them instead.
#pragma once

#include <cstdint>

struct running_script;
struct win_entity;
struct win_sound_container;

// Starts the compiled script `name` (no directory, no extension) from
// game_globals.script_pathname. Returns -1.0 on failure, else how far
// game_time advanced during the call; a script of the same path (compared
// without regard to case) that already runs counts as success and starts
// nothing. `out`, when given, receives the new script or NULL.
float script_initiate_script(const char* name, running_script** out);
// One slice for every running script; returns how far game_time advanced
// during the walk, never below 0.
float script_update_script(void);
// One slice of one script, also inside a command of another script: its
// commands run until one has not finished or its code ends. 0 when a
// command's strings could not be copied during it, else 1. A script that
// ends in it is released when the outermost call into the engine returns:
// the caller must not touch it afterwards.
int parse_run_script(running_script* script);
// Ends every running script; 1 when every end succeeded.
int script_cleanup_script_list(void);
// Replaces each running script that has an abort companion by the companion;
// scripts without one keep running. Returns 1.
int script_abort_all_scripts(void);

// Called just before the runtime releases an entity (each sub-entity too)
// or a sound: no running script's table resolves to it any more, until a
// start or a load resolves the name again. The engine registers
// script_forget_sound with the sound module (sound_add_forget_funct) when a
// script first takes sounds.
void script_forget_entity(const win_entity* entity);
void script_forget_sound(const win_sound_container* sound);
