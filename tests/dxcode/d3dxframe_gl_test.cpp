// The render frame drawn by the GL back-end: one scene of every kind of draw
// the game makes, checked pixel by pixel in the frame the back-end keeps.
//
// The tests need no display server: SDL's offscreen video driver gives a GL
// context through EGL, drawn by Mesa's software renderer (llvmpipe), so the
// pixels are the same on every machine. Where no GL context can be made the
// tests are skipped, except under CI, where that is a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "d3dxframe.h"
#include "platform/d3d_gl_repeat.h"
#include "platform/d3d_record.h"
#include "platform/d3dx.h"
#include "platform/dialog.h"
#include "platform/dialog_test.h"
#include "platform/font.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"
#include "texture_container.h"

namespace {

const DWORD black = 0xFF000000, red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF,
            white = 0xFFFFFFFF, yellow = 0xFFFFFF00;

// A 4 x 4 green texture whose texel (1, 1) is black, the colour key of a
// transparent texture. Made again after every re-creation of the device.
texture_container keyed_texture;

int make_keyed_texture()
{
    IDirectDrawSurface7* surface = nullptr;
    DWORD size = 4;
    D3DX_SURFACEFORMAT format = D3DX_SF_X8R8G8B8;
    if (FAILED(D3DXCreateTexture(d3dx_globals.device, nullptr, &size, &size, &format, nullptr,
                                 &surface, nullptr)))
        return 0;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            ((DWORD*)((uint8_t*)desc.lpSurface + y * desc.lPitch))[x] = (x == 1 && y == 1) ? black
                                                                                           : green;
    surface->Unlock(nullptr);
    DDCOLORKEY key = {0, 0};
    surface->SetColorKey(DDCKEY_SRCBLT, &key);
    keyed_texture = {};
    keyed_texture.texture_container_surface = surface;
    keyed_texture.texture_container_transparent = 1;
    return 1;
}

int drop_keyed_texture()
{
    if (keyed_texture.texture_container_surface)
        keyed_texture.texture_container_surface->Release();
    keyed_texture.texture_container_surface = nullptr;
    return 1;
}

struct screen_vertex {
    float x, y, z, rhw;
    DWORD diffuse;
};
struct lit_vertex {
    float x, y, z, nx, ny, nz;
};

// A pretransformed rectangle, wound clockwise on the screen (front facing).
void screen_rect(float x0, float y0, float x1, float y1, float z, DWORD colour)
{
    screen_vertex corners[4] = {{x0, y0, z, 1.0f, colour},
                                {x1, y0, z, 1.0f, colour},
                                {x1, y1, z, 1.0f, colour},
                                {x0, y1, z, 1.0f, colour}};
    EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLEFAN, 0x44, corners, 4, 0), 1);
}

void screen_triangle(const float points[6], DWORD colour)
{
    screen_vertex corners[3];
    for (int i = 0; i < 3; ++i)
        corners[i] = {points[2 * i], points[2 * i + 1], 0.5f, 1.0f, colour};
    EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, 0x44, corners, 3, 0), 1);
}

// The lit and fogged triangle: camera at the origin looking down -z, a
// white directional light shining away from it, a bluish fog by distance.
const lit_vertex lit_triangle[3] = {
    {-6.67f, 6.5f, -10.0f, 0.0f, 0.0f, 1.0f},
    {-5.17f, 3.5f, -10.0f, 0.0f, 0.0f, 1.0f},
    {-8.17f, 3.5f, -10.0f, 0.0f, 0.0f, 1.0f},
};
const float light_rgb[3] = {0.8f, 0.4f, 0.2f};
const int ambient_level = 32;
const float fog_end = 20.0f;

const float wire_triangle[6] = {260, 250, 360, 400, 160, 400};
const float culled_triangle[6] = {550, 130, 500, 220, 600, 220};  // counter-clockwise on the screen

int32_t light_index = -1;

DWORD float_bits(float value)
{
    DWORD bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

void set_fog(int on)
{
    d3dxframe_set_render_state(D3DRENDERSTATE_FOGENABLE, (DWORD)on);
    d3dxframe_set_render_state(D3DRENDERSTATE_FOGCOLOR, 0x0000FF);
    d3dxframe_set_render_state(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
    d3dxframe_set_render_state(D3DRENDERSTATE_FOGSTART, float_bits(0.0f));
    d3dxframe_set_render_state(D3DRENDERSTATE_FOGEND, float_bits(fog_end));
    d3dxframe_set_render_state(D3DRENDERSTATE_RANGEFOGENABLE, 1);
}

// Colour-keyed texture over red at (320 .. 480, 0 .. 120), point sampled,
// and half-transparent white over the clear colour at (0 .. 160, 240 .. 360).
void draw_screen_quads()
{
    EXPECT_EQ(d3dxframe_draw_screen_quad(nullptr, red, red, red, red, 320.0f, 0.0f, 159.0f, 119.0f),
              1);
    d3dxframe_set_texture_filter(0);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 320.0f, 0.0f,
                                         159.0f, 119.0f),
              1);
    d3dxframe_set_texture(0, nullptr);
    EXPECT_EQ(d3dxframe_draw_screen_quad(nullptr, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF,
                                         0.0f, 240.0f, 159.0f, 119.0f),
              1);
}

// The projection, the ambient light, the light and the fog the lit triangle
// is drawn with.
void set_lit_scene()
{
    win_matrix44 projection;
    d3dxframe_build_projection_matrix(&projection, 3.14159265f / 2.0f, 0.75f, 1.0f, 100.0f);
    d3dxframe_set_projection_transform(&projection);
    d3dxframe_set_ambient_light(ambient_level, ambient_level, ambient_level);
    D3DLIGHT7 light = {};
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse = {light_rgb[0], light_rgb[1], light_rgb[2], 1.0f};
    light.dvDirection = {0.0f, 0.0f, -1.0f};
    light_index = d3dxframe_set_dynamic_light_color(light, light_index);
    d3dxframe_set_light_allocation(0);
    set_fog(1);
}

