// Entity rendering: which entities each pass draws and the device states it
// sets for them, on the recording back-end; and on the GL back-end one
// frame of the scene with the figure updated, drawn, lit and textured,
// checked on its pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "demo_model.h"
#include "entity.h"
#include "entity_fixture.h"
#include "entity_render.h"
#include "gameglobals.h"
#include "mow_rend_dx7.h"
#include "platform/d3d_record.h"
#include "texture_support.h"
#include "varnock.h"
#include "win_math.h"
#include "winmain2.h"

namespace {

// Each demo figure is two draws: its skinned body and its rigid hat.
constexpr const char* MODEL_DRAW = "Device.DrawIndexedPrimitiveStrided 4 0x112";
constexpr int FIGURE_DRAWS = 2;

class Render : public TextureFrameTest {
protected:
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        frame_delta_time = 10.0f;
    }
    // A posed figure.
    win_entity* figure(const char* name, uint32_t extra_flags = 0)
    {
        win_entity* entity = fixture_character(name, true, true);
        entity->win_entity_flag |= extra_flags;
        update_entity(entity, &win_math_identity_matrix43, nullptr);
        return entity;
    }
    int figures_drawn(win_entity* entity, int32_t pass)
    {
        d3d_record_reset();
        d3d_record_start();
        EXPECT_EQ(entity_render_entity(entity, pass), 1);
        return d3d_record_count_of(MODEL_DRAW) / FIGURE_DRAWS;
    }
    FixtureRing ring;
};

TEST_F(Render, EachPassDrawsItsOwnEntitiesAndSubEntitiesByTheirOwnFlags)
{
    struct {
        const char* what;
        uint32_t parent_flags;
        float parent_life;
        int32_t parent_type;
        uint32_t child_flags;
        int pass_0, pass_1;
    } cases[] = {
        {"both drawn", 0, ETERNAL_LIFE_SPAN, WIN_ENTITY_TYPE_CHARACTER, 0, 2, 0},
        {"a second-pass weapon of a first-pass holder", 0, ETERNAL_LIFE_SPAN,
         WIN_ENTITY_TYPE_CHARACTER, ENTITY_FLAG_SECOND_PASS, 1, 1},
        {"an invisible parent", ~0u, 1.0f, WIN_ENTITY_TYPE_CHARACTER, 0, 1, 0},
        {"a dead character", 0, 0.0f, WIN_ENTITY_TYPE_CHARACTER, 0, 0, 0},
        {"a dead emitter's particle", 0, -1.0f, WIN_ENTITY_TYPE_EMITTER, 0, 1, 0},
        {"a level not in play", 0, ETERNAL_LIFE_SPAN, WIN_ENTITY_TYPE_ENVIRONMENT, 0, 0, 0},
    };
    for (const auto& c : cases) {
        win_entity* parent = figure("parent");
        if (c.parent_flags == ~0u)
            parent->win_entity_flag &= ~ENTITY_FLAG_VISIBLE;
        parent->life_span = c.parent_life;
        fixture_attach(parent, figure("child", c.child_flags), 1);
        // The type only decides the parent's own drawing and its children's.
        const int32_t type = parent->win_entity_type;
        parent->win_entity_type = c.parent_type;
        EXPECT_EQ(figures_drawn(parent, 0), c.pass_0) << c.what;
        EXPECT_EQ(figures_drawn(parent, 1), c.pass_1) << c.what;
        if (c.parent_type == WIN_ENTITY_TYPE_ENVIRONMENT) {
            EXPECT_EQ(d3d_record_count(), 0) << "it touches no device state";
        }
        parent->win_entity_type = type;
        free_win_entity(parent);
    }
}

TEST_F(Render, TheCurrentEnvironmentLeadsItsSubEntities)
{
    win_entity* place = ring.add(fixture_character("place", false, false));
    win_character* payload = place->u.win_character;
    place->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
    place->u.win_environment = malloc_win_environment();
    fixture_attach(place, figure("hero"));
    game_globals.current_environment = place;
    EXPECT_EQ(figures_drawn(place, 0), 1);
    game_globals.current_environment = nullptr;
    free_win_character(payload);
}

TEST_F(Render, TheSecondPassComesAfterTheFirstAcrossTheRing)
{
    EXPECT_EQ(entity_render_all(), 0) << "an empty ring";
    ring.add(figure("late", ENTITY_FLAG_SECOND_PASS));
    ring.add(figure("early", ENTITY_FLAG_NO_LIGHTING));
    d3d_record_start();
    EXPECT_EQ(entity_render_all(), 1);
    // "early" is the one entity that switches lighting off.
    const int early = d3d_record_find("Device.SetRenderState 137 0", 0);
    ASSERT_GE(early, 0);
    EXPECT_EQ(d3d_record_find(MODEL_DRAW, 0), d3d_record_find(MODEL_DRAW, early))
        << "nothing is drawn before it";
    EXPECT_EQ(d3d_record_count_of(MODEL_DRAW), 2 * FIGURE_DRAWS);
}

