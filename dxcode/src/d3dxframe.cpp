#include "d3dxframe.h"

#include <cmath>
#include <cstring>

#include "config_section.h"
#include "d3dtextr_dx7.h"
#include "d3dutil.h"
#include "debug.h"

d3dx_globals_record d3dx_globals;

namespace {

const char game_font_file[] = "gamefont.ttf";

d3dxframe_texture_funct invalidate_textures = nullptr;
d3dxframe_texture_funct restore_textures = nullptr;

// The size of the device's buffers, which every frame is drawn at. In
// windowed operation they are made windowed_width x windowed_height: the
// mode chosen in the device dialog, which sizes the window's client area
// when it is chosen and when the game starts. A window resized after that
// keeps the buffers, so the interface keeps its shape: the picture fills
// the window between bars (d3dx_frame_rect), as it fills the display in full
// screen, and the pointer maps through the same rectangle. The windowed
// size is never taken from the window, so the configuration keeps the mode
// for the next start.
int32_t buffer_width = 0, buffer_height = 0;

// The projection last given to the device, set again after every
// re-creation of the device.
win_matrix44 last_projection;
bool has_last_projection = false;

template <typename T>
void release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

// The configuration section, in file order. Flags are written and read as
// 0 or 1; a flag reads as on only when its value is exactly 1.
const config_row settings[] = {
    {CONFIG_LONG, &d3dx_globals.device_index, "d3dx_globals.device_index"},
    {CONFIG_SWITCH, &d3dx_globals.m_bIsFullscreen, "d3dx_globals.m_bIsFullscreen"},
    {CONFIG_SWITCH, &d3dx_globals.bTripleBuffer, "d3dx_globals.bTripleBuffer"},
    {CONFIG_SWITCH, &d3dx_globals.bAntiAlias, "d3dx_globals.bAntiAlias"},
    {CONFIG_FLAG, &d3dx_globals.bBilinearFiltering, "Bilinear Filtering"},
    {CONFIG_FLAG, &d3dx_globals.bDynamicLighting, "Dynamic Lighting"},
    {CONFIG_LONG, &d3dx_globals.fullscreen_width, "Fullscreen Width"},
    {CONFIG_LONG, &d3dx_globals.fullscreen_height, "Fullscreen Height"},
    {CONFIG_LONG, &d3dx_globals.fullscreen_bitdepth, "Fullscreen Bitdepth"},
    {CONFIG_LONG, &d3dx_globals.windowed_width, "Windowed Width"},
    {CONFIG_LONG, &d3dx_globals.windowed_height, "Windowed Height"},
    {CONFIG_FLOAT, &d3dx_globals.gamma, "Gamma Correction"},
};

// The smallest buffers the game is shown in: its screen is laid out for 640 x
// 480, and below the smallest display mode its text and pictures are lost.
enum { D3DXFRAME_MIN_WIDTH = 320, D3DXFRAME_MIN_HEIGHT = 200 };
// The largest buffers and window the game makes: a damaged configuration's
// size would otherwise leave the game without a window at all.
enum { D3DXFRAME_MAX_SIZE = 8192 };

bool size_too_large(int32_t width, int32_t height)
{
    return width > D3DXFRAME_MAX_SIZE || height > D3DXFRAME_MAX_SIZE;
}

HRESULT create_context(void)
{
    d3dx_globals_record& g = d3dx_globals;
    int32_t wanted_width = g.m_bIsFullscreen ? g.fullscreen_width : g.windowed_width;
    int32_t wanted_height = g.m_bIsFullscreen ? g.fullscreen_height : g.windowed_height;
    // A damaged configuration's 1 x 1 made one flat square: it is refused as
    // D3DX refuses 0 x 0, and the frame falls back to its defaults.
    if (wanted_width < D3DXFRAME_MIN_WIDTH || wanted_height < D3DXFRAME_MIN_HEIGHT) {
        LOG_ERROR("Buffers of %ld x %ld are too small to show the game (at least %d x %d).\n",
                  (long)wanted_width, (long)wanted_height, (int)D3DXFRAME_MIN_WIDTH,
                  (int)D3DXFRAME_MIN_HEIGHT);
        return D3DXERR_INVALIDPARAMETER;
    }
    if (size_too_large(wanted_width, wanted_height)) {
        LOG_ERROR("Buffers of %ld x %ld are too large to make (at most %d x %d).\n",
                  (long)wanted_width, (long)wanted_height, (int)D3DXFRAME_MAX_SIZE,
                  (int)D3DXFRAME_MAX_SIZE);
        return D3DXERR_INVALIDPARAMETER;
    }
    DWORD width = (DWORD)wanted_width;
    DWORD height = (DWORD)wanted_height;
    HRESULT result = D3DXCreateContextEx(
        (DWORD)g.device_index, g.m_bIsFullscreen ? (DWORD)D3DX_CONTEXT_FULLSCREEN : 0u, g.hwnd,
        nullptr, (DWORD)g.fullscreen_bitdepth, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DX_DEFAULT, width,
        height, D3DX_DEFAULT, &g.context);
    if (SUCCEEDED(result)) {
        buffer_width = (int32_t)width;
        buffer_height = (int32_t)height;
    }
    return result;
}

// The outer rectangle, with its top left corner at (left, top), of the
// main window whose client area is width x height, by the frame its style
// gives it now.
RECT window_rect_for_client(LONG left, LONG top, int32_t width, int32_t height)
{
    RECT outer = {}, client = {};
    LONG frame_width = 0, frame_height = 0;
    if (GetWindowRect(d3dx_globals.hwnd, &outer) && GetClientRect(d3dx_globals.hwnd, &client)) {
        frame_width = (outer.right - outer.left) - (client.right - client.left);
        frame_height = (outer.bottom - outer.top) - (client.bottom - client.top);
    }
    return {left, top, left + width + frame_width, top + height + frame_height};
}

void show_cursor_for_mode(void)
{
    ShowCursor(d3dx_globals.m_bIsFullscreen ? FALSE : TRUE);
}

// What the scene set on the device (ambient light, fog and the other render
// states, the lights and the indices they hold), which a device made anew
// would not have: a state set once, as a level script sets its ambient
// light, would be lost with the old device. Taken before the old device
// goes, given to the new one over its default states.
struct scene_device_state {
    bool kept;
    bool render_state_kept[D3D_RENDER_STATE_COUNT];
    DWORD render_states[D3D_RENDER_STATE_COUNT];
    bool light_kept[D3DXFRAME_MAX_LIGHTS];
    D3DLIGHT7 lights[D3DXFRAME_MAX_LIGHTS];
    BOOL light_enabled[D3DXFRAME_MAX_LIGHTS];
    int32_t light_in_use[D3DXFRAME_MAX_LIGHTS];
    int32_t allocate_lights;
};
scene_device_state scene_state;

void keep_scene_state(void)
{
    d3dx_globals_record& g = d3dx_globals;
    scene_state = {};
    if (!g.device)
        return;
    for (DWORD type = 1; type < D3D_RENDER_STATE_COUNT; ++type)
        scene_state.render_state_kept[type] = SUCCEEDED(
            g.device->GetRenderState((D3DRENDERSTATETYPE)type, &scene_state.render_states[type]));
    for (DWORD i = 0; i < D3DXFRAME_MAX_LIGHTS; ++i)
        scene_state.light_kept[i] = SUCCEEDED(g.device->GetLight(i, &scene_state.lights[i])) &&
                                    SUCCEEDED(
                                        g.device->GetLightEnable(i, &scene_state.light_enabled[i]));
    memcpy(scene_state.light_in_use, g.light_in_use, sizeof scene_state.light_in_use);
    scene_state.allocate_lights = g.bAllocateLights;
    scene_state.kept = true;
}

void give_back_scene_state(void)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!scene_state.kept || !g.device)
        return;
    scene_state.kept = false;
    for (DWORD type = 1; type < D3D_RENDER_STATE_COUNT; ++type) {
        DWORD now = 0;
        D3DRENDERSTATETYPE state = (D3DRENDERSTATETYPE)type;
        if (scene_state.render_state_kept[type] && (FAILED(g.device->GetRenderState(state, &now)) ||
                                                    now != scene_state.render_states[type]))
            g.device->SetRenderState(state, scene_state.render_states[type]);
    }
    // The lights keep their indices, which the light entities hold.
    for (DWORD i = 0; i < D3DXFRAME_MAX_LIGHTS; ++i) {
        if (!scene_state.light_kept[i])
            continue;
        g.device->SetLight(i, &scene_state.lights[i]);
        g.device->LightEnable(i, scene_state.light_enabled[i]);
    }
    memcpy(g.light_in_use, scene_state.light_in_use, sizeof g.light_in_use);
    g.bAllocateLights = scene_state.allocate_lights;
}

