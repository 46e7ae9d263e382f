// The animation state machine: a character (or an animated shader) walks the
// states of its animation state table (win_ast.h). A state plays a stretch of
// one animation at its own speed; it ends when the stretch is used up, and a
// transition whose condition mask equals the table's whole input word, or
// else the state's next_anim_index, leads on.
//
// Per frame the runtime's driver does, for each character with a table:
//   1. the player: anim_interpret_browse_input; every character:
//      anim_interpret_reaction_input, anim_interpret_aim_input and the
//      transition step anim_interpret_input, in this order;
//   2. while frame time is left: anim_calc_time_advance tells how much of it
//      the current state consumes and the animation time reached;
//      anim_accum_root_motion gives the root motion of that slice; when the
//      state ran out (WIN_AST_END_OF_ANIM) and the transition step takes no
//      transition, start_next_anim_state enters the state's next_anim_index
//      (force 1, silent unless the entity has its brain flag); the end bit is
//      cleared after each slice, so a long frame may run through several
//      states;
//   3. the input word is cleared unless WIN_AST_INPUT_HOLD is set.
// A state's sound and script are requested through the sound and script
// services; the weapon, item and AI questions go to the runtime.
//
// Everything here runs on the main thread. The interpreters' edge latches
// serve the one player; the browse mode and the selected weapon and item are
// the player's in game_globals.
#pragma once

#include <cstdint>

#include "dxinput.h"
#include "win_ast.h"
#include "win_geo.h"

struct win_entity;

// The bits of the input word (the action mask) that the interpreters read.
enum : int32_t {
    ANIM_INPUT_ATTACK = ACTION_C_BUTTON,
    ANIM_INPUT_AIM = ACTION_X_BUTTON,
    ANIM_INPUT_USE_ITEM = ACTION_Y_BUTTON,
    ANIM_INPUT_NEXT = ACTION_L1_BUTTON,
    ANIM_INPUT_PREVIOUS = ACTION_R1_BUTTON,
    ANIM_INPUT_TOGGLE = ACTION_M_BUTTON,  // browse weapons or items
    ANIM_INPUT_START = ACTION_START_BUTTON,
};

// Bits of a state's anim_type_flags that the state machine reads, named after
// the keywords of the state table's text file.
enum : int32_t {
    ANIM_TYPE_AIMING = 0x20,
    ANIM_TYPE_CHARGING = 0x40,  // sought while a weapon charges; no keyword sets it
    ANIM_TYPE_ATTACKING = 0x80,
    ANIM_TYPE_DRAWING_1 = 0x100,
    ANIM_TYPE_DRAWING_2 = 0x200,
    ANIM_TYPE_HOLSTERING_1 = 0x400,
    ANIM_TYPE_HOLSTERING_2 = 0x800,
    ANIM_TYPE_RELOAD = 0x1000,
    ANIM_TYPE_IDLE_ANIM = 0x10000,
    ANIM_TYPE_RAISING_WEAPON = 0x20000,
    ANIM_TYPE_FORCE_RESET = 0x80000,  // entering it restarts even the same animation
};

// Bits of a state's reaction_flags that the state machine reads.
enum : int32_t {
    ANIM_REACTION_STANDARD_1 = 0x1,
    ANIM_REACTION_STANDARD_2 = 0x2,
    ANIM_REACTION_STANDARD_3 = 0x4,
    ANIM_REACTION_MELEE_1 = 0x8,
    ANIM_REACTION_MELEE_2 = 0x10,
    ANIM_REACTION_MELEE_3 = 0x20,
    ANIM_REACTION_PROJECTILE_1 = 0x40,
    ANIM_REACTION_PROJECTILE_2 = 0x80,
    ANIM_REACTION_PROJECTILE_3 = 0x100,
    ANIM_REACTION_FATAL = 0x1000,
    ANIM_REACTION_FROM_AIMING = 0x20000,
};

// The `want` of the state pickers that matches any reaction flags, and the
// one that matches any without ANIM_REACTION_FATAL.
enum : int32_t { ANIM_WANT_ANY = -1, ANIM_WANT_ANY_NOT_FATAL = -2 };

// The weapon values the attack choice reads and changes: the fields of the
// weapon's weapon_data, by their names.
struct anim_weapon_data {
    int32_t clip_size;
    int32_t shots_fired;  // set to 0 when a reload state plays
    float charge_rate;    // per second
    float max_charge;     // above 0: the weapon charges while the attack is held
    float charge;         // grows while it charges
    int32_t ammo_count;
};

// What the attack and aim choices need of a character beyond its entity
// record. The runtime's driver fills it from the character payload before the
// two interpreters run, and afterwards copies weapon_data's
// shots_fired and charge back to the weapon in hand.
struct anim_character {
    win_entity* current_weapon;    // the weapon in hand; NULL: none
    anim_weapon_data weapon_data;  // current_weapon's
    // The target entity of the AI's current goal; NULL when the character
    // has no AI, no goal, or a goal that names nobody (then the player is
    // the target).
    win_entity* goal_target;
};

