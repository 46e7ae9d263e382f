// Collision against the environment: the collision hulls of the running game
// and the geometric questions the other modules ask of them.
//
// Hulls (win_collision.h) are loaded into one global list
// (game_globals.win_collision_list), shared by name: the list holds one
// reference of each hull and every user one more; after an entity unload a
// sweep frees the hulls that only the list still holds.
//
// What the blocks of a hull mean here:
//   line block     a closed outline in the xz plane; each of its segments
//                  (a, b) is a vertical wall without height limit that stops
//                  movement from its front only, the side its normal points to
//   convex block   a flat convex polygon: its first plane is the face, the
//                  others are its edges, with normals pointing out
//   planar block   passed over by every test here
//
// Points are sphere centres or entity positions in the hull's space; the
// callers move them there. A block that names a corner or plane its hull
// does not have is reported and passed over (the hull readers refuse such
// hulls already; a hull built in memory may still hold one).
#pragma once

#include <cstdint>

#include "debug.h"
#include "script_imports.h"
#include "win_collision.h"
#include "win_entity.h"
#include "win_geo.h"

// ---- The hull list ----

// The hull of that name: the listed one with one more reference, or the
// collision file "<collision_pathname>\<name>.cow" read and listed (the list's
// reference and the caller's). NULL after an error line.
win_collision* collide_load_win_collision(const char* name);
// Frees every listed hull that only the list holds; the hulls in use stay.
// 1 when every removal and release succeeded.
int collide_remove_win_collision(void);

// ---- Walls and blocks ----

// The planes of one wall segment (a, b) of a line block. All three are
// vertical: the wall plane runs through a and b, its normal horizontal; the
// end planes stand across the segment at a and at b, their normals pointing
// into the segment, so a point lies between the ends when its distances from
// both are at least 0.
struct collide_wall {
    win_vect3 a;
    win_vect3 b;
    win_plane wall_plane;
    win_plane end_plane_a;  // normal from a toward b
    win_plane end_plane_b;  // normal from b toward a
};

// The number of wall segments of a line block (its last index repeats the
// first, closing the outline).
int32_t collide_wall_count(const win_line_block* block);
// The wall of segment `segment` (0 to collide_wall_count - 1) of a line
// block of `hull`. 0 after an error line when its ends lie on one vertical
// line (co-incident in x and z) or the block names a corner the hull lacks.
int collide_calc_wall(collide_wall* wall, const win_collision* hull, const win_line_block* block,
                      int32_t segment);
// Plane k of a convex block (0: its face; 1 and on: its edges), or NULL
// after an error line when the block has no plane k or the hull lacks the
// plane the block names.
const win_plane* collide_poly_plane(const win_convex_poly_block* poly_block,
                                    const win_collision* hull, int32_t k);
// The error line of a block whose type none of these operations knows.
void collide_report_block_type(int32_t win_block_type);

// The orders in which collide_visit_blocks hands over a hull's blocks.
enum collide_visit_order {
    // Block by block; a block of an unknown type is reported.
    COLLIDE_VISIT_IN_ORDER,
    // Every wall of every line block, then every convex block; blocks of
    // other types are passed over silently.
    COLLIDE_VISIT_WALLS_FIRST,
};

// Hands each wall of the hull's line blocks (a collide_wall, see
// collide_calc_wall) to `on_wall` and each convex block to `on_poly`, in
// `order`. Planar and empty blocks are passed over, and so are walls that
// cannot be formed (reported). Takes no NULL hull.
template <class OnWall, class OnPoly>
void collide_visit_blocks(const win_collision* hull, collide_visit_order order, OnWall on_wall,
                          OnPoly on_poly)
{
    INVARIANT(hull != nullptr);
    int32_t blocks = hull->win_block_array ? hull->win_block_array_size : 0;
    int passes = order == COLLIDE_VISIT_WALLS_FIRST ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (int32_t b = 0; b < blocks; ++b) {
            const win_block* block = &hull->win_block_array[b];
            if (!block->win_block_data)
                continue;
            switch (block->win_block_type) {
            case WIN_BLOCK_TYPE_LINE:
                if (pass == 0) {
                    const win_line_block* line = (const win_line_block*)block->win_block_data;
                    for (int32_t k = 0; k < collide_wall_count(line); ++k) {
                        collide_wall wall;
                        if (collide_calc_wall(&wall, hull, line, k))
                            on_wall(wall);
                    }
                }
                break;
            case WIN_BLOCK_TYPE_PLANAR:
                break;
            case WIN_BLOCK_TYPE_CONVEX_POLY:
                if (pass == passes - 1)
                    on_poly((const win_convex_poly_block*)block->win_block_data);
                break;
            default:
                if (order == COLLIDE_VISIT_IN_ORDER)
                    collide_report_block_type(block->win_block_type);
            }
        }
    }
}

// ---- Spheres, points and segments against blocks ----

// Moves `src` along the plane's normal to just beyond where a sphere of
// `radius` about it touches the plane (offset 0), or touches an edge lying
// `offset` away in the plane: to the distance radius, or sqrt(radius^2 -
// offset^2), plus 0.001. `dst` may be `src`. Returns 1.
int collide_push_point_out_of_plane(win_vect3* dst, const win_vect3* src, float radius,
                                    const win_plane* plane, float offset);
// -1.0 when the sphere misses the polygon; else how far its centre lies
// outside the polygon's edges at most (0.0 when it projects inside).
float collide_calc_sphere_poly_depth(const win_vect3* point, float radius,
                                     const win_convex_poly_block* poly_block,
                                     const win_collision* hull);
