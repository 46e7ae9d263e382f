// The geometry of hull blocks: walls from outline segments, push-out, spheres,
// points and segments against convex polygons and outlines, and the facing
// arc of triggers.
#include <cmath>

#include "collide.h"
#include "debug.h"
#include "math_util.h"
#include "win_math.h"

namespace {

// The height of the points that fix a wall's planes; any height would do,
// since walls have none.
constexpr float WALL_RISE = 64.0f;

const char* hull_name(const win_collision* hull)
{
    return hull->win_collision_name ? hull->win_collision_name : "(null)";
}

// Corner `idx` of the hull, or NULL after an error line when it has none.
const win_vect3* hull_corner(const win_collision* hull, int32_t idx)
{
    if (hull->win_vtx_array && idx >= 0 && idx < hull->win_vtx_array_size)
        return &hull->win_vtx_array[idx];
    LOG_ERROR("Bad vtx_idx = %ld in win_collision %s with win_vtx_array_size = %ld\n", (long)idx,
              hull_name(hull), (long)(hull->win_vtx_array ? hull->win_vtx_array_size : 0));
    return nullptr;
}

// The number of planes a convex block names.
int32_t poly_planes(const win_convex_poly_block* block)
{
    return block->win_plane_idx_array ? block->win_plane_idx_array_size : 0;
}

// The face of a convex block, or NULL when it has none: no planes, or one
// the hull lacks (reported).
const win_plane* poly_face(const win_convex_poly_block* block, const win_collision* hull)
{
    return poly_planes(block) >= 1 ? collide_poly_plane(block, hull, 0) : nullptr;
}

// Whether the point lies no farther than `limit` outside any edge of the
// block (a block naming an edge the hull lacks holds nothing).
bool within_edges(const win_convex_poly_block* block, const win_collision* hull,
                  const win_vect3* point, float limit)
{
    for (int32_t k = 1; k < poly_planes(block); ++k) {
        const win_plane* edge = collide_poly_plane(block, hull, k);
        if (!edge || !(win_math_point_to_plane_dist(point, edge) <= limit))
            return false;
    }
    return true;
}

}  // namespace

// ---- Walls and blocks ----

int32_t collide_wall_count(const win_line_block* block)
{
    REFUSE_NULL(block, "collide_wall_count", "win_line_block", 0);
    // The last index repeats the first: one wall fewer than indexes.
    return block->win_vtx_idx_array && block->win_vtx_idx_array_size > 1
               ? block->win_vtx_idx_array_size - 1
               : 0;
}

int collide_calc_wall(collide_wall* wall, const win_collision* hull, const win_line_block* block,
                      int32_t segment)
{
    REFUSE_NULL(wall, "collide_calc_wall", "wall", 0);
    REFUSE_NULL(hull, "collide_calc_wall", "win_collision", 0);
    REFUSE_NULL(block, "collide_calc_wall", "win_line_block", 0);
    if (segment < 0 || segment >= collide_wall_count(block)) {
        LOG_ERROR("Bad segment = %ld of a win_line_block in win_collision %s\n", (long)segment,
                  hull_name(hull));
        return 0;
    }
    const win_vect3* a = hull_corner(hull, block->win_vtx_idx_array[segment]);
    const win_vect3* b = a ? hull_corner(hull, block->win_vtx_idx_array[segment + 1]) : nullptr;
    if (!b)
        return 0;
    wall->a = *a;
    wall->b = *b;
    const win_vect3 a_up = {a->x, a->y + WALL_RISE, a->z};
    if ((a->x == b->x && a->z == b->z) || !d3dmath_calc_norm(&wall->wall_plane, a, b, &a_up)) {
        LOG_ERROR("co-incident points detected. x=%f, y=%f, z=%f.\n", a->x, a->y, a->z);
        return 0;
    }
    const float nx = WALL_RISE * wall->wall_plane.nx;
    const float nz = WALL_RISE * wall->wall_plane.nz;
    const win_vect3 a_out = {a->x + nx, a->y, a->z + nz};
    const win_vect3 b_out = {b->x + nx, b->y, b->z + nz};
    const win_vect3 b_up = {b->x, b->y + WALL_RISE, b->z};
    return d3dmath_calc_norm(&wall->end_plane_a, a, &a_up, &a_out) &&
           d3dmath_calc_norm(&wall->end_plane_b, b, &b_out, &b_up);
}

