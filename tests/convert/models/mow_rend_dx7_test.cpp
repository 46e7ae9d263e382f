// The model renderer on the recording back-end: the device calls of drawing
// the demo figure, the skinning output against hand-computed values, the
// texture binding's comparisons, the wireframe, the debug shapes, and the
// models that preparation refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "demo_model.h"
#include "heap.h"
#include "mow_rend_dx7.h"
#include "platform/d3d_record.h"
#include "texture_support.h"
#include "win_math.h"
#include "world_services.h"

namespace {

const float tolerance = 1e-5f;

// A 4 x 4 texture on the device, in a container that carries the flags the
// renderer reads.
struct TestTexture {
    texture_container container = {};
    TestTexture(bool transparent, bool has_alpha)
    {
        DWORD size = 4;
        D3DX_SURFACEFORMAT format = has_alpha ? D3DX_SF_A8R8G8B8 : D3DX_SF_X8R8G8B8;
        EXPECT_EQ(D3DXCreateTexture(d3dx_globals.device, nullptr, &size, &size, &format, nullptr,
                                    &container.texture_container_surface, nullptr),
                  S_OK);
        container.texture_container_transparent = transparent ? 1 : 0;
        container.texture_container_has_alpha = has_alpha ? 1 : 0;
    }
    ~TestTexture()
    {
        if (container.texture_container_surface)
            container.texture_container_surface->Release();
    }
};

// A shader showing its one texture (or none).
struct TestShader {
    texture_container_ptr slot = nullptr;
    win_shader shader = {};  // its texture array is `slot`
    TestShader(const TestShader&) = delete;
    TestShader& operator=(const TestShader&) = delete;
    explicit TestShader(texture_container* texture)
    {
        slot = texture;
        shader.texture_container_ptr_array_size = 1;
        shader.texture_container_ptr_array = &slot;
        shader.current_texture = 0;
    }
};

void expect_near(const win_vect3& got, float x, float y, float z, const char* what)
{
    EXPECT_NEAR(got.x, x, tolerance) << what;
    EXPECT_NEAR(got.y, y, tolerance) << what;
    EXPECT_NEAR(got.z, z, tolerance) << what;
}

class ModelRenderer : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        model = demo_model_make("figure");
        ASSERT_NE(model, nullptr);
        ASSERT_EQ(mow_rend_init_mow_model(model), 1);
        poses = malloc_mow_track_augment_array(DEMO_MODEL_JOINTS);
        pose_by_hand();
        plain = std::make_unique<TestTexture>(false, false);
        blended = std::make_unique<TestTexture>(true, true);
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    }
    void TearDown() override
    {
        if (d3dx_globals.device)
            d3dxframe_end_scene();
        plain.reset();
        blended.reset();
        free_mow_track_augment_array(poses, DEMO_MODEL_JOINTS);
        if (model)
            free_mow_model(model);
        TextureFrameTest::TearDown();
    }

    // The root turned 0.5 about y and raised 0.25; the arm, 2.25 above the
    // origin, turned 0.6 about x and moved 0.5 along x in its own frame.
    void pose_by_hand()
    {
        mow_track_augment& root = poses[0];
        root.mow_augment_xform = {
            0.0f, 0.25f, 0.0f, 0.0f, 0.5f,
            0.0f, 1.0f,  1.0f, 1.0f, WIN_ATTRIB_TRANSLATE_Y | WIN_ATTRIB_ROTATE_Y};
        root.mow_augment_joint_matrix = win_math_identity_matrix43;
        mow_track_augment& arm = poses[1];
        arm.mow_augment_xform = {
            0.5f, 0.0f, 0.0f, 0.6f, 0.0f,
            0.0f, 1.0f, 1.0f, 1.0f, WIN_ATTRIB_TRANSLATE_X | WIN_ATTRIB_ROTATE_X};
        win_math_set_translate_matrix43(&arm.mow_augment_joint_matrix, 0.0f, 2.25f, 0.0f);
        // What the arm's world matrix would be, for the hat.
        win_matrix43 local;
        win_math_xform_to_txzy_matrix43(&arm.mow_augment_xform, &local);
        win_math_multiply_matrix43(&arm.mow_augment_matrix, &local, &arm.mow_augment_joint_matrix);
    }

    // The device calls `act` makes, as the record has them.
    std::vector<std::string> calls_of(const std::function<void()>& act)
    {
        int from = d3d_record_count();
        d3d_record_start();
        act();
        d3d_record_stop();
        std::vector<std::string> calls;
        for (int i = from; i < d3d_record_count(); ++i)
            calls.push_back(d3d_record_get(i));
        return calls;
    }

    int draw(const win_shader* shaders, int32_t count)
    {
        return mow_rend_rend_mow_model(model, shaders, count, poses, 0);
    }

    // The last draw of the figure's body alone: its six skinned vertices.
    const d3d_recorded_draw* draw_body()
    {
        model->mow_mesh_array_size = 1;
        int drawn = mow_rend_rend_mow_model(model, nullptr, 0, poses, 0);
        model->mow_mesh_array_size = 2;
        EXPECT_EQ(drawn, 1);
        return d3d_recorded_last_draw();
    }

    DWORD render_state(DWORD type)
    {
        DWORD value = 0xDEAD;
        d3dx_globals.device->GetRenderState(type, &value);
        return value;
    }

    win_matrix44 world()
    {
        win_matrix44 matrix = {};
        d3dxframe_get_world_transform(&matrix);
        return matrix;
    }

    mow_model* model = nullptr;
    mow_track_augment* poses = nullptr;
    std::unique_ptr<TestTexture> plain, blended;
};

bool same_matrix(const D3DMATRIX& a, const win_matrix44& b)
{
    return std::memcmp(&a, &b, sizeof b) == 0;
}

bool same_matrix(const win_matrix44& a, const win_matrix44& b)
{
    return std::memcmp(&a, &b, sizeof b) == 0;
}

}  // namespace