// The whole scene, laid out in separate places of the 640 x 480 target.
void draw_scene()
{
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);

    // Lit and fogged triangle around (160, 120).
    set_lit_scene();
    EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, 0x12, (void*)lit_triangle, 3, 0), 1);
    set_fog(0);

    draw_screen_quads();

    // Wireframe triangle, and a counter-clockwise one that culling removes.
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    screen_triangle(wire_triangle, white);
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    screen_triangle(culled_triangle, white);

    // Screen quad with four corner colours at (480 .. 640, 240 .. 480).
    EXPECT_EQ(d3dxframe_draw_screen_quad(nullptr, red, green, blue, white, 480.0f, 240.0f, 159.0f,
                                         239.0f),
              1);

    // Depth: a biased red rectangle keeps a coplanar green one drawn after it
    // out; a blue one that writes no depth lets a farther yellow one in.
    d3dxframe_set_render_state(D3DRENDERSTATE_ZBIAS, 1);
    screen_rect(210, 140, 260, 190, 0.5f, red);
    d3dxframe_set_render_state(D3DRENDERSTATE_ZBIAS, 0);
    screen_rect(210, 140, 260, 190, 0.5f, green);
    d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 0);
    screen_rect(270, 140, 310, 190, 0.2f, blue);
    d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 1);
    screen_rect(270, 140, 310, 190, 0.6f, yellow);

    // A line of text in the game font.
    EXPECT_EQ(d3dxframe_draw_text(20, 440, "Varnock", &yellow), 1);

    ASSERT_EQ(d3dxframe_end_scene(), 1);
}

DWORD pixel_at(int x, int y)
{
    DWORD value = 0;
    EXPECT_EQ(d3d_read_render_target(d3dx_globals.device, (DWORD)x, (DWORD)y, 1, 1, &value), S_OK);
    return value;
}

::testing::AssertionResult looks_like(int x, int y, float r, float g, float b, int tolerance = 3)
{
    DWORD got = pixel_at(x, y);
    int want[3] = {(int)std::lround(r * 255.0f), (int)std::lround(g * 255.0f),
                   (int)std::lround(b * 255.0f)};
    int have[3] = {(int)((got >> 16) & 0xFF), (int)((got >> 8) & 0xFF), (int)(got & 0xFF)};
    for (int i = 0; i < 3; ++i)
        if (std::abs(want[i] - have[i]) > tolerance)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") is " << have[0] << "," << have[1] << ","
                   << have[2] << ", expected " << want[0] << "," << want[1] << "," << want[2];
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult looks_like(int x, int y, DWORD colour, int tolerance = 3)
{
    return looks_like(x, y, (float)((colour >> 16) & 0xFF) / 255.0f,
                      (float)((colour >> 8) & 0xFF) / 255.0f, (float)(colour & 0xFF) / 255.0f,
                      tolerance);
}

// Where a point of the lit triangle lands, in Direct3D's pixel-centred
// screen coordinates, and its fog factor.
void project(const lit_vertex& v, float* x, float* y)
{
    *x = (0.75f * v.x / -v.z + 1.0f) / 2.0f * 640.0f;
    *y = (1.0f - v.y / -v.z) / 2.0f * 480.0f;
}

void check_scene()
{
    // Lit triangle at its centroid: ambient plus the light, mixed with the
    // fog by the mean of the corners' fog factors (all at one depth).
    float cx = 0.0f, cy = 0.0f, fog = 0.0f;
    for (const lit_vertex& v : lit_triangle) {
        float x, y;
        project(v, &x, &y);
        cx += x / 3.0f;
        cy += y / 3.0f;
        fog += (fog_end - std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z)) / fog_end / 3.0f;
    }
    float lit[3];
    for (int i = 0; i < 3; ++i)
        lit[i] = std::min(1.0f, light_rgb[i] + (float)ambient_level / 255.0f);
    EXPECT_TRUE(looks_like((int)std::lround(cx), (int)std::lround(cy), lit[0] * fog, lit[1] * fog,
                           lit[2] * fog + (1.0f - fog)))
        << "lit and fogged triangle";
    EXPECT_TRUE(looks_like(60, 60, black)) << "outside the triangle";

    // Texel (0, 0) and (2, 2) are green; the keyed texel (1, 1) shows red.
    EXPECT_TRUE(looks_like(340, 15, green)) << "texel (0, 0)";
    EXPECT_TRUE(looks_like(420, 75, green)) << "texel (2, 2)";
    EXPECT_TRUE(looks_like(380, 45, red)) << "colour-keyed texel";

    EXPECT_TRUE(looks_like(80, 300, 0.5f, 0.5f, 0.5f)) << "alpha-blended quad";

    // Wireframe: the bottom edge is drawn, the inside is not.
    bool edge = false;
    for (int dy = -1; dy <= 1; ++dy)
        edge = edge || looks_like(260, 400 + dy, white);
    EXPECT_TRUE(edge) << "wireframe edge";
    EXPECT_TRUE(looks_like(260, 350, black)) << "inside the wireframe";
    EXPECT_TRUE(looks_like(550, 190, black)) << "culled triangle";

    // Corners of the four-colour quad (top left, top right, bottom left,
    // bottom right as the call names them).
    EXPECT_TRUE(looks_like(482, 242, red, 8));
    EXPECT_TRUE(looks_like(637, 242, green, 8));
    EXPECT_TRUE(looks_like(482, 477, blue, 8));
    EXPECT_TRUE(looks_like(637, 477, white, 8));

    EXPECT_TRUE(looks_like(235, 165, red)) << "z bias";
    EXPECT_TRUE(looks_like(290, 165, yellow)) << "z write off";

    // Text: yellow pixels within the line's cell (24 pixels high), none
    // above it or after it.
    std::vector<DWORD> cell(240 * 30);
    ASSERT_EQ(d3d_read_render_target(d3dx_globals.device, 10, 435, 240, 30, cell.data()), S_OK);
    int inked = 0, stray = 0, other = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 240; ++x) {
            DWORD c = cell[(size_t)y * 240 + x] & 0xFFFFFF;
            bool inside = x >= 10 && y >= 5 && y < 5 + 24;
            if (c == 0)
                continue;
            if (!inside)
                ++stray;
            else if (c == 0xFFFF00)
                ++inked;
            else if (((c >> 16) & 0xFF) != ((c >> 8) & 0xFF) || (c & 0xFF) != 0)
                ++other;  // antialiased edges are darker yellow, never another hue
        }
    EXPECT_GT(inked, 150) << "text pixels in full colour";
    EXPECT_EQ(stray, 0) << "text pixels outside the cell";
    EXPECT_EQ(other, 0) << "text pixels of another hue";
}

