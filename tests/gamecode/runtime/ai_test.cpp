#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "ai_fixture.h"
#include "demo_ai.h"
#include "rand_util.h"
#include "test_support.h"

namespace {

using AiGoals = AiTest;
using AiPatrol = AiTest;
using AiSectors = AiTest;

constexpr float DEG = AI_PI / 180.0f;

win_sector sector(float min, float max, float from_degrees, float to_degrees)
{
    return {{min, max, from_degrees * DEG, to_degrees * DEG}};
}

// ---- The goal stack ----

TEST_F(AiGoals, APushedGoalRunsFirstAndTheOneBelowResumes)
{
    LogCapture log;
    AiScene scene;
    win_entity* player = scene.character("player", {0, 0, -100}, 0.0f, 20.0f);
    win_entity* guard = scene.character("guard", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f, scene.ai());

    // An empty stack idles, silently.
    EXPECT_EQ(ai_update_character(guard, 100.0f), 1);
    ASSERT_NE(ai_current(guard), nullptr);
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_IDLE);
    EXPECT_TRUE(ai_goal_types(guard).empty());

    EXPECT_EQ(ai_add_goal(guard, AI_GOAL_HUNT_TARGET, player, 0, 0, 0, -1), 1);
    EXPECT_EQ(ai_add_goal(guard, AI_GOAL_ATTACK, player, 0, 0, 0, -1), 1);
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_ATTACK);
    EXPECT_EQ(ai_goal_types(guard), (std::vector<int32_t>{AI_GOAL_HUNT_TARGET, AI_GOAL_ATTACK}));
    EXPECT_EQ(ai_next_goal(guard)->ai_goal_type, AI_GOAL_HUNT_TARGET);
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_HUNT_TARGET);
    EXPECT_EQ(ai_current(guard)->target_entity, player);
    // The last goal leaves an empty stack and an idle goal of no ring.
    const win_goal_entry* idle = ai_next_goal(guard);
    EXPECT_EQ(idle->ai_goal_type, AI_GOAL_IDLE);
    EXPECT_TRUE(ai_goal_types(guard).empty());
    EXPECT_TRUE(log.warnings().empty());
    EXPECT_TRUE(log.errors().empty());
}

// A goal of a type the machine does not know is taken with a warning and
// stays current, doing nothing, with a warning each frame.
TEST_F(AiGoals, GoalTypesOutsideTheTableAreTakenWithAWarning)
{
    LogCapture log;
    AiScene scene;
    win_entity* guard = scene.character("guard", {0, 0, 0}, 0.0f, 20.0f, scene.ai());
    for (int32_t type : {-1, 37, 1000}) {
        SCOPED_TRACE(type);
        log.clear();
        EXPECT_EQ(ai_add_goal(guard, type, NULL, 0, 0, 0, -1), 1);
        ASSERT_NE(ai_current(guard), nullptr);
        EXPECT_EQ(ai_current(guard)->ai_goal_type, type);
        ai_update_character(guard, 100.0f);
        EXPECT_EQ(ai_current(guard)->ai_goal_type, type);
        EXPECT_EQ(log.warnings(),
                  (std::vector<std::string>{"Unknown goal type " + std::to_string(type) +
                                                " given to ai_add_goal for entity guard.",
                                            "Unknown character entity goal " +
                                                std::to_string(type) + "."}));
        EXPECT_TRUE(log.errors().empty());
    }
    EXPECT_EQ(ai_goal_types(guard), (std::vector<int32_t>{-1, 37, 1000}));

    // Entities without an AI get none; other kinds of entity are left alone.
    win_entity* statue = scene.character("statue", {0, 0, 0}, 0.0f, 20.0f);
    EXPECT_EQ(ai_add_goal(statue, AI_GOAL_WAIT, NULL, 0, 0, 0, -1), 0);
    EXPECT_TRUE(log.contains("Cannot ai_add_goal because entity statue has no AI."));
    win_entity* lamp = malloc_win_entity("lamp");
    lamp->win_entity_type = WIN_ENTITY_TYPE_LIGHT;
    scene.adopt(lamp);
    EXPECT_EQ(ai_add_goal(lamp, AI_GOAL_WAIT, NULL, 0, 0, 0, -1), 1);
    EXPECT_EQ(ai_create_default_goal(statue), nullptr);
    EXPECT_TRUE(log.contains("Entity statue has no AI.  Cannot create default goal."));
}

