// The D3DX context and functions over the device object model.
//
// Devices and display modes are what the program can really use: one device
// (the selected back-end), and the display modes SDL reports for the first
// display, together with the game's classic sizes (640 x 480, 800 x 600,
// 1024 x 768) where they fit on the desktop, since the device draws a full
// screen frame of any size and scales it to the display. Each is offered in
// 16 and 32 bits (the device draws either), in ascending order of width,
// height, depth and refresh rate, as D3DX lists them. Without a video driver
// (headless) the display is the one that d3dx_set_display_modes describes.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "platform/d3d_internal.h"
#include "platform/win32_test.h"

namespace {

bool d3dx_started = false;

// The display of a machine without a video driver, until a test sets another.
const D3DX_VIDMODEDESC default_headless_modes[] = {
    {640, 480, 16, 60}, {640, 480, 16, 75},  {640, 480, 32, 60},  {800, 600, 16, 60},
    {800, 600, 32, 60}, {1024, 768, 16, 60}, {1024, 768, 32, 60},
};
const D3DX_VIDMODEDESC default_headless_current = {1024, 768, 32, 60};

struct display_state {
    std::vector<D3DX_VIDMODEDESC> headless_modes{std::begin(default_headless_modes),
                                                 std::end(default_headless_modes)};
    D3DX_VIDMODEDESC headless_current = default_headless_current;
    std::vector<D3DX_VIDMODEDESC> modes;  // as last enumerated
    std::string renderer;
    std::vector<ID3DXContext*> contexts;
};

display_state& display()
{
    static display_state* s = new display_state();  // lives for the whole run
    return *s;
}

bool has_video(void)
{
    return !win32_is_headless() && SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetNumVideoDisplays() > 0;
}

D3DX_VIDMODEDESC as_mode(const SDL_DisplayMode& mode, DWORD bits)
{
    return {(DWORD)mode.w, (DWORD)mode.h, bits,
            (DWORD)(mode.refresh_rate > 0 ? mode.refresh_rate : 60)};
}

DWORD bits_of(const SDL_DisplayMode& mode)
{
    return SDL_BYTESPERPIXEL(mode.format) == 2 ? 16 : 32;
}

bool mode_less(const D3DX_VIDMODEDESC& a, const D3DX_VIDMODEDESC& b)
{
    if (a.width != b.width)
        return a.width < b.width;
    if (a.height != b.height)
        return a.height < b.height;
    if (a.bpp != b.bpp)
        return a.bpp < b.bpp;
    return a.refreshRate < b.refreshRate;
}

bool mode_equal(const D3DX_VIDMODEDESC& a, const D3DX_VIDMODEDESC& b)
{
    return a.width == b.width && a.height == b.height && a.bpp == b.bpp &&
           a.refreshRate == b.refreshRate;
}

// Reads the display's modes afresh.
const std::vector<D3DX_VIDMODEDESC>& enumerate_modes(void)
{
    display_state& d = display();
    if (!has_video()) {
        d.modes = d.headless_modes;
        return d.modes;
    }
    d.modes.clear();
    std::vector<SDL_DisplayMode> sizes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0)
            sizes.push_back(mode);
    }
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        for (const auto& classic : {std::pair<int, int>{640, 480}, {800, 600}, {1024, 768}}) {
            SDL_DisplayMode scaled = desktop;
            scaled.w = classic.first;
            scaled.h = classic.second;
            if (scaled.w <= desktop.w && scaled.h <= desktop.h)
                sizes.push_back(scaled);
        }
    }
    for (const SDL_DisplayMode& mode : sizes)
        for (DWORD bits : {16u, 32u})
            d.modes.push_back(as_mode(mode, bits));
    std::sort(d.modes.begin(), d.modes.end(), mode_less);
    d.modes.erase(std::unique(d.modes.begin(), d.modes.end(), mode_equal), d.modes.end());
    return d.modes;
}

const std::vector<D3DX_VIDMODEDESC>& known_modes(void)
{
    return display().modes.empty() ? enumerate_modes() : display().modes;
}

D3DX_VIDMODEDESC current_mode(void)
{
    SDL_DisplayMode mode;
    if (has_video() && SDL_GetDesktopDisplayMode(0, &mode) == 0)
        return as_mode(mode, bits_of(mode));
    return display().headless_current;
}

