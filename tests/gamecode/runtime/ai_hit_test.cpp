#include <gtest/gtest.h>

#include <string>

#include "ai_hit.h"
#include "anim.h"
#include "character_fixture.h"
#include "gameglobals.h"
#include "rand_util.h"
#include "test_support.h"

namespace {

// Every case starts from the module states of a fresh program (the block
// flag, the random sequence, the game settings).
class AiHitTest : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { test_reset_state(); }
};

// The victim's states, one for each reaction it can be asked for (victim and
// attacker stand at one point, so no hit comes from a side).
enum {
    IDLE,
    SOFT_HIT,
    MEDIUM_HIT,
    HARD_HIT,
    DEATH,
    ANSWERS_STANDARD_1,
    ANSWERS_STANDARD_3,
    BLOCKED,
    VICTIM_STATES
};

const int32_t HEAVY = AI_HIT_TYPE_HIT | AI_HIT_TYPE_IMPERVIOUS;

// A character of 40 hitpoints with an AI, a state table of reactions and
// four joints, joint 1 at (5, 0, 0).
struct Victim : Figure {
    Victim() : Figure("victim")
    {
        model(4.0f);
        pose({{{0, -100, 0}, 1}, {{5, 0, 0}, 1}, {{0, -200, 0}, 1}, {{0, -300, 0}, 1}});
        table(VICTIM_STATES);
        state(SOFT_HIT, AI_HIT_TYPE_HIT, AI_HIT_SOFT);
        state(MEDIUM_HIT, AI_HIT_TYPE_HIT, AI_HIT_MEDIUM);
        state(HARD_HIT, HEAVY, AI_HIT_HARD);
        state(DEATH, HEAVY, ANIM_REACTION_FATAL);
        state(ANSWERS_STANDARD_1, AI_HIT_TYPE_HIT, AI_HIT_STANDARD_1_REACTION);
        state(ANSWERS_STANDARD_3, AI_HIT_TYPE_HIT, AI_HIT_STANDARD_3_REACTION);
        ai();
        c->hitpoints = c->max_hitpoints = 40.0f;
        spark = malloc_win_entity("spark");
        spark->win_entity_type = WIN_ENTITY_TYPE_EMITTER;
        spark->u.win_emitter = malloc_win_emitter();
        spark->win_entity_flag |= ENTITY_FLAG_WEAPON_EMITTER;
        spark->life_span = -1.0f;
        add_to_win_entity_list(&entity->child_entity_list, &entity->child_entity_list_size, spark);
    }
    // Its hit emitter, fired (for a quarter second) at the struck joint.
    bool sparked(int32_t joint) const
    {
        return spark->life_span == 0.25f && spark->parent_joint_idx == joint;
    }
    win_entity* spark;
};

// A character in an attacking state of its own, dealing 10, 15 and 20 by
// the kind of its attack; joint 1 at (6, 0, 0) touches the victim's.
struct Attacker : Figure {
    explicit Attacker(int32_t reaction = 0, uint32_t flags = 0, float hitpoints = -1.0f)
        : Figure("attacker")
    {
        model(4.0f);
        pose({{{0, 100, 0}, 1}, {{6, 0, 0}, 1}, {{0, 200, 0}, 1}, {{0, 300, 0}, 1}});
        table(1);
        state(0, ANIM_TYPE_ATTACKING, reaction);
        entity->win_entity_flag |= flags;
        ai()->personality.damage_1 = 10;
        ai()->personality.damage_2 = 15;
        ai()->personality.damage_3 = 20;
        c->hitpoints = hitpoints;
    }
};

struct ReactionCase {
    const char* what;
    uint32_t attacker_flags;
    int32_t attack_reaction;
    float attacker_hitpoints;  // a weapon's damage
    int32_t armour, melee_armour, projectile_armour;
    float hitpoints_after;
    int32_t reaction;
};

