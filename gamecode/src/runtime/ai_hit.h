// Hit resolution: whether a contact between two characters is a hit (a
// projectile striking, a held melee weapon swung in an attack state, or a
// character's own attack state reaching the other), the damage it does after
// armour, the victim's reaction state (a block, a light, medium or heavy hit
// from a side, or its death) and the death script.
//
// The state bits it reads, named by the keywords of the state table files:
// a victim's anim_type_flags say whether it can be hit now (impervious, or
// impervious to projectiles, to melee weapons, to standard attacks, or to
// standard attacks of one kind) and an attacker's whether it attacks; the
// attacker's reaction_flags give the kind of its attack (standard 1 to 3,
// projectile 1), and a reaction state's reaction_flags the kind it answers,
// the strength of the hit (soft, medium, hard), the side it came from and
// whether it is fatal. Reaction states are "hit" states; the heavy ones are
// also "impervious".
#pragma once

#include <cstdint>

struct win_entity;
struct win_joint_table;

// Set when the last reaction chosen was a block; the next hit of a
// character's attack that reaches its emitter clears it without firing.
extern int32_t ai_block_flag;

// Bits of a state's anim_type_flags (beside ANIM_TYPE_ATTACKING, anim.h).
enum : int32_t {
    AI_HIT_TYPE_HIT = 0x1,
    AI_HIT_TYPE_IMPERVIOUS = 0x2,
    AI_HIT_TYPE_IMPERVIOUS_TO_PROJECTILE = 0x4,
    AI_HIT_TYPE_IMPERVIOUS_TO_MELEE = 0x8,
    AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD = 0x10,
    AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_1 = 0x100000,
    AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_2 = 0x200000,
    AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_3 = 0x400000,
};

// Bits of a reaction state's reaction_flags (beside ANIM_REACTION_*, anim.h).
enum : int32_t {
    AI_HIT_SOFT = 0x200,
    AI_HIT_MEDIUM = 0x400,
    AI_HIT_HARD = 0x800,
    AI_HIT_STANDARD_1_REACTION = 0x40000,
    AI_HIT_STANDARD_2_REACTION = 0x80000,
    AI_HIT_STANDARD_3_REACTION = 0x100000,
};

// A contact of the two entities at joints joint_a and joint_b (-1: the
// body): 1 when it was taken as a hit or needs nothing further, 0 when it
// was refused (one without a brain, a projectile meeting its shooter, a
// victim that cannot be hit now, a guarded attack, an attacking joint
// outside its combat set). A hit takes the damage off the victim, fires its
// hit emitter and plays its reaction.
int ai_resolve_hit(win_entity* entity_a, win_entity* entity_b, int32_t joint_a, int32_t joint_b);

// Applies the damage of the attacker's hit to the victim and answers the
// victim's reaction state, or -1 for none (the victim cannot react, is dead
// already or has no fitting state; the damage is taken all the same). A
// victim brought to 0 hitpoints or below stops and starts its AI's end
// script.
int32_t ai_select_hit_reaction(win_entity* victim, win_entity* attacker);

// 1 when `joint` lies in a range of joint table `table_index` of the list
// (-1, an empty list and a table without ranges count every joint), else 0.
// An index past the end of the list wraps round it.
int ai_joint_in_joint_table(const win_joint_table* joint_table_list, int32_t joint,
                            int32_t table_index);

// The block flag back to its start; for tests.
void ai_hit_reset(void);
