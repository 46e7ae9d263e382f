// The camera AI.
#include "ai_camera.h"

#include <cmath>

#include "ai.h"
#include "ai_move.h"
#include "collide.h"
#include "debug.h"
#include "gameglobals.h"
#include "rand_util.h"
#include "win_math.h"
#include "winmain2.h"

int32_t ai_last_explore_cam_index = -1;
int32_t ai_current_explore_cam_zone = -1;

void ai_camera_reset(void)
{
    ai_last_explore_cam_index = -1;
    ai_current_explore_cam_zone = -1;
}

// ---- Following the target ----

// The translation rows: the position (local) and the world translation.
static win_vect3 translation(const win_matrix43& m)
{
    return {m.m[3][0], m.m[3][1], m.m[3][2]};
}
static void set_translation(win_matrix43* m, const win_vect3& v)
{
    m->m[3][0] = v.x;
    m->m[3][1] = v.y;
    m->m[3][2] = v.z;
    m->attrib |= WIN_ATTRIB_TRANSLATE;
}

static win_vect3 add(const win_vect3& a, const win_vect3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
static win_vect3 scale(const win_vect3& v, float f)
{
    return {v.x * f, v.y * f, v.z * f};
}

// The pose of the target's joint: the joint the target names, joint 0 for
// one its pose array does not have; NULL without a pose array.
static const win_matrix43* joint_pose(const win_camera_target* target)
{
    const win_character* character = win_entity_character(target->target_entity);
    if (!character || !character->mow_track_augment_array ||
        character->mow_track_augment_array_size < 1)
        return NULL;
    int32_t joint = target->target_joint_idx;
    if (joint < 0 || joint >= character->mow_track_augment_array_size)
        joint = 0;
    return &character->mow_track_augment_array[joint].mow_augment_matrix;
}

// Where the followed joint stands: its posed position, or the entity's own
// for an entity without a pose.
static win_vect3 joint_position(const win_camera_target* target)
{
    const win_matrix43* pose = joint_pose(target);
    return pose ? translation(*pose) : ai_entity_position(target->target_entity);
}

// The target's offset turned by the rotation of the followed joint.
static win_vect3 turned_offset(const win_camera_target* target)
{
    const win_matrix43* pose = joint_pose(target);
    if (!pose)
        return target->target_point;
    win_matrix43 rotation = *pose;
    rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
    rotation.attrib &= ~WIN_ATTRIB_TRANSLATE;
    win_vect3 turned;
    win_math_multiply_vect3_by_matrix43(&turned, &target->target_point, &rotation);
    return turned;
}

// Moves the smoothed look-at point a share `factor` of the way to the
// followed joint (all the way once within 0.5). A target without an entity
// is a fixed point, looked at directly.
static void follow(const win_camera_target* target, float factor)
{
    if (!target->target_entity) {
        game_globals.camera_look_at_point = target->target_point;
        return;
    }
    const win_vect3 joint = joint_position(target);
    win_vect3& smoothed = game_globals.camera_look_at_smoothed;
    const float d = win_math_calc_dist(&smoothed, &joint);
    win_vect3 dir;
    if (d >= 0.5f && win_math_calc_normalized_win_dist(&dir, &smoothed, &joint))
        smoothed = add(smoothed, scale(dir, d * factor));
    else
        smoothed = joint;
}

// The look-at point after a follow: the smoothed joint plus the target's
// offset (turned with the joint when `turned`).
static void look_at_target(const win_camera_target* target, float factor, bool turned)
{
    follow(target, factor);
    if (target->target_entity)
        game_globals.camera_look_at_point = add(game_globals.camera_look_at_smoothed,
                                                turned ? turned_offset(target)
                                                       : target->target_point);
}

// The shake offset of this moment: three draws, x, y, z.
static win_vect3 shake(void)
{
    if (!(game_globals.camera_shake_time > 0.0f))
        return {0.0f, 0.0f, 0.0f};
    const win_vect3& amplitude = game_globals.camera_shake_amplitude;
    const float x = (float)(rand_util_rand() % 100 - 50) / 50.0f * amplitude.x;
    const float y = (float)(rand_util_rand() % 100 - 50) / 50.0f * amplitude.y;
    const float z = (float)(rand_util_rand() % 100 - 50) / 50.0f * amplitude.z;
    return {x, y, z};
}

// The eye at the camera, both points shaken; an attached camera's eye
// trails it instead and nothing is shaken.
static void place_eye(const win_entity* camera, bool attached)
{
    const win_vect3 s = shake();
    if (attached)
        return;
    game_globals.camera_eye_point = add(translation(camera->world_matrix), s);
    game_globals.camera_look_at_point = add(game_globals.camera_look_at_point, s);
}

// ---- Goals ----

const win_explore_cam* ai_explore_cam(int32_t index)
{
    const win_environment* environment = win_entity_environment(game_globals.current_environment);
    if (!environment || !environment->win_explore_cam_array || index < 0 ||
        index >= environment->win_explore_cam_array_size)
        return NULL;
    return &environment->win_explore_cam_array[index];
}

// The explore camera of the zone the target has walked into, when it is a
// new one: a goal to go there, made current at once.
static void enter_zones(win_entity* camera, win_ai* ai, win_camera_target* target)
{
    const win_environment* environment = win_entity_environment(game_globals.current_environment);
    if (!environment || !target || !target->target_entity || !environment->win_explore_cam_array)
        return;
    for (int32_t i = 0; i < environment->win_explore_cam_array_size; ++i) {
        const win_explore_cam* cam = &environment->win_explore_cam_array[i];
        if (!cam->explore_cam_zone ||
            collide_check_inside_collision(target->target_entity, cam->explore_cam_zone) != 1)
            continue;
        ai_current_explore_cam_zone = i;
        if (!cam->explore_cam_zone->win_collision_enabled)
            continue;
        if (i == target->explore_cam_idx)
            return;
        const win_vect3& p = cam->explore_cam_position;
        ai_add_goal(camera, AI_CAMERA_GOAL_EXPLORE_CAM, NULL, p.x, p.y, p.z, i);
        ai_set_current_goal(ai, ai->win_goal_entry_list);
        target->explore_cam_idx = i;
    }
}

// The explore camera the camera comes from: the one of the last camera goal
// finished, else the one whose zone the target was last found in.
static int32_t explore_cam_come_from(const win_camera_target* target)
{
    if (ai_last_explore_cam_index >= 0)
        return ai_last_explore_cam_index;
    return target ? target->explore_cam_idx : -1;
}

static void stop(win_entity* camera)
{
    camera->velocity = {0.0f, 0.0f, 0.0f};
    camera->acceleration = {0.0f, 0.0f, 0.0f};
}

// The unit direction from the camera's position to `point`; logged and left
// as it was when the two coincide.
static void direction_to(win_vect3* dir, const win_entity* camera, const win_vect3& point)
{
    const win_vect3 position = ai_entity_position(camera);
    if (!win_math_calc_normalized_win_dist(dir, &position, &point))
        LOG_ERROR("failed to calculate dir_vect vector for camera ai.\n");
}

static void fly_to_point(win_entity* camera, win_goal_entry* goal)
{
    const win_vect3 position = ai_entity_position(camera);
    const float d = win_math_calc_dist(&position, &goal->goal_point);
    if (d < 1.0f || goal->goal_arg == -1) {
        set_translation(&camera->local_matrix, goal->goal_point);
        camera->velocity = {0.0f, 0.0f, 0.0f};
        ai_next_goal(camera);
        return;
    }
    win_vect3 dir = {0.0f, 0.0f, 0.0f};
    direction_to(&dir, camera, goal->goal_point);
    const float speed = goal->goal_arg <= 0 ? 1000.0f : (float)goal->goal_arg;
    camera->velocity = scale(dir, d < speed / 4.0f ? d : speed);
}

// Flies toward the explore camera at its speed, braking over its slow
// distance, or cuts there when both it and the one the camera comes from say
// so (a speed of -2.0 or less).
static void go_to_explore_cam(win_entity* camera, win_goal_entry* goal, int32_t from_index)
{
    const win_explore_cam* cam = ai_explore_cam(goal->goal_arg);
    if (!cam) {
        LOG_ERROR("Camera %s has a goal toward explore cam %ld, which the environment does not "
                  "have.\n",
                  camera->win_entity_name, (long)goal->goal_arg);
        ai_next_goal(camera);
        return;
    }
    const win_explore_cam* from = ai_explore_cam(from_index);
    const bool cut = cam->explore_cam_speed <= -2.0f && from &&
                     from->explore_cam_speed == cam->explore_cam_speed;
    const win_vect3 position = ai_entity_position(camera);
    const float d = win_math_calc_dist(&position, &goal->goal_point);
    if (d >= 1.0f && !cut) {
        const float speed = cam->explore_cam_speed < 0.0f ? 1000.0f : cam->explore_cam_speed;
        win_vect3 dir = {0.0f, 0.0f, 0.0f};
        direction_to(&dir, camera, goal->goal_point);
        if (d >= cam->explore_cam_slow_distance) {
            if (speed <= win_math_magnitude_vect3_inline(&camera->velocity)) {
                camera->acceleration = {0.0f, 0.0f, 0.0f};
                camera->velocity = scale(dir, speed);
            } else {
                camera->acceleration = scale(dir, cam->explore_cam_acceleration);
            }
        } else {
            camera->velocity = scale(dir, speed * d / cam->explore_cam_slow_distance);
            camera->acceleration = {0.0f, 0.0f, 0.0f};
        }
        return;
    }
    set_translation(&camera->local_matrix, goal->goal_point);
    if (d < 1.0f)
        set_translation(&camera->world_matrix, goal->goal_point);
    else if (goal->goal_arg >= 0)
        set_translation(&camera->world_matrix, cam->explore_cam_position);
    stop(camera);
    ai_next_goal(camera);
}

static void hold(win_ai* ai, win_goal_entry* goal)
{
    win_goal_entry* next = goal->next_ptr;
    if (next && next != goal && next->ai_goal_type != AI_CAMERA_GOAL_HOLD)
        ai_set_current_goal(ai, next);
}

static void wait(win_entity* camera, win_goal_entry* goal)
{
    win_vect3& time = goal->goal_point;
    if (time.y >= time.x)
        ai_next_goal(camera);
    else
        time.y += frame_delta_time;
}

// The goal in hand: the list's head, after a hold goal toward the player
// when the list is empty.
static void ensure_goal(win_entity* camera, win_ai* ai)
{
    if (ai->current_goal)
        return;
    if (!ai->win_goal_entry_list)
        ai_add_goal(camera, AI_CAMERA_GOAL_HOLD, game_globals.player_character, 0.0f, 0.0f, 0.0f,
                    -1);
    ai_set_current_goal(ai, ai->win_goal_entry_list);
}

static void goal_step(win_entity* camera, win_ai* ai, win_camera_target* target)
{
    ensure_goal(camera, ai);
    enter_zones(camera, ai, target);
    const int32_t from_index = explore_cam_come_from(target);
    win_goal_entry* goal = ai->current_goal;
    if (!goal)
        return;
    switch (goal->ai_goal_type) {
    case AI_CAMERA_GOAL_HOLD:
        hold(ai, goal);
        break;
    case AI_CAMERA_GOAL_FLY_TO_POINT:
        fly_to_point(camera, goal);
        break;
    case AI_CAMERA_GOAL_EXPLORE_CAM:
        go_to_explore_cam(camera, goal, from_index);
        break;
    case AI_CAMERA_GOAL_WAIT:
        wait(camera, goal);
        break;
    case AI_CAMERA_GOAL_NONE:
        break;
    default:
        LOG_WARNING("Unknown camera_entity goal %d.\n", (int)goal->ai_goal_type);
    }
}

// An attached current camera looks where its goal's explore camera says, or
// at the target; one that cuts between explore cameras sits at the
// placement.
static void attached_view(win_entity* camera, const win_goal_entry* goal,
                          const win_camera_target* target)
{
    if (goal->ai_goal_type == AI_CAMERA_GOAL_FLY_TO_POINT) {
        if (target)
            look_at_target(target, 0.75f, false);
        return;
    }
    const win_explore_cam* cam = ai_explore_cam(goal->goal_arg);
    if (!cam)
        return;
    const int32_t from_index = explore_cam_come_from(target);
    const win_explore_cam* from = ai_explore_cam(from_index);
    const auto set = [](const win_vect3& v) {
        return std::fabs(v.x) > 0.0001f || std::fabs(v.y) > 0.0001f || std::fabs(v.z) > 0.0001f;
    };
    if (cam->explore_cam_speed <= -2.0f && from &&
        from->explore_cam_speed == cam->explore_cam_speed && set(cam->explore_cam_position)) {
        set_translation(&camera->world_matrix, cam->explore_cam_position);
        set_translation(&camera->local_matrix, cam->explore_cam_position);
    }
    if (set(cam->explore_cam_look_at)) {
        game_globals.camera_look_at_point = cam->explore_cam_look_at;
        game_globals.camera_look_at_smoothed = cam->explore_cam_look_at;
    } else if (target) {
        look_at_target(target, 0.75f, false);
    }
}

int ai_update_camera(win_entity* camera)
{
    REFUSE_NULL(camera, "ai_update_camera", "camera", 0);
    if (game_globals.game_state == GAME_MODE_CAMERA_LOOK)
        return 0;
    win_camera* payload = win_entity_camera(camera);
    win_camera_target* target = payload ? payload->win_camera_target_list : NULL;
    const bool current = camera == game_globals.current_camera;
    const bool attached = current && camera->parent_joint_idx >= 0;
    if (current) {
        if (target)
            look_at_target(target, 0.25f, true);
        place_eye(camera, attached);
    }
    win_ai* ai = payload ? payload->win_ai : NULL;
    if (!ai) {
        LOG_ERROR("Camera %s has no AI specified.\n", camera->win_entity_name);
        return 0;
    }
    if (!(camera->win_entity_flag & ENTITY_FLAG_BRAIN))
        return 0;
    if (attached) {
        // The eye trails the camera across the ground, a twelfth of the way
        // a frame, and keeps its height.
        const win_vect3 at = translation(camera->world_matrix);
        win_vect3& eye = game_globals.camera_eye_point;
        if (at.x - eye.x != 0.0f)
            eye.x += (at.x - eye.x) / 12.0f;
        if (at.z - eye.z != 0.0f)
            eye.z += (at.z - eye.z) / 12.0f;
        eye.y = at.y;
    } else {
        goal_step(camera, ai, target);
    }
    ensure_goal(camera, ai);
    if (current) {
        if (attached && ai->current_goal && ai->current_goal->goal_arg >= 0)
            attached_view(camera, ai->current_goal, target);
        place_eye(camera, attached);
    }
    return 1;
}
