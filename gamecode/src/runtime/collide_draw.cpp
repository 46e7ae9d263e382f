// Debug drawing of collision data: walls as upright quads, convex polygons
// as filled fans, on top of what the scene drew.
#include "collide.h"
#include "d3dxframe.h"
#include "debug.h"
#include "heap.h"
#include "win_math.h"

const collide_draw_style collide_environment_style = {16.0f, 0xFF0000FF, 0xFFFFFFFF, 0, 1};
const collide_draw_style collide_camzone_style = {8.0f, 0xFFFFFF00, 0xFFFFFF00, 1, 0};
const collide_draw_style collide_trigger_style = {4.0f, 0xFF00FF00, 0xFF00FF00, 1, 0};

namespace {

constexpr DWORD VERTEX_FORMAT = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;
constexpr uint32_t POLYGON_COLOUR = 0x80808080;
// Drawn shapes lie on the surfaces they stand for; the bias keeps them in front.
constexpr DWORD DEPTH_BIAS = 16;

int draw_fan(win_vtx_norm_diffuse* vertices, int32_t count)
{
    return d3dxframe_draw_primitive(D3DPT_TRIANGLEFAN, VERTEX_FORMAT, vertices, count, 0);
}

void draw_wall(const collide_wall* wall, const collide_draw_style* style)
{
    const win_plane* w = &wall->wall_plane;
    const win_vect3 n = style->normals_up ? win_vect3{0.0f, 1.0f, 0.0f}
                                          : win_vect3{w->nx, w->ny, w->nz};
    const win_vect3* a = &wall->a;
    const win_vect3* b = &wall->b;
    float h = style->wall_height;
    win_vtx_norm_diffuse quad[4] = {
        {a->x, a->y, a->z, n.x, n.y, n.z, style->a_colour},
        {b->x, b->y, b->z, n.x, n.y, n.z, style->b_colour},
        {b->x, b->y + h, b->z, n.x, n.y, n.z, style->b_colour},
        {a->x, a->y + h, a->z, n.x, n.y, n.z, style->a_colour},
    };
    draw_fan(quad, 4);
}

// The polygon's corners are where its face meets each pair of neighbouring
// edge planes; a corner that cannot be found leaves the polygon undrawn.
void draw_polygon(const win_convex_poly_block* poly, const win_collision* hull)
{
    int32_t corners = (poly->win_plane_idx_array ? poly->win_plane_idx_array_size : 0) - 1;
    const win_plane* face = corners >= 1 ? collide_poly_plane(poly, hull, 0) : nullptr;
    if (!face)
        return;
    auto* fan = (win_vtx_norm_diffuse*)MALLOC(((size_t)corners + 1) * sizeof(win_vtx_norm_diffuse));
    if (!fan) {
        LOG_ERROR("Could not malloc %ld vertices to draw a win_convex_poly_block\n",
                  (long)corners + 1);
        return;
    }
    int drawn = 1;
    for (int32_t i = 0; drawn && i < corners; ++i) {
        const win_plane* edge_1 = collide_poly_plane(poly, hull, i + 1);
        const win_plane* edge_2 = collide_poly_plane(poly, hull, i + 2 <= corners ? i + 2 : 1);
        win_vect3 corner;
        drawn = edge_1 && edge_2 &&
                win_math_calc_3_plane_intersection(&corner, face, edge_1, edge_2);
        if (drawn)
            fan[i] = {corner.x, corner.y, corner.z, face->nx, face->ny, face->nz, POLYGON_COLOUR};
    }
    if (drawn) {
        fan[corners] = fan[0];  // closes the outline
        draw_fan(fan, corners + 1);
    }
    FREE(fan);
}

}  // namespace

int collide_draw_begin(const win_matrix43* world_matrix)
{
    REFUSE_NULL(world_matrix, "collide_draw_begin", "world_matrix", 0);
    // A matrix without parts is the identity, whatever its floats hold.
    win_matrix44 world = win_math_identity_matrix44;
    if (world_matrix->attrib)
        win_math_matrix43_to_matrix44(&world, world_matrix);
    int ok = d3dxframe_set_world_transform(&world);
    ok &= d3dxframe_set_texture(0, nullptr);
    ok &= d3dxframe_set_render_state(D3DRENDERSTATE_ZBIAS, DEPTH_BIAS);
    ok &= d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    return ok;
}

int collide_draw_end(void)
{
    int ok = d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    ok &= d3dxframe_set_render_state(D3DRENDERSTATE_ZBIAS, 0);
    return ok;
}

void collide_draw_win_collision(const win_collision* hull, const collide_draw_style* style)
{
    REFUSE_NULL(hull, "collide_draw_win_collision", "win_collision");
    REFUSE_NULL(style, "collide_draw_win_collision", "style");
    collide_visit_blocks(
        hull, COLLIDE_VISIT_IN_ORDER, [&](const collide_wall& wall) { draw_wall(&wall, style); },
        [&](const win_convex_poly_block* poly) {
            if (style->draw_polygons)
                draw_polygon(poly, hull);
        });
}

void collide_draw_collision_data(const win_entity* environment_entity)
{
    const win_environment* environment = win_entity_environment(environment_entity);
    if (!environment || !environment->win_collision_ptr_array ||
        environment->win_collision_ptr_array_size < 1)
        return;
    collide_draw_begin(&environment_entity->local_matrix);
    for (int32_t i = 0; i < environment->win_collision_ptr_array_size; ++i)
        if (environment->win_collision_ptr_array[i])
            collide_draw_win_collision(environment->win_collision_ptr_array[i],
                                       &collide_environment_style);
    for (int32_t i = 0;
         environment->win_explore_cam_array && i < environment->win_explore_cam_array_size; ++i)
        if (environment->win_explore_cam_array[i].explore_cam_zone)
            collide_draw_win_collision(environment->win_explore_cam_array[i].explore_cam_zone,
                                       &collide_camzone_style);
    for (int32_t i = 0; environment->win_trigger_array && i < environment->win_trigger_array_size;
         ++i)
        if (environment->win_trigger_array[i].win_trigger_collision)
            collide_draw_win_collision(environment->win_trigger_array[i].win_trigger_collision,
                                       &collide_trigger_style);
    collide_draw_end();
}