LRESULT frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SIZE)
        d3dxframe_on_size((int32_t)wparam, (int32_t)lparam);
    return DefWindowProc(window, message, wparam, lparam);
}

// Windowed, the window's own framebuffer is drawn into; full screen, the
// back-end's framebuffer object, scaled to the display when presented.
class GlFrame : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        test_reset_state();
        test_use_gl_backend();
        platform_font_use(&platform_font_freetype_ops);
        log = std::make_unique<LogCapture>();
        window = test_make_window("GL Frame Test Window", frame_proc);
        ASSERT_NE(window, nullptr);
        d3dxframe_set_defaults();
        d3dx_globals.m_bIsFullscreen = GetParam() ? 1 : 0;
        d3dxframe_set_hwnd(window);
        d3dxframe_set_texture_functs(drop_keyed_texture, make_keyed_texture);
        ShowWindow(window, SW_SHOW);
        light_index = -1;
        if (FAILED(d3dxframe_initialize(window))) {
            if (getenv("CI"))
                FAIL() << "no GL context could be made";
            GTEST_SKIP() << "no GL context could be made";
        }
        d3dxframe_create_game_font();
        ASSERT_EQ(make_keyed_texture(), 1);
    }
    void TearDown() override
    {
        d3dxframe_unitialize();
        EXPECT_EQ(d3d_live_objects(), 0) << "objects left after the frame was released";
        platform_font_use(nullptr);
        win32_reset();
    }

    HWND window = nullptr;
    std::unique_ptr<LogCapture> log;
};

TEST_P(GlFrame, EveryKindOfDrawLandsOnItsPixels)
{
    ASSERT_EQ(d3dx_globals.m_bIsFullscreen, GetParam() ? 1 : 0);
    ASSERT_EQ(d3dx_globals.font_height, 24);
    draw_scene();
    check_scene();
    EXPECT_EQ(d3dxframe_update_frame(1), 0);
}

// A draw sends the vertices from its smallest index to its largest, packed,
// and reaches them through a base vertex: vertices outside that range, a
// change of vertex layout between draws, and a stream buffer that fills and
// starts again must not move any draw off its pixels.
TEST_P(GlFrame, DrawsReachTheVerticesTheirIndicesUse)
{
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);

    // Interleaved: vertices 0..3 are a red rectangle no index names, 4..7 a
    // green one at (20 .. 80, 20 .. 80).
    screen_vertex interleaved[8] = {
        {200, 20, 0.5f, 1, red},  {260, 20, 0.5f, 1, red},  {260, 80, 0.5f, 1, red},
        {200, 80, 0.5f, 1, red},  {20, 20, 0.5f, 1, green}, {80, 20, 0.5f, 1, green},
        {80, 80, 0.5f, 1, green}, {20, 80, 0.5f, 1, green},
    };
    WORD second_quad[6] = {4, 5, 6, 4, 6, 7};
    EXPECT_EQ(d3dx_globals.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0x44, interleaved, 8,
                                                        second_quad, 6, 0),
              D3D_OK);

    // Strided: positions and colours in arrays of their own; the indices use
    // vertices 2..5, a blue rectangle at (100 .. 160, 20 .. 80).
    float positions[6][4] = {{300, 100, 0.5f, 1}, {360, 100, 0.5f, 1}, {100, 20, 0.5f, 1},
                             {160, 20, 0.5f, 1},  {160, 80, 0.5f, 1},  {100, 80, 0.5f, 1}};
    DWORD colours[6] = {red, red, blue, blue, blue, blue};
    D3DDRAWPRIMITIVESTRIDEDDATA strided = {};
    strided.position = {positions, sizeof positions[0]};
    strided.diffuse = {colours, sizeof colours[0]};
    WORD middle_quad[6] = {2, 3, 4, 2, 4, 5};
    EXPECT_EQ(d3dxframe_draw_indexed_primitive_strided(D3DPT_TRIANGLELIST, 0x44, &strided, 6,
                                                       middle_quad, 6, 0),
              1);

    // Draws whose indices span 4,000 vertices send them all: a hundred of
    // them fill the stream buffer twice over. The last is white, at
    // (400 .. 460, 300 .. 360).
    std::vector<screen_vertex> wide(4000, screen_vertex{0, 0, 0.5f, 1, red});
    WORD corners[6] = {0, 1, 3998, 0, 3998, 3999};
    for (int i = 0; i < 100; ++i) {
        DWORD colour = i == 99 ? white : (i % 2 ? yellow : red);
        wide[0] = {400, 300, 0.5f, 1, colour};
        wide[1] = {460, 300, 0.5f, 1, colour};
        wide[3998] = {460, 360, 0.5f, 1, colour};
        wide[3999] = {400, 360, 0.5f, 1, colour};
        ASSERT_EQ(d3dx_globals.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0x44, wide.data(),
                                                            4000, corners, 6, 0),
                  D3D_OK);
    }
    // Without indices every vertex is sent.
    screen_rect(500, 20, 560, 80, 0.5f, yellow);
    ASSERT_EQ(d3dxframe_end_scene(), 1);

    EXPECT_TRUE(looks_like(50, 50, green)) << "interleaved, vertices 4..7";
    EXPECT_TRUE(looks_like(230, 50, black)) << "vertices no index names";
    EXPECT_TRUE(looks_like(130, 50, blue)) << "strided, vertices 2..5";
    EXPECT_TRUE(looks_like(330, 120, black)) << "strided vertices no index names";
    EXPECT_TRUE(looks_like(430, 330, white)) << "the last of the wide draws";
    EXPECT_TRUE(looks_like(530, 50, yellow)) << "a draw without indices";
}

