#include "demo_model.h"

#include <cstdio>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "platform/d3d.h"

const char* const demo_model_shader_name = "demo_skin";

namespace {

const int32_t demo_fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
const win_norm facing = {0.0f, 0.0f, -1.0f};

bool make_joints(mow_model* model)
{
    model->mow_joint_array = malloc_mow_joint_array(DEMO_MODEL_JOINTS);
    if (!model->mow_joint_array)
        return false;
    model->mow_joint_array_size = DEMO_MODEL_JOINTS;
    mow_joint* root = &model->mow_joint_array[0];
    mow_joint* arm = &model->mow_joint_array[1];
    root->mow_joint_name = STRDUP("root");
    root->mow_joint_sphere_radius = 1.0f;
    root->mow_joint_sphere_center = {0.0f, 1.0f, 0.0f};
    arm->mow_joint_name = STRDUP("arm");
    arm->mow_joint_parent_idx = 0;
    arm->mow_joint_origin = {0.0f, 2.0f, 0.0f};
    // Posed under an identity parent, the arm keeps its origin only with
    // its translation bit.
    arm->mow_joint_attrib = WIN_ATTRIB_TRANSLATE_Y;
    arm->mow_joint_sphere_radius = 0.5f;
    arm->mow_joint_sphere_center = {0.0f, 1.0f, 0.0f};
    return root->mow_joint_name && arm->mow_joint_name;
}

// The body's vertices, each in its joint's frame: the lower four follow the
// root, the top two the arm.
struct body_vertex {
    int32_t joint;
    win_vect3 pos;
    float weight;
};
const body_vertex body_vertices[DEMO_MODEL_BODY_VERTICES] = {
    {0, {-1.0f, 0.0f, 0.0f}, 1.0f}, {0, {1.0f, 0.0f, 0.0f}, 1.0f},  {0, {-1.0f, 2.0f, 0.0f}, 1.0f},
    {0, {1.0f, 2.0f, 0.0f}, 1.0f},  {1, {-1.0f, 2.0f, 0.0f}, 1.0f}, {1, {1.0f, 2.0f, 0.0f}, 0.5f},
};

bool make_clusters(mow_model* model)
{
    model->mow_cluster_array = malloc_mow_cluster_array(DEMO_MODEL_JOINTS);
    if (!model->mow_cluster_array)
        return false;
    model->mow_cluster_array_size = DEMO_MODEL_JOINTS;
    bool ok = true;
    for (int32_t joint = 0; joint < DEMO_MODEL_JOINTS; ++joint) {
        mow_cluster* cluster = &model->mow_cluster_array[joint];
        cluster->mow_cluster_name = STRDUP(joint ? "arm_skin" : "root_skin");
        cluster->mow_cluster_joint_idx = joint;
        cluster->mow_cluster_vtx_array = malloc_mow_cluster_vtx_array(4);
        if (!cluster->mow_cluster_name || !cluster->mow_cluster_vtx_array) {
            ok = false;
            continue;
        }
        int32_t n = 0;
        for (int32_t slot = 0; slot < DEMO_MODEL_BODY_VERTICES; ++slot) {
            if (body_vertices[slot].joint != joint)
                continue;
            mow_cluster_vtx* vtx = &cluster->mow_cluster_vtx_array[n++];
            vtx->mow_cluster_vtx_pos = body_vertices[slot].pos;
            vtx->mow_cluster_vtx_norm = facing;
            vtx->mow_cluster_vtx_weight = body_vertices[slot].weight;
            vtx->mow_cluster_vtx_translate_vtx = (win_vect3_ptr)(uintptr_t)slot;
            vtx->mow_cluster_vtx_translate_norm = (win_norm_ptr)(uintptr_t)slot;
        }
        cluster->mow_cluster_vtx_array_size = n;
    }
    return ok;
}

// Fills the texture coordinates and, when given, the positions and normals of
// a group's `n` vertices.
bool make_streams(mow_shader_group* group, int32_t n, const win_vect3* positions, const win_uv* uvs)
{
    group->mow_uv_array = malloc_win_uv_array(n);
    if (!group->mow_uv_array)
        return false;
    group->mow_uv_array_size = n;
    for (int32_t i = 0; i < n; ++i)
        group->mow_uv_array[i] = uvs[i];
    if (!positions)
        return true;
    group->mow_vtx_array = malloc_win_vect3_array(n);
    group->mow_norm_array = malloc_win_norm_array(n);
    if (!group->mow_vtx_array || !group->mow_norm_array)
        return false;
    group->mow_vtx_array_size = group->mow_norm_array_size = n;
    for (int32_t i = 0; i < n; ++i) {
        group->mow_vtx_array[i] = positions[i];
        group->mow_norm_array[i] = facing;
    }
    return true;
}

bool make_indices(mow_shader_group* group, const uint16_t* indices, int32_t n)
{
    group->mow_vtx_idx_array = (uint16_t*)MALLOC(sizeof(uint16_t) * n);
    if (!group->mow_vtx_idx_array)
        return false;
    group->mow_vtx_idx_array_size = n;
    for (int32_t i = 0; i < n; ++i)
        group->mow_vtx_idx_array[i] = indices[i];
    return true;
}

// A mesh of one shader group drawn with the model's first shader; the group,
// or NULL.
mow_shader_group* make_mesh(mow_mesh* mesh, const char* name, int32_t clustered, int32_t joint)
{
    mesh->mow_mesh_name = STRDUP(name);
    mesh->mow_mesh_clustered = clustered;
    mesh->mow_mesh_joint_idx = joint;
    mesh->mow_shader_group_array = malloc_mow_shader_group_array(1);
    if (!mesh->mow_mesh_name || !mesh->mow_shader_group_array)
        return nullptr;
    mesh->mow_shader_group_array_size = 1;
    mow_shader_group* group = mesh->mow_shader_group_array;
    group->mow_shader_group_fvf = demo_fvf;
    group->mow_shader_group_shader_idx = 0;
    return group;
}

bool make_body(mow_mesh* body)
{
    static const win_uv uvs[DEMO_MODEL_BODY_VERTICES] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {0.0f, 0.5f},
                                                         {1.0f, 0.5f}, {0.0f, 0.0f}, {1.0f, 0.0f}};
    static const uint16_t indices[DEMO_MODEL_BODY_INDICES] = {0, 2, 1, 1, 2, 3, 2, 4, 3, 3, 4, 5};
    mow_shader_group* group = make_mesh(body, "body", 1, -1);
    if (!group)
        return false;
    group->mow_translate_vtx_array = malloc_win_vect3_ptr_array(DEMO_MODEL_BODY_VERTICES);
    group->mow_translate_norm_array = malloc_win_norm_ptr_array(DEMO_MODEL_BODY_VERTICES);
    if (!group->mow_translate_vtx_array || !group->mow_translate_norm_array)
        return false;
    group->mow_translate_vtx_array_size = DEMO_MODEL_BODY_VERTICES;
    group->mow_translate_norm_array_size = DEMO_MODEL_BODY_VERTICES;
    for (int32_t slot = 0; slot < DEMO_MODEL_BODY_VERTICES; ++slot) {
        group->mow_translate_vtx_array[slot] = (win_vect3_ptr)(uintptr_t)slot;
        group->mow_translate_norm_array[slot] = (win_norm_ptr)(uintptr_t)slot;
    }
    return make_streams(group, DEMO_MODEL_BODY_VERTICES, nullptr, uvs) &&
           make_indices(group, indices, DEMO_MODEL_BODY_INDICES);
}

