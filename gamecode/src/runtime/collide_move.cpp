// A sphere moving among the hulls of an environment, and line of sight
// through them; an entity moving among the hulls of the current environment.
#include "collide.h"
#include "collide_character.h"
#include "debug.h"
#include "entity_io.h"
#include "gameglobals.h"
#include "math_util.h"
#include "mow_geo.h"
#include "win_math.h"
#include "winmain2.h"

namespace {

// The step being corrected and what the passes share.
struct mover {
    collide_motion* motion;
    float speed;  // of the step, units per second
    int changed;
};

// The unit direction of the step, or a zero vector when it is too short to
// have one: a sphere that does not move leaves no wall behind it.
win_vect3 step_direction(const collide_motion* m, float step_length)
{
    win_vect3 u = {0.0f, 0.0f, 0.0f};
    if (step_length <= 0.001f || !win_math_calc_normalized_win_dist(&u, &m->start, &m->goal))
        u = {0.0f, 0.0f, 0.0f};
    return u;
}

// Whether a step along `u` runs into the wall's front (or along the wall, or
// nowhere); `flat` looks at its horizontal part only.
bool faces(const win_vect3* u, const collide_wall& wall, bool flat)
{
    const win_plane& w = wall.wall_plane;
    return u->x * w.nx + (flat ? 0.0f : u->y * w.ny) + u->z * w.nz <= 0.0f;
}

// The radius of the circle a sphere of radius r cuts from a plane its centre
// lies `dist` from.
float cut_radius(float r, float dist)
{
    return (float)math_util_sqrt((double)r * r - (double)dist * dist);
}

// How far a sphere centre at `p` lies past the ends of the wall, measured
// along it: 0 between the ends; past an end, that distance while the circle
// of radius `h` the sphere cuts from the wall plane still reaches the end;
// -1 when it does not. `touching` counts a circle that only touches the end.
float end_offset(const collide_wall& wall, const win_vect3* p, float h, bool touching)
{
    float offset = 0.0f;
    for (const win_plane* end : {&wall.end_plane_a, &wall.end_plane_b}) {
        float e = win_math_point_to_plane_dist(p, end);
        if (e < 0.0f) {
            if (touching ? -e > h : -e >= h)
                return -1.0f;
            offset = -e;
        }
    }
    return offset;
}

void reflect(win_vect3* velocity, const win_plane* plane, float factor)
{
    const win_norm n = {plane->nx, plane->ny, plane->nz};
    win_math_reflect_vect3_about_norm(velocity, velocity, &n);
    *velocity = {velocity->x * factor, velocity->y * factor, velocity->z * factor};
}

// Where it stands: a sphere that overlaps a wall (not moving away from it)
// or a polygon is pushed out of it, its goal with it, and loses its velocity.
void resolve_start(mover* mv, const win_collision* hull, const win_vect3* u)
{
    collide_motion* m = mv->motion;
    float r = m->radius;
    auto push_out = [&](const win_plane* plane, float offset) {
        collide_push_point_out_of_plane(&m->start, &m->start, r, plane, offset);
        collide_push_point_out_of_plane(&m->goal, &m->goal, r, plane, offset);
        m->velocity = {0.0f, 0.0f, 0.0f};
        mv->changed = 1;
    };
    auto on_wall = [&](const collide_wall& wall) {
        float dist0 = win_math_point_to_plane_dist(&m->start, &wall.wall_plane);
        if (!faces(u, wall, true) || !(dist0 < r - 0.001f) || !(dist0 >= 0.001f))
            return;
        float offset = end_offset(wall, &m->start, cut_radius(r, dist0), false);
        if (offset < 0.0f)
            return;
        push_out(&wall.wall_plane, offset);
        LOG_NOTICE("pushing entity %s out of 2d collision data.\n", m->name);
    };
    auto on_poly = [&](const win_convex_poly_block* poly) {
        float depth = collide_calc_sphere_poly_depth(&m->start, r, poly, hull);
        if (depth < 0.0f)
            return;
        push_out(collide_poly_plane(poly, hull, 0), depth);
        LOG_NOTICE("pushing entity %s out of 3d collision data. radius = %f\n", m->name, r);
    };
    collide_visit_blocks(hull, COLLIDE_VISIT_WALLS_FIRST, on_wall, on_poly);
}

// A fast step: where the centre's path meets the front of a wall or a
// polygon, the goal becomes that point pushed clear, and the velocity
// mirrors.
void sweep_path(mover* mv, const win_collision* hull, const win_vect3* u)
{
    collide_motion* m = mv->motion;
    float r = m->radius;
    auto stop_at = [&](const win_vect3* cross, const win_plane* plane) {
        collide_push_point_out_of_plane(&m->goal, cross, r, plane, 0.0f);
        reflect(&m->velocity, plane, m->bounce_factor);
        mv->changed = 1;
    };
    auto on_wall = [&](const collide_wall& wall) {
        win_vect3 cross;
        float t = win_math_line_plane_intersect_tolerance(&m->start, &m->goal, &wall.wall_plane, r,
                                                          &cross);
        // The crossing may lie up to a radius beyond either end.
        if (faces(u, wall, true) && t != WIN_MATH_PARALLEL && t > -0.001f && t < 1.001f &&
            win_math_point_to_plane_dist(&cross, &wall.end_plane_a) >= -r &&
            win_math_point_to_plane_dist(&cross, &wall.end_plane_b) >= -r)
            stop_at(&cross, &wall.wall_plane);
    };
    auto on_poly = [&](const win_convex_poly_block* poly) {
        win_vect3 cross;
        if (collide_check_line_poly(&m->start, &m->goal, r, poly, hull, &cross))
            stop_at(&cross, collide_poly_plane(poly, hull, 0));
    };
    collide_visit_blocks(hull, COLLIDE_VISIT_IN_ORDER, on_wall, on_poly);
}

// A slow step: the sphere at its goal against the front of every wall it was
// not touching where it stood, then every polygon. A sphere that barely
// moves stops where it stood, pushed clear; otherwise it is pushed clear at
// its goal and bounces. The bounce scales the mirrored velocity by its own
// length once more, which the game's motion was tuned with.
void resolve_goal(mover* mv, const win_collision* hull, const win_vect3* u)
{
    collide_motion* m = mv->motion;
    float r = m->radius;
    auto stop_or_bounce = [&](const win_plane* plane, float offset) {
        float m_len = win_math_magnitude_vect3(&m->velocity);
        if (m_len + mv->speed <= m->bounce_speed_threshold) {
            collide_push_point_out_of_plane(&m->goal, &m->start, r, plane, offset);
            m->velocity = {0.0f, 0.0f, 0.0f};
        } else {
            collide_push_point_out_of_plane(&m->goal, &m->goal, r, plane, offset);
            reflect(&m->velocity, plane, m_len * m->bounce_factor);
        }
        mv->changed = 1;
    };
    auto on_wall = [&](const collide_wall& wall) {
        float dist1 = win_math_point_to_plane_dist(&m->goal, &wall.wall_plane);
        float dist0 = win_math_point_to_plane_dist(&m->start, &wall.wall_plane);
        if (!faces(u, wall, false) || !(dist1 < r - 0.001f) || !(dist1 > 0.001f) ||
            !(dist0 > 0.001f))
            return;
        float offset = end_offset(wall, &m->goal, cut_radius(r, dist1), true);
        if (offset >= 0.0f)
            stop_or_bounce(&wall.wall_plane, offset);
    };
    auto on_poly = [&](const win_convex_poly_block* poly) {
        float depth = collide_calc_sphere_poly_depth(&m->goal, r, poly, hull);
        if (depth >= 0.0f)
            stop_or_bounce(collide_poly_plane(poly, hull, 0), depth);
    };
    collide_visit_blocks(hull, COLLIDE_VISIT_WALLS_FIRST, on_wall, on_poly);
}

// Whether the hull takes part in moving: present, with blocks, switched on.
bool hull_stops(const win_collision* hull)
{
    return hull && hull->win_block_array && hull->win_block_array_size > 0 &&
           hull->win_collision_enabled;
}

// The environment's hull slots, or NULL (and a count of 0) when it has none.
win_collision* const* environment_hulls(const win_entity* entity, int32_t* count)
{
    const win_environment* environment = win_entity_environment(entity);
    if (!environment || !environment->win_collision_ptr_array ||
        environment->win_collision_ptr_array_size < 1) {
        *count = 0;
        return nullptr;
    }
    *count = environment->win_collision_ptr_array_size;
    return environment->win_collision_ptr_array;
}

// The checks done in this entity update (see collide_reset_check_count).
int32_t check_count = 0;

// Moves the matrix to `position`, keeping its rotation and scale. A matrix
// without parts stands for the identity whatever its rows hold, so it
// becomes a translation matrix.
void set_translation(win_matrix43* matrix, const win_vect3* position)
{
    if (matrix->attrib == 0) {
        win_math_set_translate_matrix43_from_vect3_inline(matrix, position);
        return;
    }
    matrix->m[3][0] = position->x;
    matrix->m[3][1] = position->y;
    matrix->m[3][2] = position->z;
    matrix->attrib |= (position->x != 0.0f ? WIN_ATTRIB_TRANSLATE_X : 0) |
                      (position->y != 0.0f ? WIN_ATTRIB_TRANSLATE_Y : 0) |
                      (position->z != 0.0f ? WIN_ATTRIB_TRANSLATE_Z : 0);
}

win_vect3 translation_of(const win_matrix43* matrix)
{
    return {matrix->m[3][0], matrix->m[3][1], matrix->m[3][2]};
}

}  // namespace