// A draw whose states are those of the draw before it, its world transform
// aside, reuses what was set up for that one; frames in a row write their
// vertices into two stream buffers in turn. Every draw must still show its
// own states, texels and place, frame after frame.
TEST_P(GlFrame, DrawsAndFramesInARowKeepTheirOwnStates)
{
    win_matrix44 projection;
    d3dxframe_build_projection_matrix(&projection, 3.14159265f / 2.0f, 0.75f, 1.0f, 100.0f);
    d3dxframe_set_projection_transform(&projection);
    D3DLIGHT7 light = {};
    light.dltType = D3DLIGHT_DIRECTIONAL;
    light.dcvDiffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.dvDirection = {0.0f, 0.0f, -1.0f};
    light_index = d3dxframe_set_dynamic_light_color(light, light_index);
    d3dxframe_set_light_allocation(0);
    const DWORD colours[] = {red, green, blue, yellow, white};
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
        // First a draw of more vertices each frame, so that the draws after
        // it lie elsewhere in the stream buffer than two frames before.
        std::vector<screen_vertex> growing((size_t)(4 + 100 * frame),
                                           screen_vertex{0, 0, 0.5f, 1, black});
        const WORD last = (WORD)(growing.size() - 4);
        const float corners[4][2] = {{500, 100}, {560, 100}, {560, 160}, {500, 160}};
        for (int i = 0; i < 4; ++i)
            growing[last + i] = {corners[i][0], corners[i][1], 0.5f, 1, colours[frame]};
        WORD quad[6] = {last, (WORD)(last + 1), (WORD)(last + 2),
                        last, (WORD)(last + 2), (WORD)(last + 3)};
        EXPECT_EQ(d3dx_globals.device->DrawIndexedPrimitive(
                      D3DPT_TRIANGLELIST, 0x44, growing.data(), (DWORD)growing.size(), quad, 6, 0),
                  D3D_OK);
        // Alike but for their vertices.
        screen_rect(20, 20, 80, 80, 0.5f, colours[frame]);
        screen_rect(100, 20, 160, 80, 0.5f, colours[frame + 1]);
        // Blending turned on between two draws that are otherwise alike.
        screen_rect(180, 20, 240, 80, 0.5f, 0x80FFFFFF);
        d3dxframe_set_render_state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        d3dxframe_set_render_state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        d3dxframe_set_render_state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        screen_rect(260, 20, 320, 80, 0.5f, 0x80FFFFFF);
        d3dxframe_set_render_state(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        // A texture whose texels and colour key change between two draws
        // with it (the key needs another program), over red.
        screen_rect(340, 20, 400, 80, 0.5f, red);
        screen_rect(420, 20, 480, 80, 0.5f, red);
        IDirectDrawSurface7* surface = keyed_texture.texture_container_surface;
        surface->SetColorKey(DDCKEY_SRCBLT, nullptr);
        d3dxframe_set_texture_filter(0);
        EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 340.0f,
                                             20.0f, 59.0f, 59.0f),
                  1);
        DDSURFACEDESC2 desc = {};
        desc.dwSize = 124;
        ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
        ((DWORD*)desc.lpSurface)[0] = colours[frame + 1];
        surface->Unlock(nullptr);
        DDCOLORKEY key = {0, 0};
        surface->SetColorKey(DDCKEY_SRCBLT, &key);
        EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 420.0f,
                                             20.0f, 59.0f, 59.0f),
                  1);
        d3dxframe_set_texture(0, nullptr);
        // The lit triangle twice, moved by its world transform alone.
        for (float x : {0.0f, 4.0f}) {
            win_matrix44 world = {};
            for (int i = 0; i < 4; ++i)
                world.m[i][i] = 1.0f;
            world.m[3][0] = x;
            d3dxframe_set_world_transform(&world);
            EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, 0x12, (void*)lit_triangle, 3, 0),
                      1);
        }
        win_matrix44 identity = {};
        for (int i = 0; i < 4; ++i)
            identity.m[i][i] = 1.0f;
        d3dxframe_set_world_transform(&identity);
        ASSERT_EQ(d3dxframe_end_scene(), 1);

        EXPECT_TRUE(looks_like(50, 50, colours[frame]));
        EXPECT_TRUE(looks_like(130, 50, colours[frame + 1]));
        EXPECT_TRUE(looks_like(210, 50, white)) << "not blended";
        EXPECT_TRUE(looks_like(290, 50, 0.5f, 0.5f, 0.5f)) << "blended";
        EXPECT_TRUE(looks_like(345, 25, frame == 0 ? green : colours[frame])) << "texels before";
        EXPECT_TRUE(looks_like(425, 25, colours[frame + 1])) << "texels after";
        EXPECT_TRUE(looks_like(362, 42, black)) << "the texel before it was keyed";
        EXPECT_TRUE(looks_like(442, 42, red)) << "the keyed texel";
        EXPECT_TRUE(looks_like(530, 130, colours[frame])) << "the growing draw";
        float x, y;
        project(lit_triangle[0], &x, &y);
        const float lit = std::min(1.0f, 1.0f + (float)ambient_level / 255.0f);
        for (float moved : {0.0f, 4.0f}) {
            float cx = 0.0f, cy = 0.0f;
            for (lit_vertex v : lit_triangle) {
                v.x += moved;
                project(v, &x, &y);
                cx += x / 3.0f;
                cy += y / 3.0f;
            }
            EXPECT_TRUE(looks_like((int)std::lround(cx), (int)std::lround(cy), lit, lit, lit))
                << "lit triangle moved by " << moved;
        }
        EXPECT_EQ(d3dxframe_update_frame(1), 0);
    }
}

