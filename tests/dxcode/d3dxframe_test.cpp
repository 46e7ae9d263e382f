#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "d3dutil.h"
#include "d3dxframe.h"
#include "debug.h"
#include "platform/d3d_record.h"
#include "platform/win32.h"
#include "platform/win32_test.h"
#include "test_support.h"
#include "texture_container.h"

namespace {

// The part of the game's window procedure that reaches the frame.
LRESULT frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_ACTIVATEAPP:
        d3dxframe_on_activate((int32_t)wparam);
        break;
    case WM_SIZE:
        d3dxframe_on_size((int32_t)wparam, (int32_t)lparam);
        break;
    case WM_MOVE:
        d3dxframe_on_move(LOWORD(lparam), HIWORD(lparam));
        break;
    default:
        break;
    }
    return DefWindowProc(window, message, wparam, lparam);
}

int invalidated = 0;
int restored = 0;
int count_invalidate()
{
    return ++invalidated;
}
int count_restore()
{
    return ++restored;
}

// A quit message waits, with the exit code 0 that every failure of the
// frame posts.
bool quit_posted()
{
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT)
            return msg.wParam == 0;
    return false;
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        log = std::make_unique<LogCapture>();
        window = test_make_window("Frame Test Window", frame_proc, 20, 10);
        ASSERT_NE(window, nullptr);
        d3dxframe_set_defaults();
        d3dxframe_set_hwnd(window);
        invalidated = restored = 0;
        d3dxframe_set_texture_functs(count_invalidate, count_restore);
        d3d_record_start();
    }
    void TearDown() override
    {
        d3dxframe_unitialize();
        EXPECT_EQ(d3d_live_objects(), 0) << "objects left after the frame was released";
        win32_reset();
    }

    void start()
    {
        ShowWindow(window, SW_SHOW);
        ASSERT_EQ(d3dxframe_initialize(window), S_OK);
    }
    DWORD render_state(DWORD type)
    {
        DWORD value = 0xDEAD;
        d3dx_globals.device->GetRenderState(type, &value);
        return value;
    }
    DWORD stage_state(DWORD type)
    {
        DWORD value = 0xDEAD;
        d3dx_globals.device->GetTextureStageState(0, type, &value);
        return value;
    }
    void feed(platform_event event)
    {
        ASSERT_EQ(win32_feed_event(window, &event), 1);
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&msg);
    }

    HWND window = nullptr;
    std::unique_ptr<LogCapture> log;
};

TEST_F(Frame, InitializeMakesTheDeviceWithTheDefaultStates)
{
    start();
    EXPECT_EQ(d3dx_globals.bInitialized, 1);
    EXPECT_TRUE(d3dxframe_is_ready());
    ASSERT_NE(d3dx_globals.device, nullptr);
    EXPECT_EQ(render_state(D3DRENDERSTATE_LIGHTING), 1u);
    EXPECT_EQ(render_state(D3DRENDERSTATE_SHADEMODE), (DWORD)D3DSHADE_GOURAUD);
    EXPECT_EQ(render_state(D3DRENDERSTATE_ANTIALIAS), (DWORD)D3DANTIALIAS_NONE);
    EXPECT_EQ(stage_state(D3DTSS_MAGFILTER), (DWORD)D3DTFG_LINEAR);
    EXPECT_EQ(stage_state(D3DTSS_MINFILTER), (DWORD)D3DTFN_LINEAR);
    EXPECT_EQ(stage_state(D3DTSS_COLORARG2), (DWORD)D3DTA_DIFFUSE);
    D3DMATERIAL7 material;
    d3dx_globals.device->GetMaterial(&material);
    EXPECT_EQ(material.power, 50.0f);
    EXPECT_EQ(material.specular.g, 1.0f);
    EXPECT_EQ(d3dx_globals.bAllocateLights, 1);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx -1 0x0 16 -1 -1 0 -1 640 480 -1"), 1);
    EXPECT_EQ(d3d_record_count_of("Font.AddResource gamefont.ttf"), 1);
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(Frame, AContextThatCannotBeMadeIsRetriedOnceWithTheDefaults)
{
    ShowWindow(window, SW_SHOW);
    d3dx_globals.m_bIsFullscreen = 1;
    d3dx_globals.fullscreen_width = 1000;  // no such display mode
    d3dx_globals.fullscreen_bitdepth = 32;
    d3dx_globals.gamma = 1.5f;
    d3dx_globals.font_height = 38;  // a font made for 1024 x 768
    ASSERT_EQ(d3dxframe_initialize(window), S_OK);
    std::vector<std::string> expected = {
        "Failed D3DXCreateContextEx - retrying with default values. ",
        "\tError text was D3DXERR_INVALIDMODE"};
    EXPECT_EQ(log->errors(), expected);
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 0);
    EXPECT_EQ(d3dx_globals.fullscreen_width, 640);
    EXPECT_EQ(d3dx_globals.fullscreen_bitdepth, 16);
    EXPECT_FLOAT_EQ(d3dx_globals.gamma, 2.2f);
    EXPECT_EQ(d3dx_globals.font_height, 24);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), 2);
}

