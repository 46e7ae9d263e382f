// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include "runtime_services.h"

struct mow_track_augment;
struct win_entity;
struct win_shader;
struct win_vect3;

// collide_character (character collision): 1 when the character `entity_a`,
// its sphere moved to `centre` (its goal sphere centre, moved in place by
// its push), touches `entity_b`; the two are pushed apart and the hit is
// resolved. The placeholder finds no contact.
int collide_check_entity_to_entity(win_entity* entity_a, win_entity* entity_b, win_vect3* centre);

// shader (shader.h): a copy of a character's shader array of `size` shaders;
// NULL after an error line.
win_shader* shader_duplicate_win_shader_array(const win_shader* template_array, int32_t size);

// vk_tail (vk_tail.h): hangs the tail callbacks on the player's pose array;
// 1, or 0 without a pose array or a loaded tail.
int vk_tail_set_anim_hook(mow_track_augment* mow_track_augment_array);

// entity (entity.h): launches the next particle of `particle_ring_head` from
// `emitter`, remembering `owner` as who fired it; 1 launched, 0 none.
int entity_emit_particle(win_entity* particle_ring_head, win_entity* emitter, win_entity* owner);