int collide_move_sphere(collide_motion* motion, win_collision* const* hulls, int32_t hull_count)
{
    REFUSE_NULL(motion, "collide_move_sphere", "motion", 0);
    if (!hulls || hull_count < 1)
        return 0;
    mover mv = {motion, 0.0f, 0};
    float step = win_math_calc_dist(&motion->start, &motion->goal);
    // A frame that took no time has no speed to speak of (the division would
    // give infinity or NaN, and every contact would bounce).
    mv.speed = motion->frame_seconds > 0.0f ? step / motion->frame_seconds : 0.0f;

    win_vect3 u = step_direction(motion, step);
    for (int32_t i = 0; i < hull_count; ++i)
        if (hull_stops(hulls[i]))
            resolve_start(&mv, hulls[i], &u);

    step = win_math_calc_dist(&motion->start, &motion->goal);
    u = step_direction(motion, step);
    bool fast = step > 0.5f * motion->radius;
    for (int32_t i = 0; i < hull_count; ++i) {
        if (!hull_stops(hulls[i]))
            continue;
        if (fast)
            sweep_path(&mv, hulls[i], &u);
        else
            resolve_goal(&mv, hulls[i], &u);
    }
    return mv.changed;
}

int collide_check_line_of_sight_hulls(const win_vect3* from, const win_vect3* to,
                                      win_collision* const* hulls, int32_t hull_count)
{
    REFUSE_NULL(from, "collide_check_line_of_sight_hulls", "from", 0);
    REFUSE_NULL(to, "collide_check_line_of_sight_hulls", "to", 0);
    int blocked = 0;
    const win_collision* hull = nullptr;
    auto on_wall = [&](const collide_wall& wall) {
        win_vect3 cross;
        float t = win_math_line_plane_intersect(from, to, &wall.wall_plane, &cross);
        if (t != WIN_MATH_PARALLEL && t > -0.001f && t < 1.001f &&
            win_math_point_to_plane_dist(&cross, &wall.end_plane_a) >= 0.0f &&
            win_math_point_to_plane_dist(&cross, &wall.end_plane_b) >= 0.0f)
            blocked = 1;
    };
    auto on_poly = [&](const win_convex_poly_block* poly) {
        win_vect3 cross;
        if (collide_check_line_poly(from, to, 0.0f, poly, hull, &cross))
            blocked = 1;
    };
    // Every block is looked at, so every fault in the data is reported.
    for (int32_t i = 0; hulls && i < hull_count; ++i)
        if ((hull = hulls[i]))
            collide_visit_blocks(hull, COLLIDE_VISIT_IN_ORDER, on_wall, on_poly);
    return blocked;
}

