#include "vk_auto_aim.h"

#include <cmath>

#include "ai.h"
#include "debug.h"
#include "entity_io.h"
#include "gameglobals.h"
#include "win_entity.h"
#include "win_math.h"

vk_auto_aim_state_record vk_auto_aim_state;

namespace {

// Candidates farther than this (squared) from the origin never win.
constexpr float VK_AUTO_AIM_MAX_DIST_SQUARED = 4000001.0f;
// An aim point taken from the model's sphere is never above this height.
constexpr float VK_AUTO_AIM_MAX_AIM_HEIGHT = 80.0f;
constexpr float VK_AUTO_AIM_MAX_RANGE = 5000.0f;
constexpr float VK_AUTO_AIM_HALF_ANGLE = 1.0471976f;  // 60 degrees, to the side and up or down
constexpr float VK_AUTO_AIM_FRACTION_STEP = 0.2f;

win_vect3 position_of(const win_entity* entity)
{
    return {entity->local_matrix.m[3][0], entity->local_matrix.m[3][1],
            entity->local_matrix.m[3][2]};
}

// The last entity warned about for a pose without the arm joints: the
// set-up runs every frame, the warning once.
const win_entity* warned_entity = nullptr;

// The player's pose when it has the arm joints; else NULL, warned once for
// the entity.
mow_track_augment* arm_pose(const win_entity* entity)
{
    const win_character* character = win_entity_character(entity);
    if (character && character->mow_track_augment_array &&
        character->mow_track_augment_array_size > VK_AUTO_AIM_HAND_JOINT)
        return character->mow_track_augment_array;
    if (warned_entity != entity)
        LOG_WARNING("No auto-aim for %s: it has no pose with the joints %ld and %ld\n",
                    entity->win_entity_name ? entity->win_entity_name : "(null)",
                    (long)VK_AUTO_AIM_ARM_JOINT, (long)VK_AUTO_AIM_HAND_JOINT);
    warned_entity = entity;
    return nullptr;
}

// Switches auto-aim on and puts `callback` on joint 7: in place of what is
// there with `replace`, else only on an empty slot.
int switch_on_with(win_entity* entity, mow_augment_callback_funct callback, bool replace)
{
    REFUSE_NULL(entity, "vk_auto_aim_setup", "win_entity", 0);
    mow_track_augment* pose = arm_pose(entity);
    if (!pose)
        return 0;
    if (vk_auto_aim_state.auto_aim_off == 1) {
        LOG_NOTICE("%s\n", "AUTO_AIM: ON");
        vk_auto_aim_state.auto_aim_off = 0;
        vk_auto_aim_state.arm_slerp_fraction = 0.0f;
    }
    mow_augment_callback_funct& slot = pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_callback;
    if (replace || !slot)
        slot = callback;
    return 1;
}

// Where the arm aims at `candidate`: the centre of its AI's target joint, or
// its position raised by its model's radius (never above the cap).
win_vect3 aim_point_of(const win_entity* candidate, const win_character* character)
{
    const win_ai* ai = character->win_ai;
    if (ai && ai->target_joint >= 0 && character->mow_track_augment_array &&
        ai->target_joint < character->mow_track_augment_array_size)
        return character->mow_track_augment_array[ai->target_joint].mow_augment_sphere_center;
    win_vect3 point = position_of(candidate);
    if (character->mow_model)
        point.y = std::fmin(point.y + win_character_radius(character), VK_AUTO_AIM_MAX_AIM_HEIGHT);
    return point;
}

bool is_zero(const win_vect3& v)
{
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

// Joint 7's world rotation, turned by the fraction toward the aim at the
// point through joint 8's sphere; its translation stays.
void turn_arm(mow_track_augment* pose, bool with_notices)
{
    const vk_auto_aim_state_record& s = vk_auto_aim_state;
    win_matrix43 look = {};
    // An aim point on the hand itself gives no direction: the arm stays.
    if (!win_math_set_look_at_matrix43(&look, &s.auto_aim_point,
                                       &pose[VK_AUTO_AIM_HAND_JOINT].mow_augment_sphere_center,
                                       nullptr))
        return;
    look.attrib = 7;
    win_math_transpose_matrix43_inline(&look);
    win_matrix43 offset = {};
    win_math_set_rot_trans_matrix43(&offset, VK_AUTO_AIM_ARM_OFFSET[0], VK_AUTO_AIM_ARM_OFFSET[1],
                                    VK_AUTO_AIM_ARM_OFFSET[2], 0.0f, 0.0f, 0.0f);
    offset.attrib = 7;
    win_matrix43 aimed = {};
    win_math_multiply_matrix43(&aimed, &offset, &look);
    win_matrix43& arm = pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_matrix;
    win_quat q0, q1, q;
    win_math_matrix43_to_quat(&q1, &aimed);
    win_math_matrix43_to_quat(&q0, &arm);
    win_math_slerp_quat(&q, &q0, &q1, s.arm_slerp_fraction);
    if (with_notices) {
        LOG_NOTICE("arm_slerp_fraction = %f\n", (double)s.arm_slerp_fraction);
        LOG_NOTICE("slerp_quat = ( %f, %f, %f, %f )\n", (double)q.x, (double)q.y, (double)q.z,
                   (double)q.w);
    }
    win_matrix43 turned;
    win_math_quat_to_matrix43(&turned, &q);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            arm.m[row][col] = turned.m[row][col];
    arm.attrib = 511;
}

// The two arm callbacks: `toward` is the step of the fraction while a target
// is found with auto-aim on (+0.2 for the aim, -0.2 for the undo).
int move_arm(mow_track_augment* pose, float toward, bool with_notices)
{
    vk_auto_aim_state_record& s = vk_auto_aim_state;
    if (!find_best_target()) {
        if (s.arm_slerp_fraction > 0.0f) {
            s.arm_slerp_fraction -= VK_AUTO_AIM_FRACTION_STEP;
        } else {
            s.arm_slerp_fraction = 0.0f;
            s.auto_aim_target = nullptr;
            s.auto_aim_point = {0.0f, 0.0f, 0.0f};
            return 1;
        }
    } else if (s.auto_aim_off == 0) {
        if (toward > 0.0f ? s.arm_slerp_fraction < 1.0f : s.arm_slerp_fraction > 0.0f)
            s.arm_slerp_fraction += toward;
    }
    s.arm_slerp_fraction = std::fmin(std::fmax(s.arm_slerp_fraction, 0.0f), 1.0f);
    if (is_zero(s.auto_aim_point))
        return 1;
    turn_arm(pose, with_notices);
    return 1;
}

}  // namespace

int vk_auto_aim_setup(win_entity* entity)
{
    return switch_on_with(entity, varnock_aim_left_arm_at_closest_enemy, false);
}

int vk_auto_aim_undo_setup(win_entity* entity)
{
    return switch_on_with(entity, varnock_undo_aim_left_arm_at_closest_enemy, true);
}

int vk_auto_aim_clear(win_entity* entity)
{
    REFUSE_NULL(entity, "vk_auto_aim_clear", "win_entity", 0);
    if (vk_auto_aim_state.auto_aim_off == 0) {
        LOG_NOTICE("%s\n", "AUTO_AIM: TURNING OFF");
        vk_auto_aim_state.auto_aim_off = 1;
    }
    mow_track_augment* pose = arm_pose(entity);
    if (!pose)
        return 0;
    pose[VK_AUTO_AIM_ARM_JOINT].mow_augment_callback = nullptr;
    return 1;
}

int varnock_aim_left_arm_at_closest_enemy(mow_track_augment* mow_track_augment_array,
                                          const win_matrix43* parent_matrix)
{
    REFUSE_NULL(mow_track_augment_array, "varnock_aim_left_arm_at_closest_enemy",
                "mow_track_augment_array", 0);
    REFUSE_NULL(parent_matrix, "varnock_aim_left_arm_at_closest_enemy", "parent_matrix", 0);
    return move_arm(mow_track_augment_array, VK_AUTO_AIM_FRACTION_STEP, true);
}

int varnock_undo_aim_left_arm_at_closest_enemy(mow_track_augment* mow_track_augment_array,
                                               const win_matrix43* parent_matrix)
{
    REFUSE_NULL(mow_track_augment_array, "varnock_undo_aim_left_arm_at_closest_enemy",
                "mow_track_augment_array", 0);
    REFUSE_NULL(parent_matrix, "varnock_undo_aim_left_arm_at_closest_enemy", "parent_matrix", 0);
    return move_arm(mow_track_augment_array, -VK_AUTO_AIM_FRACTION_STEP, false);
}

int find_best_target(void)
{
    REFUSE_NULL(entity_io_global_win_entity_list, "find_best_target", "entity_io_global_win_list",
                0);
    vk_auto_aim_state_record& s = vk_auto_aim_state;
    win_entity* best = nullptr;
    win_vect3 best_point = {};
    float best_dist = VK_AUTO_AIM_MAX_DIST_SQUARED;
    // Once round the ring, from the member after the head to the head itself,
    // whatever size is kept beside it.
    win_entity* const head = entity_io_global_win_entity_list;
    win_entity* candidate = head;
    do {
        candidate = candidate->next;
        // Only a living character can be aimed at.
        const win_character* character = win_entity_character(candidate);
        if (!(candidate->win_entity_flag & ENTITY_FLAG_TARGET) ||
            candidate == game_globals.player_character || !character ||
            character->hitpoints <= 0.0f)
            continue;
        win_vect3 point = aim_point_of(candidate, character);
        float dist = win_math_calc_dist_squared(&point, &s.auto_aim_origin);
        if (dist <= best_dist && vk_auto_aim_check_target_visible(candidate)) {
            best = candidate;
            best_point = point;
            best_dist = dist;
        }
    } while (candidate != head);
    if (!best)
        return 0;
    s.auto_aim_point = best_point;
    if (best != s.auto_aim_target) {
        s.auto_aim_target = best;
        s.arm_slerp_fraction = 0.0f;
    }
    return 1;
}

int vk_auto_aim_check_target_visible(win_entity* candidate)
{
    const win_entity* player = game_globals.player_character;
    if (!candidate || !player)
        return 0;
    win_hot_sector sector = {};
    sector.sector = {
        {0.0f, VK_AUTO_AIM_MAX_RANGE, -VK_AUTO_AIM_HALF_ANGLE, VK_AUTO_AIM_HALF_ANGLE}};
    if (ai_check_hot_sector(player, candidate, &sector) != 1)
        return 0;
    win_vect3 from = position_of(player);
    win_vect3 to = position_of(candidate);
    // atan2 keeps a candidate straight above or below (no xz distance) out
    // and one at the player's own place in.
    float vertical = std::atan2(std::fabs(from.y - to.y), win_math_calc_xz_dist(&from, &to));
    return vertical <= VK_AUTO_AIM_HALF_ANGLE;
}

void vk_auto_aim_forget_entity(const win_entity* entity)
{
    if (entity && entity == vk_auto_aim_state.auto_aim_target)
        vk_auto_aim_state.auto_aim_target = nullptr;
}

void vk_auto_aim_reset(void)
{
    vk_auto_aim_state = vk_auto_aim_state_record{};
    warned_entity = nullptr;
}
