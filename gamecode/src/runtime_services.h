// The game runtime as the lower subsystems see it: the per-frame update of
// the entities, their loading and unloading, the queries that the script
// engine's built-in functions ask of entities, the weapons and items that the
// animation state machine browses, the AI and collision, the
// player-character scene module (scene, splash, fades, console text,
// action-button script, letterbox, start-up and final clean-up), the tail
// animations and the sound module's start, its configuration section, its
// loaded sounds, playing them and the registration of holders of sound
// pointers. This is the one runtime header the lower subsystems include; the
// program resolves these calls when it links the whole game, and the lower
// subsystems' own tests link small doubles of them instead.
#pragma once

#include <cstdint>
#include <cstdio>

struct texture_container;
struct win_entity;
struct win_sound_container;
struct win_rot;
struct win_vect3;

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

// ---- AI and collision ----

// The attack kind (reaction bits) of the first attack sector of the
// character's AI that holds `target`, after equipping that sector's weapon;
// -1 or -2 when no sector applies.
int32_t ai_find_attack_sector(win_entity* entity, win_entity* target);

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
// NULL, "none" or "NONE" clear the script; returns 1.
int varnock_set_action_button_script(const char* name);
int varnock_set_letterbox(int32_t on);
// Unloads every entity, releases the textures, ends sound and input; 0.
int varnock_final_cleanup(void);

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
