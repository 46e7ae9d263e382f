// Character collision: characters touch each other through the spheres and
// capsules of their posed models.
//
// Two contact models stand side by side, chosen by the game setting
// bUseOldCollisionAlgorithm: the capsules of the appendages (the default) and
// the collision spheres of the joints. A contact found while a character
// moves is handed to ai_resolve_hit (ai_hit.h) and pushes the two characters
// apart by their masses; the attack question of the hit resolution (does the
// attacker's combat joint set reach the victim's vulnerable set) is answered
// by the joint spheres.
//
// Joint indexes come from the models' appendage chains and from the joint
// tables of the state tables, both data from files: every index is checked
// against the character's own pose array and appendage spheres before it is
// used, and an index outside them never reaches an array. Everything here
// runs on the main thread, inside the entity update.
#pragma once

#include <cstdint>

#include "win_entity.h"
#include "win_geo.h"

// What the tests report of the two sides, first entity's then second's;
// -1 for none.
struct collide_pair {
    int32_t a;
    int32_t b;
    bool operator==(const collide_pair&) const = default;
};

// The pair that reports nothing.
constexpr collide_pair COLLIDE_NO_PAIR = {-1, -1};

// The contact of a moving character with another. `centre` is the moving
// character's goal sphere centre (its position raised by its radius); the
// push that sets the two apart moves it in place, and the other character is
// moved through the environment test. 1 on contact, after ai_resolve_hit has
// been told of it; 0 when the two do not touch or cannot collide (the same
// entity, one dead or not a character, one without character collision, one
// the other's weapon).
int collide_check_entity_to_entity(win_entity* entity_a, win_entity* entity_b, win_vect3* centre);

// Whether the joint sets of the two characters' current animation states
// touch: a_attacks, a's combat joints against b's vulnerable ones; else
// b_attacks, a's vulnerable joints against b's combat ones; else both
// states' own joint tables. A state without a table (or naming one its
// state table does not have) tests joints 1 to its pose count - 2. The
// touching joints go to *joint_pair. Both characters need a state table.
int collide_check_entity_attack(win_entity* entity_a, win_entity* entity_b, int32_t a_attacks,
                                int32_t b_attacks, collide_pair* joint_pair);

// The joint spheres of joints a_first to a_last of the first character
// against joints b_first to b_last of the second (ranges past the pose
// array are cut to it); with a motion_target the first character's spheres
// sweep along its move from its body centre to there. The deepest touching
// pair goes to *joint_pair (-1 for a side that counts as one sphere). 1 on
// contact, also when neither side has a model.
int collide_check_entity_joint_to_entity_joint(win_entity* first_win_entity, int32_t a_first,
                                               int32_t a_last, win_entity* second_win_entity,
                                               int32_t b_first, int32_t b_last,
                                               collide_pair* joint_pair,
                                               const win_vect3* motion_target);

// The appendage capsules of the two characters (a body sphere for a side
// without appendages), the first swept along its move to motion_target
// (NULL: standing). The closest touching segments go to *segment_pair, their
// appendages to *appendage_pair and their joints to *joint_pair. With
// bUseOldCollisionAlgorithm set, the joint sphere test instead, which leaves
// the appendage and segment pairs as they were. 1 on contact, also when
// neither side has a model.
int collide_check_entity_appendage_to_appendage(
    win_entity* first_win_entity, int32_t a_first, int32_t a_last, win_entity* second_win_entity,
    int32_t b_first, int32_t b_last, collide_pair* joint_pair, collide_pair* appendage_pair,
    collide_pair* segment_pair, const win_vect3* motion_target);

// Forgets the pair of characters last told of for meeting at one centre; for
// tests.
void collide_character_reset(void);