template <typename T>
void release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

struct d3dx_context : ID3DXContext {
    d3d_ddraw* ddraw = nullptr;
    d3d_direct3d* d3d = nullptr;
    d3d_device* device = nullptr;
    d3d_surface* primary = nullptr;
    d3d_surface* back = nullptr;
    d3d_surface* zbuffer = nullptr;
    d3d_context_params params = {};
    D3DCOLOR clear_colour = 0;

    ~d3dx_context() override
    {
        std::vector<ID3DXContext*>& contexts = display().contexts;
        contexts.erase(std::remove(contexts.begin(), contexts.end(), this), contexts.end());
        release(device);
        release(d3d);
        release(primary);
        release(back);
        release(zbuffer);
        release(ddraw);
    }
};

d3dx_context* as_context(ID3DXContext* context)
{
    return static_cast<d3dx_context*>(context);
}

// The display's mode as D3DX reports it: while a full-screen context holds
// the display, the mode it asked for (the display runs at the desktop's
// refresh rate, and the frame is scaled to it), else the desktop's.
D3DX_VIDMODEDESC display_mode_now(void)
{
    D3DX_VIDMODEDESC desktop = current_mode();
    for (ID3DXContext* context : display().contexts) {
        const d3d_context_params& params = as_context(context)->params;
        if (params.fullscreen)
            return {params.width, params.height, params.colour_bits, desktop.refreshRate};
    }
    return desktop;
}

bool full_screen_mode_exists(DWORD width, DWORD height, DWORD bits)
{
    for (const D3DX_VIDMODEDESC& mode : enumerate_modes())
        if (mode.width == width && mode.height == height && mode.bpp == bits)
            return true;
    return false;
}

HRESULT hand_out(IDirectDrawSurface7* surface, IDirectDrawSurface7** out)
{
    if (!out)
        return D3DXERR_NULLPOINTER;
    *out = surface;
    if (!surface)
        return DDERR_INVALIDPARAMS;
    surface->AddRef();
    return D3D_OK;
}

}  // namespace

bool d3dx_format_has_alpha(D3DX_SURFACEFORMAT format)
{
    return format == D3DX_SF_A8R8G8B8 || format == D3DX_SF_A1R5G5B5 || format == D3DX_SF_A4R4G4B4 ||
           format == D3DX_SF_A8L8 || format == D3DX_SF_A8;
}

void d3dx_write_back(const d3dx_made_texture& made, DWORD* flags, DWORD* width, DWORD* height,
                     D3DX_SURFACEFORMAT* format, DWORD* mipmap_count)
{
    if (flags)
        *flags = made.flags;
    if (width)
        *width = made.width;
    if (height)
        *height = made.height;
    if (format)
        *format = made.format;
    if (mipmap_count)
        *mipmap_count = made.mipmap_count;
}

HRESULT D3DXInitialize(void)
{
    HRESULT result = d3d_call("D3DXInitialize", "%s", "");
    if (SUCCEEDED(result))
        d3dx_started = true;
    return result;
}

HRESULT D3DXUninitialize(void)
{
    HRESULT result = d3d_call("D3DXUninitialize", "%s", "");
    if (SUCCEEDED(result))
        d3dx_started = false;
    return result;
}