bool make_hat(mow_mesh* hat)
{
    static const win_vect3 positions[DEMO_MODEL_HAT_VERTICES] = {
        {-0.5f, 2.0f, 0.0f}, {0.5f, 2.0f, 0.0f}, {0.0f, 3.0f, 0.0f}};
    static const win_uv uvs[DEMO_MODEL_HAT_VERTICES] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {0.5f, 0.0f}};
    static const uint16_t indices[DEMO_MODEL_HAT_VERTICES] = {0, 2, 1};
    mow_shader_group* group = make_mesh(hat, "hat", 0, 1);
    return group && make_streams(group, DEMO_MODEL_HAT_VERTICES, positions, uvs) &&
           make_indices(group, indices, DEMO_MODEL_HAT_VERTICES);
}

bool make_appendage(mow_model* model)
{
    model->mow_appendage_info_array = malloc_mow_appendage_info_array(1);
    if (!model->mow_appendage_info_array)
        return false;
    model->mow_appendage_info_array_size = 1;
    model->mow_appendage_array_size = 1;
    mow_appendage_info* chain = model->mow_appendage_info_array;
    chain->mow_segment_info_array = malloc_mow_segment_info_array(1);
    if (!chain->mow_segment_info_array)
        return false;
    chain->mow_segment_info_array_size = 1;
    chain->mow_segment_info_array[0].mow_segment_joint_idx = 1;
    return true;
}

}  // namespace