TEST_P(GlFrame, TheSceneIsTheSameAfterADeviceLossAndRestore)
{
    draw_scene();
    d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
    ASSERT_EQ(d3dxframe_update_frame(1), DDERR_SURFACELOST);
    ASSERT_NE(d3dx_globals.device, nullptr);
    draw_scene();
    check_scene();
    EXPECT_EQ(d3dxframe_update_frame(1), 0);
}

// Vertices all of opaque white draw with a program that leaves the diffuse
// colour out: a draw of other colours after one of white, its states the
// same, must show its own colours, over a texture as without one.
TEST_P(GlFrame, WhiteAndColouredVerticesShowTheirOwnColours)
{
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    screen_rect(20, 20, 80, 80, 0.0f, white);
    screen_rect(100, 20, 160, 80, 0.0f, red);
    d3dxframe_set_texture_filter(0);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 200.0f, 20.0f,
                                         59.0f, 59.0f),
              1);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, 0xFF808080, 0xFF808080, 0xFF808080,
                                         0xFF808080, 300.0f, 20.0f, 59.0f, 59.0f),
              1);
    d3dxframe_set_texture(0, nullptr);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_TRUE(looks_like(50, 50, white));
    EXPECT_TRUE(looks_like(130, 50, red));
    EXPECT_TRUE(looks_like(205, 25, green)) << "texels as they are";
    EXPECT_TRUE(looks_like(305, 25, 0.0f, 128.0f / 255.0f, 0.0f)) << "texels by grey";
}

// An unlit rectangle at depth `z` through identity transforms: its corners
// are in clip units, (-1, 1) the target's top left.
void clip_rect(float x0, float y0, float x1, float y1, float z, DWORD colour)
{
    struct {
        float x, y, z;
        DWORD diffuse;
    } corners[4] = {
        {x0, y0, z, colour}, {x1, y0, z, colour}, {x1, y1, z, colour}, {x0, y1, z, colour}};
    win_matrix44 identity = {};
    for (int i = 0; i < 4; ++i)
        identity.m[i][i] = 1.0f;
    d3dxframe_set_world_transform(&identity);
    d3dxframe_set_view_transform(&identity);
    d3dxframe_set_projection_transform(&identity);
    d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, 0);
    d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(
        d3dxframe_draw_primitive(D3DPT_TRIANGLEFAN, D3DFVF_XYZ | D3DFVF_DIFFUSE, corners, 4, 0), 1);
    d3dxframe_set_render_state(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
}

// Screen-space draws sure to pass the depth test are drawn without it and
// their depth writes wait: a draw that tests depth after them must find
// what they would have written, and only that.
TEST_P(GlFrame, DepthTestsFindTheWritesOfScreenQuadsDrawnWithoutTheTest)
{
    // A 3D rectangle at depth 0.5 (160 .. 320, 120 .. 240) behind a screen
    // quad at depth 0 over its left part.
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    screen_rect(100, 100, 240, 260, 0.0f, red);
    clip_rect(-0.5f, 0.5f, 0.0f, 0.0f, 0.5f, green);
    // The colour-keyed texture at depth 0 over (320 .. 480, 0 .. 120), and
    // yellow behind it: hidden but where the keyed texel wrote no depth.
    d3dxframe_set_texture_filter(0);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 320.0f, 0.0f,
                                         159.0f, 119.0f),
              1);
    d3dxframe_set_texture(0, nullptr);
    screen_rect(300, 0, 500, 140, 0.5f, yellow);
    // A draw that writes no depth leaves nothing for one behind it.
    d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 0);
    screen_rect(500, 200, 560, 260, 0.2f, blue);
    d3dxframe_set_render_state(D3DRENDERSTATE_ZWRITEENABLE, 1);
    screen_rect(500, 200, 560, 260, 0.6f, yellow);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_TRUE(looks_like(200, 180, red)) << "3D draw behind the quad";
    EXPECT_TRUE(looks_like(280, 180, green)) << "3D draw beside the quad";
    EXPECT_TRUE(looks_like(340, 15, green)) << "texel (0, 0) in front";
    EXPECT_TRUE(looks_like(380, 45, yellow)) << "behind the colour-keyed texel";
    EXPECT_TRUE(looks_like(490, 130, yellow)) << "beside the keyed quad";
    EXPECT_TRUE(looks_like(530, 230, yellow)) << "behind a draw without depth writes";
    EXPECT_EQ(d3dxframe_update_frame(1), 0);

    // The writes wait across a present: a frame that clears only the
    // target tests against the last frame's depth.
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    screen_rect(100, 100, 200, 200, 0.2f, red);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_EQ(d3dxframe_update_frame(1), 0);
    ASSERT_EQ(d3dx_globals.device->BeginScene(), D3D_OK);
    ASSERT_EQ(d3dx_globals.context->Clear(D3DCLEAR_TARGET), D3D_OK);
    screen_rect(50, 50, 250, 250, 0.5f, green);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_TRUE(looks_like(150, 150, black)) << "behind the last frame's quad";
    EXPECT_TRUE(looks_like(75, 75, green)) << "beside the last frame's quad";
    EXPECT_EQ(d3dxframe_update_frame(1), 0);

    // A kept draw's depth follows the texels it was drawn with, though they
    // change (the keyed texel turns white, and is drawn so elsewhere) before
    // a draw tests against it.
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    d3dxframe_set_texture_filter(0);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 320.0f, 0.0f,
                                         159.0f, 119.0f),
              1);
    IDirectDrawSurface7* surface = keyed_texture.texture_container_surface;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    ((DWORD*)((uint8_t*)desc.lpSurface + desc.lPitch))[1] = white;
    surface->Unlock(nullptr);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&keyed_texture, white, white, white, white, 0.0f, 300.0f,
                                         59.0f, 59.0f),
              1);
    d3dxframe_set_texture(0, nullptr);
    screen_rect(300, 0, 500, 140, 0.5f, yellow);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_TRUE(looks_like(340, 15, green)) << "texel (0, 0) in front";
    EXPECT_TRUE(looks_like(380, 45, yellow)) << "behind the texel keyed when drawn";
    EXPECT_TRUE(looks_like(22, 322, white)) << "the texel since";
}