TEST_F(AiGoals, GoalsWithoutBehaviourWarnEveryFrameAndStay)
{
    LogCapture log;
    AiScene scene;
    win_entity* guard = scene.character("guard", {0, 0, 0}, 0.0f, 20.0f, scene.ai());
    ai_add_goal(guard, 5, NULL, 0, 0, 0, -1);
    for (int frame = 0; frame < 3; ++frame)
        ai_update_character(guard, 100.0f);
    EXPECT_EQ(log.warnings(), std::vector<std::string>(3, "Unknown character entity goal 5."));
    EXPECT_EQ(ai_current(guard)->ai_goal_type, 5);
}

TEST_F(AiGoals, WaitingEndsOnceTheFramesAddUp)
{
    AiScene scene;
    win_entity* guard = scene.character("guard", {0, 0, 0}, 0.0f, 20.0f, scene.ai());
    ai_add_goal(guard, AI_GOAL_WAIT, NULL, 1000.0f, 0, 0, -1);
    for (float dt : {300.0f, 300.0f, 300.0f, 200.0f}) {
        ai_update_character(guard, dt);
        EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_WAIT);
    }
    ai_update_character(guard, 10.0f);
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_IDLE);
}

TEST_F(AiGoals, OnlyLivingBrainyCharactersWithAnAiThink)
{
    AiScene scene;
    win_ai* ai = scene.ai();
    win_entity* guard = scene.character("guard", {0, 0, 0}, 0.0f, 20.0f, ai);
    ai_add_goal(guard, AI_GOAL_TURN_TO_POINT, NULL, 100, 0, 0, -1);
    guard->win_entity_flag &= ~ENTITY_FLAG_BRAIN;
    ai_update_character(guard, 100.0f);
    guard->win_entity_flag |= ENTITY_FLAG_BRAIN;
    guard->u.win_character->hitpoints = 0.0f;
    ai_update_character(guard, 100.0f);
    EXPECT_EQ(ai_input(guard), 0);
    EXPECT_FLOAT_EQ(ai->personality.time_since_attack, 0.0f);
    guard->u.win_character->hitpoints = 1.0f;
    ai_update_character(guard, 100.0f);
    EXPECT_EQ(ai_input(guard), ACTION_LEFT);
    EXPECT_FLOAT_EQ(ai->personality.time_since_attack, 0.1f);
}

TEST_F(AiGoals, HuntingToWeaknessStartsTheEndScriptAndStays)
{
    LogCapture log;
    AiScene scene;
    win_ai* ai = scene.ai();
    ai->end_script = STRDUP("guard_beaten");
    win_entity* guard = scene.character("guard", {0, 0, 0}, 0.0f, 20.0f, ai);
    win_entity* player = scene.character("player", {0, 0, -100}, 0.0f, 20.0f);
    player->u.win_character->hitpoints = 10.0f;
    ai_add_goal(guard, AI_GOAL_HUNT_TARGET_TO_WEAKNESS, player, 0, 0, 0, -1);
    ai_update_character(guard, 100.0f);
    EXPECT_TRUE(log.contains("guard_beaten"));  // the engine tried to start it
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_HUNT_TARGET_TO_WEAKNESS);
}

TEST_F(AiGoals, DuplicatesKeepThePersonalityAlone)
{
    AiScene scene;
    win_ai* source = scene.ai({sector(0, 60, -30, 30)});
    source->personality.attack_interval = 1.5f;
    source->end_script = STRDUP("end");
    win_entity* guard = scene.character("guard", {0, 0, 0}, 0.0f, 20.0f, source);
    ai_add_goal(guard, AI_GOAL_WAIT, NULL, 10, 0, 0, -1);
    win_ai* copy = ai_create_duplicate(source);
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->personality.attack_interval, 1.5f);
    EXPECT_EQ(copy->end_script, nullptr);
    EXPECT_EQ(copy->win_goal_entry_list, nullptr);
    EXPECT_EQ(copy->attack_sector_list, nullptr);
    EXPECT_EQ(copy->target_joint, -1);
    free_win_ai(copy);
}

