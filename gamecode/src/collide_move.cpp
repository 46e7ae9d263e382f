// A sphere moving among the hulls of an environment, and line of sight
// through them.
#include <cmath>

#include "collide.h"
#include "debug.h"
#include "math_util.h"
#include "win_math.h"

namespace {

const win_line_block* line_block(const win_block* block)
{
    return block->win_block_type == WIN_BLOCK_TYPE_LINE
               ? (const win_line_block*)block->win_block_data
               : nullptr;
}

const win_convex_poly_block* poly_block(const win_block* block)
{
    return block->win_block_type == WIN_BLOCK_TYPE_CONVEX_POLY
               ? (const win_convex_poly_block*)block->win_block_data
               : nullptr;
}

int32_t blocks(const win_collision* hull)
{
    return hull->win_block_array ? hull->win_block_array_size : 0;
}

// The step being corrected and what the passes share.
struct mover {
    collide_motion* motion;
    float speed;  // of the step, units per second
    int changed;
};

// The unit direction of the step when it is long enough to have one, else
// none (a zero vector): a step that does not move faces no wall.
win_vect3 step_direction(const collide_motion* m, float step_length)
{
    win_vect3 u = {0.0f, 0.0f, 0.0f};
    if (step_length <= 0.001f || !win_math_calc_normalized_win_dist(&u, &m->start, &m->goal))
        u = {0.0f, 0.0f, 0.0f};
    return u;
}

// How far a sphere centre at `p` lies past the ends of the wall, measured in
// the wall's direction: 0 between the ends, the distance past an end while
// the circle of radius `h` the sphere cuts from the wall plane still reaches
// the segment, -1 when it does not. `reach_edge` counts a circle that only
// touches the end as reaching it.
float end_offset(const collide_wall* wall, const win_vect3* p, float h, bool reach_edge)
{
    float offset = 0.0f;
    for (const win_plane* end : {&wall->end_plane_a, &wall->end_plane_b}) {
        float e = win_math_point_to_plane_dist(p, end);
        if (e < 0.0f) {
            if (reach_edge ? -e > h : -e >= h)
                return -1.0f;
            offset = -e;
        }
    }
    return offset;
}

win_norm normal_of(const win_plane* plane)
{
    return {plane->nx, plane->ny, plane->nz};
}

void reflect(win_vect3* velocity, const win_plane* plane, float factor)
{
    win_norm n = normal_of(plane);
    win_math_reflect_vect3_about_norm(velocity, velocity, &n);
    *velocity = {velocity->x * factor, velocity->y * factor, velocity->z * factor};
}

// A sphere that overlaps a block where it stands is pushed out of it, and
// its goal with it; it loses its velocity.
void push_out_at_start(mover* mv, const win_plane* plane, float offset)
{
    collide_motion* m = mv->motion;
    collide_push_point_out_of_plane(&m->start, &m->start, m->radius, plane, offset);
    collide_push_point_out_of_plane(&m->goal, &m->goal, m->radius, plane, offset);
    m->velocity = {0.0f, 0.0f, 0.0f};
    mv->changed = 1;
}

// A slow contact at the goal: a sphere that barely moves stops where it
// stood, pushed clear of the block; otherwise it is pushed clear at its goal
// and bounces. The bounce scales the mirrored velocity by its own length
// once more, which the game's tuning was made with.
void stop_or_bounce(mover* mv, const win_plane* plane, float offset)
{
    collide_motion* m = mv->motion;
    float m_len = win_math_magnitude_vect3(&m->velocity);
    if (m_len + mv->speed <= m->bounce_speed_threshold) {
        collide_push_point_out_of_plane(&m->goal, &m->start, m->radius, plane, offset);
        m->velocity = {0.0f, 0.0f, 0.0f};
    } else {
        collide_push_point_out_of_plane(&m->goal, &m->goal, m->radius, plane, offset);
        reflect(&m->velocity, plane, m_len * m->bounce_factor);
    }
    mv->changed = 1;
}

// Where it stands: every wall of the hull's outlines, then its polygons.
void resolve_start(mover* mv, const win_collision* hull, const win_vect3* u)
{
    collide_motion* m = mv->motion;
    float r = m->radius;
    for (int32_t b = 0; b < blocks(hull); ++b) {
        const win_line_block* line = line_block(&hull->win_block_array[b]);
        for (int32_t k = 0; line && k < collide_wall_count(line); ++k) {
            collide_wall wall;
            if (!collide_calc_wall(&wall, hull, line, k))
                continue;
            // Only the horizontal part of the step decides which side it faces.
            float s = u->x * wall.wall_plane.nx + u->z * wall.wall_plane.nz;
            float dist0 = win_math_point_to_plane_dist(&m->start, &wall.wall_plane);
            if (s > 0.0f || !(dist0 < r - 0.001f) || !(dist0 >= 0.001f))
                continue;
            float h = (float)math_util_sqrt((double)r * r - (double)dist0 * dist0);
            float offset = end_offset(&wall, &m->start, h, false);
            if (offset < 0.0f)
                continue;
            push_out_at_start(mv, &wall.wall_plane, offset);
            LOG_NOTICE("pushing entity %s out of 2d collision data.\n", m->name);
        }
    }
    for (int32_t b = 0; b < blocks(hull); ++b) {
        const win_convex_poly_block* poly = poly_block(&hull->win_block_array[b]);
        if (!poly)
            continue;
        float depth = collide_calc_sphere_poly_depth(&m->start, r, poly, hull);
        if (depth < 0.0f)
            continue;
        push_out_at_start(mv, collide_poly_plane(poly, hull, 0), depth);
        LOG_NOTICE("pushing entity %s out of 3d collision data. radius = %f\n", m->name, r);
    }
}

// The hull's blocks in order: each wall of a line block, one by one, to
// `on_wall`, each convex block to `on_poly`. Planar and empty blocks are
// passed over; a block of an unknown type is reported.
template <class OnWall, class OnPoly>
void visit_blocks(const win_collision* hull, OnWall on_wall, OnPoly on_poly)
{
    for (int32_t b = 0; b < blocks(hull); ++b) {
        const win_block* block = &hull->win_block_array[b];
        if (!block->win_block_data)
            continue;
        switch (block->win_block_type) {
        case WIN_BLOCK_TYPE_LINE:
            for (int32_t k = 0; k < collide_wall_count(line_block(block)); ++k) {
                collide_wall wall;
                if (collide_calc_wall(&wall, hull, line_block(block), k))
                    on_wall(wall);
            }
            break;
        case WIN_BLOCK_TYPE_PLANAR:
            break;
        case WIN_BLOCK_TYPE_CONVEX_POLY:
            on_poly(poly_block(block));
            break;
        default:
            LOG_ERROR("Unknown win_block_type: %ld\n", (long)block->win_block_type);
        }
    }
}

// A fast step: where the centre's path meets a wall (approached from its
// front) or a polygon, the goal becomes that point pushed clear, and the
// velocity mirrors.
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
        float s = u->x * wall.wall_plane.nx + u->z * wall.wall_plane.nz;
        float t = win_math_line_plane_intersect_tolerance(&m->start, &m->goal, &wall.wall_plane, r,
                                                          &cross);
        // The crossing may lie up to a radius beyond either end.
        if (s <= 0.0f && t != WIN_MATH_PARALLEL && t > -0.001f && t < 1.001f &&
            win_math_point_to_plane_dist(&cross, &wall.end_plane_a) >= -r &&
            win_math_point_to_plane_dist(&cross, &wall.end_plane_b) >= -r)
            stop_at(&cross, &wall.wall_plane);
    };
    auto on_poly = [&](const win_convex_poly_block* poly) {
        win_vect3 cross;
        if (collide_check_line_poly(&m->start, &m->goal, r, poly, hull, &cross))
            stop_at(&cross, collide_poly_plane(poly, hull, 0));
    };
    visit_blocks(hull, on_wall, on_poly);
}

