// Hit resolution: which contacts are hits, their damage, the victim's
// reaction state and its death.
#include "ai_hit.h"

#include "anim.h"
#include "collide_character.h"
#include "debug.h"
#include "dlink.h"
#include "entity_weapon.h"
#include "gameglobals.h"
#include "rand_util.h"
#include "script_services.h"
#include "win_entity.h"
#include "win_math.h"

int32_t ai_block_flag;

namespace {

constexpr uint32_t MELEE_FLAGS = ENTITY_FLAG_MELEE_1 | ENTITY_FLAG_MELEE_2 | ENTITY_FLAG_MELEE_3;
constexpr uint32_t PROJECTILE_FLAGS = ENTITY_FLAG_PROJECTILE_1 | ENTITY_FLAG_PROJECTILE_2 |
                                      ENTITY_FLAG_PROJECTILE_3 | ENTITY_FLAG_PROJECTILE;

// What a step of the resolution answers when it does not decide the contact.
constexpr int NOT_DECIDED = -1;

const win_anim_table_base* current_state(const win_entity* entity)
{
    return entity->win_ast ? win_ast_current_state(entity->win_ast) : nullptr;
}

// The current state's flags; 0 without a state.
int32_t type_flags(const win_entity* entity)
{
    const win_anim_table_base* state = current_state(entity);
    return state ? state->anim_type_flags : 0;
}

int32_t reaction_flags(const win_entity* entity)
{
    const win_anim_table_base* state = current_state(entity);
    return state ? state->reaction_flags : 0;
}

// Whether `joint` counts for the combat joints of the entity's current
// state, over its own joint tables. The entity has a state table.
bool in_combat_set(const win_entity* entity, int32_t joint)
{
    const win_anim_table_base* state = current_state(entity);
    return ai_joint_in_joint_table(entity->win_ast->win_joint_table_list, joint,
                                   state ? state->combat_win_joint_table_idx : -1) != 0;
}

// A standard attack of a kind the victim's state is impervious to.
bool guarded(int32_t attack_reaction, int32_t victim_type)
{
    static const struct {
        int32_t attack;
        int32_t guard;
    } guards[] = {
        {ANIM_REACTION_STANDARD_1, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_1},
        {ANIM_REACTION_STANDARD_2, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_2},
        {ANIM_REACTION_STANDARD_3, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_3},
    };
    for (const auto& g : guards)
        if ((attack_reaction & g.attack) && (victim_type & g.guard))
            return true;
    return false;
}

// Where joint `joint` of the entity stands: its pose's sphere centre, or for
// the body (-1) and joints its pose array lacks, the character's centre.
win_vect3 joint_position(const win_entity* entity, int32_t joint)
{
    const win_character* character = win_entity_character(entity);
    if (!character)
        return {entity->local_matrix.m[3][0], entity->local_matrix.m[3][1],
                entity->local_matrix.m[3][2]};
    if (character->mow_track_augment_array && joint >= 0 &&
        joint < character->mow_track_augment_array_size)
        return character->mow_track_augment_array[joint].mow_augment_sphere_center;
    return character->world_sphere_center;
}

// The victim's hit emitter at its joint, pointing along `direction` (a copy:
// the emitter makes its direction unit length in place).
void fire_hit_emitter(win_entity* victim, int32_t joint, win_vect3 direction)
{
    entity_fire_emitter(victim, joint, &direction);
}

// The unit vector from one joint to another; zero when they coincide, which
// the emitter turns into its own default direction.
win_vect3 joint_direction(const win_entity* from, int32_t from_joint, const win_entity* to,
                          int32_t to_joint)
{
    const win_vect3 tail = joint_position(from, from_joint);
    const win_vect3 head = joint_position(to, to_joint);
    win_vect3 u = {0.0f, 0.0f, 0.0f};
    if (!win_math_calc_normalized_win_dist(&u, &tail, &head))
        u = {0.0f, 0.0f, 0.0f};
    return u;
}

void react(win_entity* victim, int32_t reaction)
{
    entity_play_anim(victim, reaction);
}

// A projectile striking `target`: refused against its own shooter; else it
// is spent, the target's emitter fires and, with a state table, the target
// reacts. A target without a state table is not decided here.
int projectile_hit(win_entity* projectile, win_entity* target, int32_t target_joint)
{
    const win_character* shot = win_entity_character(projectile);
    if (shot && shot->current_weapon == target)
        return 0;
    projectile->life_span = 0.0f;
    fire_hit_emitter(target, target_joint, projectile->velocity);
    if (!target->win_ast)
        return NOT_DECIDED;
    if (type_flags(target) & (AI_HIT_TYPE_IMPERVIOUS | AI_HIT_TYPE_IMPERVIOUS_TO_PROJECTILE))
        return 0;
    int32_t reaction = ai_select_hit_reaction(target, projectile);
    if (reaction >= 0)
        react(target, reaction);
    return 1;
}

// A melee weapon swung in its wielder's attack state, touching `target`
// with the weapon's joint `weapon_joint`.
int melee_hit(win_entity* weapon, int32_t weapon_joint, win_entity* target, int32_t target_joint)
{
    const win_character* held = win_entity_character(weapon);
    win_entity* wielder = held ? held->current_weapon : nullptr;
    if (!(weapon->win_entity_flag & MELEE_FLAGS) || !wielder ||
        !(type_flags(wielder) & ANIM_TYPE_ATTACKING) || !weapon->win_ast || !target->win_ast)
        return NOT_DECIDED;
    if (type_flags(target) & (AI_HIT_TYPE_IMPERVIOUS | AI_HIT_TYPE_IMPERVIOUS_TO_MELEE))
        return 0;
    if (!in_combat_set(weapon, weapon_joint) || !in_combat_set(target, weapon_joint))
        return NOT_DECIDED;
    if (target == wielder)
        return 0;
    int32_t reaction = ai_select_hit_reaction(target, weapon);
    if (reaction >= 0) {
        fire_hit_emitter(target, target_joint, weapon->velocity);
        react(target, reaction);
    }
    return 1;
}

// The victim's reaction to a character's attack reaching it: the emitter
// fires from the attacking joint toward the struck one, unless the reaction
// is a block.
void attack_hit(win_entity* victim, int32_t victim_joint, win_entity* attacker,
                int32_t attacker_joint)
{
    int32_t reaction = ai_select_hit_reaction(victim, attacker);
    if (reaction < 0)
        return;
    if (!ai_block_flag)
        fire_hit_emitter(victim, victim_joint,
                         joint_direction(attacker, attacker_joint, victim, victim_joint));
    ai_block_flag = 0;
    react(victim, reaction);
}

// The damage the attacker's hit would do to the victim, before the victim's
// hitpoints are looked at. Armour and damage values are whole numbers from
// the AI files: they are taken as floats, so that no pair of them overflows.
float hit_damage(const win_character* victim, const win_entity* attacker)
{
    const win_character* hitter = win_entity_character(attacker);
    const float hitter_points = hitter ? hitter->hitpoints : 0.0f;
    const win_ai* victim_ai = victim->win_ai;
    const win_ai* hitter_ai = hitter ? hitter->win_ai : nullptr;
    if (attacker->win_entity_flag & MELEE_FLAGS)
        return victim_ai ? hitter_points - (float)victim_ai->personality.melee_armour
                         : hitter_points;
    if (attacker->win_entity_flag & PROJECTILE_FLAGS)
        return victim_ai ? hitter_points - (float)victim_ai->personality.projectile_armour
                         : hitter_points;
    if (!victim_ai || !hitter_ai)
        return hitter_points;
    const int32_t kind = reaction_flags(attacker);
    const win_personality& personality = hitter_ai->personality;
    const int32_t damage = (kind & ANIM_REACTION_STANDARD_2)   ? personality.damage_2
                           : (kind & ANIM_REACTION_STANDARD_3) ? personality.damage_3
                                                               : personality.damage_1;
    return (float)damage - (float)victim_ai->personality.armour;
}

// The living victim's reaction: first one that answers the kind of the
// attacker's attack, then one for the strength `strength` and the side the
// hit came from, each time a little less particular.
int32_t living_reaction(win_entity* victim, win_entity* attacker, int32_t strength)
{
    if (attacker->win_ast) {
        static const struct {
            int32_t attack;
            int32_t answer;
        } answers[] = {
            {ANIM_REACTION_STANDARD_1, AI_HIT_STANDARD_1_REACTION},
            {ANIM_REACTION_STANDARD_2, AI_HIT_STANDARD_2_REACTION},
            {ANIM_REACTION_STANDARD_3, AI_HIT_STANDARD_3_REACTION},
            {ANIM_REACTION_PROJECTILE_1, AI_HIT_STANDARD_3_REACTION},
        };
        const int32_t kind = reaction_flags(attacker);
        for (const auto& a : answers) {
            if (!(kind & a.attack))
                continue;
            int32_t found = anim_find_state_by_flags(victim, AI_HIT_TYPE_HIT, a.answer);
            if (found != -1)
                return found;
        }
    }
    const int32_t side = ai_get_relative_direction_flags(victim, attacker);
    const int32_t heavy = AI_HIT_TYPE_HIT | AI_HIT_TYPE_IMPERVIOUS;
    const struct {
        int32_t type;
        int32_t want;
    } tries[] = {
        {heavy, strength | side},         {AI_HIT_TYPE_HIT, strength | side},
        {AI_HIT_TYPE_HIT, side},          {heavy, strength},
        {AI_HIT_TYPE_HIT, strength},      {heavy, side},
        {heavy, ANIM_WANT_ANY_NOT_FATAL},
    };
    for (const auto& t : tries) {
        int32_t found = anim_find_state_by_type(victim, t.type, t.want);
        if (found != -1)
            return found;
    }
    return anim_find_state_by_type(victim, AI_HIT_TYPE_HIT, ANIM_WANT_ANY_NOT_FATAL);
}

}  // namespace