HRESULT D3DXCreateContextEx(DWORD device_index, DWORD flags, HWND window, HWND, DWORD colour_bits,
                            DWORD alpha_bits, DWORD depth_bits, DWORD stencil_bits,
                            DWORD back_buffers, DWORD width, DWORD height, DWORD refresh_rate,
                            ID3DXContext** context)
{
    HRESULT result = d3d_call("D3DXCreateContextEx", "%d 0x%x %d %d %d %d %d %d %d %d",
                              (int)device_index, flags, (int)colour_bits, (int)alpha_bits,
                              (int)depth_bits, (int)stencil_bits, (int)back_buffers, (int)width,
                              (int)height, (int)refresh_rate);
    if (FAILED(result))
        return result;
    if (!context)
        return D3DXERR_NULLPOINTER;
    *context = nullptr;
    if (!d3dx_started)
        return D3DXERR_D3DXNOTSTARTEDYET;
    if (!IsWindow(window))
        return D3DXERR_INVALIDPARAMETER;
    if (device_index != D3DX_DEFAULT && device_index >= D3DXGetDeviceCount())
        return D3DXERR_INVALIDD3DXDEVICEINDEX;

    d3d_context_params params = {};
    params.window = window;
    params.fullscreen = (flags & D3DX_CONTEXT_FULLSCREEN) ? TRUE : FALSE;
    RECT client = {};
    GetClientRect(window, &client);
    params.width = width != D3DX_DEFAULT ? width : params.fullscreen ? 640 : (DWORD)client.right;
    params.height = height != D3DX_DEFAULT ? height
                    : params.fullscreen    ? 480
                                           : (DWORD)client.bottom;
    params.colour_bits = colour_bits != D3DX_DEFAULT ? colour_bits : current_mode().bpp;
    params.depth_bits = depth_bits != D3DX_DEFAULT ? depth_bits : 16;
    params.back_buffers = back_buffers != D3DX_DEFAULT ? back_buffers : 1;
    if (params.width == 0 || params.height == 0 || params.back_buffers == 0)
        return D3DXERR_INVALIDPARAMETER;
    if (params.colour_bits != 16 && params.colour_bits != 24 && params.colour_bits != 32)
        return D3DXERR_INVALIDMODE;
    if (params.fullscreen &&
        !full_screen_mode_exists(params.width, params.height, params.colour_bits))
        return D3DXERR_INVALIDMODE;

    d3d_backend* backend = d3d_backend_make(d3d_selected_backend());
    if (!backend)
        return D3DXERR_NODIRECT3DDEVICEAVAILABLE;
    HRESULT started = backend->start(params);
    if (FAILED(started)) {
        delete backend;
        return started;
    }
    d3dx_context* made = new d3dx_context();
    display().contexts.push_back(made);
    made->params = params;
    made->ddraw = d3d_make_ddraw(backend);
    made->ddraw->display_mode = display_mode_now();
    DDPIXELFORMAT format = d3d_pixel_format(params.colour_bits == 16 ? D3DX_SF_R5G6B5
                                                                     : D3DX_SF_X8R8G8B8);
    made->primary = d3d_make_surface(made->ddraw, params.width, params.height,
                                     DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY, format, nullptr,
                                     0);
    made->back = d3d_make_surface(made->ddraw, params.width, params.height,
                                  DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY,
                                  format, nullptr, 0);
    bool has_depth = params.depth_bits != 0;
    if (has_depth) {
        DDPIXELFORMAT depth = {};
        depth.dwSize = 32;
        depth.dwFlags = DDPF_ZBUFFER;
        depth.dwRGBBitCount = params.depth_bits;
        made->zbuffer = d3d_make_surface(made->ddraw, params.width, params.height,
                                         DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY, depth, nullptr, 0);
    }
    made->d3d = d3d_make_direct3d(made->ddraw);
    made->device = d3d_make_device(made->ddraw, made->back, has_depth);
    *context = made;
    return result;
}

IDirectDraw7* ID3DXContext::GetDD()
{
    d3dx_context* self = as_context(this);
    if (self->ddraw)
        self->ddraw->AddRef();
    return self->ddraw;
}

IDirect3D7* ID3DXContext::GetD3D()
{
    d3dx_context* self = as_context(this);
    if (self->d3d)
        self->d3d->AddRef();
    return self->d3d;
}

IDirect3DDevice7* ID3DXContext::GetD3DDevice()
{
    d3dx_context* self = as_context(this);
    if (self->device)
        self->device->AddRef();
    return self->device;
}

HRESULT ID3DXContext::GetPrimary(IDirectDrawSurface7** surface)
{
    HRESULT result = d3d_call("Context.GetPrimary", "%s", "");
    return FAILED(result) ? result : hand_out(as_context(this)->primary, surface);
}

HRESULT ID3DXContext::GetBackBuffer(DWORD which, IDirectDrawSurface7** surface)
{
    HRESULT result = d3d_call("Context.GetBackBuffer", "%u", which);
    if (FAILED(result))
        return result;
    d3dx_context* self = as_context(this);
    return hand_out(which < self->params.back_buffers ? self->back : nullptr, surface);
}

HRESULT ID3DXContext::GetZBuffer(IDirectDrawSurface7** surface)
{
    HRESULT result = d3d_call("Context.GetZBuffer", "%s", "");
    return FAILED(result) ? result : hand_out(as_context(this)->zbuffer, surface);
}