mow_model* demo_model_make(const char* name)
{
    mow_model* model = malloc_mow_model(name);
    if (!model)
        return nullptr;
    model->mow_mesh_array = malloc_mow_mesh_array(2);
    model->mow_shader_filename_array = malloc_win_filename_ptr_array(1);
    bool ok = model->mow_mesh_array && model->mow_shader_filename_array;
    if (ok) {
        model->mow_mesh_array_size = 2;
        model->mow_shader_filename_array_size = 1;
        model->mow_shader_filename_array[0] = STRDUP(demo_model_shader_name);
        ok = model->mow_shader_filename_array[0] && make_body(&model->mow_mesh_array[0]) &&
             make_hat(&model->mow_mesh_array[1]);
    }
    ok = ok && make_joints(model) && make_clusters(model) && make_appendage(model);
    model->mow_model_sphere_center = {0.0f, 2.0f, 0.0f};
    model->mow_model_sphere_radius = 3.0f;
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make the demo model.");
        free_mow_model(model);
        return nullptr;
    }
    return model;
}

mow_model* demo_model_make_chain(const char* name, int32_t joints)
{
    mow_model* model = malloc_mow_model(name);
    if (!model)
        return nullptr;
    model->mow_joint_array = malloc_mow_joint_array(joints);
    bool ok = model->mow_joint_array != nullptr;
    if (ok)
        model->mow_joint_array_size = joints;
    for (int32_t i = 0; ok && i < joints; ++i) {
        mow_joint* joint = &model->mow_joint_array[i];
        joint->mow_joint_name = STRDUP("joint");
        joint->mow_joint_parent_idx = i - 1;
        joint->mow_joint_origin = {0.0f, i ? 1.0f : 0.0f, 0.0f};
        joint->mow_joint_attrib = WIN_ATTRIB_TRANSLATE_Y;
        joint->mow_joint_sphere_radius = 0.5f;
        joint->mow_joint_sphere_center = {0.0f, 0.5f, 0.0f};
        ok = joint->mow_joint_name != nullptr;
    }
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make a demo chain.");
        free_mow_model(model);
        return nullptr;
    }
    return model;
}

int demo_write_record_file(const char* path, int32_t file_type, int32_t file_version,
                           const record_type* type, const void* record)
{
    FILE* file = file_open_write_version_bin(path, file_type, file_version);
    if (!file)
        return 0;
    int ok = record_write_bin(type, file, record);
    return file_close(file) && ok;
}

int demo_model_write_file(const char* path, const mow_model* model)
{
    return demo_write_record_file(path, FILE_TYPE_MODEL, FILE_VERSION_MODEL, &mow_model_desc,
                                  model);
}

int demo_model_write(const char* path, const char* name)
{
    mow_model* model = demo_model_make(name);
    if (!model)
        return 0;
    int ok = demo_model_write_file(path, model);
    free_mow_model(model);
    return ok;
}
