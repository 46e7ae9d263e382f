// The DirectDraw 7 / Direct3D 7 subset that the game uses, under its usual
// names: value types, enumerations, result codes and the interfaces as
// reference-counted C++ objects.
//
// One object model serves every back-end. The objects keep the whole device
// state (render states, texture-stage states, transforms, lights, material,
// viewport, bound textures) with the Direct3D 7 defaults, and the surfaces
// keep their pixels in memory; the back-end chosen when the D3DX context is
// made (d3d_record.h) only draws and presents. Every method that returns an
// HRESULT passes the call gate of d3d_record.h first, so calls can be
// recorded and any result injected.
#pragma once

#include <cstdint>

#include "platform/gdi.h"
#include "platform/win32.h"
#include "platform/win_types.h"

typedef float D3DVALUE;
typedef DWORD D3DCOLOR;  // 0xAARRGGBB

struct D3DVECTOR {
    D3DVALUE x, y, z;
};
struct D3DCOLORVALUE {
    D3DVALUE r, g, b, a;
};
// Row-major, for row vectors (p' = p . M); m[3] is the translation row.
struct D3DMATRIX {
    D3DVALUE m[4][4];
};
struct D3DVIEWPORT7 {
    DWORD dwX, dwY, dwWidth, dwHeight;
    D3DVALUE dvMinZ, dvMaxZ;
};
struct D3DMATERIAL7 {
    D3DCOLORVALUE diffuse, ambient, specular, emissive;
    D3DVALUE power;
};
struct D3DLIGHT7 {
    DWORD dltType;
    D3DCOLORVALUE dcvDiffuse, dcvSpecular, dcvAmbient;
    D3DVECTOR dvPosition, dvDirection;
    D3DVALUE dvRange, dvFalloff;
    D3DVALUE dvAttenuation0, dvAttenuation1, dvAttenuation2;
    D3DVALUE dvTheta, dvPhi;
};
static_assert(sizeof(D3DLIGHT7) == 104, "D3DLIGHT7 keeps its 104-byte layout");

// The older description records that the helper library initialises.
struct D3DVIEWPORT2 {
    DWORD dwSize;
    DWORD dwX, dwY, dwWidth, dwHeight;
    D3DVALUE dvClipX, dvClipY, dvClipWidth, dvClipHeight;
    D3DVALUE dvMinZ, dvMaxZ;
};
struct D3DMATERIAL {
    DWORD dwSize;
    D3DCOLORVALUE diffuse, ambient, specular, emissive;
    D3DVALUE power;
    DWORD hTexture;
    DWORD dwRampSize;
};
struct D3DLIGHT {
    DWORD dwSize;
    DWORD dltType;
    D3DCOLORVALUE dcvColor;
    D3DVECTOR dvPosition, dvDirection;
    D3DVALUE dvRange, dvFalloff;
    D3DVALUE dvAttenuation0, dvAttenuation1, dvAttenuation2;
    D3DVALUE dvTheta, dvPhi;
    DWORD dwFlags;
};
struct D3DTRANSFORMCAPS {
    DWORD dwSize, dwCaps;
};
struct D3DLIGHTINGCAPS {
    DWORD dwSize, dwCaps, dwLightingModel, dwNumLights;
};
struct D3DPRIMCAPS {
    DWORD dwSize;
    DWORD dwMiscCaps, dwRasterCaps, dwZCmpCaps, dwSrcBlendCaps, dwDestBlendCaps, dwAlphaCmpCaps;
    DWORD dwShadeCaps, dwTextureCaps, dwTextureFilterCaps, dwTextureBlendCaps, dwTextureAddressCaps;
    DWORD dwStippleWidth, dwStippleHeight;
};
struct D3DDEVICEDESC {
    DWORD dwSize, dwFlags, dcmColorModel, dwDevCaps;
    D3DTRANSFORMCAPS dtcTransformCaps;
    BOOL bClipping;
    D3DLIGHTINGCAPS dlcLightingCaps;
    D3DPRIMCAPS dpcLineCaps, dpcTriCaps;
    DWORD dwDeviceRenderBitDepth, dwDeviceZBufferBitDepth, dwMaxBufferSize, dwMaxVertexCount;
    DWORD dwMinTextureWidth, dwMinTextureHeight, dwMaxTextureWidth, dwMaxTextureHeight;
    DWORD dwMinStippleWidth, dwMaxStippleWidth, dwMinStippleHeight, dwMaxStippleHeight;
    DWORD dwMaxTextureRepeat, dwMaxTextureAspectRatio, dwMaxAnisotropy;
    D3DVALUE dvGuardBandLeft, dvGuardBandTop, dvGuardBandRight, dvGuardBandBottom;
    D3DVALUE dvExtentsAdjust;
    DWORD dwStencilCaps, dwFVFCaps, dwTextureOpCaps;
    WORD wMaxTextureBlendStages, wMaxSimultaneousTextures;
};
static_assert(sizeof(D3DVIEWPORT2) == 44 && sizeof(D3DMATERIAL) == 80 && sizeof(D3DLIGHT) == 80 &&
                  sizeof(D3DPRIMCAPS) == 56 && sizeof(D3DDEVICEDESC) == 252,
              "description records keep their sizes");