// Facing its point, a guard walks straight at it; otherwise it turns on
// its way, and a point it cannot see keeps it turning rather than sending
// it round by the map.
TEST_F(AiGoals, FaceAndWalkTurnsOnlyWhileNotFacingThePoint)
{
    AiScene scene;
    // A wall across the +x side, between the guard and a point there.
    scene.environment(NULL, {{{50, 0, -100}, {50, 0, 100}}});
    win_entity* guard = scene.character("guard", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f, scene.ai());
    const struct {
        win_vect3 point;
        int32_t input;
    } cases[] = {
        {{0, 0, -200}, ACTION_UP},
        {{200, 0, 0}, ACTION_LEFT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.point.x);
        ai_add_goal(guard, AI_GOAL_FACE_AND_WALK_TO_POINT, NULL, c.point.x, c.point.y, c.point.z,
                    -1);
        guard->win_ast->anim_input_flags = 0;
        ai_update_character(guard, 100.0f);
        EXPECT_EQ(ai_input(guard), c.input);
        EXPECT_EQ(ai_goal_types(guard), std::vector<int32_t>{AI_GOAL_FACE_AND_WALK_TO_POINT});
        ai_clear_goals(guard);
    }
}

// A goal already met ends at once, writing no input: a turn toward a
// point ahead, a walk to where the guard stands, a hunt of a target without
// hit points.
TEST_F(AiGoals, AGoalAlreadyMetEndsWithoutInput)
{
    AiScene scene;
    win_entity* guard = scene.character("guard", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f, scene.ai());
    win_entity* fallen = scene.character("fallen", {0, 0, -100}, 0.0f, 20.0f);
    fallen->u.win_character->hitpoints = 0.0f;
    const struct {
        int32_t type;
        win_entity* target;
        win_vect3 point;
    } cases[] = {
        {AI_GOAL_TURN_TO_POINT, NULL, {0, 0, -200}},
        {AI_GOAL_WALK_TO_POINT, NULL, {5, 0, 0}},
        {AI_GOAL_FACE_AND_WALK_TO_POINT, NULL, {0, 0, 5}},
        {AI_GOAL_HUNT_TARGET, fallen, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        ai_add_goal(guard, c.type, c.target, c.point.x, c.point.y, c.point.z, -1);
        guard->win_ast->anim_input_flags = 0;
        ai_update_character(guard, 100.0f);
        EXPECT_EQ(ai_input(guard), 0);
        EXPECT_TRUE(ai_goal_types(guard).empty());
    }
}

// A guard near its post closes in on a player within reach of its sectors
// and otherwise keeps to the post; away from it, it goes back to the post
// keeping the player in front: walking, backing or sidestepping as the
// player stands ahead, behind or beside it.
TEST_F(AiGoals, AGuardKeepsToItsPostAndClosesInOnlyWithinReach)
{
    AiScene scene;
    const win_vect3 post = {0, 0, 0};
    const struct {
        const char* what;
        win_vect3 guard, player;
        int32_t pushed;
    } cases[] = {
        {"at the post, the player within reach", post, {0, 0, -100}, AI_GOAL_ATTACK},
        {"at the post, the player out of reach", post, {0, 0, -400}, AI_GOAL_SIDESTEP_TO_POINT},
        {"away, the player ahead", {0, 0, 300}, {0, 0, 0}, AI_GOAL_FACE_AND_WALK_TO_POINT},
        {"away, the player behind", {0, 0, 300}, {0, 0, 600}, AI_GOAL_BACK_TO_POINT},
        {"away, the player beside", {0, 0, 300}, {300, 0, 300}, AI_GOAL_SIDESTEP_TO_POINT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        win_ai* ai = scene.ai({sector(0, 150, -30, 30)});
        ai->personality.attack_interval = 0.0f;
        ai->personality.time_since_attack = 1.0f;
        win_entity* guard = scene.character("guard", c.guard, AI_FACE_NEG_Z, 20.0f, ai);
        game_globals.player_character = scene.character("player", c.player, 0.0f, 20.0f);
        ai_add_goal(guard, AI_GOAL_GUARD_POINT, NULL, post.x, post.y, post.z, 100);
        ai_update_character(guard, 100.0f);
        EXPECT_EQ(ai_goal_types(guard), (std::vector<int32_t>{AI_GOAL_GUARD_POINT, c.pushed}));
        if (c.pushed != AI_GOAL_ATTACK) {
            EXPECT_FLOAT_EQ(ai_current(guard)->goal_point.z, post.z);
        }
    }
}

// ---- Attack sectors ----

TEST_F(AiSectors, ClassifyTargetsByAngleThenDistance)
{
    AiScene scene;
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f);
    win_entity* other = scene.character("other", {0, 0, 0}, 0.0f, 20.0f);
    win_hot_sector hot = win_hot_sector_record_desc::templ;
    hot.sector = sector(50, 150, -30, 30);
    struct Case {
        win_vect3 at;
        int32_t answer;
    } cases[] = {
        {{0, 0, -100}, AI_SECTOR_INSIDE},
        {{0, 0, -200}, AI_SECTOR_TOO_FAR},
        {{0, 0, -20}, AI_SECTOR_TOO_NEAR},
        {{0, 500, -100}, AI_SECTOR_INSIDE},  // xz only
        {{100, 0, -100}, 0},
        {{-100, 0, -100}, 0},
    };
    int32_t sides[2] = {0, 0};
    for (const Case& c : cases) {
        ai_place(other, c.at, 0.0f);
        const int32_t answer = ai_check_hot_sector(self, other, &hot);
        if (c.answer)
            EXPECT_EQ(answer, c.answer) << c.at.x << " " << c.at.z;
        else
            sides[c.at.x > 0 ? 0 : 1] = answer;
    }
    // The two sides answer the two angle limits.
    EXPECT_EQ(std::min(sides[0], sides[1]), AI_SECTOR_BEFORE_ANGLE_FROM);
    EXPECT_EQ(std::max(sides[0], sides[1]), AI_SECTOR_BEYOND_ANGLE_TO);
}

TEST_F(AiSectors, TooNearCountsOnlyForALoneSector)
{
    AiScene scene;
    win_entity* target = scene.character("target", {0, 0, -20}, 0.0f, 20.0f);
    win_entity* lone = scene.character("lone", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f,
                                       scene.ai({sector(50, 150, -30, 30)}));
    win_entity* pair = scene.character(
        "pair", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f,
        scene.ai({sector(50, 150, -30, 30), sector(200, 300, -30, 30)},
                 {AI_ATTACK_MELEE_1, AI_ATTACK_STANDARD_2}));
    EXPECT_EQ(ai_find_attack_sector(lone, target), AI_TARGET_TOO_NEAR);
    EXPECT_EQ(ai_find_attack_sector(pair, target), AI_NO_ATTACK_SECTOR);
    ai_place(target, {0, 0, -250}, 0.0f);
    EXPECT_EQ(ai_find_attack_sector(pair, target), AI_ATTACK_STANDARD_2);
    EXPECT_EQ(ai_find_attack_sector(lone, target), AI_NO_ATTACK_SECTOR);
    EXPECT_EQ(ai_is_target_within_sector_range(pair, target,
                                               pair->u.win_character->win_ai->attack_sector_list),
              1);
    EXPECT_EQ(ai_is_target_within_sector_range(lone, target,
                                               lone->u.win_character->win_ai->attack_sector_list),
              0);
    win_entity* unarmed = scene.character("unarmed", {0, 0, 0}, 0.0f, 20.0f, scene.ai());
    EXPECT_EQ(ai_find_attack_sector(unarmed, target), AI_NO_ATTACK_SECTOR);
    EXPECT_EQ(ai_is_target_within_sector_range(unarmed, target, NULL), 0);
    win_entity* statue = scene.character("statue", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f);
    EXPECT_EQ(ai_find_attack_sector(statue, target), AI_NO_ATTACK_SECTOR);
    EXPECT_EQ(ai_find_sector_goal(unarmed, target), nullptr);
}

TEST_F(AiSectors, TheSectorGoalPointsMostNearlyAtTheTarget)
{
    AiScene scene;
    win_entity* target = scene.character("target", {0, 0, -1}, 0.0f, 20.0f);
    // Middles that miss the target by 0.5, 0.1 and 0.3 (the sine of the
    // angle, the target one unit away).
    const float misses[] = {std::asin(0.5f) / DEG, std::asin(0.1f) / DEG, std::asin(0.3f) / DEG};
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f,
                                       scene.ai({sector(0, 10, misses[0] - 5, misses[0] + 5),
                                                 sector(0, 10, misses[1] - 5, misses[1] + 5),
                                                 sector(0, 10, misses[2] - 5, misses[2] + 5)},
                                                {1, 2, 4}));
    EXPECT_EQ(ai_find_sector_goal(self, target)->sector_kind, 2);
}

