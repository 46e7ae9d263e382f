// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include "runtime_services.h"

struct win_entity;
struct win_vect3;

// ---- Collision (collide) ----

// 1 when a wall or polygon of the current environment's hulls stands across
// the segment from-to, 0 when it is free or there is no current environment.
int collide_check_line_of_sight(const win_vect3* from, const win_vect3* to);

// ---- Weapons (entity_weapon) ----

// The first sub-entity of the character, in ring order, whose flags have the
// weapon bit that `attack_kind` selects (ai_attack_kind); NULL for the plain
// kinds and when the character has none.
win_entity* entity_find_weapon_by_attack(win_entity* entity, int32_t attack_kind);