const win_plane* collide_poly_plane(const win_convex_poly_block* poly_block,
                                    const win_collision* hull, int32_t k)
{
    REFUSE_NULL(poly_block, "collide_poly_plane", "win_convex_poly_block", nullptr);
    REFUSE_NULL(hull, "collide_poly_plane", "win_collision", nullptr);
    if (k < 0 || k >= poly_planes(poly_block)) {
        LOG_ERROR("Bad plane %ld of a win_convex_poly_block with %ld planes in win_collision %s\n",
                  (long)k, (long)poly_planes(poly_block), hull_name(hull));
        return nullptr;
    }
    int32_t idx = poly_block->win_plane_idx_array[k];
    if (hull->win_plane_array && idx >= 0 && idx < hull->win_plane_array_size)
        return &hull->win_plane_array[idx];
    LOG_ERROR("Bad plane_idx = %ld in win_collision %s with win_plane_array_size = %ld\n",
              (long)idx, hull_name(hull),
              (long)(hull->win_plane_array ? hull->win_plane_array_size : 0));
    return nullptr;
}

void collide_report_block_type(int32_t win_block_type)
{
    LOG_ERROR("Unknown win_block_type: %ld\n", (long)win_block_type);
}

// ---- Spheres, points and segments against blocks ----

int collide_push_point_out_of_plane(win_vect3* dst, const win_vect3* src, float radius,
                                    const win_plane* plane, float offset)
{
    REFUSE_NULL(dst, "collide_push_point_out_of_plane", "dst", 0);
    REFUSE_NULL(src, "collide_push_point_out_of_plane", "src", 0);
    REFUSE_NULL(plane, "collide_push_point_out_of_plane", "plane", 0);
    // An edge `offset` away in the plane is touched at the height the
    // sphere's cross-section there reaches; an offset beyond the radius goes
    // through the checked square root (0.0) instead of giving NaN.
    float target = offset == 0.0f
                       ? radius
                       : (float)math_util_sqrt((double)radius * radius - (double)offset * offset);
    float step = target - win_math_point_to_plane_dist(src, plane) + 0.001f;
    *dst = {src->x + step * plane->nx, src->y + step * plane->ny, src->z + step * plane->nz};
    return 1;
}

float collide_calc_sphere_poly_depth(const win_vect3* point, float radius,
                                     const win_convex_poly_block* poly_block,
                                     const win_collision* hull)
{
    REFUSE_NULL(point, "collide_calc_sphere_poly_depth", "point", -1.0f);
    REFUSE_NULL(poly_block, "collide_calc_sphere_poly_depth", "poly_block", -1.0f);
    REFUSE_NULL(hull, "collide_calc_sphere_poly_depth", "win_collision", -1.0f);
    const win_plane* face = poly_face(poly_block, hull);
    if (!face)
        return -1.0f;
    float c = win_math_point_to_plane_dist(point, face);
    if (std::fabs(c) > radius)
        return -1.0f;
    // The radius of the circle the sphere cuts from the face plane.
    float h = (float)math_util_sqrt((double)radius * radius - (double)c * c);
    float depth = 0.0f;
    for (int32_t k = 1; k < poly_planes(poly_block); ++k) {
        const win_plane* edge = collide_poly_plane(poly_block, hull, k);
        if (!edge)
            return -1.0f;
        float g = win_math_point_to_plane_dist(point, edge);
        if (g > 0.0f) {
            if (g > h)
                return -1.0f;
            depth = std::fmax(depth, g);
        }
    }
    return depth;
}