TEST_F(AiSectors, RelativeDirectionsAreQuarters)
{
    AiScene scene;
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f);
    win_entity* other = scene.character("other", {0, 0, 0}, 0.0f, 20.0f);
    const struct {
        win_vect3 at;
        int32_t flags;
    } cases[] = {
        {{0, 0, -100}, 0x2000},
        {{30, 0, -100}, 0x2000},
        {{0, 0, 100}, 0x4000},
        {{-30, 0, 100}, 0x4000},
    };
    for (const auto& c : cases) {
        ai_place(other, c.at, 0.0f);
        EXPECT_EQ(ai_get_relative_direction_flags(self, other), c.flags) << c.at.x << " " << c.at.z;
    }
    // The two sides get the two side flags.
    ai_place(other, {100, 0, 0}, 0.0f);
    const int32_t one = ai_get_relative_direction_flags(self, other);
    ai_place(other, {-100, 0, 0}, 0.0f);
    const int32_t other_side = ai_get_relative_direction_flags(self, other);
    EXPECT_EQ(one | other_side, 0x8000 | 0x10000);
    // Beyond any distance the quarters measure, no direction.
    ai_place(other, {0, 0, -2e8f}, 0.0f);
    EXPECT_EQ(ai_get_relative_direction_flags(self, other), 0);
    EXPECT_EQ(ai_get_relative_direction_flags(self, NULL), 0);
}