TEST_F(ModelRenderer, TheFigureIsDrawnWithTheseDeviceCalls)
{
    TestShader shader(&plain->container);
    // The body (clustered) binds the texture, reading the two blending states
    // and the filter, which already hold what the texture asks for; the hat
    // (segmented) draws under the arm's matrix with the texture still bound.
    const std::vector<std::string> first = {
        "Device.SetTexture 0 texture",
        "Device.GetRenderState 41",
        "Device.GetRenderState 27",
        "Device.GetTextureStageState 0 16",
        "Device.DrawIndexedPrimitiveStrided 4 0x112 6 12 0",
        "Device.SetTransform 1",
        "Device.DrawIndexedPrimitiveStrided 4 0x112 3 3 0",
        "Device.SetTransform 1",
    };
    EXPECT_EQ(calls_of([&] { EXPECT_EQ(draw(&shader.shader, 1), 1); }), first);
    EXPECT_EQ(d3dtextr_current_texture, &plain->container);
    const d3d_recorded_draw* hat = d3d_recorded_last_draw();
    win_matrix44 arm;
    win_math_matrix43_to_matrix44(&arm, &poses[1].mow_augment_matrix);
    EXPECT_TRUE(same_matrix(hat->world, arm)) << "the hat under the arm's matrix";
    EXPECT_EQ(hat->texture0, plain->container.texture_container_surface);
    EXPECT_TRUE(same_matrix(world(), win_math_identity_matrix44)) << "the identity after the model";

    // The next frame binds nothing: the texture is the one bound.
    const std::vector<std::string> again = {
        "Device.DrawIndexedPrimitiveStrided 4 0x112 6 12 0",
        "Device.SetTransform 1",
        "Device.DrawIndexedPrimitiveStrided 4 0x112 3 3 0",
        "Device.SetTransform 1",
    };
    EXPECT_EQ(calls_of([&] { EXPECT_EQ(draw(&shader.shader, 1), 1); }), again);
    EXPECT_TRUE(log->errors().empty());
    EXPECT_TRUE(log->warnings().empty());
}

TEST_F(ModelRenderer, ATextureSetsOnlyTheStatesTheDeviceDoesNotHold)
{
    // The body draws with a colour-keyed texture with alpha, the hat with a
    // plain one: each switches keying, blending and filtering over. With
    // bilinear filtering off the frame drops the requests for linear
    // filtering.
    model->mow_mesh_array[1].mow_shader_group_array[0].mow_shader_group_shader_idx = 1;
    TestShader keyed_shader(&blended->container), plain_shader(&plain->container);
    win_shader array[2] = {keyed_shader.shader, plain_shader.shader};
    for (int bilinear : {1, 0}) {
        SCOPED_TRACE(bilinear ? "bilinear filtering" : "point filtering only");
        d3dxframe_set_bilinear_filtering(1);
        d3dxframe_set_texture_stage_state(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        d3dxframe_set_texture(0, nullptr);
        d3dxframe_set_bilinear_filtering(bilinear);
        std::vector<std::string> expected = {
            "Device.SetTexture 0 texture",
            "Device.GetRenderState 41",
            "Device.SetRenderState 41 1",
            "Device.GetRenderState 27",
            "Device.SetRenderState 27 1",
            "Device.SetRenderState 19 5",
            "Device.SetRenderState 20 6",
            "Device.GetTextureStageState 0 16",
            "Device.SetTextureStageState 0 16 1",
            "Device.SetTextureStageState 0 17 1",
            "Device.DrawIndexedPrimitiveStrided 4 0x112 6 12 0",
            "Device.SetTransform 1",
            "Device.SetTexture 0 texture",
            "Device.GetRenderState 41",
            "Device.SetRenderState 41 0",
            "Device.GetRenderState 27",
            "Device.SetRenderState 27 0",
            "Device.SetRenderState 19 5",
            "Device.SetRenderState 20 6",
            "Device.GetTextureStageState 0 16",
        };
        if (bilinear)
            expected.insert(expected.end(), {"Device.SetTextureStageState 0 16 2",
                                             "Device.SetTextureStageState 0 17 2"});
        expected.insert(expected.end(), {"Device.DrawIndexedPrimitiveStrided 4 0x112 3 3 0",
                                         "Device.SetTransform 1"});
        EXPECT_EQ(calls_of([&] { EXPECT_EQ(draw(array, 2), 1); }), expected);
        EXPECT_EQ(d3dtextr_current_texture, &plain->container);
    }
}

TEST_F(ModelRenderer, AGroupWithoutATextureToShowDrawsUntextured)
{
    // The body draws with the case's shaders; the hat with a good one, which
    // it binds again after the untextured body.
    TestTexture bare(false, false);
    bare.container.texture_container_surface->Release();
    bare.container.texture_container_surface = nullptr;  // as after a device loss
    TestShader good(&plain->container);
    struct Case {
        const char* what;
        std::function<void(win_shader*, int32_t*, int32_t*)> change;  // body's shader, count, index
        bool warns;
    };
    const Case cases[] = {
        {"no shader array", [](win_shader*, int32_t* count, int32_t*) { *count = -1; }, false},
        {"shader index -1", [](win_shader*, int32_t*, int32_t* index) { *index = -1; }, false},
        {"shader index past the array", [](win_shader*, int32_t*, int32_t* index) { *index = 2; },
         false},
        {"no current texture", [](win_shader* s, int32_t*, int32_t*) { s->current_texture = -1; },
         false},
        {"current texture past the slots",
         [](win_shader* s, int32_t*, int32_t*) { s->current_texture = 1; }, false},
        {"empty slot",
         [](win_shader* s, int32_t*, int32_t*) { s->texture_container_ptr_array[0] = nullptr; },
         false},
        {"no texture slots",
         [](win_shader* s, int32_t*, int32_t*) { s->texture_container_ptr_array = nullptr; }, true},
        {"a texture without its surface",
         [&](win_shader* s, int32_t*, int32_t*) {
             s->texture_container_ptr_array[0] = &bare.container;
         },
         false},
    };
    mow_shader_group* body = model->mow_mesh_array[0].mow_shader_group_array;
    model->mow_mesh_array[1].mow_shader_group_array[0].mow_shader_group_shader_idx = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestShader shader(&blended->container);
        win_shader array[2] = {shader.shader, good.shader};
        int32_t count = 2, index = 0;
        c.change(&array[0], &count, &index);
        body->mow_shader_group_shader_idx = index;
        log->clear();
        std::vector<std::string> calls = calls_of(
            [&] { EXPECT_EQ(draw(count < 0 ? nullptr : array, count < 0 ? 0 : count), 1); });
        ASSERT_GE(calls.size(), 4u);
        EXPECT_EQ(calls[0], "Device.SetTexture 0 none");
        EXPECT_EQ(calls[1], "Device.DrawIndexedPrimitiveStrided 4 0x112 6 12 0");
        if (count < 0) {
            EXPECT_EQ(calls[3], "Device.SetTexture 0 none") << "no shaders for the hat either";
        } else {
            EXPECT_EQ(calls[3], "Device.SetTexture 0 texture") << "the hat binds its texture";
            EXPECT_EQ(d3dtextr_current_texture, &plain->container);
        }
        EXPECT_EQ(log->warnings(),
                  c.warns ? std::vector<std::string>{"texture_container_ptr_array is NULL"}
                          : std::vector<std::string>{});
        EXPECT_TRUE(log->errors().empty());
    }
}

