#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "collide.h"
#include "collide_support.h"
#include "d3dxframe.h"
#include "file_io.h"
#include "gameglobals.h"
#include "heap.h"
#include "platform/d3d_record.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"
#include "win_math.h"
#include "winmain2.h"

namespace {

const win_line_block* line_of(const win_collision* hull, int32_t b = 0)
{
    return (const win_line_block*)hull->win_block_array[b].win_block_data;
}

const win_convex_poly_block* poly_of(const win_collision* hull, int32_t b = 0)
{
    return (const win_convex_poly_block*)hull->win_block_array[b].win_block_data;
}

void expect_near(const win_vect3& got, const win_vect3& want, float tolerance = 1e-3f)
{
    EXPECT_NEAR(got.x, want.x, tolerance * std::fmax(1.0f, std::fabs(want.x)));
    EXPECT_NEAR(got.y, want.y, tolerance * std::fmax(1.0f, std::fabs(want.y)));
    EXPECT_NEAR(got.z, want.z, tolerance * std::fmax(1.0f, std::fabs(want.z)));
}

win_entity entity_at(float x, float y, float z, float turn_y = 0.0f)
{
    win_entity entity = {};
    win_math_set_rot_trans_matrix43(&entity.local_matrix, 0.0f, turn_y, 0.0f, x, y, z);
    return entity;
}

}  // namespace

// ---- Walls ----

TEST(CollideWall, PlanesOfASegment)
{
    HullHolder wall(wall_hull());
    collide_wall w;
    ASSERT_EQ(collide_calc_wall(&w, wall.hull, line_of(wall.hull), 0), 1);
    // The front is +z; the ends' normals point into the segment.
    const win_plane expected[3] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {-1, 0, 0, -100}};
    const win_plane* got[3] = {&w.wall_plane, &w.end_plane_a, &w.end_plane_b};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expect_near({got[i]->nx, got[i]->ny, got[i]->nz},
                    {expected[i].nx, expected[i].ny, expected[i].nz});
        EXPECT_NEAR(got[i]->d, expected[i].d, 1e-4f);
    }

    // A segment standing on one spot in x and z is no wall.
    LogCapture log;
    HullHolder post(make_hull("post", {{5, 1, 7}, {5, 9, 7}}, {}, {{WIN_BLOCK_TYPE_LINE, {0, 1}}}));
    EXPECT_EQ(collide_calc_wall(&w, post.hull, line_of(post.hull), 0), 0);
    EXPECT_EQ(collide_calc_wall(&w, post.hull, line_of(post.hull), 1), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "co-incident points detected. x=5.000000, y=1.000000, z=7.000000.",
                                "Bad segment = 1 of a win_line_block in win_collision post"}));
}