// ---- Unloaded targets and map indexes ----

TEST_F(AiGoals, AnUnloadedTargetIsNoLongerFollowed)
{
    LogCapture log;
    AiScene scene;
    scene.environment(NULL);
    win_entity* player = scene.character("player", {0, 0, -100}, 0.0f, 20.0f);
    win_entity* guard = scene.character("guard", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f, scene.ai());
    scene.ring(guard);
    scene.ring(player);
    ai_add_goal(guard, AI_GOAL_HUNT_TARGET, player, 0, 0, 0, -1);
    ai_add_goal(guard, AI_GOAL_TURN_TO_TARGET, player, 0, 0, 0, -1);
    ai_update_character(guard, 100.0f);  // facing it already: done turning
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_HUNT_TARGET);

    ai_forget_entity(player);
    EXPECT_EQ(ai_current(guard)->target_entity, nullptr);
    ai_update_character(guard, 100.0f);
    EXPECT_TRUE(log.contains("Entity guard drops goal 4, whose target is gone."));
    EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_IDLE);
    EXPECT_EQ(ai_input(guard), 0);

    // The guard's own idle goal stays while its goal code may still run; it
    // goes with its AI record (the leak check sees it when the scene goes).
    const win_goal_entry* idle = ai_current(guard);
    ai_forget_entity(guard);
    EXPECT_EQ(ai_current(guard), idle);
}

