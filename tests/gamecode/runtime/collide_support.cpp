// Fixtures of the collision suites, built in memory.
#include "collide_support.h"

#include <algorithm>
#include <cstring>

#include "heap.h"
#include "mow_geo.h"
#include "win_math.h"

win_collision* make_hull(const char* name, const std::vector<win_vect3>& corners,
                         const std::vector<win_plane>& planes, const std::vector<HullBlock>& blocks)
{
    win_collision* hull = malloc_win_collision(name);
    if (!corners.empty()) {
        hull->win_vtx_array_size = (int32_t)corners.size();
        hull->win_vtx_array = malloc_win_vect3_array(hull->win_vtx_array_size);
        std::memcpy(hull->win_vtx_array, corners.data(), corners.size() * sizeof(win_vect3));
    }
    if (!planes.empty()) {
        hull->win_plane_array_size = (int32_t)planes.size();
        hull->win_plane_array = malloc_win_plane_array(hull->win_plane_array_size);
        std::memcpy(hull->win_plane_array, planes.data(), planes.size() * sizeof(win_plane));
    }
    if (blocks.empty())
        return hull;
    hull->win_block_array_size = (int32_t)blocks.size();
    hull->win_block_array = malloc_win_block_array(hull->win_block_array_size);
    for (size_t b = 0; b < blocks.size(); ++b) {
        const HullBlock& block = blocks[b];
        void* data = nullptr;
        // Index arrays are allocated even when empty (one spare byte), so a
        // block can hold a count of 0 beside an array.
        int32_t n = (int32_t)block.indexes.size();
        if (block.type == WIN_BLOCK_TYPE_LINE) {
            win_line_block* line = malloc_win_line_block();
            line->win_vtx_idx_array_size = n;
            line->win_vtx_idx_array = (uint16_t*)MALLOC(n * sizeof(uint16_t) + 1);
            for (int32_t k = 0; k < n; ++k)
                line->win_vtx_idx_array[k] = (uint16_t)block.indexes[k];
            data = line;
        } else if (block.type == WIN_BLOCK_TYPE_CONVEX_POLY) {
            win_convex_poly_block* poly = malloc_win_convex_poly_block();
            poly->win_plane_idx_array_size = n;
            poly->win_plane_idx_array = (int32_t*)MALLOC(n * sizeof(int32_t) + 1);
            std::copy(block.indexes.begin(), block.indexes.end(), poly->win_plane_idx_array);
            data = poly;
        } else {
            win_planar_block* planar = malloc_win_planar_block();
            planar->plane_idx = n ? block.indexes[0] : -1;
            data = planar;
        }
        hull->win_block_array[b] = {block.type, data};
    }
    return hull;
}

win_collision* wall_hull()
{
    return make_hull("wall", {{0, 0, 0}, {100, 0, 0}}, {}, {{WIN_BLOCK_TYPE_LINE, {0, 1}}});
}

win_collision* room_hull()
{
    return make_hull("room", {{0, 0, 0}, {100, 0, 0}, {100, 0, 100}, {0, 0, 100}}, {},
                     {{WIN_BLOCK_TYPE_LINE, {0, 1, 2, 3, 0}}});
}

const std::vector<win_plane> floor_planes = {
    {0, 1, 0, 0}, {1, 0, 0, 100}, {0, 0, 1, 100}, {-1, 0, 0, 0}, {0, 0, -1, 0}};

win_collision* floor_hull()
{
    return make_hull("floor", {}, floor_planes, {{WIN_BLOCK_TYPE_CONVEX_POLY, {0, 1, 2, 3, 4}}});
}

win_entity* make_environment(const char* name, const std::vector<win_collision*>& hulls)
{
    win_entity* entity = malloc_win_entity(name);
    entity->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
    win_environment* environment = malloc_win_environment();
    entity->u.win_environment = environment;
    if (!hulls.empty()) {
        environment->win_collision_ptr_array_size = (int32_t)hulls.size();
        environment->win_collision_ptr_array = malloc_win_collision_ptr_array(
            environment->win_collision_ptr_array_size);
        std::copy(hulls.begin(), hulls.end(), environment->win_collision_ptr_array);
    }
    return entity;
}

win_trigger* give_triggers(win_entity* environment, int32_t count)
{
    win_environment* payload = win_entity_environment(environment);
    payload->win_trigger_array_size = count;
    payload->win_trigger_array = malloc_win_trigger_array(count);
    return payload->win_trigger_array;
}

void set_trigger(win_trigger* trigger, const char* name, win_collision* volume,
                 const char* script_name)
{
    trigger->win_trigger_name = STRDUP(name);
    trigger->win_trigger_collision = volume;
    trigger->win_trigger_script_name = script_name ? STRDUP(script_name) : nullptr;
}

win_explore_cam* give_explore_cams(win_entity* environment, const std::vector<ZoneCam>& cams)
{
    win_environment* payload = win_entity_environment(environment);
    payload->win_explore_cam_array_size = (int32_t)cams.size();
    payload->win_explore_cam_array = malloc_win_explore_cam_array((int32_t)cams.size());
    for (size_t i = 0; i < cams.size(); ++i) {
        payload->win_explore_cam_array[i].win_explore_cam_name = STRDUP(cams[i].name);
        payload->win_explore_cam_array[i].explore_cam_zone = cams[i].zone;
    }
    return payload->win_explore_cam_array;
}

win_entity* make_mover(const char* name, int32_t type, win_vect3 at, float radius, float turn_y)
{
    win_entity* entity = malloc_win_entity(name);
    entity->win_entity_type = type;
    win_math_set_rot_trans_matrix43(&entity->local_matrix, 0.0f, turn_y, 0.0f, at.x, at.y, at.z);
    if (type == WIN_ENTITY_TYPE_CHARACTER) {
        win_character* character = malloc_win_character();
        entity->u.win_character = character;
        if (radius > 0.0f) {
            character->mow_model = malloc_mow_model(name);
            character->mow_model->mow_model_sphere_radius = radius;
        }
    }
    return entity;
}
