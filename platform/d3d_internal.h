// Inside the device object model: the concrete objects, the state store and
// the back-end seam. Only the platform folder includes this.
//
// The seam: every object belongs to one DirectDraw object, which owns the
// back-end made for its context (d3d_backend_make). The objects keep all
// state and pixels themselves and tell the back-end only what it must turn
// into pixels on the screen:
//   start      the context was made for a window (buffers of the given size);
//   resize     the windowed buffers changed size;
//   clear      the render target and/or depth buffer are cleared;
//   draw       one primitive batch, with the device state to draw it with;
//   present    the back buffer goes to the window;
//   surface_changed / surface_destroyed
//              a surface's pixels were written (unlock, device context
//              released, texture loaded) or the surface is going away, so
//              a copy on the graphics card must follow;
//   blend_coverage
//              text for a buffer the back-end keeps (the render target): the
//              font back-end (font.h) draws glyphs into a coverage bitmap and
//              hands it over; text for surfaces with pixels never gets here;
//   read_pixels
//              the render target's pixels, for tests;
//   overlay_begin / overlay_show / overlay_end
//              a modal dialog over the window (dialog.h): begin keeps the
//              picture the window shows now, show presents it with an image
//              of the window's client size over it (top row first,
//              0xAARRGGBB, blended by its alpha), end drops the kept picture
//              and leaves it in the buffer that the next present shows.
// The recording back-end answers every one with D3D_OK (read_pixels with
// E_NOTIMPL) and keeps the draws for tests; the GL back-end
// (d3d_backend_make(D3D_BACKEND_GL), d3d_gl.cpp) renders.
#pragma once

#include <cstdint>

#include "platform/d3d.h"
#include "platform/d3d_pixels.h"
#include "platform/d3d_record.h"
#include "platform/d3dx.h"

// The gate every call passes (see d3d_record.h). `arguments` is a printf
// format for the record line.
HRESULT d3d_call(const char* name, const char* arguments, ...)
    __attribute__((format(printf, 2, 3)));
void d3d_live_add(int delta);

enum { D3D_MAX_LIGHTS = 32 };

struct d3d_light_slot {
    D3DLIGHT7 light;
    BOOL set;
    BOOL enabled;
};

// Everything a draw depends on.
struct d3d_device_state {
    DWORD render_states[D3D_RENDER_STATE_COUNT];
    DWORD stage_states[D3D_TEXTURE_STAGE_COUNT][D3D_TEXTURE_STAGE_STATE_COUNT];
    D3DMATRIX transforms[D3D_TRANSFORM_STATE_COUNT];
    IDirectDrawSurface7* textures[D3D_TEXTURE_STAGE_COUNT];
    d3d_light_slot lights[D3D_MAX_LIGHTS];
    D3DMATERIAL7 material;
    D3DVIEWPORT7 viewport;
    BOOL in_scene;
};

// One batch: vertices as strided components (interleaved vertices are
// described the same way), optional 16-bit indices.
struct d3d_draw_call {
    DWORD primitive_type;
    DWORD vertex_format;
    DWORD vertex_count;
    DWORD flags;
    D3DDRAWPRIMITIVESTRIDEDDATA data;
    const WORD* indices;  // NULL: draw the vertices in order
    DWORD index_count;
    // The vertices the draw uses: all of them without indices, else those
    // from the smallest index to the largest (the device sets them as it
    // checks the indices).
    DWORD first_vertex, last_vertex;
};

struct d3d_context_params {
    HWND window;
    BOOL fullscreen;
    DWORD width, height;
    DWORD colour_bits, depth_bits, back_buffers;
};

struct d3d_surface;

struct d3d_backend {
    virtual ~d3d_backend() {}
    virtual HRESULT start(const d3d_context_params& params) = 0;
    virtual HRESULT resize(DWORD width, DWORD height) = 0;
    virtual HRESULT clear(DWORD flags, D3DCOLOR colour, float depth) = 0;
    virtual HRESULT draw(const d3d_device_state& state, const d3d_draw_call& call) = 0;
    virtual HRESULT present() = 0;
    virtual void surface_changed(d3d_surface* surface) = 0;
    virtual void surface_destroyed(d3d_surface* surface) = 0;
    // `coverage` is `width` x `height` bytes, top row first, 255 fully
    // covered; the colour's alpha scales it.
    virtual HRESULT blend_coverage(d3d_surface* target, int x, int y, int width, int height,
                                   const uint8_t* coverage, D3DCOLOR colour) = 0;
    // Top row first, as 0xAARRGGBB; the rectangle lies inside the target.
    virtual HRESULT read_pixels(DWORD x, DWORD y, DWORD width, DWORD height, DWORD* argb) = 0;
    virtual HRESULT overlay_begin() = 0;
    virtual HRESULT overlay_show(int width, int height, const DWORD* argb) = 0;
    virtual void overlay_end() = 0;
};

