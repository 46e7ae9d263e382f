// The game runtime as the lower subsystems see it: the per-frame update of
// the entities, their loading and unloading, the operations that script
// commands perform on entities and the queries that the script engine's
// built-in functions ask of them, the weapons and items that the animation
// state machine browses, the AI goals, collision and its switches,
// the player-character scene module (scene, splash, fades, console text,
// fog, action-button script, letterbox, game mode, start-up and final
// clean-up), shader animation, the tail animations and the sound module's
// start, its configuration section, its loaded sounds, their playing and the
// registration of holders of sound pointers. This is the one runtime header
// the lower subsystems include; the program resolves these calls
// when it links the whole game, and the lower subsystems' own tests link
// small doubles of them instead.
//
// The operations of script commands follow one convention: 1 when the work
// is done, 0 when it was refused (a NULL entity, with an error line) or, for
// the blocking ones, has not finished yet; a command that gets 0 runs again
// in its script's next slice.
#pragma once

#include <cstdint>
#include <cstdio>

struct texture_container;
struct win_entity;
struct win_matrix43;
struct win_rgba;
struct win_rot;
struct win_shader;
struct win_sound_container;
struct win_vect3;

// ai_goal_type: the goal codes shared by the script command add_new_goal,
// the AI description files and the goal machine, 0 to 36. Codes without a
// name have no behaviour of their own.
enum ai_goal_type : int32_t {
    AI_GOAL_IDLE = 0,
    AI_GOAL_FACE_AND_WALK_TO_POINT = 1,
    AI_GOAL_WALK_TO_POINT = 2,
    AI_GOAL_HUNT_TARGET = 4,
    AI_GOAL_WAIT = 7,
    AI_GOAL_ROAM_NODES = 8,
    AI_GOAL_SEEK_PLAYER = 10,
    AI_GOAL_TURN_TO_POINT = 12,
    AI_GOAL_ATTACK = 13,
    AI_GOAL_TURN_TO_TARGET = 18,
    AI_GOAL_APPROACH_TARGET = 19,
    AI_GOAL_FACE_ATTACK_SECTOR = 20,
    AI_GOAL_GUARD_POINT = 21,
    AI_GOAL_HUNT_TARGET_TO_WEAKNESS = 22,
    AI_GOAL_PICK_RANDOM_NODE = 23,
    AI_GOAL_WALK_TO_NODE = 24,
    AI_GOAL_WALK_STRAIGHT_TO_NODE = 25,
    AI_GOAL_DRIFT_TO_POINT = 26,
    AI_GOAL_BACK_TO_POINT = 28,
    AI_GOAL_SIDESTEP_TO_POINT = 29,
    AI_GOAL_ATTACK_OR_ROAM = 31,
    AI_GOAL_RUN_TO_NODE = 32,
    AI_GOAL_RUN_TO_POINT = 33,
    AI_GOAL_ATTACK_FROM_NODE = 34,
    AI_GOAL_RETREAT_FROM_POINT = 35,
    AI_GOAL_GO_TO_POINT_ALERT = 36,
    AI_GOAL_TYPE_COUNT = 37,
};

// ---- Entities ----

// Head of the ring of loaded top-level entities (NULL when empty) and its
// member count.
extern win_entity* entity_io_global_win_entity_list;
extern int32_t entity_io_global_win_entity_list_size;

// Updates every entity of the ring once: 1 after a walk, 0 for an empty ring.
int entity_update_all(void);
// Unloads every entity of the ring (with 0 those flagged persistent stay)
// and stops and unloads the sounds; 1 when every unload succeeded.
int entity_unload_all(int32_t unload_all);
// Switches the entity's animation state table to `state` (an index); 1, or
// 0 for a NULL entity.
int entity_play_anim(win_entity* entity, int32_t state);

// The first entity named `name` (exact) in the ring from `ring_head`, each
// entity's sub-entities searched before the next; NULL when none.
win_entity* entity_io_find_entity(win_entity* ring_head, const char* name);
// Loads the entity file of `entity_name` from the directories given, with
// all it names; the new entity is in no ring. NULL after its messages.
win_entity* entity_io_load(const char* entity_name, const char* entity_pathname,
                           const char* model_pathname, const char* shader_pathname,
                           const char* texture_pathname, const char* animation_pathname,
                           const char* anim_table_pathname, const char* ai_pathname,
                           const char* sound_pathname, float gravity, float x_wind, float z_wind);

// The entity's state values and, in *size, their count (0 and NULL for
// none).
float* entity_state_array(win_entity* entity, int32_t* size);

