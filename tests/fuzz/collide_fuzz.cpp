// Fuzz target: a hull read from a collision file's body, and every geometric
// query of the environment collision run on it. The first 40 bytes are the
// queries' numbers (ten floats: a sphere's start and goal, its velocity and
// its radius); the rest is the hull stream.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "collide.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    float numbers[10];
    if (size < sizeof numbers)
        return 0;
    std::memcpy(numbers, data, sizeof numbers);
    size -= sizeof numbers;
    data += sizeof numbers;
    FILE* in = size ? fmemopen((void*)data, size, "rb") : std::tmpfile();
    if (!in)
        return 0;
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
    free_win_collision(hull);
    return 0;
}