DWORD ID3DXContext::GetNumBackBuffers()
{
    return as_context(this)->params.back_buffers;
}

HRESULT ID3DXContext::Resize(DWORD width, DWORD height)
{
    HRESULT result = d3d_call("Context.Resize", "%u %u", width, height);
    if (FAILED(result))
        return result;
    d3dx_context* self = as_context(this);
    if (self->params.fullscreen)
        return D3DXERR_CANNOTRESIZEFULLSCREEN;
    if (width == 0 || height == 0)
        return D3DXERR_INVALIDPARAMETER;
    HRESULT resized = self->ddraw->backend->resize(width, height);
    if (FAILED(resized))
        return resized;
    self->params.width = width;
    self->params.height = height;
    for (d3d_surface* surface : {self->primary, self->back, self->zbuffer}) {
        if (surface) {
            surface->width = width;
            surface->height = height;
        }
    }
    self->device->state.viewport = {0, 0, width, height, 0.0f, 1.0f};
    return result;
}

HRESULT ID3DXContext::SetClearColor(D3DCOLOR colour)
{
    HRESULT result = d3d_call("Context.SetClearColor", "0x%08x", colour);
    if (SUCCEEDED(result))
        as_context(this)->clear_colour = colour;
    return result;
}

HRESULT ID3DXContext::Clear(DWORD flags)
{
    HRESULT result = d3d_call("Context.Clear", "0x%x", flags);
    if (FAILED(result))
        return result;
    d3dx_context* self = as_context(this);
    HRESULT cleared = self->ddraw->backend->clear(flags, self->clear_colour, 1.0f);
    return FAILED(cleared) ? cleared : result;
}

HRESULT ID3DXContext::UpdateFrame(DWORD flags)
{
    HRESULT result = d3d_call("Context.UpdateFrame", "0x%x", flags);
    if (FAILED(result))
        return result;
    HRESULT presented = as_context(this)->ddraw->backend->present();
    return FAILED(presented) ? presented : result;
}

RECT d3dx_frame_rect(DWORD width, DWORD height, int area_width, int area_height)
{
    if (width == 0 || height == 0 || area_width <= 0 || area_height <= 0)
        return {0, 0, area_width, area_height};
    double scale = std::min((double)area_width / width, (double)area_height / height);
    LONG w = std::min((LONG)std::lround(width * scale), (LONG)area_width);
    LONG h = std::min((LONG)std::lround(height * scale), (LONG)area_height);
    LONG x = (area_width - w) / 2, y = (area_height - h) / 2;
    return {x, y, x + w, y + h};
}

void D3DXGetErrorString(HRESULT result, DWORD size, char* text)
{
    if (text && size > 0)
        snprintf(text, size, "DirectX result 0x%08X", (unsigned)result);
}

DWORD D3DXGetDeviceCount(void)
{
    return 1;
}

HRESULT D3DXGetDeviceDescription(DWORD device_index, D3DX_DEVICEDESC* desc)
{
    HRESULT result = d3d_call("D3DXGetDeviceDescription", "%d", (int)device_index);
    if (FAILED(result))
        return result;
    if (!desc)
        return D3DXERR_NULLPOINTER;
    if (device_index != D3DX_DEFAULT && device_index >= D3DXGetDeviceCount())
        return D3DXERR_INVALIDD3DXDEVICEINDEX;
    memset(desc, 0, sizeof *desc);
    desc->deviceIndex = 0;
    desc->hwLevel = 1;
    if (d3d_selected_backend() != D3D_BACKEND_GL)
        snprintf(desc->driverDesc, sizeof desc->driverDesc, "%s", "Recording device");
    else if (display().renderer.empty())
        snprintf(desc->driverDesc, sizeof desc->driverDesc, "%s", "OpenGL device");
    else
        snprintf(desc->driverDesc, sizeof desc->driverDesc, "OpenGL device (%s)",
                 display().renderer.c_str());
    desc->onPrimary = TRUE;
    return result;
}

// Reads the display's modes afresh; D3DXGetVideoMode hands out this list.
DWORD D3DXGetMaxNumVideoModes(DWORD device_index, DWORD)
{
    if (device_index != D3DX_DEFAULT && device_index >= D3DXGetDeviceCount())
        return 0;
    return (DWORD)enumerate_modes().size();
}

