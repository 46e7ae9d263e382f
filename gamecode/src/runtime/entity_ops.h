// Entity operations and queries: what script commands, script built-in
// functions, the AI and the animation state machine do to live entities.
// Placing, turning and moving them, attaching and detaching sub-entities,
// choosing the player character, the environment and the game camera,
// playing animation states (with the weapon drawing, holstering and firing
// that states ask for), and the queries scripts test.
//
// Most operations are declared in script_imports.h, where the script engine
// reaches them (entity_play_anim in runtime_services.h, for the frame and
// the models); this header adds the rest. entity_play_anim plays a
// state and then draws (the player), holsters (the player), fires or reloads
// the weapon in hand as the new state's type says. Each returns 1 when its
// work is done and 0 when it was refused (one error line, nothing changed)
// or, for the blocking ones, has not finished yet.
#pragma once

#include <cstdint>

#include "runtime_services.h"
#include "script_imports.h"

struct win_entity;
struct win_matrix43;

// The turn command's state: 1 ready to queue a turn, 0 a queued turn is
// awaited (entity_turn_to_face_entity).
extern int32_t entity_turn_state;

// local_matrix := a copy of `matrix`.
int entity_set_local_xform_matrix(win_entity* entity, const win_matrix43* matrix);
// For each joint of the source character's pose that was posed from keys,
// the destination character's pose takes the source's transform, matrices
// and no-keys flag. 0 after an error line when the two poses differ in size.
int entity_copy_augment_array(win_entity* destination, const win_entity* source);

// 1 when `entity` is a member of the ring from `head` (NULL: empty).
int entity_ring_holds(const win_entity* head, const win_entity* entity);

// The module state to its start; for tests.
void entity_ops_reset(void);