// 1 when the segment tail-head, thickened by `radius`, touches the polygon;
// the crossing with the face plane goes to out_point.
int collide_check_line_poly(const win_vect3* tail, const win_vect3* head, float radius,
                            const win_convex_poly_block* poly_block, const win_collision* hull,
                            win_vect3* out_point);
// 1 when the point lies within the polygon's edges and no farther than
// `radius` from its face; a negative radius tests the edges only (the
// polygon's vertical prism).
int collide_inside_convex_poly(const win_vect3* point, float radius,
                               const win_convex_poly_block* poly_block, const win_collision* hull);
// 1 when the point lies inside the outline in x and z (its y is not used).
// A NULL argument answers 1 after an error line.
int collide_inside_win_line_block(const win_vect3* intersect_vtx,
                                  const win_collision* win_collision,
                                  const win_line_block* win_line_block);
// 1 when the point lies inside the hull: its first line or convex block
// decides (a convex block by its prism). The hull's enabled switch does not
// count here.
int collide_point_inside_win_collision(const win_vect3* point, const win_collision* hull);
// The same for the entity's position (the translation of its local matrix).
int collide_check_inside_collision(const win_entity* entity, const win_collision* hull);
// The distance along the ray (unit_dir of length 1) to where it first enters
// the sphere, or -1.0 when it enters none ahead of the origin.
float collide_calc_ray_sphere_dist(const win_vect3* origin, const win_vect3* unit_dir,
                                   const win_vect3* centre, float radius_squared);
// collide_check_facing_arc, which the script engine asks too, is in
// script_imports.h.

// ---- A sphere moving among hulls ----

// One step of a moving sphere: the entity's collision check fills it from
// the entity and takes back the corrected goal and velocity.
struct collide_motion {
    win_vect3 start;     // the sphere's centre where it stands
    win_vect3 goal;      // where it wants to be this step
    win_vect3 velocity;  // units per second
    float radius;
    float bounce_factor;           // 0: a bounce stops it
    float bounce_speed_threshold;  // at or below it a slow contact stops the sphere
    float frame_seconds;           // the step's time
    const char* name;              // of the entity, for the log
};

// Corrects the step against the line and convex blocks of the hulls (NULL
// slots, hulls without blocks and switched-off hulls are passed over): first
// the sphere is pushed out of what it overlaps where it stands; then a fast
// step (longer than half the radius) is stopped where its centre's path meets
// a wall or polygon, a slow one is pushed out of what it overlaps at its goal;
// each contact stops or bounces the velocity. 1 when the goal or velocity
// changed, else 0.
int collide_move_sphere(collide_motion* motion, win_collision* const* hulls, int32_t hull_count);

// 1 when a wall or polygon of the hulls stands across the segment from-to
// (walls block from both sides; switched-off hulls block too), else 0.
int collide_check_line_of_sight_hulls(const win_vect3* from, const win_vect3* to,
                                      win_collision* const* hulls, int32_t hull_count);

// ---- Entities among the hulls of the current environment ----

// How many collision checks of one entity update do work; the further ones
// answer 0, which ends the caller's repeat-while-colliding loop.
constexpr int32_t COLLIDE_MAX_CHECKS = 10;

// Starts the check budget afresh: the entity update calls it at the start of
// every entity's update (the checks that push other characters aside count
// against the moving entity's budget).
void collide_reset_check_count(void);

// Corrects the move of `movable_entity` to the translation of
// `desired_spatial_matrix` against the hulls of the environment `entity` (in
// practice game_globals.current_environment): with its environment
// collision flag, its sphere (its model's radius, or a point for what has no
// model) is pushed out of the walls and polygons it overlaps, stopped or
// bounced; with its character collision flag, it is then offered to every
// entity of the ring. The corrected translation is written back into the
// matrix, the velocity may change. 1 when the position was corrected or the
// velocity changed (the entity may still collide: call again), else 0; 0 as
// well without hulls, for the environment itself, and once the budget of
// the entity update is spent.
int collide_check_entity(win_matrix43* desired_spatial_matrix, win_entity* movable_entity,
                         win_entity* entity);

// 1 when a wall or polygon of the current environment stands across the
// segment from-to (its switched-off hulls too); 0 when it is free or there
// is no current environment.
int collide_check_line_of_sight(const win_vect3* from, const win_vect3* to);

// ---- Debug drawing ----

// How one kind of hull is drawn: each wall segment as an upright quad of
// `wall_height`, coloured at its a end and at its b end, with the wall's
// normal or straight up; convex blocks as filled polygons or not at all.
struct collide_draw_style {
    float wall_height;
    uint32_t a_colour;  // ARGB
    uint32_t b_colour;
    int32_t normals_up;
    int32_t draw_polygons;
};
// The environment's hulls, the zones of its explore cameras, its triggers.
extern const collide_draw_style collide_environment_style;
extern const collide_draw_style collide_camzone_style;
extern const collide_draw_style collide_trigger_style;

// Drawing collision data is bracketed by these two: the first sets the
// environment's matrix as the world transform, no texture, a depth bias so
// the shapes show on the surfaces they lie on, and no culling; the second
// takes back culling and depth bias. 1 when the device took the states.
int collide_draw_begin(const win_matrix43* world_matrix);
int collide_draw_end(void);
// Draws the hull's blocks in the style, one primitive per shape.
void collide_draw_win_collision(const win_collision* hull, const collide_draw_style* style);
// Draws all collision data of an environment entity, in its matrix: its
// hulls, the zones of its explore cameras, its trigger volumes. Nothing for
// an entity without hull slots.
void collide_draw_collision_data(const win_entity* environment_entity);