// What a new device lacks that the game had before: the scene's states, its
// textures, the projection and the game font.
void restore_device_resources(void)
{
    give_back_scene_state();
    if (restore_textures)
        restore_textures();
    if (has_last_projection)
        d3dxframe_set_projection_transform(&last_projection);
    d3dxframe_create_game_font();
}

// A failed re-creation leaves no device to run frames with: the program ends
// at the next turn of its message loop.
void fail_and_quit(const char* message)
{
    LOG_ERROR("%s", message);
    d3dxframe_deactivate();
    PostQuitMessage(0);
}

int refuse_if_failed(HRESULT result, const char* message)
{
    if (SUCCEEDED(result))
        return 1;
    LOG_ERROR("%s", message);
    return 0;
}

// Scene failures end the program: the frame is marked not initialised and
// the quit message posted.
int scene_failure(const char* message)
{
    LOG_ERROR("%s", message);
    d3dx_globals.bInitialized = 0;
    PostQuitMessage(0);
    return 0;
}

// Runs `use` with the render target's device context, the game font
// selected; returns 0 when either cannot be had.
template <typename F>
int with_font_context(F use)
{
    IDirectDrawSurface7* target = nullptr;
    if (!d3dx_globals.device || FAILED(d3dx_globals.device->GetRenderTarget(&target)) || !target)
        return 0;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc) {
        target->Release();
        return 0;
    }
    if (!SelectObject(dc, d3dx_globals.hFont))
        LOG_ERROR("%s\n", "unable to SelectObject for the hFont.");
    use(dc);
    target->ReleaseDC(dc);
    target->Release();
    return 1;
}

D3DVECTOR as_vector(const win_vect3* v)
{
    return {v->x, v->y, v->z};
}

// The game font's metrics; all zero when the font cannot be measured.
TEXTMETRIC game_font_metrics(void)
{
    TEXTMETRIC metrics = {};
    with_font_context([&](HDC dc) {
        if (!GetTextMetrics(dc, &metrics))
            metrics = {};
    });
    return metrics;
}

}  // namespace

// ---- settings

int d3dxframe_write_config(FILE* session_file)
{
    REFUSE_NULL(session_file, "d3dxframe_write_config", "session_file", 0);
    return config_write_section(session_file, "d3dxframe", settings);
}