TEST(CollideWall, PushOutOfAPlane)
{
    const win_plane floor = {0, 1, 0, 2};  // y = 2, facing up
    struct Case {
        const char* what;
        win_vect3 src;
        float radius, offset;
        win_vect3 expected;
    };
    const Case cases[] = {
        {"touching the plane", {3, 5, 4}, 10, 0, {3, 12.001f, 4}},
        {"from behind", {3, -5, 4}, 10, 0, {3, 12.001f, 4}},
        {"touching an edge 6 away", {3, 5, 4}, 10, 6, {3, 10.001f, 4}},
        {"already clear", {3, 20, 4}, 10, 0, {3, 12.001f, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win_vect3 dst;
        EXPECT_EQ(collide_push_point_out_of_plane(&dst, &c.src, c.radius, &floor, c.offset), 1);
        expect_near(dst, c.expected, 1e-5f);
    }
    // In place; an edge beyond the radius gives no NaN.
    LogCapture log;
    win_vect3 p = {0, 0, 0};
    collide_push_point_out_of_plane(&p, &p, 1.0f, &floor, 2.0f);
    expect_near(p, {0, 2.001f, 0}, 1e-5f);
    EXPECT_EQ(log.warnings().size(), 1u);
}

// ---- Spheres, segments and points against blocks ----

TEST(CollideBlocks, SphereAgainstPolygon)
{
    HullHolder floor(floor_hull());
    struct Case {
        const char* what;
        win_vect3 centre;
        float depth;
    };
    const Case cases[] = {
        {"resting inside", {50, 5, 50}, 0.0f},
        {"below the face", {50, -5, 50}, 0.0f},
        {"beyond an edge, still reaching it", {105, 5, 50}, 5.0f},
        {"beyond a corner: the farther edge counts", {105, 5, 104}, 5.0f},
        {"beyond an edge farther than its circle reaches", {109, 5, 50}, -1.0f},
        {"above the face by more than the radius", {50, 10.5f, 50}, -1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(
            collide_calc_sphere_poly_depth(&c.centre, 10.0f, poly_of(floor.hull), floor.hull),
            c.depth, 1e-5f);
    }
}

TEST(CollideBlocks, SegmentAgainstPolygon)
{
    HullHolder floor(floor_hull());
    struct Case {
        const char* what;
        win_vect3 tail, head;
        float radius;
        int touches;
        win_vect3 point;
    };
    const Case cases[] = {
        {"through the middle", {50, 30, 50}, {50, -30, 50}, 0, 1, {50, 0, 50}},
        {"past an edge", {150, 30, 50}, {150, -30, 50}, 0, 0, {150, 0, 50}},
        {"past an edge within the radius", {105, 30, 50}, {105, -30, 50}, 6, 1, {105, 0, 50}},
        {"stopping short of the face", {50, 30, 50}, {50, 20, 50}, 0, 0, {50, 0, 50}},
        {"ending within the radius of the face", {50, 30, 50}, {50, 5, 50}, 10, 1, {50, 0, 50}},
        {"parallel, within the radius", {10, 5, 50}, {90, 5, 50}, 10, 1, {10, 5, 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win_vect3 out = {-1, -1, -1};
        EXPECT_EQ(collide_check_line_poly(&c.tail, &c.head, c.radius, poly_of(floor.hull),
                                          floor.hull, &out),
                  c.touches);
        expect_near(out, c.point, 1e-4f);
    }
    win_vect3 out;
    const win_vect3 tail = {10, 20, 50}, head = {90, 20, 50};
    EXPECT_EQ(collide_check_line_poly(&tail, &head, 10, poly_of(floor.hull), floor.hull, &out), 0)
        << "parallel and farther than the radius";
}

TEST(CollideBlocks, PointInsideOutlinesAndPrisms)
{
    HullHolder room(room_hull());
    HullHolder floor(floor_hull());
    // Below: a planar block first, which decides nothing; the prism decides.
    HullHolder layered(
        make_hull("layered", {}, floor_planes,
                  {{WIN_BLOCK_TYPE_PLANAR, {0}}, {WIN_BLOCK_TYPE_CONVEX_POLY, {0, 1, 2, 3, 4}}}));
    struct Case {
        const char* what;
        const win_collision* hull;
        win_vect3 point;
        int inside;
    };
    const Case cases[] = {
        {"room: the middle, at any height", room.hull, {50, 999, 50}, 1},
        {"room: beyond a wall", room.hull, {150, 0, 50}, 0},
        {"room: beside it in z", room.hull, {50, 0, -1}, 0},
        // A corner exactly level with the point counts as above it: the top
        // edge is crossed once, the bottom edge not at all.
        {"room: on the far wall's line", room.hull, {50, 0, 100}, 1},
        {"room: on the near wall's line", room.hull, {50, 0, 0}, 0},
        {"floor: over the square, far above it", floor.hull, {50, 500, 50}, 1},
        {"floor: beside the square", floor.hull, {50, 0, 150}, 0},
        {"the first deciding block decides", layered.hull, {50, -50, 50}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(collide_point_inside_win_collision(&c.point, c.hull), c.inside);
    }

    // The entity's position is its local matrix's translation; a hull that is
    // switched off still decides.
    room.hull->win_collision_enabled = 0;
    win_entity inside = entity_at(20, 0, 30, 1.0f);
    win_entity outside = entity_at(-20, 0, 30);
    EXPECT_EQ(collide_check_inside_collision(&inside, room.hull), 1);
    EXPECT_EQ(collide_check_inside_collision(&outside, room.hull), 0);
    // The convex test with a radius keeps to the slab about the face.
    const win_vect3 high = {50, 20, 50};
    EXPECT_EQ(collide_inside_convex_poly(&high, 25.0f, poly_of(floor.hull), floor.hull), 1);
    EXPECT_EQ(collide_inside_convex_poly(&high, 10.0f, poly_of(floor.hull), floor.hull), 0);
}

TEST(CollideBlocks, AnOutlineOfAnyNumberOfCorners)
{
    // A regular outline of 300 corners about (0, 0) with radius 100.
    std::vector<win_vect3> corners;
    std::vector<int32_t> indexes;
    for (int i = 0; i < 300; ++i) {
        double angle = 2.0 * M_PI * i / 300.0;
        corners.push_back({(float)(100.0 * std::cos(angle)), 0, (float)(100.0 * std::sin(angle))});
        indexes.push_back(i);
    }
    indexes.push_back(0);
    HullHolder round(make_hull("round", corners, {}, {{WIN_BLOCK_TYPE_LINE, indexes}}));
    const win_vect3 centre = {1, 0, 2}, rim = {99.9f, 0, 0.5f}, out = {101, 0, 0};
    EXPECT_EQ(collide_inside_win_line_block(&centre, round.hull, line_of(round.hull)), 1);
    EXPECT_EQ(collide_inside_win_line_block(&rim, round.hull, line_of(round.hull)), 1);
    EXPECT_EQ(collide_inside_win_line_block(&out, round.hull, line_of(round.hull)), 0);

    // Outlines of one index or none enclose nothing.
    for (std::vector<int32_t> few : {std::vector<int32_t>{0}, std::vector<int32_t>{}}) {
        HullHolder dot(make_hull("dot", {{0, 0, 0}}, {}, {{WIN_BLOCK_TYPE_LINE, few}}));
        EXPECT_EQ(collide_inside_win_line_block(&centre, dot.hull, line_of(dot.hull)), 0);
    }

    LogCapture log;
    EXPECT_EQ(collide_inside_win_line_block(nullptr, round.hull, line_of(round.hull)), 1);
    EXPECT_EQ(collide_inside_win_line_block(&centre, nullptr, line_of(round.hull)), 1);
    EXPECT_EQ(collide_inside_win_line_block(&centre, round.hull, nullptr), 1);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot collide_inside_win_line_block with NULL intersect_vtx.",
                                "Cannot collide_inside_win_line_block with NULL win_collision.",
                                "Cannot collide_inside_win_line_block with NULL win_line_block."}));
}

TEST(CollideBlocks, RayToSphere)
{
    const win_vect3 origin = {0, 0, 0}, along_x = {1, 0, 0};
    struct Case {
        const char* what;
        win_vect3 centre;
        float radius_squared, distance;
    };
    const Case cases[] = {
        {"ahead", {10, 0, 0}, 4, 8},
        {"ahead, off the axis but hit", {10, 1, 0}, 4, 10 - std::sqrt(3.0f)},
        {"behind", {-10, 0, 0}, 4, -1},
        {"passed by", {10, 5, 0}, 4, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NEAR(collide_calc_ray_sphere_dist(&origin, &along_x, &c.centre, c.radius_squared),
                    c.distance, 1e-5f);
    }
}

TEST(CollideBlocks, FacingArc)
{
    struct Case {
        const char* what;
        float turn, heading, tolerance;
        int within;
    };
    const Case cases[] = {
        {"exactly the heading, no tolerance", 0.0f, 0.0f, 0.0f, 1},
        {"off the heading, no tolerance", 0.0f, 0.5f, 0.0f, 0},
        {"any facing with a tolerance of pi", 2.5f, 0.0f, 3.1415927f, 1},
        {"turned within the arc", 0.4f, 0.0f, 0.5f, 1},
        {"turned within it the other way", -0.4f, 0.0f, 0.5f, 1},
        {"turned past it", 0.6f, 0.0f, 0.5f, 0},
        {"turned past it the other way", -0.6f, 0.0f, 0.5f, 0},
        {"a quarter turn toward a quarter-turn heading", 1.5707964f, 1.5707964f, 0.1f, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        win_entity entity = entity_at(0, 0, 0, c.turn);
        const win_rot facing = {0, c.heading, 0}, tolerance = {0, c.tolerance, 0};
        EXPECT_EQ(collide_check_facing_arc(&entity, &facing, &tolerance), c.within);
    }
}

// ---- A sphere moving among hulls ----

TEST(CollideMove, PushStopAndBounceByBlockKind)
{
    // Radius 10, bounce factor 0.5; a step of 0.1 s unless said otherwise.
    struct Case {
        const char* what;
        win_collision* (*hull)();
        win_vect3 start, goal, velocity;
        float seconds;
        win_vect3 want_start, want_goal, want_velocity;
        int changed;
        std::vector<std::string> notices;
    };
    const std::string pushed_2d = "pushing entity crate out of 2d collision data.";
    const std::string pushed_3d =
        "pushing entity crate out of 3d collision data. radius = 10.000000";
    const Case cases[] = {
        // Walls.
        {"standing in a wall: pushed out in front, stopped",
         wall_hull,
         {50, 10, 5},
         {50, 10, 5},
         {7, 0, 0},
         0.1f,
         {50, 10, 10.001f},
         {50, 10, 10.001f},
         {0, 0, 0},
         1,
         {pushed_2d}},
        {"slow into a wall: pushed out, bounced (scaled by its speed)",
         wall_hull,
         {50, 10, 12},
         {50, 10, 8},
         {0, 0, -40},
         0.1f,
         {50, 10, 12},
         {50, 10, 10.001f},
         {0, 0, 800},
         1,
         {}},
        {"a step of half the radius is still slow: bounced by its speed",
         wall_hull,
         {50, 10, 12},
         {50, 10, 7},
         {0, 0, -40},
         0.1f,
         {50, 10, 12},
         {50, 10, 10.001f},
         {0, 0, 800},
         1,
         {}},
        {"slow and gentle into a wall: stopped where it stood, pushed clear",
         wall_hull,
         {50, 10, 10.5f},
         {50, 10, 9.5f},
         {0, 0, 0},
         1.0f,
         {50, 10, 10.5f},
         {50, 10, 10.001f},
         {0, 0, 0},
         1,
         {}},
        {"fast through a wall: stopped in front at the crossing, mirrored",
         wall_hull,
         {50, 10, 30},
         {50, 10, -30},
         {0, 0, -600},
         0.1f,
         {50, 10, 30},
         {50, 10, 10.001f},
         {0, 0, 300},
         1,
         {}},
        {"fast through a wall from behind: passes",
         wall_hull,
         {50, 10, -30},
         {50, 10, 30},
         {0, 0, 600},
         0.1f,
         {50, 10, -30},
         {50, 10, 30},
         {0, 0, 600},
         0,
         {}},
        {"slowly away from a wall: free",
         wall_hull,
         {50, 10, 11},
         {50, 10, 13},
         {0, 0, 20},
         0.1f,
         {50, 10, 11},
         {50, 10, 13},
         {0, 0, 20},
         0,
         {}},
        {"slow against a wall's end: pushed by the cut circle",
         wall_hull,
         {-6, 10, 9},
         {-6, 10, 5},
         {0, 0, -40},
         0.1f,
         {-6, 10, 9},
         {-6, 10, 8.001f},
         {0, 0, 800},
         1,
         {}},
        {"standing where the cut circle just touches a wall's end: not pushed out, but held "
         "clear",
         wall_hull,
         {-8, 10, 6},
         {-8, 10, 6},
         {0, 0, 0},
         0.1f,
         {-8, 10, 6},
         {-8, 10, 6.001f},
         {0, 0, 0},
         1,
         {}},
        {"standing beside a wall's end: free",
         wall_hull,
         {-12, 10, 5},
         {-12, 10, 5},
         {0, 0, 0},
         0.1f,
         {-12, 10, 5},
         {-12, 10, 5},
         {0, 0, 0},
         0,
         {}},
        {"standing in a corner: pushed out of both walls",
         room_hull,
         {5, 10, 6},
         {5, 10, 6},
         {0, 0, 0},
         0.1f,
         {10.001f, 10, 10.001f},
         {10.001f, 10, 10.001f},
         {0, 0, 0},
         1,
         {pushed_2d, pushed_2d}},
        // Convex polygons.
        {"standing in a floor: pushed up, stopped",
         floor_hull,
         {50, 5, 50},
         {50, 5, 50},
         {0, -3, 0},
         0.1f,
         {50, 10.001f, 50},
         {50, 10.001f, 50},
         {0, 0, 0},
         1,
         {pushed_3d}},
        {"resting on a floor: left alone",
         floor_hull,
         {50, 10.001f, 50},
         {50, 10.001f, 50},
         {0, 0, 0},
         0.1f,
         {50, 10.001f, 50},
         {50, 10.001f, 50},
         {0, 0, 0},
         0,
         {}},
        {"standing past a floor's corner: pushed up by the cut circle",
         floor_hull,
         {105, 5, 104},
         {105, 5, 104},
         {0, 0, 0},
         0.1f,
         {105, 8.661f, 104},
         {105, 8.661f, 104},
         {0, 0, 0},
         1,
         {pushed_3d}},
        {"slow onto a floor: bounced",
         floor_hull,
         {50, 13, 50},
         {50, 9, 50},
         {0, -40, 0},
         0.1f,
         {50, 13, 50},
         {50, 10.001f, 50},
         {0, 800, 0},
         1,
         {}},
        {"fast through a floor: stopped above the crossing, mirrored",
         floor_hull,
         {50, 30, 50},
         {50, -30, 50},
         {0, -600, 0},
         0.1f,
         {50, 30, 50},
         {50, 10.001f, 50},
         {0, 300, 0},
         1,
         {}},
        {"fast past a floor's edge: free",
         floor_hull,
         {150, 30, 50},
         {150, -30, 50},
         {0, -600, 0},
         0.1f,
         {150, 30, 50},
         {150, -30, 50},
         {0, -600, 0},
         0,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HullHolder hull(c.hull());
        win_collision* hulls[] = {hull.hull, nullptr};
        collide_motion motion = {c.start, c.goal, c.velocity, 10.0f,
                                 0.5f,    1.0f,   c.seconds,  "crate"};
        LogCapture log;
        EXPECT_EQ(collide_move_sphere(&motion, hulls, 2), c.changed);
        expect_near(motion.start, c.want_start);
        expect_near(motion.goal, c.want_goal);
        expect_near(motion.velocity, c.want_velocity);
        EXPECT_EQ(log.notices(), c.notices);
        EXPECT_TRUE(log.errors().empty());
    }
}

TEST(CollideMove, SwitchedOffHullsAndStepsWithoutTimeOrDirection)
{
    HullHolder wall(wall_hull());
    win_collision* hulls[] = {wall.hull};
    collide_motion into = {{50, 10, 12}, {50, 10, 8}, {0, 0, -40}, 10, 0.5f, 1, 0.1f, "crate"};

    wall.hull->win_collision_enabled = 0;
    collide_motion motion = into;
    EXPECT_EQ(collide_move_sphere(&motion, hulls, 1), 0);
    expect_near(motion.goal, into.goal);

    // No time passed: the step has no speed and the slow contact stops it
    // (the speed is not infinite).
    wall.hull->win_collision_enabled = 1;
    motion = into;
    motion.velocity = {0, 0, -0.5f};
    motion.frame_seconds = 0.0f;
    EXPECT_EQ(collide_move_sphere(&motion, hulls, 1), 1);
    expect_near(motion.goal, {50, 10, 10.001f});
    expect_near(motion.velocity, {0, 0, 0});

    // Standing still in a wall has no direction: it faces every wall.
    motion = into;
    motion.start = motion.goal = {50, 10, 5};
    motion.frame_seconds = 0.0f;
    EXPECT_EQ(collide_move_sphere(&motion, hulls, 1), 1);
    expect_near(motion.goal, {50, 10, 10.001f});
    EXPECT_EQ(collide_move_sphere(&motion, nullptr, 1), 0);
    EXPECT_EQ(collide_move_sphere(&motion, hulls, 0), 0);
}

TEST(CollideLineOfSight, ThroughAndPastBlocks)
{
    HullHolder wall(wall_hull());
    HullHolder floor(floor_hull());
    win_collision* hulls[] = {wall.hull, nullptr, floor.hull};
    struct Case {
        const char* what;
        win_vect3 from, to;
        int blocked;
    };
    const Case cases[] = {
        {"through the wall", {50, 10, 30}, {50, 10, -30}, 1},
        {"through the wall from behind, far above it", {50, 900, -30}, {50, 900, 30}, 1},
        {"past the wall's end", {-10, 10, 30}, {-10, 10, -30}, 0},
        {"along the wall", {0, 10, 5}, {100, 10, 5}, 0},
        {"short of the wall", {50, 10, 30}, {50, 10, 10}, 0},
        {"ending on the wall", {50, 10, 30}, {50, 10, 0}, 1},
        {"down through the floor", {50, 30, 50}, {50, -30, 50}, 1},
        {"down past the floor's edge", {150, 30, 50}, {150, -30, 50}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(collide_check_line_of_sight_hulls(&c.from, &c.to, hulls, 3), c.blocked);
    }
    // Switched-off hulls still block sight.
    wall.hull->win_collision_enabled = 0;
    EXPECT_EQ(collide_check_line_of_sight_hulls(&cases[0].from, &cases[0].to, hulls, 3), 1);
    EXPECT_EQ(collide_check_line_of_sight_hulls(&cases[0].from, &cases[0].to, nullptr, 0), 0);
}

// ---- Entities among the hulls of the current environment ----

namespace {

// A frame of 0.1 s in the level "level", its hulls a wall and a floor.
class CollideEntity : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        frame_delta_time = 100.0f;
        wall = wall_hull();
        floor = floor_hull();
        level = make_environment("level", {wall, nullptr, floor});
        game_globals.current_environment = level;
    }
    void TearDown() override
    {
        game_globals.current_environment = nullptr;
        free_win_entity(level);
    }
    // The matrix an entity wants to move to: its own, translated to `to`.
    static win_matrix43 move_of(const win_entity* entity, win_vect3 to)
    {
        win_matrix43 m = entity->local_matrix;
        m.m[3][0] = to.x;
        m.m[3][1] = to.y;
        m.m[3][2] = to.z;
        m.attrib |= WIN_ATTRIB_TRANSLATE;
        return m;
    }
    static win_vect3 position(const win_matrix43& m) { return {m.m[3][0], m.m[3][1], m.m[3][2]}; }

    win_collision* wall = nullptr;
    win_collision* floor = nullptr;
    win_entity* level = nullptr;
};

}  // namespace

TEST_F(CollideEntity, MovesAgainstWallsAndFloorsByKind)
{
    // Characters have a model sphere of radius 10 and bounce factor 0.5;
    // anything else is a point of radius 0.001 that loses its speed in a
    // bounce. Positions are the entity's origin, the sphere rests on it.
    struct Case {
        const char* what;
        int32_t type;
        win_vect3 from, to, velocity;
        float bounce_speed_threshold;
        win_vect3 want, want_velocity;
        int result;
    };
    const Case cases[] = {
        {"a lamp through a wall: stops 0.002 in front at the crossing, loses its speed",
         WIN_ENTITY_TYPE_LIGHT,
         {50, 5, 5},
         {50, 5, -5},
         {0, 0, -100},
         1,
         {50, 5, 0.002f},
         {0, 0, 0},
         1},
        {"a character into a wall: pushed out, bounced by its speed and bounce factor",
         WIN_ENTITY_TYPE_CHARACTER,
         {50, 5, 12},
         {50, 5, 8},
         {0, 0, -40},
         1,
         {50, 5, 10.001f},
         {0, 0, 800},
         1},
        {"a character nudging a wall below its bounce threshold: stops where it stood",
         WIN_ENTITY_TYPE_CHARACTER,
         {50, 5, 10.5f},
         {50, 5, 9.5f},
         {0, 0, 0},
         20,
         {50, 5, 10.001f},
         {0, 0, 0},
         1},
        {"a character at the wall's back: passes",
         WIN_ENTITY_TYPE_CHARACTER,
         {50, 5, -12},
         {50, 5, -8},
         {0, 0, 40},
         1,
         {50, 5, -8},
         {0, 0, 40},
         0},
        {"a character past the wall's end: passes",
         WIN_ENTITY_TYPE_CHARACTER,
         {130, 5, 12},
         {130, 5, 8},
         {0, 0, -40},
         1,
         {130, 5, 8},
         {0, 0, -40},
         0},
        {"a sphere resting on the floor: free",
         WIN_ENTITY_TYPE_CHARACTER,
         {50, 0.001f, 50},
         {50, 0.001f, 50},
         {0, 0, 0},
         1,
         {50, 0.001f, 50},
         {0, 0, 0},
         0},
        {"a sphere touching the floor: lifted clear of it",
         WIN_ENTITY_TYPE_CHARACTER,
         {50, 0, 50},
         {50, 0, 50},
         {0, -5, 0},
         1,
         {50, 0.001f, 50},
         {0, 0, 0},
         1},
        {"a sphere falling onto the floor: put on it, bounced up",
         WIN_ENTITY_TYPE_CHARACTER,
         {50, 3, 50},
         {50, -1, 50},
         {0, -40, 0},
         1,
         {50, 0.001f, 50},
         {0, 800, 0},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        collide_reset_check_count();
        EntityHolder mover(make_mover("crate", c.type, c.from, 10.0f));
        if (win_character* character = win_entity_character(mover.entity))
            character->bounce_factor = 0.5f;
        mover->velocity = c.velocity;
        mover->bounce_speed_threshold = c.bounce_speed_threshold;
        win_matrix43 m = move_of(mover.entity, c.to);
        EXPECT_EQ(collide_check_entity(&m, mover.entity, level), c.result);
        expect_near(position(m), c.want);
        expect_near(mover->velocity, c.want_velocity);
        // The rotation rows are the entity's own still.
        EXPECT_EQ(std::memcmp(m.m, mover->local_matrix.m, sizeof(float) * 9), 0);
    }
}

TEST_F(CollideEntity, TheUpdateLoopEndsWithinTheBudget)
{
    // The entity update checks again while the answer is 1. A sphere that
    // touches the floor where it stands keeps touching it (its start does
    // not move), so only the budget of ten checks ends the loop; the
    // eleventh answers 0 and leaves the matrix alone.
    EntityHolder ball(make_mover("ball", WIN_ENTITY_TYPE_CHARACTER, {50, 0, 50}, 10.0f));
    win_matrix43 m = move_of(ball.entity, {50, 0, 50});
    int calls = 1;
    while (collide_check_entity(&m, ball.entity, level))
        ++calls;
    EXPECT_EQ(calls, COLLIDE_MAX_CHECKS + 1);
    expect_near(position(m), {50, 0.001f, 50});

    // A new entity update starts a new budget.
    collide_reset_check_count();
    m = move_of(ball.entity, {50, 0, 50});
    EXPECT_EQ(collide_check_entity(&m, ball.entity, level), 1);
}

TEST_F(CollideEntity, WhatIsNotMovedAndWhatStartsElsewhere)
{
    // Clear of the floor (y = 5), walls decide. Without collision flags the
    // entity goes through, but the check counts.
    EntityHolder ghost(make_mover("ghost", WIN_ENTITY_TYPE_CHARACTER, {50, 5, 12}, 10.0f));
    ghost->win_entity_flag &= ~(ENTITY_FLAG_ENVIRONMENT_COLLISION |
                                ENTITY_FLAG_CHARACTER_COLLISION);
    for (int i = 0; i < COLLIDE_MAX_CHECKS; ++i) {
        win_matrix43 m = move_of(ghost.entity, {50, 5, -8});
        EXPECT_EQ(collide_check_entity(&m, ghost.entity, level), 0);
        expect_near(position(m), {50, 5, -8});
    }
    collide_reset_check_count();

    // A switched-off hull stops nothing.
    EntityHolder crate(make_mover("crate", WIN_ENTITY_TYPE_CHARACTER, {50, 5, 12}, 10.0f));
    wall->win_collision_enabled = 0;
    win_matrix43 m = move_of(crate.entity, {50, 5, 8});
    EXPECT_EQ(collide_check_entity(&m, crate.entity, level), 0);
    expect_near(position(m), {50, 5, 8});
    wall->win_collision_enabled = 1;

    // A held melee weapon starts where its holder carries it (its world
    // matrix): from there its path crosses the wall; from its local position
    // the path would pass the wall's end.
    EntityHolder sword(make_mover("sword", WIN_ENTITY_TYPE_CHARACTER, {200, 5, 12}));
    sword->win_entity_flag |= ENTITY_FLAG_MELEE_1;
    sword->parent_joint_idx = 2;
    win_math_set_translate_matrix43_inline(&sword->world_matrix, 50, 5, 12);
    m = move_of(sword.entity, {50, 5, -8});
    EXPECT_EQ(collide_check_entity(&m, sword.entity, level), 1);
    expect_near(position(m), {50, 5, 0.002f});
    sword->parent_joint_idx = -1;  // not held: it starts from its local position
    m = move_of(sword.entity, {50, 5, -8});
    EXPECT_EQ(collide_check_entity(&m, sword.entity, level), 0);

    // A frame that took no time gives the step no speed: a slow contact
    // stops instead of bouncing at infinite speed.
    frame_delta_time = 0.0f;
    m = move_of(crate.entity, {50, 5, 9.5f});
    EXPECT_EQ(collide_check_entity(&m, crate.entity, level), 1);
    expect_near(position(m), {50, 5, 10.001f});
    expect_near(crate->velocity, {0, 0, 0});
}

TEST_F(CollideEntity, AMatrixWithoutPartsGetsATranslation)
{
    // The default matrix of a new entity is all zeros without parts: the
    // identity at the origin, which lies on the floor's corner. Lifted off
    // the floor, the matrix becomes a translation, not a collapse to a
    // point.
    EntityHolder ball(make_mover("ball", WIN_ENTITY_TYPE_CHARACTER, {0, 0, 0}, 10.0f));
    ball->local_matrix = {};
    win_matrix43 m = {};
    EXPECT_EQ(collide_check_entity(&m, ball.entity, level), 1);
    win_matrix43 want;
    win_math_set_translate_matrix43_inline(&want, 0, 0.001f, 0);
    EXPECT_EQ(m.attrib, want.attrib);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_NEAR(m.m[row][column], want.m[row][column], 1e-6f) << row << ", " << column;
}

TEST_F(CollideEntity, RefusalsAndEnvironmentsWithoutHulls)
{
    EntityHolder crate(make_mover("crate", WIN_ENTITY_TYPE_CHARACTER, {50, 0, 12}, 10.0f));
    win_matrix43 m = move_of(crate.entity, {50, 0, 8});
    LogCapture log;
    EXPECT_EQ(collide_check_entity(nullptr, crate.entity, level), 0);
    EXPECT_EQ(collide_check_entity(&m, nullptr, level), 0);
    EXPECT_EQ(collide_check_entity(&m, crate.entity, nullptr), 0);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Cannot collide_check_entity with NULL desired_spatial_matrix.",
                                "Cannot collide_check_entity with NULL movable_entity.",
                                "Cannot collide_check_entity with NULL entity."}));

    // Silently 0: the environment itself, one without hulls, and an entity
    // of another type made the environment.
    log.clear();
    win_matrix43 own = level->local_matrix;
    EXPECT_EQ(collide_check_entity(&own, level, level), 0);
    EntityHolder bare(make_environment("bare", {}));
    EXPECT_EQ(collide_check_entity(&m, crate.entity, bare.entity), 0);
    EntityHolder lamp(make_mover("lamp", WIN_ENTITY_TYPE_LIGHT, {0, 0, 0}));
    EXPECT_EQ(collide_check_entity(&m, crate.entity, lamp.entity), 0);
    expect_near(position(m), {50, 0, 8});
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(CollideEntity, LineOfSightThroughTheCurrentEnvironment)
{
    // Through the wall, and across its line beyond its end (at x = -10).
    const win_vect3 front = {50, 10, 30}, back = {50, 10, -30}, aside = {-70, 10, -30};
    EXPECT_EQ(collide_check_line_of_sight(&front, &back), 1);
    EXPECT_EQ(collide_check_line_of_sight(&front, &aside), 0);
    wall->win_collision_enabled = 0;  // switched off, it still blocks sight
    EXPECT_EQ(collide_check_line_of_sight(&front, &back), 1);

    EntityHolder lamp(make_mover("lamp", WIN_ENTITY_TYPE_LIGHT, {0, 0, 0}));
    game_globals.current_environment = lamp.entity;
    EXPECT_EQ(collide_check_line_of_sight(&front, &back), 0);
    game_globals.current_environment = nullptr;
    EXPECT_EQ(collide_check_line_of_sight(&front, &back), 0);
    game_globals.current_environment = level;
}

TEST(CollideHostileHulls, BlocksNamingWhatTheHullLacksArePassedOver)
{
    // Each block names a corner or plane the hull does not have, or has its
    // indexes missing: every query reports and passes over it, and reads
    // nothing outside the arrays (AddressSanitizer).
    HullHolder bad(make_hull("bad", {{0, 0, 0}, {100, 0, 0}}, {{0, 1, 0, 0}, {1, 0, 0, 100}},
                             {{WIN_BLOCK_TYPE_LINE, {0, 7}},
                              {WIN_BLOCK_TYPE_CONVEX_POLY, {0, 9}},
                              {WIN_BLOCK_TYPE_CONVEX_POLY, {-3}},
                              {WIN_BLOCK_TYPE_CONVEX_POLY, {}},
                              {WIN_BLOCK_TYPE_LINE, {0, 1, 0}},
                              {5, {}}}));
    auto* empty_line = (win_line_block*)bad.hull->win_block_array[4].win_block_data;
    FREE(empty_line->win_vtx_idx_array);
    empty_line->win_vtx_idx_array = nullptr;  // its count says 3
    win_collision* hulls[] = {bad.hull};

    LogCapture log;
    const win_vect3 p = {50, 5, 50}, q = {50, -5, -50};
    collide_motion motion = {p, q, {0, 0, -1}, 10, 0.5f, 1, 0.1f, "crate"};
    EXPECT_EQ(collide_move_sphere(&motion, hulls, 1), 0);
    motion.goal = {50, 5, 48};
    EXPECT_EQ(collide_move_sphere(&motion, hulls, 1), 0);
    EXPECT_EQ(collide_check_line_of_sight_hulls(&p, &q, hulls, 1), 0);
    EXPECT_EQ(collide_point_inside_win_collision(&p, bad.hull), 0);
    for (int32_t b = 1; b <= 3; ++b) {
        win_vect3 out;
        EXPECT_EQ(collide_calc_sphere_poly_depth(&p, 10, poly_of(bad.hull, b), bad.hull), -1.0f);
        EXPECT_EQ(collide_check_line_poly(&p, &q, 10, poly_of(bad.hull, b), bad.hull, &out), 0);
        EXPECT_EQ(collide_inside_convex_poly(&p, -1, poly_of(bad.hull, b), bad.hull), 0);
    }
    EXPECT_EQ(collide_wall_count(empty_line), 0);
    std::vector<std::string> errors = log.errors();
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Bad vtx_idx = 7 in win_collision bad with win_vtx_array_size = 2"),
              errors.end());
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Bad plane_idx = 9 in win_collision bad with win_plane_array_size = 2"),
              errors.end());
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Bad plane_idx = -3 in win_collision bad with win_plane_array_size = 2"),
              errors.end());
    EXPECT_NE(std::find(errors.begin(), errors.end(), "Unknown win_block_type: 5"), errors.end());

    // A hull without its planes says it has none.
    win_plane* planes = bad.hull->win_plane_array;
    bad.hull->win_plane_array = nullptr;
    log.clear();
    EXPECT_EQ(collide_poly_plane(poly_of(bad.hull, 1), bad.hull, 0), nullptr);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Bad plane_idx = 0 in win_collision bad "
                                                     "with win_plane_array_size = 0"});
    bad.hull->win_plane_array = planes;
    bad.hull->win_block_array[5].win_block_type = WIN_BLOCK_TYPE_PLANAR;  // to be released
}

