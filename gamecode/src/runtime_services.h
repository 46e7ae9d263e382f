// The game runtime as the lower subsystems see it: the per-frame update of
// the entities, their unloading, the player-character scene module (scene,
// splash, fades, console text, action-button script, letterbox, start-up and
// final clean-up), the tail animations and the sound module's start, its
// configuration section and the registration of holders of sound pointers.
// This is the one runtime header the frame includes; the program resolves
// these calls when it links the whole game, and the frame's own tests link
// small doubles of them instead.
#pragma once

#include <cstdint>
#include <cstdio>

struct win_entity;
struct win_sound_container;

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
// Whoever keeps pointers to loaded sounds beyond a call (a running script's
// sound table, an animation state table's effect slots) registers a function
// that clears them: sound_unload calls each with the sound before it frees
// it. Registering twice is once; at most SOUND_MAX_FORGET_FUNCTS. 1, or 0
// when the table is full. Registrations outlive sound_reset.
enum { SOUND_MAX_FORGET_FUNCTS = 8 };
typedef void (*sound_forget_funct)(const win_sound_container* sound);
int sound_add_forget_funct(sound_forget_funct forget);
void sound_remove_forget_funct(sound_forget_funct forget);