int d3dxframe_read_config(FILE* session_file, int16_t* line_cnt)
{
    REFUSE_NULL(session_file, "d3dxframe_read_config", "session_file", 0);
    REFUSE_NULL(line_cnt, "d3dxframe_read_config", "line_cnt", 0);
    return config_read_section(session_file, line_cnt, settings);
}

int d3dxframe_set_defaults(void)
{
    d3dx_globals_record& g = d3dx_globals;
    g.device_index = -1;
    g.bInitialized = 0;
    g.m_bIsFullscreen = 0;
    g.device = nullptr;
    g.d3d = nullptr;
    g.ddraw = nullptr;
    g.context = nullptr;
    memset(&g.viewport, 0, sizeof g.viewport);
    memset(g.light_in_use, 0, sizeof g.light_in_use);
    g.light_scale = 1.0f;
    g.gamma = 2.2f;
    g.font_height = 24;  // the font itself stays until it is made again
    g.bTripleBuffer = 0;
    g.bAntiAlias = 0;
    g.bBilinearFiltering = 1;
    g.bDynamicLighting = 1;
    g.fullscreen_width = 640;
    g.fullscreen_height = 480;
    g.fullscreen_bitdepth = 16;
    g.windowed_height = 480;
    g.windowed_width = 640;
    g.bAllocateLights = 0;
    g.bActive = 1;  // windowed, which is never left inactive
    return 1;
}

int d3dxframe_set_hwnd(HWND window)
{
    d3dx_globals.hwnd = window;
    return 1;
}

int d3dxframe_is_ready(void)
{
    return d3dx_globals.bActive && d3dx_globals.bInitialized ? 1 : 0;
}

void d3dxframe_set_texture_functs(d3dxframe_texture_funct invalidate_all,
                                  d3dxframe_texture_funct restore_all)
{
    invalidate_textures = invalidate_all;
    restore_textures = restore_all;
}

// ---- life cycle

HRESULT d3dxframe_initialize(HWND)
{
    d3dx_globals_record& g = d3dx_globals;
    HRESULT result = D3DXInitialize();
    if (FAILED(result))
        return result;

    result = create_context();
    if (FAILED(result)) {
        LOG_ERROR("%s", "Failed D3DXCreateContextEx - retrying with default values. \n");
        LOG_ERROR("\tError text was %s\n", d3dutil_get_error_string(result));
        d3dxframe_set_defaults();
        result = create_context();
        if (FAILED(result)) {
            LOG_ERROR("%s", "Failed D3DXCreateContextEx with default values - aborting.... \n");
            LOG_ERROR("\tError text was %s\n", d3dutil_get_error_string(result));
            return result;
        }
    }

    g.device = g.context->GetD3DDevice();
    if (!g.device)
        return E_FAIL;
    g.d3d = g.context->GetD3D();
    if (!g.d3d)
        return E_FAIL;
    g.ddraw = g.context->GetDD();
    if (!g.ddraw)
        return E_FAIL;

    g.bInitialized = 1;
    if (!AddFontResource(game_font_file))
        LOG_ERROR("%s\n", "Unable to add the gamefont resource.");
    return d3dxframe_init_render_states();
}

int d3dxframe_unitialize(void)
{
    d3dx_globals_record& g = d3dx_globals;
    LOG_NOTICE("%s\n", "d3dxframe_unitialize called.");
    if (invalidate_textures)
        invalidate_textures();
    if (g.hFont) {
        DeleteObject(g.hFont);
        g.hFont = nullptr;
        RemoveFontResource(game_font_file);
    }
    release(g.device);
    release(g.d3d);
    release(g.ddraw);
    release(g.context);
    g.bInitialized = 0;
    D3DXUninitialize();
    return 1;
}

HRESULT d3dxframe_init_render_states(void)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.bInitialized)
        return E_FAIL;
    HRESULT result = g.context->SetClearColor(0);
    if (FAILED(result))
        return result;
    static const struct {
        int32_t type;
        DWORD value;
    } fixed_states[] = {
        {D3DRENDERSTATE_SPECULARENABLE, 0},     {D3DRENDERSTATE_ZENABLE, 1},
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1}, {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
    };
    d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, (DWORD)g.bDynamicLighting);
    for (const auto& state : fixed_states)
        d3dxframe_set_render_state(state.type, state.value);
    d3dxframe_set_render_state(D3DRENDERSTATE_ANTIALIAS,
                               g.bAntiAlias ? D3DANTIALIAS_SORTINDEPENDENT : D3DANTIALIAS_NONE);
    DWORD filter = g.bBilinearFiltering == 1 ? D3DTFG_LINEAR : D3DTFG_POINT;
    d3dxframe_set_texture_stage_state(0, D3DTSS_MAGFILTER, filter);
    d3dxframe_set_texture_stage_state(0, D3DTSS_MINFILTER, filter);
    d3dxframe_set_texture_stage_state(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d3dxframe_set_texture_stage_state(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    d3dxframe_set_texture_stage_state(0, D3DTSS_COLOROP, D3DTOP_MODULATE);

    memset(&g.material, 0, sizeof g.material);
    g.material.diffuse = g.material.ambient = g.material.specular = {1.0f, 1.0f, 1.0f, 1.0f};
    g.material.power = 50.0f;
    g.device->SetMaterial(&g.material);

    memset(g.light_in_use, 0, sizeof g.light_in_use);
    g.bAllocateLights = 1;
    return S_OK;
}

HRESULT d3dxframe_update_frame(int32_t)
{
    d3dx_globals_record& g = d3dx_globals;
    if (g.bInitialized != 1)
        return 0;
    HRESULT result = g.context->UpdateFrame(0);
    if (result == DDERR_SURFACELOST || result == DDERR_SURFACEBUSY)
        return d3dxframe_restore();
    return result;
}

HRESULT d3dxframe_restore(void)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.ddraw)
        return E_FAIL;
    HRESULT result = g.ddraw->TestCooperativeLevel();
    if (SUCCEEDED(result) || result == DDERR_WRONGMODE) {
        keep_scene_state();
        d3dxframe_unitialize();
        result = d3dxframe_initialize(g.hwnd);
        if (FAILED(result)) {
            fail_and_quit("Failed to initialize D3DX.\n");
            return result;
        }
        show_cursor_for_mode();
        restore_device_resources();
        return DDERR_SURFACELOST;
    }
    if (result == DDERR_NOEXCLUSIVEMODE || result == DDERR_EXCLUSIVEMODEALREADYSET) {
        show_cursor_for_mode();
        return 0;
    }
    return result;
}