int ai_joint_in_joint_table(const win_joint_table* joint_table_list, int32_t joint,
                            int32_t table_index)
{
    LOG_NOTICE("debug take me out: %ld.\n", (long)table_index);
    if (table_index == -1 || !joint_table_list)
        return 1;
    const win_joint_table* table = (const win_joint_table*)dlink_get_nth((dlink*)joint_table_list,
                                                                         table_index);
    const win_joint_pair* head = table->win_joint_pair_list;
    if (!head)
        return 1;
    const win_joint_pair* pair = head;
    do {
        if (joint >= pair->first_joint_idx && joint <= pair->last_joint_idx)
            return 1;
        pair = pair->next_ptr;
    } while (pair && pair != head);
    return 0;
}

int32_t ai_select_hit_reaction(win_entity* victim, win_entity* attacker)
{
    REFUSE_NULL(victim, "ai_select_hit_reaction", "victim", -1);
    REFUSE_NULL(attacker, "ai_select_hit_reaction", "attacker", -1);
    win_character* target = win_entity_character(victim);
    if (!target || !(target->win_ai || victim == game_globals.player_character))
        return -1;
    const win_anim_table_base* state = current_state(victim);
    if (victim->win_ast && ((type_flags(victim) & AI_HIT_TYPE_IMPERVIOUS) || !target->win_ai))
        return -1;

    // A block takes no damage.
    if (state && rand_util_rand() % 100 < state->block_to_value) {
        ai_block_flag = 1;
        return state->block_to_anim_index;
    }

    const float damage = hit_damage(target, attacker);
    if (!(target->hitpoints > 0.0f))
        return -1;
    const win_character* hitter = win_entity_character(attacker);
    const mow_model* hitter_model = hitter ? hitter->mow_model : nullptr;
    // Characters of one model never hurt each other.
    const float taken = damage >= 0.0f && hitter_model != target->mow_model ? damage : 0.0f;
    target->hitpoints -= taken;

    if (target->hitpoints > 0.0f) {
        if (!victim->win_ast)
            return -1;
        const float ratio = taken / target->hitpoints;
        const int32_t strength = ratio < 0.25f   ? AI_HIT_SOFT
                                 : ratio < 0.55f ? AI_HIT_MEDIUM
                                                 : AI_HIT_HARD;
        return living_reaction(victim, attacker, strength);
    }
    if (!victim->win_ast)
        return -1;
    const int32_t death = anim_find_state_by_type(victim, AI_HIT_TYPE_HIT | AI_HIT_TYPE_IMPERVIOUS,
                                                  ANIM_REACTION_FATAL);
    if (target->win_ai && target->win_ai->end_script) {
        victim->velocity = {0.0f, 0.0f, 0.0f};
        script_initiate_script(target->win_ai->end_script, nullptr);
    }
    return death;
}