HRESULT D3DXGetVideoMode(DWORD device_index, DWORD, DWORD mode_index, D3DX_VIDMODEDESC* desc)
{
    HRESULT result = d3d_call("D3DXGetVideoMode", "%d %u", (int)device_index, mode_index);
    if (FAILED(result))
        return result;
    if (!desc)
        return D3DXERR_NULLPOINTER;
    const std::vector<D3DX_VIDMODEDESC>& modes = known_modes();
    if ((device_index != D3DX_DEFAULT && device_index >= D3DXGetDeviceCount()) ||
        mode_index >= modes.size())
        return D3DXERR_INVALIDPARAMETER;
    *desc = modes[mode_index];
    return result;
}

HRESULT D3DXGetCurrentVideoMode(DWORD device_index, D3DX_VIDMODEDESC* desc)
{
    HRESULT result = d3d_call("D3DXGetCurrentVideoMode", "%d", (int)device_index);
    if (FAILED(result))
        return result;
    if (!desc)
        return D3DXERR_NULLPOINTER;
    if (device_index != D3DX_DEFAULT && device_index >= D3DXGetDeviceCount())
        return D3DXERR_INVALIDD3DXDEVICEINDEX;
    *desc = display_mode_now();
    return result;
}

HRESULT D3DXGetDeviceCaps(DWORD device_index, DDCAPS* hardware_caps, DDCAPS* emulation_caps,
                          D3DDEVICEDESC* d3d_hardware_caps, D3DDEVICEDESC* d3d_emulation_caps)
{
    HRESULT result = d3d_call("D3DXGetDeviceCaps", "%d", (int)device_index);
    if (FAILED(result))
        return result;
    if (device_index != D3DX_DEFAULT && device_index >= D3DXGetDeviceCount())
        return D3DXERR_INVALIDD3DXDEVICEINDEX;
    for (DDCAPS* caps : {hardware_caps, emulation_caps}) {
        if (caps) {
            memset(caps, 0, sizeof *caps);
            caps->dwSize = sizeof *caps;
            caps->dwCaps2 = DDCAPS2_CANRENDERWINDOWED;
        }
    }
    if (hardware_caps)
        hardware_caps->dwCaps2 |= DDCAPS2_PRIMARYGAMMA;
    for (D3DDEVICEDESC* desc : {d3d_hardware_caps, d3d_emulation_caps}) {
        if (desc) {
            memset(desc, 0, sizeof *desc);
            desc->dwSize = sizeof *desc;
        }
    }
    if (d3d_hardware_caps)
        d3d_hardware_caps->dwFlags = D3DDD_COLORMODEL;
    return result;
}

HRESULT D3DXCreateTexture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                          D3DX_SURFACEFORMAT* format, void*, IDirectDrawSurface7** texture,
                          DWORD* mipmap_count)
{
    HRESULT result = d3d_call("D3DXCreateTexture", "%d %d %u", width ? (int)*width : -1,
                              height ? (int)*height : -1, format ? *format : 0);
    if (FAILED(result))
        return result;
    if (!device || !texture)
        return D3DXERR_NULLPOINTER;
    *texture = nullptr;
    DWORD texture_width = (!width || *width == D3DX_DEFAULT) ? 256 : *width;
    DWORD texture_height = (!height || *height == D3DX_DEFAULT) ? 256 : *height;
    if (texture_width == 0 || texture_height == 0)
        return D3DXERR_INVALIDPARAMETER;
    D3DX_SURFACEFORMAT made_format = (format && d3dx_format_has_alpha(*format)) ? D3DX_SF_A8R8G8B8
                                                                                : D3DX_SF_X8R8G8B8;
    d3d_device* owner = static_cast<d3d_device*>(device);
    d3d_surface* surface = d3d_make_surface(owner->ddraw, texture_width, texture_height,
                                            DDSCAPS_TEXTURE, d3d_pixel_format(made_format), nullptr,
                                            0);
    if (!surface)
        return D3DXERR_NOMEMORY;
    surface->d3dx_format = made_format;
    d3dx_write_back({0, texture_width, texture_height, made_format, 1}, flags, width, height,
                    format, mipmap_count);
    *texture = surface;
    return result;
}

