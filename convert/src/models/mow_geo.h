// Model records: a jointed, skinned model (mow_model) with its joints,
// skinned vertex clusters, meshes of drawable shader groups, shader file
// names and appendages, and the per-joint pose record (mow_track_augment)
// that animation writes and drawing and collision read. Each type has its
// whole record family (record.h); the model file ("mow", file type 60,
// version 105) is the header followed by one write_mow_model_bin stream.
//
// A model is shared: malloc_mow_model and read_mow_model_bin give a count of
// 1, add_to_mow_model_list adds 1, remove_from_mow_model_list takes 1 away
// without releasing, and free_mow_model takes 1 away and releases the model
// only at 0. Elements of a model array carry 0.
//
// The stored skinning slots (mow_cluster_vtx_translate_vtx/_norm and the
// translate arrays of a shader group) are element numbers of the renderer's
// skinning buffers; they pass through files unchanged.
#pragma once

#include <cstdint>

#include "record.h"
#include "win_geo.h"

// One joint of the model's tree.
struct mow_joint {
    char* mow_joint_name;          // animation state tables name joints by it
    int32_t mow_joint_parent_idx;  // -1: a root, posed under the caller's matrix
    win_vect3 mow_joint_origin;    // in the parent's frame
    int32_t mow_joint_attrib;      // ORed into the posed joint's matrix
    int32_t mow_joint_reserved_a[9];
    float mow_joint_sphere_radius;  // not above 0: no collision sphere
    int32_t mow_joint_reserved_b[6];
    win_vect3 mow_joint_sphere_center;  // in the joint's frame
};
// clang-format off
RECORD_BEGIN(mow_joint, 100)
    REC_NAME(mow_joint_name)
    REC_WORDS(mow_joint_parent_idx)
    REC_WORDS(mow_joint_origin)
    REC_WORDS(mow_joint_attrib)
    REC_WORDS(mow_joint_reserved_a)
    REC_WORDS(mow_joint_sphere_radius)
    REC_WORDS(mow_joint_reserved_b)
    REC_WORDS(mow_joint_sphere_center)
RECORD_END(mow_joint, NAMED, .mow_joint_parent_idx = -1, .mow_joint_sphere_radius = -1.0f)
// clang-format on

// One skinned vertex, in the frame of its cluster's joint.
struct mow_cluster_vtx {
    win_vect3 mow_cluster_vtx_pos;
    win_norm mow_cluster_vtx_norm;
    // Scales the joint's animated rotation for this vertex; vertices of equal
    // weight in a row share one skinning matrix.
    float mow_cluster_vtx_weight;
    win_vect3_ptr mow_cluster_vtx_translate_vtx;  // output position slot
    win_norm_ptr mow_cluster_vtx_translate_norm;  // output normal slot
};
// clang-format off
RECORD_BEGIN(mow_cluster_vtx, 36)
    REC_WORDS(mow_cluster_vtx_pos)
    REC_WORDS(mow_cluster_vtx_norm)
    REC_WORDS(mow_cluster_vtx_weight)
    REC_SLOT(mow_cluster_vtx_translate_vtx)
    REC_SLOT(mow_cluster_vtx_translate_norm)
RECORD_END(mow_cluster_vtx, PLAIN, .mow_cluster_vtx_weight = -1.0f)
// clang-format on

// One skinning unit: the vertices that one joint moves.
struct mow_cluster {
    char* mow_cluster_name;
    int32_t mow_cluster_joint_idx;
    int32_t mow_cluster_vtx_array_size;
    mow_cluster_vtx* mow_cluster_vtx_array;
};
// clang-format off
RECORD_BEGIN(mow_cluster, 16)
    REC_NAME(mow_cluster_name)
    REC_WORDS(mow_cluster_joint_idx)
    REC_ARRAY(mow_cluster_vtx_array_size, mow_cluster_vtx_array, mow_cluster_vtx)
RECORD_END(mow_cluster, NAMED, .mow_cluster_joint_idx = -1)
// clang-format on

