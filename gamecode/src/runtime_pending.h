// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include "runtime_services.h"

#include <cstdint>

struct win_entity;
struct win_matrix43;
struct win_vect3;

// ---- Asked by the character collision and the hit resolution ----

// entity_weapon (weapons, items and hitpoints): the entity's hit emitter (its
// first emitter sub-entity flagged ENTITY_FLAG_WEAPON_EMITTER) fired at joint
// `joint_idx` along `direction`, which it makes unit length in place. 1, or
// 0 when the entity has no such emitter.
int entity_fire_emitter(win_entity* entity, int32_t joint_idx, win_vect3* direction);

// collide (collision against the environment): corrects the translation of
// `desired_spatial_matrix`, where `movable_entity` wants to move, against the
// hulls of the environment `entity`. 1 when it still collides.
int collide_check_entity(win_matrix43* desired_spatial_matrix, win_entity* movable_entity,
                         win_entity* entity);