int d3dxframe_activate(void)
{
    d3dx_globals.bActive = 1;
    show_cursor_for_mode();
    return 1;
}

int d3dxframe_deactivate(void)
{
    d3dx_globals_record& g = d3dx_globals;
    g.bActive = 0;
    if (g.m_bIsFullscreen) {
        if (g.ddraw)
            g.ddraw->FlipToGDISurface();
        RedrawWindow(g.hwnd, nullptr, nullptr, RDW_FRAME);
    }
    ShowCursor(TRUE);
    return 1;
}

int d3dxframe_on_activate(int32_t active)
{
    if (d3dx_globals.m_bIsFullscreen) {
        if (active)
            d3dxframe_activate();
        else
            d3dxframe_deactivate();
    }
    return 1;
}

int d3dxframe_on_size(int32_t size_type, int32_t packed_size)
{
    d3dx_globals_record& g = d3dx_globals;
    if (g.bInitialized && !g.m_bIsFullscreen) {
        if (size_type == SIZE_MINIMIZED) {
            g.bActive = 0;
            return 1;
        }
        // The buffers keep their size in a window of any size (see
        // buffer_width); resized to it again, they are shown anew for the
        // window's new size.
        if (LOWORD(packed_size) && HIWORD(packed_size)) {
            if (FAILED(g.context->Resize((DWORD)buffer_width, (DWORD)buffer_height))) {
                LOG_ERROR("%s\n", "Failed Resize call.");
                g.bInitialized = 0;
                PostQuitMessage(0);
                return 0;
            }
            GetWindowRect(g.hwnd, &g.window_rect);
        }
    }
    g.bActive = 1;
    d3dxframe_create_game_font();
    return 1;
}

int d3dxframe_on_move(int32_t, int32_t)
{
    if (!d3dx_globals.m_bIsFullscreen)
        GetWindowRect(d3dx_globals.hwnd, &d3dx_globals.window_rect);
    return 1;
}

int d3dxframe_toggle_fullscreen(void)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.bInitialized)
        return 1;
    g.m_bIsFullscreen = !g.m_bIsFullscreen;
    g.bInitialized = 0;
    if (FAILED(g.context->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER))) {
        fail_and_quit("Failed Clear call.\n");
        return 0;
    }
    keep_scene_state();
    d3dxframe_unitialize();
    if (g.m_bIsFullscreen) {
        SetWindowLong(g.hwnd, GWL_STYLE, WS_POPUP | WS_BORDER | WS_SYSMENU);
        SetWindowPos(g.hwnd, HWND_NOTOPMOST, 0, 0, 640, 480, SWP_FRAMECHANGED);
    } else {
        SetWindowLong(g.hwnd, GWL_STYLE, WS_OVERLAPPEDWINDOW);
        // A window that started full screen has no remembered rectangle yet:
        // it gets the windowed size at its place.
        RECT& rect = g.window_rect;
        if (rect.right <= rect.left || rect.bottom <= rect.top)
            rect = window_rect_for_client(rect.left, rect.top, g.windowed_width, g.windowed_height);
        SetWindowPos(g.hwnd, HWND_NOTOPMOST, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, SWP_SHOWWINDOW | SWP_FRAMECHANGED | SWP_NOACTIVATE);
        InvalidateRect(nullptr, nullptr, TRUE);
    }
    if (FAILED(d3dxframe_initialize(g.hwnd))) {
        fail_and_quit("Failed to initialize D3DX.\n");
        return 0;
    }
    show_cursor_for_mode();
    restore_device_resources();
    return 1;
}

int d3dxframe_set_windowed_size(int32_t width, int32_t height)
{
    d3dx_globals_record& g = d3dx_globals;
    g.windowed_width = width;
    g.windowed_height = height;
    if (!g.m_bIsFullscreen) {
        RECT outer = {};
        if (GetWindowRect(g.hwnd, &outer))
            g.window_rect = window_rect_for_client(outer.left, outer.top, width, height);
    }
    return 1;
}

void d3dxframe_get_window_size(int32_t* width, int32_t* height)
{
    d3dx_globals_record& g = d3dx_globals;
    bool fits = !g.m_bIsFullscreen && g.windowed_width >= D3DXFRAME_MIN_WIDTH &&
                g.windowed_height >= D3DXFRAME_MIN_HEIGHT &&
                !size_too_large(g.windowed_width, g.windowed_height);
    *width = fits ? g.windowed_width : 640;
    *height = fits ? g.windowed_height : 480;
}

int d3dxframe_display_error(HRESULT hresult)
{
    char text[100];
    D3DXGetErrorString(hresult, sizeof text, text);
    d3dxframe_deactivate();
    MessageBox(nullptr, text, "D3DX Error", MB_OK);
    d3dxframe_activate();
    return 1;
}