// Windowed Width/Height of 1 1 in the configuration made one flat square: a
// window too small to show the game is refused as 0 x 0 and negative sizes
// are, with a line, and the frame falls back to its defaults.
TEST_F(Frame, BuffersTooSmallToShowTheGameAreRefused)
{
    ShowWindow(window, SW_SHOW);
    const struct {
        int32_t width, height;
        const char* error;
    } cases[] = {
        {1, 1, "Buffers of 1 x 1 are too small to show the game (at least 320 x 200)."},
        {319, 480, "Buffers of 319 x 480 are too small to show the game (at least 320 x 200)."},
        {640, 199, "Buffers of 640 x 199 are too small to show the game (at least 320 x 200)."},
        {0, 0, "Buffers of 0 x 0 are too small to show the game (at least 320 x 200)."},
        {-5, 480, "Buffers of -5 x 480 are too small to show the game (at least 320 x 200)."},
        {100000, 600, "Buffers of 100000 x 600 are too large to make (at most 8192 x 8192)."},
    };
    for (const auto& c : cases) {
        log->clear();
        d3dxframe_set_defaults();
        d3dx_globals.windowed_width = c.width;
        d3dx_globals.windowed_height = c.height;
        ASSERT_EQ(d3dxframe_initialize(window), S_OK) << c.width;
        EXPECT_EQ(log->errors(),
                  (std::vector<std::string>{
                      c.error, "Failed D3DXCreateContextEx - retrying with default values. ",
                      "\tError text was D3DXERR_INVALIDPARAMETER"}));
        EXPECT_EQ(d3dxframe_get_render_width(), 640) << c.width;
        EXPECT_EQ(d3dxframe_get_render_height(), 480) << c.width;
        d3dxframe_unitialize();
    }
    d3dxframe_set_defaults();
    d3dx_globals.windowed_width = 320;
    d3dx_globals.windowed_height = 200;
    log->clear();
    ASSERT_EQ(d3dxframe_initialize(window), S_OK);
    EXPECT_TRUE(log->errors().empty()) << "the smallest size shows the game";
    EXPECT_GE(d3d_record_find("D3DXCreateContextEx -1 0x0 16 -1 -1 0 -1 320 200", 0), 0);
}

TEST_F(Frame, ASecondFailureIsReturned)
{
    d3d_inject("D3DXCreateContextEx", D3DXERR_NODIRECT3DDEVICEAVAILABLE, 0, 2);
    EXPECT_EQ(d3dxframe_initialize(window), D3DXERR_NODIRECT3DDEVICEAVAILABLE);
    ASSERT_EQ(log->errors().size(), 4u);
    EXPECT_EQ(log->errors()[2], "Failed D3DXCreateContextEx with default values - aborting.... ");
    EXPECT_EQ(log->errors()[3], "\tError text was D3DXERR_NODIRECT3DDEVICEAVAILABLE");
    EXPECT_EQ(d3dx_globals.bInitialized, 0);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), 2);
}

TEST_F(Frame, LostSurfacesRecreateTheDeviceWithTexturesProjectionAndFont)
{
    start();
    win_matrix44 projection;
    d3dxframe_build_projection_matrix(&projection, 1.0f, 0.75f, 1.0f, 4000.0f);
    d3dxframe_set_projection_transform(&projection);
    D3DLIGHT7 light = {};
    light.dltType = D3DLIGHT_POINT;
    d3dxframe_set_dynamic_light_color(light, -1);
    d3dxframe_set_light_allocation(0);
    IDirect3DDevice7* old_device = d3dx_globals.device;

    EXPECT_EQ(d3dxframe_update_frame(1), 0);
    EXPECT_EQ(d3d_recorded_present_count(), 1);

    d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
    EXPECT_EQ(d3dxframe_update_frame(0), DDERR_SURFACELOST);
    EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), 2);
    EXPECT_NE(d3dx_globals.device, nullptr);
    EXPECT_EQ(invalidated, 1);
    EXPECT_EQ(restored, 1);
    D3DMATRIX now;
    d3dx_globals.device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &now);
    EXPECT_EQ(now.m[2][3], -1.0f);
    EXPECT_NE(d3dx_globals.hFont, nullptr);
    EXPECT_EQ(d3dx_globals.bAllocateLights, 0) << "the lights keep their indices";
    EXPECT_EQ(d3dx_globals.light_in_use[0], 1);
    (void)old_device;

    EXPECT_EQ(d3dxframe_update_frame(0), 0);  // the next frame presents normally
    EXPECT_EQ(d3d_recorded_present_count(), 2);
}