// Unloads an entity that is in no ring any more, with its sub-entities (with
// unload_all 0 the player character's weapons and items are parked); every
// running script forgets it first (script_forget_entity). 1 when every
// release step succeeded.
int entity_unload(win_entity* entity, int32_t unload_all);
// A walk over entities (the entity update, the rendering, a script slice,
// which can run inside the update) is bracketed by these; walks nest. While
// one is open an unloaded entity leaves the game at once but its memory is
// released only when the outermost walk ends, so no walk is left holding
// freed memory.
void entity_io_begin_walk(void);
void entity_io_end_walk(void);
// Takes `entity` itself out of the ring from *ring_head, or out of the
// sub-entity ring that holds it, searched as entity_io_find_entity searches
// but by identity, and lowers that ring's count; 1 when it was in one, else
// 0. Unlike a search by name, it never takes another entity of the same name.
int entity_unlink(win_entity** ring_head, int32_t* ring_size, win_entity* entity);

// ---- Entity operations of the script commands ----
//
// A NULL entity is refused (error line, 0). Angles are radians unless said
// otherwise; x, y, z are world units.

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
int entity_enable_brain(win_entity* entity, int32_t enable);
// Both kinds of collision, then each kind alone.
int entity_enable_collision(win_entity* entity, int32_t enable);
int entity_enable_environment_collision(win_entity* entity, int32_t enable);
int entity_enable_character_collision(win_entity* entity, int32_t enable);
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
// Hangs `child` on `parent` at joint `joint_idx` (-1 the parent's world
// matrix, -2 the identity, n >= 0 joint n of a character parent's model),
// placed by `orient_trans_matrix`; a joint the parent does not have (any
// n >= 0 for a parent without a model) is refused.
int entity_attach_to_joint(win_entity* parent, win_entity* child, int32_t joint_idx,
                           const win_matrix43* orient_trans_matrix);
// Takes `child` off `parent`, leaving it where it was drawn, as a top-level
// entity.
int entity_detach_from_parent(win_entity* parent, win_entity* child);
// Plays animation state `state` and blocks: 0 while it plays, 1 once when it
// has finished. An entity without a state table is refused.
int entity_play_anim2(win_entity* entity, int32_t state);
// start_next_anim_state on the entity's own state table, root transform,
// rotation velocity and velocity: 1 when a new state started, 0 when the
// request was ignored. An entity without a state table is refused.
int entity_start_next_anim_state(win_entity* entity, int32_t state, int32_t force,
                                 int32_t force_reset);
// Shader `shader_slot` of a character's shader array; NULL for an entity
// that is not a character or has no shaders, and for a slot outside them.
win_shader* entity_shader(win_entity* entity, int32_t shader_slot);
// Queues a turn toward `target` and blocks until it is over.
int entity_turn_to_face_entity(win_entity* entity, win_entity* target);
// Turns the entity toward `target` at once.
int entity_face_entity(win_entity* entity, win_entity* target);
// The player character's footstep sound, loaded from the sound directory;
// NULL: none.
int entity_set_player_step_sound(const char* name);
// Does nothing; 1.
int entity_null_command(win_entity* entity, float value);

// Weapons, items, hitpoints and closeups.
//
// Holsters the current weapon; blocks while the holster state plays.
int entity_holster_current_weapon(win_entity* entity);
// NULL: the standard weapon (item).
int entity_set_current_weapon(win_entity* entity, win_entity* weapon);
// A weapon's ammunition takes trunc(amount).
int entity_add_hitpoints(win_entity* entity, float amount);
// Shows the entity's closeup and blocks until the player dismisses it.
int entity_display_closeup(win_entity* entity);

// Queries of the script's built-in functions. A NULL entity is refused with
// an error line and the neutral answer (0, or -1.0 for distances).
//
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

// ---- Weapons and items ----

// The character's next or previous weapon sub-entity after the one selected,
// in the order of its sub-entities (wrapping round); NULL when it has none.
win_entity* entity_find_next_weapon(win_entity* entity);
win_entity* entity_find_prev_weapon(win_entity* entity);
// The same for its item sub-entities.
win_entity* entity_find_next_item(win_entity* entity);
win_entity* entity_find_prev_item(win_entity* entity);
// Makes `item` (NULL: the standard one) the character's current item; for
// the player it also becomes the selected item with its icon. 1, or 0 after
// an error line.
int entity_set_current_item(win_entity* entity, win_entity* item);
// The heads-up display icon of an entity: the texture named after it with
// "_icon" appended, or the default icon.
texture_container* entity_retrieve_icon_texture(win_entity* entity);
// Holds `texture` (may be NULL) in the heads-up display slot `*slot` of
// game_globals with one counted reference, giving back the one the slot held:
// an uncounted slot would be swept from the texture cache under the display.
void entity_weapon_hold_texture(texture_container** slot, texture_container* texture);

// ---- AI and collision ----

// The attack kind (reaction bits) of the first attack sector of the
// character's AI that holds `target`, after equipping that sector's weapon;
// -1 or -2 when no sector applies.
int32_t ai_find_attack_sector(win_entity* entity, win_entity* target);
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