int32_t d3dxframe_get_render_width(void)
{
    if (d3dx_globals.bInitialized && buffer_width > 0)
        return buffer_width;
    if (d3dx_globals.m_bIsFullscreen)
        return d3dx_globals.fullscreen_width;
    RECT client = {};
    if (!GetClientRect(d3dx_globals.hwnd, &client))
        return d3dx_globals.windowed_width;
    return client.right - client.left;
}

int32_t d3dxframe_get_render_height(void)
{
    if (d3dx_globals.bInitialized && buffer_height > 0)
        return buffer_height;
    if (d3dx_globals.m_bIsFullscreen)
        return d3dx_globals.fullscreen_height;
    RECT client = {};
    if (!GetClientRect(d3dx_globals.hwnd, &client))
        return d3dx_globals.windowed_height;
    return client.bottom - client.top;
}

int d3dxframe_client_to_render(int32_t* x, int32_t* y)
{
    int32_t width = d3dxframe_get_render_width(), height = d3dxframe_get_render_height();
    RECT client = {};
    if (!x || !y || width <= 0 || height <= 0 || !GetClientRect(d3dx_globals.hwnd, &client))
        return 0;
    RECT shown = d3dx_frame_rect((DWORD)width, (DWORD)height, client.right - client.left,
                                 client.bottom - client.top);
    if (shown.right <= shown.left || shown.bottom <= shown.top)
        return 0;
    *x = (int32_t)((int64_t)(*x - shown.left) * width / (shown.right - shown.left));
    *y = (int32_t)((int64_t)(*y - shown.top) * height / (shown.bottom - shown.top));
    return 1;
}

// ---- the game font

int d3dxframe_create_game_font(void)
{
    d3dx_globals_record& g = d3dx_globals;
    if (g.hFont) {
        DeleteObject(g.hFont);
        g.hFont = nullptr;
    }
    float scale = ((float)d3dxframe_get_render_width() / 640.0f +
                   (float)d3dxframe_get_render_height() / 480.0f) /
                  2.0f;
    g.font_height = (int32_t)(scale * 24.0f);
    g.hFont = CreateFont(g.font_height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                         VARIABLE_PITCH | FF_SWISS, game_font_file);
    if (!g.hFont)
        LOG_ERROR("%s\n", "Unable to CreateFont for gamefont.ttf.");
    return 1;
}

int d3dxframe_draw_text(int32_t x, int32_t y, const char* text, const DWORD* colour)
{
    if (!text || !colour) {
        LOG_ERROR("%s\n", text ? "Cannot d3dxframe_draw_text with NULL colour."
                               : "Cannot d3dxframe_draw_text with NULL text.");
        return 0;
    }
    DWORD argb = *colour;
    return with_font_context([&](HDC dc) {
        SetTextColor(dc, RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
        SetBkMode(dc, TRANSPARENT);
        ExtTextOut(dc, x, y, 0, nullptr, text, (UINT)strlen(text), nullptr);
    });
}

int32_t d3dxframe_get_char_width(void)
{
    return (int32_t)game_font_metrics().tmAveCharWidth;
}

int32_t d3dxframe_get_line_height(void)
{
    return (int32_t)game_font_metrics().tmHeight;
}

int32_t d3dxframe_get_text_width(const char* text)
{
    int32_t width = 0;
    if (text)
        with_font_context([&](HDC dc) {
            SIZE size = {};
            if (GetTextExtentPoint32(dc, text, (int)strlen(text), &size))
                width = size.cx;
        });
    return width;
}

const char* d3dxframe_fit_text(const char* text, int32_t room, size_t* length)
{
    REFUSE_NULL(text, "d3dxframe_fit_text", "text", nullptr);
    REFUSE_NULL(length, "d3dxframe_fit_text", "length", nullptr);
    size_t fit = strlen(text);
    // Measured in one context of the font, as many times as words are cut.
    with_font_context([&](HDC dc) {
        const auto width = [dc, text](size_t count) {
            SIZE size = {};
            return GetTextExtentPoint32(dc, text, (int)count, &size) ? size.cx : 0;
        };
        while (width(fit) > room) {
            size_t cut = fit - 1;  // the last space after a word before `fit`
            while (cut > 0 && !(text[cut] == ' ' && text[cut - 1] != ' '))
                --cut;
            if (cut == 0)
                break;
            fit = cut;
        }
    });
    *length = fit;
    const char* next = text + fit;
    while (*next == ' ')
        ++next;
    return next;
}

// ---- wrappers

int d3dxframe_begin_scene(int32_t clear_flags)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.device)
        return 0;
    if (FAILED(g.device->BeginScene()))
        return scene_failure("Failed BeginScene call.\n");
    if (FAILED(g.context->Clear((DWORD)clear_flags | D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)))
        return scene_failure("Failed Clear call.\n");
    return 1;
}

int d3dxframe_end_scene(void)
{
    if (!d3dx_globals.device)
        return 0;
    if (FAILED(d3dx_globals.device->EndScene()))
        return scene_failure("Failed EndScene call.\n");
    return 1;
}

int d3dxframe_set_world_transform(win_matrix44* matrix)
{
    if (!d3dx_globals.device)
        return 0;
    return refuse_if_failed(
        d3dx_globals.device->SetTransform(D3DTRANSFORMSTATE_WORLD, (D3DMATRIX*)matrix),
        "Failed to set the world transform.\n");
}