// ---- The hull list ----

namespace {

class CollideList : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        std::strcpy(game_globals.collision_pathname, dir.file("collision").c_str());
    }
    void TearDown() override
    {
        EXPECT_EQ(game_globals.win_collision_list, nullptr) << "a test left hulls listed";
    }
    // Writes the collision file of `hull` as "<name>.cow" and releases the hull.
    void write_cow(const char* name, win_collision* hull, int32_t type = FILE_TYPE_COLLISION)
    {
        dir.write(std::string("collision/") + name + ".cow", "");
        FILE* out = file_open_write_version_bin(
            dir.file(std::string("collision/") + name + ".cow").c_str(), type,
            FILE_VERSION_COLLISION);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(write_win_collision_bin(out, hull), 1);
        file_close(out);
        free_win_collision(hull);
    }
    std::string path_of(const char* name) const
    {
        return std::string(game_globals.collision_pathname) + "\\" + name + ".cow";
    }
    TempDir dir;
};

}  // namespace

TEST_F(CollideList, HullsAreSharedByNameAndSweptWhenUnused)
{
    write_cow("wall", wall_hull());
    LogCapture log;
    win_collision* first = collide_load_win_collision("wall");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->win_collision_ref_cnt, 2) << "the list's and the caller's";
    EXPECT_EQ(game_globals.win_collision_list, first);
    EXPECT_EQ(game_globals.win_collision_list_size, 1);

    // A second load shares the listed hull without reading the file again.
    std::remove(dir.file("collision/wall.cow").c_str());
    EXPECT_EQ(collide_load_win_collision("wall"), first);
    EXPECT_EQ(first->win_collision_ref_cnt, 3);
    EXPECT_EQ(log.notices(), (std::vector<std::string>{"Loading collision data wall.",
                                                       "Loading collision data wall."}));

    // While a user holds it, the sweep passes it over.
    free_win_collision(first);
    EXPECT_EQ(collide_remove_win_collision(), 1);
    EXPECT_EQ(game_globals.win_collision_list_size, 1);
    free_win_collision(first);
    log.clear();
    EXPECT_EQ(collide_remove_win_collision(), 1);
    EXPECT_EQ(game_globals.win_collision_list, nullptr);
    EXPECT_EQ(game_globals.win_collision_list_size, 0);
    EXPECT_EQ(log.notices(), std::vector<std::string>{"removing win_collision wall from list."});
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(CollideList, TheSweepKeepsHullsInUseAndRemovesTheRest)
{
    const char* names[] = {"used", "spare_1", "spare_2", "also_used", "spare_3"};
    win_collision* hulls[5];
    for (int i = 0; i < 5; ++i) {
        hulls[i] = malloc_win_collision(names[i]);
        add_to_win_collision_list(&game_globals.win_collision_list,
                                  &game_globals.win_collision_list_size, hulls[i]);
        if (names[i][0] == 's')
            free_win_collision(hulls[i]);  // only the list holds it
    }
    LogCapture log;
    EXPECT_EQ(collide_remove_win_collision(), 1);
    EXPECT_EQ(game_globals.win_collision_list_size, 2);
    EXPECT_EQ(game_globals.win_collision_list, hulls[0]);
    EXPECT_EQ(hulls[0]->next_ptr, hulls[3]);
    EXPECT_EQ(log.notices(),
              (std::vector<std::string>{"removing win_collision spare_1 from list.",
                                        "removing win_collision spare_2 from list.",
                                        "removing win_collision spare_3 from list."}));
    // The users let go; the next sweep empties the list.
    free_win_collision(hulls[0]);
    free_win_collision(hulls[3]);
    EXPECT_EQ(collide_remove_win_collision(), 1);
    EXPECT_EQ(game_globals.win_collision_list, nullptr);
}

