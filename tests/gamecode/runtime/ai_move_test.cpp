#include <gtest/gtest.h>

#include <cmath>

#include "ai_fixture.h"
#include "demo_ai.h"
#include "rand_util.h"
#include "test_support.h"

namespace {

using AiDirections = AiTest;
using AiMove = AiTest;
using AiSight = AiTest;

constexpr float DEG = AI_PI / 180.0f;

// ---- Directions ----

TEST_F(AiDirections, TurnStrafeAndVerticalAnswerBySideAndTolerance)
{
    AiScene scene;
    // Facing -z from the origin, with a model of radius 10 (half height 5).
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 10.0f);
    struct Case {
        win_vect3 point;
        int32_t turn;
        int32_t strafe;
    } cases[] = {
        {{0, 0, -100}, 0, -1},      {{8.7f, 0, -100}, 0, -1},    // 5 degrees off: still ahead
        {{-8.7f, 0, -100}, 0, -1},  {{17.6f, 0, -100}, -1, -1},  // 10 degrees off
        {{-17.6f, 0, -100}, 1, -1}, {{100, 0, 0}, -1, 0},        // on the sideways axis: no strafe
        {{-100, 0, 0}, 1, 0},       {{0, 0, 100}, -1, 1},        // straight behind turns left
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ai_calc_turn_direction(self, &c.point), c.turn) << c.point.x << " " << c.point.z;
        EXPECT_EQ(ai_calc_strafe_direction(self, &c.point), c.strafe)
            << c.point.x << " " << c.point.z;
    }

    const win_vect3 level = {0, 4.9f, -50}, above = {0, 5.1f, -50}, below = {0, -6, -50};
    EXPECT_EQ(ai_calc_vertical_direction(self, &level), 0);
    EXPECT_EQ(ai_calc_vertical_direction(self, &above), 1);
    EXPECT_EQ(ai_calc_vertical_direction(self, &below), -1);
    // Without a model the tolerance is 0.1.
    win_entity* bare = scene.character("bare", {0, 0, 0}, AI_FACE_NEG_Z, 0.0f);
    const win_vect3 slight = {0, 0.2f, -50};
    EXPECT_EQ(ai_calc_vertical_direction(bare, &slight), 1);
}

TEST_F(AiDirections, CompassCodesGoRoundFromPlusZ)
{
    AiScene scene;
    win_entity* self = scene.character("self", {0, 0, 0}, 0.0f, 10.0f);
    // Facing -z is code 5; each eighth of a turn toward -x moves one code on.
    const int32_t codes[] = {5, 6, 7, 8, 1, 2, 3, 4};
    for (int k = 0; k < 8; ++k) {
        ai_place(self, {0, 0, 0}, (float)k * AI_PI / 4.0f);
        EXPECT_EQ(ai_get_approximate_entity_direction(self), codes[k]) << k;
    }
}

// ---- Movement ----

struct MoveCase {
    int32_t mobility;
    int32_t subgoal;
    float angle;  // of the point off the facing, toward +x, degrees
    int32_t input;
};

TEST_F(AiMove, WritesTheBitsOfEachMobilityType)
{
    // The point 60 degrees to +x needs a left turn (0x2); ahead, none.
    const MoveCase cases[] = {
        {0, MOVE_WALK_TOWARD, 60, 0},
        {1, MOVE_WALK_TOWARD, 60, ACTION_UP | ACTION_LEFT},
        {3, MOVE_RUN_TOWARD, 0, ACTION_UP | ACTION_A_BUTTON},
        {2, MOVE_RUN_TOWARD, 0, ACTION_UP},
        {4, MOVE_BACK_TOWARD, 60, ACTION_DOWN | ACTION_RIGHT},  // turn reversed
        {6, MOVE_BACK_AWAY, 60, ACTION_DOWN | ACTION_LEFT},
        {5, MOVE_WALK_TOWARD, 60, ACTION_LEFT},  // turns only
        {5, MOVE_RUN_TOWARD, 0, 0},
        {1, 2, 60, 0},
        {1, 4, 60, 0},
        {0, MOVE_TURN_TOWARD, 60, ACTION_LEFT},
        {0, MOVE_TURN_AWAY, 60, ACTION_RIGHT},
        {0, MOVE_SIDESTEP_TOWARD, 60, 0},
        {1, MOVE_SIDESTEP_TOWARD, 0, ACTION_STRAFE | ACTION_DOWN},
        {2, MOVE_SIDESTEP_TOWARD, 90, ACTION_STRAFE | ACTION_LEFT},
        {5, MOVE_SIDESTEP_TOWARD, 60, ACTION_STRAFE | ACTION_LEFT},
        {7, MOVE_WALK_TOWARD, 60, ACTION_LEFT},  // fliers turn too
        {7, MOVE_SIDESTEP_TOWARD, 60, 0},        // but not while sidestepping
    };
    for (const MoveCase& c : cases) {
        AiScene scene;
        win_ai* ai = scene.ai();
        ai->personality.mobility_type = c.mobility;
        win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 10.0f, ai);
        const win_vect3 point = {100.0f * std::sin(c.angle * DEG), 0.0f,
                                 -100.0f * std::cos(c.angle * DEG)};
        EXPECT_EQ(ai_move_entity(self, c.subgoal, &point), 1);
        EXPECT_EQ(ai_input(self), c.input) << "mobility " << c.mobility << " subgoal " << c.subgoal;
    }
}

