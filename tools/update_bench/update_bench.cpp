// Frame time of the entity update and the entity render, without GL.
//
// Puts 50 characters on the entity ring, each with its own state table of
// two states (1000 and 500 ms of one animation handing over to each other),
// under a lamp and a camera, on a device of the recording back-end. Then
// runs frames of 16 ms: entity_update_all alone, and the update with the
// scene's entity drawing (begin scene, entity_render_all, end scene), which
// skins and submits every model. Two casts: the demo figure (2 joints, two
// meshes) walking through the demo wave, and a skeleton of 26 joints (a
// player's count, tail included) swinging through a tail animation, posed
// but without meshes. Reports the median processor time of a frame of each
// and exits with 1 when a whole frame misses the goal.
//
//     update_bench [frames]   (default 500)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "anim.h"
#include "bench_device.h"
#include "d3dxframe.h"
#include "debug.h"
#include "demo_anim.h"
#include "demo_ast.h"
#include "demo_model.h"
#include "entity_io.h"
#include "entity_render.h"
#include "gameglobals.h"
#include "mow_rend_dx7.h"
#include "platform/d3d_record.h"
#include "platform/win32.h"
#include "runtime_services.h"
#include "win_entity.h"
#include "win_math.h"
#include "winmain2.h"

namespace {

constexpr int CHARACTERS = 50;
constexpr float FRAME_MS = 16.0f;
constexpr double GOAL_MS = 2.0;

double cpu_ms(void)
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (double)now.tv_sec * 1e3 + (double)now.tv_nsec / 1e6;
}

struct cast {
    const char* name;
    mow_model* (*model)(void);
    mow_anim* (*anim)(void);
};

const cast casts[] = {
    {"demo figure, 2 joints", [] { return demo_model_make("figure"); },
     [] { return demo_anim_make_wave("wave"); }},
    {"skeleton, 26 joints", [] { return demo_model_make_chain("skeleton", 26); },
     [] { return demo_anim_make_tail("swing", 0.5f); }},
};

win_entity* add_to_ring(win_entity* entity, int32_t type)
{
    entity->win_entity_type = type;
    entity->local_matrix = win_math_identity_matrix43;
    add_to_win_entity_list(&entity_io_global_win_entity_list,
                           &entity_io_global_win_entity_list_size, entity);
    return entity;
}

bool add_walker(const cast& c, int i)
{
    win_entity* entity = add_to_ring(malloc_win_entity("walker"), WIN_ENTITY_TYPE_CHARACTER);
    win_character* character = malloc_win_character();
    entity->u.win_character = character;
    character->mow_model = c.model();
    if (!character->mow_model || !mow_rend_init_mow_model(character->mow_model))
        return false;
    const int32_t poses = mow_geo_pose_count(character->mow_model);
    character->mow_track_augment_array = malloc_mow_track_augment_array(poses);
    character->mow_track_augment_array_size = poses;
    win_math_set_translate_matrix43(&entity->local_matrix, (float)(i % 10) * 4.0f, 0.0f,
                                    (float)(i / 10) * 4.0f);
    entity->win_ast = demo_ast_make_relay("walker", c.anim());
    if (!entity->win_ast)
        return false;
    if (start_next_anim_state(entity, entity->win_ast, &entity->last_win_xform,
                              &entity->rot_velocity, &entity->velocity, 0, 1, 1) != 1)
        return false;
    // Each walker a little further into its walk than the one before.
    entity->win_ast->anim_progress = (float)i / (float)CHARACTERS;
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
    HWND window = nullptr;
    if (!(window = bench_open_recording_device("update_bench", "/dev/null")) || !mow_rend_init()) {
        fprintf(stderr, "update_bench: could not set up the device\n");
        return 1;
    }
    bool passed = true;
    for (const cast& c : casts) {
        bool made = true;
        for (int i = 0; i < CHARACTERS && made; ++i)
            made = add_walker(c, i);
        win_entity* lamp = add_to_ring(malloc_win_entity("lamp"), WIN_ENTITY_TYPE_LIGHT);
        lamp->u.win_light = malloc_win_light("lamp");
        lamp->u.win_light->d3d_light.dltType = D3DLIGHT_POINT;
        win_entity* camera = add_to_ring(malloc_win_entity("camera"), WIN_ENTITY_TYPE_CAMERA);
        camera->u.win_camera = malloc_win_camera();
        camera->u.win_camera->win_ai = malloc_win_ai();
        game_globals.current_camera = camera;
        game_globals.camera_eye_point = {18.0f, 10.0f, -30.0f};
        game_globals.camera_look_at_point = {18.0f, 0.0f, 18.0f};
        if (!made) {
            fprintf(stderr, "update_bench: could not make the characters\n");
            return 1;
        }

        frame_delta_time = FRAME_MS;
        const int draws = d3d_recorded_draw_count();
        std::vector<double> update_times, frame_times;
        for (int f = 0; f < frames; ++f) {
            double start = cpu_ms();
            entity_update_all();
            double updated = cpu_ms();
            d3dxframe_begin_scene(0);
            entity_render_all();
            d3dxframe_end_scene();
            double drawn = cpu_ms();
            update_times.push_back(updated - start);
            frame_times.push_back(drawn - start);
        }
        const double update_ms = median(update_times), frame_ms = median(frame_times);
        printf("%d animated characters (%s), %d frames of %.0f ms, median processor time:\n",
               CHARACTERS, c.name, frames, (double)FRAME_MS);
        printf("  update             %.3f ms\n", update_ms);
        printf("  update and render  %.3f ms (goal %.1f ms)\n", frame_ms, GOAL_MS);
        // What was done, so that a frame that did nothing cannot pass for fast.
        const win_entity* first = entity_io_global_win_entity_list;
        printf("  %d draws; the first walker went %.1f units along z\n",
               d3d_recorded_draw_count() - draws, (double)first->local_matrix.m[3][2]);
        passed = passed && frame_ms <= GOAL_MS;

        game_globals.current_camera = nullptr;
        while (win_entity* entity = entity_io_global_win_entity_list) {
            remove_from_win_entity_list(&entity_io_global_win_entity_list,
                                        &entity_io_global_win_entity_list_size, entity);
            free_win_entity(entity);
        }
    }
    bench_close_recording_device(window);
    return passed ? 0 : 1;
}
