#include "mow_animate.h"

#include <algorithm>

#include "debug.h"
#include "win_math.h"

namespace {

// Where a time falls among keys: the last key at or before it (`lower`), the
// first at or after it (`upper`) and the fraction of the way between them.
// When the two keys share their time, upper is lower and their values are
// taken as they are.
struct key_span {
    int32_t lower;
    int32_t upper;
    float f;
};

// The walk from the first key that every key type shares. Before the first
// key and after the last the end key holds; of keys sharing a time, the time
// itself finds the first and any later time interpolates from the last.
template <class K>
key_span find_keys(const K* keys, int32_t n, float time)
{
    key_span span = {0, n - 1, 0.0f};
    for (int32_t i = 0; i < n; ++i) {
        if (keys[i].key_time <= time)
            span.lower = i;
        if (keys[i].key_time >= time) {
            span.upper = i;
            break;
        }
    }
    const float lower_time = keys[span.lower].key_time;
    const float upper_time = keys[span.upper].key_time;
    if (lower_time == upper_time) {
        span.upper = span.lower;
    } else {
        // Single precision throughout: the two differences are floats first.
        const float elapsed = time - lower_time;
        const float length = upper_time - lower_time;
        span.f = elapsed / length;
    }
    return span;
}

template <class K>
bool present(const K* keys, int32_t n)
{
    return keys && n > 0;
}

float lerp(float a, float b, const key_span& span)
{
    return span.upper == span.lower ? a : a + (b - a) * span.f;
}

win_vect3 lerp(const win_vect3& a, const win_vect3& b, const key_span& span)
{
    return {lerp(a.x, b.x, span), lerp(a.y, b.y, span), lerp(a.z, b.z, span)};
}

// One part of a transform from its keys (rotation, translation and scale
// keys share the layout of a time and three values), into the three words
// given; absent keys leave them at rest.
template <class K, win_vect3 K::*value>
void interpolate_part(const K* keys, int32_t n, float time, float* x, float* y, float* z)
{
    if (!present(keys, n))
        return;
    const key_span span = find_keys(keys, n, time);
    const win_vect3 part = lerp(keys[span.lower].*value, keys[span.upper].*value, span);
    *x = part.x;
    *y = part.y;
    *z = part.z;
}

// A joint at rest: no translation or rotation, scale 1.
constexpr win_xform rest_xform = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0};

// The local transform of a track at `time`: each part from its keys, the
// others at rest.
int interpolate_mow_track(const mow_track* track, float time, win_xform* xform)
{
    *xform = rest_xform;
    interpolate_part<mow_rot_key, &mow_rot_key::rotate>(track->mow_rot_key_array,
                                                        track->mow_rot_key_array_size, time,
                                                        &xform->rx, &xform->ry, &xform->rz);
    interpolate_part<mow_trans_key, &mow_trans_key::translate>(
        track->mow_trans_key_array, track->mow_trans_key_array_size, time, &xform->tx, &xform->ty,
        &xform->tz);
    interpolate_part<mow_scale_key, &mow_scale_key::scale>(track->mow_scale_key_array,
                                                           track->mow_scale_key_array_size, time,
                                                           &xform->sx, &xform->sy, &xform->sz);
    return win_math_set_xform_attrib(xform);
}

// One call of mow_animate_model.
struct pose_job {
    const mow_model* model;
    const mow_anim* anim;
    float time;
    mow_track_augment* poses;
    const win_matrix43* parent_matrix;
    int32_t joints;
};

// The track that poses joint `i`, or NULL when the animation gives it no keys
// (no animation, a track array shorter than the joints, a track without a
// key array).
const mow_track* track_of(const pose_job& job, int32_t i)
{
    const mow_anim* anim = job.anim;
    if (!anim || !anim->mow_track_array || i >= anim->mow_track_array_size)
        return nullptr;
    const mow_track* track = &anim->mow_track_array[i];
    bool keyed = track->mow_rot_key_array || track->mow_trans_key_array ||
                 track->mow_scale_key_array;
    return keyed ? track : nullptr;
}

// The parent's pose of a joint, or NULL for a root (a negative parent) and
// for a parent outside the model, which is posed as a root too.
const mow_track_augment* parent_pose(const pose_job& job, const mow_joint* joint)
{
    int32_t parent = joint->mow_joint_parent_idx;
    return parent >= 0 && parent < job.joints ? &job.poses[parent] : nullptr;
}

// `matrix` moved to the joint's origin, with the joint's attribute bits.
void at_joint_origin(win_matrix43* frame, const win_matrix43* matrix, const mow_joint* joint)
{
    win_vect3 origin;
    win_math_multiply_vect3_by_matrix43(&origin, &joint->mow_joint_origin, matrix);
    *frame = *matrix;
    frame->m[3][0] = origin.x;
    frame->m[3][1] = origin.y;
    frame->m[3][2] = origin.z;
    frame->attrib |= joint->mow_joint_attrib;
}