int d3dxframe_get_world_transform(win_matrix44* matrix)
{
    if (!d3dx_globals.device)
        return 0;
    return refuse_if_failed(
        d3dx_globals.device->GetTransform(D3DTRANSFORMSTATE_WORLD, (D3DMATRIX*)matrix),
        "Failed to get the world transform.\n");
}

int d3dxframe_set_view_transform(win_matrix44* matrix)
{
    if (!d3dx_globals.device)
        return 0;
    return refuse_if_failed(
        d3dx_globals.device->SetTransform(D3DTRANSFORMSTATE_VIEW, (D3DMATRIX*)matrix),
        "Failed to set the view transform.\n");
}

int d3dxframe_set_projection_transform(win_matrix44* matrix)
{
    if (matrix && matrix != &last_projection) {
        last_projection = *matrix;
        has_last_projection = true;
    }
    if (!d3dx_globals.device)
        return 0;
    LOG_NOTICE("%s\n", "Setting projection transform.");
    return refuse_if_failed(
        d3dx_globals.device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, (D3DMATRIX*)matrix),
        "Failed to set the projection transform.\n");
}

int d3dxframe_set_render_state(int32_t type, DWORD value)
{
    if (!d3dx_globals.device)
        return 0;
    if (SUCCEEDED(d3dx_globals.device->SetRenderState((D3DRENDERSTATETYPE)type, value)))
        return 1;
    LOG_ERROR("Failed to set renderstate_type %ld to flag %ld.\n", (long)type,
              (long)(int32_t)value);
    return 0;
}

int d3dxframe_get_render_state(int32_t type, DWORD* value)
{
    if (!d3dx_globals.device)
        return 0;
    if (SUCCEEDED(d3dx_globals.device->GetRenderState((D3DRENDERSTATETYPE)type, value)))
        return 1;
    LOG_ERROR("Failed to get renderstate_type %ld to flag.\n", (long)type);
    return 0;
}

int d3dxframe_set_texture_stage_state(int32_t stage, int32_t type, DWORD value)
{
    // With bilinear filtering off a request for linear filtering keeps the
    // stage's current filter.
    if ((type == D3DTSS_MAGFILTER || type == D3DTSS_MINFILTER) &&
        d3dx_globals.bBilinearFiltering == 0 && value == D3DTFG_LINEAR)
        return 1;
    if (!d3dx_globals.device)
        return 0;
    if (SUCCEEDED(d3dx_globals.device->SetTextureStageState((DWORD)stage, (DWORD)type, value)))
        return 1;
    LOG_ERROR("Failed to set texture stage state_type %ld to flag %ld.\n", (long)type,
              (long)(int32_t)value);
    return 0;
}

int d3dxframe_get_texture_stage_state(int32_t stage, int32_t type, DWORD* value)
{
    if (!d3dx_globals.device)
        return 0;
    if (SUCCEEDED(d3dx_globals.device->GetTextureStageState((DWORD)stage, (DWORD)type, value)))
        return 1;
    LOG_ERROR("Failed to get texture stage state_type %ld for stage %ld.\n", (long)type,
              (long)stage);
    return 0;
}

int d3dxframe_draw_primitive(int32_t primitive_type, DWORD vertex_format, void* vertices,
                             int32_t vertex_count, DWORD flags)
{
    if (!d3dx_globals.device)
        return 0;
    return refuse_if_failed(d3dx_globals.device->DrawPrimitive((D3DPRIMITIVETYPE)primitive_type,
                                                               vertex_format, vertices,
                                                               (DWORD)vertex_count, flags),
                            "Failed to d3dxframe_draw_primitive.\n");
}

int d3dxframe_draw_indexed_primitive_strided(int32_t primitive_type, DWORD vertex_format,
                                             D3DDRAWPRIMITIVESTRIDEDDATA* strided_data,
                                             int32_t vertex_count, WORD* indices,
                                             int32_t index_count, DWORD flags)
{
    if (!d3dx_globals.device)
        return 0;
    return refuse_if_failed(d3dx_globals.device->DrawIndexedPrimitiveStrided(
                                (D3DPRIMITIVETYPE)primitive_type, vertex_format, strided_data,
                                (DWORD)vertex_count, indices, (DWORD)index_count, flags),
                            "Failed to d3dxframe_draw_primitive.\n");
}

int d3dxframe_set_texture(int32_t stage, IDirectDrawSurface7* texture)
{
    // The texture cache's record of the model renderer's binding holds only
    // while stage 0 holds that container's surface.
    texture_container* bound = d3dtextr_current_texture;
    if (stage == 0 && bound && (!texture || bound->texture_container_surface != texture))
        d3dtextr_current_texture = nullptr;
    if (!d3dx_globals.device)
        return 0;
    return d3dx_globals.device->SetTexture((DWORD)stage, texture) == D3D_OK ? 1 : 0;
}

int d3dxframe_set_viewport(int32_t width, int32_t height)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.device)
        return 0;
    g.viewport = {0, 0, (DWORD)(width - 1), (DWORD)(height - 1), 0.0f, 1.0f};
    return refuse_if_failed(g.device->SetViewport(&g.viewport), "Failed SetViewport call.\n");
}

