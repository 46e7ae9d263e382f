// Weapons, items and hitpoints. A character carries its weapons and items as
// sub-entities (characters flagged ENTITY_FLAG_WEAPON or ENTITY_FLAG_ITEM)
// and holds one current weapon and one current item. Only the current
// weapon lives: switching gives the old one a life span of -1.0 (neither
// updated nor drawn) and the new one an eternal one. A weapon's own
// current_weapon names its holder, and its hitpoints are its damage: the
// hitpoint operations act on its ammunition instead.
//
// The player's current weapon and item are kept in game_globals with their
// heads-up display icons; the icon and closeup slots of game_globals each
// hold one counted reference of their texture, given back when the slot
// changes (entity_weapon_hold_texture with NULL empties one).
//
// The operations named in script_imports.h (setting the current weapon,
// holstering, hitpoints, the closeup) and in runtime_services.h (the current
// item, the inventory searches, the icon and entity_weapon_hold_texture) are
// implemented here; this header adds the rest.
#pragma once

#include <cstdint>

#include "runtime_services.h"
#include "script_imports.h"

struct texture_container;
struct win_entity;
struct win_vect3;

// The closeup command's state: 1 ready to show one, 0 one is shown and the
// command waits for the player to dismiss it.
extern int32_t closeup_request_state;

// Sets a character's hitpoints (at most its maximum), or a weapon's
// ammunition to trunc(value) (at most its maximum). 1, or 0 after an error
// line for an entity that is not a character.
int entity_set_hitpoints(win_entity* entity, float value);
// Fires the character's current projectile weapon: one particle from each of
// the weapon's emitters, one shot counted, one round of ammunition used
// while there is any. 0 without a current weapon or for a melee one.
int entity_fire_current_weapon(win_entity* entity);
// The entity's first emitter sub-entity flagged ENTITY_FLAG_WEAPON_EMITTER
// (the hit effect); NULL for none.
win_entity* entity_find_emitter_child(win_entity* entity);
// Starts the hit-effect emitter at joint `joint_idx` for a quarter of a
// second; `direction` is made unit length in place ((0, 0, 1) when it has
// none). 0 when the entity has no such emitter.
int entity_fire_emitter(win_entity* entity, int32_t joint_idx, win_vect3* direction);
// The first weapon sub-entity of the kind an attack kind code selects (0x4008
// melee 1 ... 0x4100 projectile 3); NULL for the plain attack kinds, any
// other code and a character without one.
win_entity* entity_find_weapon_by_attack(win_entity* entity, int32_t attack_kind);
// The closeup texture of an entity ("<name>_closeup"), or the default icon.
texture_container* entity_retrieve_closeup_texture(win_entity* entity);

// Clears every stored pointer to `entity` that this module keeps: the
// current weapon and item of each character of the ring and of the parked
// ring (to any depth), which also hold weapon holders and projectile owners,
// and the player's current weapon and item in game_globals.
void entity_weapon_forget_entity(const win_entity* entity);

// The module state to its start; for tests.
void entity_weapon_reset(void);