TEST_F(AiHitTest, AHitChoosesItsDamageAndReactionByTheKindOfAttack)
{
    const ReactionCase cases[] = {
        // 10 of 40 leaves 30: 10 / 30 is a medium hit.
        {"a plain attack", 0, 0, -1, 0, 0, 0, 30, MEDIUM_HIT},
        {"a standard 1 attack is answered as such", 0, ANIM_REACTION_STANDARD_1, -1, 0, 0, 0, 30,
         ANSWERS_STANDARD_1},
        {"a standard 2 attack less armour, unanswered", 0, ANIM_REACTION_STANDARD_2, -1, 5, 0, 0,
         30, MEDIUM_HIT},
        {"a standard 3 attack is answered as such", 0, ANIM_REACTION_STANDARD_3, -1, 0, 0, 0, 20,
         ANSWERS_STANDARD_3},
        {"a projectile attack is answered as standard 3", 0, ANIM_REACTION_PROJECTILE_1, -1, 0, 0,
         0, 30, ANSWERS_STANDARD_3},
        {"armour beyond the damage takes nothing", 0, 0, -1, 50, 0, 0, 40, SOFT_HIT},
        {"a melee weapon less melee armour", ENTITY_FLAG_MELEE_2, 0, 12, 9, 2, 4, 30, MEDIUM_HIT},
        // 8 of 40 leaves 32: 8 / 32 = 0.25 is medium already.
        {"a projectile less projectile armour", ENTITY_FLAG_PROJECTILE, 0, 12, 9, 2, 4, 32,
         MEDIUM_HIT},
        {"a projectile weapon less projectile armour", ENTITY_FLAG_PROJECTILE_3, 0, 5, 9, 2, 4, 39,
         SOFT_HIT},
        // 25 of 40 leaves 15: 25 / 15 is hard.
        {"a heavy blow", ENTITY_FLAG_MELEE_1, 0, 25, 0, 0, 0, 15, HARD_HIT},
    };
    for (const ReactionCase& t : cases) {
        SCOPED_TRACE(t.what);
        Victim victim;
        Attacker attacker(t.attack_reaction, t.attacker_flags, t.attacker_hitpoints);
        win_personality& p = victim.ai()->personality;
        p.armour = t.armour;
        p.melee_armour = t.melee_armour;
        p.projectile_armour = t.projectile_armour;
        EXPECT_EQ(ai_select_hit_reaction(victim.entity, attacker.entity), t.reaction);
        EXPECT_FLOAT_EQ(victim.c->hitpoints, t.hitpoints_after);
        EXPECT_EQ(ai_block_flag, 0);
    }
}

TEST_F(AiHitTest, CharactersOfOneModelNeverHurtEachOther)
{
    Victim victim;
    Attacker attacker;
    attacker.share_model(victim);
    EXPECT_EQ(ai_select_hit_reaction(victim.entity, attacker.entity), SOFT_HIT);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 40.0f);
}

TEST_F(AiHitTest, ABlockTakesNoDamage)
{
    Victim victim;
    Attacker attacker;
    victim.state(IDLE).block_to_value = 100;
    victim.state(IDLE).block_to_anim_index = BLOCKED;
    EXPECT_EQ(ai_select_hit_reaction(victim.entity, attacker.entity), BLOCKED);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 40.0f);
    EXPECT_EQ(ai_block_flag, 1);
}

TEST_F(AiHitTest, VictimsThatCannotReactAreLeftAlone)
{
    struct Case {
        const char* what;
        void (*spoil)(Victim&);
    } cases[] = {
        {"impervious", [](Victim& v) { v.state(IDLE, AI_HIT_TYPE_IMPERVIOUS, 0); }},
        {"dead already", [](Victim& v) { v.c->hitpoints = 0.0f; }},
        {"without an AI",
         [](Victim& v) {
             free_win_ai(v.c->win_ai);
             v.c->win_ai = nullptr;
         }},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        Victim victim;
        Attacker attacker;
        t.spoil(victim);
        const float before = victim.c->hitpoints;
        EXPECT_EQ(ai_select_hit_reaction(victim.entity, attacker.entity), -1);
        EXPECT_FLOAT_EQ(victim.c->hitpoints, before);
    }
}

TEST_F(AiHitTest, APlayerWithoutAnAiOrStatesStillTakesTheHit)
{
    Figure player("player");
    player.c->hitpoints = 40.0f;
    Attacker attacker(0, 0, 7.0f);
    game_globals.player_character = player.entity;
    EXPECT_EQ(ai_select_hit_reaction(player.entity, attacker.entity), -1);
    game_globals.player_character = nullptr;
    EXPECT_FLOAT_EQ(player.c->hitpoints, 33.0f);
}

