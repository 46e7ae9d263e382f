// The live entities: the per-frame update of the entity ring. Each entity is
// brought forward by the frame's time by its type: characters run their
// input or AI, their animation state table in time slices, root motion and
// collision, and pose their model; the current environment follows its
// parent; lights move and hold a device light slot; cameras move and set the
// view; emitters move and launch their particles. Sub-entities follow under
// their parent's matrix or one of its joints. The results (matrices, poses,
// light slots, the view matrix) are what rendering, collision and the AI
// read.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_entity;
struct win_matrix43;
struct win_xform;
struct win_shader;

// The walk position of entity_update_all; an entity leaving the top ring
// (unloaded, or attached to a parent) clears the one that names it, so the
// walk survives removals during an update.
extern win_entity* entity_update_cursor;
extern win_entity* entity_update_next;

// Clears the walk position that names `entity`, which is leaving the top
// ring: the walk goes on from the head rather than through another ring.
void entity_update_forget(const win_entity* entity);

// Entity type 6: an entity that only follows its parent (no payload; no
// file makes one).
enum { ENTITY_TYPE_FOLLOWER = 6 };

// Updates one entity and its sub-entities under `parent_matrix`; `parent` is
// NULL for a top-level entity, whose parent matrix is the identity. 1, or 0
// after an error line for a NULL argument.
int update_entity(win_entity* entity, const win_matrix43* parent_matrix, win_entity* parent);

// The character's control, animation time slices, root motion, collision,
// matrices and pose for `delta_ms` milliseconds. 1, or 0 after an error line.
int entity_update_character_entity(win_entity* entity, float delta_ms,
                                   const win_matrix43* parent_matrix, win_entity* parent);

// Adds one time slice of `slice_seconds` to the accumulated motion
// `delta_xform`: the rotation velocity, with `apply_physics` (or for an
// entity placed under the identity) the velocity and acceleration, and the
// root motion of the current animation up to `anim_time`. Returns the
// table's end-of-animation bit (0 without a playing animation).
int32_t entity_accum_rts_delta(win_entity* entity, win_xform* delta_xform, float slice_seconds,
                               float anim_time, int32_t apply_physics);

// Pushes `desired_spatial_matrix` out of the current environment's hulls for
// a character (not for a sub-entity hanging on its parent, unless it is a
// weapon). When the first check found a collision, the root motion on each
// moving axis restarts from where the character was stopped. 1, or 0 after
// an error line.
int entity_environ_collide_character_entity(win_entity* entity,
                                            win_matrix43* desired_spatial_matrix,
                                            win_entity* parent);

// A live light keeps (or takes) its device light slot with its description;
// a dead one gives its slot back. 1, or 0 for an entity that is no light.
int entity_update_dynamic_light(win_entity* entity);

// Launches one particle of the ring from `particle_ring_head` from the
// emitter entity `emitter`, remembered as fired by `owner` when it is a
// projectile: the first dead particle, else the first younger than the head,
// else the head. 1 launched, 0 none (no particles, no emitter).
int entity_emit_particle(win_entity* particle_ring_head, win_entity* emitter, win_entity* owner);

// Each shader of the array that has a state table takes its input
// transitions and steps its animation. 1, or 0 after an error line.
int entity_update_win_shader_array(win_shader* win_shader_array, int32_t count);

// The player's auto-aim choice by the current state: aiming, undoing the aim
// or none. 1, or 0 for an entity without a state table.
int entity_vk_auto_aim(win_entity* entity, float delta_ms);

// What a character's newly started state does to its weapons: drawing or
// holstering (the player only), firing and reloading.
void entity_act_on_new_state(win_entity* entity);

// The walk position and the scratch of the emitters back to their start; for
// tests.
void entity_reset(void);
