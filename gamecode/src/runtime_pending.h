// Runtime calls whose own module has not landed yet, each with a neutral
// placeholder in runtime_pending.cpp. A module that lands takes its
// declarations and placeholders out of here into its own files.
#pragma once

#include "runtime_services.h"

struct win_vect3;

// collide_character (character collision): 1 when the character `entity_a`,
// its sphere moved to `centre` (its goal sphere centre, moved in place by
// its push), touches `entity_b`; the two are pushed apart and the hit is
// resolved. The placeholder finds no contact.
int collide_check_entity_to_entity(win_entity* entity_a, win_entity* entity_b, win_vect3* centre);

// ---- Weapons (entity_weapon) ----

// The first sub-entity of the character, in ring order, whose flags have the
// weapon bit that `attack_kind` selects (ai_attack_kind); NULL for the plain
// kinds and when the character has none.
win_entity* entity_find_weapon_by_attack(win_entity* entity, int32_t attack_kind);