TEST_F(Render, EntityFlagsSetLightingFilteringAndDepthWrites)
{
    win_entity* hero = figure("hero", ENTITY_FLAG_NO_LIGHTING | ENTITY_FLAG_NO_FILTERING |
                                          ENTITY_FLAG_NO_ZWRITE);
    d3dxframe_set_bilinear_filtering(1);
    d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, 1);
    d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 1);
    figures_drawn(hero, 0);
    EXPECT_GE(d3d_record_find("Device.SetRenderState 137 0", 0), 0);
    EXPECT_GE(d3d_record_find("Device.SetRenderState 14 0", 0), 0);
    EXPECT_GE(d3d_record_find("Device.SetTextureStageState 0 16 1", 0), 0) << "point filtering";
    DWORD state = 0;
    d3dxframe_get_render_state(D3DRENDERSTATE_LIGHTING, &state);
    EXPECT_EQ(state, 1u) << "lighting is put back";
    d3dxframe_get_render_state(D3DRENDERSTATE_ZWRITEENABLE, &state);
    EXPECT_EQ(state, 0u) << "depth writes are not: the next entity sets its own";

    // An ordinary entity writes depth again and filters bilinearly; with
    // lighting off before it, lighting stays off.
    hero->win_entity_flag = ENTITY_FLAG_VISIBLE;
    d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, 0);
    figures_drawn(hero, 0);
    EXPECT_GE(d3d_record_find("Device.SetRenderState 14 1", 0), 0);
    EXPECT_GE(d3d_record_find("Device.SetTextureStageState 0 16 2", 0), 0);
    EXPECT_LT(d3d_record_find("Device.SetRenderState 137 1", 0), 0);
    free_win_entity(hero);
}

TEST_F(Render, WireframeAndCollisionSpheres)
{
    win_entity* hero = figure("hero");
    game_globals.wireframe_mode = 1;
    game_globals.bDisplayCollisionData = 1;
    EXPECT_EQ(figures_drawn(hero, 0), 1);
    const int wire = d3d_record_find("Device.SetRenderState 8 2", 0);
    ASSERT_GE(wire, 0);
    EXPECT_GT(d3d_record_find(MODEL_DRAW, 0), wire);
    EXPECT_EQ(d3d_record_count_of("Device.DrawIndexedPrimitiveStrided 4 0x42"), 1)
        << "the model's bounding sphere";
    EXPECT_GT(d3d_record_find("Device.SetRenderState 8 3", 0), d3d_record_find(MODEL_DRAW, 0));

    // A figure without a state table shows the sphere of each joint.
    free_win_ast(hero->win_ast);
    hero->win_ast = nullptr;
    figures_drawn(hero, 0);
    EXPECT_EQ(d3d_record_count_of("Device.DrawIndexedPrimitiveStrided 4 0x42"), DEMO_MODEL_JOINTS);
    game_globals.wireframe_mode = 0;
    game_globals.bDisplayCollisionData = 0;
    free_win_entity(hero);
}

TEST_F(Render, MapNodesShowOnlyWhenAskedFor)
{
    win_entity* place = ring.add(fixture_character("place", false, false));
    win_character* payload = place->u.win_character;
    place->win_entity_type = WIN_ENTITY_TYPE_ENVIRONMENT;
    place->u.win_environment = malloc_win_environment();
    game_globals.current_environment = place;
    d3d_record_start();
    EXPECT_EQ(entity_draw_map_nodes(), 1) << "switched off";
    game_globals.display_map_nodes = 1;
    EXPECT_EQ(entity_draw_map_nodes(), 0) << "no map";
    win_map* map = malloc_win_map("yard");
    map->node_array = malloc_win_path_node_array(3);
    map->node_array_size = 3;
    place->u.win_environment->win_map = map;
    EXPECT_EQ(entity_draw_map_nodes(), 1);
    EXPECT_EQ(d3d_record_count_of("Device.DrawIndexedPrimitiveStrided 4 0x42"), 3);
    game_globals.display_map_nodes = 0;
    game_globals.current_environment = nullptr;
    free_win_character(payload);
}

// ---- on the GL back-end

const uint32_t green = 0xFF00FF00, blue = 0xFF0000FF;
const int ambient_level = 64;
const float light_level = 0.5f;
const float lit = light_level + (float)ambient_level / 255.0f;

