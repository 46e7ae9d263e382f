// What the script engine imports from the game runtime: every operation a
// level script can perform on the world, and every question it can ask of
// it. This is the engine's one window on the runtime; the commands
// (script_commands.cpp), the built-in functions (parsestr.cpp) and the
// starting of scripts (script.cpp) reach the world through it alone. The
// runtime implements it; the program resolves these calls when it links the
// whole game, and the script engine's own tests link small doubles of them.
//
// A script also uses eight runtime services that the frame and the models
// use too, declared once in runtime_services.h: entity_unload_all,
// entity_set_current_item, varnock_display_text,
// varnock_set_action_button_script, varnock_set_letterbox, sound_load,
// sound_play and sound_add_forget_funct.
//
// Unless said otherwise an operation returns 1 when its work is done and 0
// when it was refused (a NULL entity, with an error line) or, for the
// blocking ones, has not finished yet: a command that gets 0 runs again in
// its script's next slice. Angles are radians unless said otherwise; x, y,
// z are world units.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_entity;
struct win_matrix43;
struct win_rgba;
struct win_rot;
struct win_shader;
struct win_sound_container;

// ---- Entities: loading, the ring of live entities, unloading ----

// Loads the entity file of `entity_name` from the directories given, with
// all it names; the new entity is in no ring. NULL after its messages.
win_entity* entity_io_load(const char* entity_name, const char* entity_pathname,
                           const char* model_pathname, const char* shader_pathname,
                           const char* texture_pathname, const char* animation_pathname,
                           const char* anim_table_pathname, const char* ai_pathname,
                           const char* sound_pathname, float gravity, float x_wind, float z_wind);
// Appends an entity that is in no ring at the tail of the ring of live
// top-level entities, where the frame updates and draws it.
int entity_io_add_to_ring(win_entity* entity);
// The first live entity named `name` (exact), each entity's sub-entities
// searched before the next; NULL when none.
win_entity* entity_io_find_in_ring(const char* name);
// Takes `entity` itself out of the ring, or out of the sub-entity ring that
// holds it: 1 when it was in one, else 0. Unlike a search by name, it never
// takes another entity of the same name.
int entity_io_remove_from_ring(win_entity* entity);
// Unloads an entity that is in no ring any more, with its sub-entities (with
// unload_all 0 the player character's weapons and items are parked); every
// running script forgets it first (script_forget_entity). 1 when every
// release step succeeded.
int entity_unload(win_entity* entity, int32_t unload_all);
// A script slice is a walk over entities, and can run inside another (the
// entity update): these bracket it. While a walk is open an unloaded entity
// leaves the game at once but its memory is released only when the
// outermost walk ends, so no walk is left holding freed memory.
void entity_io_begin_walk(void);
void entity_io_end_walk(void);
// The entity's state values and, in *size, their count (0 and NULL for
// none).
float* entity_state_array(win_entity* entity, int32_t* size);

// ---- Entities: placing and moving ----

// Puts the entity at (x, y, z) with no rotation, stopped, in animation state
// 0 when it has a state table.
int entity_place(win_entity* entity, float x, float y, float z);
// Rotates it about x, then y, then z, keeping its position.
int entity_orient(win_entity* entity, float x, float y, float z);
// Turns it further about its own position; degrees.
int entity_add_rotation(win_entity* entity, float x, float y, float z);
// Moves it along its own axes.
int entity_add_translation(win_entity* entity, float x, float y, float z);
int entity_set_velocity(win_entity* entity, float x, float y, float z);
int entity_set_rot_velocity(win_entity* entity, float x, float y, float z);
// The acceleration (x * x_wind, y * gravity, z * z_wind).
int entity_set_acceleration(win_entity* entity, float x, float y, float z);
int entity_set_mass(win_entity* entity, float mass);
// Seconds; ETERNAL_LIFE_SPAN (win_entity.h) never runs out.
int entity_set_life_span(win_entity* entity, float seconds);
// Queues a turn toward `target` and blocks until it is over.
int entity_turn_to_face_entity(win_entity* entity, win_entity* target);
// Turns the entity toward `target` at once.
int entity_face_entity(win_entity* entity, win_entity* target);
// Hangs `child` on `parent` at joint `joint_idx` (-1 the parent's world
// matrix, -2 the identity, n >= 0 joint n of a character parent's model),
// placed by `orient_trans_matrix`; a joint the parent does not have (any
// n >= 0 for a parent without a model) is refused.
int entity_attach_to_joint(win_entity* parent, win_entity* child, int32_t joint_idx,
                           const win_matrix43* orient_trans_matrix);
