// The demo figure posed by its wave and drawn by the GL back-end: its
// textured, lit triangles land where the pose puts them, before and after a
// device loss that the frame repairs by reloading every cached texture.
//
// The fixture draws with Mesa's software renderer through SDL's offscreen
// driver (test_use_gl_backend).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "demo_anim.h"
#include "demo_model.h"
#include "mow_animate.h"
#include "mow_rend_dx7.h"
#include "platform/d3d_record.h"
#include "texture_support.h"
#include "win_math.h"
#include "world_services.h"

namespace {

const uint32_t green = 0xFF00FF00, blue = 0xFF0000FF;

// What the light and the ambient light give a surface facing the camera.
const float light_level = 0.5f;
const int ambient_level = 64;
const float lit = light_level + (float)ambient_level / 255.0f;

const win_vect3 eye = {0.0f, 2.5f, -8.0f};
const win_vect3 look_at = {0.0f, 2.5f, 0.0f};
const float field_of_view = 1.0f;

// A point of the x-y plane turned about the z axis and moved by (dx, dy).
win_vect3 turned(float x, float y, float angle, float dx, float dy)
{
    const float c = std::cos(angle), s = std::sin(angle);
    return {x * c - y * s + dx, x * s + y * c + dy, 0.0f};
}

class GlModel : public TextureFrameTest {
protected:
    GlModel() : TextureFrameTest(true) {}
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(mow_rend_init(), 1);
        // The skin: green above, blue below, as the cache loads it from the
        // bitmap directory, which the frame reloads it from after a loss.
        skin = test_load_two_tone_texture(dir, demo_model_shader_name, green, blue);
        ASSERT_NE(skin, nullptr);
        slot = skin;
        shader.texture_container_ptr_array_size = 1;
        shader.texture_container_ptr_array = &slot;
        shader.current_texture = 0;

        model = demo_model_make("figure");
        ASSERT_NE(model, nullptr);
        ASSERT_EQ(mow_rend_init_mow_model(model), 1);
        wave = demo_anim_make_wave("wave");
        ASSERT_NE(wave, nullptr);
        poses = malloc_mow_track_augment_array(DEMO_MODEL_JOINTS);
        // Half way: the root bobbed up 0.25, the arm swung 0.75 about z.
        ASSERT_EQ(mow_animate_model(model, wave, (float)DEMO_ANIM_LENGTH / 2.0f, poses, nullptr,
                                    &win_math_identity_matrix43),
                  1);
    }
    void TearDown() override
    {
        free_mow_track_augment_array(poses, DEMO_MODEL_JOINTS);
        if (wave)
            free_mow_anim(wave);
        if (model)
            free_mow_model(model);
        d3dtextr_cleanup();
        TextureFrameTest::TearDown();
    }

    void draw_scene()
    {
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
        win_matrix44 view;
        const win_vect3 up = {0.0f, 1.0f, 0.0f};
        d3dxframe_matrix_look_at(&view, &eye, &look_at, &up);
        d3dxframe_build_projection_matrix(&projection, field_of_view, 0.75f, 1.0f, 100.0f);
        d3dxframe_set_projection_transform(&projection);
        win_math_multiply_matrix44(&view_projection, &view, &projection);
        d3dxframe_set_ambient_light(ambient_level, ambient_level, ambient_level);
        D3DLIGHT7 light = {};
        light.dltType = D3DLIGHT_DIRECTIONAL;
        light.dcvDiffuse = {light_level, light_level, light_level, 1.0f};
        light.dvDirection = {0.0f, 0.0f, 1.0f};  // from the camera, onto the figure's face
        light_index = d3dxframe_set_dynamic_light_color(light, light_index);
        d3dxframe_set_light_allocation(0);
        EXPECT_EQ(mow_rend_rend_mow_model(model, &shader, 1, poses, 0), 1);
        ASSERT_EQ(d3dxframe_end_scene(), 1);
    }

    // The pixel a world point lands on.
    DWORD pixel_at(const win_vect3& point)
    {
        win_vect3 projected;
        win_math_multiply_vect3_by_matrix44(&projected, &point, &view_projection);
        const DWORD x = (DWORD)std::lround((projected.x + 1.0f) / 2.0f * 640.0f);
        const DWORD y = (DWORD)std::lround((1.0f - projected.y) / 2.0f * 480.0f);
        DWORD value = 0;
        EXPECT_EQ(d3d_read_render_target(d3dx_globals.device, x, y, 1, 1, &value), S_OK);
        return value & 0xFFFFFF;
    }

    ::testing::AssertionResult shows(const win_vect3& point, uint32_t texel, float level)
    {
        const DWORD got = pixel_at(point);
        for (int shift : {0, 8, 16}) {
            const int want = (int)std::lround((float)((texel >> shift) & 0xFF) * level);
            const int have = (int)((got >> shift) & 0xFF);
            if (std::abs(want - have) > 3)
                return ::testing::AssertionFailure()
                       << "(" << point.x << ", " << point.y << ") shows 0x" << std::hex << got;
        }
        return ::testing::AssertionSuccess();
    }

    void check_pose(const char* when)
    {
        SCOPED_TRACE(when);
        // The body's lower half follows the root, bobbed up 0.25.
        EXPECT_TRUE(shows({0.0f, 1.25f, 0.0f}, blue, lit)) << "lower body";
        // Its top edge follows the arm, swung about its origin (0, 2.25):
        // the left corner fully, the right one at half weight.
        const win_vect3 left = {-1.0f, 2.25f, 0.0f}, right = {1.0f, 2.25f, 0.0f};
        const win_vect3 top_left = turned(-1.0f, 2.0f, 0.75f, 0.0f, 2.25f);
        const win_vect3 upper = {(left.x + right.x + top_left.x) / 3.0f,
                                 (left.y + right.y + top_left.y) / 3.0f, 0.0f};
        EXPECT_TRUE(shows(upper, green, lit)) << "upper body";
        EXPECT_TRUE(shows({0.8f, 4.0f, 0.0f}, 0, 0.0f))
            << "where the body's top right corner was before the half-weight swing";
        // The hat rides on the arm.
        EXPECT_TRUE(shows(turned(0.0f, 7.0f / 3.0f, 0.75f, 0.0f, 2.25f), blue, lit)) << "hat";
        EXPECT_TRUE(shows({0.0f, 4.75f, 0.0f}, 0, 0.0f)) << "where the hat was at rest";
        EXPECT_TRUE(shows({3.0f, 1.0f, 0.0f}, 0, 0.0f)) << "beside the figure";
    }

    texture_container* skin = nullptr;
    texture_container_ptr slot = nullptr;
    win_shader shader = {};
    mow_model* model = nullptr;
    mow_anim* wave = nullptr;
    mow_track_augment* poses = nullptr;
    win_matrix44 projection = {}, view_projection = {};
    int32_t light_index = -1;
};

}  // namespace

TEST_F(GlModel, ThePosedFigureIsDrawnTexturedAndLitBeforeAndAfterADeviceLoss)
{
    draw_scene();
    check_pose("before the loss");
    EXPECT_EQ(d3dxframe_update_frame(1), 0);

    // The frame re-creates the device and reloads the skin; the renderer
    // must bind it again, though it is the container it bound last.
    d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
    ASSERT_EQ(d3dxframe_update_frame(1), DDERR_SURFACELOST);
    ASSERT_NE(skin->texture_container_surface, nullptr);
    draw_scene();
    check_pose("after the loss");
    EXPECT_EQ(d3dxframe_update_frame(1), 0);
    EXPECT_TRUE(log->errors().empty());
}
