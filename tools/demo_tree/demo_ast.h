// Animation state tables for the demo tree and for tests, built as records
// and written in the text form that the game's state table loader reads
// (anim_io.h).
#pragma once

#include "win_ast.h"

// The states of the guard's table (the first four), of a fighter's (up to
// DEMO_AST_FIGHTER_STATES) and of the hero's (all).
enum {
    DEMO_AST_STAND,
    DEMO_AST_WALK,
    DEMO_AST_STRIKE,
    DEMO_AST_HURT,
    DEMO_AST_GUARD_STATES,
    DEMO_AST_TURN_LEFT = DEMO_AST_GUARD_STATES,
    DEMO_AST_TURN_RIGHT,
    DEMO_AST_WALK_LEFT,
    DEMO_AST_WALK_RIGHT,
    DEMO_AST_FALL,
    DEMO_AST_LIE,
    DEMO_AST_FIGHTER_STATES,
    DEMO_AST_DRAW_SWORD = DEMO_AST_FIGHTER_STATES,
    DEMO_AST_DRAW_SLING,
    DEMO_AST_WIELD,
    DEMO_AST_HOLSTER_SWORD,
    DEMO_AST_HOLSTER_SLING,
    DEMO_AST_LOWER_SLING,
    DEMO_AST_UNAIM,
    DEMO_AST_STOW,
    DEMO_AST_RAISE_SLING,
    DEMO_AST_AIM_SLING,
    DEMO_AST_SHOOT,
    DEMO_AST_RELOAD_SLING,
    DEMO_AST_HERO_STATES
};

// The guard's state table, named `name`, for the demo figure (demo_model.h)
// stored under the model name `model_name`, with one sound, "step.wav", and
// the animations "idle" and "wave":
//   state 0 "stand"   plays idle at 1.5 times its pace, turning only about
//                     y, the tail idling; "u" leads to walk, "c" to strike
//   state 1 "walk"    plays 0.25 s to 1 s of wave with its step sound and
//                     the script "guard_walks", moving at 10 units/s along
//                     z; "u" walks on, the end of the stretch stands
//   state 2 "strike"  plays wave as an attack of 12, a hard melee blow from
//                     the front, forced to restart, blocked into "hurt" 40
//                     times in 100; "u b" (up with b) strikes again
//   state 3 "hurt"    plays idle backwards, a fatal hit from behind
// and two collision joint tables, "body" (the figure's joints 0 to 1) and
// "arm" (joint 1). Every keyword group of the file has a value in it.
// NULL after a log line.
win_ast* demo_ast_make_guard(const char* name, const char* model_name);

// How fast a fighter turns while a turning key is held, in radians a second.
constexpr float DEMO_AST_TURN_PACE = 1.5f;

// A fighter's table (the demo level's guard): the guard's four states, with
// strike going straight with the sound "swing.wav" and hurt a hit from the
// front that cannot be hit again while it plays, a stagger (the first 0.2 s
// of fall); and more that the player's left and right keys (or the AI's)
// enter from standing, walking or turning:
//   state 4 "turn_left"   plays idle, turning about y at -DEMO_AST_TURN_PACE
//   state 5 "turn_right"  the same at +DEMO_AST_TURN_PACE
//   state 6 "walk_left"   walks as walk does, turning as turn_left does
//   state 7 "walk_right"  walks as walk does, turning as turn_right does
// each going on while its keys are held ("l", "r", "u l", "u r"), into walk
// with "u", else standing; and the fatal hit that fells it:
//   state 8 "fall"        a fatal hit that downs it: plays the animation
//                         "fall" whole with the sound "fall.wav", then lies
//   state 9 "lie"         down and still: the end of fall, over and over
// Its animations are `anim_prefix` followed by "idle", "wave" and "fall".
// NULL after a log line.
win_ast* demo_ast_make_fighter(const char* name, const char* model_name, const char* anim_prefix);

// The hero's table: a fighter's, and the states of his two weapons, a sword
// (melee 1) and a sling (projectile 1), each playing a quarter of a second of
// idle unless it says otherwise:
//   state 10 "draw_sword", 11 "draw_sling"    drawing_1 of each kind, then
//   state 12 "wield"                          drawing_2: the chosen weapon
//                                             comes to hand; then stand
//   state 13 "holster_sword", 14 "holster_sling"   holstering_1 of each
//                                             kind, then stow
//   state 15 "lower_sling"                    holstering_1 of the sling from
//                                             aiming, then
//   state 16 "unaim"                          lowering the sling, then stow
//   state 17 "stow"                           holstering_2: the weapon goes
//                                             away; then stand
//   state 18 "raise_sling"                    raising the sling, then aim
//   state 19 "aim_sling"                      aiming it, on and on; "u"
//                                             walks, "l" and "r" turn
//   state 20 "shoot"                          an attack of 5 with it, half a
//                                             second of wave with the sound
//                                             "twang.wav"; then aim
//   state 21 "reload_sling"                   reloading it, half a second;
//                                             then aim
// NULL after a log line.
win_ast* demo_ast_make_hero(const char* name, const char* model_name, const char* anim_prefix);

// A walking character's state table, named `name`, built as the loaders
// leave one, for the runtime's tests and benchmarks: one animation slot
// holding `anim` (its reference passes to the table, also on failure) under
// the name "walk", and two states that hand over to each other at their
// end: DEMO_RELAY_LONG plays the first 1000 ms of it, DEMO_RELAY_SHORT the
// first 500 ms, each with its root motion whole. The table stands in no
// state yet. NULL after a log line.
enum { DEMO_RELAY_LONG = 0, DEMO_RELAY_SHORT = 1 };
win_ast* demo_ast_make_relay(const char* name, mow_anim* anim);

// Writes `table` as a state table text file at `path` (a path of the
// game's form). 1, or 0 after a log line, with nothing left at `path`,
// when the file cannot be written or the table holds what the file has no
// way to say or what would not read back as itself: a name that is no line
// of its own (or "end", or would not pass the collision-table pass), a
// joint table or play script name that is no word, a state out of its
// place in the state list or without a next state, a transition without a
// target, flag or mask bits that no keyword or input token gives, a time
// that whole seconds do not give back, an attack value without the attack
// flag, a block value without its state, a combat or vulnerable joint table
// in a table without joint tables. Joint indexes are written as numbers;
// the reserved words, aux_str and what lives only at run time (slots, the
// current state, the input word, the play state) are no part of the file.
int demo_ast_write(const char* path, const win_ast* table);