TEST_F(AiHitTest, ADeathStopsTheVictimAndStartsItsEndScriptOnce)
{
    LogCapture log;
    Victim victim;
    Attacker attacker;
    victim.c->hitpoints = 10.0f;
    victim.entity->velocity = {1.0f, 2.0f, 3.0f};
    victim.ai()->end_script = STRDUP("victim_dies");
    EXPECT_EQ(ai_select_hit_reaction(victim.entity, attacker.entity), DEATH);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 0.0f);
    EXPECT_EQ(victim.entity->velocity.x, 0.0f);
    EXPECT_EQ(victim.entity->velocity.z, 0.0f);
    EXPECT_EQ(ai_select_hit_reaction(victim.entity, attacker.entity), -1);
    int starts = 0;
    for (const std::string& line : log.errors())
        starts += line.find("victim_dies") != std::string::npos;
    EXPECT_EQ(starts, 1);  // the script file is missing: its start fails once
}

// ---- Resolution ----

TEST_F(AiHitTest, ContactsWithoutBrainsAreRefused)
{
    Victim victim;
    Attacker attacker;
    attacker.entity->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
    EXPECT_EQ(ai_resolve_hit(attacker.entity, victim.entity, 1, 1), 0);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 40.0f);
}

TEST_F(AiHitTest, AProjectileStrikesAnyoneButItsShooter)
{
    Victim victim;
    Attacker shooter;
    Figure shot("shot");
    shot.entity->win_entity_flag |= ENTITY_FLAG_PROJECTILE;
    shot.c->hitpoints = 12.0f;
    shot.c->current_weapon = shooter.entity;

    EXPECT_EQ(ai_resolve_hit(shot.entity, shooter.entity, -1, 1), 0);
    EXPECT_EQ(shot.entity->life_span, ETERNAL_LIFE_SPAN);  // it flies on

    EXPECT_EQ(ai_resolve_hit(victim.entity, shot.entity, 1, -1), 1);
    EXPECT_EQ(shot.entity->life_span, 0.0f);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 28.0f);
    EXPECT_EQ(victim.entity->win_ast->current_anim_index, MEDIUM_HIT);
    EXPECT_TRUE(victim.sparked(1));

    // One impervious to projectiles is not hurt, but the projectile is spent.
    shot.entity->life_span = ETERNAL_LIFE_SPAN;
    victim.stand_in(IDLE);
    victim.state(IDLE, AI_HIT_TYPE_IMPERVIOUS_TO_PROJECTILE, 0);
    EXPECT_EQ(ai_resolve_hit(shot.entity, victim.entity, -1, 1), 0);
    EXPECT_EQ(shot.entity->life_span, 0.0f);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 28.0f);
}

TEST_F(AiHitTest, AMeleeWeaponHitsWhileItsWielderAttacks)
{
    Victim victim;
    Attacker wielder;
    Figure sword("sword");
    sword.entity->win_entity_flag |= ENTITY_FLAG_MELEE_1 | ENTITY_FLAG_WEAPON;
    sword.table(1);
    sword.c->hitpoints = 12.0f;
    sword.c->current_weapon = wielder.entity;

    EXPECT_EQ(ai_resolve_hit(sword.entity, wielder.entity, 3, 1), 0);
    EXPECT_FLOAT_EQ(wielder.c->hitpoints, -1.0f);
    EXPECT_EQ(ai_resolve_hit(victim.entity, sword.entity, 1, 3), 1);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 28.0f);
    EXPECT_EQ(victim.entity->win_ast->current_anim_index, MEDIUM_HIT);
    victim.stand_in(IDLE);

    // Put away in an idle state, the sword is just another character.
    wielder.state(0, 0, 0);
    EXPECT_EQ(ai_resolve_hit(sword.entity, victim.entity, 3, 1), 1);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 28.0f);

    wielder.state(0, ANIM_TYPE_ATTACKING, 0);
    victim.state(IDLE, AI_HIT_TYPE_IMPERVIOUS_TO_MELEE, 0);
    EXPECT_EQ(ai_resolve_hit(sword.entity, victim.entity, 3, 1), 0);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 28.0f);
}

struct AttackCase {
    const char* what;
    bool attacker_first;      // the attacker is entity a
    int32_t victim_type;      // the victim's state
    int32_t attack_reaction;  // the attacker's
    int32_t combat_table;     // the attacker's combat table: -1, or 0 (joints 5 to 5)
    int32_t block_chance;
    int expected;
    float hitpoints_after;
    int32_t victim_state_after;  // the reaction it plays
    bool sparks;                 // its hit emitter fires
};