TEST_F(ModelRenderer, SkinningFollowsEachJointByItsVertexWeights)
{
    const d3d_recorded_draw* body = draw_body();
    ASSERT_EQ(body->vertex_count, (DWORD)DEMO_MODEL_BODY_VERTICES);
    EXPECT_TRUE(same_matrix(body->world, win_math_identity_matrix44)) << "skinned in world space";
    auto position = [&](int slot) {
        const d3d_recorded_vertex& v = body->vertices[slot];
        return win_vect3{v.x, v.y, v.z};
    };
    auto normal = [&](int slot) {
        const d3d_recorded_vertex& v = body->vertices[slot];
        return win_vect3{v.nx, v.ny, v.nz};
    };
    // Root, weight 1: p Ry(0.5) + (0, 0.25, 0), for (-1, 0, 0) and (1, 2, 0).
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    expect_near(position(0), -c, 0.25f, s, "slot 0");
    expect_near(position(3), c, 2.25f, -s, "slot 3");
    expect_near(normal(0), -s, 0.0f, -c, "slot 0 normal");
    // Arm, weight 1 and 0.5: (x, y, 0) Rx(0.6 w) + (0.5, 2.25, 0), for
    // (-1, 2, 0) and (1, 2, 0); the normal (0, 0, -1) turns with it.
    const float c1 = std::cos(0.6f), s1 = std::sin(0.6f);
    const float c2 = std::cos(0.3f), s2 = std::sin(0.3f);
    expect_near(position(4), -0.5f, 2.25f + 2.0f * c1, 2.0f * s1, "slot 4, weight 1");
    expect_near(position(5), 1.5f, 2.25f + 2.0f * c2, 2.0f * s2, "slot 5, weight 0.5");
    expect_near(normal(4), 0.0f, s1, -c1, "slot 4 normal");
    expect_near(normal(5), 0.0f, s2, -c2, "slot 5 normal");

    // Weight 0: the joint frame with the local translation, no rotation.
    model->mow_cluster_array[1].mow_cluster_vtx_array[1].mow_cluster_vtx_weight = 0.0f;
    body = draw_body();
    expect_near(position(5), 1.5f, 4.25f, 0.0f, "slot 5, weight 0");
    expect_near(normal(5), 0.0f, 0.0f, -1.0f, "slot 5 normal, weight 0");

    // A joint posed without keys moves its vertices rigidly by its world
    // matrix, whatever their weights.
    poses[1].mow_augment_no_keys = 1;
    win_math_set_rotate_z_matrix43(&poses[1].mow_augment_matrix, 0.4f);
    poses[1].mow_augment_matrix.m[3][1] = 3.0f;
    poses[1].mow_augment_matrix.attrib |= WIN_ATTRIB_TRANSLATE_Y;
    body = draw_body();
    const float c3 = std::cos(0.4f), s3 = std::sin(0.4f);
    expect_near(position(4), -c3 - 2.0f * s3, -s3 + 2.0f * c3 + 3.0f, 0.0f, "slot 4, rigid");
    expect_near(position(5), c3 - 2.0f * s3, s3 + 2.0f * c3 + 3.0f, 0.0f, "slot 5, rigid");
    expect_near(normal(5), 0.0f, 0.0f, -1.0f, "slot 5 normal, rigid");
    // To the bit what the math library gives, so skinned and rigid meshes
    // under one joint meet without seams.
    win_vect3 exact;
    win_math_multiply_vect3_by_matrix43(
        &exact, &model->mow_cluster_array[1].mow_cluster_vtx_array[0].mow_cluster_vtx_pos,
        &poses[1].mow_augment_matrix);
    const win_vect3 skinned = position(4);
    EXPECT_EQ(std::memcmp(&skinned, &exact, sizeof exact), 0);
    EXPECT_TRUE(log->errors().empty());
}