// Whichever way another program holds the display, the cursor is shown
// (windowed) or hidden (full screen) as after a rebuild, yet nothing is
// rebuilt.
TEST_F(Frame, LostSurfacesWhileAnotherProgramHoldsTheDisplayRebuildNothing)
{
    start();
    auto cursor_count = [] {
        int count = ShowCursor(FALSE) + 1;
        ShowCursor(TRUE);
        return count;
    };
    for (int full_screen : {0, 1}) {
        if (full_screen) {
            ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);
        }
        ASSERT_EQ(d3dx_globals.m_bIsFullscreen, full_screen);
        for (HRESULT held : {DDERR_NOEXCLUSIVEMODE, DDERR_EXCLUSIVEMODEALREADYSET}) {
            SCOPED_TRACE(std::string(full_screen ? "full screen, " : "windowed, ") +
                         d3dutil_get_error_string(held));
            int contexts = d3d_record_count_of("D3DXCreateContextEx");
            int cursor = cursor_count();
            d3d_inject("Context.UpdateFrame", DDERR_SURFACEBUSY, 0, 1);
            d3d_inject("DirectDraw.TestCooperativeLevel", held, 0, 1);
            EXPECT_EQ(d3dxframe_update_frame(0), 0);
            EXPECT_EQ(d3d_record_count_of("D3DXCreateContextEx"), contexts);
            EXPECT_EQ(d3dx_globals.bInitialized, 1);
            EXPECT_EQ(cursor_count(), cursor + (full_screen ? -1 : 1)) << "the cursor";
        }
    }
}

TEST_F(Frame, AFailedRecreationEndsTheProgram)
{
    start();
    d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
    d3d_inject("D3DXCreateContextEx", D3DXERR_NODIRECT3DDEVICEAVAILABLE, 0, 2);
    EXPECT_EQ(d3dxframe_update_frame(0), D3DXERR_NODIRECT3DDEVICEAVAILABLE);
    EXPECT_EQ(d3dx_globals.bInitialized, 0);
    EXPECT_TRUE(quit_posted());
    EXPECT_EQ(d3dxframe_update_frame(0), 0);  // nothing to present
}

TEST_F(Frame, ToggleFullScreenRecreatesTheDeviceAndPlacesTheWindow)
{
    EXPECT_EQ(d3dxframe_toggle_fullscreen(), 1);  // not initialised: nothing changes
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 0);

    start();
    d3dx_globals.fullscreen_width = 800;
    d3dx_globals.fullscreen_height = 600;
    ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 1);
    EXPECT_EQ(GetWindowLong(window, GWL_STYLE) & ~(LONG_PTR)WS_VISIBLE,
              (LONG_PTR)(WS_POPUP | WS_BORDER | WS_SYSMENU));
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, 640);  // the window is 640 x 480 whatever the mode
    EXPECT_EQ(d3d_record_find("D3DXCreateContextEx -1 0x1 16 -1 -1 0 -1 800 600", 0) >= 0, true);
    EXPECT_EQ(d3dxframe_get_render_width(), 800);
    EXPECT_EQ(d3dx_globals.font_height, 30);
    EXPECT_EQ(restored, 1);

    ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 0);
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.right, 660);
    EXPECT_EQ(d3dxframe_get_render_width(), 640);
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(Frame, AFailedClearBeforeTheSwitchEndsTheProgram)
{
    start();
    d3d_inject("Context.Clear", D3DXERR_NOTEXTURE, 0, 1);
    EXPECT_EQ(d3dxframe_toggle_fullscreen(), 0);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed Clear call."});
    EXPECT_EQ(d3dx_globals.bActive, 0);
    EXPECT_TRUE(quit_posted());
}