TEST_F(AiGoals, NodesOutsideTheMapAreNeverWalkedTo)
{
    LogCapture log;
    AiScene scene;
    win_map* map = demo_ai_make_map("square");
    scene.environment(map);
    win_entity* guard = scene.character("guard", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f, scene.ai());
    for (int32_t type : {AI_GOAL_WALK_TO_NODE, AI_GOAL_RUN_TO_NODE, AI_GOAL_SEEK_PLAYER}) {
        ai_add_goal(guard, type, NULL, 0, 0, 0, 99);
        ai_update_character(guard, 100.0f);
        EXPECT_EQ(ai_current(guard)->ai_goal_type, AI_GOAL_IDLE) << type;
    }
    EXPECT_TRUE(log.contains("Entity guard walks to node 99, which the map does not have."));
    EXPECT_TRUE(log.contains("Entity guard seeks node 99, which its map does not have."));

    // A map whose gate holds no path toward the yard: the guard at the gate
    // wanders instead of reading past the path array.
    map->node_array[0].path_array_size = 2;
    rand_util_srand(3);
    ai_add_goal(guard, AI_GOAL_WALK_TO_NODE, NULL, 0, 0, 0, 3);
    ai_update_character(guard, 100.0f);
    EXPECT_EQ(ai_goal_types(guard), std::vector<int32_t>{AI_GOAL_WALK_TO_NODE});
    map->node_array[0].path_array_size = DEMO_AI_MAP_NODES;
    // With it, the guard turns toward the yard first.
    ai_update_character(guard, 100.0f);
    EXPECT_EQ(ai_goal_types(guard),
              (std::vector<int32_t>{AI_GOAL_WALK_TO_NODE, AI_GOAL_FACE_AND_WALK_TO_POINT,
                                    AI_GOAL_TURN_TO_POINT}));
    EXPECT_FLOAT_EQ(ai_current(guard)->goal_point.z, DEMO_AI_MAP_SIDE);
}

TEST_F(AiGoals, AGuardBesideTheMapGoesToItsNearestNodeFirst)
{
    AiScene scene;
    scene.environment(demo_ai_make_map("square"));
    // Near the gate (node 0), not on it, sent to the well.
    win_entity* guard = scene.character("guard", {30, 0, 30}, AI_FACE_NEG_Z, 20.0f, scene.ai());
    ai_add_goal(guard, AI_GOAL_WALK_TO_NODE, NULL, 0, 0, 0, 2);
    ai_update_character(guard, 100.0f);
    EXPECT_EQ(ai_goal_types(guard),
              (std::vector<int32_t>{AI_GOAL_WALK_TO_NODE, AI_GOAL_FACE_AND_WALK_TO_POINT,
                                    AI_GOAL_TURN_TO_POINT}));
    EXPECT_FLOAT_EQ(ai_current(guard)->goal_point.x, 0.0f);
    EXPECT_FLOAT_EQ(ai_current(guard)->goal_point.z, 0.0f);
}

// A hunter that cannot see its target goes by the map: to the next node on
// the way, the gate (node 0) included.
TEST_F(AiGoals, AHunterOutOfSightGoesByTheMapThroughTheGate)
{
    AiScene scene;
    // A wall across the square between the tower (node 1) and the gate.
    scene.environment(demo_ai_make_map("square"), {{{100, 0, -100}, {100, 0, 100}}});
    win_entity* guard = scene.character("guard", {200, 0, 0}, AI_FACE_POS_X, 20.0f, scene.ai());
    win_entity* player = scene.character("player", {-30, 0, 0}, 0.0f, 20.0f);
    game_globals.player_character = player;
    ai_add_goal(guard, AI_GOAL_HUNT_TARGET, player, 0, 0, 0, -1);
    ai_update_character(guard, 100.0f);
    EXPECT_EQ(ai_goal_types(guard),
              (std::vector<int32_t>{AI_GOAL_HUNT_TARGET, AI_GOAL_GO_TO_POINT_ALERT}));
    EXPECT_FLOAT_EQ(ai_current(guard)->goal_point.x, 0.0f);
    EXPECT_FLOAT_EQ(ai_current(guard)->goal_point.z, 0.0f);
}