// Skinning takes vertices eight or four at a time where their slots follow
// each other and their weights are the same, and one at a time elsewhere;
// every vertex must come out to the bit as the one-at-a-time rule gives it.
TEST_F(ModelRenderer, BlocksOfVerticesSkinToTheBitAsOneAtATime)
{
    // One cluster of 45 vertices on the arm, in runs of equal weight of 13,
    // 1, 8, 3, 4, 9 and 7 (0 then -0, equal but not the same bits); slots
    // that follow each other, run backwards, come back to one written
    // before (the later vertex wins), and normal slots that jump where the
    // position slots run on.
    const int32_t count = 45;
    const struct {
        int32_t length;
        float weight;
    } runs[] = {{13, 1.0f}, {1, 0.5f}, {8, 0.25f}, {3, 0.0f}, {4, -0.0f}, {9, 0.75f}, {7, 1.0f}};
    std::vector<float> weights;
    for (const auto& run : runs)
        weights.insert(weights.end(), (size_t)run.length, run.weight);
    ASSERT_EQ(weights.size(), (size_t)count);
    auto position_slot = [](int32_t v) -> uintptr_t {
        return v < 20 ? 100 + v : v < 24 ? 220 - v : v == 24 ? 103 : 300 + v;
    };
    auto normal_slot = [&](int32_t v) -> uintptr_t {
        return v >= 30 && v < 38 ? 500 + 3 * v : position_slot(v) + 1000;
    };

    mow_cluster* clusters = malloc_mow_cluster_array(1);
    clusters[0].mow_cluster_name = STRDUP("arm");
    clusters[0].mow_cluster_joint_idx = 1;
    clusters[0].mow_cluster_vtx_array = malloc_mow_cluster_vtx_array(count);
    clusters[0].mow_cluster_vtx_array_size = count;
    for (int32_t v = 0; v < count; ++v) {
        mow_cluster_vtx& vtx = clusters[0].mow_cluster_vtx_array[v];
        const float f = (float)v;
        vtx.mow_cluster_vtx_pos = {0.37f * f - 3.0f, 1.1f - 0.05f * f * f, 0.3f + 0.01f * f};
        vtx.mow_cluster_vtx_norm = {0.6f, -0.01f * f, -0.8f};
        vtx.mow_cluster_vtx_weight = weights[(size_t)v];
        vtx.mow_cluster_vtx_translate_vtx = (win_vect3_ptr)position_slot(v);
        vtx.mow_cluster_vtx_translate_norm = (win_norm_ptr)normal_slot(v);
    }
    free_mow_cluster_array(model->mow_cluster_array, model->mow_cluster_array_size);
    model->mow_cluster_array = clusters;
    model->mow_cluster_array_size = 1;
    // The body draws the cluster's vertices from their slots.
    mow_shader_group* body = model->mow_mesh_array[0].mow_shader_group_array;
    free_win_vect3_ptr_array(body->mow_translate_vtx_array, body->mow_translate_vtx_array_size);
    free_win_norm_ptr_array(body->mow_translate_norm_array, body->mow_translate_norm_array_size);
    free_win_uv_array(body->mow_uv_array, body->mow_uv_array_size);
    body->mow_translate_vtx_array = malloc_win_vect3_ptr_array(count);
    body->mow_translate_norm_array = malloc_win_norm_ptr_array(count);
    body->mow_uv_array = malloc_win_uv_array(count);
    body->mow_translate_vtx_array_size = body->mow_translate_norm_array_size =
        body->mow_uv_array_size = count;
    for (int32_t v = 0; v < count; ++v) {
        body->mow_translate_vtx_array[v] = (win_vect3_ptr)position_slot(v);
        body->mow_translate_norm_array[v] = (win_norm_ptr)normal_slot(v);
    }
    ASSERT_EQ(mow_rend_init_mow_model(model), 1);

    // The arm turned about all three axes, scaled and moved.
    mow_track_augment& arm = poses[1];
    arm.mow_augment_xform = {0.5f, -0.25f, 0.75f, 0.6f, -0.4f, 0.3f, 1.5f, 0.8f, 1.25f, 0x1FF};
    win_math_set_translate_matrix43(&arm.mow_augment_joint_matrix, 0.0f, 2.25f, 0.0f);
    win_matrix43 local;
    win_math_xform_to_txzy_matrix43(&arm.mow_augment_xform, &local);
    win_math_multiply_matrix43(&arm.mow_augment_matrix, &local, &arm.mow_augment_joint_matrix);

    for (int rigid = 0; rigid < 2; ++rigid) {
        SCOPED_TRACE(rigid ? "rigid" : "weighted");
        arm.mow_augment_no_keys = rigid;
        // The rule, one vertex at a time, into slots; a later vertex
        // overwrites an earlier one.
        std::vector<win_vect3> positions(2000);
        std::vector<win_norm> normals(2000);
        float previous_weight = -2147483648.0f;
        win_matrix43 matrix = arm.mow_augment_matrix;
        for (int32_t v = 0; v < count; ++v) {
            const mow_cluster_vtx& vtx = clusters[0].mow_cluster_vtx_array[v];
            if (!rigid && vtx.mow_cluster_vtx_weight != previous_weight) {
                previous_weight = vtx.mow_cluster_vtx_weight;
                win_xform share = arm.mow_augment_xform;
                share.rx *= previous_weight;
                share.ry *= previous_weight;
                share.rz *= previous_weight;
                win_math_xform_to_txzy_matrix43(&share, &local);
                win_math_multiply_matrix43(&matrix, &local, &arm.mow_augment_joint_matrix);
            }
            win_math_multiply_vect3_by_matrix43(&positions[position_slot(v)],
                                                &vtx.mow_cluster_vtx_pos, &matrix);
            win_math_multiply_norm_by_matrix43(&normals[normal_slot(v)], &vtx.mow_cluster_vtx_norm,
                                               &matrix);
        }
        const d3d_recorded_draw* drawn = draw_body();
        ASSERT_EQ(drawn->vertex_count, (DWORD)count);
        for (int32_t v = 0; v < count; ++v) {
            const d3d_recorded_vertex& got = drawn->vertices[v];
            const win_vect3 position = {got.x, got.y, got.z};
            const win_norm normal = {got.nx, got.ny, got.nz};
            EXPECT_EQ(std::memcmp(&position, &positions[position_slot(v)], sizeof position), 0)
                << "vertex " << v;
            EXPECT_EQ(std::memcmp(&normal, &normals[normal_slot(v)], sizeof normal), 0)
                << "vertex " << v;
        }
    }

    // Weights are read from the cluster as it stands: one changed in the
    // middle of a block of eight takes effect.
    arm.mow_augment_no_keys = 0;
    clusters[0].mow_cluster_vtx_array[4].mow_cluster_vtx_weight = 0.0f;
    const d3d_recorded_draw* drawn = draw_body();
    win_matrix43 unturned;
    win_xform share = arm.mow_augment_xform;
    share.rx = share.ry = share.rz = 0.0f;
    win_math_xform_to_txzy_matrix43(&share, &local);
    win_math_multiply_matrix43(&unturned, &local, &arm.mow_augment_joint_matrix);
    win_vect3 expected;
    win_math_multiply_vect3_by_matrix43(
        &expected, &clusters[0].mow_cluster_vtx_array[4].mow_cluster_vtx_pos, &unturned);
    const win_vect3 got = {drawn->vertices[4].x, drawn->vertices[4].y, drawn->vertices[4].z};
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0);
    EXPECT_TRUE(log->errors().empty());
}

// The skinning form lives as long as the model, and only a prepared model is
// skinned.
TEST_F(ModelRenderer, OnlyAPreparedModelIsSkinnedAndItsFormGoesWithIt)
{
    const int64_t before = heap_live_blocks();
    mow_model* figure = demo_model_make("figure");
    const int64_t made = heap_live_blocks();
    log->clear();
    EXPECT_EQ(mow_rend_skin_mow_model(figure, poses), 0);
    EXPECT_EQ(log->errors(), (std::vector<std::string>{
                                 "Cannot skin mow_model 'figure' before mow_rend_init_mow_model"}));

    ASSERT_EQ(mow_rend_init_mow_model(figure), 1);
    EXPECT_EQ(heap_live_blocks(), made + 1);
    ASSERT_EQ(mow_rend_init_mow_model(figure), 1);
    EXPECT_EQ(heap_live_blocks(), made + 1) << "preparing again replaces the form";
    EXPECT_EQ(mow_rend_skin_mow_model(figure, poses), 1);

    // A model that fails preparation again keeps no form.
    figure->mow_cluster_array[0].mow_cluster_vtx_array[0].mow_cluster_vtx_translate_vtx =
        (win_vect3_ptr)(uintptr_t)MOW_REND_BUFFER_SIZE;
    EXPECT_EQ(mow_rend_init_mow_model(figure), 0);
    EXPECT_EQ(heap_live_blocks(), made);
    EXPECT_EQ(mow_rend_skin_mow_model(figure, poses), 0);

    ASSERT_EQ(mow_rend_init_mow_model(model), 1);
    EXPECT_EQ(free_mow_model(figure), 1);
    EXPECT_EQ(heap_live_blocks(), before);
}