// A resized window keeps the buffers' size and shape: the picture shows
// between bars, and the pointer maps through the rectangle it fills.
TEST_F(Frame, SizeMessagesKeepTheBuffersAndMinimisingStopsFrames)
{
    start();
    int fonts_made = d3d_record_count_of("Font.Create");
    feed({PLATFORM_EVENT_SIZE_CHANGED, 1024, 600, nullptr, 0, 0, 0, 0});
    EXPECT_EQ(d3d_record_count_of("Context.Resize 640 480"), 1) << "shown anew, same size";
    EXPECT_EQ(d3d_record_count_of("Context.Resize 1024 600"), 0);
    EXPECT_EQ(d3dxframe_get_render_width(), 640);
    EXPECT_EQ(d3dxframe_get_render_height(), 480);
    EXPECT_EQ(d3dx_globals.windowed_width, 640) << "the size the next start opens at";
    EXPECT_EQ(d3dx_globals.windowed_height, 480);
    EXPECT_EQ(d3dx_globals.font_height, 24);
    RECT remembered = d3dx_globals.window_rect;
    EXPECT_EQ(remembered.right - remembered.left, 1024);
    // 640 x 480 fills 800 x 600 of the 1024 x 600 client, from x 112.
    const struct {
        int32_t x, y, render_x, render_y;
    } points[] = {{112, 0, 0, 0}, {512, 300, 320, 240}, {911, 599, 639, 479}, {50, 10, -49, 8}};
    for (const auto& p : points) {
        int32_t x = p.x, y = p.y;
        ASSERT_EQ(d3dxframe_client_to_render(&x, &y), 1);
        EXPECT_EQ(x, p.render_x) << p.x << "," << p.y;
        EXPECT_EQ(y, p.render_y) << p.x << "," << p.y;
    }

    feed({PLATFORM_EVENT_MINIMIZED, 0, 0, nullptr, 0, 0, 0, 0});
    EXPECT_FALSE(d3dxframe_is_ready());
    EXPECT_EQ(d3d_record_count_of("Font.Create"), fonts_made + 1);  // not made again

    feed({PLATFORM_EVENT_RESTORED, 0, 0, nullptr, 0, 0, 0, 0});
    EXPECT_TRUE(d3dxframe_is_ready());
    EXPECT_EQ(d3d_record_count_of("Context.Resize 640 480"), 2);

    int resizes = d3d_record_count_of("Context.Resize");
    EXPECT_EQ(d3dxframe_on_size(SIZE_RESTORED, MAKELPARAM(0, 600)), 1);
    EXPECT_EQ(d3d_record_count_of("Context.Resize"), resizes);
    EXPECT_EQ(d3dx_globals.bActive, 1);
    EXPECT_EQ(d3d_record_count_of("Font.Create"), fonts_made + 3);

    d3d_inject("Context.Resize", D3DXERR_INVALIDPARAMETER, 0, 1);
    EXPECT_EQ(d3dxframe_on_size(SIZE_RESTORED, MAKELPARAM(700, 500)), 0);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed Resize call."});
    EXPECT_EQ(d3dx_globals.bInitialized, 0);
    EXPECT_TRUE(quit_posted());
}

TEST_F(Frame, TheWindowOpensAtTheWindowedSizeWhereThatCanBeShown)
{
    const struct {
        int32_t fullscreen, width, height, opens_width, opens_height;
    } cases[] = {{0, 800, 600, 800, 600}, {0, 1000, 500, 1000, 500}, {1, 800, 600, 640, 480},
                 {0, 100, 600, 640, 480}, {0, 800, 100, 640, 480},   {0, 100000, 600, 640, 480},
                 {0, 800, -600, 640, 480}};
    for (const auto& c : cases) {
        d3dx_globals.m_bIsFullscreen = c.fullscreen;
        d3dx_globals.windowed_width = c.width;
        d3dx_globals.windowed_height = c.height;
        int32_t width = 0, height = 0;
        d3dxframe_get_window_size(&width, &height);
        EXPECT_EQ(width, c.opens_width) << c.width << " x " << c.height;
        EXPECT_EQ(height, c.opens_height) << c.width << " x " << c.height;
    }
}

TEST_F(Frame, ActivationMattersOnlyInFullScreen)
{
    start();
    // Activated in a window, the game shows the pointer.
    auto cursor = [] {
        int count = ShowCursor(TRUE) - 1;
        ShowCursor(FALSE);
        return count;
    };
    const int shown = cursor();
    d3dxframe_activate();
    EXPECT_EQ(cursor(), shown + 1);
    feed({PLATFORM_EVENT_FOCUS_LOST, 0, 0, nullptr, 0, 0, 0, 0});
    EXPECT_TRUE(d3dxframe_is_ready());  // windowed: frames go on

    feed({PLATFORM_EVENT_FOCUS_GAINED, 0, 0, nullptr, 0, 0, 0, 0});
    ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);
    feed({PLATFORM_EVENT_FOCUS_LOST, 0, 0, nullptr, 0, 0, 0, 0});
    EXPECT_FALSE(d3dxframe_is_ready());
    EXPECT_EQ(d3d_record_count_of("DirectDraw.FlipToGDISurface"), 1);
    feed({PLATFORM_EVENT_FOCUS_GAINED, 0, 0, nullptr, 0, 0, 0, 0});
    EXPECT_TRUE(d3dxframe_is_ready());
}

