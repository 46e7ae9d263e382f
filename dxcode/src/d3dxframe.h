// The render frame: the one Direct3D device of the program, made through a
// D3DX context for the main window, with its settings (d3dx_globals and the
// "[d3dxframe]" section of the configuration file), its life cycle (create,
// present, lost surfaces, full-screen switch, window size and activation),
// the game font, and the wrappers through which every other module draws:
// scene, transforms, render and texture-stage states, textures, primitives,
// screen quads on the 640 x 480 virtual screen, ambient and dynamic lights.
//
// Wrappers return 1 on success and 0 after one ERROR line; without a device
// they return 0 silently. Life-cycle operations return HRESULTs.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/d3d.h"
#include "platform/d3dx.h"
#include "platform/gdi.h"
#include "platform/win32.h"
#include "win_geo.h"

struct texture_container;

enum { D3DXFRAME_MAX_LIGHTS = 10 };

struct d3dx_globals_record {
    int32_t device_index;  // -1: D3DX chooses
    int32_t bInitialized;
    int32_t m_bIsFullscreen;
    int32_t bActive;
    HWND hwnd;
    RECT window_rect;  // outer rectangle remembered while windowed
    IDirect3DDevice7* device;
    IDirect3D7* d3d;
    IDirectDraw7* ddraw;
    ID3DXContext* context;
    D3DVIEWPORT7 viewport;
    D3DMATERIAL7 material;
    int32_t light_in_use[D3DXFRAME_MAX_LIGHTS];
    float light_scale;
    float gamma;
    int32_t font_height;
    HFONT hFont;
    int32_t bTripleBuffer;
    int32_t bAntiAlias;
    int32_t bBilinearFiltering;
    int32_t bDynamicLighting;
    int32_t fullscreen_width;
    int32_t fullscreen_height;
    int32_t fullscreen_bitdepth;
    int32_t windowed_height;
    int32_t windowed_width;
    int32_t bAllocateLights;
};

extern d3dx_globals_record d3dx_globals;

// ---- settings and life cycle

int d3dxframe_write_config(FILE* session_file);
int d3dxframe_read_config(FILE* session_file, int16_t* line_cnt);
int d3dxframe_set_defaults(void);
int d3dxframe_set_hwnd(HWND window);
int d3dxframe_is_ready(void);

// Creates the device (one retry with every setting at its default).
HRESULT d3dxframe_initialize(HWND window);
int d3dxframe_unitialize(void);
HRESULT d3dxframe_init_render_states(void);
// Re-creates the device after its surfaces were lost: DDERR_SURFACELOST
// when it did, 0 when another program holds the display.
HRESULT d3dxframe_restore(void);
// Presents; lost surfaces are restored inside (see d3dxframe_restore).
HRESULT d3dxframe_update_frame(int32_t game_state);

int d3dxframe_activate(void);
int d3dxframe_deactivate(void);
int d3dxframe_on_activate(int32_t active);
int d3dxframe_on_size(int32_t size_type, int32_t packed_size);
int d3dxframe_on_move(int32_t x, int32_t y);
int d3dxframe_toggle_fullscreen(void);
// A windowed size chosen for the buffers (a mode of the device dialog): it
// is kept in windowed_width and windowed_height, and, in windowed operation,
// the window's remembered rectangle gets a client area of that size at the
// window's place, which the next switch to windowed operation gives it.
int d3dxframe_set_windowed_size(int32_t width, int32_t height);
// The client size the main window opens at: the windowed size, or 640 x
// 480 in full screen (as the switch to full screen places it) and for a
// windowed size too small to show the game or too large to be a window.
void d3dxframe_get_window_size(int32_t* width, int32_t* height);
int d3dxframe_display_error(HRESULT hresult);

// Every re-creation of the device (lost surfaces, full-screen switch, device
// change) ends by giving the new device the render states and the lights
// that the scene had set on the old one (the lights at their indices),
// reloading the textures, setting the last projection again and making the
// game font again, so that no game state is left without them. The texture cache names its two steps here (d3dtextr_attach_to_frame):
// dropping every surface before the device goes, and reloading every texture
// after it came back.
typedef int (*d3dxframe_texture_funct)(void);
void d3dxframe_set_texture_functs(d3dxframe_texture_funct invalidate_all,
                                  d3dxframe_texture_funct restore_all);

// The render size: the size of the buffers the frame is drawn into.
int32_t d3dxframe_get_render_width(void);
int32_t d3dxframe_get_render_height(void);
// A client position of the window as a pixel position of the render target,
// through the rectangle the picture fills in the window (d3dx_frame_rect):
// a point beside the picture lies outside the render size. 0 without a
// window or render size.
int d3dxframe_client_to_render(int32_t* x, int32_t* y);