// The last steps of every joint: the callback, which may change the joint's
// matrices, then the collision sphere from the final matrix. Bit 0 of the
// callback's result, 1 without one.
int finish_joint(const pose_job& job, const mow_joint* joint, mow_track_augment* pose,
                 const win_matrix43* built_on)
{
    int ok = 1;
    if (pose->mow_augment_callback)
        ok = pose->mow_augment_callback(job.poses, built_on) & 1;
    pose->mow_augment_sphere_radius = joint->mow_joint_sphere_radius;
    win_math_multiply_vect3_by_matrix43(&pose->mow_augment_sphere_center,
                                        &joint->mow_joint_sphere_center, &pose->mow_augment_matrix);
    return ok;
}

// A joint posed from its track: the parent's matrix (or the caller's, for a
// root) moved to the joint origin is the frame the local transform acts in.
int animate_mow_joint(const pose_job& job, int32_t i, const mow_track* track)
{
    const mow_joint* joint = &job.model->mow_joint_array[i];
    mow_track_augment* pose = &job.poses[i];
    const mow_track_augment* parent = parent_pose(job, joint);
    const win_matrix43* built_on = parent ? &parent->mow_augment_matrix : job.parent_matrix;
    win_matrix43 frame;
    at_joint_origin(&frame, built_on, joint);
    win_xform local;
    int ok = interpolate_mow_track(track, job.time, &local);
    pose->mow_augment_xform = local;
    pose->mow_augment_no_keys = 0;
    pose->mow_augment_joint_matrix = frame;
    win_matrix43 local_matrix;
    ok = win_math_xform_to_txzy_matrix43(&local, &local_matrix) && ok;
    ok = win_math_multiply_matrix43(&pose->mow_augment_matrix, &local_matrix,
                                    &pose->mow_augment_joint_matrix) &&
         ok;
    return finish_joint(job, joint, pose, built_on) && ok;
}

// A joint without keys keeps its rest frame under its parent. A root takes
// the caller's matrix as it is: its origin and bits apply only with keys.
int trans_mow_joint(const pose_job& job, int32_t i)
{
    const mow_joint* joint = &job.model->mow_joint_array[i];
    mow_track_augment* pose = &job.poses[i];
    const mow_track_augment* parent = parent_pose(job, joint);
    if (parent)
        at_joint_origin(&pose->mow_augment_matrix, &parent->mow_augment_matrix, joint);
    else
        pose->mow_augment_matrix = *job.parent_matrix;
    pose->mow_augment_joint_matrix = pose->mow_augment_matrix;
    pose->mow_augment_no_keys = 1;
    return finish_joint(job, joint, pose, parent ? &parent->mow_augment_matrix : job.parent_matrix);
}

template <class T>
int32_t present_count(const T* array, int32_t n)
{
    return present(array, n) ? n : 0;
}

// The appendage keys at the job's time into the caller's spheres: centres
// as points and segment vectors as directions under the parent matrix,
// radii and lengths as they are. Only as many appendages and segments as
// the two keys and the output all have are evaluated.
int animate_appendage_spheres(const pose_job& job, mow_appendage_sphere_key* out)
{
    const mow_anim* anim = job.anim;
    if (!anim || !out ||
        !present(anim->mow_appendage_key_array, anim->mow_appendage_key_array_size))
        return 0;
    const mow_appendage_key* keys = anim->mow_appendage_key_array;
    const key_span span = find_keys(keys, anim->mow_appendage_key_array_size, job.time);
    const mow_appendage_key& a = keys[span.lower];
    const mow_appendage_key& b = keys[span.upper];
    const int32_t appendages = std::min(
        {present_count(a.mow_appendage_sphere_key_array, a.mow_appendage_sphere_key_array_size),
         present_count(b.mow_appendage_sphere_key_array, b.mow_appendage_sphere_key_array_size),
         std::max(job.model->mow_appendage_array_size, 0)});
    for (int32_t j = 0; j < appendages; ++j) {
        const mow_appendage_sphere_key& sa = a.mow_appendage_sphere_key_array[j];
        const mow_appendage_sphere_key& sb = b.mow_appendage_sphere_key_array[j];
        mow_appendage_sphere_key& o = out[j];
        win_vect3 center = lerp(sa.center, sb.center, span);
        win_math_multiply_vect3_by_matrix43(&o.center, &center, job.parent_matrix);
        o.radius = lerp(sa.radius, sb.radius, span);
        const int32_t segments = std::min(
            {present_count(sa.mow_segment_key_array, sa.mow_segment_key_array_size),
             present_count(sb.mow_segment_key_array, sb.mow_segment_key_array_size),
             present_count(o.mow_segment_key_array, o.mow_segment_key_array_size)});
        for (int32_t k = 0; k < segments; ++k) {
            const mow_segment_key& ka = sa.mow_segment_key_array[k];
            const mow_segment_key& kb = sb.mow_segment_key_array[k];
            mow_segment_key& ko = o.mow_segment_key_array[k];
            win_vect3 vector = lerp(ka.segment_vector, kb.segment_vector, span);
            win_norm direction = {vector.x, vector.y, vector.z};
            win_norm turned;
            win_math_multiply_norm_by_matrix43(&turned, &direction, job.parent_matrix);
            ko.segment_vector = {turned.x, turned.y, turned.z};
            ko.segment_length = lerp(ka.segment_length, kb.segment_length, span);
            ko.segment_radius = lerp(ka.segment_radius, kb.segment_radius, span);
        }
    }
    return 1;
}

}  // namespace