// Takes `child` off `parent`, leaving it where it was drawn, as a top-level
// entity.
int entity_detach_from_parent(win_entity* parent, win_entity* child);

// ---- Entities: switches and roles ----

int entity_enable_brain(win_entity* entity, int32_t enable);
// Both kinds of collision, then each kind alone.
int entity_enable_collision(win_entity* entity, int32_t enable);
int entity_enable_environment_collision(win_entity* entity, int32_t enable);
int entity_enable_character_collision(win_entity* entity, int32_t enable);
// 1, the entity the player character; 0 for a NULL entity (a player still
// to come), and 0 for one whose model or state table did not load: that
// level is given up, the player told why and the menu back.
int entity_set_player_character(win_entity* entity);
int entity_set_environment(win_entity* entity);
int entity_set_game_camera(win_entity* camera);
// Aims the camera's first camera target at `target`'s joint `joint_idx`
// (a joint it does not have counts as 0), or at the point (x, y, z) when
// `target` is NULL. A camera without a camera target, an entity that is
// not a camera and a target that is not a character are refused.
int entity_set_camera_target(win_entity* camera, win_entity* target, int32_t joint_idx, float x,
                             float y, float z);
// Shakes the view by the amplitudes x, y, z for `seconds`.
int entity_set_camera_shake(float x, float y, float z, float seconds);
// The player character's footstep sound, loaded from the sound directory;
// NULL: none. 0 after an error line without a player, without a sound slot
// in his state table, or for a file that does not load (with sound on).
int entity_set_player_step_sound(const char* name);
// Does nothing; 1.
int entity_null_command(win_entity* entity, float value);

// ---- Entities: animation ----

// Plays animation state `state` and blocks: 0 while it plays, 1 once when it
// has finished. An entity without a state table is refused.
int entity_play_anim2(win_entity* entity, int32_t state);
// start_next_anim_state on the entity's own state table, root transform,
// rotation velocity and velocity: 1 when a new state started, 0 when the
// request was ignored. An entity without a state table is refused.
int entity_start_next_anim_state(win_entity* entity, int32_t state, int32_t force,
                                 int32_t force_reset);

// ---- Weapons, items, hitpoints and closeups ----

// Holsters the current weapon; blocks while the holster state plays.
int entity_holster_current_weapon(win_entity* entity);
// NULL: the standard weapon (item).
int entity_set_current_weapon(win_entity* entity, win_entity* weapon);
// A weapon's ammunition takes trunc(amount).
int entity_add_hitpoints(win_entity* entity, float amount);
// Shows the entity's closeup and blocks until the player dismisses it.
int entity_display_closeup(win_entity* entity);

// ---- Questions of the built-in functions ----
//
// A NULL entity is refused with an error line and the neutral answer (0, or
// -1.0 for distances).

// The top-level entity nearest to `entity`, other than itself and the
// current environment, within `max_distance` (negative: any); NULL for none.
win_entity* entity_find_closest(win_entity* entity, float max_distance);
// The distance between the two entities' positions; -1.0 for a NULL one.
float entity_calc_dist_to_entity(win_entity* entity_one, win_entity* entity_two);
// 1 when the current environment is named `check_name`.
int entity_check_environment_name(const char* check_name);
// 1 when the entity stands inside a trigger of the current environment that
// is named, or whose hull is named, `check_name`.
int entity_check_trigger_name(win_entity* entity, const char* check_name);
// 1 when the entity's horizontal facing lies within 22.5 degrees of +z, -z,
// +x or -x.
int entity_is_facing_pos_z_dir(win_entity* entity);
int entity_is_facing_neg_z_dir(win_entity* entity);
int entity_is_facing_pos_x_dir(win_entity* entity);
int entity_is_facing_neg_x_dir(win_entity* entity);
// A character's hit points (a weapon's ammunition); -1.0 for another type.
float entity_get_hitpoints(win_entity* entity);
// Where `target` stands around `entity`: 0x2000 ahead, 0x8000 on one side,
// 0x10000 on the other, 0x4000 behind; 0 otherwise or for a NULL entity.
int32_t ai_get_relative_direction_flags(win_entity* entity, win_entity* target);
// 1 when the entity's horizontal facing lies within tolerance.y of the
// heading facing.y (radians about y); a tolerance of 3.1415927 or more
// accepts any facing.
int collide_check_facing_arc(const win_entity* entity, const win_rot* facing,
                             const win_rot* tolerance);