// Where `target` stands around `entity`: 0x2000 ahead, 0x8000 on one side,
// 0x10000 on the other, 0x4000 behind; 0 otherwise or for a NULL entity.
int32_t ai_get_relative_direction_flags(win_entity* entity, win_entity* target);
// 1 when the entity's horizontal facing lies within tolerance.y of the
// heading facing.y (radians about y); a tolerance of 3.1415927 or more
// accepts any facing.
int collide_check_facing_arc(const win_entity* entity, const win_rot* facing,
                             const win_rot* tolerance);

// ---- The player-character scene module ----

// Loads the interface textures; returns 1.
int varnock_one_time_scene_init(void);
// One 3D frame between begin and end of scene: 0, or E_FAIL when the scene
// could not begin or end.
int32_t varnock_render_scene(void);
// The splash screen over the whole screen; 1 drawn, 0 not.
int varnock_render_splash(void);
void varnock_update_screen_fade(void);
void varnock_update_overlay_fade(void);
void varnock_draw_text(void);
void varnock_clear_display_text(void);
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
// Console text at (x, y) in 640 x 480 units for `seconds`; "~" starts a new
// line. 0 when x > 639 or y > 479.
int varnock_display_text(uint32_t x, uint32_t y, uint8_t red, uint8_t green, uint8_t blue,
                         int32_t seconds, const char* text);
// Linear fog from `start` to `end` in `color` (red, green, blue 0 to 1;
// alpha unused), or none with `enable` 0; 0 when the device refuses it.
int varnock_set_fog(int32_t enable, const win_rgba* color, float start, float end);
// NULL, "none" or "NONE" clear the script; returns 1.
int varnock_set_action_button_script(const char* name);
int varnock_set_letterbox(int32_t on);
// "splash", "explore", "look", "movie", "menu": 1; any other name: 0.
int varnock_change_game_mode(const char* name);
// Unloads every entity, releases the textures, ends sound and input; 0.
int varnock_final_cleanup(void);

// ---- Shader animation ----

// Starts animation state `state` of the shader's state table; 0 for a NULL
// shader.
int shader_play_anim(win_shader* shader, int32_t state);
// The same, blocking: 0 while the animation plays, 1 once when it has
// finished.
int shader_play_anim2(win_shader* shader, int32_t state);

// ---- The tail animations ----

// Reads the three tail animations from the animation directory; the last
// row that loads becomes the current one. 1 when all three loaded.
int vk_tail_load(void);
// Releases the loaded tail animations; the AND of the releases.
int vk_tail_free(void);

// ---- Sound ----

int sound_set_enabled(void);
// Opens the output and the channels; disabled: a notice and 1.
int sound_init(void);
// The "[sound]" section of the configuration file.
int sound_write_config(FILE* session_file);
int sound_read_config(FILE* session_file, int16_t* line_cnt);
// The first loaded sound named `name` (case-sensitive), or NULL.
win_sound_container* sound_find(const char* name);
// Loads directory\name (ADPCM and MP3 decompressed now) as a new sound at the
// end of the list; is_3d 1 flags it as a 3D sound. NULL on failure or while
// disabled. A second load of one file gives a second sound: callers that
// share sounds look for them with sound_find first.
win_sound_container* sound_load(const char* name, int32_t is_3d, const char* directory);
// Plays a loaded sound `loop_count` times (0: until stopped). A 3D-flagged
// sound given a `position` in world units (and a `velocity`) sounds from
// there as the current camera hears it; any other sound plays at the
// listener. 1 when it started.
int sound_play(win_sound_container* sound, const win_vect3* position, const win_vect3* velocity,
               int32_t loop_count);
// Whoever keeps pointers to loaded sounds beyond a call (a running script's
// sound table, an animation state table's effect slots) registers a function
// that clears them: sound_unload calls each with the sound before it frees
// it. Registering twice is once; at most SOUND_MAX_FORGET_FUNCTS. 1, or 0
// when the table is full. Registrations outlive sound_reset.
enum { SOUND_MAX_FORGET_FUNCTS = 8 };
typedef void (*sound_forget_funct)(const win_sound_container* sound);
int sound_add_forget_funct(sound_forget_funct forget);
void sound_remove_forget_funct(sound_forget_funct forget);
// Stops a loaded sound, tells the holders of sound pointers to forget it
// (sound_add_forget_funct) and frees it with its data.
int sound_unload(win_sound_container* sound);
// Plays a loaded sound `loop_count` times (0: until stopped). A 3D-flagged
// sound given a `position` (and a `velocity`) sounds from there as the
// current camera hears it; any other sound plays at the listener. 1 when it
// started.
int sound_play(win_sound_container* sound, const win_vect3* position, const win_vect3* velocity,
               int32_t loop_count);
// Ends the sound on every channel it plays on.
int sound_stop(win_sound_container* sound);
// Volume 0 .. 127 and, in 2D mode, pan (`extra_info`) 0 .. 127 (left to
// right) of the sound's channel; a sound without a channel gets one, its data
// attached and not started.
int sound_set_volume(win_sound_container* sound, int32_t volume, int32_t extra_info);