TEST_F(ModelRenderer, WireframeSendsFlatColouredLinesAndPutsItsStatesBack)
{
    TestShader shader(&plain->container);
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(draw(&shader.shader, 1), 1);  // a texture bound before
    win_matrix44 solid_world, wire_world;
    ASSERT_EQ(d3dxframe_get_world_transform(&solid_world), 1);
    ASSERT_EQ(mow_rend_wire_mow_model(model, poses, 0), 1);
    // The world transform is left as the model's drawing leaves it.
    ASSERT_EQ(d3dxframe_get_world_transform(&wire_world), 1);
    EXPECT_EQ(std::memcmp(&wire_world, &solid_world, sizeof wire_world), 0);
    const d3d_recorded_draw* hat = d3d_recorded_last_draw();
    // No normals, colours from the wireframe buffer, no texture.
    EXPECT_EQ(hat->vertex_format, (DWORD)(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    for (int i = 0; i < DEMO_MODEL_HAT_VERTICES; ++i)
        EXPECT_EQ(hat->vertices[i].diffuse, 0xFFFF0000u) << "vertex " << i;
    EXPECT_EQ(hat->texture0, nullptr);
    EXPECT_EQ(hat->render_states[D3DRENDERSTATE_FILLMODE], (DWORD)D3DFILL_WIREFRAME);
    EXPECT_EQ(hat->render_states[D3DRENDERSTATE_CULLMODE], (DWORD)D3DCULL_NONE);
    EXPECT_EQ(render_state(D3DRENDERSTATE_FILLMODE), (DWORD)D3DFILL_SOLID);
    EXPECT_EQ(render_state(D3DRENDERSTATE_CULLMODE), (DWORD)D3DCULL_CCW);

    const DWORD green = 0xFF00FF00;
    ASSERT_EQ(mow_rend_set_wire_diffuse(&green), 1);
    ASSERT_EQ(mow_rend_wire_mow_model(model, poses, 0), 1);
    EXPECT_EQ(d3d_recorded_last_draw()->vertices[0].diffuse, green);

    // The next ordinary draw sends normals and binds its texture again.
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    EXPECT_EQ(d3d_recorded_last_draw()->vertex_format, (DWORD)0x112);
    EXPECT_EQ(d3d_recorded_last_draw()->texture0, plain->container.texture_container_surface);

    // A rigid group larger than the wireframe colours is drawn, but not as
    // wireframe.
    mow_shader_group* hat_group = model->mow_mesh_array[1].mow_shader_group_array;
    const int32_t large = MOW_REND_BUFFER_SIZE + 1;
    free_win_vect3_array(hat_group->mow_vtx_array, hat_group->mow_vtx_array_size);
    free_win_norm_array(hat_group->mow_norm_array, hat_group->mow_norm_array_size);
    free_win_uv_array(hat_group->mow_uv_array, hat_group->mow_uv_array_size);
    hat_group->mow_vtx_array = malloc_win_vect3_array(large);
    hat_group->mow_norm_array = malloc_win_norm_array(large);
    hat_group->mow_uv_array = malloc_win_uv_array(large);
    hat_group->mow_vtx_array_size = hat_group->mow_norm_array_size = hat_group->mow_uv_array_size =
        large;
    ASSERT_EQ(mow_rend_init_mow_model(model), 1);
    int draws = d3d_recorded_draw_count();
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    EXPECT_EQ(d3d_recorded_draw_count(), draws + 2);
    ASSERT_EQ(mow_rend_wire_mow_model(model, poses, 0), 1);
    EXPECT_EQ(d3d_recorded_draw_count(), draws + 3) << "the body alone";
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(ModelRenderer, AFailedDrawIsReportedAndTheRestIsDrawn)
{
    TestShader shader(&plain->container);
    d3d_inject("Device.DrawIndexedPrimitiveStrided", DDERR_INVALIDPARAMS, 0, 1);
    std::vector<std::string> calls = calls_of([&] { EXPECT_EQ(draw(&shader.shader, 1), 0); });
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) {
                                return call.starts_with("Device.DrawIndexedPrimitiveStrided");
                            }),
              2);
    EXPECT_EQ(log->errors(),
              (std::vector<std::string>{"Failed to d3dxframe_draw_primitive.",
                                        "d3dxframe_draw_indexed_primitive_strided failed."}));
    EXPECT_TRUE(same_matrix(world(), win_math_identity_matrix44));
}

TEST_F(ModelRenderer, TheBoundTextureIsForgottenWhenItsSurfaceOrContainerGoes)
{
    // A texture of the cache, held by a shader as characters hold theirs.
    dir.write("skin.tga", tga_image(2, 2, 24, false, 0x20, Pixels(4, 0xFF808080)));
    char name[] = "skin";
    texture_container* skin = d3dtextr_load_texture(name, dir.path().c_str(), nullptr);
    ASSERT_NE(skin, nullptr);
    ++skin->texture_container_ref_cnt;
    TestShader shader(skin);
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    ASSERT_EQ(d3dtextr_current_texture, skin);

    // Invalidated, it loses its surface; the renderer binds it again once it
    // has one.
    d3dtextr_invalidate_texture(skin);
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
    ASSERT_EQ(d3dtextr_dx7_load_texture_image("skin", dir.path().c_str(), skin), 1);
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    EXPECT_EQ(d3dtextr_current_texture, skin);
    EXPECT_EQ(d3d_recorded_last_draw()->texture0, skin->texture_container_surface);

    // Emptied at shut-down, the cache leaves the container to its holder
    // without a surface: drawn with, it binds nothing and is not remembered,
    // so its holder can free it.
    d3dtextr_cleanup();
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    EXPECT_EQ(d3dtextr_current_texture, nullptr);
    EXPECT_EQ(d3d_recorded_last_draw()->texture0, nullptr);
    EXPECT_EQ(free_texture_container(skin), 1);
}

