#include "mow_geo.h"

#include <cstdarg>
#include <cstdio>

#include "debug.h"
#include "platform/d3d.h"

namespace {

// The first fault the validation finds, in words for its one log line.
struct model_fault {
    char text[200];
};

__attribute__((format(printf, 2, 3))) int fault(model_fault* found, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(found->text, sizeof found->text, format, args);
    va_end(args);
    return 0;
}

// An array that a consumer walks by its count: a count above 0 needs the
// array (the reader takes a stored count beside a zero presence word as 0,
// after an error line, so a model read from a file passes here).
int walked_array_ok(model_fault* found, int32_t count, const void* array, const char* count_name)
{
    if (count > 0 && !array)
        return fault(found, "%s = %ld without its array", count_name, (long)count);
    return 1;
}

// The elements of an array that are really there.
int32_t present_count(int32_t count, const void* array)
{
    return array && count > 0 ? count : 0;
}

// A joint index that a consumer reads the pose array with.
int pose_index_ok(model_fault* found, int32_t joint_idx, int32_t pose_count, const char* what,
                  long which)
{
    if (joint_idx < 0 || joint_idx >= pose_count)
        return fault(found, "%s %ld has joint index %ld of %ld poses", what, which, (long)joint_idx,
                     (long)pose_count);
    return 1;
}

// A vertex stream read for every vertex of a draw: present and long enough.
int stream_ok(model_fault* found, long mesh, long group, const char* name, int32_t size,
              const void* array, int32_t vertex_count)
{
    if (vertex_count > 0 && present_count(size, array) < vertex_count)
        return fault(found, "mesh %ld group %ld has %ld of %ld vertices in %s", mesh, group,
                     (long)present_count(size, array), (long)vertex_count, name);
    return 1;
}

int shader_group_ok(model_fault* found, long mesh, long g, const mow_shader_group* group,
                    bool clustered)
{
    int32_t fvf = group->mow_shader_group_fvf;
    int32_t vertex_count;
    if (clustered) {
        // Positions and normals are gathered through the skin slots.
        vertex_count = group->mow_translate_vtx_array_size;
        if (!walked_array_ok(found, vertex_count, group->mow_translate_vtx_array,
                             "mow_translate_vtx_array_size") ||
            !stream_ok(found, mesh, g, "mow_translate_norm_array",
                       group->mow_translate_norm_array_size, group->mow_translate_norm_array,
                       vertex_count))
            return 0;
    } else {
        vertex_count = group->mow_vtx_array_size;
        if (!walked_array_ok(found, vertex_count, group->mow_vtx_array, "mow_vtx_array_size") ||
            ((fvf & D3DFVF_NORMAL) &&
             !stream_ok(found, mesh, g, "mow_norm_array", group->mow_norm_array_size,
                        group->mow_norm_array, vertex_count)))
            return 0;
    }
    if (((fvf & D3DFVF_DIFFUSE) &&
         !stream_ok(found, mesh, g, "mow_diffuse_array", group->mow_diffuse_array_size,
                    group->mow_diffuse_array, vertex_count)) ||
        ((fvf & D3DFVF_TEXCOUNT_MASK) &&
         !stream_ok(found, mesh, g, "mow_uv_array", group->mow_uv_array_size, group->mow_uv_array,
                    vertex_count)) ||
        !walked_array_ok(found, group->mow_vtx_idx_array_size, group->mow_vtx_idx_array,
                         "mow_vtx_idx_array_size"))
        return 0;
    int32_t vertices = vertex_count > 0 ? vertex_count : 0;
    for (int32_t i = 0; i < present_count(group->mow_vtx_idx_array_size, group->mow_vtx_idx_array);
         ++i)
        if (group->mow_vtx_idx_array[i] >= vertices)
            return fault(found, "mesh %ld group %ld has index %ld = %ld of %ld vertices", mesh, g,
                         (long)i, (long)group->mow_vtx_idx_array[i], (long)vertices);
    return 1;
}

int meshes_ok(model_fault* found, const mow_model* model, int32_t pose_count)
{
    const int32_t meshes = present_count(model->mow_mesh_array_size, model->mow_mesh_array);
    for (int32_t m = 0; m < meshes; ++m) {
        const mow_mesh* mesh = &model->mow_mesh_array[m];
        bool clustered = mesh->mow_mesh_clustered != 0;
        if ((!clustered &&
             !pose_index_ok(found, mesh->mow_mesh_joint_idx, pose_count, "segmented mesh", m)) ||
            !walked_array_ok(found, mesh->mow_shader_group_array_size, mesh->mow_shader_group_array,
                             "mow_shader_group_array_size"))
            return 0;
        const int32_t groups = present_count(mesh->mow_shader_group_array_size,
                                             mesh->mow_shader_group_array);
        for (int32_t g = 0; g < groups; ++g)
            if (!shader_group_ok(found, m, g, &mesh->mow_shader_group_array[g], clustered))
                return 0;
    }
    return 1;
}

int appendages_ok(model_fault* found, const mow_model* model, int32_t pose_count)
{
    const int32_t appendages = model->mow_appendage_array_size;
    if (appendages <= 0)
        return 1;
    const int32_t chains = present_count(model->mow_appendage_info_array_size,
                                         model->mow_appendage_info_array);
    if (appendages > chains)
        return fault(found, "mow_appendage_array_size = %ld with %ld appendage chains",
                     (long)appendages, (long)chains);
    for (int32_t a = 0; a < appendages; ++a) {
        const mow_appendage_info* chain = &model->mow_appendage_info_array[a];
        if (!walked_array_ok(found, chain->mow_segment_info_array_size,
                             chain->mow_segment_info_array, "mow_segment_info_array_size"))
            return 0;
        const int32_t segments = present_count(chain->mow_segment_info_array_size,
                                               chain->mow_segment_info_array);
        for (int32_t s = 0; s < segments; ++s) {
            const mow_segment_info* segment = &chain->mow_segment_info_array[s];
            // A segment starts at its joint's pose; the second joint is read
            // only when it is not negative.
            if (segment->mow_segment_joint_idx < 0 ||
                segment->mow_segment_joint_idx >= pose_count ||
                segment->mow_segment_second_joint_idx >= pose_count)
                return fault(found, "appendage %ld segment %ld has joints %ld, %ld of %ld poses",
                             (long)a, (long)s, (long)segment->mow_segment_joint_idx,
                             (long)segment->mow_segment_second_joint_idx, (long)pose_count);
        }
    }
    return 1;
}

int model_ok(model_fault* found, const mow_model* model)
{
    if (!walked_array_ok(found, model->mow_joint_array_size, model->mow_joint_array,
                         "mow_joint_array_size") ||
        !walked_array_ok(found, model->mow_cluster_array_size, model->mow_cluster_array,
                         "mow_cluster_array_size") ||
        !walked_array_ok(found, model->mow_mesh_array_size, model->mow_mesh_array,
                         "mow_mesh_array_size") ||
        !walked_array_ok(found, model->mow_shader_filename_array_size,
                         model->mow_shader_filename_array, "mow_shader_filename_array_size"))
        return 0;
    const int32_t joints = present_count(model->mow_joint_array_size, model->mow_joint_array);
    const int32_t pose_count = mow_geo_pose_count(model);
    // A parent later in the array is posed from its previous pose; a negative
    // parent is a root.
    for (int32_t j = 0; j < joints; ++j)
        if (model->mow_joint_array[j].mow_joint_parent_idx >= joints)
            return fault(found, "joint %ld has mow_joint_parent_idx = %ld of %ld joints", (long)j,
                         (long)model->mow_joint_array[j].mow_joint_parent_idx, (long)joints);
    const int32_t clusters = present_count(model->mow_cluster_array_size, model->mow_cluster_array);
    for (int32_t c = 0; c < clusters; ++c) {
        const mow_cluster* cluster = &model->mow_cluster_array[c];
        if (!pose_index_ok(found, cluster->mow_cluster_joint_idx, pose_count, "cluster", c) ||
            !walked_array_ok(found, cluster->mow_cluster_vtx_array_size,
                             cluster->mow_cluster_vtx_array, "mow_cluster_vtx_array_size"))
            return 0;
    }
    return meshes_ok(found, model, pose_count) && appendages_ok(found, model, pose_count);
}

}  // namespace

int32_t mow_geo_pose_count(const mow_model* mow_model_ptr)
{
    if (!mow_model_ptr)
        return 0;
    int32_t joints = present_count(mow_model_ptr->mow_joint_array_size,
                                   mow_model_ptr->mow_joint_array);
    return joints > 0 ? joints : 1;
}

int mow_geo_validate_mow_model(const mow_model* mow_model_ptr)
{
    REFUSE_NULL(mow_model_ptr, "mow_geo_validate_mow_model", "mow_model_ptr", 0);
    model_fault found = {};
    if (!model_ok(&found, mow_model_ptr)) {
        const char* name = mow_model_ptr->mow_model_name;
        LOG_ERROR("Bad mow_model '%s': %s\n", name ? name : "", found.text);
        return 0;
    }
    return 1;
}