// Advances the current state of `win_ast_ptr` by at most `time_slice` ms of
// real time. *time_advance gets the part of the slice the state consumed,
// *interpolation_time the time on the animation's time line to sample. When
// the state's stretch is used up within the slice, the interpolation time is
// the stretch's end, the input word gets WIN_AST_END_OF_ANIM, the progress
// starts again at 0 and a finishing blocking play (anim_blocking_state 1)
// becomes finished (2). A state whose stretch is empty consumes the whole
// slice and ends in it; a slice of 0 samples the current position. The
// consumed time never lies outside 0 .. time_slice: a state whose
// anim_time_multiplier is not above 0 plays at 1.0, and a table whose current
// state does not exist consumes the slice with an error line.
void anim_calc_time_advance(win_ast* win_ast_ptr, float time_slice, float* time_advance,
                            float* interpolation_time);

// Switches the table to state `new_anim_index`: its animation becomes current
// and the entity's extra velocities follow it (*extra_movement_rot_vel
// becomes the state's extra_rotation_velocity; in *extra_movement_vel the
// previous state's extra_translation_velocity is exchanged for the new one's,
// other contributions stay). When the new state plays the animation that was
// playing, without `force` and without ANIM_TYPE_FORCE_RESET, the animation
// runs on and the result is 0. Otherwise the state starts from its
// beginning (result 1): its sound plays at the entity unless `silent`,
// *last_win_xform becomes the root pose at the stretch's begin scaled by the
// state's multipliers (the identity without an animation), and last its
// play_script is started and given its first slice at once. `entity` (its
// position places the sound) may be NULL: the sound then plays at the
// listener. 0 after an error line for a missing argument or a state the table
// does not have.
int start_next_anim_state(win_entity* entity, win_ast* win_ast_ptr, win_xform* last_win_xform,
                          win_vect3* extra_movement_rot_vel, win_vect3* extra_movement_vel,
                          int32_t new_anim_index, int32_t silent, int32_t force);

// The root motion of one slice, after anim_calc_time_advance: samples the
// current animation's root track at `interpolation_time`, scales it by the
// current state's multipliers and adds to *delta_xform how far it moved from
// *last_win_xform (translation, rotation and scale), then remembers the new
// pose in *last_win_xform unless the state has just ended (the next state's
// start puts its own first pose there). Returns the table's
// WIN_AST_END_OF_ANIM bit; 0 without a current animation, with nothing
// added.
int32_t anim_accum_root_motion(const win_ast* win_ast_ptr, float interpolation_time,
                               win_xform* last_win_xform, win_xform* delta_xform);

// The transition step: the first transition of the current state, in list
// order, whose condition_mask equals the table's whole input word is played
// through entity_play_anim. 1 when one was taken; 0 when none matched, and 0
// after an error line for an entity without a table.
int anim_interpret_input(win_entity* entity);

// The player's browsing: the next or previous weapon or item, using the item
// (its script "<item>_use"), pausing the frame clock while start is held and
// switching between weapons and items. Nothing happens while the current
// state aims, draws or holsters.
void anim_interpret_browse_input(win_entity* entity);

// Weapon use: releasing a charged weapon, reloading a full clip, attacking
// with the weapon in hand, with the character's own attacks (chosen by its AI
// for another character) or with the player's standard attacks, and charging.
// `character` may be NULL (no weapon, no goal); its weapon_data is written.
void anim_interpret_reaction_input(win_entity* entity, anim_character* character);

// Drawing and holstering the weapon on the aim input. `character` may be NULL
// (no weapon in hand).
void anim_interpret_aim_input(win_entity* entity, const anim_character* character);

// The state pickers over the entity's table: a state matches
// anim_find_state_by_type when its anim_type_flags equal `key` and its
// reaction_flags equal `want`, anim_find_state_by_flags when they hold every
// bit of `key` and of `want`; a `want` of ANIM_WANT_ANY or
// ANIM_WANT_ANY_NOT_FATAL matches as it says. Of several matches, in state
// order, each later one takes the place of the one before at even odds. The
// state's index, or -1 when none matches.
int32_t anim_find_state_by_type(win_entity* entity, int32_t key, int32_t want);
int32_t anim_find_state_by_flags(win_entity* entity, int32_t key, int32_t want);

// A copy of `win_ast_ptr` for a duplicated entity or shader, deep: its own
// names, states with every property, transitions, scripts and joint tables;
// its animation slots share the source's animations (one more reference
// each) and its sound slots the source's sounds. It stands in the source's
// current state with that state's animation, at the beginning, with an empty
// input word and no blocking play. NULL after an error line.
win_ast* anim_create_duplicate_ast(const win_ast* win_ast_ptr);

// The interpreters' edge latches back to their start; for tests.
void anim_reset(void);