TEST_F(ModelRenderer, PreparationRefusesWhatWouldBeReadOrWrittenOutsideABuffer)
{
    auto slot = [](uintptr_t n) { return (win_vect3_ptr)n; };
    auto norm_slot = [](uintptr_t n) { return (win_norm_ptr)n; };
    auto body = [](mow_model* m) { return m->mow_mesh_array[0].mow_shader_group_array; };
    struct Case {
        const char* what;
        std::function<void(mow_model*)> change;
        std::vector<std::string> errors;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"the last slot",
         [&](mow_model* m) {
             m->mow_cluster_array[1].mow_cluster_vtx_array[0].mow_cluster_vtx_translate_vtx = slot(
                 7999);
         },
         {},
         {}},
        {"a cluster's position slot past the buffers",
         [&](mow_model* m) {
             m->mow_cluster_array[1].mow_cluster_vtx_array[1].mow_cluster_vtx_translate_vtx = slot(
                 8000);
         },
         {"Bad mow_model 'figure': cluster 1 vertex 1 has skin slots 8000, 5 of 8000"},
         {}},
        {"a cluster's normal slot stored as -1",
         [&](mow_model* m) {
             m->mow_cluster_array[0].mow_cluster_vtx_array[2].mow_cluster_vtx_translate_norm =
                 norm_slot(0xFFFFFFFFu);
         },
         {"Bad mow_model 'figure': cluster 0 vertex 2 has skin slots 2, 4294967295 of 8000"},
         {}},
        {"a group's normal slot past the buffers",
         [&](mow_model* m) { body(m)->mow_translate_norm_array[3] = norm_slot(12000); },
         {"Bad mow_model 'figure': mesh 0 group 0 vertex 3 has skin slots 3, 12000 of 8000"},
         {}},
        {"a segmented group's slots are not read",
         [&](mow_model* m) {
             mow_shader_group* hat = m->mow_mesh_array[1].mow_shader_group_array;
             hat->mow_translate_vtx_array = malloc_win_vect3_ptr_array(1);
             hat->mow_translate_vtx_array_size = 1;
             hat->mow_translate_vtx_array[0] = slot(9000);
         },
         {},
         {}},
        {"an index past the vertices (the model check)",
         [&](mow_model* m) { body(m)->mow_vtx_idx_array[4] = 6; },
         {"Bad mow_model 'figure': mesh 0 group 0 has index 4 = 6 of 6 vertices"},
         {}},
        {"a shader index past the shader files draws untextured",
         [&](mow_model* m) { body(m)->mow_shader_group_shader_idx = 1; },
         {},
         {"mow_model 'figure' mesh 0 group 0 draws with shader 1 of 1: untextured"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mow_model* changed = demo_model_make("figure");
        c.change(changed);
        log->clear();
        EXPECT_EQ(mow_rend_init_mow_model(changed), c.errors.empty() ? 1 : 0);
        EXPECT_EQ(log->errors(), c.errors);
        EXPECT_EQ(log->warnings(), c.warnings);
        free_mow_model(changed);
    }

    // A clustered group gathers at most one buffer of vertices.
    mow_model* big = demo_model_make("big");
    mow_shader_group* group = body(big);
    const int32_t too_many = MOW_REND_BUFFER_SIZE + 1;
    free_win_vect3_ptr_array(group->mow_translate_vtx_array, group->mow_translate_vtx_array_size);
    free_win_norm_ptr_array(group->mow_translate_norm_array, group->mow_translate_norm_array_size);
    free_win_uv_array(group->mow_uv_array, group->mow_uv_array_size);
    group->mow_translate_vtx_array = malloc_win_vect3_ptr_array(too_many);
    group->mow_translate_norm_array = malloc_win_norm_ptr_array(too_many);
    group->mow_uv_array = malloc_win_uv_array(too_many);
    group->mow_translate_vtx_array_size = group->mow_translate_norm_array_size =
        group->mow_uv_array_size = too_many;
    log->clear();
    EXPECT_EQ(mow_rend_init_mow_model(big), 0);
    EXPECT_EQ(log->errors(), (std::vector<std::string>{
                                 "Bad mow_model 'big': mesh 0 group 0 has 8001 skinned vertices, "
                                 "more than 8000"}));
    free_mow_model(big);
}

TEST_F(ModelRenderer, NullArgumentsAreRefused)
{
    const win_vect3 centre = {};
    const win_bbox box = {};
    const struct {
        std::function<int()> call;
        const char* error;
    } cases[] = {
        {[] { return mow_rend_init_mow_model(nullptr); },
         "Cannot mow_rend_init_mow_model with NULL mow_model."},
        {[&] { return mow_rend_rend_mow_model(nullptr, nullptr, 0, poses, 0); },
         "Cannot mow_rend_rend_mow_model with NULL mow_model."},
        {[&] { return mow_rend_rend_mow_model(model, nullptr, 0, nullptr, 0); },
         "Cannot mow_rend_rend_mow_model with NULL mow_track_augment_array."},
        {[&] { return mow_rend_wire_mow_model(nullptr, poses, 0); },
         "Cannot mow_rend_wire_mow_model with NULL mow_model."},
        {[&] { return mow_rend_wire_mow_model(model, nullptr, 0); },
         "Cannot mow_rend_wire_mow_model with NULL mow_track_augment_array."},
        {[] { return mow_rend_set_wire_diffuse(nullptr); },
         "Cannot mow_rend_set_wire_diffuse with NULL new_wire_diffuse."},
        {[] { return mow_rend_set_bbox_diffuse(nullptr); },
         "Cannot mow_rend_set_bbox_diffuse with NULL new_bbox_diffuse."},
        {[] { return mow_rend_set_cylindar_diffuse(nullptr); },
         "Cannot mow_rend_set_cylindar_diffuse with NULL new_cylindar_diffuse."},
        {[] { return mow_rend_dx7_set_sphere_diffuse(nullptr); },
         "Cannot mow_rend_dx7_set_sphere_diffuse with NULL new_sphere_diffuse."},
        {[] { return mow_rend_single_bbox(nullptr, &win_math_identity_matrix43, 0x42, 2, 1); },
         "Cannot mow_rend_single_bbox with NULL bbox."},
        {[&] { return mow_rend_single_bbox(&box, nullptr, 0x42, 2, 1); },
         "Cannot mow_rend_single_bbox with NULL parent_matrix."},
        {[] {
             return mow_rend_single_cylindar(nullptr, 1, 1, &win_math_identity_matrix43, 0x42, 2,
                                             1);
         },
         "Cannot mow_rend_single_cylindar with NULL cylindar_base_center."},
        {[&] { return mow_rend_single_cylindar(&centre, 1, 1, nullptr, 0x42, 2, 1); },
         "Cannot mow_rend_single_cylindar with NULL parent_matrix."},
        {[] { return mow_rend_single_sphere(nullptr, 1, &win_math_identity_matrix43, 0x42, 2, 1); },
         "Cannot mow_rend_single_sphere with NULL sphere_center."},
        {[&] { return mow_rend_single_sphere(&centre, 1, nullptr, 0x42, 2, 1); },
         "Cannot mow_rend_single_sphere with NULL parent_matrix."},
        {[] { return mow_rend_track_augment_spheres(1, nullptr, 0x42, 2, 1); },
         "Cannot mow_rend_track_augment_spheres with NULL mow_track_augment_array."},
        {[&] {
             return mow_rend_appendage_spheres(1, nullptr, poses, model->mow_appendage_info_array);
         },
         "Cannot mow_rend_appendage_spheres with NULL mow_appendage_sphere_key_array."},
    };
    for (const auto& c : cases) {
        log->clear();
        EXPECT_EQ(c.call(), 0) << c.error;
        EXPECT_EQ(log->errors(), std::vector<std::string>{c.error});
    }
}

// ---- debug shapes

TEST_F(ModelRenderer, TheShapesAreBuiltAsTheirCornersAndRingsSay)
{
    // Box from (0, 0, 0) to (1, 2, 3): four vertices on each face's plane.
    const win_bbox box = {0.0f, 0.0f, 0.0f, 1.0f, 2.0f, 3.0f};
    ASSERT_EQ(
        mow_rend_single_bbox(&box, &win_math_identity_matrix43, 0x42, D3DFILL_SOLID, D3DCULL_NONE),
        1);
    const d3d_recorded_draw* drawn = d3d_recorded_last_draw();
    EXPECT_EQ(drawn->vertex_count, 24u);
    EXPECT_EQ(drawn->index_count, 36u);
    EXPECT_EQ(drawn->vertex_format, 0x42u);
    const struct {
        int axis;
        float at;
    } faces[6] = {{0, 0.0f}, {1, 2.0f}, {0, 1.0f}, {1, 0.0f}, {2, 0.0f}, {2, 3.0f}};
    for (int f = 0; f < 6; ++f)
        for (int v = 4 * f; v < 4 * f + 4; ++v) {
            const d3d_recorded_vertex& vertex = drawn->vertices[v];
            const float coordinate[3] = {vertex.x, vertex.y, vertex.z};
            EXPECT_EQ(coordinate[faces[f].axis], faces[f].at) << "face " << f << " vertex " << v;
            EXPECT_EQ(vertex.diffuse, 0xFFFF0000u);
        }
    EXPECT_EQ(drawn->indices[6], 4);  // the second face's first triangle
    EXPECT_EQ(drawn->indices[10], 6);

    // Cylinder on (0, 0, 0), radius 1, height 2.
    const win_vect3 origin = {0.0f, 0.0f, 0.0f};
    ASSERT_EQ(mow_rend_single_cylindar(&origin, 1.0f, 2.0f, &win_math_identity_matrix43, 0x42,
                                       D3DFILL_SOLID, D3DCULL_NONE),
              1);
    drawn = d3d_recorded_last_draw();
    EXPECT_EQ(drawn->vertex_count, 42u);
    EXPECT_EQ(drawn->index_count, 240u);
    auto at = [&](int v) {
        return win_vect3{drawn->vertices[v].x, drawn->vertices[v].y, drawn->vertices[v].z};
    };
    expect_near(at(1), 0.0f, 2.0f, 0.0f, "top centre");
    expect_near(at(2), 1.0f, 0.0f, 0.0f, "vertex 2");
    expect_near(at(7), 0.0f, 0.0f, 1.0f, "vertex 7");
    expect_near(at(22), 1.0f, 2.0f, 0.0f, "vertex 22");
    EXPECT_EQ(drawn->vertices[2].diffuse, 0xFF00FF00u);

    // Sphere round (0, 0, 0), radius 1: poles, then rings by latitude.
    ASSERT_EQ(mow_rend_single_sphere(&origin, 1.0f, &win_math_identity_matrix43, 0x42,
                                     D3DFILL_SOLID, D3DCULL_NONE),
              1);
    drawn = d3d_recorded_last_draw();
    EXPECT_EQ(drawn->vertex_count, 102u);
    EXPECT_EQ(drawn->index_count, 600u);
    expect_near(at(0), 0.0f, -1.0f, 0.0f, "bottom pole");
    expect_near(at(1), 0.0f, 1.0f, 0.0f, "top pole");
    const double pi = 3.14159265358979;
    for (int ring = 0; ring < 6; ++ring) {  // the rings the record keeps
        const double latitude = -pi / 2 + (ring + 1) * pi / 11;
        for (int column = 0; column < 10; ++column)
            expect_near(at(2 + 10 * ring + column),
                        (float)(std::cos(latitude) * std::cos(column * pi / 5)),
                        (float)std::sin(latitude),
                        (float)(std::cos(latitude) * std::sin(column * pi / 5)), "ring vertex");
    }
    EXPECT_EQ(drawn->vertices[0].diffuse, 0xFFFFFF00u);
    // A closed surface: every triangle has three corners, and each edge is
    // shared by exactly two triangles, wound opposite ways.
    std::vector<std::pair<int, int>> edges;
    for (uint32_t t = 0; t + 2 < drawn->index_count; t += 3) {
        const int a = drawn->indices[t], b = drawn->indices[t + 1], c = drawn->indices[t + 2];
        EXPECT_TRUE(a != b && b != c && a != c) << "triangle " << t / 3;
        edges.insert(edges.end(), {{a, b}, {b, c}, {c, a}});
    }
    std::sort(edges.begin(), edges.end());
    for (const auto& [from, to] : edges)
        EXPECT_TRUE(std::binary_search(edges.begin(), edges.end(), std::make_pair(to, from)))
            << "edge " << from << "-" << to << " has no triangle on its other side";
    EXPECT_EQ(std::adjacent_find(edges.begin(), edges.end()), edges.end());
}

TEST_F(ModelRenderer, AShapePutsBackTheStatesItChangedAndUnbindsTheModelsTexture)
{
    TestShader shader(&plain->container);
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    win_matrix44 before;
    win_math_set_translate_matrix44(&before, 5.0f, 6.0f, 7.0f);
    d3dxframe_set_world_transform(&before);
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    win_matrix43 parent;
    win_math_set_rotate_y_matrix43(&parent, 1.0f);
    win_matrix44 parent44;
    win_math_matrix43_to_matrix44(&parent44, &parent);

    const win_bbox box = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};
    const win_vect3 centre = {1.0f, 2.0f, 3.0f};
    const std::function<int()> shapes[] = {
        [&] { return mow_rend_single_bbox(&box, &parent, 0x52, D3DFILL_WIREFRAME, D3DCULL_NONE); },
        [&] {
            return mow_rend_single_cylindar(&centre, 1.0f, 1.0f, &parent, 0x52, D3DFILL_WIREFRAME,
                                            D3DCULL_NONE);
        },
        [&] {
            return mow_rend_single_sphere(&centre, 1.0f, &parent, 0x52, D3DFILL_WIREFRAME,
                                          D3DCULL_NONE);
        },
    };
    for (const auto& shape : shapes) {
        ASSERT_EQ(shape(), 1);
        const d3d_recorded_draw* drawn = d3d_recorded_last_draw();
        EXPECT_EQ(drawn->vertex_format, 0x52u);
        EXPECT_EQ(drawn->render_states[D3DRENDERSTATE_FILLMODE], (DWORD)D3DFILL_WIREFRAME);
        EXPECT_EQ(drawn->render_states[D3DRENDERSTATE_CULLMODE], (DWORD)D3DCULL_NONE);
        EXPECT_TRUE(same_matrix(drawn->world, parent44));
        EXPECT_EQ(drawn->texture0, nullptr);
        EXPECT_EQ(render_state(D3DRENDERSTATE_FILLMODE), (DWORD)D3DFILL_SOLID);
        EXPECT_EQ(render_state(D3DRENDERSTATE_CULLMODE), (DWORD)D3DCULL_CCW);
        EXPECT_TRUE(same_matrix(world(), before));
        EXPECT_EQ(d3dtextr_current_texture, nullptr);
    }
    // The model binds its texture again.
    win_matrix44 identity = win_math_identity_matrix44;
    d3dxframe_set_world_transform(&identity);
    ASSERT_EQ(draw(&shader.shader, 1), 1);
    EXPECT_EQ(d3d_recorded_last_draw()->texture0, plain->container.texture_container_surface);
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(ModelRenderer, EachColourSetterColoursItsOwnShape)
{
    const DWORD blue = 0xFF0000FF;
    ASSERT_EQ(mow_rend_dx7_set_sphere_diffuse(&blue), 1);
    const win_bbox box = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};
    const win_vect3 centre = {};
    const win_matrix43* identity = &win_math_identity_matrix43;
    ASSERT_EQ(mow_rend_single_sphere(&centre, 1.0f, identity, 0x42, D3DFILL_SOLID, D3DCULL_NONE),
              1);
    for (int v = 0; v < D3D_RECORDED_VERTICES; ++v)
        ASSERT_EQ(d3d_recorded_last_draw()->vertices[v].diffuse, blue) << "sphere vertex " << v;
    ASSERT_EQ(mow_rend_single_bbox(&box, identity, 0x42, D3DFILL_SOLID, D3DCULL_NONE), 1);
    EXPECT_EQ(d3d_recorded_last_draw()->vertices[23].diffuse, 0xFFFF0000u) << "box";
    ASSERT_EQ(
        mow_rend_single_cylindar(&centre, 1.0f, 1.0f, identity, 0x42, D3DFILL_SOLID, D3DCULL_NONE),
        1);
    EXPECT_EQ(d3d_recorded_last_draw()->vertices[41].diffuse, 0xFF00FF00u) << "cylinder";
}