// The back-end of the D3DX context made for `window`, NULL when none exists.
d3d_backend* d3dx_window_backend(HWND window);
// The GL back-end names the renderer it got, for the device description.
void d3dx_set_renderer_name(const char* name);

// NULL when that kind of back-end is not built in.
d3d_backend* d3d_backend_make(int kind);
d3d_backend* d3d_gl_backend_make(void);

// Reads a component of vertex `index` of a call: 0 when absent.
const void* d3d_draw_component(const D3DDP_PTRSTRIDE& component, DWORD index);

struct d3d_ddraw : IDirectDraw7 {
    d3d_backend* backend;  // owned
    D3DX_VIDMODEDESC display_mode;
    ~d3d_ddraw() override;
};

struct d3d_surface : IDirectDrawSurface7 {
    d3d_ddraw* ddraw;  // referenced
    DWORD width, height;
    DWORD caps;
    DDPIXELFORMAT format;
    D3DX_SURFACEFORMAT d3dx_format;  // textures made by D3DX; 0 otherwise
    LONG pitch;
    uint8_t* pixels;  // NULL for buffers the back-end keeps (render target, depth)
    bool own_pixels;
    bool locked;
    HDC dc;  // the context handed out, NULL when none
    bool has_colour_key;
    DDCOLORKEY colour_key;
    void* backend_data;  // for the back-end's own use (a texture name)
    // The next smaller mipmap level of a texture (a reference the surface
    // holds), NULL for the last or only one. Back-ends hear surface_changed
    // for the top level once all its levels are filled.
    d3d_surface* mip_next;
    // The levels a texture reports, when more than its chain holds: levels
    // past the chain are never made, as no back-end samples them.
    DWORD mip_levels;
    ~d3d_surface() override;
};

struct d3d_direct3d : IDirect3D7 {
    d3d_ddraw* ddraw;  // referenced
    ~d3d_direct3d() override;
};

struct d3d_device : IDirect3DDevice7 {
    d3d_ddraw* ddraw;     // referenced
    d3d_surface* target;  // referenced
    bool has_depth;
    d3d_device_state state;
    ~d3d_device() override;
};

d3d_ddraw* d3d_make_ddraw(d3d_backend* backend);
d3d_surface* d3d_make_surface(d3d_ddraw* ddraw, DWORD width, DWORD height, DWORD caps,
                              const DDPIXELFORMAT& format, void* user_pixels, LONG user_pitch);
d3d_direct3d* d3d_make_direct3d(d3d_ddraw* ddraw);
d3d_device* d3d_make_device(d3d_ddraw* ddraw, d3d_surface* target, bool has_depth);
// The Direct3D 7 defaults of every device state.
void d3d_default_state(d3d_device_state* state, bool has_depth, DWORD width, DWORD height);

// Device contexts of surfaces (gdi.cpp).
HDC d3d_dc_make(d3d_surface* surface);
void d3d_dc_free(HDC dc);
// Deletes `object` when it is a bitmap (gdi_bitmap.cpp); false otherwise.
bool gdi_bitmap_delete(HGDIOBJ object);

// Whether a D3DX format carries alpha (textures of such a requested format
// are made A8R8G8B8, others X8R8G8B8).
bool d3dx_format_has_alpha(D3DX_SURFACEFORMAT format);
// What the D3DX texture makers write back into their in/out arguments
// (each may be NULL).
struct d3dx_made_texture {
    DWORD flags, width, height;
    D3DX_SURFACEFORMAT format;
    DWORD mipmap_count;
};
void d3dx_write_back(const d3dx_made_texture& made, DWORD* flags, DWORD* width, DWORD* height,
                     D3DX_SURFACEFORMAT* format, DWORD* mipmap_count);