class GlScene : public TextureFrameTest {
protected:
    GlScene() : TextureFrameTest(true) {}
    void SetUp() override
    {
        TextureFrameTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(mow_rend_init(), 1);
        // The skin: green above, blue below.
        texture_container* skin = test_load_two_tone_texture(dir, demo_model_shader_name, green,
                                                             blue);
        ASSERT_NE(skin, nullptr);

        hero = ring.add(fixture_character("hero", true, true));
        ASSERT_EQ(mow_rend_init_mow_model(hero->u.win_character->mow_model), 1);
        win_character* character = hero->u.win_character;
        character->win_shader_array = malloc_win_shader_array(1);
        character->win_shader_array_size = 1;
        win_shader& shader = character->win_shader_array[0];
        shader.texture_container_ptr_array = malloc_texture_container_ptr_array(1);
        shader.texture_container_ptr_array_size = 1;
        shader.texture_container_ptr_array[0] = skin;
        skin->texture_container_ref_cnt += 1;
        shader.current_texture = 0;

        // The sky's ambient light and a lamp shining from the camera onto
        // the figure's face: a directional light turned half a turn.
        win_entity* sky = ring.add(fixture_light("sky", 0));
        sky->u.win_light->d3d_light.dcvDiffuse = {(float)ambient_level, (float)ambient_level,
                                                  (float)ambient_level, 1.0f};
        lamp = ring.add(fixture_light("lamp", D3DLIGHT_DIRECTIONAL));
        lamp->u.win_light->d3d_light.dcvDiffuse = {light_level, light_level, light_level, 1.0f};
        win_math_set_rotate_y_matrix43(&lamp->local_matrix, (float)M_PI);

        win_entity* camera = ring.add(fixture_camera("camera"));
        win_math_set_translate_matrix43(&camera->local_matrix, 0.0f, 2.5f, -8.0f);
        game_globals.current_camera = camera;
        game_globals.camera_look_at_point = {0.0f, 2.5f, 0.0f};
        game_globals.overlay_alpha = 0.0f;
        game_globals.hide_gui = 1;
        d3dxframe_build_projection_matrix(&projection, 1.0f, 0.75f, 1.0f, 100.0f);
        d3dxframe_set_projection_transform(&projection);
    }
    void TearDown() override
    {
        game_globals.current_camera = nullptr;
        {
            FixtureRing release;
        }
        d3dtextr_cleanup();
        TextureFrameTest::TearDown();
    }

    // One frame as the main loop runs it: the update, then the scene.
    void frame(float ms)
    {
        frame_delta_time = ms;
        ASSERT_EQ(entity_update_all(), 1);
        ASSERT_EQ(varnock_render_scene(), 0);
        win_math_multiply_matrix44(&view_projection, &game_globals.view_matrix, &projection);
    }

    ::testing::AssertionResult shows(const win_vect3& point, uint32_t texel, float level)
    {
        win_vect3 projected;
        win_math_multiply_vect3_by_matrix44(&projected, &point, &view_projection);
        const DWORD x = (DWORD)std::lround((projected.x + 1.0f) / 2.0f * 640.0f);
        const DWORD y = (DWORD)std::lround((1.0f - projected.y) / 2.0f * 480.0f);
        DWORD got = 0;
        if (d3d_read_render_target(d3dx_globals.device, x, y, 1, 1, &got) != S_OK)
            return ::testing::AssertionFailure() << "no pixels";
        for (int shift : {0, 8, 16}) {
            const int want = (int)std::lround((float)((texel >> shift) & 0xFF) * level);
            const int have = (int)((got >> shift) & 0xFF);
            if (std::abs(want - have) > 3)
                return ::testing::AssertionFailure()
                       << "(" << point.x << ", " << point.y << ", " << point.z << ") shows 0x"
                       << std::hex << (got & 0xFFFFFF);
        }
        return ::testing::AssertionSuccess();
    }

    FixtureRing ring;
    win_entity* hero = nullptr;
    win_entity* lamp = nullptr;
    win_matrix44 projection = {}, view_projection = {};
};

TEST_F(GlScene, TheUpdatedFigureIsDrawnLitAndTextured)
{
    // 250 ms into the wave: the figure has walked half a unit along z, its
    // root bobbed up; its lower body is the skin's blue half, lit by the
    // lamp and the sky.
    frame(250.0f);
    const float z = 250.0f * WAVE_WALK_PER_MS;
    const win_vect3 lower = {0.0f, 1.1f, z};
    EXPECT_TRUE(shows(lower, blue, lit));
    EXPECT_TRUE(shows({3.0f, 1.0f, z}, 0, 0.0f)) << "beside the figure";

    // With the lamp gone only the sky lights it.
    lamp->life_span = 0.0f;
    frame(0.0f);
    EXPECT_TRUE(shows(lower, blue, (float)ambient_level / 255.0f));
    EXPECT_EQ(lamp->u.win_light->light_slot, -1);
    EXPECT_TRUE(log->errors().empty());
}

}  // namespace