TEST_F(AiMove, FliersSlowDownWithinTheirRadius)
{
    AiScene scene;
    win_ai* ai = scene.ai();
    ai->personality.mobility_type = AI_MOBILITY_FLY;
    win_entity* flier = scene.character("bat", {0, 0, 0}, AI_FACE_NEG_Z, 8.0f, ai);
    flier->velocity = {7.0f, 0, 0};
    // 2 units straight ahead, level: 10 * 2 / 8 along z, none along y; x is
    // left alone.
    const win_vect3 near = {0, 0, -2};
    ai_move_entity(flier, MOVE_WALK_TOWARD, &near);
    EXPECT_FLOAT_EQ(flier->velocity.x, 7.0f);
    EXPECT_FLOAT_EQ(flier->velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(flier->velocity.z, -2.5f);
    // Far ahead and above at the fast speed; backing away reverses both.
    const win_vect3 far = {0, 300, -300};
    ai_move_entity(flier, MOVE_RUN_TOWARD, &far);
    EXPECT_FLOAT_EQ(flier->velocity.y, 20.0f);
    EXPECT_FLOAT_EQ(flier->velocity.z, -20.0f);
    ai_move_entity(flier, MOVE_BACK_AWAY, &far);
    EXPECT_FLOAT_EQ(flier->velocity.y, -10.0f);
    EXPECT_FLOAT_EQ(flier->velocity.z, 10.0f);
}

TEST_F(AiMove, WanderingDrawsTwiceInOrder)
{
    AiScene scene;
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 10.0f, scene.ai());
    for (uint32_t seed = 1; seed < 40; ++seed) {
        rand_util_srand(seed);
        const int step = rand_util_rand() % 100 - 50;
        const int turn = rand_util_rand() % 100 - 50;
        const int32_t expected = (step > 0 ? ACTION_UP : 0) | (turn >= 26   ? ACTION_RIGHT
                                                               : turn < -25 ? ACTION_LEFT
                                                                            : 0);
        const int next = rand_util_rand();
        rand_util_srand(seed);
        self->win_ast->anim_input_flags = 0;
        const win_vect3 anywhere = {0, 0, 0};
        ai_move_entity(self, MOVE_WANDER, &anywhere);
        EXPECT_EQ(ai_input(self), expected) << seed;
        EXPECT_EQ(rand_util_rand(), next) << "two draws, no more";
    }
}

TEST_F(AiMove, RefusesUnknownSubgoalsAndReportsUnknownMobility)
{
    LogCapture log;
    AiScene scene;
    win_ai* ai = scene.ai();
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 10.0f, ai);
    const win_vect3 left = {100, 0, 0};
    EXPECT_EQ(ai_move_entity(self, 10, &left), 0);
    EXPECT_EQ(ai_move_entity(self, -1, &left), 0);
    EXPECT_EQ(ai_input(self), 0);
    EXPECT_TRUE(log.contains("Unknown movement_subgoal 10."));
    ai->personality.mobility_type = 9;
    EXPECT_EQ(ai_move_entity(self, MOVE_WALK_TOWARD, &left), 1);
    EXPECT_EQ(ai_input(self), ACTION_LEFT);  // the turn all the same
    EXPECT_TRUE(log.contains("Unknown mobility type 9."));
    // A character without a state table is moved by nothing.
    free_win_ast(self->win_ast);
    self->win_ast = NULL;
    EXPECT_EQ(ai_move_entity(self, MOVE_WALK_TOWARD, &left), 1);
}

