#include "demo_model.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "platform/d3d.h"
#include "win_math.h"

const char* const demo_model_shader_name = "demo_skin";

namespace {

const int32_t demo_fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
const win_norm facing = {0.0f, 0.0f, -1.0f};

// One joint of a skeleton as the makers give it.
struct joint_spec {
    const char* name;
    int32_t parent;
    win_vect3 origin;  // in the parent's frame
    float sphere_radius;
    win_vect3 sphere_center;
};

// The figure's own two joints: "root" at the origin and "arm" 2 units above.
const joint_spec figure_joints[DEMO_MODEL_JOINTS] = {
    {"root", -1, {0.0f, 0.0f, 0.0f}, 1.0f, {0.0f, 1.0f, 0.0f}},
    {"arm", 0, {0.0f, 2.0f, 0.0f}, 0.5f, {0.0f, 1.0f, 0.0f}},
};

// The translation bits of an origin: posed under an identity parent, a joint
// keeps its origin only with them.
int32_t origin_bits(const win_vect3& origin)
{
    return (origin.x != 0.0f ? WIN_ATTRIB_TRANSLATE_X : 0) |
           (origin.y != 0.0f ? WIN_ATTRIB_TRANSLATE_Y : 0) |
           (origin.z != 0.0f ? WIN_ATTRIB_TRANSLATE_Z : 0);
}

bool make_joints(mow_model* model, const joint_spec* joints, int32_t count)
{
    model->mow_joint_array = malloc_mow_joint_array(count);
    if (!model->mow_joint_array)
        return false;
    model->mow_joint_array_size = count;
    bool ok = true;
    for (int32_t i = 0; i < count; ++i) {
        mow_joint* joint = &model->mow_joint_array[i];
        joint->mow_joint_name = STRDUP(joints[i].name);
        joint->mow_joint_parent_idx = joints[i].parent;
        joint->mow_joint_origin = joints[i].origin;
        joint->mow_joint_attrib = origin_bits(joints[i].origin);
        joint->mow_joint_sphere_radius = joints[i].sphere_radius;
        joint->mow_joint_sphere_center = joints[i].sphere_center;
        ok = joint->mow_joint_name && ok;
    }
    return ok;
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

// ---- The hero ----

// A flat four-cornered piece of a rigid mesh, its corners in order round it
// in its joint's frame.
struct quad {
    win_vect3 corner[4];
};

win_vect3 plus(win_vect3 a, win_vect3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
win_vect3 times(win_vect3 a, float k)
{
    return {a.x * k, a.y * k, a.z * k};
}

// A rigid mesh of `quads` on `joint`, each facing the side its corners turn
// about (the level shows the hero's faces from both sides).
bool make_rigid_mesh(mow_mesh* mesh, const char* name, int32_t joint,
                     const std::vector<quad>& quads)
{
    mow_shader_group* group = make_mesh(mesh, name, 0, joint);
    const int32_t n = 4 * (int32_t)quads.size();
    std::vector<win_vect3> positions;
    std::vector<win_uv> uvs;
    std::vector<uint16_t> indices;
    static const win_uv corner_uv[4] = {{0.0f, 1.0f}, {0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
    for (const quad& q : quads) {
        const uint16_t first = (uint16_t)positions.size();
        for (int c = 0; c < 4; ++c) {
            positions.push_back(q.corner[c]);
            uvs.push_back(corner_uv[c]);
        }
        for (int i : {0, 1, 2, 0, 2, 3})
            indices.push_back((uint16_t)(first + i));
    }
    if (!group || !make_streams(group, n, positions.data(), uvs.data()) ||
        !make_indices(group, indices.data(), (int32_t)indices.size()))
        return false;
    for (int32_t q = 0; q < (int32_t)quads.size(); ++q) {
        win_vect3 a = quads[q].corner[0], b = quads[q].corner[1], c = quads[q].corner[2];
        win_vect3 u = {b.x - a.x, b.y - a.y, b.z - a.z}, v = {c.x - a.x, c.y - a.y, c.z - a.z};
        win_norm normal = {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
        win_math_normalize_norm_inline(&normal);
        for (int c4 = 0; c4 < 4; ++c4)
            group->mow_norm_array[4 * q + c4] = normal;
    }
    return true;
}

// The direction in the left arm's frame that its rest turn takes to the
// figure's forward (-z): where the arm reaches and the hand is.
win_vect3 left_arm_reach(const float rest[3])
{
    win_matrix43 turn;
    win_math_set_rot_trans_matrix43(&turn, rest[0], rest[1], rest[2], 0.0f, 0.0f, 0.0f);
    win_math_transpose_matrix43_inline(&turn);
    const win_vect3 forward = {0.0f, 0.0f, -1.0f};
    win_vect3 reach;
    win_math_multiply_vect3_by_matrix43(&reach, &forward, &turn);
    return reach;
}

// The hero's skeleton: the figure's two joints, then the body (its sphere the
// reach of the whole figure in the hit rules), the head, the arms (the left
// one reaching out from its shoulder), the legs and the tail, whose joints
// follow one another backwards from the hips.
std::vector<joint_spec> hero_joints(const float left_arm_rest[3])
{
    const win_vect3 hand = left_arm_reach(left_arm_rest);
    const win_vect3 tail_step = {0.0f, -0.1f, 0.4f};
    std::vector<joint_spec> joints = {
        figure_joints[0],
        figure_joints[1],
        {"spine", 0, {0.0f, 1.0f, 0.0f}, 3.0f, {0.0f, 0.2f, 0.0f}},
        {"chest", 2, {0.0f, 0.8f, 0.0f}, -1.0f, {}},
        {"neck", 3, {0.0f, 0.6f, 0.0f}, -1.0f, {}},
        {"head", 4, {0.0f, 0.4f, 0.0f}, -1.0f, {}},
        {"left_shoulder", 3, {-0.8f, 0.3f, 0.0f}, -1.0f, {}},
        {"left_arm", 6, {-0.2f, 0.0f, 0.0f}, -1.0f, {}},
        {"left_hand", 7, times(hand, DEMO_MODEL_HERO_ARM_LENGTH), -1.0f, {}},
        {"right_shoulder", 3, {0.8f, 0.3f, 0.0f}, -1.0f, {}},
        {"right_hand", 9, {0.2f, -0.9f, 0.0f}, -1.0f, {}},
        {"left_hip", 0, {-0.4f, 0.9f, 0.0f}, -1.0f, {}},
        {"left_knee", 11, {0.0f, -0.45f, 0.0f}, -1.0f, {}},
        {"left_ankle", 12, {0.0f, -0.45f, 0.0f}, -1.0f, {}},
        {"left_toe", 13, {0.0f, 0.0f, -0.3f}, -1.0f, {}},
        {"right_hip", 0, {0.4f, 0.9f, 0.0f}, -1.0f, {}},
        {"right_knee", 15, {0.0f, -0.45f, 0.0f}, -1.0f, {}},
        {"right_ankle", 16, {0.0f, -0.45f, 0.0f}, -1.0f, {}},
        {"right_toe", 17, {0.0f, 0.0f, -0.3f}, -1.0f, {}},
        {"jaw", 5, {0.0f, 0.1f, -0.2f}, -1.0f, {}},
        {"tail_base", 0, {0.0f, 0.9f, 0.3f}, -1.0f, {}},
    };
    for (int32_t i = 0; i < DEMO_MODEL_HERO_TAIL_JOINTS; ++i)
        joints.push_back({demo_model_hero_tail_names[i],
                          DEMO_MODEL_HERO_FIRST_TAIL_JOINT - 1 + i,
                          i ? tail_step : win_vect3{0.0f, 0.0f, 0.3f},
                          -1.0f,
                          {}});
    return joints;
}

// The hero's limbs beyond the figure: the left arm, a thin cross of two
// strips from its shoulder to its hand, and the tail, a strip narrowing from
// joint to joint.
bool make_limbs(mow_mesh* meshes, const float left_arm_rest[3])
{
    const win_vect3 reach = times(left_arm_reach(left_arm_rest), DEMO_MODEL_HERO_ARM_LENGTH);
    win_vect3 side = {-reach.z, 0.0f, reach.x};  // across the reach, level
    const float across = std::sqrt(side.x * side.x + side.z * side.z);
    side = times(side, 0.15f / across);
    const win_vect3 up = {0.0f, 0.15f, 0.0f}, down = times(up, -1.0f), other = times(side, -1.0f);
    bool ok = make_rigid_mesh(&meshes[0], "left_arm", DEMO_MODEL_HERO_LEFT_ARM_JOINT,
                              {{{side, plus(reach, side), plus(reach, other), other}},
                               {{up, plus(reach, up), plus(reach, down), down}}});
    const win_vect3 step = {0.0f, -0.1f, 0.4f};
    for (int32_t i = 0; ok && i < DEMO_MODEL_HERO_TAIL_JOINTS; ++i) {
        const float near = 0.2f - 0.03f * (float)i, far = near - 0.03f;
        ok = make_rigid_mesh(&meshes[1 + i], demo_model_hero_tail_names[i],
                             DEMO_MODEL_HERO_FIRST_TAIL_JOINT + i,
                             {{{{-near, 0.0f, 0.0f},
                                plus(step, {-far, 0.0f, 0.0f}),
                                plus(step, {far, 0.0f, 0.0f}),
                                {near, 0.0f, 0.0f}}}});
    }
    return ok;
}

// The six faces of the box from `low` to `high`, each wound to face out
// (make_rigid_mesh takes a face's normal from its first three corners).
std::vector<quad> box_quads(win_vect3 low, win_vect3 high)
{
    const float x0 = low.x, y0 = low.y, z0 = low.z, x1 = high.x, y1 = high.y, z1 = high.z;
    return {
        {{{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}}},  // top
        {{{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}},  // bottom
        {{{x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}}},  // front, -z
        {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}},  // back, +z
        {{{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}}},  // left, -x
        {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}},  // right, +x
    };
}

// The solid figures' volume: closed boxes round the flat body and hat, each
// in its joint's frame, so that a figure reads from every side. The lower
// box holds the body's lower quad (on the root), the upper one its upper
// quad (on the arm, from the arm joint up), the head the hat.
struct volume_box {
    const char* name;
    int32_t joint;
    win_vect3 low, high;
};
const volume_box figure_volume[DEMO_MODEL_VOLUME_BOXES] = {
    {"hips", 0, {-1.05f, 0.0f, -0.55f}, {1.05f, 2.05f, 0.55f}},
    {"chest", 1, {-1.05f, -0.05f, -0.55f}, {1.05f, 2.0f, 0.55f}},
    {"head", 1, {-0.55f, 2.0f, -0.45f}, {0.55f, 3.05f, 0.45f}},
};

bool make_volume(mow_mesh* meshes)
{
    bool ok = true;
    for (int32_t i = 0; ok && i < DEMO_MODEL_VOLUME_BOXES; ++i)
        ok = make_rigid_mesh(&meshes[i], figure_volume[i].name, figure_volume[i].joint,
                             box_quads(figure_volume[i].low, figure_volume[i].high));
    return ok;
}

// The figure: its skeleton (`joints`), the body and the hat, and `limbs`
// more meshes made by `make_more`.
mow_model* make_figure(const char* name, const std::vector<joint_spec>& joints, int32_t limbs,
                       const std::function<bool(mow_mesh*)>& make_more)
{
    mow_model* model = malloc_mow_model(name);
    if (!model)
        return nullptr;
    model->mow_mesh_array = malloc_mow_mesh_array(2 + limbs);
    model->mow_shader_filename_array = malloc_win_filename_ptr_array(1);
    bool ok = model->mow_mesh_array && model->mow_shader_filename_array;
    if (ok) {
        model->mow_mesh_array_size = 2 + limbs;
        model->mow_shader_filename_array_size = 1;
        model->mow_shader_filename_array[0] = STRDUP(demo_model_shader_name);
        ok = model->mow_shader_filename_array[0] && make_body(&model->mow_mesh_array[0]) &&
             make_hat(&model->mow_mesh_array[1]) &&
             (!make_more || make_more(&model->mow_mesh_array[2]));
    }
    ok = ok && make_joints(model, joints.data(), (int32_t)joints.size()) && make_clusters(model) &&
         make_appendage(model);
    model->mow_model_sphere_center = {0.0f, 2.0f, 0.0f};
    model->mow_model_sphere_radius = 3.0f;
    if (!ok) {
        LOG_ERROR("%s\n", "Could not make the demo model.");
        free_mow_model(model);
        return nullptr;
    }
    return model;
}

}  // namespace

const char* const demo_model_hero_tail_names[DEMO_MODEL_HERO_TAIL_JOINTS] = {
    "tail_1", "tail_2", "tail_3", "tail_4", "tail_5"};

mow_model* demo_model_make(const char* name)
{
    return make_figure(name, {figure_joints, figure_joints + DEMO_MODEL_JOINTS}, 0, nullptr);
}

mow_model* demo_model_make_solid(const char* name)
{
    return make_figure(name, {figure_joints, figure_joints + DEMO_MODEL_JOINTS},
                       DEMO_MODEL_VOLUME_BOXES, make_volume);
}

mow_model* demo_model_make_hero(const char* name, const float left_arm_rest[3])
{
    return make_figure(name, hero_joints(left_arm_rest),
                       DEMO_MODEL_VOLUME_BOXES + 1 + DEMO_MODEL_HERO_TAIL_JOINTS,
                       [&](mow_mesh* meshes) {
                           return make_volume(meshes) &&
                                  make_limbs(meshes + DEMO_MODEL_VOLUME_BOXES, left_arm_rest);
                       });
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