// Strided vertex data: one pointer and stride per component.
struct D3DDP_PTRSTRIDE {
    void* lpvData;
    DWORD dwStride;
};
enum { D3DDP_MAXTEXCOORD = 8 };
struct D3DDRAWPRIMITIVESTRIDEDDATA {
    D3DDP_PTRSTRIDE position, normal, diffuse, specular;
    D3DDP_PTRSTRIDE textureCoords[D3DDP_MAXTEXCOORD];
};

// DirectDraw records.
struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue, dwColorSpaceHighValue;
};
struct DDPIXELFORMAT {
    DWORD dwSize, dwFlags, dwFourCC, dwRGBBitCount;
    DWORD dwRBitMask, dwGBitMask, dwBBitMask, dwRGBAlphaBitMask;
};
struct DDSCAPS2 {
    DWORD dwCaps, dwCaps2, dwCaps3, dwCaps4;
};
// Callers put 124, the record's size on the original platform, in dwSize.
struct DDSURFACEDESC2 {
    DWORD dwSize, dwFlags, dwHeight, dwWidth;
    LONG lPitch;
    DWORD dwBackBufferCount, dwMipMapCount, dwAlphaBitDepth, dwReserved;
    void* lpSurface;
    DDCOLORKEY ddckCKDestOverlay, ddckCKDestBlt, ddckCKSrcOverlay, ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
struct DDCAPS {
    DWORD dwSize, dwCaps, dwCaps2, dwCKeyCaps, dwFXCaps, dwPalCaps, dwVidMemTotal, dwVidMemFree;
};

// ---- enumerations

typedef DWORD D3DRENDERSTATETYPE;
enum : DWORD {
    D3DRENDERSTATE_ANTIALIAS = 2,
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_FILLMODE = 8,
    D3DRENDERSTATE_SHADEMODE = 9,
    D3DRENDERSTATE_LINEPATTERN = 10,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_LASTPIXEL = 16,
    D3DRENDERSTATE_SRCBLEND = 19,
    D3DRENDERSTATE_DESTBLEND = 20,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_DITHERENABLE = 26,
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_FOGENABLE = 28,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_ZVISIBLE = 30,
    D3DRENDERSTATE_STIPPLEDALPHA = 33,
    D3DRENDERSTATE_FOGCOLOR = 34,
    D3DRENDERSTATE_FOGTABLEMODE = 35,
    D3DRENDERSTATE_FOGSTART = 36,
    D3DRENDERSTATE_FOGEND = 37,
    D3DRENDERSTATE_FOGDENSITY = 38,
    D3DRENDERSTATE_EDGEANTIALIAS = 40,
    D3DRENDERSTATE_COLORKEYENABLE = 41,
    D3DRENDERSTATE_ZBIAS = 47,
    D3DRENDERSTATE_RANGEFOGENABLE = 48,
    D3DRENDERSTATE_STENCILENABLE = 52,
    D3DRENDERSTATE_STENCILFAIL = 53,
    D3DRENDERSTATE_STENCILZFAIL = 54,
    D3DRENDERSTATE_STENCILPASS = 55,
    D3DRENDERSTATE_STENCILFUNC = 56,
    D3DRENDERSTATE_STENCILREF = 57,
    D3DRENDERSTATE_STENCILMASK = 58,
    D3DRENDERSTATE_STENCILWRITEMASK = 59,
    D3DRENDERSTATE_TEXTUREFACTOR = 60,
    D3DRENDERSTATE_WRAP0 = 128,
    D3DRENDERSTATE_CLIPPING = 136,
    D3DRENDERSTATE_LIGHTING = 137,
    D3DRENDERSTATE_EXTENTS = 138,
    D3DRENDERSTATE_AMBIENT = 139,
    D3DRENDERSTATE_FOGVERTEXMODE = 140,
    D3DRENDERSTATE_COLORVERTEX = 141,
    D3DRENDERSTATE_LOCALVIEWER = 142,
    D3DRENDERSTATE_NORMALIZENORMALS = 143,
    D3DRENDERSTATE_COLORKEYBLENDENABLE = 144,
    D3DRENDERSTATE_DIFFUSEMATERIALSOURCE = 145,
    D3DRENDERSTATE_SPECULARMATERIALSOURCE = 146,
    D3DRENDERSTATE_AMBIENTMATERIALSOURCE = 147,
    D3DRENDERSTATE_EMISSIVEMATERIALSOURCE = 148,
    D3DRENDERSTATE_VERTEXBLEND = 151,
    D3DRENDERSTATE_CLIPPLANEENABLE = 152,
    D3D_RENDER_STATE_COUNT = 256,  // states are 1 .. 255
};

typedef DWORD D3DTEXTURESTAGESTATETYPE;
enum : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_BUMPENVMAT00 = 7,
    D3DTSS_BUMPENVMAT01 = 8,
    D3DTSS_BUMPENVMAT10 = 9,
    D3DTSS_BUMPENVMAT11 = 10,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_ADDRESS = 12,
    D3DTSS_ADDRESSU = 13,
    D3DTSS_ADDRESSV = 14,
    D3DTSS_BORDERCOLOR = 15,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
    D3DTSS_MIPMAPLODBIAS = 19,
    D3DTSS_MAXMIPLEVEL = 20,
    D3DTSS_MAXANISOTROPY = 21,
    D3DTSS_BUMPENVLSCALE = 22,
    D3DTSS_BUMPENVLOFFSET = 23,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    D3D_TEXTURE_STAGE_STATE_COUNT = 32,  // types are 1 .. 31
    D3D_TEXTURE_STAGE_COUNT = 8,
};

