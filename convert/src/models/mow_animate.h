// Animation evaluation: an animation at a time, posed into a model's pose
// array (one mow_track_augment per joint), and the single evaluations that
// root motion, animated shaders and bounding spheres use.
//
// Keys are found by a walk from the first key: the last key at or before
// the time and the first at or after it. Values between two keys are
// interpolated linearly in single precision; before the first key and after
// the last the end key's values hold. Rotations are three angles, each
// interpolated on its own.
//
// Nothing allocates; a pose array is written in place. Evaluations may nest
// (a pose callback may evaluate single tracks or even pose another model).
#pragma once

#include <cstdint>

#include "mow_anim.h"
#include "mow_geo.h"

// Poses `mow_model` at `time` into `mow_augment_array` (one record per joint,
// or one for a model without joints) under `parent_matrix`: each joint from
// its track of `mow_anim` (track i for joint i), or rigidly at its rest frame
// when the animation is NULL or gives the joint no keys. Joints are posed in
// array order, so a joint sees its parent's new pose only when the parent
// comes first. With `animated_sphere_key` (one element per appendage of the
// model, each with one segment key per segment), the animation's appendage
// keys are evaluated into it as well. The AND of the joints' results; 0
// after a log line for a missing model, pose array or parent matrix.
int mow_animate_model(const mow_model* mow_model_ptr, const mow_anim* animation, float time,
                      mow_track_augment* mow_augment_array,
                      mow_appendage_sphere_key* animated_sphere_key,
                      const win_matrix43* parent_matrix);

// The local transform of one track at `time`: each part from its keys, the
// others at rest, with its attrib bits set. 1, or 0 after a log line.
int mow_animate_interpolate_single_mow_track(win_xform* result, const mow_track* mow_track_ptr,
                                             float time);

// The shader index of the last key at or before `time` (the first key before
// it); -1 after a log line when the animation or its keys are missing.
int32_t mow_animate_mow_shader_idx(const mow_anim* animation, float time);

// The bounding sphere of `n` sphere keys at `time`, untransformed. 1, or 0
// after a log line for a missing argument.
int mow_animate_interpolate_mow_sphere(win_vect3* result_sphere_center, float* result_sphere_radius,
                                       const mow_sphere_key* mow_sphere_key_array, int32_t n,
                                       float time);
