// The game runtime as the frame and the models see it: what the main loop
// runs each frame (the entity update, the scene, the fades, the console
// text), what start-up and shut-down call (the scene's textures, sound, the
// tail animations, the final clean-up), the sound section of the
// configuration file, what the menu and its dialogs do to a level (unload
// it, the action-button script, the letterbox), and what the animation
// state machine asks of the runtime (playing states, browsing weapons and
// items, attack sectors, sounds). The program resolves these calls when it
// links the whole game; the lower subsystems' own tests link small doubles
// of them instead.
//
// The script engine's imports stand in script_imports.h; the seven services
// both need are declared here.
#pragma once

#include <cstdint>
#include <cstdio>

struct texture_container;
struct win_entity;
struct win_sound_container;
struct win_vect3;

// ---- Entities ----

// Updates every entity of the ring of live entities once: 1 after a walk, 0
// for an empty ring.
int entity_update_all(void);
// Unloads every entity of the ring (with 0 those flagged persistent stay)
// and stops and unloads the sounds; 1 when every unload succeeded.
int entity_unload_all(int32_t unload_all);
// The head of the ring (NULL when empty), for the shut-down's count of what
// is left.
const win_entity* entity_io_ring_head(void);
// Switches the entity's animation state table to `state` (an index); 1, or
// 0 for a NULL entity.
int entity_play_anim(win_entity* entity, int32_t state);

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
// The attack kind (reaction bits) of the first attack sector of the
// character's AI that holds `target`, after equipping that sector's weapon;
// -1 or -2 when no sector applies.
int32_t ai_find_attack_sector(win_entity* entity, win_entity* target);

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
// The console's lines over the scene while their time lasts, each broken
// between words into further lines that end before the heads-up display's
// panel while it is shown, else before the screen's edge.
void varnock_draw_text(void);
void varnock_clear_display_text(void);
// Shows `text` ("~" starts a new line, at most four) at (x, y) of the
// 640x480 screen in the colour for `seconds`; 0 for a place off the screen
// (x > 639 or y > 479).
int varnock_display_text(uint32_t x, uint32_t y, uint8_t red, uint8_t green, uint8_t blue,
                         int32_t seconds, const char* text);
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
// Opens the output and the channels; disabled: a notice and 1. Without an
// output (or, in 3D, a provider): an error line and a line on stderr, the
// module off as if disabled, and 0.
int sound_init(void);
// The "[sound]" section of the configuration file.
int sound_write_config(FILE* session_file);
int sound_read_config(FILE* session_file, int16_t* line_cnt);
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