typedef DWORD D3DTRANSFORMSTATETYPE;
enum : DWORD {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
    D3DTRANSFORMSTATE_TEXTURE0 = 16,
    D3D_TRANSFORM_STATE_COUNT = 24,  // 1 .. 3 and 16 .. 23
};

typedef DWORD D3DPRIMITIVETYPE;
enum : DWORD {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum : DWORD {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
    D3DLIGHT_PARALLELPOINT = 4
};

// Flexible vertex format bits.
enum : DWORD {
    D3DFVF_XYZ = 0x002,
    D3DFVF_XYZRHW = 0x004,
    D3DFVF_POSITION_MASK = 0x00E,
    D3DFVF_NORMAL = 0x010,
    D3DFVF_RESERVED1 = 0x020,
    D3DFVF_DIFFUSE = 0x040,
    D3DFVF_SPECULAR = 0x080,
    D3DFVF_TEXCOUNT_MASK = 0xF00,
    D3DFVF_TEXCOUNT_SHIFT = 8,
    D3DFVF_TEX1 = 0x100,
    D3DFVF_TEX2 = 0x200,
};

// Render-state values.
enum : DWORD {
    D3DANTIALIAS_NONE = 0,
    D3DANTIALIAS_SORTDEPENDENT = 1,
    D3DANTIALIAS_SORTINDEPENDENT = 2
};
enum : DWORD { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };
enum : DWORD { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum : DWORD { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum : DWORD { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum : DWORD {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};
enum : DWORD {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8,
};
enum : DWORD { D3DFOG_NONE = 0, D3DFOG_EXP = 1, D3DFOG_EXP2 = 2, D3DFOG_LINEAR = 3 };
enum : DWORD { D3DSTENCILOP_KEEP = 1 };
enum : DWORD { D3DMCS_MATERIAL = 0, D3DMCS_COLOR1 = 1, D3DMCS_COLOR2 = 2 };

// Texture-stage values.
enum : DWORD {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
};
enum : DWORD { D3DTA_DIFFUSE = 0, D3DTA_CURRENT = 1, D3DTA_TEXTURE = 2, D3DTA_TFACTOR = 3 };
enum : DWORD { D3DTADDRESS_WRAP = 1, D3DTADDRESS_MIRROR = 2, D3DTADDRESS_CLAMP = 3 };
enum : DWORD { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum : DWORD { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum : DWORD { D3DTFP_NONE = 1, D3DTFP_POINT = 2, D3DTFP_LINEAR = 3 };

// Clear flags.
enum : DWORD { D3DCLEAR_TARGET = 1, D3DCLEAR_ZBUFFER = 2, D3DCLEAR_STENCIL = 4 };

// DirectDraw flags.
enum : DWORD {
    DDSD_CAPS = 0x00000001,
    DDSD_HEIGHT = 0x00000002,
    DDSD_WIDTH = 0x00000004,
    DDSD_PITCH = 0x00000008,
    DDSD_LPSURFACE = 0x00000800,
    DDSD_PIXELFORMAT = 0x00001000,
    DDSD_CKSRCBLT = 0x00010000,
    DDSD_MIPMAPCOUNT = 0x00020000,
};
enum : DWORD {
    DDSCAPS_BACKBUFFER = 0x00000004,
    DDSCAPS_FLIP = 0x00000010,
    DDSCAPS_OFFSCREENPLAIN = 0x00000040,
    DDSCAPS_PRIMARYSURFACE = 0x00000200,
    DDSCAPS_SYSTEMMEMORY = 0x00000800,
    DDSCAPS_TEXTURE = 0x00001000,
    DDSCAPS_3DDEVICE = 0x00002000,
    DDSCAPS_VIDEOMEMORY = 0x00004000,
    DDSCAPS_ZBUFFER = 0x00020000,
    DDSCAPS_MIPMAP = 0x00400000,
};
enum : DWORD {
    DDPF_ALPHAPIXELS = 0x00000001,
    DDPF_RGB = 0x00000040,
    DDPF_ZBUFFER = 0x00000400,
};
enum : DWORD { DDCKEY_SRCBLT = 0x00000008 };
enum : DWORD { DDLOCK_WAIT = 0x00000001 };
enum : DWORD { DDCAPS2_PRIMARYGAMMA = 0x00020000, DDCAPS2_CANRENDERWINDOWED = 0x00080000 };
enum : DWORD { D3DDD_COLORMODEL = 0x00000001 };

// ---- result codes (the ones the game and this layer produce by name; the
// helper library holds the full table of names)

#define MAKE_DDHRESULT(code) ((HRESULT)(0x88760000u | (DWORD)(code)))
#define D3D_OK S_OK
#define DD_OK S_OK
#define DD_FALSE S_FALSE
#define DDERR_GENERIC E_FAIL
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_NOTINITIALIZED ((HRESULT)0x800401F0)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOEXCLUSIVEMODE MAKE_DDHRESULT(225)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_CANTLOCKSURFACE MAKE_DDHRESULT(435)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_EXCLUSIVEMODEALREADYSET MAKE_DDHRESULT(581)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_CANTCREATEDC MAKE_DDHRESULT(585)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_DCALREADYCREATED MAKE_DDHRESULT(620)
#define D3DERR_INVALIDPRIMITIVETYPE MAKE_DDHRESULT(736)
#define D3DERR_SCENE_IN_SCENE MAKE_DDHRESULT(760)
#define D3DERR_SCENE_NOT_IN_SCENE MAKE_DDHRESULT(761)
#define D3DERR_INVALIDVERTEXFORMAT MAKE_DDHRESULT(2048)
#define D3DERR_INVALIDMATRIX MAKE_DDHRESULT(2084)

// ---- interfaces

struct IDirectDraw7;
struct IDirectDrawSurface7;

// Reference counting shared by every interface. A new object starts with one
// reference; the last Release destroys it.
struct IUnknown {
    ULONG AddRef();
    ULONG Release();

protected:
    IUnknown();
    virtual ~IUnknown();
    IUnknown(const IUnknown&) = delete;
    IUnknown& operator=(const IUnknown&) = delete;

private:
    ULONG ref_count_;
};

struct IDirectDraw7 : IUnknown {
    HRESULT TestCooperativeLevel();
    HRESULT FlipToGDISurface();
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** surface, IUnknown* outer);
    HRESULT GetDisplayMode(DDSURFACEDESC2* desc);
    HRESULT GetCaps(DDCAPS* driver_caps, DDCAPS* emulation_caps);

protected:
    IDirectDraw7() = default;
};

struct IDirectDrawSurface7 : IUnknown {
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event);
    HRESULT Unlock(RECT* rect);
    HRESULT GetDC(HDC* dc);
    HRESULT ReleaseDC(HDC dc);
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key);
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key);
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc);
    HRESULT Restore();
    HRESULT IsLost();
    // The DirectDraw object that made the surface, with a reference added.
    HRESULT GetDDInterface(IDirectDraw7** ddraw);

protected:
    IDirectDrawSurface7() = default;
};

struct IDirect3D7 : IUnknown {
    HRESULT EvictManagedTextures();

protected:
    IDirect3D7() = default;
};

struct IDirect3DDevice7 : IUnknown {
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix);
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix);
    HRESULT SetRenderState(D3DRENDERSTATETYPE type, DWORD value);
    HRESULT GetRenderState(D3DRENDERSTATETYPE type, DWORD* value);
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value);
    // The device holds a reference to each bound texture.
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture);
    HRESULT GetTexture(DWORD stage, IDirectDrawSurface7** texture);
    HRESULT SetLight(DWORD index, D3DLIGHT7* light);
    HRESULT GetLight(DWORD index, D3DLIGHT7* light);
    HRESULT LightEnable(DWORD index, BOOL enable);
    HRESULT GetLightEnable(DWORD index, BOOL* enable);
    HRESULT SetMaterial(D3DMATERIAL7* material);
    HRESULT GetMaterial(D3DMATERIAL7* material);
    HRESULT SetViewport(D3DVIEWPORT7* viewport);
    HRESULT GetViewport(D3DVIEWPORT7* viewport);
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertex_format, void* vertices,
                          DWORD vertex_count, DWORD flags);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertex_format, void* vertices,
                                 DWORD vertex_count, WORD* indices, DWORD index_count, DWORD flags);
    HRESULT DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE type, DWORD vertex_format,
                                        D3DDRAWPRIMITIVESTRIDEDDATA* data, DWORD vertex_count,
                                        WORD* indices, DWORD index_count, DWORD flags);
    // The render target, with a reference added.
    HRESULT GetRenderTarget(IDirectDrawSurface7** surface);
    HRESULT GetCaps(D3DDEVICEDESC* hardware_desc, D3DDEVICEDESC* emulation_desc);

protected:
    IDirect3DDevice7() = default;
};

// Makes the default DirectDraw object.
HRESULT DirectDrawCreateEx(void* guid, IDirectDraw7** ddraw, IUnknown* outer);
