#include "demo_anim.h"

#include <cstdio>

#include "debug.h"
#include "demo_model.h"
#include "file_io.h"
#include "heap.h"

namespace {

const float end = (float)DEMO_ANIM_LENGTH;
const float half = end / 2.0f;

// `n` keys of one part of a transform (rotation, translation or scale keys
// share their shape) at the times given, holding the values given.
template <class K>
bool set_keys(int32_t* size, K** keys, const record_type* type, win_vect3 K::*value, int32_t n,
              const float* times, const win_vect3* values)
{
    *keys = (K*)record_malloc_array(type, n);
    if (!*keys)
        return false;
    *size = n;
    for (int32_t i = 0; i < n; ++i) {
        (*keys)[i].key_time = times[i];
        (*keys)[i].*value = values[i];
    }
    return true;
}

bool set_rot_keys(mow_track* track, int32_t n, const float* times, const win_vect3* values)
{
    return set_keys(&track->mow_rot_key_array_size, &track->mow_rot_key_array, &mow_rot_key_desc,
                    &mow_rot_key::rotate, n, times, values);
}

bool set_trans_keys(mow_track* track, int32_t n, const float* times, const win_vect3* values)
{
    return set_keys(&track->mow_trans_key_array_size, &track->mow_trans_key_array,
                    &mow_trans_key_desc, &mow_trans_key::translate, n, times, values);
}

// An animation of `tracks` named tracks ("joint_00", ...) over the demo
// time line.
mow_anim* make_anim(const char* name, int32_t tracks)
{
    mow_anim* anim = malloc_mow_anim(name);
    if (!anim)
        return nullptr;
    anim->mow_anim_begin_time = 0.0f;
    anim->mow_anim_end_time = end;
    anim->mow_track_array = malloc_mow_track_array(tracks);
    if (!anim->mow_track_array) {
        free_mow_anim(anim);
        return nullptr;
    }
    anim->mow_track_array_size = tracks;
    for (int32_t i = 0; i < tracks; ++i) {
        char track_name[24];
        snprintf(track_name, sizeof track_name, "joint_%02d", (int)i);
        anim->mow_track_array[i].mow_track_name = STRDUP(track_name);
    }
    return anim;
}

// The wave's bounding sphere and shader index keys.
bool set_sphere_and_shader_keys(mow_anim* anim)
{
    anim->mow_sphere_key_array = malloc_mow_sphere_key_array(3);
    anim->mow_shader_idx_key_array = malloc_mow_shader_idx_key_array(1);
    if (!anim->mow_sphere_key_array || !anim->mow_shader_idx_key_array)
        return false;
    anim->mow_sphere_key_array_size = 3;
    anim->mow_sphere_key_array[0] = {0.0f, {0.0f, 2.0f, 0.0f}, 3.0f};
    anim->mow_sphere_key_array[1] = {half, {-0.5f, 2.25f, 0.0f}, 3.25f};
    anim->mow_sphere_key_array[2] = {end, {0.0f, 2.0f, 0.0f}, 3.0f};
    anim->mow_shader_idx_key_array_size = 1;
    anim->mow_shader_idx_key_array[0] = {0.0f, 0};
    return true;
}

// The figure's one appendage: a sphere round the arm and the arm's capsule,
// upright at rest and swung 0.75 radians about z half way.
bool set_appendage_keys(mow_anim* anim)
{
    const float times[3] = {0.0f, half, end};
    const win_vect3 centres[3] = {{0.0f, 3.0f, 0.0f}, {-0.68f, 2.73f, 0.0f}, {0.0f, 3.0f, 0.0f}};
    const win_vect3 vectors[3] = {
        {0.0f, 1.0f, 0.0f}, {-0.68164f, 0.73169f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    anim->mow_appendage_key_array = malloc_mow_appendage_key_array(3);
    if (!anim->mow_appendage_key_array)
        return false;
    anim->mow_appendage_key_array_size = 3;
    for (int32_t i = 0; i < 3; ++i) {
        mow_appendage_key* key = &anim->mow_appendage_key_array[i];
        key->key_time = times[i];
        key->mow_appendage_sphere_key_array = malloc_mow_appendage_sphere_key_array(1);
        if (!key->mow_appendage_sphere_key_array)
            return false;
        key->mow_appendage_sphere_key_array_size = 1;
        mow_appendage_sphere_key* sphere = key->mow_appendage_sphere_key_array;
        sphere->center = centres[i];
        sphere->radius = 1.0f;
        sphere->mow_segment_key_array = malloc_mow_segment_key_array(1);
        if (!sphere->mow_segment_key_array)
            return false;
        sphere->mow_segment_key_array_size = 1;
        sphere->mow_segment_key_array[0] = {vectors[i], 1.0f, 0.25f};
    }
    return true;
}

}  // namespace

mow_anim* demo_anim_make_wave(const char* name, int32_t tracks)
{
    mow_anim* anim = make_anim(name, tracks < 2 ? 2 : tracks);
    if (!anim)
        return nullptr;
    const float times[3] = {0.0f, half, end};
    const win_vect3 bob[3] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.25f, 0.0f}, {0.0f, 0.0f, 0.0f}};
    const win_vect3 swing[3] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.75f}, {0.0f, 0.0f, 0.0f}};
    const float walk_times[2] = {0.0f, end};
    const win_vect3 walk[2] = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 2.0f}};
    anim->root_mow_track.mow_track_name = STRDUP("root_motion");
    bool ok = set_trans_keys(&anim->mow_track_array[0], 3, times, bob) &&
              set_rot_keys(&anim->mow_track_array[1], 3, times, swing) &&
              set_trans_keys(&anim->root_mow_track, 2, walk_times, walk) &&
              set_sphere_and_shader_keys(anim) && set_appendage_keys(anim);
    if (!ok || !anim->root_mow_track.mow_track_name) {
        LOG_ERROR("%s\n", "Could not make the demo wave.");
        free_mow_anim(anim);
        return nullptr;
    }
    return anim;
}