// ---- the game font ("gamefont.ttf"), in render-target pixels

int d3dxframe_create_game_font(void);
// colour points to 0xAARRGGBB; alpha is ignored.
int d3dxframe_draw_text(int32_t x, int32_t y, const char* text, const DWORD* colour);
int32_t d3dxframe_get_char_width(void);
// The height of a line of the game font (its ascent and descent), so that
// lines set one under another keep apart whatever font it is; 0 without a
// render target.
int32_t d3dxframe_get_line_height(void);
// The width of `text` in the game font; 0 without a render target.
int32_t d3dxframe_get_text_width(const char* text);
// The first line of `text` set in `room` pixels of the game font: broken at
// a space after the last word that fits (a word wider than the room stands
// alone, whole). Its length goes to *length; returns where the next line
// starts, past the spaces after this one (at the terminator after the last).
// Without a render target nothing is measured and the whole text fits.
// NULL after an error line for a NULL argument.
const char* d3dxframe_fit_text(const char* text, int32_t room, size_t* length);

// ---- wrappers

int d3dxframe_begin_scene(int32_t clear_flags);
int d3dxframe_end_scene(void);
int d3dxframe_set_world_transform(win_matrix44* matrix);
int d3dxframe_get_world_transform(win_matrix44* matrix);
int d3dxframe_set_view_transform(win_matrix44* matrix);
int d3dxframe_set_projection_transform(win_matrix44* matrix);
int d3dxframe_set_render_state(int32_t type, DWORD value);
int d3dxframe_get_render_state(int32_t type, DWORD* value);
int d3dxframe_set_texture_stage_state(int32_t stage, int32_t type, DWORD value);
int d3dxframe_get_texture_stage_state(int32_t stage, int32_t type, DWORD* value);
int d3dxframe_draw_primitive(int32_t primitive_type, DWORD vertex_format, void* vertices,
                             int32_t vertex_count, DWORD flags);
int d3dxframe_draw_indexed_primitive_strided(int32_t primitive_type, DWORD vertex_format,
                                             D3DDRAWPRIMITIVESTRIDEDDATA* strided_data,
                                             int32_t vertex_count, WORD* indices,
                                             int32_t index_count, DWORD flags);
// Binding anything but the remembered container's surface to stage 0 (or
// nothing) clears d3dtextr_current_texture (d3dtextr_dx7.h).
int d3dxframe_set_texture(int32_t stage, IDirectDrawSurface7* texture);
int d3dxframe_set_viewport(int32_t width, int32_t height);

// Builds the look-at view matrix and makes it the device's view transform.
int d3dxframe_matrix_look_at(win_matrix44* out, const win_vect3* eye, const win_vect3* at,
                             const win_vect3* up);
// fov: full vertical angle in radians; aspect: height / width.
int d3dxframe_build_projection_matrix(win_matrix44* out, float fov, float aspect, float near_plane,
                                      float far_plane);
float d3dxframe_get_aspect_ratio(void);
int d3dxframe_set_texture_filter(int32_t flag);

// A quad on the 640 x 480 virtual screen (0 .. 639, 0 .. 479), scaled to the
// render size; colours 0xAARRGGBB; untextured without a container.
int d3dxframe_draw_screen_quad(texture_container* container, DWORD colour_top_left,
                               DWORD colour_top_right, DWORD colour_bottom_left,
                               DWORD colour_bottom_right, float x, float y, float width,
                               float height);

float d3dxframe_set_light_scale(float scale);
int d3dxframe_set_ambient_light(int32_t red, int32_t green, int32_t blue);
// slot -1 asks for a new light index; returns the index used, or -1.
int32_t d3dxframe_set_dynamic_light_color(D3DLIGHT7 light, int32_t slot);
int d3dxframe_disable_dynamic_light(int32_t index);
int32_t d3dxframe_set_light_allocation(int32_t flag);

int d3dxframe_set_bilinear_filtering(int32_t flag);
int32_t d3dxframe_get_bilinear_filtering(void);
int d3dxframe_set_anti_alias(int32_t flag);
int32_t d3dxframe_get_anti_alias(void);
int d3dxframe_set_triple_buffer(int32_t flag);
int32_t d3dxframe_get_triple_buffer(void);
int d3dxframe_set_dynamic_lighting(int32_t flag);
int32_t d3dxframe_get_dynamic_lighting(void);

int d3dxframe_is_visible(const win_vect3* sphere_center, float sphere_radius);
// The render target with a reference added, or NULL.
IDirectDrawSurface7* d3dxframe_get_render_target(void);
int d3dxframe_query_back_buffer(void);

// Puts the module back to its start (zero record, no texture steps, no
// remembered projection). Releases nothing: for tests.
void d3dxframe_reset(void);