TEST_F(Frame, FontHeightFollowsTheRenderSize)
{
    // A device made and released: its buffers no longer size anything.
    start();
    d3dxframe_unitialize();
    const struct {
        int width, height, font_height;
    } cases[] = {{640, 480, 24}, {800, 600, 30}, {1024, 768, 38}};
    for (const auto& c : cases) {
        SetWindowPos(window, nullptr, 0, 0, c.width, c.height, SWP_NOMOVE);
        d3dxframe_create_game_font();
        EXPECT_EQ(d3dx_globals.font_height, c.font_height) << c.width;
    }
    d3dxframe_unitialize();
    EXPECT_EQ(d3dx_globals.hFont, nullptr);
}

TEST_F(Frame, DynamicLightsTakeTheLowestFreeIndex)
{
    start();
    D3DLIGHT7 light = {};
    light.dltType = D3DLIGHT_PARALLELPOINT;
    light.dcvDiffuse = {0.8f, 0.6f, 0.4f, 1.0f};
    light.dvAttenuation0 = 5.0f;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(d3dxframe_set_dynamic_light_color(light, -1), i);
    EXPECT_EQ(d3dxframe_set_dynamic_light_color(light, -1), -1);
    EXPECT_EQ(log->errors(),
              std::vector<std::string>{"Unable to set dynamic light color - all lights in use! "});

    D3DLIGHT7 set = {};
    d3dx_globals.device->GetLight(9, &set);
    EXPECT_EQ(set.dltType, (DWORD)D3DLIGHT_POINT);
    EXPECT_EQ(set.dvAttenuation0, 1.0f);
    EXPECT_EQ(set.dcvDiffuse.a, 0.0f);
    EXPECT_FLOAT_EQ(set.dcvDiffuse.r, 0.8f);  // a new light is not scaled

    EXPECT_EQ(d3dxframe_disable_dynamic_light(3), 1);
    BOOL enabled = TRUE;
    d3dx_globals.device->GetLightEnable(3, &enabled);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(d3dxframe_disable_dynamic_light(10), 0);
    EXPECT_EQ(log->errors().back(), "invalid index: 10");

    d3dxframe_set_light_allocation(0);
    d3dxframe_set_light_scale(0.5f);
    EXPECT_EQ(d3dxframe_set_dynamic_light_color(light, 5), 5);  // an update keeps its index
    d3dx_globals.device->GetLight(5, &set);
    EXPECT_FLOAT_EQ(set.dcvDiffuse.r, 0.4f);

    d3d_inject("Device.SetLight", MAKE_DDHRESULT(750), 0, 1);
    EXPECT_EQ(d3dxframe_set_dynamic_light_color(light, 5), -1);
    EXPECT_EQ(log->errors().back().rfind("Failed d3dxframe_set_dynamic_light_color. ", 0), 0u);

    ASSERT_EQ(d3dxframe_toggle_fullscreen(), 1);  // the lights keep their indices
    EXPECT_EQ(d3dx_globals.bAllocateLights, 0);
    EXPECT_EQ(d3dxframe_set_dynamic_light_color(light, 7), 7);
    EXPECT_EQ(d3dx_globals.light_in_use[3], 0);
}

// A device made anew (Alt+Enter, F2, lost surfaces) has everything the scene
// had set on the old one: a level script sets its ambient light and fog once,
// and the yard went dark after a switch to full screen.
TEST_F(Frame, TheScenesStatesAndLightsOutliveTheDevice)
{
    const struct {
        const char* how;
        std::function<void()> make_anew;
    } ways[] = {
        {"full screen and back",
         [] { d3dxframe_toggle_fullscreen(), d3dxframe_toggle_fullscreen(); }},
        {"lost surfaces",
         [] {
             d3d_inject("Context.UpdateFrame", DDERR_SURFACELOST, 0, 1);
             d3dxframe_update_frame(0);
         }},
    };
    start();
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        d3dxframe_set_ambient_light(40, 50, 60);
        d3dxframe_set_render_state(D3DRENDERSTATE_FOGENABLE, 1);
        d3dxframe_set_render_state(D3DRENDERSTATE_FOGCOLOR, 0x123456);
        D3DLIGHT7 light = {};
        light.dltType = D3DLIGHT_DIRECTIONAL;
        light.dcvDiffuse = {0.5f, 0.25f, 1.0f, 1.0f};
        ASSERT_EQ(d3dxframe_set_dynamic_light_color(light, -1), 0);
        ASSERT_EQ(d3dxframe_set_dynamic_light_color(light, -1), 1);
        d3dxframe_disable_dynamic_light(0);
        d3dxframe_set_light_allocation(0);
        int made = d3d_record_count_of("D3DXCreateContextEx");

        way.make_anew();
        ASSERT_GT(d3d_record_count_of("D3DXCreateContextEx"), made);
        EXPECT_EQ(render_state(D3DRENDERSTATE_AMBIENT), 0xFF28323Cu);
        EXPECT_EQ(render_state(D3DRENDERSTATE_FOGENABLE), 1u);
        EXPECT_EQ(render_state(D3DRENDERSTATE_FOGCOLOR), 0x123456u);
        EXPECT_EQ(render_state(D3DRENDERSTATE_LIGHTING), 1u) << "as the settings say";
        D3DLIGHT7 kept = {};
        BOOL enabled[2] = {TRUE, FALSE};
        ASSERT_EQ(d3dx_globals.device->GetLight(1, &kept), D3D_OK);
        EXPECT_FLOAT_EQ(kept.dcvDiffuse.g, 0.25f);
        d3dx_globals.device->GetLightEnable(0, &enabled[0]);
        d3dx_globals.device->GetLightEnable(1, &enabled[1]);
        EXPECT_FALSE(enabled[0]);
        EXPECT_TRUE(enabled[1]);
        EXPECT_EQ(d3dxframe_set_dynamic_light_color(light, 1), 1) << "the light keeps its index";
        d3dxframe_disable_dynamic_light(1);
        d3dxframe_set_light_allocation(1);
    }
    EXPECT_TRUE(log->errors().empty());
}