int d3dxframe_matrix_look_at(win_matrix44* out, const win_vect3* eye, const win_vect3* at,
                             const win_vect3* up)
{
    if (!out || !eye || !at || !up) {
        LOG_ERROR("%s\n", "Cannot d3dxframe_matrix_look_at with NULL argument.");
        return 0;
    }
    D3DVECTOR from = as_vector(eye), to = as_vector(at), upward = as_vector(up);
    D3DVECTOR z = {from.x - to.x, from.y - to.y, from.z - to.z};
    d3dutil_vector_normalize(&z);
    D3DVECTOR x;
    d3dutil_vector_cross(&x, &z, &upward);
    d3dutil_vector_normalize(&x);
    D3DVECTOR y;
    d3dutil_vector_cross(&y, &x, &z);
    const D3DVECTOR* columns[3] = {&x, &y, &z};
    memset(out, 0, sizeof *out);
    for (int c = 0; c < 3; ++c) {
        out->m[0][c] = columns[c]->x;
        out->m[1][c] = columns[c]->y;
        out->m[2][c] = columns[c]->z;
        out->m[3][c] = -d3dutil_vector_dot(columns[c], &from);
    }
    out->m[3][3] = 1.0f;
    d3dxframe_set_view_transform(out);
    return 1;
}

int d3dxframe_build_projection_matrix(win_matrix44* out, float fov, float aspect, float near_plane,
                                      float far_plane)
{
    if (!out)
        return 1;
    float c = (float)(cos((double)(fov / 2.0f)) / sin((double)(fov / 2.0f)));
    memset(out, 0, sizeof *out);
    out->m[0][0] = aspect * c;
    out->m[1][1] = c;
    out->m[2][2] = far_plane / (near_plane - far_plane);
    out->m[2][3] = -1.0f;
    out->m[3][2] = near_plane * far_plane / (near_plane - far_plane);
    return 1;
}

float d3dxframe_get_aspect_ratio(void)
{
    return (float)d3dxframe_get_render_height() / (float)d3dxframe_get_render_width();
}

int d3dxframe_set_texture_filter(int32_t flag)
{
    DWORD filter = flag == 1 ? D3DTFG_LINEAR : D3DTFG_POINT;
    d3dxframe_set_texture_stage_state(0, D3DTSS_MAGFILTER, filter);
    d3dxframe_set_texture_stage_state(0, D3DTSS_MINFILTER, filter);
    return 1;
}

int d3dxframe_draw_screen_quad(texture_container* container, DWORD colour_top_left,
                               DWORD colour_top_right, DWORD colour_bottom_left,
                               DWORD colour_bottom_right, float x, float y, float width,
                               float height)
{
    if (!(x >= 0.0f && x < 640.0f && x + width < 640.0f && y >= 0.0f && y < 480.0f &&
          y + height < 480.0f))
        return 0;
    float render_width = (float)d3dxframe_get_render_width();
    float render_height = (float)d3dxframe_get_render_height();
    float left = x / 639.0f * render_width;
    float top = y / 479.0f * render_height;
    float right = left + width / 639.0f * render_width;
    float bottom = top + height / 479.0f * render_height;
    win_vtx_rhw_diffuse_uv vertices[4] = {
        {left, top, 0.0f, 1.0f, colour_top_left, 0.0f, 0.0f},
        {right, top, 0.0f, 1.0f, colour_top_right, 1.0f, 0.0f},
        {right, bottom, 0.0f, 1.0f, colour_bottom_right, 1.0f, 1.0f},
        {left, bottom, 0.0f, 1.0f, colour_bottom_left, 0.0f, 1.0f},
    };

    DWORD alpha_was = 0, colour_key_was = 0;
    d3dxframe_get_render_state(D3DRENDERSTATE_ALPHABLENDENABLE, &alpha_was);
    d3dxframe_get_render_state(D3DRENDERSTATE_COLORKEYENABLE, &colour_key_was);
    int ok = 1;
    bool translucent = false;
    for (const win_vtx_rhw_diffuse_uv& vertex : vertices)
        translucent = translucent || (vertex.diffuse >> 24) < 0xFF;
    if (translucent && !alpha_was) {
        ok &= d3dxframe_set_render_state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        d3dxframe_set_render_state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        d3dxframe_set_render_state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    if (container) {
        ok &= d3dxframe_set_render_state(D3DRENDERSTATE_COLORKEYENABLE,
                                         (DWORD)container->texture_container_transparent);
        ok &= d3dxframe_set_render_state(D3DRENDERSTATE_ALPHABLENDENABLE,
                                         (DWORD)container->texture_container_has_alpha);
        d3dxframe_set_render_state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        d3dxframe_set_render_state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        ok &= d3dxframe_set_texture(0, container->texture_container_surface);
    } else {
        ok &= d3dxframe_set_texture(0, nullptr);
    }
    ok &= d3dxframe_draw_primitive(D3DPT_TRIANGLEFAN, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                                   vertices, 4, 0);
    ok &= d3dxframe_set_render_state(D3DRENDERSTATE_ALPHABLENDENABLE, alpha_was ? 1 : 0);
    ok &= d3dxframe_set_render_state(D3DRENDERSTATE_COLORKEYENABLE, colour_key_was ? 1 : 0);
    return ok;
}

// ---- lights

float d3dxframe_set_light_scale(float scale)
{
    d3dx_globals.light_scale = scale;
    return scale;
}

int d3dxframe_set_ambient_light(int32_t red, int32_t green, int32_t blue)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.device)
        return 0;
    int scaled[3];
    const int32_t channels[3] = {red, green, blue};
    for (int i = 0; i < 3; ++i)
        scaled[i] = (int)((float)channels[i] * g.light_scale) & 0xFF;
    DWORD current = 0;
    if (FAILED(g.device->GetRenderState(D3DRENDERSTATE_AMBIENT, &current))) {
        LOG_ERROR("%s\n", "Failed to get ambient light state.");
        return 0;
    }
    DWORD wanted = 0xFF000000u | (DWORD)scaled[0] << 16 | (DWORD)scaled[1] << 8 | (DWORD)scaled[2];
    if (wanted == current)
        return 1;
    LOG_NOTICE("Setting ambient light to r=%d, g=%d, b=%d.\n", scaled[0], scaled[1], scaled[2]);
    if (FAILED(g.device->SetRenderState(D3DRENDERSTATE_AMBIENT, wanted))) {
        LOG_ERROR("%s\n", "Failed to set ambient light.");
        return 0;
    }
    return 1;
}

