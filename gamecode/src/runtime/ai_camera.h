// The camera AI. A camera entity runs the same goal stack as a character
// (ai.h), with camera meanings for the goal types: it holds, flies to a
// point, flies or cuts to an explore camera of the current environment, or
// waits. When the entity it follows walks into the enabled zone of an
// explore camera, the camera heads for that placement. For the current
// camera it also works out the frame's eye and look-at points: a smoothed
// follow of the target's joint, and the shake.
//
// A camera follows the first target of its target ring: an entity (at one of
// its joints) or, when the entity is gone or was never found, a fixed point.
// A camera without targets follows nothing and enters no zones.
#pragma once

#include <cstdint>

#include "win_entity.h"

// The goal types as cameras read them.
enum ai_camera_goal_type : int32_t {
    AI_CAMERA_GOAL_HOLD = 0,          // on to the next goal of the ring once there is one
    AI_CAMERA_GOAL_FLY_TO_POINT = 1,  // extra: the speed (-1: jump there)
    AI_CAMERA_GOAL_EXPLORE_CAM = 3,   // point: the placement; extra: its explore camera
    AI_CAMERA_GOAL_WAIT = 7,          // point.x: ms to wait; point.y: ms waited
    AI_CAMERA_GOAL_NONE = 18,         // does nothing
};

// The explore camera of the last camera goal finished (-1 none), and the one
// whose zone the followed entity was last found in (-1 none).
extern int32_t ai_last_explore_cam_index;
extern int32_t ai_current_explore_cam_zone;

// The explore camera `index` of the current environment; NULL when there is
// no current environment or it has none of that index.
const win_explore_cam* ai_explore_cam(int32_t index);

// One frame of the camera's AI, after the camera has moved. 1, or 0 when it
// did nothing: in camera-look mode, and for a camera without an AI record
// (after an error line) or without ENTITY_FLAG_BRAIN (the current camera's
// eye and look-at points are still set then).
int ai_update_camera(win_entity* camera);

// Back to the state of a fresh start.
void ai_camera_reset(void);