int collide_check_line_poly(const win_vect3* tail, const win_vect3* head, float radius,
                            const win_convex_poly_block* poly_block, const win_collision* hull,
                            win_vect3* out_point)
{
    REFUSE_NULL(tail, "collide_check_line_poly", "tail", 0);
    REFUSE_NULL(head, "collide_check_line_poly", "head", 0);
    REFUSE_NULL(poly_block, "collide_check_line_poly", "poly_block", 0);
    REFUSE_NULL(hull, "collide_check_line_poly", "win_collision", 0);
    REFUSE_NULL(out_point, "collide_check_line_poly", "out_point", 0);
    const win_plane* face = poly_face(poly_block, hull);
    if (!face)
        return 0;
    float t = win_math_line_plane_intersect_tolerance(tail, head, face, radius, out_point);
    // A segment parallel to the face and farther than the radius from it
    // crosses nowhere; out_point is then not set.
    if (t == WIN_MATH_PARALLEL)
        return 0;
    bool crosses = t > -0.001f && t < 1.001f;
    if (!crosses && std::fabs(win_math_point_to_plane_dist(tail, face)) >= radius &&
        std::fabs(win_math_point_to_plane_dist(head, face)) >= radius)
        return 0;
    return within_edges(poly_block, hull, out_point, radius);
}

int collide_inside_convex_poly(const win_vect3* point, float radius,
                               const win_convex_poly_block* poly_block, const win_collision* hull)
{
    REFUSE_NULL(point, "collide_inside_convex_poly", "point", 0);
    REFUSE_NULL(poly_block, "collide_inside_convex_poly", "poly_block", 0);
    REFUSE_NULL(hull, "collide_inside_convex_poly", "win_collision", 0);
    const win_plane* face = poly_face(poly_block, hull);
    if (!face || (radius >= 0.0f && std::fabs(win_math_point_to_plane_dist(point, face)) > radius))
        return 0;
    return within_edges(poly_block, hull, point, 0.0f);
}

int collide_inside_win_line_block(const win_vect3* intersect_vtx,
                                  const win_collision* win_collision,
                                  const win_line_block* win_line_block)
{
    REFUSE_NULL(intersect_vtx, "collide_inside_win_line_block", "intersect_vtx", 1);
    REFUSE_NULL(win_collision, "collide_inside_win_line_block", "win_collision", 1);
    REFUSE_NULL(win_line_block, "collide_inside_win_line_block", "win_line_block", 1);
    // An outline of fewer than one corner encloses nothing (and the walk
    // below would wrap around zero corners).
    int32_t corners = collide_wall_count(win_line_block);
    if (corners < 1)
        return 0;
    for (int32_t k = 0; k < corners; ++k)
        if (!hull_corner(win_collision, win_line_block->win_vtx_idx_array[k]))
            return 0;

    // Crossing number: count the edges that cross the line z = p.z on the +x
    // side of p; a corner exactly on the line counts as above it. The offsets
    // are taken as the walk reaches each corner, so any number of corners
    // works without a table.
    const win_vect3* p = intersect_vtx;
    auto offset = [&](int32_t k, float* dx, float* dz) {
        const win_vect3* corner =
            &win_collision->win_vtx_array[win_line_block->win_vtx_idx_array[k]];
        *dx = corner->x - p->x;
        *dz = corner->z - p->z;
    };
    float dx_k, dz_k;
    offset(0, &dx_k, &dz_k);
    bool above = dz_k >= 0.0f;
    int32_t crossings = 0;
    for (int32_t k = 0; k < corners; ++k) {
        float dx_j, dz_j;
        offset((k + 1) % corners, &dx_j, &dz_j);
        bool next_above = dz_j >= 0.0f;
        if (next_above != above) {
            // dz_j and dz_k lie on either side of 0, so they differ.
            INVARIANT(dz_j != dz_k);
            if (dx_k > 0.0f && dx_j > 0.0f)
                ++crossings;
            else if ((dx_k > 0.0f || dx_j > 0.0f) &&
                     dx_k - (dx_j - dx_k) * dz_k / (dz_j - dz_k) > 0.0f)
                ++crossings;
        }
        above = next_above;
        dx_k = dx_j;
        dz_k = dz_j;
    }
    return crossings % 2;
}