TEST_F(AiHitTest, AnAttackStateHitsWhenItsCombatJointsReach)
{
    const AttackCase cases[] = {
        {"a attacks b", true, 0, 0, -1, -1, 1, 30, MEDIUM_HIT, true},
        {"b attacks a", false, 0, 0, -1, -1, 1, 30, MEDIUM_HIT, true},
        {"a standard 1 attack on a guard against it", true, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_1,
         ANIM_REACTION_STANDARD_1, -1, -1, 1, 40, IDLE, false},
        {"the same, b attacking", false, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_1,
         ANIM_REACTION_STANDARD_1, -1, -1, 0, 40, IDLE, false},
        {"a guard against another kind", true, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD_2,
         ANIM_REACTION_STANDARD_1, -1, -1, 1, 30, ANSWERS_STANDARD_1, true},
        {"impervious to standard attacks", true, AI_HIT_TYPE_IMPERVIOUS_TO_STANDARD, 0, -1, -1, 1,
         40, IDLE, false},
        {"a joint outside the combat set", true, 0, 0, 0, -1, 0, 40, IDLE, false},
        {"blocked every time", true, 0, 0, -1, 100, 1, 40, BLOCKED, false},
    };
    for (const AttackCase& t : cases) {
        SCOPED_TRACE(t.what);
        Victim victim;
        Attacker attacker(t.attack_reaction);
        attacker.joint_table({{5, 5}});
        attacker.state(0).combat_win_joint_table_idx = t.combat_table;
        victim.state(IDLE, t.victim_type, 0);
        victim.state(IDLE).block_to_value = t.block_chance;
        victim.state(IDLE).block_to_anim_index = BLOCKED;
        int answer = t.attacker_first ? ai_resolve_hit(attacker.entity, victim.entity, 1, 1)
                                      : ai_resolve_hit(victim.entity, attacker.entity, 1, 1);
        EXPECT_EQ(answer, t.expected);
        EXPECT_FLOAT_EQ(victim.c->hitpoints, t.hitpoints_after);
        EXPECT_EQ(victim.entity->win_ast->current_anim_index, t.victim_state_after);
        EXPECT_EQ(victim.sparked(1), t.sparks);
        EXPECT_EQ(ai_block_flag, 0);  // a block is spent on the hit that chose it
    }
}

TEST_F(AiHitTest, AnAttackThatDoesNotReachDoesNothing)
{
    Victim victim;
    Attacker attacker;
    attacker.c->mow_track_augment_array[1].mow_augment_sphere_center = {60, 0, 0};
    EXPECT_EQ(ai_resolve_hit(attacker.entity, victim.entity, 1, 1), 1);
    EXPECT_FLOAT_EQ(victim.c->hitpoints, 40.0f);
}

TEST_F(AiHitTest, HostileJointIndexesNeverReachAnArray)
{
    // Joints far outside both pose arrays, and a current state the table
    // does not have: the hit resolves from the bodies without reading past
    // an array (the sanitizer build watches).
    Victim victim;
    Attacker attacker;
    for (int32_t joint : {-1, -7, 4, 1 << 20}) {
        SCOPED_TRACE(joint);
        EXPECT_EQ(ai_resolve_hit(attacker.entity, victim.entity, joint, joint), 1);
    }
    victim.stand_in(VICTIM_STATES + 3);
    EXPECT_EQ(ai_resolve_hit(attacker.entity, victim.entity, 1 << 20, -9), 1);
}

// ---- Joint tables ----

TEST_F(AiHitTest, JointTablesCountTheirRanges)
{
    Figure f("tables");
    f.table(1);
    f.joint_table({{1, 3}, {7, 7}});
    f.joint_table({});
    const win_joint_table* list = f.entity->win_ast->win_joint_table_list;
    struct Case {
        int32_t joint;
        int32_t table;
        int expected;
    } cases[] = {
        {2, 0, 1},  {5, 0, 0}, {7, 0, 1},
        {3, 0, 1},  {8, 0, 0}, {5, -1, 1},  // no table: every joint
        {5, 1, 1},                          // a table without ranges: every joint
        {5, 2, 0},                          // past the end: round to the first
        {5, -2, 0},                         // backwards round the ring
    };
    LogCapture log;
    for (const Case& t : cases) {
        SCOPED_TRACE(std::to_string(t.joint) + " in table " + std::to_string(t.table));
        log.clear();
        EXPECT_EQ(ai_joint_in_joint_table(list, t.joint, t.table), t.expected);
        EXPECT_EQ(log.notices(), (std::vector<std::string>{
                                     "debug take me out: " + std::to_string(t.table) + "."}));
    }
    EXPECT_EQ(ai_joint_in_joint_table(nullptr, 5, 3), 1);
}

}  // namespace