mow_anim* demo_anim_make_fall(const char* name, int32_t tracks, float angle)
{
    mow_anim* anim = make_anim(name, tracks < 1 ? 1 : tracks);
    if (!anim)
        return nullptr;
    const float times[3] = {0.0f, DEMO_ANIM_FALL_TIME, end};
    const win_vect3 turn[3] = {{0.0f, 0.0f, 0.0f}, {angle, 0.0f, 0.0f}, {angle, 0.0f, 0.0f}};
    const float still_times[1] = {0.0f};
    const win_vect3 still[1] = {{0.0f, 0.0f, 0.0f}};
    anim->root_mow_track.mow_track_name = STRDUP("root_motion");
    bool ok = set_rot_keys(&anim->mow_track_array[0], 3, times, turn) &&
              set_trans_keys(&anim->root_mow_track, 1, still_times, still) &&
              set_sphere_and_shader_keys(anim) && set_appendage_keys(anim);
    if (!ok || !anim->root_mow_track.mow_track_name) {
        LOG_ERROR("%s\n", "Could not make the demo fall.");
        free_mow_anim(anim);
        return nullptr;
    }
    return anim;
}

int demo_anim_hold_rotation(mow_anim* anim, int32_t track, win_vect3 angles)
{
    REFUSE_NULL(anim, "demo_anim_hold_rotation", "anim", 0);
    if (track < 0 || track >= anim->mow_track_array_size || !anim->mow_track_array) {
        LOG_ERROR("The demo animation %s has no track %ld to hold.\n", anim->mow_anim_name,
                  (long)track);
        return 0;
    }
    mow_track* held = &anim->mow_track_array[track];
    if (held->mow_rot_key_array)
        free_mow_rot_key_array(held->mow_rot_key_array, held->mow_rot_key_array_size);
    held->mow_rot_key_array = nullptr;
    held->mow_rot_key_array_size = 0;
    const float at[1] = {0.0f};
    return set_rot_keys(held, 1, at, &angles) ? 1 : 0;
}

mow_anim* demo_anim_make_tail(const char* name, float swing)
{
    enum { TRACKS = 26, FIRST_TAIL = 21 };
    mow_anim* anim = make_anim(name, TRACKS);
    if (!anim)
        return nullptr;
    bool ok = true;
    for (int32_t i = FIRST_TAIL; i < TRACKS && ok; ++i) {
        // Each joint further down the tail swings later and wider.
        const float lag = (float)(i - FIRST_TAIL) * (end / 20.0f);
        const float reach = swing * (float)(i - FIRST_TAIL + 1) / 5.0f;
        const float times[5] = {0.0f, end / 4.0f + lag, half + lag, 3.0f * end / 4.0f + lag, end};
        const win_vect3 angles[5] = {{0.0f, 0.0f, 0.0f},
                                     {0.0f, reach, 0.0f},
                                     {0.0f, 0.0f, 0.0f},
                                     {0.0f, -reach, 0.0f},
                                     {0.0f, 0.0f, 0.0f}};
        ok = set_rot_keys(&anim->mow_track_array[i], 5, times, angles);
    }
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make a demo tail animation.");
        free_mow_anim(anim);
        return nullptr;
    }
    return anim;
}

int demo_anim_write_file(const char* path, const mow_anim* anim)
{
    return demo_write_record_file(path, FILE_TYPE_ANIM, FILE_VERSION_ANIM, &mow_anim_desc, anim);
}