int collide_point_inside_win_collision(const win_vect3* point, const win_collision* hull)
{
    REFUSE_NULL(point, "collide_point_inside_win_collision", "point", 0);
    REFUSE_NULL(hull, "collide_point_inside_win_collision", "win_collision", 0);
    for (int32_t b = 0; hull->win_block_array && b < hull->win_block_array_size; ++b) {
        const win_block* block = &hull->win_block_array[b];
        if (!block->win_block_data)
            continue;
        switch (block->win_block_type) {
        case WIN_BLOCK_TYPE_LINE:
            return collide_inside_win_line_block(point, hull,
                                                 (const win_line_block*)block->win_block_data);
        case WIN_BLOCK_TYPE_CONVEX_POLY:
            // Inside the polygon's vertical prism, at any height above or below.
            return collide_inside_convex_poly(
                point, -1.0f, (const win_convex_poly_block*)block->win_block_data, hull);
        case WIN_BLOCK_TYPE_PLANAR:
            break;
        default:
            collide_report_block_type(block->win_block_type);
        }
    }
    return 0;
}

int collide_check_inside_collision(const win_entity* entity, const win_collision* hull)
{
    REFUSE_NULL(entity, "collide_check_inside_collision", "entity", 0);
    const float* position = entity->local_matrix.m[3];
    const win_vect3 point = {position[0], position[1], position[2]};
    return collide_point_inside_win_collision(&point, hull);
}

float collide_calc_ray_sphere_dist(const win_vect3* origin, const win_vect3* unit_dir,
                                   const win_vect3* centre, float radius_squared)
{
    REFUSE_NULL(origin, "collide_calc_ray_sphere_dist", "origin", -1.0f);
    REFUSE_NULL(unit_dir, "collide_calc_ray_sphere_dist", "unit_dir", -1.0f);
    REFUSE_NULL(centre, "collide_calc_ray_sphere_dist", "centre", -1.0f);
    const win_vect3 v = {centre->x - origin->x, centre->y - origin->y, centre->z - origin->z};
    float b = v.x * unit_dir->x + v.y * unit_dir->y + v.z * unit_dir->z;
    if (b < 0.001f)
        return -1.0f;  // the centre lies behind the origin
    float q = b * b + radius_squared - (v.x * v.x + v.y * v.y + v.z * v.z);
    if (q < 0.001f)
        return -1.0f;  // the ray passes the sphere
    return b - (float)math_util_sqrt(q);
}

int collide_check_facing_arc(const win_entity* entity, const win_rot* facing,
                             const win_rot* tolerance)
{
    REFUSE_NULL(entity, "collide_check_facing_arc", "entity", 0);
    REFUSE_NULL(facing, "collide_check_facing_arc", "facing", 0);
    REFUSE_NULL(tolerance, "collide_check_facing_arc", "tolerance", 0);
    win_vect3 f = {0.0f, 0.0f, 0.0f};
    win_math_calc_xz_direction_vect3(&f, &entity->local_matrix);
    if (tolerance->y >= 3.1415927f)
        return 1;
    // The arc runs from the heading turned back by the tolerance (L) to the
    // heading turned on by it (U); f lies in it when it is not turned back
    // from L nor on from U.
    const win_vect3 forward = {0.0f, 0.0f, -1.0f};
    win_matrix43 turn;
    win_vect3 lower, upper, cross;
    win_math_set_rotate_y_matrix43(&turn, facing->y - tolerance->y);
    win_math_multiply_vect3_by_matrix43(&lower, &forward, &turn);
    win_math_set_rotate_y_matrix43(&turn, facing->y + tolerance->y);
    win_math_multiply_vect3_by_matrix43(&upper, &forward, &turn);
    win_math_cross_product_vect3_inline(&cross, &f, &lower);
    if (cross.y > 0.0f)
        return 0;
    win_math_cross_product_vect3_inline(&cross, &f, &upper);
    return cross.y < 0.0f ? 0 : 1;
}