// ---- A guard on patrol ----

// Plays the input the guard's AI wrote, as a simple state table would: a
// turn bit turns it 45 degrees on the spot, forward walks 25 units (runs
// 50), a strafe or an attack stands. The input word is consumed.
void play(win_entity* guard, float* yaw)
{
    const int32_t input = ai_input(guard);
    guard->win_ast->anim_input_flags = 0;
    win_vect3 position = ai_entity_position(guard);
    if (input & ((int32_t)ACTION_STRAFE | ANIM_INPUT_ATTACK))
        return;
    if (input & (ACTION_LEFT | ACTION_RIGHT)) {
        *yaw += (input & ACTION_LEFT ? -45.0f : 45.0f) * DEG;
    } else if (input & ACTION_UP) {
        win_vect3 facing;
        win_math_calc_xz_direction_vect3(&facing, &guard->local_matrix);
        const float step = input & ACTION_A_BUTTON ? 50.0f : 25.0f;
        position = {position.x + facing.x * step, position.y, position.z + facing.z * step};
    }
    ai_place(guard, position, *yaw);
}

struct PatrolFrame {
    int frame;
    std::optional<win_vect3> player;  // where the player steps this frame
    int32_t player_state_flags;       // of its current state
    int32_t goal;                     // the guard's current goal afterwards
    int32_t input;                    // what it wrote
    win_vect3 guard;                  // where it stands after playing it
    std::optional<win_vect3> goal_point = {};
};