// ---- Sight ----

TEST_F(AiSight, SeesWithinThirtyDegreesAndItsRangeWhenTheLineIsFree)
{
    AiScene scene;
    scene.environment(NULL, {{{-50, 0, -400}, {50, 0, -400}}});  // a wall 400 ahead
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f);
    win_entity* other = scene.character("other", {0, 0, -200}, 0.0f, 20.0f);
    EXPECT_EQ(ai_find_closest_node(self, other), 1);
    self->win_entity_flag |= ENTITY_FLAG_SHORT_SIGHTED;
    EXPECT_EQ(ai_find_closest_node(self, other), 0);  // beyond 150
    self->win_entity_flag &= ~ENTITY_FLAG_SHORT_SIGHTED;

    struct Case {
        win_vect3 at;
        int seen;
    } cases[] = {
        {{0, 0, -4900}, 0},   // behind the wall
        {{0, 0, -390}, 1},    // just before it
        {{100, 0, -200}, 1},  // 26.6 degrees off
        {{130, 0, -200}, 0},  // 33 degrees off
        {{0, 0, 200}, 0},     // behind
    };
    for (const Case& c : cases) {
        ai_place(other, c.at, 0.0f);
        EXPECT_EQ(ai_find_closest_node(self, other), c.seen) << c.at.x << " " << c.at.z;
    }
}

TEST_F(AiSight, PointsAreLookedAtFromAboveTheGround)
{
    LogCapture log;
    AiScene scene;
    // A low hull edge would not matter: walls stand at every height.
    scene.environment(NULL, {{{100, 0, -50}, {100, 0, 50}}});
    win_entity* self = scene.character("self", {0, 0, 0}, AI_FACE_NEG_Z, 20.0f);
    const win_vect3 near = {50, 0, 0}, beyond = {150, 0, 0};
    EXPECT_EQ(ai_check_location_visibility(self, &near), 1);
    EXPECT_EQ(ai_check_location_visibility(self, &beyond), 0);
    EXPECT_EQ(ai_check_location_visibility(NULL, &near), 0);
    EXPECT_EQ(ai_check_location_visibility(self, NULL), 0);
    EXPECT_EQ(ai_find_closest_node(self, NULL), 0);
    EXPECT_TRUE(log.contains("Cannot ai_check_location_visibility with NULL looking_entity."));
    EXPECT_TRUE(log.contains("Cannot ai_check_location_visibility with NULL pnt_2."));
    EXPECT_TRUE(log.contains("Cannot ai_find_closest_node with NULL target_entity."));
}

TEST_F(AiSight, TheClosestNodeIsTheNearestInSight)
{
    LogCapture log;
    AiScene scene;
    const win_vect3 here = {20, 0, 20};
    EXPECT_EQ(ai_find_closest_node_to_location(&here), -1);
    EXPECT_TRUE(log.contains("Cannot ai_find_closest_node_to_location with NULL environment."));
    scene.environment(NULL);
    EXPECT_EQ(ai_find_closest_node_to_location(&here), -1);
    EXPECT_TRUE(log.contains("Cannot ai_find_closest_node_to_location with NULL "
                             "environment->u.win_environment->win_map."));
    EXPECT_EQ(ai_find_closest_node_to_location(NULL), -1);

    // The demo square: gate (0, 0), tower (200, 0), well (200, 200), yard
    // (0, 200). A wall just beside the gate hides it from (20, 20).
    AiScene walled;
    walled.environment(demo_ai_make_map("square"), {{{10, 0, -100}, {10, 0, 100}}});
    EXPECT_EQ(ai_find_closest_node_to_location(&here), 1);  // the tower, farther than the gate
    const win_vect3 by_the_well = {190, 0, 150};
    EXPECT_EQ(ai_find_closest_node_to_location(&by_the_well), 2);

    // Hidden everywhere: walls round the point.
    AiScene boxed;
    boxed.environment(demo_ai_make_map("square"), {{{10, 0, 10}, {30, 0, 10}},
                                                   {{30, 0, 10}, {30, 0, 30}},
                                                   {{30, 0, 30}, {10, 0, 30}},
                                                   {{10, 0, 30}, {10, 0, 10}}});
    EXPECT_EQ(ai_find_closest_node_to_location(&here), -1);
}

}  // namespace
