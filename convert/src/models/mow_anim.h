// Animation records: the key-framed motion of one jointed model (mow_anim)
// with its per-joint tracks, root track, bounding-sphere keys, shader index
// keys and appendage keys, and the slot (mow_anim_ptr) that holds one counted
// reference to an animation. Each type has its whole record family
// (record.h); the animation file ("trw", file type 61, version 108) is the
// header followed by one write_mow_anim_bin stream.
//
// Times are float milliseconds on the animation's own time line. The keys of
// one array ascend by key_time; nothing here sorts or checks them, and the
// evaluation (mow_animate.h) relies on the order.
//
// An animation is shared with the same counting as a model (mow_geo.h):
// malloc_mow_anim and read_mow_anim_bin give 1, the list adds 1, removal
// takes 1 without releasing, free_mow_anim releases at 0; array elements
// carry 0. Releasing a slot drops the reference it holds.
#pragma once

#include <cstdint>

#include "record.h"
#include "win_geo.h"

// clang-format off
struct mow_rot_key { float key_time; win_vect3 rotate; };  // radians
RECORD_VALUE(mow_rot_key, 16, -1.0f)
struct mow_trans_key { float key_time; win_vect3 translate; };
RECORD_VALUE(mow_trans_key, 16, -1.0f)
struct mow_scale_key { float key_time; win_vect3 scale; };
RECORD_VALUE(mow_scale_key, 16, -1.0f, {1.0f, 1.0f, 1.0f})
// From key_time on, an animated shader shows its texture of this index.
struct mow_shader_idx_key { float key_time; int32_t shader_idx; };
RECORD_VALUE(mow_shader_idx_key, 8, -1.0f, -1)
// The model's bounding sphere at key_time.
struct mow_sphere_key { float key_time; win_vect3 center; float radius; };
RECORD_VALUE(mow_sphere_key, 20, -1.0f, {}, -1.0f)
// One capsule of an appendage: from its joint's sphere centre along
// segment_vector. It has no time of its own.
struct mow_segment_key { win_vect3 segment_vector; float segment_length; float segment_radius; };
RECORD_VALUE(mow_segment_key, 20, {}, -1.0f, -1.0f)
// clang-format on

// One appendage at one key: the sphere bounding it and one segment key per
// segment of its chain.
struct mow_appendage_sphere_key {
    win_vect3 center;
    float radius;
    int32_t mow_segment_key_array_size;
    mow_segment_key* mow_segment_key_array;
};
// clang-format off
RECORD_BEGIN(mow_appendage_sphere_key, 24)
    REC_WORDS(center)
    REC_WORDS(radius)
    REC_ARRAY(mow_segment_key_array_size, mow_segment_key_array, mow_segment_key)
RECORD_END(mow_appendage_sphere_key, PLAIN, .radius = -1.0f)
// clang-format on

// Every appendage of the model at one time, one sphere key per appendage.
struct mow_appendage_key {
    float key_time;
    int32_t mow_appendage_sphere_key_array_size;
    mow_appendage_sphere_key* mow_appendage_sphere_key_array;
};
// clang-format off
RECORD_BEGIN(mow_appendage_key, 12)
    REC_WORDS(key_time)
    REC_ARRAY(mow_appendage_sphere_key_array_size, mow_appendage_sphere_key_array,
              mow_appendage_sphere_key)
RECORD_END(mow_appendage_key, PLAIN, .key_time = -1.0f)
// clang-format on

// The keys of one joint (or of the root motion). Any of the three arrays may
// be absent; a track without keys leaves its joint at its rest frame.
struct mow_track {
    char* mow_track_name;
    int32_t mow_rot_key_array_size;
    mow_rot_key* mow_rot_key_array;
    int32_t mow_trans_key_array_size;
    mow_trans_key* mow_trans_key_array;
    int32_t mow_scale_key_array_size;
    mow_scale_key* mow_scale_key_array;
};
// clang-format off
RECORD_BEGIN(mow_track, 28)
    REC_NAME(mow_track_name)
    REC_ARRAY(mow_rot_key_array_size, mow_rot_key_array, mow_rot_key)
    REC_ARRAY(mow_trans_key_array_size, mow_trans_key_array, mow_trans_key)
    REC_ARRAY(mow_scale_key_array_size, mow_scale_key_array, mow_scale_key)
RECORD_END(mow_track, NAMED)
// clang-format on

struct mow_anim {
    mow_anim* prev;
    mow_anim* next;
    char* mow_anim_name;  // the list key: the base name of its file
    int32_t mow_anim_ref_cnt;
    float mow_anim_begin_time;
    float mow_anim_end_time;
    int32_t mow_track_array_size;  // track i animates joint i of the model
    mow_track* mow_track_array;
    // The root motion, held inline: it moves the whole character.
    mow_track root_mow_track;
    int32_t mow_shader_idx_key_array_size;
    mow_shader_idx_key* mow_shader_idx_key_array;
    int32_t mow_sphere_key_array_size;
    mow_sphere_key* mow_sphere_key_array;
    int32_t mow_appendage_key_array_size;
    mow_appendage_key* mow_appendage_key_array;
    // Four words carried unchanged between file and memory.
    float mow_anim_reserved_float;
    int32_t mow_anim_reserved[3];
};
// The root track's members are rows of the animation itself: its image
// lies inside the animation's image and its items follow the track array's.
// clang-format off
RECORD_BEGIN(mow_anim, 100)
    REC_LINKS(prev, next)
    REC_NAME(mow_anim_name)
    REC_REF_CNT(mow_anim_ref_cnt)
    REC_WORDS(mow_anim_begin_time)
    REC_WORDS(mow_anim_end_time)
    REC_ARRAY(mow_track_array_size, mow_track_array, mow_track)
    REC_STRING(root_mow_track.mow_track_name)
    REC_ARRAY(root_mow_track.mow_rot_key_array_size, root_mow_track.mow_rot_key_array,
              mow_rot_key, "mow_rot_key_array")
    REC_ARRAY(root_mow_track.mow_trans_key_array_size, root_mow_track.mow_trans_key_array,
              mow_trans_key, "mow_trans_key_array")
    REC_ARRAY(root_mow_track.mow_scale_key_array_size, root_mow_track.mow_scale_key_array,
              mow_scale_key, "mow_scale_key_array")
    REC_ARRAY(mow_shader_idx_key_array_size, mow_shader_idx_key_array, mow_shader_idx_key)
    REC_ARRAY(mow_sphere_key_array_size, mow_sphere_key_array, mow_sphere_key)
    REC_ARRAY(mow_appendage_key_array_size, mow_appendage_key_array, mow_appendage_key)
    REC_WORDS(mow_anim_reserved_float)
    REC_WORDS(mow_anim_reserved)
RECORD_END(mow_anim, NAMED_LIST, .mow_anim_begin_time = -1.0f, .mow_anim_end_time = -1.0f,
           .mow_anim_reserved_float = -1.0f)
// clang-format on

// A slot holding one counted reference to an animation, or NULL.
typedef mow_anim* mow_anim_ptr;
// clang-format off
RECORD_BEGIN(mow_anim_ptr, 4)
    REC_SELF_RECORD(mow_anim)
RECORD_END(mow_anim_ptr, PLAIN)
// clang-format on
