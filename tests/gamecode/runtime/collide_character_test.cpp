#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "character_fixture.h"
#include "collide_character.h"
#include "collide_support.h"
#include "gameglobals.h"
#include "test_support.h"

void PrintTo(const collide_pair& p, std::ostream* os)
{
    *os << "(" << p.a << ", " << p.b << ")";
}

namespace {

// Every case starts from the module states of a fresh program (the game
// settings, the environment, the check budget of the entity update).
class CollideCharacterTest : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { test_reset_state(); }
};

constexpr float EPS = 1e-4f;

void expect_near(const win_vect3& v, const win_vect3& want)
{
    EXPECT_NEAR(v.x, want.x, EPS);
    EXPECT_NEAR(v.y, want.y, EPS);
    EXPECT_NEAR(v.z, want.z, EPS);
}

// ---- Joint spheres ----

// A and B face each other along x, four joints each (radii in brackets):
//   A  0 (0) [1]   1 (10) [2]   2 (20) [2]   3 (30) [1]   body at 0
//   B  0 (100) [1] 1 (13) [2]   2 (21) [1]   3 (50) [1]   body at 27
// Touching at rest: A1-B1 (depth score 16 - 9 = 7), A2-B2 (9 - 1 = 8);
// B's body sphere (radius 3) touches A3 (16 - 9 = 7).
struct JointCase {
    const char* what;
    JointRange a;
    JointRange b;
    bool moving;  // A moves by (20, 0, 0)
    int expected;
    collide_pair pair;
};

TEST_F(CollideCharacterTest, JointSpheresReportTheDeepestPair)
{
    const JointCase cases[] = {
        {"all joints", {1, 3}, {1, 3}, false, 1, {2, 2}},
        {"a range past the pose is cut to it", {1, 99}, {1, 3}, false, 1, {2, 2}},
        {"a range below joint 0 is cut to it", {-5, 3}, {-7, 2}, false, 1, {2, 2}},
        {"an empty range counts as the body sphere", {1, 3}, {3, 1}, false, 1, {3, -1}},
        {"a range ending below 2 stands for the body", {1, 1}, {1, 3}, false, 0, {-1, -1}},
        {"far apart at rest", {3, 3}, {3, 3}, false, 0, {-1, -1}},
        {"swept into the other", {3, 3}, {3, 3}, true, 1, {3, 3}},
        {"A's body swept onto the last joint of B's range", {3, 1}, {1, 2}, true, 1, {-1, 2}},
    };
    for (const JointCase& t : cases) {
        SCOPED_TRACE(t.what);
        Figure a("a"), b("b", {27.0f, 0.0f, 0.0f});
        a.model(5.0f);
        b.model(5.0f);
        a.pose({{{0, 0, 0}, 1}, {{10, 0, 0}, 2}, {{20, 0, 0}, 2}, {{30, 0, 0}, 1}});
        b.pose({{{100, 0, 0}, 1}, {{13, 0, 0}, 2}, {{21, 0, 0}, 1}, {{50, 0, 0}, 1}});
        const win_vect3 target = {20.0f, 0.0f, 0.0f};
        collide_pair pair = {7, 7};
        EXPECT_EQ(collide_check_entity_joint_to_entity_joint(a.entity, t.a.first, t.a.last,
                                                             b.entity, t.b.first, t.b.last, &pair,
                                                             t.moving ? &target : nullptr),
                  t.expected);
        EXPECT_EQ(pair, t.pair);
    }
}

TEST_F(CollideCharacterTest, JointSpheresOfCharactersWithoutModelsAlwaysTouch)
{
    Figure a("a"), b("b", {500.0f, 0.0f, 0.0f});
    collide_pair pair = {4, 4};
    EXPECT_EQ(
        collide_check_entity_joint_to_entity_joint(a.entity, 1, 3, b.entity, 1, 3, &pair, nullptr),
        1);
    EXPECT_EQ(pair, COLLIDE_NO_PAIR);
}

TEST_F(CollideCharacterTest, JointsWithoutACollisionSphereNeverTouch)
{
    Figure a("a"), b("b");
    a.model(5.0f);
    b.model(5.0f);
    a.pose({{{0, 0, 0}, 1}, {{0, 0, 0}, -1}, {{0, 0, 0}, -1}});
    b.pose({{{0, 0, 0}, 1}, {{0, 0, 0}, -1}, {{0, 0, 0}, -1}});
    collide_pair pair;
    EXPECT_EQ(
        collide_check_entity_joint_to_entity_joint(a.entity, 2, 2, b.entity, 2, 2, &pair, nullptr),
        0);
}