int32_t d3dxframe_set_dynamic_light_color(D3DLIGHT7 light, int32_t slot)
{
    d3dx_globals_record& g = d3dx_globals;
    // Without a device no index can be handed out; 0 would be taken for one.
    if (!g.device)
        return -1;
    D3DLIGHT7 record = {};
    record.dltType = light.dltType == D3DLIGHT_PARALLELPOINT ? D3DLIGHT_POINT : light.dltType;
    record.dcvDiffuse = {light.dcvDiffuse.r, light.dcvDiffuse.g, light.dcvDiffuse.b, 0.0f};
    record.dvPosition = light.dvPosition;
    record.dvDirection = light.dvDirection;
    record.dvRange = light.dvRange;
    record.dvFalloff = light.dvFalloff;
    record.dvAttenuation0 = 1.0f;
    record.dvAttenuation1 = 0.0f;
    record.dvAttenuation2 = 0.0f;
    record.dvTheta = light.dvTheta;
    record.dvPhi = light.dvPhi;

    int32_t index = slot;
    if (slot != -1 && !g.bAllocateLights) {
        record.dcvDiffuse.r *= g.light_scale;
        record.dcvDiffuse.g *= g.light_scale;
        record.dcvDiffuse.b *= g.light_scale;
    } else {
        index = -1;
        for (int32_t i = 0; i < D3DXFRAME_MAX_LIGHTS && index < 0; ++i)
            if (!g.light_in_use[i])
                index = i;
        if (index < 0) {
            LOG_ERROR("%s", "Unable to set dynamic light color - all lights in use! \n");
            return -1;
        }
        g.light_in_use[index] = 1;
        if (FAILED(g.device->LightEnable((DWORD)index, TRUE))) {
            LOG_ERROR("%s\n", "Failed LightEnable.");
            return -1;
        }
    }
    HRESULT result = g.device->SetLight((DWORD)index, &record);
    if (FAILED(result)) {
        char text[100];
        D3DXGetErrorString(result, sizeof text, text);
        LOG_ERROR("Failed d3dxframe_set_dynamic_light_color. %s\n", text);
        return -1;
    }
    return index;
}

int d3dxframe_disable_dynamic_light(int32_t index)
{
    d3dx_globals_record& g = d3dx_globals;
    if (!g.device)
        return 0;
    if (index < 0 || index >= D3DXFRAME_MAX_LIGHTS) {
        LOG_ERROR("invalid index: %ld\n", (long)index);
        return 0;
    }
    if (FAILED(g.device->LightEnable((DWORD)index, FALSE))) {
        LOG_ERROR("%s\n", "Failed LightEnable.");
        return 0;
    }
    g.light_in_use[index] = 0;
    return 1;
}

int32_t d3dxframe_set_light_allocation(int32_t flag)
{
    d3dx_globals.bAllocateLights = flag;
    return flag;
}

// ---- settings accessors

int d3dxframe_set_bilinear_filtering(int32_t flag)
{
    d3dx_globals.bBilinearFiltering = flag;
    return 1;
}

int32_t d3dxframe_get_bilinear_filtering(void)
{
    return d3dx_globals.bBilinearFiltering;
}

int d3dxframe_set_anti_alias(int32_t flag)
{
    d3dx_globals.bAntiAlias = flag;
    return 1;
}

int32_t d3dxframe_get_anti_alias(void)
{
    return d3dx_globals.bAntiAlias;
}

int d3dxframe_set_triple_buffer(int32_t flag)
{
    d3dx_globals.bTripleBuffer = flag;
    return 1;
}

int32_t d3dxframe_get_triple_buffer(void)
{
    return d3dx_globals.bTripleBuffer;
}

int d3dxframe_set_dynamic_lighting(int32_t flag)
{
    d3dx_globals.bDynamicLighting = flag;
    d3dxframe_set_render_state(D3DRENDERSTATE_LIGHTING, (DWORD)flag);
    return 1;
}

int32_t d3dxframe_get_dynamic_lighting(void)
{
    return d3dx_globals.bDynamicLighting;
}

// ---- queries

int d3dxframe_is_visible(const win_vect3* sphere_center, float)
{
    if (!sphere_center) {
        LOG_ERROR("%s\n\n", "Cannot d3dxframe_is_visible with NULL sphere_center.");
        return 0;
    }
    return 1;
}

IDirectDrawSurface7* d3dxframe_get_render_target(void)
{
    IDirectDrawSurface7* target = nullptr;
    if (!d3dx_globals.device || FAILED(d3dx_globals.device->GetRenderTarget(&target)))
        return nullptr;
    return target;
}

int d3dxframe_query_back_buffer(void)
{
    IDirectDrawSurface7* surface = nullptr;
    if (!d3dx_globals.context || FAILED(d3dx_globals.context->GetBackBuffer(2, &surface)) ||
        !surface)
        return 0;
    int present = surface->IsLost() == 0 ? 1 : 0;
    surface->Release();
    return present;
}

void d3dxframe_reset(void)
{
    memset(&d3dx_globals, 0, sizeof d3dx_globals);
    invalidate_textures = nullptr;
    restore_textures = nullptr;
    has_last_projection = false;
    memset(&last_projection, 0, sizeof last_projection);
    buffer_width = buffer_height = 0;
}