int mow_animate_model(const mow_model* mow_model_ptr, const mow_anim* animation, float time,
                      mow_track_augment* mow_augment_array,
                      mow_appendage_sphere_key* animated_sphere_key,
                      const win_matrix43* parent_matrix)
{
    REFUSE_NULL(mow_model_ptr, "mow_animate_model", "mow_model", 0);
    REFUSE_NULL(mow_augment_array, "mow_animate_model", "mow_augment_array", 0);
    REFUSE_NULL(parent_matrix, "mow_animate_model", "parent_matrix", 0);
    const pose_job job = {
        mow_model_ptr,
        animation,
        time,
        mow_augment_array,
        parent_matrix,
        present_count(mow_model_ptr->mow_joint_array, mow_model_ptr->mow_joint_array_size)};
    int ok = 1;
    for (int32_t i = 0; i < job.joints; ++i) {
        const mow_track* track = track_of(job, i);
        ok = (track ? animate_mow_joint(job, i, track) : trans_mow_joint(job, i)) && ok;
    }
    animate_appendage_spheres(job, animated_sphere_key);
    return ok;
}

int mow_animate_interpolate_single_mow_track(win_xform* result, const mow_track* mow_track_ptr,
                                             float time)
{
    if (!mow_track_ptr) {
        LOG_ERROR("%s\n", "mow_track is null.");
        LOG_ERROR("%s\n", "Cannot mow_animate_interpolate_single_mow_track with NULL mow_track.");
        return 0;
    }
    REFUSE_NULL(result, "mow_animate_interpolate_single_mow_track", "win_xform", 0);
    return interpolate_mow_track(mow_track_ptr, time, result);
}

int32_t mow_animate_mow_shader_idx(const mow_anim* animation, float time)
{
    REFUSE_NULL(animation, "mow_animate_mow_shader_idx", "mow_anim", -1);
    const mow_shader_idx_key* keys = animation->mow_shader_idx_key_array;
    if (!present(keys, animation->mow_shader_idx_key_array_size)) {
        const char* name = animation->mow_anim_name;
        LOG_ERROR("No mow_shader_idx_keys in '%s'\n", name ? name : "");
        return -1;
    }
    // A step: the last key reached holds until the next.
    return keys[find_keys(keys, animation->mow_shader_idx_key_array_size, time).lower].shader_idx;
}

int mow_animate_interpolate_mow_sphere(win_vect3* result_sphere_center, float* result_sphere_radius,
                                       const mow_sphere_key* mow_sphere_key_array, int32_t n,
                                       float time)
{
    if (!result_sphere_center) {
        LOG_ERROR("%s\n",
                  "Cannot mow_animate_interpolate_mow_sphere with NULL result_sphere_center");
        return 0;
    }
    if (!result_sphere_radius) {
        LOG_ERROR("%s\n",
                  "Cannot mow_animate_interpolate_mow_sphere with NULL result_sphere_radius");
        return 0;
    }
    REFUSE_NULL(mow_sphere_key_array, "mow_animate_interpolate_mow_sphere", "mow_sphere_key", 0);
    if (n <= 0) {
        LOG_ERROR("Bad mow_sphere_key_array_size = %ld\n", (long)n);
        return 0;
    }
    const key_span span = find_keys(mow_sphere_key_array, n, time);
    const mow_sphere_key& a = mow_sphere_key_array[span.lower];
    const mow_sphere_key& b = mow_sphere_key_array[span.upper];
    *result_sphere_center = lerp(a.center, b.center, span);
    *result_sphere_radius = lerp(a.radius, b.radius, span);
    return 1;
}