TEST_F(CollideCharacterTest, NullArgumentsAreRefused)
{
    LogCapture log;
    Figure a("a");
    collide_pair pair, appendages;
    // Only characters have joints to touch with: a lamp touches none, silently.
    win_entity* lamp = malloc_win_entity("lamp");
    lamp->win_entity_type = WIN_ENTITY_TYPE_LIGHT;
    EXPECT_EQ(
        collide_check_entity_joint_to_entity_joint(a.entity, 0, 0, lamp, 0, 0, &pair, nullptr), 0);
    EXPECT_TRUE(log.errors().empty());
    free_win_entity(lamp);
    EXPECT_EQ(
        collide_check_entity_joint_to_entity_joint(nullptr, 0, 0, a.entity, 0, 0, &pair, nullptr),
        0);
    EXPECT_EQ(collide_check_entity_joint_to_entity_joint(a.entity, 0, 0, a.entity, 0, 0, nullptr,
                                                         nullptr),
              0);
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(a.entity, 0, 0, a.entity, 0, 0, &pair,
                                                          &appendages, nullptr, nullptr),
              0);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "Cannot collide_check_entity_joint_to_entity_joint with NULL first_win_entity.",
                  "Cannot collide_check_entity_joint_to_entity_joint with NULL joint_pair.",
                  "Cannot collide_check_entity_appendage_to_appendage with NULL segment_pair."}));
}

// ---- Appendage capsules ----

// A's arm rises from joint 1 at (10, 0, 0) to (10, 10, 0), radius 1. B's arm
// has two capsules along z through y = 5: from joint 1 at x = 11.5 (axes
// 1.5 apart, squared 2.25) and from joint 2 at x = 10.5 (squared 0.25).
struct Arms {
    Figure a{"a"};
    Figure b{"b", {30.0f, 0.0f, 0.0f}};
    Arms(int16_t a_second = 2, int16_t b_start = 2)
    {
        a.model(5.0f);
        b.model(5.0f);
        a.pose({{{0, 0, 0}, 1}, {{10, 0, 0}, 1}, {{10, 10, 0}, 1}, {{0, 0, 0}, 1}});
        b.pose({{{100, 0, 0}, 1}, {{11.5f, 5, -5}, 1}, {{10.5f, 5, -5}, 1}, {{0, 0, 0}, 1}});
        a.limbs({{{10, 5, 0}, 6, {{1, a_second, {0, 10, 0}, 1}}}});
        b.limbs({{{11, 5, 0}, 6, {{1, 3, {0, 0, 10}, 1}, {b_start, 3, {0, 0, 10}, 1}}}});
    }
};

struct LimbCase {
    const char* what;
    Arms* arms;
    JointRange a;  // the range that decides the reported joints
    int expected;
    collide_pair joints, appendages, segments;
};

TEST_F(CollideCharacterTest, AppendageCapsulesReportTheClosestSegments)
{
    Arms plain, second_outside_pose(40), start_outside_pose(2, 99);
    const LimbCase cases[] = {
        {"closest of two", &plain, {1, 3}, 1, {1, 2}, {0, 0}, {0, 1}},
        {"start joint outside the range reports the second",
         &plain,
         {2, 3},
         1,
         {2, 2},
         {0, 0},
         {0, 1}},
        {"a second joint outside the pose reports none",
         &second_outside_pose,
         {2, 3},
         1,
         {-1, 2},
         {0, 0},
         {0, 1}},
        {"a segment starting outside the pose is passed over",
         &start_outside_pose,
         {1, 3},
         1,
         {1, 1},
         {0, 0},
         {0, 0}},
    };
    for (const LimbCase& t : cases) {
        SCOPED_TRACE(t.what);
        collide_pair joints = {7, 7}, appendages = COLLIDE_NO_PAIR, segments = COLLIDE_NO_PAIR;
        EXPECT_EQ(collide_check_entity_appendage_to_appendage(t.arms->a.entity, t.a.first, t.a.last,
                                                              t.arms->b.entity, 1, 3, &joints,
                                                              &appendages, &segments, nullptr),
                  t.expected);
        EXPECT_EQ(joints, t.joints);
        EXPECT_EQ(appendages, t.appendages);
        EXPECT_EQ(segments, t.segments);
    }
}