int ai_resolve_hit(win_entity* entity_a, win_entity* entity_b, int32_t joint_a, int32_t joint_b)
{
    REFUSE_NULL(entity_a, "ai_resolve_hit", "entity_a", 0);
    REFUSE_NULL(entity_b, "ai_resolve_hit", "entity_b", 0);
    if (!(entity_a->win_entity_flag & ENTITY_FLAG_BRAIN) ||
        !(entity_b->win_entity_flag & ENTITY_FLAG_BRAIN))
        return 0;

    int decided = NOT_DECIDED;
    if (entity_a->win_entity_flag & ENTITY_FLAG_PROJECTILE)
        decided = projectile_hit(entity_a, entity_b, joint_b);
    else if (entity_b->win_entity_flag & ENTITY_FLAG_PROJECTILE)
        decided = projectile_hit(entity_b, entity_a, joint_a);
    if (decided != NOT_DECIDED)
        return decided;

    decided = melee_hit(entity_a, joint_a, entity_b, joint_b);
    if (decided == NOT_DECIDED)
        decided = melee_hit(entity_b, joint_b, entity_a, joint_a);
    if (decided != NOT_DECIDED)
        return decided;

    if (!entity_a->win_ast || !entity_b->win_ast)
        return 0;
    const int32_t type_a = type_flags(entity_a);
    const int32_t type_b = type_flags(entity_b);
    const int32_t unhittable = AI_HIT_TYPE_IMPERVIOUS | AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD;
    collide_pair reach;

    // a attacks b.
    if ((type_a & ANIM_TYPE_ATTACKING) && !(type_b & unhittable) &&
        !guarded(reaction_flags(entity_a), type_b)) {
        if (!in_combat_set(entity_a, joint_a))
            return 0;
        if (in_combat_set(entity_b, joint_a) &&
            collide_check_entity_attack(entity_a, entity_b, 1, 0, &reach))
            attack_hit(entity_b, joint_b, entity_a, joint_a);
    }
    // b attacks a.
    if ((type_b & ANIM_TYPE_ATTACKING) && !(type_a & unhittable) &&
        in_combat_set(entity_a, joint_a) && in_combat_set(entity_b, joint_a)) {
        if (guarded(reaction_flags(entity_b), type_a))
            return 0;
        if (collide_check_entity_attack(entity_a, entity_b, 0, 1, &reach))
            attack_hit(entity_a, joint_a, entity_b, joint_b);
    }
    return 1;
}

void ai_hit_reset(void)
{
    ai_block_flag = 0;
}