// Blends mix with what is behind them: over red, not black, a source factor
// of a quarter and a destination factor of three quarters (INVSRCALPHA)
// read back differently from any other pair. Once from the vertices' alpha,
// once from the texels' alpha of a texture that has it.
TEST_P(GlFrame, BlendsMixWithWhatIsBehindThem)
{
    IDirectDrawSurface7* surface = nullptr;
    DWORD size = 4;
    D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
    ASSERT_EQ(D3DXCreateTexture(d3dx_globals.device, nullptr, &size, &size, &format, nullptr,
                                &surface, nullptr),
              S_OK);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            ((DWORD*)((uint8_t*)desc.lpSurface + y * desc.lPitch))[x] = 0x400000FF;
    surface->Unlock(nullptr);
    texture_container glass = {};
    glass.texture_container_surface = surface;
    glass.texture_container_has_alpha = 1;

    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    screen_rect(0, 0, 400, 200, 0.5f, red);
    EXPECT_EQ(d3dxframe_draw_screen_quad(nullptr, 0x40FFFFFF, 0x40FFFFFF, 0x40FFFFFF, 0x40FFFFFF,
                                         20.0f, 20.0f, 100.0f, 100.0f),
              1);
    d3dxframe_set_texture_filter(0);
    EXPECT_EQ(d3dxframe_draw_screen_quad(&glass, white, white, white, white, 200.0f, 20.0f, 100.0f,
                                         100.0f),
              1);
    d3dxframe_set_texture(0, nullptr);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    const float quarter = 64.0f / 255.0f;
    EXPECT_TRUE(looks_like(70, 70, 1.0f, quarter, quarter)) << "white by its vertices' alpha";
    EXPECT_TRUE(looks_like(250, 70, 1.0f - quarter, 0.0f, quarter)) << "blue by its texels' alpha";
    EXPECT_TRUE(looks_like(350, 150, red)) << "the background";
    surface->Release();
}

// A wireframe draw leaves no wireframe behind: the depth of a solid draw
// kept to be written later is written solid, and text drawn while the
// wireframe state is still on is filled.
TEST_P(GlFrame, AWireframeDrawLeavesNoWireframeBehind)
{
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    // At depth 0 these pass the depth test everywhere: their depth waits.
    screen_rect(100, 100, 240, 260, 0.0f, red);
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_WIREFRAME);
    screen_rect(300, 100, 400, 200, 0.0f, white);
    EXPECT_EQ(d3dxframe_draw_text(20, 440, "Varnock", &yellow), 1);
    screen_rect(450, 100, 550, 200, 0.0f, white);
    d3dxframe_set_render_state(D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID);
    // A 3D rectangle behind the red one tests against its depth.
    clip_rect(-0.5f, 0.5f, 0.0f, 0.0f, 0.5f, green);
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_TRUE(looks_like(200, 180, red)) << "behind the inside of the solid draw";
    EXPECT_TRUE(looks_like(280, 180, green)) << "beside it";
    EXPECT_TRUE(looks_like(380, 130, black)) << "inside a wireframe rectangle";
    std::vector<DWORD> cell(240 * 30);
    ASSERT_EQ(d3d_read_render_target(d3dx_globals.device, 10, 435, 240, 30, cell.data()), S_OK);
    int inked = 0;
    for (DWORD c : cell)
        inked += (c & 0xFFFFFF) == 0xFFFF00;
    EXPECT_GT(inked, 150) << "text pixels in full colour";
}

// Two screen rectangles at one depth, the second compared by LESS or
// LESSEQUAL: the first's depth, written later than it was drawn, must be
// exactly what the second meets.
TEST_P(GlFrame, EqualDepthsCompareAsTheirFunctionSays)
{
    const struct {
        float z;
        DWORD func;
        DWORD seen;
    } cases[] = {
        {0.0f, D3DCMP_LESSEQUAL, green}, {0.0f, D3DCMP_LESS, red},
        {0.5f, D3DCMP_LESSEQUAL, green}, {0.5f, D3DCMP_LESS, red},
        {1.0f, D3DCMP_LESSEQUAL, green}, {1.0f, D3DCMP_LESS, black},
    };
    for (const auto& test_case : cases) {
        SCOPED_TRACE(::testing::Message() << "z " << test_case.z << ", func " << test_case.func);
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
        if (test_case.z < 1.0f)
            screen_rect(100, 100, 200, 200, test_case.z, red);
        d3dxframe_set_render_state(D3DRENDERSTATE_ZFUNC, test_case.func);
        screen_rect(100, 100, 200, 200, test_case.z, green);
        d3dxframe_set_render_state(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
        ASSERT_EQ(d3dxframe_end_scene(), 1);
        EXPECT_TRUE(looks_like(150, 150, test_case.seen));
        EXPECT_EQ(d3dxframe_update_frame(1), 0);
    }
}

// The lit and fogged triangle alone; the ambient light, the light and the fog
// are set only when `set_scene` is true, as a level's script sets them once.
// Returns the colour at the triangle's centre.
DWORD lit_triangle_centre(bool set_scene)
{
    EXPECT_EQ(d3dxframe_begin_scene(0), 1);
    if (set_scene)
        set_lit_scene();
    EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, 0x12, (void*)lit_triangle, 3, 0), 1);
    EXPECT_EQ(d3dxframe_end_scene(), 1);
    float cx = 0.0f, cy = 0.0f;
    for (const lit_vertex& v : lit_triangle) {
        float x, y;
        project(v, &x, &y);
        cx += x / 3.0f;
        cy += y / 3.0f;
    }
    return pixel_at((int)std::lround(cx), (int)std::lround(cy));
}