TEST_F(CollideCharacterTest, ABodyWithoutAppendagesSweepsIntoTheOthersCapsules)
{
    // A (radius 1) moves along z at x = 10, y = 5 and ends on B's upright
    // capsule from (10, 0, 0); standing where it started it reaches nothing.
    Figure a("a", {10.0f, 5.0f, -20.0f}), b("b");
    a.model(1.0f);
    b.model(5.0f);
    b.pose({{{0, 0, 0}, 1}, {{10, 0, 0}, 1}, {{0, 0, 0}, 1}});
    b.limbs({{{10, 5, 0}, 6, {{1, 2, {0, 10, 0}, 1}}}});
    const win_vect3 target = {10.0f, 5.0f, 0.0f};
    collide_pair joints, appendages = COLLIDE_NO_PAIR, segments = COLLIDE_NO_PAIR;
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(a.entity, 1, 2, b.entity, 1, 2, &joints,
                                                          &appendages, &segments, &target),
              1);
    EXPECT_EQ(joints, (collide_pair{-1, 1}));
    EXPECT_EQ(appendages, (collide_pair{-1, 0}));
    EXPECT_EQ(segments, (collide_pair{-1, 0}));
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(a.entity, 1, 2, b.entity, 1, 2, &joints,
                                                          &appendages, &segments, nullptr),
              0);
    EXPECT_EQ(joints, COLLIDE_NO_PAIR);
}

TEST_F(CollideCharacterTest, SweptCapsulesReachABodyWithoutAppendages)
{
    // A's arm from (10, 0, 0) up 10 moves 8 along x toward B's body sphere
    // (radius 2) at (20, 5, 0).
    Figure a("a"), b("b", {20.0f, 5.0f, 0.0f});
    a.model(5.0f);
    b.model(2.0f);
    a.pose({{{0, 0, 0}, 1}, {{10, 0, 0}, 1}, {{0, 0, 0}, 1}});
    a.limbs({{{10, 5, 0}, 6, {{1, 2, {0, 10, 0}, 0.5f}}}});
    const win_vect3 target = {8.0f, 0.0f, 0.0f};
    collide_pair joints, appendages = COLLIDE_NO_PAIR, segments = COLLIDE_NO_PAIR;
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(a.entity, 1, 2, b.entity, 1, 2, &joints,
                                                          &appendages, &segments, &target),
              1);
    EXPECT_EQ(joints, (collide_pair{1, -1}));
    EXPECT_EQ(appendages, (collide_pair{0, -1}));
    EXPECT_EQ(segments, (collide_pair{0, -1}));
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(a.entity, 1, 2, b.entity, 1, 2, &joints,
                                                          &appendages, &segments, nullptr),
              0);
}

TEST_F(CollideCharacterTest, HostileAppendageDataIsCutToWhatTheCharacterHas)
{
    // The model claims more appendages and segments than the pose has keys
    // for, and a segment of no length: nothing is read beyond the arrays and
    // nothing divides by the length.
    Arms arms;
    arms.a.c->mow_model->mow_appendage_array_size = 50;
    arms.a.c->current_appendage_sphere_keys[0].mow_segment_key_array[0].segment_length = 0.0f;
    arms.b.c->mow_model->mow_appendage_info_array[0].mow_segment_info_array_size = 1;
    collide_pair joints, appendages, segments;
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(arms.a.entity, 1, 3, arms.b.entity, 1, 3,
                                                          &joints, &appendages, &segments, nullptr),
              0);
}

TEST_F(CollideCharacterTest, TheOldAlgorithmTestsJointSpheresAndLeavesLimbPairs)
{
    Arms arms;
    game_globals.bUseOldCollisionAlgorithm = 1;
    collide_pair joints, appendages = COLLIDE_NO_PAIR, segments = COLLIDE_NO_PAIR;
    // Of the joint spheres (radius 1) only A3 and B3, both at the origin,
    // touch; the capsules are not looked at.
    EXPECT_EQ(collide_check_entity_appendage_to_appendage(arms.a.entity, 1, 3, arms.b.entity, 1, 3,
                                                          &joints, &appendages, &segments, nullptr),
              1);
    game_globals.bUseOldCollisionAlgorithm = 0;
    EXPECT_EQ(joints, (collide_pair{3, 3}));
    EXPECT_EQ(appendages, COLLIDE_NO_PAIR);
    EXPECT_EQ(segments, COLLIDE_NO_PAIR);
}

// ---- Attack reach ----

// A's joint 3 and B's joint 2 touch; nothing else does. Four poses each, so
// the full range is joints 1 and 2.
struct Duel {
    Figure a{"a"};
    Figure b{"b"};
    Duel()
    {
        a.model(4.0f);
        b.model(4.0f);
        a.pose({{{0, 100, 0}, 1}, {{0, 200, 0}, 1}, {{0, 300, 0}, 1}, {{5, 0, 0}, 1}});
        b.pose({{{0, -100, 0}, 1}, {{0, -200, 0}, 1}, {{6, 0, 0}, 1}, {{0, -300, 0}, 1}});
        a.table(1);
        b.table(1);
    }
};