TEST_F(CollideList, FilesThatCannotBeLoadedGiveNoHull)
{
    write_cow("odd", wall_hull(), FILE_TYPE_ENTITY);
    {
        // A header of the right kind followed by half a hull.
        win_collision* hull = wall_hull();
        write_cow("cut", hull);
        std::string bytes = read_host_file(dir.file("collision/cut.cow"));
        dir.write("collision/cut.cow", bytes.substr(0, bytes.size() - 6));
    }
    struct Case {
        const char* name;
        std::string error;
    };
    const std::string long_name(400, 'x');  // the path would not fit
    const Case cases[] = {
        {"missing", "Could not find '" + path_of("missing") + "' for reading"},
        {"odd", "Bad file type or file version '" + path_of("odd") + "'"},
        {"cut", "Could not read-to-verify win_collision file 'cut'"},
        {long_name.c_str(), "Could not find '" + long_name + "' for reading"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        EXPECT_EQ(collide_load_win_collision(c.name), nullptr);
        std::vector<std::string> errors = log.errors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), c.error);
        EXPECT_EQ(game_globals.win_collision_list, nullptr);
    }
}

// ---- Debug drawing ----

namespace {

class CollideDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        window = test_open_game_window("Collide Test Window", DefWindowProc);
        ASSERT_NE(window, nullptr);
        d3d_record_start();
        ASSERT_NE(d3dxframe_begin_scene(0), 0);
    }
    void TearDown() override
    {
        d3dxframe_end_scene();
        d3dxframe_unitialize();
        win32_reset();
    }
    DWORD render_state(int32_t state)
    {
        DWORD value = 0;
        d3dxframe_get_render_state(state, &value);
        return value;
    }
    HWND window = nullptr;
};