TEST_F(Frame, AmbientLightIsScaledAndSetOnlyWhenItChanges)
{
    start();
    d3dxframe_set_light_scale(0.5f);
    EXPECT_EQ(d3dxframe_set_ambient_light(200, 100, 50), 1);
    EXPECT_EQ(render_state(D3DRENDERSTATE_AMBIENT), 0xFF643219u);
    EXPECT_EQ(log->notices().back(), "Setting ambient light to r=100, g=50, b=25.");
    int sets = d3d_record_count_of("Device.SetRenderState 139");
    EXPECT_EQ(d3dxframe_set_ambient_light(200, 100, 50), 1);
    EXPECT_EQ(d3d_record_count_of("Device.SetRenderState 139"), sets);

    d3d_inject("Device.GetRenderState", DDERR_GENERIC, 0, 1);
    EXPECT_EQ(d3dxframe_set_ambient_light(1, 2, 3), 0);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed to get ambient light state."});
}

TEST_F(Frame, WrappersRefuseWithoutADeviceAndLogDeviceFailures)
{
    win_matrix44 matrix = {};
    DWORD value = 0;
    EXPECT_EQ(d3dxframe_set_render_state(D3DRENDERSTATE_ZENABLE, 1), 0);
    EXPECT_EQ(d3dxframe_set_world_transform(&matrix), 0);
    EXPECT_EQ(d3dxframe_set_view_transform(&matrix), 0);
    EXPECT_EQ(d3dxframe_begin_scene(0), 0);
    EXPECT_EQ(d3dxframe_end_scene(), 0);
    EXPECT_EQ(d3dxframe_set_texture(0, nullptr), 0);
    EXPECT_EQ(d3dxframe_set_dynamic_light_color(D3DLIGHT7{}, -1), -1);
    EXPECT_TRUE(log->errors().empty());
    EXPECT_FALSE(quit_posted());

    start();
    const struct {
        const char* call;
        int (*run)();
        const char* message;
    } failures[] = {
        {"Device.SetRenderState", [] { return d3dxframe_set_render_state(27, 1); },
         "Failed to set renderstate_type 27 to flag 1."},
        {"Device.GetRenderState",
         [] {
             DWORD v;
             return d3dxframe_get_render_state(27, &v);
         },
         "Failed to get renderstate_type 27 to flag."},
        {"Device.SetTextureStageState", [] { return d3dxframe_set_texture_stage_state(0, 1, 4); },
         "Failed to set texture stage state_type 1 to flag 4."},
        {"Device.GetTextureStageState",
         [] {
             DWORD v;
             return d3dxframe_get_texture_stage_state(2, 16, &v);
         },
         "Failed to get texture stage state_type 16 for stage 2."},
        {"Device.SetTransform",
         [] {
             win_matrix44 m = {};
             return d3dxframe_set_view_transform(&m);
         },
         "Failed to set the view transform."},
        {"Device.GetTransform",
         [] {
             win_matrix44 m = {};
             return d3dxframe_get_world_transform(&m);
         },
         "Failed to get the world transform."},
        {"Device.DrawPrimitive",
         [] { return d3dxframe_draw_primitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ, nullptr, 0, 0); },
         "Failed to d3dxframe_draw_primitive."},
        {"Device.SetViewport", [] { return d3dxframe_set_viewport(640, 480); },
         "Failed SetViewport call."},
    };
    for (const auto& failure : failures) {
        d3d_inject(failure.call, DDERR_GENERIC, 0, 1);
        EXPECT_EQ(failure.run(), 0) << failure.call;
        EXPECT_EQ(log->errors().back(), failure.message);
    }

    matrix.m[3][0] = 5.0f;
    matrix.m[0][0] = 1.0f;
    ASSERT_EQ(d3dxframe_set_world_transform(&matrix), 1);
    win_matrix44 read_back = {};
    ASSERT_EQ(d3dxframe_get_world_transform(&read_back), 1);
    EXPECT_EQ(read_back.m[3][0], 5.0f);
    ASSERT_EQ(d3dxframe_get_render_state(D3DRENDERSTATE_ZENABLE, &value), 1);
    EXPECT_EQ(value, 1u);
}