// ---- AI goals and the environment's switches ----

// Appends a goal of `goal_type` aimed at `target_entity` or the point (x,
// y, z), with the extra value `extra` (-1 none), to the entity's goal list;
// for a character it becomes the current goal at once. A type outside 0 to
// 36, which the goal machine does not know, warns. 1.
int ai_add_goal(win_entity* entity, int32_t goal_type, win_entity* target_entity, float x, float y,
                float z, int32_t extra);
// Empties the entity's goal list. 1.
int ai_clear_goals(win_entity* entity);
// Sets the switch of the current environment's collision hull, trigger or
// camera zone named `name` to `value`: 1, or 0 (with an error line) when the
// environment has none of that name.
int collide_enable_collision_data(const char* name, int32_t value);
int collide_enable_trigger_data(const char* name, int32_t value);
int collide_enable_camzone_data(const char* name, int32_t value);

// ---- Presentation: fades, text, fog, attack, game mode ----

// The screen fades (through the light scale) and the overlay fades (black,
// or the colour given); seconds. 1.
int varnock_fade_out(float seconds);
int varnock_fade_in(float seconds);
int varnock_overlay_fade_out(float seconds);
int varnock_overlay_fade_in(float seconds);
int varnock_overlay_fade_out_color(float seconds, uint8_t red, uint8_t green, uint8_t blue);
int varnock_overlay_fade_in_color(float seconds, uint8_t red, uint8_t green, uint8_t blue);
// Whether the player may attack (0 shows the no-attack icon). 1.
int varnock_set_attack_enabled(int32_t flag);
// Linear fog from `start` to `end` in `color` (red, green, blue 0 to 1;
// alpha unused), or none with `enable` 0; 0 when the device refuses it.
int varnock_set_fog(int32_t enable, const win_rgba* color, float start, float end);
// "splash", "explore", "look", "movie", "menu": 1; any other name: 0.
int varnock_change_game_mode(const char* name);

// ---- Shaders ----

// Shader `shader_slot` of a character's shader array; NULL for an entity
// that is not a character or has no shaders, and for a slot outside them.
win_shader* entity_shader(win_entity* entity, int32_t shader_slot);
// Starts animation state `state` of the shader's state table; 0 for a NULL
// shader.
int shader_play_anim(win_shader* shader, int32_t state);
// The same, blocking: 0 while the animation plays, 1 once when it has
// finished.
int shader_play_anim2(win_shader* shader, int32_t state);

// ---- Sounds ----

// 1 while the sound module plays sounds: sound is on in the configuration and
// an output opened. While it is 0 every sound operation does nothing and
// succeeds, and sound_load gives NULL.
int sound_is_enabled(void);
// The first loaded sound named `name` (case-sensitive), or NULL.
win_sound_container* sound_find(const char* name);
// Stops a loaded sound, tells the holders of sound pointers to forget it
// (sound_add_forget_funct) and frees it with its data.
int sound_unload(win_sound_container* sound);
// Ends the sound on every channel it plays on.
int sound_stop(win_sound_container* sound);
// Volume 0 .. 127 and, in 2D mode, pan (`extra_info`) 0 .. 127 (left to
// right) of the sound's channel; a sound without a channel gets one, its data
// attached and not started.
int sound_set_volume(win_sound_container* sound, int32_t volume, int32_t extra_info);