// One draw call. Its vertex count is mow_vtx_array_size in a segmented mesh
// and mow_translate_vtx_array_size in a clustered one; the index list, the
// colours and the texture coordinates count in those vertices.
struct mow_shader_group {
    int32_t mow_shader_group_fvf;         // vertex-format bits of the streams present
    int32_t mow_shader_group_shader_idx;  // into the entity's shader array; -1 none
    int32_t mow_vtx_array_size;
    win_vect3* mow_vtx_array;
    int32_t mow_norm_array_size;
    win_norm* mow_norm_array;
    int32_t mow_diffuse_array_size;
    win_diffuse* mow_diffuse_array;
    int32_t mow_uv_array_size;
    win_uv* mow_uv_array;
    int32_t mow_vtx_idx_array_size;  // a triangle list
    uint16_t* mow_vtx_idx_array;
    int32_t mow_translate_vtx_array_size;  // clustered: one skin slot per vertex
    win_vect3_ptr* mow_translate_vtx_array;
    int32_t mow_translate_norm_array_size;  // walked with the count above
    win_norm_ptr* mow_translate_norm_array;
};
// clang-format off
RECORD_BEGIN(mow_shader_group, 64)
    REC_WORDS(mow_shader_group_fvf)
    REC_WORDS(mow_shader_group_shader_idx)
    REC_ARRAY(mow_vtx_array_size, mow_vtx_array, win_vect3)
    REC_ARRAY(mow_norm_array_size, mow_norm_array, win_norm)
    REC_ARRAY(mow_diffuse_array_size, mow_diffuse_array, win_diffuse)
    REC_ARRAY(mow_uv_array_size, mow_uv_array, win_uv)
    REC_NUMBERS(mow_vtx_idx_array_size, mow_vtx_idx_array, win_vtx_idx)
    REC_ARRAY(mow_translate_vtx_array_size, mow_translate_vtx_array, win_vect3_ptr)
    REC_ARRAY(mow_translate_norm_array_size, mow_translate_norm_array, win_norm_ptr)
RECORD_END(mow_shader_group, PLAIN, .mow_shader_group_shader_idx = -1)
// clang-format on

struct mow_mesh {
    char* mow_mesh_name;
    int32_t mow_mesh_joint_idx;  // places a segmented mesh
    // Non-zero: skinned, drawn from the skinning output; 0: rigid, drawn from
    // its own streams under the world matrix of its joint.
    int32_t mow_mesh_clustered;
    int32_t mow_shader_group_array_size;
    mow_shader_group* mow_shader_group_array;
};
// clang-format off
RECORD_BEGIN(mow_mesh, 20)
    REC_NAME(mow_mesh_name)
    REC_WORDS(mow_mesh_joint_idx)
    REC_WORDS(mow_mesh_clustered)
    REC_ARRAY(mow_shader_group_array_size, mow_shader_group_array, mow_shader_group)
RECORD_END(mow_mesh, NAMED, .mow_mesh_joint_idx = -1)
// clang-format on

// One segment of an appendage: a word of two signed 16-bit joint indices,
// the start joint in its low half and the second joint in its high half.
struct mow_segment_info {
    int16_t mow_segment_joint_idx;
    int16_t mow_segment_second_joint_idx;
};
RECORD_VALUE(mow_segment_info, 4, -1, -1)

// The joint chain of one appendage.
struct mow_appendage_info {
    int32_t mow_segment_info_array_size;
    mow_segment_info* mow_segment_info_array;
};
// clang-format off
RECORD_BEGIN(mow_appendage_info, 8)
    REC_ARRAY(mow_segment_info_array_size, mow_segment_info_array, mow_segment_info)
RECORD_END(mow_appendage_info, PLAIN)
// clang-format on

struct mow_rend_skin;  // the renderer's, mow_rend_dx7.cpp

