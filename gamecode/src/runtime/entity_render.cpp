#include "entity_render.h"

#include "collide.h"
#include "d3dxframe.h"
#include "debug.h"
#include "dlink.h"
#include "entity_io.h"
#include "gameglobals.h"
#include "mow_rend_dx7.h"
#include "win_entity.h"
#include "win_math.h"

namespace {

// The debug spheres: position and colour vertices, wireframe, no culling.
constexpr DWORD DEBUG_FVF = 66;
constexpr DWORD DEBUG_FILL = D3DFILL_WIREFRAME;
constexpr DWORD DEBUG_CULL = D3DCULL_NONE;
constexpr float MAP_NODE_RADIUS = 16.0f;

bool is_live(const win_entity* entity)
{
    return entity->life_span > 0.0f || entity->life_span == ETERNAL_LIFE_SPAN;
}

void draw_collision_spheres(const win_entity* entity, const win_character* character)
{
    const mow_model* model = character->mow_model;
    const mow_track_augment* poses = character->mow_track_augment_array;
    if (entity->win_ast) {
        int32_t count = model->mow_appendage_array_size;
        if (count > character->current_appendage_sphere_keys_size)
            count = character->current_appendage_sphere_keys_size;
        if (count > 0 && character->current_appendage_sphere_keys)
            mow_rend_appendage_spheres(count, character->current_appendage_sphere_keys, poses,
                                       model->mow_appendage_info_array);
        const float radius = win_character_radius(character);
        if (radius > 0.0f)
            mow_rend_single_sphere(&model->mow_model_sphere_center, radius,
                                   &poses[0].mow_augment_matrix, DEBUG_FVF, DEBUG_FILL, DEBUG_CULL);
    } else {
        mow_rend_track_augment_spheres(character->mow_track_augment_array_size, poses, DEBUG_FVF,
                                       DEBUG_FILL, DEBUG_CULL);
    }
}

void draw_character(const win_entity* entity)
{
    const win_character* character = win_entity_character(entity);
    const mow_model* model = character ? character->mow_model : nullptr;
    if (!model || !character->mow_track_augment_array ||
        character->mow_track_augment_array_size < mow_geo_pose_count(model))
        return;
    if (!d3dxframe_is_visible(&character->world_sphere_center, win_character_radius(character)))
        return;
    if (game_globals.wireframe_mode)
        d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    mow_rend_rend_mow_model(model, character->win_shader_array, character->win_shader_array_size,
                            character->mow_track_augment_array, 0);
    if (game_globals.bDisplayCollisionData == 1)
        draw_collision_spheres(entity, character);
    if (game_globals.wireframe_mode)
        d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
}

// Lighting, filtering and depth writes as the entity's flags ask; returns
// the lighting state to restore afterwards.
DWORD set_entity_states(const win_entity* entity)
{
    const uint32_t flags = entity->win_entity_flag;
    DWORD lighting = 0;
    d3dxframe_get_render_state(D3DRENDERSTATE_LIGHTING, &lighting);
    if (flags & ENTITY_FLAG_NO_LIGHTING)
        d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, 0);
    else if (lighting)
        d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, 1);
    if (flags & ENTITY_FLAG_NO_FILTERING)
        d3dxframe_set_texture_filter(0);
    else if (d3dxframe_get_bilinear_filtering())
        d3dxframe_set_texture_filter(1);
    DWORD depth_writes = 0;
    d3dxframe_get_render_state(D3DRENDERSTATE_ZWRITEENABLE, &depth_writes);
    if (flags & ENTITY_FLAG_NO_ZWRITE)
        d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 0);
    else if (!depth_writes)
        d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 1);
    return lighting;
}

void render_pass(int32_t pass)
{
    win_entity* head = entity_io_global_win_entity_list;
    for (win_entity* entity = head; entity; entity = dlink_ring_step(head, entity->next))
        entity_render_entity(entity, pass);
}

}  // namespace

int entity_render_all(void)
{
    if (!entity_io_global_win_entity_list)
        return 0;
    entity_io_begin_walk();
    render_pass(0);
    render_pass(1);
    entity_io_end_walk();
    return 1;
}

int entity_render_entity(win_entity* entity, int32_t pass)
{
    REFUSE_NULL(entity, "entity_render_entity", "entity", 0);
    // An environment other than the current one is not there: neither it
    // nor its sub-entities are drawn, and it touches no device state.
    if (entity->win_entity_type == WIN_ENTITY_TYPE_ENVIRONMENT &&
        entity != game_globals.current_environment)
        return 1;
    const uint32_t flags = entity->win_entity_flag;
    const bool second_pass = (flags & ENTITY_FLAG_SECOND_PASS) != 0;
    if ((flags & ENTITY_FLAG_VISIBLE) && is_live(entity) && second_pass == (pass == 1)) {
        const DWORD lighting = set_entity_states(entity);
        if (entity->win_entity_type == WIN_ENTITY_TYPE_CHARACTER)
            draw_character(entity);
        else if (entity->win_entity_type == WIN_ENTITY_TYPE_ENVIRONMENT &&
                 game_globals.bDisplayCollisionData == 1)
            collide_draw_collision_data(entity);
        d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, lighting);
    }
    // The particles of a dead emitter are still in flight.
    if (!is_live(entity) && entity->win_entity_type != WIN_ENTITY_TYPE_EMITTER)
        return 1;
    win_entity* head = entity->child_entity_list;
    for (win_entity* child = head; child; child = dlink_ring_step(head, child->next))
        entity_render_entity(child, pass);
    return 1;
}

int entity_draw_map_nodes(void)
{
    if (!game_globals.display_map_nodes)
        return 1;
    const win_environment* environment = win_entity_environment(game_globals.current_environment);
    const win_map* map = environment ? environment->win_map : nullptr;
    if (!map)
        return 0;
    for (int32_t i = 0; map->node_array && i < map->node_array_size; ++i)
        mow_rend_single_sphere(&map->node_array[i].node_location, MAP_NODE_RADIUS,
                               &win_math_identity_matrix43, DEBUG_FVF, DEBUG_FILL, DEBUG_CULL);
    return 1;
}
