// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include <cstdint>

#include "runtime_services.h"

struct win_vect3;

// ---- Weapons (entity_weapon) ----

// The first sub-entity of the character, in ring order, whose flags have the
// weapon bit that `attack_kind` selects (ai_attack_kind); NULL for the plain
// kinds and when the character has none.
win_entity* entity_find_weapon_by_attack(win_entity* entity, int32_t attack_kind);

// The entity's hit emitter (its first emitter sub-entity flagged
// ENTITY_FLAG_WEAPON_EMITTER) fired at joint `joint_idx` along `direction`,
// which it makes unit length in place. 1, or 0 when the entity has no such
// emitter.
int entity_fire_emitter(win_entity* entity, int32_t joint_idx, win_vect3* direction);
