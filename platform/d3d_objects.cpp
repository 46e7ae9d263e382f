// The DirectDraw and Direct3D objects: reference counting, the state store
// with its Direct3D 7 defaults, surfaces with their pixels, and validation of
// the calls before they reach the back-end.
#include <cstdlib>
#include <cstring>

#include "platform/d3d_internal.h"

// ---- reference counting

IUnknown::IUnknown() : ref_count_(1)
{
    d3d_live_add(1);
}

IUnknown::~IUnknown()
{
    d3d_live_add(-1);
}

ULONG IUnknown::AddRef()
{
    return ++ref_count_;
}

ULONG IUnknown::Release()
{
    ULONG count = --ref_count_;
    if (count == 0)
        delete this;
    return count;
}

namespace {

template <typename T>
void release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

DWORD bytes_per_pixel(const DDPIXELFORMAT& format)
{
    return format.dwRGBBitCount / 8;
}

D3DMATRIX identity()
{
    D3DMATRIX matrix = {};
    for (int i = 0; i < 4; ++i)
        matrix.m[i][i] = 1.0f;
    return matrix;
}

DWORD float_bits(float value)
{
    DWORD bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

void fill_desc(const d3d_surface* surface, DDSURFACEDESC2* desc)
{
    memset(desc, 0, sizeof *desc);
    desc->dwSize = 124;
    desc->dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    if (surface->pixels)
        desc->dwFlags |= DDSD_PITCH;
    desc->dwWidth = surface->width;
    desc->dwHeight = surface->height;
    desc->lPitch = surface->pitch;
    desc->dwMipMapCount = 1;
    for (const d3d_surface* level = surface->mip_next; level; level = level->mip_next)
        ++desc->dwMipMapCount;
    if (surface->mip_levels > desc->dwMipMapCount)
        desc->dwMipMapCount = surface->mip_levels;
    desc->ddpfPixelFormat = surface->format;
    desc->ddsCaps.dwCaps = surface->caps;
    if (surface->has_colour_key) {
        desc->dwFlags |= DDSD_CKSRCBLT;
        desc->ddckCKSrcBlt = surface->colour_key;
    }
}

d3d_surface* as_surface(IDirectDrawSurface7* surface)
{
    return static_cast<d3d_surface*>(surface);
}

// Component layout of interleaved vertices of a vertex format.
void interleaved_layout(DWORD format, void* vertices, D3DDRAWPRIMITIVESTRIDEDDATA* data)
{
    memset(data, 0, sizeof *data);
    uint8_t* base = (uint8_t*)vertices;
    DWORD offset = 0;
    data->position.lpvData = base;
    offset += (format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW ? 16 : 12;
    if (format & D3DFVF_NORMAL) {
        data->normal.lpvData = base + offset;
        offset += 12;
    }
    if (format & D3DFVF_RESERVED1)
        offset += 4;
    if (format & D3DFVF_DIFFUSE) {
        data->diffuse.lpvData = base + offset;
        offset += 4;
    }
    if (format & D3DFVF_SPECULAR) {
        data->specular.lpvData = base + offset;
        offset += 4;
    }
    DWORD texture_sets = (format & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (DWORD i = 0; i < texture_sets && i < D3DDP_MAXTEXCOORD; ++i) {
        data->textureCoords[i].lpvData = base + offset;
        offset += 8;
    }
    data->position.dwStride = data->normal.dwStride = data->diffuse.dwStride =
        data->specular.dwStride = offset;
    for (D3DDP_PTRSTRIDE& set : data->textureCoords)
        set.dwStride = offset;
}

}  // namespace

// ---- state defaults

void d3d_default_state(d3d_device_state* state, bool has_depth, DWORD width, DWORD height)
{
    memset(state, 0, sizeof *state);
    static const struct {
        DWORD type, value;
    } render_defaults[] = {
        {D3DRENDERSTATE_TEXTUREPERSPECTIVE, TRUE},
        {D3DRENDERSTATE_FILLMODE, D3DFILL_SOLID},
        {D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRENDERSTATE_ZWRITEENABLE, TRUE},
        {D3DRENDERSTATE_LASTPIXEL, TRUE},
        {D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE},
        {D3DRENDERSTATE_DESTBLEND, D3DBLEND_ZERO},
        {D3DRENDERSTATE_CULLMODE, D3DCULL_CCW},
        {D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRENDERSTATE_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRENDERSTATE_STENCILFAIL, D3DSTENCILOP_KEEP},
        {D3DRENDERSTATE_STENCILZFAIL, D3DSTENCILOP_KEEP},
        {D3DRENDERSTATE_STENCILPASS, D3DSTENCILOP_KEEP},
        {D3DRENDERSTATE_STENCILFUNC, D3DCMP_ALWAYS},
        {D3DRENDERSTATE_STENCILMASK, 0xFFFFFFFF},
        {D3DRENDERSTATE_STENCILWRITEMASK, 0xFFFFFFFF},
        {D3DRENDERSTATE_TEXTUREFACTOR, 0xFFFFFFFF},
        {D3DRENDERSTATE_CLIPPING, TRUE},
        {D3DRENDERSTATE_LIGHTING, TRUE},
        {D3DRENDERSTATE_COLORVERTEX, TRUE},
        {D3DRENDERSTATE_LOCALVIEWER, TRUE},
        {D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    };
    for (const auto& entry : render_defaults)
        state->render_states[entry.type] = entry.value;
    state->render_states[D3DRENDERSTATE_ZENABLE] = has_depth ? D3DZB_TRUE : D3DZB_FALSE;
    state->render_states[D3DRENDERSTATE_FOGEND] = float_bits(1.0f);
    state->render_states[D3DRENDERSTATE_FOGDENSITY] = float_bits(1.0f);

    for (DWORD stage = 0; stage < D3D_TEXTURE_STAGE_COUNT; ++stage) {
        DWORD* states = state->stage_states[stage];
        states[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        states[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        states[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        states[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        states[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        states[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        states[D3DTSS_TEXCOORDINDEX] = stage;
        states[D3DTSS_ADDRESS] = D3DTADDRESS_WRAP;
        states[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
        states[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
        states[D3DTSS_MAGFILTER] = D3DTFG_POINT;
        states[D3DTSS_MINFILTER] = D3DTFN_POINT;
        states[D3DTSS_MIPFILTER] = D3DTFP_NONE;
        states[D3DTSS_MAXANISOTROPY] = 1;
    }
    for (D3DMATRIX& matrix : state->transforms)
        matrix = identity();
    state->viewport = {0, 0, width, height, 0.0f, 1.0f};
}

// ---- DirectDraw

d3d_ddraw* d3d_make_ddraw(d3d_backend* backend)
{
    d3d_ddraw* ddraw = new d3d_ddraw();
    ddraw->backend = backend;
    ddraw->display_mode = {1024, 768, 32, 60};
    return ddraw;
}

d3d_ddraw::~d3d_ddraw()
{
    delete backend;
}

HRESULT IDirectDraw7::TestCooperativeLevel()
{
    return d3d_call("DirectDraw.TestCooperativeLevel", "%s", "");
}

HRESULT IDirectDraw7::FlipToGDISurface()
{
    return d3d_call("DirectDraw.FlipToGDISurface", "%s", "");
}

HRESULT IDirectDraw7::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown*)
{
    HRESULT result = d3d_call("DirectDraw.CreateSurface", "%u %u 0x%x", desc ? desc->dwWidth : 0,
                              desc ? desc->dwHeight : 0, desc ? desc->ddsCaps.dwCaps : 0);
    if (FAILED(result))
        return result;
    if (!desc || !surface)
        return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    DWORD needed = DDSD_WIDTH | DDSD_HEIGHT;
    if ((desc->dwFlags & needed) != needed || desc->dwWidth == 0 || desc->dwHeight == 0)
        return DDERR_INVALIDPARAMS;
    DDPIXELFORMAT format = d3d_pixel_format(D3DX_SF_X8R8G8B8);
    if (desc->dwFlags & DDSD_PIXELFORMAT) {
        format = desc->ddpfPixelFormat;
        DWORD bits = format.dwRGBBitCount;
        if (!(format.dwFlags & DDPF_RGB) || (bits != 16 && bits != 24 && bits != 32))
            return DDERR_INVALIDPIXELFORMAT;
    }
    void* user_pixels = (desc->dwFlags & DDSD_LPSURFACE) ? desc->lpSurface : nullptr;
    LONG pitch = (desc->dwFlags & DDSD_PITCH) ? desc->lPitch : 0;
    if ((desc->dwFlags & DDSD_LPSURFACE) && !user_pixels)
        return DDERR_INVALIDPARAMS;
    DWORD caps = (desc->dwFlags & DDSD_CAPS) ? desc->ddsCaps.dwCaps : DDSCAPS_OFFSCREENPLAIN;
    *surface = d3d_make_surface(static_cast<d3d_ddraw*>(this), desc->dwWidth, desc->dwHeight, caps,
                                format, user_pixels, pitch);
    return *surface ? result : DDERR_OUTOFMEMORY;
}

HRESULT IDirectDraw7::GetDisplayMode(DDSURFACEDESC2* desc)
{
    HRESULT result = d3d_call("DirectDraw.GetDisplayMode", "%s", "");
    if (FAILED(result))
        return result;
    if (!desc)
        return DDERR_INVALIDPARAMS;
    const D3DX_VIDMODEDESC& mode = static_cast<d3d_ddraw*>(this)->display_mode;
    memset(desc, 0, sizeof *desc);
    desc->dwSize = 124;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc->dwWidth = mode.width;
    desc->dwHeight = mode.height;
    desc->ddpfPixelFormat = d3d_pixel_format(mode.bpp == 16 ? D3DX_SF_R5G6B5 : D3DX_SF_X8R8G8B8);
    return result;
}

HRESULT IDirectDraw7::GetCaps(DDCAPS* driver_caps, DDCAPS* emulation_caps)
{
    HRESULT result = d3d_call("DirectDraw.GetCaps", "%s", "");
    if (FAILED(result))
        return result;
    if (driver_caps) {
        memset(driver_caps, 0, sizeof *driver_caps);
        driver_caps->dwSize = sizeof *driver_caps;
        driver_caps->dwCaps2 = DDCAPS2_PRIMARYGAMMA | DDCAPS2_CANRENDERWINDOWED;
    }
    if (emulation_caps) {
        memset(emulation_caps, 0, sizeof *emulation_caps);
        emulation_caps->dwSize = sizeof *emulation_caps;
        emulation_caps->dwCaps2 = DDCAPS2_CANRENDERWINDOWED;
    }
    return result;
}

HRESULT DirectDrawCreateEx(void*, IDirectDraw7** ddraw, IUnknown*)
{
    HRESULT result = d3d_call("DirectDrawCreateEx", "%s", "");
    if (FAILED(result))
        return result;
    if (!ddraw)
        return DDERR_INVALIDPARAMS;
    *ddraw = d3d_make_ddraw(d3d_backend_make(D3D_BACKEND_RECORDING));
    return result;
}

// ---- surfaces

d3d_surface* d3d_make_surface(d3d_ddraw* ddraw, DWORD width, DWORD height, DWORD caps,
                              const DDPIXELFORMAT& format, void* user_pixels, LONG user_pitch)
{
    d3d_surface* surface = new d3d_surface();
    surface->ddraw = ddraw;
    ddraw->AddRef();
    surface->width = width;
    surface->height = height;
    surface->caps = caps;
    surface->format = format;
    surface->d3dx_format = D3DX_SF_UNKNOWN;
    surface->dc = nullptr;
    surface->locked = false;
    surface->has_colour_key = false;
    surface->colour_key = {};
    surface->backend_data = nullptr;
    surface->mip_next = nullptr;
    surface->mip_levels = 0;
    bool device_buffer = (caps & (DDSCAPS_3DDEVICE | DDSCAPS_ZBUFFER | DDSCAPS_PRIMARYSURFACE)) !=
                         0;
    if (user_pixels) {
        surface->pixels = (uint8_t*)user_pixels;
        surface->pitch = user_pitch ? user_pitch : (LONG)(width * bytes_per_pixel(format));
        surface->own_pixels = false;
    } else if (device_buffer) {
        surface->pixels = nullptr;
        surface->pitch = (LONG)(width * bytes_per_pixel(format));
        surface->own_pixels = false;
    } else {
        surface->pitch = (LONG)(width * bytes_per_pixel(format));
        surface->pixels = (uint8_t*)calloc((size_t)surface->pitch * height, 1);
        surface->own_pixels = true;
        if (!surface->pixels) {
            surface->Release();
            return nullptr;
        }
    }
    return surface;
}

d3d_surface::~d3d_surface()
{
    release(mip_next);
    if (dc)
        d3d_dc_free(dc);
    if (ddraw->backend)
        ddraw->backend->surface_destroyed(this);
    if (own_pixels)
        free(pixels);
    ddraw->Release();
}

HRESULT IDirectDrawSurface7::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE)
{
    HRESULT result = d3d_call("Surface.Lock", "0x%x", flags);
    if (FAILED(result))
        return result;
    d3d_surface* surface = as_surface(this);
    if (!desc)
        return DDERR_INVALIDPARAMS;
    if (!surface->pixels)
        return DDERR_CANTLOCKSURFACE;
    if (surface->locked || surface->dc)
        return DDERR_SURFACEBUSY;
    if (rect && (rect->left < 0 || rect->top < 0 || rect->right > (LONG)surface->width ||
                 rect->bottom > (LONG)surface->height || rect->left >= rect->right ||
                 rect->top >= rect->bottom))
        return DDERR_INVALIDRECT;
    fill_desc(surface, desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = surface->pixels;
    if (rect)
        desc->lpSurface = surface->pixels + (size_t)rect->top * (size_t)surface->pitch +
                          (size_t)rect->left * bytes_per_pixel(surface->format);
    surface->locked = true;
    return result;
}

HRESULT IDirectDrawSurface7::Unlock(RECT*)
{
    HRESULT result = d3d_call("Surface.Unlock", "%s", "");
    if (FAILED(result))
        return result;
    d3d_surface* surface = as_surface(this);
    if (!surface->locked)
        return DDERR_NOTLOCKED;
    surface->locked = false;
    surface->ddraw->backend->surface_changed(surface);
    return result;
}

HRESULT IDirectDrawSurface7::GetDC(HDC* dc)
{
    HRESULT result = d3d_call("Surface.GetDC", "%s", "");
    if (FAILED(result))
        return result;
    d3d_surface* surface = as_surface(this);
    if (!dc)
        return DDERR_INVALIDPARAMS;
    *dc = nullptr;
    if (surface->dc)
        return DDERR_DCALREADYCREATED;
    if (surface->locked)
        return DDERR_SURFACEBUSY;
    surface->dc = d3d_dc_make(surface);
    if (!surface->dc)
        return DDERR_CANTCREATEDC;
    *dc = surface->dc;
    return result;
}

HRESULT IDirectDrawSurface7::ReleaseDC(HDC dc)
{
    HRESULT result = d3d_call("Surface.ReleaseDC", "%s", "");
    if (FAILED(result))
        return result;
    d3d_surface* surface = as_surface(this);
    if (!dc || dc != surface->dc)
        return DDERR_INVALIDPARAMS;
    d3d_dc_free(surface->dc);
    surface->dc = nullptr;
    surface->ddraw->backend->surface_changed(surface);
    return result;
}

HRESULT IDirectDrawSurface7::SetColorKey(DWORD flags, DDCOLORKEY* key)
{
    HRESULT result = d3d_call("Surface.SetColorKey", "0x%x 0x%x 0x%x", flags,
                              key ? key->dwColorSpaceLowValue : 0,
                              key ? key->dwColorSpaceHighValue : 0);
    if (FAILED(result))
        return result;
    if (!(flags & DDCKEY_SRCBLT))
        return DDERR_INVALIDPARAMS;
    d3d_surface* surface = as_surface(this);
    surface->has_colour_key = key != nullptr;
    surface->colour_key = key ? *key : DDCOLORKEY{};
    surface->ddraw->backend->surface_changed(surface);
    return result;
}

HRESULT IDirectDrawSurface7::GetColorKey(DWORD flags, DDCOLORKEY* key)
{
    HRESULT result = d3d_call("Surface.GetColorKey", "0x%x", flags);
    if (FAILED(result))
        return result;
    d3d_surface* surface = as_surface(this);
    if (!key || !(flags & DDCKEY_SRCBLT))
        return DDERR_INVALIDPARAMS;
    if (!surface->has_colour_key)
        return MAKE_DDHRESULT(215);  // no colour key
    *key = surface->colour_key;
    return result;
}

HRESULT IDirectDrawSurface7::GetSurfaceDesc(DDSURFACEDESC2* desc)
{
    HRESULT result = d3d_call("Surface.GetSurfaceDesc", "%s", "");
    if (FAILED(result))
        return result;
    if (!desc)
        return DDERR_INVALIDPARAMS;
    fill_desc(as_surface(this), desc);
    return result;
}

HRESULT IDirectDrawSurface7::Restore()
{
    return d3d_call("Surface.Restore", "%s", "");
}

HRESULT IDirectDrawSurface7::IsLost()
{
    return d3d_call("Surface.IsLost", "%s", "");
}

HRESULT IDirectDrawSurface7::GetDDInterface(IDirectDraw7** ddraw)
{
    HRESULT result = d3d_call("Surface.GetDDInterface", "%s", "");
    if (FAILED(result))
        return result;
    if (!ddraw)
        return DDERR_INVALIDPARAMS;
    *ddraw = as_surface(this)->ddraw;
    (*ddraw)->AddRef();
    return result;
}

// ---- Direct3D

d3d_direct3d* d3d_make_direct3d(d3d_ddraw* ddraw)
{
    d3d_direct3d* d3d = new d3d_direct3d();
    d3d->ddraw = ddraw;
    ddraw->AddRef();
    return d3d;
}

d3d_direct3d::~d3d_direct3d()
{
    ddraw->Release();
}

HRESULT IDirect3D7::EvictManagedTextures()
{
    return d3d_call("Direct3D.EvictManagedTextures", "%s", "");
}

// ---- the device

d3d_device* d3d_make_device(d3d_ddraw* ddraw, d3d_surface* target, bool has_depth)
{
    d3d_device* device = new d3d_device();
    device->ddraw = ddraw;
    ddraw->AddRef();
    device->target = target;
    target->AddRef();
    device->has_depth = has_depth;
    d3d_default_state(&device->state, has_depth, target->width, target->height);
    return device;
}

d3d_device::~d3d_device()
{
    for (IDirectDrawSurface7*& texture : state.textures)
        release(texture);
    release(target);
    release(ddraw);
}

namespace {

d3d_device_state& device_state(IDirect3DDevice7* device)
{
    return static_cast<d3d_device*>(device)->state;
}

bool valid_transform(D3DTRANSFORMSTATETYPE type)
{
    return (type >= D3DTRANSFORMSTATE_WORLD && type <= D3DTRANSFORMSTATE_PROJECTION) ||
           (type >= D3DTRANSFORMSTATE_TEXTURE0 && type < D3D_TRANSFORM_STATE_COUNT);
}

bool valid_render_state(D3DRENDERSTATETYPE type)
{
    return type > 0 && type < D3D_RENDER_STATE_COUNT;
}

bool valid_stage_state(DWORD stage, D3DTEXTURESTAGESTATETYPE type)
{
    return stage < D3D_TEXTURE_STAGE_COUNT && type > 0 && type < D3D_TEXTURE_STAGE_STATE_COUNT;
}

// Checks a batch against the device and the vertex format, then hands it to
// the back-end.
HRESULT submit(IDirect3DDevice7* device, d3d_draw_call& call)
{
    d3d_device* self = static_cast<d3d_device*>(device);
    if (!self->state.in_scene)
        return D3DERR_SCENE_NOT_IN_SCENE;
    if (call.primitive_type < D3DPT_POINTLIST || call.primitive_type > D3DPT_TRIANGLEFAN)
        return D3DERR_INVALIDPRIMITIVETYPE;
    DWORD position = call.vertex_format & D3DFVF_POSITION_MASK;
    if (position != D3DFVF_XYZ && position != D3DFVF_XYZRHW)
        return D3DERR_INVALIDVERTEXFORMAT;
    // Components the format leaves out are not sent.
    if (!(call.vertex_format & D3DFVF_NORMAL))
        call.data.normal = {};
    if (!(call.vertex_format & D3DFVF_DIFFUSE))
        call.data.diffuse = {};
    if (!(call.vertex_format & D3DFVF_SPECULAR))
        call.data.specular = {};
    DWORD texture_sets = (call.vertex_format & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (DWORD i = texture_sets; i < D3DDP_MAXTEXCOORD; ++i)
        call.data.textureCoords[i] = {};
    if (call.vertex_count > 0) {
        bool missing = !call.data.position.lpvData ||
                       ((call.vertex_format & D3DFVF_NORMAL) && !call.data.normal.lpvData) ||
                       ((call.vertex_format & D3DFVF_DIFFUSE) && !call.data.diffuse.lpvData);
        for (DWORD i = 0; i < texture_sets && i < D3DDP_MAXTEXCOORD; ++i)
            missing = missing || !call.data.textureCoords[i].lpvData;
        if (missing)
            return DDERR_INVALIDPARAMS;
    }
    if (call.index_count > 0 && !call.indices)
        return DDERR_INVALIDPARAMS;
    call.first_vertex = 0;
    call.last_vertex = call.vertex_count > 0 ? call.vertex_count - 1 : 0;
    if (call.indices && call.index_count > 0) {
        DWORD low = 0xFFFF, high = 0;
        for (DWORD i = 0; i < call.index_count; ++i) {
            DWORD index = call.indices[i];
            if (index >= call.vertex_count)
                return DDERR_INVALIDPARAMS;
            low = index < low ? index : low;
            high = index > high ? index : high;
        }
        call.first_vertex = low;
        call.last_vertex = high;
    }
    return self->ddraw->backend->draw(self->state, call);
}

}  // namespace

HRESULT IDirect3DDevice7::BeginScene()
{
    HRESULT result = d3d_call("Device.BeginScene", "%s", "");
    if (FAILED(result))
        return result;
    d3d_device_state& state = device_state(this);
    if (state.in_scene)
        return D3DERR_SCENE_IN_SCENE;
    state.in_scene = TRUE;
    return result;
}

HRESULT IDirect3DDevice7::EndScene()
{
    HRESULT result = d3d_call("Device.EndScene", "%s", "");
    if (FAILED(result))
        return result;
    d3d_device_state& state = device_state(this);
    if (!state.in_scene)
        return D3DERR_SCENE_NOT_IN_SCENE;
    state.in_scene = FALSE;
    return result;
}

HRESULT IDirect3DDevice7::SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix)
{
    HRESULT result = d3d_call("Device.SetTransform", "%u", type);
    if (FAILED(result))
        return result;
    if (!matrix || !valid_transform(type))
        return DDERR_INVALIDPARAMS;
    device_state(this).transforms[type] = *matrix;
    return result;
}

HRESULT IDirect3DDevice7::GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix)
{
    HRESULT result = d3d_call("Device.GetTransform", "%u", type);
    if (FAILED(result))
        return result;
    if (!matrix || !valid_transform(type))
        return DDERR_INVALIDPARAMS;
    *matrix = device_state(this).transforms[type];
    return result;
}

HRESULT IDirect3DDevice7::SetRenderState(D3DRENDERSTATETYPE type, DWORD value)
{
    HRESULT result = d3d_call("Device.SetRenderState", "%u %u", type, value);
    if (FAILED(result))
        return result;
    if (!valid_render_state(type))
        return DDERR_INVALIDPARAMS;
    device_state(this).render_states[type] = value;
    return result;
}

HRESULT IDirect3DDevice7::GetRenderState(D3DRENDERSTATETYPE type, DWORD* value)
{
    HRESULT result = d3d_call("Device.GetRenderState", "%u", type);
    if (FAILED(result))
        return result;
    if (!value || !valid_render_state(type))
        return DDERR_INVALIDPARAMS;
    *value = device_state(this).render_states[type];
    return result;
}

HRESULT IDirect3DDevice7::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                               DWORD value)
{
    HRESULT result = d3d_call("Device.SetTextureStageState", "%u %u %u", stage, type, value);
    if (FAILED(result))
        return result;
    if (!valid_stage_state(stage, type))
        return DDERR_INVALIDPARAMS;
    device_state(this).stage_states[stage][type] = value;
    return result;
}

HRESULT IDirect3DDevice7::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                               DWORD* value)
{
    HRESULT result = d3d_call("Device.GetTextureStageState", "%u %u", stage, type);
    if (FAILED(result))
        return result;
    if (!value || !valid_stage_state(stage, type))
        return DDERR_INVALIDPARAMS;
    *value = device_state(this).stage_states[stage][type];
    return result;
}

HRESULT IDirect3DDevice7::SetTexture(DWORD stage, IDirectDrawSurface7* texture)
{
    HRESULT result = d3d_call("Device.SetTexture", "%u %s", stage, texture ? "texture" : "none");
    if (FAILED(result))
        return result;
    if (stage >= D3D_TEXTURE_STAGE_COUNT)
        return DDERR_INVALIDPARAMS;
    if (texture)
        texture->AddRef();
    IDirectDrawSurface7*& bound = device_state(this).textures[stage];
    release(bound);
    bound = texture;
    return result;
}

HRESULT IDirect3DDevice7::GetTexture(DWORD stage, IDirectDrawSurface7** texture)
{
    HRESULT result = d3d_call("Device.GetTexture", "%u", stage);
    if (FAILED(result))
        return result;
    if (!texture || stage >= D3D_TEXTURE_STAGE_COUNT)
        return DDERR_INVALIDPARAMS;
    *texture = device_state(this).textures[stage];
    if (*texture)
        (*texture)->AddRef();
    return result;
}

HRESULT IDirect3DDevice7::SetLight(DWORD index, D3DLIGHT7* light)
{
    HRESULT result = d3d_call("Device.SetLight", "%u %u", index, light ? light->dltType : 0);
    if (FAILED(result))
        return result;
    if (!light || index >= D3D_MAX_LIGHTS || light->dltType < D3DLIGHT_POINT ||
        light->dltType > D3DLIGHT_DIRECTIONAL)
        return DDERR_INVALIDPARAMS;
    d3d_light_slot& slot = device_state(this).lights[index];
    slot.light = *light;
    slot.set = TRUE;
    return result;
}

HRESULT IDirect3DDevice7::GetLight(DWORD index, D3DLIGHT7* light)
{
    HRESULT result = d3d_call("Device.GetLight", "%u", index);
    if (FAILED(result))
        return result;
    if (!light || index >= D3D_MAX_LIGHTS || !device_state(this).lights[index].set)
        return DDERR_INVALIDPARAMS;
    *light = device_state(this).lights[index].light;
    return result;
}

HRESULT IDirect3DDevice7::LightEnable(DWORD index, BOOL enable)
{
    HRESULT result = d3d_call("Device.LightEnable", "%u %d", index, enable ? 1 : 0);
    if (FAILED(result))
        return result;
    if (index >= D3D_MAX_LIGHTS)
        return DDERR_INVALIDPARAMS;
    d3d_light_slot& slot = device_state(this).lights[index];
    if (!slot.set) {
        // Enabling an index never set gives it the default white directional
        // light, as the device does.
        memset(&slot.light, 0, sizeof slot.light);
        slot.light.dltType = D3DLIGHT_DIRECTIONAL;
        slot.light.dcvDiffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.dvDirection = {0.0f, 0.0f, 1.0f};
        slot.set = TRUE;
    }
    slot.enabled = enable ? TRUE : FALSE;
    return result;
}

HRESULT IDirect3DDevice7::GetLightEnable(DWORD index, BOOL* enable)
{
    HRESULT result = d3d_call("Device.GetLightEnable", "%u", index);
    if (FAILED(result))
        return result;
    if (!enable || index >= D3D_MAX_LIGHTS || !device_state(this).lights[index].set)
        return DDERR_INVALIDPARAMS;
    *enable = device_state(this).lights[index].enabled;
    return result;
}

HRESULT IDirect3DDevice7::SetMaterial(D3DMATERIAL7* material)
{
    HRESULT result = d3d_call("Device.SetMaterial", "%s", "");
    if (FAILED(result))
        return result;
    if (!material)
        return DDERR_INVALIDPARAMS;
    device_state(this).material = *material;
    return result;
}

HRESULT IDirect3DDevice7::GetMaterial(D3DMATERIAL7* material)
{
    HRESULT result = d3d_call("Device.GetMaterial", "%s", "");
    if (FAILED(result))
        return result;
    if (!material)
        return DDERR_INVALIDPARAMS;
    *material = device_state(this).material;
    return result;
}

HRESULT IDirect3DDevice7::SetViewport(D3DVIEWPORT7* viewport)
{
    HRESULT result = d3d_call("Device.SetViewport", "%u %u %u %u", viewport ? viewport->dwX : 0,
                              viewport ? viewport->dwY : 0, viewport ? viewport->dwWidth : 0,
                              viewport ? viewport->dwHeight : 0);
    if (FAILED(result))
        return result;
    d3d_device* self = static_cast<d3d_device*>(this);
    if (!viewport || viewport->dwWidth == 0 || viewport->dwHeight == 0 ||
        (uint64_t)viewport->dwX + viewport->dwWidth > self->target->width ||
        (uint64_t)viewport->dwY + viewport->dwHeight > self->target->height)
        return DDERR_INVALIDPARAMS;
    self->state.viewport = *viewport;
    return result;
}

HRESULT IDirect3DDevice7::GetViewport(D3DVIEWPORT7* viewport)
{
    HRESULT result = d3d_call("Device.GetViewport", "%s", "");
    if (FAILED(result))
        return result;
    if (!viewport)
        return DDERR_INVALIDPARAMS;
    *viewport = device_state(this).viewport;
    return result;
}

HRESULT IDirect3DDevice7::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertex_format, void* vertices,
                                        DWORD vertex_count, DWORD flags)
{
    HRESULT result = d3d_call("Device.DrawPrimitive", "%u 0x%x %u %u", type, vertex_format,
                              vertex_count, flags);
    if (FAILED(result))
        return result;
    d3d_draw_call call = {type, vertex_format, vertex_count, flags, {}, nullptr, 0, 0, 0};
    interleaved_layout(vertex_format, vertices, &call.data);
    if (!vertices)
        call.data.position.lpvData = nullptr;
    HRESULT drawn = submit(this, call);
    return FAILED(drawn) ? drawn : result;
}

HRESULT IDirect3DDevice7::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertex_format,
                                               void* vertices, DWORD vertex_count, WORD* indices,
                                               DWORD index_count, DWORD flags)
{
    HRESULT result = d3d_call("Device.DrawIndexedPrimitive", "%u 0x%x %u %u %u", type,
                              vertex_format, vertex_count, index_count, flags);
    if (FAILED(result))
        return result;
    d3d_draw_call call = {type, vertex_format, vertex_count, flags, {}, indices, index_count, 0, 0};
    interleaved_layout(vertex_format, vertices, &call.data);
    if (!vertices)
        call.data.position.lpvData = nullptr;
    HRESULT drawn = submit(this, call);
    return FAILED(drawn) ? drawn : result;
}

HRESULT IDirect3DDevice7::DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE type, DWORD vertex_format,
                                                      D3DDRAWPRIMITIVESTRIDEDDATA* data,
                                                      DWORD vertex_count, WORD* indices,
                                                      DWORD index_count, DWORD flags)
{
    HRESULT result = d3d_call("Device.DrawIndexedPrimitiveStrided", "%u 0x%x %u %u %u", type,
                              vertex_format, vertex_count, index_count, flags);
    if (FAILED(result))
        return result;
    if (!data)
        return DDERR_INVALIDPARAMS;
    d3d_draw_call call = {type, vertex_format, vertex_count, flags, *data, indices, index_count, 0,
                          0};
    HRESULT drawn = submit(this, call);
    return FAILED(drawn) ? drawn : result;
}

HRESULT IDirect3DDevice7::GetRenderTarget(IDirectDrawSurface7** surface)
{
    HRESULT result = d3d_call("Device.GetRenderTarget", "%s", "");
    if (FAILED(result))
        return result;
    if (!surface)
        return DDERR_INVALIDPARAMS;
    *surface = static_cast<d3d_device*>(this)->target;
    (*surface)->AddRef();
    return result;
}

HRESULT IDirect3DDevice7::GetCaps(D3DDEVICEDESC* hardware_desc, D3DDEVICEDESC* emulation_desc)
{
    HRESULT result = d3d_call("Device.GetCaps", "%s", "");
    if (FAILED(result))
        return result;
    if (!hardware_desc || !emulation_desc)
        return DDERR_INVALIDPARAMS;
    memset(hardware_desc, 0, sizeof *hardware_desc);
    memset(emulation_desc, 0, sizeof *emulation_desc);
    hardware_desc->dwSize = emulation_desc->dwSize = sizeof(D3DDEVICEDESC);
    hardware_desc->dwFlags = D3DDD_COLORMODEL;
    hardware_desc->dcmColorModel = 2;  // RGB
    hardware_desc->dlcLightingCaps.dwNumLights = D3D_MAX_LIGHTS;
    hardware_desc->dwMaxTextureWidth = hardware_desc->dwMaxTextureHeight = 2048;
    hardware_desc->wMaxTextureBlendStages = hardware_desc->wMaxSimultaneousTextures = 1;
    return result;
}