TEST_F(CollideCharacterTest, AttackReachComparesTheStatesJointSets)
{
    struct Case {
        const char* what;
        int32_t a_combat;  // a's combat table index; b's vulnerable one is -1
        int expected;
        collide_pair pair;
    } cases[] = {
        {"full ranges leave out the last joint", -1, 0, {-1, -1}},
        {"a combat table reaching the touching joint", 0, 1, {3, 2}},
        {"an index past the tables wraps round them", 2, 1, {3, 2}},
        {"a table without ranges reaches nothing", 1, 0, {-1, -1}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        Duel d;
        d.a.joint_table({{0, 0}, {3, 3}});
        d.a.joint_table({});
        d.a.state(0).combat_win_joint_table_idx = t.a_combat;
        collide_pair pair = {7, 7};
        EXPECT_EQ(collide_check_entity_attack(d.a.entity, d.b.entity, 1, 0, &pair), t.expected);
        EXPECT_EQ(pair, t.pair);
    }
}

TEST_F(CollideCharacterTest, AttackReachWithATableIndexButNoTablesTakesTheFullRange)
{
    Duel d;
    d.b.pose({{{0, -100, 0}, 1}, {{5, 1, 0}, 1}, {{0, -300, 0}, 1}, {{0, -300, 0}, 1}});
    d.a.pose({{{0, 100, 0}, 1}, {{5, 0, 0}, 1}, {{0, 300, 0}, 1}, {{0, 300, 0}, 1}});
    d.a.state(0).vulnerable_win_joint_table_idx = 4;
    d.b.state(0).combat_win_joint_table_idx = 0;
    collide_pair pair;
    EXPECT_EQ(collide_check_entity_attack(d.a.entity, d.b.entity, 0, 1, &pair), 1);
    EXPECT_EQ(pair, (collide_pair{1, 1}));
}

// ---- Contact and push ----

// Two characters without models (their limb test always touches), flagged
// for character collision, a at the origin unless said, in an environment
// without hulls (b's push stands as it is).
struct Pair {
    Figure a{"a"};
    Figure b;
    win_vect3 centre;
    win_entity* environment;
    Pair(win_vect3 b_at, win_vect3 a_goal = {0, 0, 0}, win_vect3 a_at = {0, 0, 0})
        : b("b", b_at), centre(a_goal)
    {
        a.c->world_sphere_center = a_at;
        a.move_to(a_at);
        environment = malloc_win_entity("level");
        environment->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
        environment->u.win_environment = malloc_win_environment();
        game_globals.current_environment = environment;
    }
    ~Pair()
    {
        game_globals.current_environment = nullptr;
        free_win_entity(environment);
    }
    Pair(const Pair&) = delete;
    Pair& operator=(const Pair&) = delete;
};

struct PushCase {
    const char* what;
    win_vect3 b_at;
    win_vect3 a_at;
    win_vect3 a_goal;
    float a_mass;
    float b_mass;
    win_vect3 a_goal_after;
    win_vect3 b_after;
};

TEST_F(CollideCharacterTest, TouchingCharactersArePushedApartByMass)
{
    // Standing at the origin a counts as a body of radius 3 against b's of
    // 0: depth = 3 - distance + 3, along the line from a's goal to b.
    const float steep = 6.0f - std::sqrt(2.5f);  // b at (0.5, 1.5, 0)
    const float u_x = 0.5f / std::sqrt(2.5f), u_y = 1.5f / std::sqrt(2.5f);
    const PushCase cases[] = {
        {"equal masses share the depth",
         {2, 0, 0},
         {0, 0, 0},
         {0, 0, 0},
         1,
         1,
         {-2, 0, 0},
         {4, 0, 0}},
        {"a massless character takes the whole push",
         {2, 0, 0},
         {0, 0, 0},
         {0, 0, 0},
         0,
         1,
         {-4, 0, 0},
         {2, 0, 0}},
        {"two massless characters share it",
         {2, 0, 0},
         {0, 0, 0},
         {0, 0, 0},
         0,
         0,
         {-2, 0, 0},
         {4, 0, 0}},
        {"a steep direction pushes in y too",
         {0.5f, 1.5f, 0},
         {0, 0, 0},
         {0, 0, 0},
         1,
         1,
         {-u_x * steep / 2, -u_y * steep / 2, 0},
         {0.5f + u_x * steep / 2, 1.5f + u_y * steep / 2, 0}},
        {"a shallow one does not",
         {1.5f, 0.5f, 0},
         {0, 0, 0},
         {0, 0, 0},
         1,
         1,
         {-u_y * steep / 2, 0, 0},
         {1.5f + u_y * steep / 2, 0.5f, 0}},
        {"apart but swept into contact: a push of 3",
         {0, 0, 2},
         {-10, 0, 0},
         {0, 0, 0},
         1,
         1,
         {0, 0, -1.5f},
         {0, 0, 3.5f}},
    };
    for (const PushCase& t : cases) {
        SCOPED_TRACE(t.what);
        Pair p(t.b_at, t.a_goal, t.a_at);
        p.a.c->mass = t.a_mass;
        p.b.c->mass = t.b_mass;
        EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 1);
        expect_near(p.centre, t.a_goal_after);
        expect_near(p.b.position(), t.b_after);
    }
}