// A slow step: the sphere at its goal against every wall of the hull's
// outlines (approached from the front, and not already against it where it
// stands), then its polygons.
void resolve_goal(mover* mv, const win_collision* hull, const win_vect3* u)
{
    collide_motion* m = mv->motion;
    float r = m->radius;
    for (int32_t b = 0; b < blocks(hull); ++b) {
        const win_line_block* line = line_block(&hull->win_block_array[b]);
        for (int32_t k = 0; line && k < collide_wall_count(line); ++k) {
            collide_wall wall;
            if (!collide_calc_wall(&wall, hull, line, k))
                continue;
            float s = u->x * wall.wall_plane.nx + u->y * wall.wall_plane.ny +
                      u->z * wall.wall_plane.nz;
            float dist1 = win_math_point_to_plane_dist(&m->goal, &wall.wall_plane);
            float dist0 = win_math_point_to_plane_dist(&m->start, &wall.wall_plane);
            if (s > 0.0f || !(dist1 < r - 0.001f) || !(dist1 > 0.001f) || !(dist0 > 0.001f))
                continue;
            float h = (float)math_util_sqrt((double)r * r - (double)dist1 * dist1);
            float offset = end_offset(&wall, &m->goal, h, true);
            if (offset >= 0.0f)
                stop_or_bounce(mv, &wall.wall_plane, offset);
        }
    }
    for (int32_t b = 0; b < blocks(hull); ++b) {
        const win_convex_poly_block* poly = poly_block(&hull->win_block_array[b]);
        if (!poly)
            continue;
        float depth = collide_calc_sphere_poly_depth(&m->goal, r, poly, hull);
        if (depth >= 0.0f)
            stop_or_bounce(mv, collide_poly_plane(poly, hull, 0), depth);
    }
}

// Whether the hull takes part in moving: present, with blocks, switched on.
bool hull_stops(const win_collision* hull)
{
    return hull && blocks(hull) > 0 && hull->win_collision_enabled;
}

}  // namespace

int collide_move_sphere(collide_motion* motion, win_collision* const* hulls, int32_t hull_count)
{
    REFUSE_NULL(motion, "collide_move_sphere", "motion", 0);
    if (!hulls || hull_count < 1)
        return 0;
    mover mv = {motion, 0.0f, 0};
    float step = win_math_calc_dist(&motion->start, &motion->goal);
    // A frame that took no time has no speed to speak of (the division
    // would give infinity or NaN and always bounce).
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
            visit_blocks(hull, on_wall, on_poly);
    return blocked;
}