// After Alt+Enter (here there and back) the yard went dark: the ambient
// light, the light and the fog that the level set once were gone with the
// old device. The frame drawn after is the frame drawn before.
TEST_P(GlFrame, AFrameIsTheSameAfterTheDeviceIsMadeAnew)
{
    DWORD before = lit_triangle_centre(true);
    ASSERT_NE(before & 0xFFFFFF, 0u) << "the triangle is lit";
    ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);
    ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);
    ASSERT_EQ(d3dx_globals.m_bIsFullscreen, GetParam() ? 1 : 0);
    EXPECT_EQ(lit_triangle_centre(false), before);
}

// Every discrete state the back-end compiles a program for, drawn once: a
// draw whose program did not build fails.
TEST_P(GlFrame, EveryStateCombinationDraws)
{
    struct full_vertex {
        float x, y, z, nx, ny, nz;
        DWORD diffuse, specular;
        float u, v;
    };
    const full_vertex world[3] = {{0, 1, -10, 0, 0, 1, 0xFF8080FF, 0x80404040, 0, 0},
                                  {1, -1, -10, 0, 0, 1, 0xFF80FF80, 0x80404040, 1, 1},
                                  {-1, -1, -10, 0, 0, 1, 0xFFFF8080, 0x80404040, 0, 1}};
    const struct {
        float x, y, z, rhw;
        DWORD diffuse, specular;
        float u, v;
    } screen[3] = {{320, 100, 0.5f, 1, white, 0x80000000, 0, 0},
                   {400, 200, 0.5f, 1, white, 0x80000000, 1, 1},
                   {240, 200, 0.5f, 1, white, 0x80000000, 0, 1}};
    IDirectDrawSurface7* alpha_texture = nullptr;
    DWORD size = 4;
    D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
    ASSERT_EQ(D3DXCreateTexture(d3dx_globals.device, nullptr, &size, &size, &format, nullptr,
                                &alpha_texture, nullptr),
              S_OK);
    DDCOLORKEY key = {0, 0};
    alpha_texture->SetColorKey(DDCKEY_SRCBLT, &key);
    win_matrix44 projection;
    d3dxframe_build_projection_matrix(&projection, 1.0f, 0.75f, 1.0f, 100.0f);
    d3dxframe_set_projection_transform(&projection);

    auto lights = [] {
        IDirect3DDevice7* device = d3dx_globals.device;
        D3DLIGHT7 light = {};
        light.dcvDiffuse = light.dcvSpecular = {1.0f, 1.0f, 1.0f, 1.0f};
        light.dvPosition = {0.0f, 0.0f, -5.0f};
        light.dvDirection = {0.0f, 0.0f, -1.0f};
        light.dvRange = 100.0f;
        light.dvAttenuation0 = 1.0f;
        light.dvTheta = 0.5f;
        light.dvPhi = 1.0f;
        light.dvFalloff = 1.0f;
        for (DWORD type :
             {D3DLIGHT_DIRECTIONAL, D3DLIGHT_POINT, D3DLIGHT_SPOT, D3DLIGHT_PARALLELPOINT}) {
            light.dltType = type == D3DLIGHT_PARALLELPOINT ? (DWORD)D3DLIGHT_POINT : type;
            device->SetLight(type, &light);
            device->LightEnable(type, TRUE);
        }
    };
    auto state = [](DWORD type, DWORD value) { d3dxframe_set_render_state((int32_t)type, value); };
    auto stage = [](DWORD type, DWORD value) {
        d3dxframe_set_texture_stage_state(0, (int32_t)type, value);
    };
    const struct {
        const char* name;
        bool pretransformed;
        std::function<void()> setup;
    } cases[] = {
        {"lights of every type with specular", false,
         [&] {
             lights();
             state(D3DRENDERSTATE_SPECULARENABLE, 1);
             state(D3DRENDERSTATE_LOCALVIEWER, 0);
             state(D3DRENDERSTATE_NORMALIZENORMALS, 1);
         }},
        {"material colours from the vertex", false,
         [&] {
             lights();
             state(D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_COLOR1);
             state(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_COLOR2);
         }},
        {"unlit", false, [&] { state(D3DRENDERSTATE_LIGHTING, 0); }},
        {"vertex fog, exponential", false,
         [&] {
             state(D3DRENDERSTATE_FOGENABLE, 1);
             state(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_EXP);
         }},
        {"pixel fog, linear", false,
         [&] {
             state(D3DRENDERSTATE_FOGENABLE, 1);
             state(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR);
         }},
        {"pixel fog, squared exponential", true,
         [&] {
             state(D3DRENDERSTATE_FOGENABLE, 1);
             state(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_EXP2);
         }},
        {"screen-space fog from the specular alpha", true,
         [&] { state(D3DRENDERSTATE_FOGENABLE, 1); }},
        {"texture with alpha and a colour key", false,
         [&] {
             d3dxframe_set_texture(0, alpha_texture);
             state(D3DRENDERSTATE_COLORKEYENABLE, 1);
             state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
         }},
        {"stage selects and adds", true,
         [&] {
             d3dxframe_set_texture(0, keyed_texture.texture_container_surface);
             stage(D3DTSS_COLOROP, D3DTOP_ADD);
             stage(D3DTSS_COLORARG2, D3DTA_TFACTOR);
             stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
             stage(D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
         }},
        {"stage modulates four times", false,
         [&] {
             d3dxframe_set_texture(0, keyed_texture.texture_container_surface);
             stage(D3DTSS_COLOROP, D3DTOP_MODULATE4X);
             stage(D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
             stage(D3DTSS_ADDRESSV, D3DTADDRESS_MIRROR);
         }},
        {"stage disabled", false,
         [&] {
             d3dxframe_set_texture(0, keyed_texture.texture_container_surface);
             stage(D3DTSS_COLOROP, D3DTOP_DISABLE);
         }},
        {"points and clockwise culling", false,
         [&] {
             state(D3DRENDERSTATE_FILLMODE, D3DFILL_POINT);
             state(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
         }},
    };
    for (const auto& test_case : cases) {
        ASSERT_EQ(d3dxframe_init_render_states(), S_OK);
        ASSERT_EQ(d3dxframe_begin_scene(0), 1);
        test_case.setup();
        if (test_case.pretransformed)
            EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, 0x1C4, (void*)screen, 3, 0), 1)
                << test_case.name;
        else
            EXPECT_EQ(d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, 0x1D2, (void*)world, 3, 0), 1)
                << test_case.name;
        d3dxframe_set_texture(0, nullptr);
        ASSERT_EQ(d3dxframe_end_scene(), 1);
    }
    alpha_texture->Release();
}

