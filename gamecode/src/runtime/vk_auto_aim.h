// The player's auto-aim: the left arm (joint 7 of the player's pose) turns
// toward the best target, blending in by quaternion slerp over five frames
// and back out again. The per-frame choice of the update installs one of the
// two arm callbacks on joint 7 (vk_auto_aim_setup, vk_auto_aim_undo_setup)
// or removes it (vk_auto_aim_clear); the pose evaluation then calls it with
// the joint's pose.
//
// One state serves the one player. The target is a plain pointer into the
// entity ring: vk_auto_aim_forget_entity drops it when that entity is
// unloaded (the runtime's forget pass calls it).
#pragma once

#include <cstdint>

#include "mow_geo.h"
#include "win_geo.h"

struct win_entity;

// The joints of the player's pose that the arm reads and writes: the arm
// turns (7) and the joint whose sphere its aim passes through (8).
enum {
    VK_AUTO_AIM_ARM_JOINT = 7,
    VK_AUTO_AIM_HAND_JOINT = 8,
};
// The hand's rest against the aim: the aimed arm is turned by these angles
// about x, y and z (-10, 37 and 7 degrees) before the aim, so a model holds
// what it aims along the direction that this turn takes to its forward (-z).
constexpr float VK_AUTO_AIM_ARM_OFFSET[3] = {-0.17453292f, 0.6457718f, 0.12217305f};

struct vk_auto_aim_state_record {
    int32_t auto_aim_off = 1;  // 1 while off
    win_entity* auto_aim_target = nullptr;
    win_vect3 auto_aim_point = {};    // the world point aimed at; (0, 0, 0): none
    float arm_slerp_fraction = 0.0f;  // 0 to 1: share of the aimed turn in the arm's pose
    // Candidates are ranked by their squared distance from here. Nothing
    // moves it: it stays at the world origin.
    win_vect3 auto_aim_origin = {};
};
extern vk_auto_aim_state_record vk_auto_aim_state;

// Switch auto-aim on (with the fraction at 0 when it was off) and put the
// aim callback on joint 7 when the joint has none (an undo callback stays),
// or the undo callback in place of whatever is there. 1; 0 after an error
// line for a NULL entity, or after a WARNING (given once for the entity) when
// it has no pose with the joints 7 and 8.
int vk_auto_aim_setup(win_entity* entity);
int vk_auto_aim_undo_setup(win_entity* entity);
// Switches auto-aim off and takes joint 7's callback away; the target and
// the point stay. 1; 0 as above.
int vk_auto_aim_clear(win_entity* entity);

// The callbacks of joint 7. Both look for the best target; the aim callback
// moves the fraction toward 1 while one is found, the undo callback toward 0,
// and with none found both let it fall, dropping the target once it is 0.
// Joint 7's world rotation becomes the slerp by the fraction from its
// animated rotation toward the aim at the target point, its translation kept.
// 1; 0 after an error line for a NULL argument.
int varnock_aim_left_arm_at_closest_enemy(mow_track_augment* mow_track_augment_array,
                                          const win_matrix43* parent_matrix);
int varnock_undo_aim_left_arm_at_closest_enemy(mow_track_augment* mow_track_augment_array,
                                               const win_matrix43* parent_matrix);

// Chooses the target among the living characters of the ring flagged
// ENTITY_FLAG_TARGET (not the player): the one whose aim point lies nearest
// auto_aim_origin (within 2000 units; the later one in the ring on a tie)
// that the player can see. 1 when one was chosen (a new one restarts the
// blend); 0 when none, the target and point then unchanged.
int find_best_target(void);

// 1 when `candidate` stands within 60 degrees of the player's facing and
// 5000 units, and no more than 60 degrees above or below the player.
int vk_auto_aim_check_target_visible(win_entity* candidate);

// Drops `entity` as the target when it is the target. The point aimed at
// stays (it is a copy), so the arm blends back from it as it does when a
// target is lost.
void vk_auto_aim_forget_entity(const win_entity* entity);

// The state as at start-up; for tests.
void vk_auto_aim_reset(void);