TEST_F(Frame, LinearFilteringIsRefusedSilentlyWhileBilinearFilteringIsOff)
{
    d3dx_globals.bBilinearFiltering = 0;
    start();
    EXPECT_EQ(stage_state(D3DTSS_MAGFILTER), (DWORD)D3DTFG_POINT);
    int sets = d3d_record_count_of("Device.SetTextureStageState");
    EXPECT_EQ(d3dxframe_set_texture_filter(1), 1);
    EXPECT_EQ(d3d_record_count_of("Device.SetTextureStageState"), sets);
    EXPECT_EQ(stage_state(D3DTSS_MINFILTER), (DWORD)D3DTFN_POINT);
}

TEST_F(Frame, ScenesClearAndFailedScenesEndTheProgram)
{
    start();
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    EXPECT_GE(d3d_record_find("Context.Clear 0x3", 0), 0);
    ASSERT_EQ(d3dxframe_end_scene(), 1);

    d3d_inject("Device.BeginScene", MAKE_DDHRESULT(762), 0, 1);
    EXPECT_EQ(d3dxframe_begin_scene(0), 0);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"Failed BeginScene call."});
    EXPECT_EQ(d3dx_globals.bInitialized, 0);
    EXPECT_TRUE(quit_posted());
}

TEST_F(Frame, ScreenQuadsAreScaledFromTheVirtualScreen)
{
    d3dx_globals.windowed_width = 800;
    d3dx_globals.windowed_height = 600;
    start();
    ASSERT_EQ(d3dxframe_begin_scene(0), 1);
    ASSERT_EQ(d3dxframe_draw_screen_quad(nullptr, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000,
                                         0.0f, 0.0f, 639.0f, 479.0f),
              1);
    const d3d_recorded_draw* draw = d3d_recorded_last_draw();
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->primitive_type, (DWORD)D3DPT_TRIANGLEFAN);
    EXPECT_EQ(draw->vertex_format, 0x144u);
    EXPECT_FLOAT_EQ(draw->vertices[2].x, 800.0f);
    EXPECT_FLOAT_EQ(draw->vertices[2].y, 600.0f);
    EXPECT_FLOAT_EQ(draw->vertices[3].v, 1.0f);
    EXPECT_EQ(draw->texture0, nullptr);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_ALPHABLENDENABLE], 0u);  // opaque: as it was

    EXPECT_EQ(d3dxframe_draw_screen_quad(nullptr, 0, 0, 0, 0, 1.0f, 0.0f, 639.0f, 479.0f), 0);
    EXPECT_EQ(d3d_recorded_draw_count(), 1);

    // Translucent colours blend for this quad only; a container binds its
    // surface with its colour key.
    IDirectDrawSurface7* surface = nullptr;
    DWORD size = 8;
    D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8;
    ASSERT_EQ(D3DXCreateTexture(d3dx_globals.device, nullptr, &size, &size, &format, nullptr,
                                &surface, nullptr),
              S_OK);
    texture_container container = {};
    container.texture_container_surface = surface;
    container.texture_container_transparent = 1;
    container.texture_container_has_alpha = 1;
    ASSERT_EQ(d3dxframe_draw_screen_quad(&container, 0x80FFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                                         100.0f, 100.0f, 50.0f, 50.0f),
              1);
    draw = d3d_recorded_last_draw();
    EXPECT_EQ(draw->texture0, surface);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_ALPHABLENDENABLE], 1u);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_COLORKEYENABLE], 1u);
    EXPECT_EQ(draw->render_states[D3DRENDERSTATE_SRCBLEND], (DWORD)D3DBLEND_SRCALPHA);
    EXPECT_FLOAT_EQ(draw->vertices[0].x, 100.0f / 639.0f * 800.0f);
    EXPECT_EQ(render_state(D3DRENDERSTATE_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(render_state(D3DRENDERSTATE_COLORKEYENABLE), 0u);
    d3dxframe_set_texture(0, nullptr);
    surface->Release();
    d3dxframe_end_scene();
}

TEST_F(Frame, TextGoesToTheRenderTargetInTheGameFont)
{
    start();
    d3dxframe_create_game_font();
    DWORD yellow = 0x80FFFF00;
    ASSERT_EQ(d3dxframe_draw_text(3, 4, "12.00 fps", &yellow), 1);
    EXPECT_GE(d3d_record_find("Font.Draw 24 3 4 0x00ffff 12.00 fps", 0), 0);
    EXPECT_EQ(d3dxframe_get_char_width(), 12);

    DeleteObject(d3dx_globals.hFont);
    d3dx_globals.hFont = nullptr;
    d3dxframe_draw_text(0, 0, "x", &yellow);
    EXPECT_EQ(log->errors(), std::vector<std::string>{"unable to SelectObject for the hFont."});
}

TEST_F(Frame, ConfigurationRoundTripsAndOnlyExactlyOneTurnsAFlagOn)
{
    TempDir dir;
    d3dx_globals.device_index = 2;
    d3dx_globals.bBilinearFiltering = 5;
    d3dx_globals.gamma = 1.8f;
    FILE* file = fopen(dir.file("frame.cfg").c_str(), "w");
    ASSERT_EQ(d3dxframe_write_config(file), 1);
    fclose(file);
    std::string text = dir.read("frame.cfg");
    EXPECT_EQ(text.rfind("\n//  [d3dxframe]\n2", 0), 0u);
    EXPECT_NE(text.find("1                                           //  Bilinear Filtering\n"),
              std::string::npos);
    EXPECT_NE(text.find("1.800000                                    //  Gamma Correction\n"),
              std::string::npos);

    dir.write("read.cfg", "-1\n2\n1\n0\n0\n1\n800\n600\n32\n1024\n768\n2.5\n");
    d3dxframe_set_defaults();
    file = fopen(dir.file("read.cfg").c_str(), "r");
    int16_t line_cnt = 0;
    ASSERT_EQ(d3dxframe_read_config(file, &line_cnt), 1);
    fclose(file);
    EXPECT_EQ(d3dx_globals.m_bIsFullscreen, 0);  // 2 is not on
    EXPECT_EQ(d3dx_globals.bTripleBuffer, 1);
    EXPECT_EQ(d3dx_globals.bBilinearFiltering, 0);
    EXPECT_EQ(d3dx_globals.fullscreen_bitdepth, 32);
    EXPECT_EQ(d3dx_globals.windowed_height, 768);
    EXPECT_FLOAT_EQ(d3dx_globals.gamma, 2.5f);
    EXPECT_EQ(line_cnt, 12);

    EXPECT_EQ(d3dxframe_write_config(nullptr), 0);
    EXPECT_EQ(d3dxframe_read_config(nullptr, &line_cnt), 0);
    std::vector<std::string> expected = {"Cannot d3dxframe_write_config with NULL session_file.",
                                         "Cannot d3dxframe_read_config with NULL session_file."};
    EXPECT_EQ(log->errors(), expected);
}

TEST_F(Frame, ProjectionAndLookAtMatrices)
{
    start();
    win_matrix44 projection;
    d3dxframe_build_projection_matrix(&projection, 1.5707964f, 0.75f, 1.0f, 4000.0f);
    EXPECT_NEAR(projection.m[0][0], 0.75f, 1e-6);
    EXPECT_NEAR(projection.m[1][1], 1.0f, 1e-6);
    EXPECT_FLOAT_EQ(projection.m[2][2], 4000.0f / (1.0f - 4000.0f));
    EXPECT_EQ(projection.m[2][3], -1.0f);
    EXPECT_FLOAT_EQ(d3dxframe_get_aspect_ratio(), 0.75f);

    win_matrix44 view;
    win_vect3 eye = {0, 0, 10}, at = {0, 0, 0}, up = {0, 1, 0};
    ASSERT_EQ(d3dxframe_matrix_look_at(&view, &eye, &at, &up), 1);
    EXPECT_FLOAT_EQ(view.m[2][2], 1.0f);    // z column is eye - at
    EXPECT_FLOAT_EQ(view.m[3][2], -10.0f);  // -z . eye
    EXPECT_FLOAT_EQ(view.m[1][1], 1.0f);
    EXPECT_FLOAT_EQ(view.m[0][0], -1.0f);  // x column is z cross up
    D3DMATRIX device_view;
    d3dx_globals.device->GetTransform(D3DTRANSFORMSTATE_VIEW, &device_view);
    EXPECT_FLOAT_EQ(device_view.m[3][2], -10.0f);
}

}  // namespace
