#include <gtest/gtest.h>

#include <cmath>

#include "ai_fixture.h"
#include "rand_util.h"
#include "test_support.h"
#include "winmain2.h"

namespace {

using AiCamera = AiTest;

// A square zone hull of the given corners in x and z.
win_collision* make_zone(float x0, float z0, float x1, float z1)
{
    win_collision* hull = malloc_win_collision("zone");
    hull->win_vtx_array_size = 4;
    hull->win_vtx_array = malloc_win_vect3_array(4);
    hull->win_vtx_array[0] = {x0, 0, z0};
    hull->win_vtx_array[1] = {x1, 0, z0};
    hull->win_vtx_array[2] = {x1, 0, z1};
    hull->win_vtx_array[3] = {x0, 0, z1};
    hull->win_block_array_size = 1;
    hull->win_block_array = malloc_win_block_array(1);
    win_line_block* line = malloc_win_line_block();
    line->win_vtx_idx_array_size = 5;
    line->win_vtx_idx_array = (uint16_t*)MALLOC(5 * sizeof(uint16_t));
    const uint16_t corners[] = {0, 1, 2, 3, 0};
    std::memcpy(line->win_vtx_idx_array, corners, sizeof corners);
    hull->win_block_array[0].win_block_type = WIN_BLOCK_TYPE_LINE;
    hull->win_block_array[0].win_block_data = line;
    return hull;
}

struct ExploreCam {
    win_vect3 position;
    float speed;
    float zone[4];  // x0, z0, x1, z1; all 0: no zone
    win_vect3 focus = {0, 0, 0};
};

// The current environment with these explore cameras (acceleration 500,
// slow distance 40).
void explore_cams(AiScene& scene, std::initializer_list<ExploreCam> cams)
{
    win_entity* environment = scene.environment(NULL);
    win_environment* payload = environment->u.win_environment;
    payload->win_explore_cam_array_size = (int32_t)cams.size();
    payload->win_explore_cam_array = malloc_win_explore_cam_array((int32_t)cams.size());
    int i = 0;
    for (const ExploreCam& c : cams) {
        win_explore_cam* cam = &payload->win_explore_cam_array[i++];
        cam->explore_cam_position = c.position;
        cam->explore_cam_look_at = c.focus;
        cam->explore_cam_speed = c.speed;
        cam->explore_cam_acceleration = 500.0f;
        cam->explore_cam_slow_distance = 40.0f;
        if (c.zone[0] != c.zone[2])
            cam->explore_cam_zone = make_zone(c.zone[0], c.zone[1], c.zone[2], c.zone[3]);
    }
}

// A camera with an AI, following `target` with the offset (0, 30, 0).
win_entity* make_camera(AiScene& scene, win_entity* target, win_vect3 at)
{
    win_entity* camera = malloc_win_entity("camera");
    camera->win_entity_type = WIN_ENTITY_TYPE_CAMERA;
    win_camera* payload = malloc_win_camera();
    camera->u.win_camera = payload;
    payload->win_ai = malloc_win_ai();
    win_camera_target* follow = malloc_win_camera_target(target ? target->win_entity_name : "none");
    follow->target_entity = target;
    follow->target_point = {0, 30, 0};
    add_to_win_camera_target_list(&payload->win_camera_target_list,
                                  &payload->win_camera_target_list_size, follow);
    ai_place(camera, at, 0.0f);
    scene.adopt(camera);
    return camera;
}

// Moves the camera as the entity update does: the acceleration, then the
// velocity, over `seconds`.
void fly(win_entity* camera, float seconds)
{
    win_vect3 p = ai_entity_position(camera);
    camera->velocity.x += camera->acceleration.x * seconds;
    camera->velocity.y += camera->acceleration.y * seconds;
    camera->velocity.z += camera->acceleration.z * seconds;
    p = {p.x + camera->velocity.x * seconds, p.y + camera->velocity.y * seconds,
         p.z + camera->velocity.z * seconds};
    ai_place(camera, p, 0.0f);
}

win_vect3 world_position(const win_entity* entity)
{
    return {entity->world_matrix.m[3][0], entity->world_matrix.m[3][1],
            entity->world_matrix.m[3][2]};
}

void expect_near(const win_vect3& a, const win_vect3& b, float tolerance, const char* what)
{
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

TEST_F(AiCamera, FollowsATargetThroughTwoZones)
{
    AiScene scene;
    // Zone 0 round the origin, zone 1 to +x; their cameras stand above.
    explore_cams(scene, {{{0, 100, 150}, 200.0f, {-100, -100, 100, 100}},
                         {{400, 100, 150}, 200.0f, {100, -100, 500, 100}}});
    win_entity* player = scene.character("player", {0, 0, 0}, 0.0f, 20.0f);
    game_globals.player_character = player;
    win_entity* camera = make_camera(scene, player, {0, 100, 300});
    game_globals.current_camera = camera;

    // The first frame holds on the player and finds it in zone 0.
    EXPECT_EQ(ai_update_camera(camera), 1);
    win_ai* ai = camera->u.win_camera->win_ai;
    const win_camera_target* target = camera->u.win_camera->win_camera_target_list;
    EXPECT_EQ(ai_current_explore_cam_zone, 0);
    EXPECT_EQ(target->explore_cam_idx, 0);
    EXPECT_EQ(ai_goal_types(camera),
              (std::vector<int32_t>{AI_CAMERA_GOAL_HOLD, AI_CAMERA_GOAL_EXPLORE_CAM}));
    // The hold goal at the head passes on to it at once.
    EXPECT_EQ(ai->current_goal->ai_goal_type, AI_CAMERA_GOAL_EXPLORE_CAM);
    EXPECT_EQ(ai->current_goal->goal_arg, 0);
    expect_near(game_globals.camera_eye_point, {0, 100, 300}, 1e-4f, "eye at the camera");

    // Then it accelerates toward zone 0's camera, brakes, and arrives.
    int frames = 0;
    float top_speed = 0.0f;
    do {
        fly(camera, 0.1f);
        ai_update_camera(camera);
        top_speed = std::max(top_speed, win_math_magnitude_vect3_inline(&camera->velocity));
    } while (++frames < 100 && ai->current_goal->ai_goal_type != AI_CAMERA_GOAL_HOLD);
    ASSERT_LT(frames, 100);
    EXPECT_NEAR(top_speed, 200.0f, 1e-3f);
    expect_near(ai_entity_position(camera), {0, 100, 150}, 1e-3f, "at zone 0's camera");
    expect_near(world_position(camera), {0, 100, 150}, 1e-3f, "there in the world too");
    EXPECT_EQ(ai_last_explore_cam_index, 0);
    EXPECT_EQ(ai_goal_types(camera), std::vector<int32_t>{AI_CAMERA_GOAL_HOLD});

    // Staying in the zone adds nothing.
    ai_update_camera(camera);
    EXPECT_EQ(ai_goal_types(camera), std::vector<int32_t>{AI_CAMERA_GOAL_HOLD});

    // Into zone 1: a goal toward its camera, current at once.
    ai_place(player, {300, 0, 0}, 0.0f);
    ai_update_camera(camera);
    EXPECT_EQ(ai_current_explore_cam_zone, 1);
    EXPECT_EQ(target->explore_cam_idx, 1);
    for (frames = 0; frames < 100 && ai->current_goal->ai_goal_type != AI_CAMERA_GOAL_HOLD;
         ++frames) {
        fly(camera, 0.1f);
        ai_update_camera(camera);
    }
    ASSERT_LT(frames, 100);
    expect_near(ai_entity_position(camera), {400, 100, 150}, 1e-3f, "at zone 1's camera");
    EXPECT_EQ(ai_last_explore_cam_index, 1);
    // The look-at point has followed the player, 30 above it.
    for (int k = 0; k < 60; ++k)
        ai_update_camera(camera);
    expect_near(game_globals.camera_look_at_point, {300, 30, 0}, 0.6f, "looking at the player");
}

TEST_F(AiCamera, SwitchedOffZonesAndZonesWithoutACameraGoalAreNotEntered)
{
    AiScene scene;
    explore_cams(scene, {{{0, 100, 150}, 200.0f, {-100, -100, 100, 100}}});
    win_entity* player = scene.character("player", {0, 0, 0}, 0.0f, 20.0f);
    win_entity* camera = make_camera(scene, player, {0, 100, 300});
    win_environment* environment = game_globals.current_environment->u.win_environment;
    environment->win_explore_cam_array[0].explore_cam_zone->win_collision_enabled = 0;
    ai_update_camera(camera);
    EXPECT_EQ(ai_current_explore_cam_zone, 0);  // found in it all the same
    EXPECT_EQ(ai_goal_types(camera), std::vector<int32_t>{AI_CAMERA_GOAL_HOLD});
}

TEST_F(AiCamera, CameraLookModeChangesNothing)
{
    AiScene scene;
    win_entity* player = scene.character("player", {0, 0, 0}, 0.0f, 20.0f);
    win_entity* camera = make_camera(scene, player, {0, 100, 300});
    game_globals.current_camera = camera;
    game_globals.camera_shake_time = 1.0f;
    game_globals.game_state = GAME_MODE_CAMERA_LOOK;
    const win_vect3 eye = game_globals.camera_eye_point;
    rand_util_srand(5);
    EXPECT_EQ(ai_update_camera(camera), 0);
    expect_near(game_globals.camera_eye_point, eye, 0.0f, "eye");
    EXPECT_EQ(camera->u.win_camera->win_ai->current_goal, nullptr);
    const int next = rand_util_rand();
    rand_util_srand(5);
    EXPECT_EQ(next, rand_util_rand()) << "no draws";
}

TEST_F(AiCamera, FlyingToAPointJumpsWhenToldAndBrakesWithinAQuarterOfItsSpeed)
{
    AiScene scene;
    win_entity* camera = make_camera(scene, NULL, {0, 0, 0});
    win_ai* ai = camera->u.win_camera->win_ai;
    ai_add_goal(camera, AI_CAMERA_GOAL_FLY_TO_POINT, NULL, 0, 0, -500, -1);
    ai_update_camera(camera);  // the head becomes current
    ai_update_camera(camera);
    expect_near(ai_entity_position(camera), {0, 0, -500}, 0.0f, "jumped");
    EXPECT_EQ(ai->current_goal->ai_goal_type, AI_CAMERA_GOAL_HOLD);

    ai_clear_goals(camera);
    ai_add_goal(camera, AI_CAMERA_GOAL_FLY_TO_POINT, NULL, 0, 0, -1500, 400);
    ai_update_camera(camera);
    expect_near(camera->velocity, {0, 0, -400}, 1e-3f, "at its speed");
    ai_place(camera, {0, 0, -1450}, 0.0f);
    ai_update_camera(camera);
    expect_near(camera->velocity, {0, 0, -50}, 1e-3f, "the distance left per second");
    ai_clear_goals(camera);
    ai_add_goal(camera, AI_CAMERA_GOAL_FLY_TO_POINT, NULL, 0, 0, -3000, 0);
    ai_update_camera(camera);
    expect_near(camera->velocity, {0, 0, -1000}, 1e-3f, "no speed: 1000");
}

// An explore cam's script starts when the camera comes back to that explore
// cam, and not when it comes back to another goal.
TEST_F(AiCamera, ResumingAnExploreCamStartsItsScript)
{
    LogCapture log;
    AiScene scene;
    explore_cams(scene, {{{0, 0, -500}, -1.0f, {}}});
    win_environment* environment = game_globals.current_environment->u.win_environment;
    environment->win_explore_cam_array[0].explore_cam_script = STRDUP("look_at_gate");
    win_entity* camera = make_camera(scene, NULL, {0, 0, 0});
    ai_add_goal(camera, AI_CAMERA_GOAL_EXPLORE_CAM, NULL, 0, 0, -500, 0);
    ai_add_goal(camera, AI_CAMERA_GOAL_HOLD, NULL, 0, 0, 0, 0);
    ai_add_goal(camera, AI_CAMERA_GOAL_HOLD, NULL, 0, 0, 0, 0);
    // The last hold is current; each goal done gives way to the one before.
    win_ai* ai = camera->u.win_camera->win_ai;
    ai_set_current_goal(ai, ai->win_goal_entry_list->prev_ptr);
    log.clear();
    ai_next_goal(camera);
    EXPECT_FALSE(log.contains("look_at_gate")) << "back to a hold";
    ai_next_goal(camera);
    EXPECT_TRUE(log.contains("look_at_gate")) << "the engine tried to start it";
}

TEST_F(AiCamera, ExploreCamsAreFlownToOrCutTo)
{
    AiScene scene;
    explore_cams(
        scene, {{{0, 0, -500}, -1.0f, {}}, {{0, 0, -900}, -2.0f, {}}, {{300, 0, -900}, -2.0f, {}}});
    win_entity* camera = make_camera(scene, NULL, {0, 0, 0});
    win_ai* ai = camera->u.win_camera->win_ai;
    // Speed -1.0: flown to at 1000 once the camera is up to speed.
    ai_add_goal(camera, AI_CAMERA_GOAL_EXPLORE_CAM, NULL, 0, 0, -500, 0);
    ai_update_camera(camera);
    camera->velocity = {0, 0, -2000};
    ai_update_camera(camera);
    expect_near(camera->velocity, {0, 0, -1000}, 1e-3f, "at 1000");
    expect_near(camera->acceleration, {0, 0, 0}, 0.0f, "no acceleration");
    camera->velocity = {0, 0, 0};
    ai_update_camera(camera);
    expect_near(camera->acceleration, {0, 0, -500}, 1e-3f, "speeding up");

    // Speed -2.0 reached from an explore cam of speed -2.0: a cut, at once.
    ai_clear_goals(camera);
    ai_last_explore_cam_index = 1;
    ai_add_goal(camera, AI_CAMERA_GOAL_EXPLORE_CAM, NULL, 300, 0, -900, 2);
    ai_update_camera(camera);
    ai_update_camera(camera);
    expect_near(ai_entity_position(camera), {300, 0, -900}, 0.0f, "cut");
    expect_near(world_position(camera), {300, 0, -900}, 0.0f, "cut in the world");
    EXPECT_EQ(ai->current_goal->ai_goal_type, AI_CAMERA_GOAL_HOLD);
    EXPECT_EQ(ai_last_explore_cam_index, 2);

    // An explore cam the environment does not have is refused.
    LogCapture log;
    ai_clear_goals(camera);
    ai_add_goal(camera, AI_CAMERA_GOAL_EXPLORE_CAM, NULL, 0, 0, 0, 7);
    ai_update_camera(camera);
    ai_update_camera(camera);
    EXPECT_TRUE(log.contains("Camera camera has a goal toward explore cam 7, which the "
                             "environment does not have."));
    EXPECT_TRUE(ai_goal_types(camera).empty());
}

TEST_F(AiCamera, AFreeCurrentCameraShakesItsLookAtTwiceAndItsEyeOnce)
{
    AiScene scene;
    win_entity* camera = make_camera(scene, NULL, {10, 20, 30});
    camera->u.win_camera->win_camera_target_list->target_point = {1, 2, 3};
    game_globals.current_camera = camera;
    game_globals.camera_shake_time = 0.5f;
    game_globals.camera_shake_amplitude = {1.0f, 2.0f, 4.0f};
    rand_util_srand(9);
    float s[2][3];
    for (auto& shake : s)
        for (int k = 0; k < 3; ++k)
            shake[k] = (float)(rand_util_rand() % 100 - 50) / 50.0f * (float)(1 << k);
    rand_util_srand(9);
    ai_update_camera(camera);
    expect_near(game_globals.camera_eye_point, {10 + s[1][0], 20 + s[1][1], 30 + s[1][2]}, 1e-5f,
                "eye");
    expect_near(game_globals.camera_look_at_point,
                {1 + s[0][0] + s[1][0], 2 + s[0][1] + s[1][1], 3 + s[0][2] + s[1][2]}, 1e-5f,
                "look-at");
}

TEST_F(AiCamera, AForgottenTargetLeavesTheFixedPoint)
{
    LogCapture log;
    AiScene scene;
    explore_cams(scene, {{{0, 100, 150}, 200.0f, {-100, -100, 100, 100}}});
    win_entity* player = scene.character("player", {50, 0, 0}, 0.0f, 20.0f);
    win_entity* camera = make_camera(scene, player, {0, 100, 300});
    scene.ring(camera);
    scene.ring(player);
    game_globals.current_camera = camera;
    ai_forget_entity(player);
    EXPECT_EQ(camera->u.win_camera->win_camera_target_list->target_entity, nullptr);
    ai_update_camera(camera);
    expect_near(game_globals.camera_look_at_point, {0, 30, 0}, 0.0f, "the fixed point");
    EXPECT_EQ(ai_current_explore_cam_zone, -1);  // nobody walks into zones

    // Without an AI record a camera only sets the view.
    free_win_ai(camera->u.win_camera->win_ai);
    camera->u.win_camera->win_ai = NULL;
    EXPECT_EQ(ai_update_camera(camera), 0);
    EXPECT_TRUE(log.contains("Camera camera has no AI specified."));
}

}  // namespace