TEST_F(ModelRenderer, PoseSpheresAreDrawnWhereTheJointsHaveThem)
{
    const win_vect3 centre = {};
    log->clear();
    int draws = d3d_recorded_draw_count();
    EXPECT_EQ(mow_rend_single_sphere(&centre, 0.0f, &win_math_identity_matrix43, 0x42,
                                     D3DFILL_SOLID, D3DCULL_NONE),
              1);
    EXPECT_EQ(d3d_recorded_draw_count(), draws);
    EXPECT_EQ(log->warnings(), std::vector<std::string>{"sphere_radius <= 0"});

    // Joint 0 has no sphere (-1.0, as a pose without one), joint 1 has one
    // of radius 0.5 round its world centre.
    poses[0].mow_augment_sphere_radius = -1.0f;
    poses[1].mow_augment_sphere_radius = 0.5f;
    poses[1].mow_augment_sphere_center = {1.0f, 3.0f, 0.0f};
    win_matrix44 before;
    win_math_set_translate_matrix44(&before, 0.0f, 1.0f, 0.0f);
    d3dxframe_set_world_transform(&before);
    log->clear();
    ASSERT_EQ(mow_rend_track_augment_spheres(DEMO_MODEL_JOINTS, poses, 0x42, D3DFILL_WIREFRAME,
                                             D3DCULL_NONE),
              1);
    EXPECT_EQ(d3d_recorded_draw_count(), draws + 1);
    const d3d_recorded_draw* drawn = d3d_recorded_last_draw();
    EXPECT_NEAR(drawn->vertices[0].y, 2.5f, tolerance) << "bottom pole";
    EXPECT_NEAR(drawn->vertices[1].y, 3.5f, tolerance) << "top pole";
    EXPECT_TRUE(same_matrix(drawn->world, win_math_identity_matrix44)) << "centres in the world";
    EXPECT_TRUE(same_matrix(world(), before));
    EXPECT_TRUE(log->warnings().empty());

    // Joint 0's sphere, once it has one, is drawn like any other.
    poses[0].mow_augment_sphere_radius = 0.25f;
    poses[0].mow_augment_sphere_center = {0.0f, -2.0f, 0.0f};
    ASSERT_EQ(mow_rend_track_augment_spheres(1, poses, 0x42, D3DFILL_WIREFRAME, D3DCULL_NONE), 1);
    EXPECT_EQ(d3d_recorded_draw_count(), draws + 2);
    drawn = d3d_recorded_last_draw();
    EXPECT_NEAR(drawn->vertices[0].y, -2.25f, tolerance) << "joint 0's bottom pole";
    EXPECT_NEAR(drawn->vertices[1].y, -1.75f, tolerance) << "joint 0's top pole";
}