TEST_F(CollideCharacterTest, WeaponsAndAttachedCharactersAreNotPushed)
{
    struct Case {
        const char* what;
        uint32_t a_flags;
        uint32_t b_flags;
        int32_t b_parent;
        bool a_moves;
        bool b_moves;
    } cases[] = {
        {"a weapon moving pushes nobody and is not pushed", ENTITY_FLAG_WEAPON, 0, -1, false,
         false},
        {"a projectile partner is not pushed", 0, ENTITY_FLAG_PROJECTILE, -1, true, false},
        {"a partner on a joint is not pushed", 0, 0, 2, true, false},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        Pair p({2, 0, 0});
        p.a.entity->win_entity_flag |= t.a_flags;
        p.b.entity->win_entity_flag |= t.b_flags;
        p.b.entity->parent_joint_idx = t.b_parent;
        EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 1);
        EXPECT_EQ(p.centre.x != 0.0f, t.a_moves);
        EXPECT_EQ(p.b.position().x != 2.0f, t.b_moves);
    }
}

TEST_F(CollideCharacterTest, OnlyLiveCollidingCharactersTouch)
{
    struct Case {
        const char* what;
        void (*spoil)(Pair&);
    } cases[] = {
        {"dead", [](Pair& p) { p.b.entity->life_span = 0.0f; }},
        {"without character collision",
         [](Pair& p) { p.a.entity->win_entity_flag &= ~ENTITY_FLAG_CHARACTER_COLLISION; }},
        {"the other's weapon", [](Pair& p) { p.b.c->current_weapon = p.a.entity; }},
        {"not a character", [](Pair& p) { p.b.entity->win_entity_type = WIN_ENTITY_TYPE_LIGHT; }},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.what);
        Pair p({2, 0, 0});
        t.spoil(p);
        win_character* payload = p.b.c;
        EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 0);
        expect_near(p.centre, {0, 0, 0});
        p.b.entity->win_entity_type = WIN_ENTITY_TYPE_CHARACTER;
        p.b.entity->u.win_character = payload;
    }
    Pair p({2, 0, 0});
    EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.a.entity, &p.centre), 0);
}

TEST_F(CollideCharacterTest, APushedCharacterStopsAtAWall)
{
    // b stands 1 in front of a wall along x (its front faces +z) and is
    // pushed 2 toward it: the environment test stops it 0.002 in front.
    Pair p({50, 0, 1}, {50, 0, 3}, {50, 0, 3});
    EntityHolder level(make_environment("walled", {wall_hull()}));
    game_globals.current_environment = level.entity;
    EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 1);
    expect_near(p.centre, {50, 0, 5});
    EXPECT_NEAR(p.b.position().z, 0.002f, EPS);
    EXPECT_NEAR(p.b.position().x, 50.0f, EPS);
}

TEST_F(CollideCharacterTest, ACentreOnTheOtherCharacterPushesNeitherAndIsToldOnce)
{
    // Pushing neither, the two meet again in every step of every frame: one
    // line for the pair, not one a step, until they have come apart.
    const std::vector<std::string> told = {"failed to calculate bumpback_dir vector."};
    LogCapture log;
    Pair p({0, 0, 0});
    for (int step = 0; step < 3; ++step) {
        EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 1);
        EXPECT_EQ(collide_check_entity_to_entity(p.b.entity, p.a.entity, &p.centre), 1);
    }
    EXPECT_EQ(log.errors(), told);
    expect_near(p.centre, {0, 0, 0});
    expect_near(p.b.position(), {0, 0, 0});

    p.b.c->world_sphere_center = {2, 0, 0};
    EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 1);
    p.centre = {0, 0, 0};
    p.b.c->world_sphere_center = {0, 0, 0};
    EXPECT_EQ(collide_check_entity_to_entity(p.a.entity, p.b.entity, &p.centre), 1);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{told[0], told[0]})) << "met again";
}

}  // namespace