struct mow_model {
    mow_model* prev;
    mow_model* next;
    char* mow_model_name;  // the list key: the lower-cased path it is loaded by
    int32_t mow_model_ref_cnt;
    int32_t mow_model_reserved;
    int32_t mow_joint_array_size;  // joint i is animated by track i
    mow_joint* mow_joint_array;
    int32_t mow_cluster_array_size;
    mow_cluster* mow_cluster_array;
    int32_t mow_mesh_array_size;
    mow_mesh* mow_mesh_array;
    int32_t mow_shader_filename_array_size;
    win_filename_ptr* mow_shader_filename_array;
    // The appendages, element i of the info array each; 0 or less: none.
    int32_t mow_appendage_array_size;
    int32_t mow_appendage_info_array_size;
    mow_appendage_info* mow_appendage_info_array;
    int32_t mow_model_reserved_block[31];
    win_vect3 mow_model_sphere_center;
    float mow_model_sphere_radius;  // collision uses it only above 0
    // The renderer's own form of the clusters for skinning, made when the
    // model is prepared (mow_rend_init_mow_model); not stored, NULL after
    // every read and link, and released with the model.
    mow_rend_skin* mow_model_skin;
};
// Lets the renderer's form go with the model (mow_rend_dx7.cpp). Linked
// models are never released one by one: the one who prepared a linked model
// calls it before the arena goes.
RECORD_RELEASE(mow_model, mow_rend_release_mow_model);
// clang-format off
RECORD_BEGIN(mow_model, 204)
    REC_LINKS(prev, next)
    REC_NAME(mow_model_name)
    REC_REF_CNT(mow_model_ref_cnt)
    REC_WORDS(mow_model_reserved)
    REC_ARRAY(mow_joint_array_size, mow_joint_array, mow_joint)
    REC_ARRAY(mow_cluster_array_size, mow_cluster_array, mow_cluster)
    REC_ARRAY(mow_mesh_array_size, mow_mesh_array, mow_mesh)
    REC_ARRAY(mow_shader_filename_array_size, mow_shader_filename_array, win_filename_ptr)
    REC_WORDS(mow_appendage_array_size)
    REC_ARRAY(mow_appendage_info_array_size, mow_appendage_info_array, mow_appendage_info)
    REC_WORDS(mow_model_reserved_block)
    REC_WORDS(mow_model_sphere_center)
    REC_WORDS(mow_model_sphere_radius)
    REC_UNSTORED(mow_model_skin)
RECORD_END(mow_model, NAMED_LIST, .mow_appendage_array_size = -1,
           .mow_model_sphere_radius = -1.0f)
// clang-format on

struct mow_track_augment;
// Called right after its joint is posed, with the whole pose array and the
// matrix the joint was built on; may change the joint's two matrices, which
// its sphere and every later joint then use. Bit 0 of the result: success.
typedef int (*mow_augment_callback_funct)(mow_track_augment* mow_track_augment_array,
                                          const win_matrix43* parent_matrix);

// The pose of one joint. A pose array runs parallel to a model's joints and
// belongs to the character that animates the model.
struct mow_track_augment {
    win_matrix43 mow_augment_matrix;        // joint to world
    win_matrix43 mow_augment_joint_matrix;  // the parent's matrix moved to the joint origin
    win_xform mow_augment_xform;            // the local transform last evaluated
    int32_t mow_augment_no_keys;            // 1: posed without keys (rigid skinning)
    float mow_augment_sphere_radius;
    win_vect3 mow_augment_sphere_center;              // in world space
    mow_augment_callback_funct mow_augment_callback;  // set by game code
};
// clang-format off
RECORD_BEGIN(mow_track_augment, 168)
    REC_WORDS(mow_augment_matrix)
    REC_WORDS(mow_augment_joint_matrix)
    REC_WORDS(mow_augment_xform)
    REC_WORDS(mow_augment_no_keys)
    REC_WORDS(mow_augment_sphere_radius)
    REC_WORDS(mow_augment_sphere_center)
    REC_RUNTIME(mow_augment_callback)
RECORD_END(mow_track_augment, PLAIN, .mow_augment_xform = {.sx = 1.0f, .sy = 1.0f, .sz = 1.0f},
           .mow_augment_sphere_radius = -1.0f)
// clang-format on

// Checks that a model can be posed, skinned and drawn without reading or
// writing outside an array: every joint index (parents, clusters, segmented
// meshes, appendage segments) within the model's pose array, the appendage
// count within the appendage chains, every array that is walked by its count
// present, every 16-bit index below the vertex count of its draw, and every
// vertex stream that the draw reads (by the group's vertex format) as long as
// the vertex count. 1 when it holds; else 0 after one ERROR line naming the
// model and what is wrong.
int mow_geo_validate_mow_model(const mow_model* mow_model_ptr);

// The number of pose records a model is animated into: one per joint, or a
// single one for a model without joints.
int32_t mow_geo_pose_count(const mow_model* mow_model_ptr);