// A screen standing still, as a menu: the screen quads.
void draw_still_frame(void (*change)())
{
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    draw_screen_quads();
    if (change)
        change();
    ASSERT_EQ(d3dxframe_end_scene(), 1);
    EXPECT_EQ(d3dxframe_update_frame(1), 0);
}

void set_texel_blue()
{
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    IDirectDrawSurface7* surface = keyed_texture.texture_container_surface;
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    ((DWORD*)desc.lpSurface)[0] = blue;
    surface->Unlock(nullptr);
}

// A dialog of a caption alone over the window, scripted with no steps: it is
// shown and cancelled.
void show_dialog()
{
    dialog_script_begin();
    const DWORD style = WS_POPUP | WS_CAPTION | DS_CENTER;
    const WORD words[] = {(WORD)style, (WORD)(style >> 16), 0, 0, 0, 0, 0, 100, 40, 0, 0, 'R', 0};
    EXPECT_EQ(DialogBoxIndirectParam(
                  nullptr, (const DLGTEMPLATE*)words, d3dx_globals.hwnd,
                  [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0),
              IDCANCEL);
    dialog_script_end();
}

// Whether a pixel of the rectangle is near `colour`.
bool shows(int x, int y, int w, int h, DWORD colour)
{
    std::vector<DWORD> pixels((size_t)w * (size_t)h);
    EXPECT_EQ(d3d_read_render_target(d3dx_globals.device, (DWORD)x, (DWORD)y, (DWORD)w, (DWORD)h,
                                     pixels.data()),
              S_OK);
    for (DWORD pixel : pixels) {
        int most = 0;
        for (int shift : {0, 8, 16})
            most = std::max(
                most, std::abs((int)((pixel >> shift) & 0xFF) - (int)((colour >> shift) & 0xFF)));
        if (most <= 3)
            return true;
    }
    return false;
}

// Frames drawn alike are presented without being drawn after the first few;
// whatever the frame's picture follows from, changed in a held frame, has it
// drawn, with the texels and states each call had, and the picture presented
// is the frame's. The picture is read after the present, from the buffer
// the next frame draws into.
TEST_P(GlFrame, FramesThatRepeatAreShownAgainUntilTheirPictureChanges)
{
    const struct {
        const char* name;
        void (*before)();  // before the frame's calls
        void (*after)();   // after its draws
        int x, y, w, h;    // where the picture shows
        DWORD seen;
        bool shown_again;
    } cases[] = {
        {"nothing changes", nullptr, nullptr, 340, 15, 1, 1, green, true},
        {"pixels read", nullptr, [] { EXPECT_TRUE(looks_like(340, 15, green)); }, 340, 15, 1, 1,
         green, false},
        {"texels changed before the draw", set_texel_blue, nullptr, 340, 15, 1, 1, blue, false},
        {"texels changed after the draw", nullptr, set_texel_blue, 340, 15, 1, 1, green, false},
        {"another clear colour",
         [] { ASSERT_EQ(d3dx_globals.context->SetClearColor(blue), D3D_OK); }, nullptr, 600, 400, 1,
         1, blue, false},
        {"another draw", nullptr, [] { screen_rect(580, 380, 620, 420, 0.5f, yellow); }, 600, 400,
         1, 1, yellow, false},
        {"text drawn", nullptr,
         [] { EXPECT_EQ(d3dxframe_draw_text(20, 440, "Varnock", &yellow), 1); }, 20, 435, 200, 30,
         yellow, false},
        {"a dialog shown", nullptr, show_dialog, 340, 15, 1, 1, green, false},
        // Full screen, the buffers keep their size.
        {"the buffers resized", nullptr,
         [] {
             if (!d3dx_globals.m_bIsFullscreen) {
                 EXPECT_EQ(d3dx_globals.context->Resize(640, 480), D3D_OK);
             }
         },
         340, 15, 1, 1, green, GetParam()},
    };
    for (const auto& test_case : cases) {
        SCOPED_TRACE(test_case.name);
        drop_keyed_texture();
        ASSERT_EQ(make_keyed_texture(), 1);
        ASSERT_EQ(d3dx_globals.context->SetClearColor(black), D3D_OK);
        uint64_t shown = gl_repeat_frames_shown_again();
        // The first frame leaves states the next begins with.
        for (int frame = 0; frame < GL_REPEAT_FRAMES + 2; ++frame)
            draw_still_frame(nullptr);
        ASSERT_GT(gl_repeat_frames_shown_again(), shown) << "frames held";
        EXPECT_TRUE(looks_like(340, 15, green)) << "shown again";
        EXPECT_TRUE(looks_like(380, 45, red)) << "the keyed texel, shown again";
        EXPECT_TRUE(looks_like(80, 300, 0.5f, 0.5f, 0.5f)) << "blended, shown again";

        shown = gl_repeat_frames_shown_again();
        if (test_case.before)
            test_case.before();
        draw_still_frame(test_case.after);
        EXPECT_EQ(gl_repeat_frames_shown_again() - shown, test_case.shown_again ? 1u : 0u);
        EXPECT_TRUE(shows(test_case.x, test_case.y, test_case.w, test_case.h, test_case.seen));
    }
}

INSTANTIATE_TEST_SUITE_P(WindowedAndFullScreen, GlFrame, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "FullScreen" : "Windowed";
                         });

}  // namespace