// The positions, normals and colours of the last draw.
std::vector<d3d_recorded_vertex> last_vertices()
{
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    if (!draw)
        return {};
    return std::vector<d3d_recorded_vertex>(draw->vertices, draw->vertices + draw->vertex_count);
}

}  // namespace

TEST_F(CollideDraw, WallsAreUprightQuadsAndPolygonsFans)
{
    HullHolder wall(wall_hull());
    HullHolder floor(floor_hull());
    win_matrix43 place;
    win_math_set_translate_matrix43_inline(&place, 5, 6, 7);
    LogCapture log;
    int draws = d3d_recorded_draw_count();
    ASSERT_EQ(collide_draw_begin(&place), 1);

    collide_draw_win_collision(wall.hull, &collide_environment_style);
    EXPECT_EQ(d3d_recorded_draw_count() - draws, 1);
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->primitive_type, (DWORD)D3DPT_TRIANGLEFAN);
    EXPECT_EQ(draw->vertex_format, 0x52u);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_ZBIAS], 16u);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_CULLMODE], (DWORD)D3DCULL_NONE);
    EXPECT_EQ(draw->texture0, nullptr);
    EXPECT_EQ(draw->world.m[3][0], 5.0f);
    EXPECT_EQ(draw->world.m[3][2], 7.0f);
    struct Corner {
        win_vect3 at;
        DWORD colour;
    };
    const Corner quad[4] = {{{0, 0, 0}, 0xFF0000FF},
                            {{100, 0, 0}, 0xFFFFFFFF},
                            {{100, 16, 0}, 0xFFFFFFFF},
                            {{0, 16, 0}, 0xFF0000FF}};
    std::vector<d3d_recorded_vertex> got = last_vertices();
    ASSERT_EQ(got.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        expect_near({got[i].x, got[i].y, got[i].z}, quad[i].at, 1e-5f);
        expect_near({got[i].nx, got[i].ny, got[i].nz}, {0, 0, 1}, 1e-5f);  // the wall's front
        EXPECT_EQ(got[i].diffuse, quad[i].colour);
    }

    // The floor: its four corners, closed by the first again, grey.
    collide_draw_win_collision(floor.hull, &collide_environment_style);
    got = last_vertices();
    const win_vect3 corners[5] = {
        {100, 0, 100}, {0, 0, 100}, {0, 0, 0}, {100, 0, 0}, {100, 0, 100}};
    ASSERT_EQ(got.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        expect_near({got[i].x, got[i].y, got[i].z}, corners[i], 1e-5f);
        expect_near({got[i].nx, got[i].ny, got[i].nz}, {0, 1, 0}, 1e-5f);
        EXPECT_EQ(got[i].diffuse, 0x80808080u);
    }

    // Trigger volumes: low green quads lit from above, polygons left out.
    draws = d3d_recorded_draw_count();
    collide_draw_win_collision(floor.hull, &collide_trigger_style);
    EXPECT_EQ(d3d_recorded_draw_count(), draws);
    collide_draw_win_collision(wall.hull, &collide_trigger_style);
    got = last_vertices();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[2].y, 4.0f);
    EXPECT_EQ(got[0].diffuse, 0xFF00FF00u);
    EXPECT_EQ(got[1].diffuse, 0xFF00FF00u);
    EXPECT_EQ(got[0].ny, 1.0f);

    EXPECT_EQ(collide_draw_end(), 1);
    EXPECT_EQ(render_state(D3DRENDERSTATE_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(render_state(D3DRENDERSTATE_ZBIAS), 0u);
    EXPECT_TRUE(log.errors().empty());
}

TEST_F(CollideDraw, ShapesThatCannotBeFoundAreLeftOut)
{
    // A polygon whose neighbouring edges are parallel has no corner there; a
    // wall standing on one spot is no wall; an identity matrix without parts
    // is the identity, not a collapse to a point.
    HullHolder odd(make_hull("odd", {{1, 0, 1}, {1, 5, 1}},
                             {{0, 1, 0, 0}, {1, 0, 0, 100}, {-1, 0, 0, 0}, {0, 0, 1, 100}},
                             {{WIN_BLOCK_TYPE_CONVEX_POLY, {0, 1, 2, 3}},
                              {WIN_BLOCK_TYPE_LINE, {0, 1}},
                              {WIN_BLOCK_TYPE_PLANAR, {0}}}));
    win_matrix43 none = {};
    LogCapture log;
    int draws = d3d_recorded_draw_count();
    collide_draw_begin(&none);
    collide_draw_win_collision(odd.hull, &collide_environment_style);
    collide_draw_end();
    EXPECT_EQ(d3d_recorded_draw_count(), draws);
    EXPECT_EQ(log.errors(),
              (std::vector<std::string>{
                  "planes are parallel. Unable to calculate intersection point.",
                  "co-incident points detected. x=1.000000, y=0.000000, z=1.000000."}));

    HullHolder wall(wall_hull());
    collide_draw_begin(&none);
    collide_draw_win_collision(wall.hull, &collide_camzone_style);
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->world.m[0][0], 1.0f);
    EXPECT_EQ(draw->world.m[3][3], 1.0f);
    EXPECT_EQ(draw->vertices[3].y, 8.0f);
    EXPECT_EQ(draw->vertices[0].diffuse, 0xFFFFFF00u);
    collide_draw_end();
}

