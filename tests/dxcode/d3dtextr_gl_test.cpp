// The texture cache on the GL back-end: a texture loaded from its file,
// colour-keyed through the transparent-texture list, drawn as a screen quad
// and read back from the render target, before and after a device loss that
// the frame repairs by reloading every cached texture.
//
// The fixture draws with Mesa's software renderer through SDL's offscreen
// driver (test_use_gl_backend).
#include <gtest/gtest.h>

#include <string>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "platform/d3d_record.h"
#include "texture_support.h"

namespace {

const uint32_t red = 0xFFFF0000, green = 0xFF00FF00, black = 0xFF000000, white = 0xFFFFFFFF;

uint32_t pixel_at(int x, int y)
{
    DWORD value = 0;
    EXPECT_EQ(d3d_read_render_target(d3dx_globals.device, (DWORD)x, (DWORD)y, 1, 1, &value), S_OK);
    return value & 0xFFFFFF;
}

class GlTextures : public TextureFrameTest {
protected:
    GlTextures() : TextureFrameTest(true) {}
    void TearDown() override
    {
        d3dtextr_cleanup();
        TextureFrameTest::TearDown();
    }

    // Red below, the texture over it at (320 .. 480, 0 .. 120): each of the
    // 4 x 4 texels covers 40 x 30 pixels.
    void draw(texture_container* container)
    {
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
        EXPECT_EQ(
            d3dxframe_draw_screen_quad(nullptr, red, red, red, red, 320.0f, 0.0f, 159.0f, 119.0f),
            1);
        d3dxframe_set_texture_filter(0);
        EXPECT_EQ(d3dxframe_draw_screen_quad(container, white, white, white, white, 320.0f, 0.0f,
                                             159.0f, 119.0f),
                  1);
        ASSERT_EQ(d3dxframe_end_scene(), 1);
    }
    void check(const char* when)
    {
        EXPECT_EQ(pixel_at(340, 15), green & 0xFFFFFF) << when << ": texel (0, 0)";
        EXPECT_EQ(pixel_at(420, 75), green & 0xFFFFFF) << when << ": texel (2, 2)";
        EXPECT_EQ(pixel_at(380, 45), red & 0xFFFFFF) << when << ": the colour-keyed texel";
    }
};

}  // namespace

TEST_F(GlTextures, AColourKeyedTextureDrawsTheSameBeforeAndAfterASurfaceLoss)
{
    Pixels texels(16, green);
    texels[5] = black;  // texel (1, 1)
    dir.write("keyed.tga", tga_image(4, 4, 24, false, 0x20, texels));
    std::string list = dir.write("transtex.ttw", "47\n101\nkeyed\nend_of_entries\n");
    ASSERT_EQ(d3dtextr_load_transparent_texture_list(list.c_str()), 1);
    ASSERT_EQ(d3dtextr_attach_to_frame(dir.path().c_str()), 1);
    char name[] = "Keyed";
    texture_container* keyed = d3dtextr_load_texture(name, dir.path().c_str(), nullptr);
    ASSERT_NE(keyed, nullptr);
    ASSERT_EQ(keyed->texture_container_transparent, 1);

    draw(keyed);
    check("before the loss");
    EXPECT_EQ(d3dxframe_update_frame(1), 0);

    d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
    ASSERT_EQ(d3dxframe_update_frame(1), DDERR_SURFACELOST);
    ASSERT_NE(keyed->texture_container_surface, nullptr);
    EXPECT_EQ(keyed->texture_container_id, 1);
    draw(keyed);
    check("after the loss");
    EXPECT_EQ(d3dxframe_update_frame(1), 0);
    EXPECT_TRUE(log->errors().empty());
}