TEST_F(ModelRenderer, AppendageSpheresCapEachSegmentTheModelAndTheKeyBothHave)
{
    // The figure's one appendage starts at the arm (joint 1). Its key has
    // two segments, the model's chain one: only the first is drawn, as two
    // solid spheres of the segment's radius, at the arm's sphere centre and
    // one segment vector further.
    poses[1].mow_augment_sphere_center = {0.0f, 3.0f, 0.0f};
    mow_appendage_sphere_key key = {};
    key.radius = 1.0f;
    mow_segment_key segments[2] = {{{0.0f, 1.0f, 0.0f}, 1.0f, 0.25f},
                                   {{5.0f, 0.0f, 0.0f}, 1.0f, 0.25f}};
    key.mow_segment_key_array_size = 2;
    key.mow_segment_key_array = segments;
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    int draws = d3d_recorded_draw_count();
    ASSERT_EQ(mow_rend_appendage_spheres(1, &key, poses, model->mow_appendage_info_array), 1);
    ASSERT_EQ(d3d_recorded_draw_count(), draws + 2);
    const d3d_recorded_draw* drawn = d3d_recorded_last_draw();
    EXPECT_EQ(drawn->vertex_format, 0x42u);
    EXPECT_EQ(drawn->render_states[D3DRENDERSTATE_FILLMODE], (DWORD)D3DFILL_SOLID);
    EXPECT_EQ(drawn->render_states[D3DRENDERSTATE_CULLMODE], (DWORD)D3DCULL_NONE);
    EXPECT_NEAR(drawn->vertices[0].y, 3.75f, tolerance) << "the far end's bottom pole";
    EXPECT_NEAR(drawn->vertices[1].y, 4.25f, tolerance) << "the far end's top pole";
    EXPECT_EQ(render_state(D3DRENDERSTATE_FILLMODE), (DWORD)D3DFILL_WIREFRAME);

    // A chain may start at the root (joint 0).
    mow_segment_info& first = model->mow_appendage_info_array[0].mow_segment_info_array[0];
    const int32_t arm = first.mow_segment_joint_idx;
    first.mow_segment_joint_idx = 0;
    poses[0].mow_augment_sphere_center = {0.0f, -2.0f, 0.0f};
    ASSERT_EQ(mow_rend_appendage_spheres(1, &key, poses, model->mow_appendage_info_array), 1);
    ASSERT_EQ(d3d_recorded_draw_count(), draws + 4);
    EXPECT_NEAR(d3d_recorded_last_draw()->vertices[0].y, -1.25f, tolerance);
    first.mow_segment_joint_idx = arm;
    draws += 2;

    // An appendage whose current sphere has no radius is not drawn.
    key.radius = 0.0f;
    ASSERT_EQ(mow_rend_appendage_spheres(1, &key, poses, model->mow_appendage_info_array), 1);
    EXPECT_EQ(d3d_recorded_draw_count(), draws + 2);
    EXPECT_TRUE(log->errors().empty());
    EXPECT_TRUE(log->warnings().empty());
}