HRESULT D3DXLoadTextureFromSurface(IDirect3DDevice7* device, IDirectDrawSurface7* texture,
                                   DWORD mip_level, IDirectDrawSurface7* source, RECT* source_rect,
                                   RECT* dest_rect, D3DX_FILTERTYPE filter)
{
    HRESULT result = d3d_call("D3DXLoadTextureFromSurface", "%u %u", mip_level, filter);
    if (FAILED(result))
        return result;
    if (!device || !texture || !source)
        return D3DXERR_NULLPOINTER;
    if (mip_level != 0)
        return D3DXERR_MIPLEVELABSENT;
    d3d_surface* to = static_cast<d3d_surface*>(texture);
    d3d_surface* from = static_cast<d3d_surface*>(source);
    if (!to->pixels || !from->pixels || to->locked || from->locked)
        return D3DXERR_NOTEXTURE;
    RECT whole_from = {0, 0, (LONG)from->width, (LONG)from->height};
    RECT whole_to = {0, 0, (LONG)to->width, (LONG)to->height};
    const RECT& src = source_rect ? *source_rect : whole_from;
    const RECT& dst = dest_rect ? *dest_rect : whole_to;
    if (src.left < 0 || src.top < 0 || src.right > whole_from.right ||
        src.bottom > whole_from.bottom || dst.left < 0 || dst.top < 0 ||
        dst.right > whole_to.right || dst.bottom > whole_to.bottom || src.right <= src.left ||
        src.bottom <= src.top || dst.right <= dst.left || dst.bottom <= dst.top)
        return D3DXERR_INVALIDPARAMETER;
    DWORD from_bytes = from->format.dwRGBBitCount / 8;
    DWORD to_bytes = to->format.dwRGBBitCount / 8;
    LONG src_width = src.right - src.left, src_height = src.bottom - src.top;
    LONG dst_width = dst.right - dst.left, dst_height = dst.bottom - dst.top;
    const uint8_t* in = from->pixels + (size_t)src.top * (size_t)from->pitch +
                        (size_t)src.left * from_bytes;
    uint8_t* out = to->pixels + (size_t)dst.top * (size_t)to->pitch + (size_t)dst.left * to_bytes;
    if (src_width == dst_width && src_height == dst_height) {
        d3d_convert_pixels(from->format, in, from->pitch, to->format, out, to->pitch,
                           (DWORD)dst_width, (DWORD)dst_height);
    } else {
        // Stretched: the nearest source pixel of each.
        d3d_pixel_layout reader, writer;
        d3d_pixel_layout_make(from->format, &reader);
        d3d_pixel_layout_make(to->format, &writer);
        for (LONG y = 0; y < dst_height; ++y) {
            LONG sy = (LONG)((int64_t)y * src_height / dst_height);
            for (LONG x = 0; x < dst_width; ++x) {
                LONG sx = (LONG)((int64_t)x * src_width / dst_width);
                DWORD argb;
                d3d_pixels_to_argb(reader,
                                   in + (size_t)sy * (size_t)from->pitch + (size_t)sx * from_bytes,
                                   &argb, 1);
                d3d_pixels_from_argb(writer, &argb,
                                     out + (size_t)y * (size_t)to->pitch + (size_t)x * to_bytes, 1);
            }
        }
    }
    to->ddraw->backend->surface_changed(to);
    return result;
}

d3d_backend* d3dx_window_backend(HWND window)
{
    for (ID3DXContext* context : display().contexts) {
        d3dx_context* made = as_context(context);
        if (made->params.window == window && made->ddraw)
            return made->ddraw->backend;
    }
    return nullptr;
}

void d3dx_set_renderer_name(const char* name)
{
    display().renderer = name ? name : "";
}

void d3dx_set_display_modes(const D3DX_VIDMODEDESC* modes, int count,
                            const D3DX_VIDMODEDESC* current)
{
    display_state& d = display();
    if (!modes) {
        d.headless_modes.assign(std::begin(default_headless_modes),
                                std::end(default_headless_modes));
        d.headless_current = default_headless_current;
    } else {
        d.headless_modes.assign(modes, modes + (count > 0 ? count : 0));
        if (current)
            d.headless_current = *current;
    }
    d.modes.clear();
}