void collide_reset_check_count(void)
{
    check_count = 0;
}

int collide_check_entity(win_matrix43* desired_spatial_matrix, win_entity* movable_entity,
                         win_entity* entity)
{
    REFUSE_NULL(desired_spatial_matrix, "collide_check_entity", "desired_spatial_matrix", 0);
    REFUSE_NULL(movable_entity, "collide_check_entity", "movable_entity", 0);
    REFUSE_NULL(entity, "collide_check_entity", "entity", 0);
    int32_t hull_count = 0;
    win_collision* const* hulls = environment_hulls(entity, &hull_count);
    if (movable_entity == entity || hull_count < 1)
        return 0;
    // The budget is counted up to its end and no further, so a caller that
    // never resets it keeps getting 0 rather than a counter that wraps round.
    if (check_count >= COLLIDE_MAX_CHECKS)
        return 0;
    ++check_count;

    // The entity is a sphere resting on its origin: a character's of its
    // model's radius, anything else's a point.
    const win_character* character = win_entity_character(movable_entity);
    float radius = character ? win_character_radius(character) : 0.0f;
    if (!(radius > 0.0f))
        radius = 0.001f;
    // A held melee weapon stands where its holder's joint carries it.
    const uint32_t flags = movable_entity->win_entity_flag;
    const bool held_melee = (flags &
                             (ENTITY_FLAG_MELEE_1 | ENTITY_FLAG_MELEE_2 | ENTITY_FLAG_MELEE_3)) &&
                            movable_entity->parent_joint_idx >= 0;
    win_vect3 start = translation_of(held_melee ? &movable_entity->world_matrix
                                                : &movable_entity->local_matrix);
    win_vect3 goal = translation_of(desired_spatial_matrix);
    start.y += radius;
    goal.y += radius;

    collide_motion motion = {start,
                             goal,
                             movable_entity->velocity,
                             radius,
                             character ? character->bounce_factor : 0.0f,
                             movable_entity->bounce_speed_threshold,
                             frame_delta_time / 1000.0f,
                             movable_entity->win_entity_name ? movable_entity->win_entity_name
                                                             : "(null)"};
    int result = 0;
    if (flags & ENTITY_FLAG_ENVIRONMENT_COLLISION) {
        result = collide_move_sphere(&motion, hulls, hull_count);
        movable_entity->velocity = motion.velocity;
    }

    if (flags & ENTITY_FLAG_CHARACTER_COLLISION) {
        // Once round the ring as it stands when the walk begins; the tests
        // may unload entities (a hit can run a script), which the entity
        // update's walk keeps in memory until it ends, and the step count
        // keeps the walk finite whatever leaves the ring.
        win_entity* other = entity_io_global_win_entity_list;
        const int32_t steps = entity_io_global_win_entity_list_size;
        for (int32_t i = 0; i < steps && other && entity_io_global_win_entity_list; ++i) {
            win_entity* next = other->next;
            if (collide_check_entity_to_entity(movable_entity, other, &motion.goal))
                result = 1;
            other = next;
        }
    }

    const win_vect3 corrected = {motion.goal.x, motion.goal.y - radius, motion.goal.z};
    set_translation(desired_spatial_matrix, &corrected);
    return result;
}

int collide_check_line_of_sight(const win_vect3* from, const win_vect3* to)
{
    REFUSE_NULL(from, "collide_check_line_of_sight", "from", 0);
    REFUSE_NULL(to, "collide_check_line_of_sight", "to", 0);
    int32_t hull_count = 0;
    win_collision* const* hulls = environment_hulls(game_globals.current_environment, &hull_count);
    return hull_count > 0 ? collide_check_line_of_sight_hulls(from, to, hulls, hull_count) : 0;
}
