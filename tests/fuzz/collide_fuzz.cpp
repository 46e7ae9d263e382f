// Fuzz target: a hull read from a collision file's body, and every geometric
// query of the environment collision run on it, then the same hull as the
// current environment's hull, trigger volume and camera zone for an entity
// moving through it. The first 40 bytes are the queries' numbers (ten
// floats: a sphere's start and goal, its velocity and its radius); the rest
// is the hull stream.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "collide.h"
#include "collide_trigger.h"
#include "fuzz_support.h"
#include "gameglobals.h"
#include "heap.h"
#include "mow_geo.h"
#include "win_math.h"
#include "winmain2.h"

namespace {

// The hull as everything of an environment at once (each use holding a
// reference), and a character of the numbers' radius moving through it as
// the entity update moves it: checked again while it collides.
void move_through_environment(win_collision* hull, const float* numbers)
{
    win_entity* level = malloc_win_entity("level");
    win_entity* mover = malloc_win_entity("fuzz");
    if (!level || !mover) {
        free_win_entity(level);
        free_win_entity(mover);
        return;
    }
    level->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
    win_environment* environment = malloc_win_environment();
    level->u.win_environment = environment;
    environment->win_collision_ptr_array_size = 1;
    environment->win_collision_ptr_array = malloc_win_collision_ptr_array(1);
    environment->win_collision_ptr_array[0] = hull;
    environment->win_trigger_array_size = 1;
    environment->win_trigger_array = malloc_win_trigger_array(1);
    environment->win_trigger_array[0].win_trigger_collision = hull;
    environment->win_trigger_array[0].win_trigger_facing_tolerance.y = 3.1415927f;
    environment->win_explore_cam_array_size = 1;
    environment->win_explore_cam_array = malloc_win_explore_cam_array(1);
    environment->win_explore_cam_array[0].win_explore_cam_name = STRDUP("fuzz");
    environment->win_explore_cam_array[0].explore_cam_zone = hull;
    hull->win_collision_ref_cnt += 3;

    win_character* character = malloc_win_character();
    mover->u.win_character = character;
    character->mow_model = malloc_mow_model("fuzz");
    character->mow_model->mow_model_sphere_radius = numbers[9];
    character->bounce_factor = 0.5f;
    win_math_set_translate_matrix43_inline(&mover->local_matrix, numbers[0], numbers[1],
                                           numbers[2]);
    mover->velocity = {numbers[6], numbers[7], numbers[8]};
    win_matrix43 desired;
    win_math_set_translate_matrix43_inline(&desired, numbers[3], numbers[4], numbers[5]);

    game_globals.current_environment = level;
    frame_delta_time = 16.0f;
    collide_reset_check_count();
    while (collide_check_entity(&desired, mover, level)) {
    }
    const win_vect3 from = {numbers[0], numbers[1], numbers[2]};
    const win_vect3 to = {numbers[3], numbers[4], numbers[5]};
    collide_check_line_of_sight(&from, &to);
    collide_check_triggers(mover, level);
    if (hull->win_collision_name)
        collide_enable_collision_data(hull->win_collision_name, 0);
    collide_enable_camzone_data("fuzz", 1);
    collide_draw_collision_data(level);
    game_globals.current_environment = nullptr;
    free_win_entity(mover);
    free_win_entity(level);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    float numbers[10];
    if (size < sizeof numbers)
        return 0;
    std::memcpy(numbers, data, sizeof numbers);
    size -= sizeof numbers;
    data += sizeof numbers;
    FILE* in = fuzz_stream(data, size);
    win_collision* hull = read_win_collision_bin(in);
    std::fclose(in);
    if (!hull)
        return 0;

    const win_vect3 start = {numbers[0], numbers[1], numbers[2]};
    const win_vect3 goal = {numbers[3], numbers[4], numbers[5]};
    const float radius = numbers[9];
    win_collision* hulls[] = {hull, nullptr};
    collide_motion motion = {
        start, goal, {numbers[6], numbers[7], numbers[8]}, radius, 0.5f, 1.0f, 0.016f, "fuzz"};
    collide_move_sphere(&motion, hulls, 2);
    collide_check_line_of_sight_hulls(&start, &goal, hulls, 2);
    collide_point_inside_win_collision(&start, hull);
    collide_visit_blocks(
        hull, COLLIDE_VISIT_IN_ORDER, [](const collide_wall&) {},
        [&](const win_convex_poly_block* poly) {
            win_vect3 cross;
            collide_calc_sphere_poly_depth(&start, radius, poly, hull);
            collide_check_line_poly(&start, &goal, radius, poly, hull, &cross);
            collide_inside_convex_poly(&start, radius, poly, hull);
        });
    for (int32_t b = 0; hull->win_block_array && b < hull->win_block_array_size; ++b)
        if (hull->win_block_array[b].win_block_type == WIN_BLOCK_TYPE_LINE &&
            hull->win_block_array[b].win_block_data)
            collide_inside_win_line_block(
                &start, hull, (const win_line_block*)hull->win_block_array[b].win_block_data);
    // Without a device nothing is drawn, but every shape is still worked out.
    collide_draw_win_collision(hull, &collide_environment_style);
    move_through_environment(hull, numbers);
    free_win_collision(hull);
    return 0;
}

namespace {

// A hull of `blocks` blocks over two corners and one plane; its line blocks
// join the corners, its planar blocks name the plane.
win_collision* seed_hull(int32_t type, int32_t blocks)
{
    win_collision* hull = malloc_win_collision("seed");
    hull->win_vtx_array_size = 2;
    hull->win_vtx_array = malloc_win_vect3_array(2);
    hull->win_vtx_array[1] = {100.0f, 0.0f, 0.0f};
    hull->win_plane_array_size = 1;
    hull->win_plane_array = malloc_win_plane_array(1);
    hull->win_plane_array[0] = {0.0f, 1.0f, 0.0f, 0.0f};
    hull->win_block_array_size = blocks;
    hull->win_block_array = malloc_win_block_array(blocks);
    for (int32_t b = 0; b < blocks; ++b) {
        void* data;
        if (type == WIN_BLOCK_TYPE_LINE) {
            win_line_block* line = malloc_win_line_block();
            line->win_vtx_idx_array_size = 2;
            line->win_vtx_idx_array = (uint16_t*)MALLOC(2 * sizeof(uint16_t));
            line->win_vtx_idx_array[0] = 0;
            line->win_vtx_idx_array[1] = 1;
            data = line;
        } else {
            win_planar_block* planar = malloc_win_planar_block();
            planar->plane_idx = 0;
            data = planar;
        }
        hull->win_block_array[b] = {type, data};
    }
    return hull;
}

}  // namespace

void fuzz_write_seeds(void)
{
    // A sphere of radius 8 moving through the hull.
    const float numbers[10] = {50.0f, 4.0f, -20.0f, 50.0f, 4.0f, 20.0f, 0.0f, 0.0f, 40.0f, 8.0f};
    const int32_t types[] = {WIN_BLOCK_TYPE_LINE, WIN_BLOCK_TYPE_PLANAR};
    for (int32_t type : types) {
        win_collision* hull = seed_hull(type, 2);
        char* buffer = nullptr;
        size_t length = 0;
        FILE* file = open_memstream(&buffer, &length);
        write_win_collision_bin(file, hull);
        std::fclose(file);
        fuzz_seed(type == WIN_BLOCK_TYPE_LINE ? "wall" : "floor",
                  std::string((const char*)numbers, sizeof numbers) + std::string(buffer, length));
        std::free(buffer);
        free_win_collision(hull);
    }
}