TEST_F(CollideDraw, AnEnvironmentDrawsItsHullsThenZonesThenTriggers)
{
    // Each source is a wall (one quad) or a floor (one fan, drawn for the
    // environment's own hulls only); empty slots are passed over.
    EntityHolder level(make_environment("level", {wall_hull(), nullptr, floor_hull()}));
    give_explore_cams(level.entity, {{"hall", wall_hull()}, {"none", nullptr}});
    win_trigger* triggers = give_triggers(level.entity, 2);
    set_trigger(&triggers[0], "door", wall_hull(), nullptr);
    set_trigger(&triggers[1], "pad", floor_hull(), nullptr);
    win_math_set_translate_matrix43_inline(&level->local_matrix, 0, 0, 30);

    LogCapture log;
    int before = d3d_recorded_draw_count();
    collide_draw_collision_data(level.entity);
    // The wall and the floor, the zone, the door's quad last.
    EXPECT_EQ(d3d_recorded_draw_count() - before, 4);
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->vertex_count, 4u);
    EXPECT_EQ(draw->vertices[0].diffuse, 0xFF00FF00u);
    EXPECT_EQ(draw->vertices[2].y, 4.0f);
    EXPECT_EQ(draw->world.m[3][2], 30.0f);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_CULLMODE], (DWORD)D3DCULL_NONE);
    EXPECT_EQ(render_state(D3DRENDERSTATE_CULLMODE), (DWORD)D3DCULL_CCW);
    EXPECT_EQ(render_state(D3DRENDERSTATE_ZBIAS), 0u);

    // Without the door's volume the zone comes last.
    free_win_collision(triggers[0].win_trigger_collision);
    triggers[0].win_trigger_collision = nullptr;
    before = d3d_recorded_draw_count();
    collide_draw_collision_data(level.entity);
    EXPECT_EQ(d3d_recorded_draw_count() - before, 3);
    draw = d3d_recorded_last_draw();
    EXPECT_EQ(draw->vertices[0].diffuse, 0xFFFFFF00u);
    EXPECT_EQ(draw->vertices[2].y, 8.0f);

    // Without hull slots, or for an entity that is not an environment,
    // nothing is drawn and no state changes.
    EntityHolder bare(make_environment("bare", {}));
    give_triggers(bare.entity, 1);
    EntityHolder lamp(make_mover("lamp", WIN_ENTITY_TYPE_LIGHT, {0, 0, 0}));
    d3dxframe_set_render_state(D3DRENDERSTATE_ZBIAS, 3);
    before = d3d_recorded_draw_count();
    collide_draw_collision_data(bare.entity);
    collide_draw_collision_data(lamp.entity);
    collide_draw_collision_data(nullptr);
    EXPECT_EQ(d3d_recorded_draw_count(), before);
    EXPECT_EQ(render_state(D3DRENDERSTATE_ZBIAS), 3u);
    EXPECT_TRUE(log.errors().empty());
}