TEST_F(AiPatrol, AGuardPatrolsAttacksHuntsAndFollowsTheMapWhenItLosesSight)
{
    // The demo square (gate 0,0; tower 200,0; well 200,200; yard 0,200) and
    // a wall across beyond the well, from x 205 to 300 at z 260.
    AiScene scene;
    scene.environment(demo_ai_make_map("square"), {{{205, 0, 260}, {300, 0, 260}}});
    win_ai* ai = demo_ai_make_guard();  // melee 0-60 at 30 degrees, standard 60-300 at 20
    win_entity* guard = scene.character("guard", {0, 0, 0}, AI_FACE_POS_X, 20.0f, ai);
    win_entity* player = scene.character("player", {100, 0, -150}, 0.0f, 20.0f);
    game_globals.player_character = player;
    float yaw = AI_FACE_POS_X;
    // The patrol: to the tower, then on to the well.
    ai_add_goal(guard, AI_GOAL_GO_TO_POINT_ALERT, NULL, 200, 0, 200, -1);
    ai_add_goal(guard, AI_GOAL_GO_TO_POINT_ALERT, NULL, 200, 0, 0, -1);

    // The hunt draws once a frame; the frame the player attacks draws the
    // guard's dodge as well (the fourth and fifth draws of the run).
    const uint32_t seed = 7;
    rand_util_srand(seed);
    int draws[6];
    for (int& d : draws)
        d = rand_util_rand() % 100;
    ASSERT_LT(draws[2], 25) << "the seed must make the guard dodge";
    const int32_t dodge = (int32_t)ACTION_STRAFE | (draws[3] < 51 ? ACTION_RIGHT : ACTION_LEFT);
    rand_util_srand(seed);

    const int32_t UP = ACTION_UP, LEFT = ACTION_LEFT, RUN = ACTION_UP | ACTION_A_BUTTON;
    const int32_t ATTACK = ANIM_INPUT_ATTACK;
    const PatrolFrame frames[] = {
        // Walking to the tower; the player stands off to the side, unseen.
        {1, {}, 0, 36, UP, {25, 0, 0}, {{200, 0, 0}}},
        {2, {}, 0, 36, UP, {50, 0, 0}},
        {7, {}, 0, 36, UP, {175, 0, 0}},
        {8, {}, 0, 36, UP, {200, 0, 0}},
        {9, {}, 0, 36, 0, {200, 0, 0}, {{200, 0, 200}}},  // there: on to the well
        {10, {}, 0, 36, UP | LEFT, {200, 0, 0}},
        {11, {}, 0, 36, UP | LEFT, {200, 0, 0}},
        {12, {}, 0, 36, UP, {200, 0, 25}},
        // The player steps in front, in the standard attack sector.
        {13, {{230, 0, 250}}, 0, AI_GOAL_ATTACK, 0, {200, 0, 25}},
        {14, {}, 0, 36, ATTACK, {200, 0, 25}},
        {15, {}, 0, AI_GOAL_ATTACK, 0, {200, 0, 25}},
        {16, {}, 0, 36, ATTACK, {200, 0, 25}},
        // It backs off out of reach but in sight: the hunt closes in.
        {17, {{200, 0, 500}}, 0, AI_GOAL_HUNT_TARGET, 0, {200, 0, 25}},
        {18, {}, 0, AI_GOAL_APPROACH_TARGET, 0, {200, 0, 25}},
        {19, {}, 0, AI_GOAL_APPROACH_TARGET, RUN, {200, 0, 75}},
        {20, {}, 0, AI_GOAL_APPROACH_TARGET, RUN, {200, 0, 125}},
        {21, {}, 0, AI_GOAL_APPROACH_TARGET, RUN, {200, 0, 175}},
        {22, {}, 0, AI_GOAL_APPROACH_TARGET, RUN, {200, 0, 225}},
        {23, {}, 0, AI_GOAL_HUNT_TARGET, 0, {200, 0, 225}},         // in range, time up
        {24, {}, 0, AI_GOAL_FACE_ATTACK_SECTOR, 0, {200, 0, 225}},  // attack not due
        {25, {}, 0, AI_GOAL_HUNT_TARGET, 0, {200, 0, 225}},
        // The player swings: the guard dodges.
        {26, {}, ANIM_TYPE_ATTACKING, AI_GOAL_HUNT_TARGET, dodge, {200, 0, 225}},
        {27, {}, 0, AI_GOAL_ATTACK, 0, {200, 0, 225}},  // due now
        {28, {}, 0, AI_GOAL_HUNT_TARGET, ATTACK, {200, 0, 225}},
        // The player slips behind the wall: the guard heads for the yard,
        // the next node toward the node nearest the player that it can see.
        {29, {{260, 0, 400}}, 0, 36, 0, {200, 0, 225}, {{0, 0, 200}}},
        {30, {}, 0, 36, UP | LEFT, {200, 0, 225}},
        {31, {}, 0, 36, UP | LEFT, {200, 0, 225}},
        {32, {}, 0, 36, UP, {175, 0, 225}},
        {33, {}, 0, 36, UP, {150, 0, 225}},
    };
    int frame = 1;
    for (const PatrolFrame& f : frames) {
        for (; frame <= f.frame; ++frame) {
            if (frame == f.frame && f.player)
                ai_place(player, *f.player, 0.0f);
            player->win_ast->win_anim_table_base_array[0].anim_type_flags =
                frame == f.frame ? f.player_state_flags : 0;
            ai_update_character(guard, 250.0f);
            if (frame == f.frame) {
                EXPECT_EQ(ai_current(guard)->ai_goal_type, f.goal) << "frame " << frame;
                EXPECT_EQ(ai_input(guard), f.input) << "frame " << frame;
                if (f.goal_point) {
                    EXPECT_NEAR(ai_current(guard)->goal_point.x, f.goal_point->x, 1e-3) << frame;
                    EXPECT_NEAR(ai_current(guard)->goal_point.z, f.goal_point->z, 1e-3) << frame;
                }
            }
            play(guard, &yaw);
        }
        const win_vect3 at = ai_entity_position(guard);
        EXPECT_NEAR(at.x, f.guard.x, 1e-3) << "frame " << f.frame;
        EXPECT_NEAR(at.z, f.guard.z, 1e-3) << "frame " << f.frame;
    }
    // Six draws: five hunt steps and the dodge.
    int next_draw = rand_util_rand() % 100;
    rand_util_srand(seed);
    for (int i = 0; i < 6; ++i)
        rand_util_rand();
    EXPECT_EQ(next_draw, rand_util_rand() % 100);
}

}  // namespace
