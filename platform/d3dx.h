// The D3DX 7 subset that the game uses: start-up, the context that owns the
// device and its surfaces for one window, device and display-mode
// enumeration, texture creation and loading, and error texts.
#pragma once

#include "platform/d3d.h"

#define D3DX_DEFAULT ((DWORD)0xFFFFFFFF)
enum : DWORD { D3DX_CONTEXT_FULLSCREEN = 1 };

typedef DWORD D3DX_SURFACEFORMAT;
enum : DWORD {
    D3DX_SF_UNKNOWN = 0,
    D3DX_SF_R8G8B8 = 1,
    D3DX_SF_A8R8G8B8 = 2,
    D3DX_SF_X8R8G8B8 = 3,
    D3DX_SF_R5G6B5 = 4,
    D3DX_SF_R5G5B5 = 5,
    D3DX_SF_PALETTE4 = 6,
    D3DX_SF_PALETTE8 = 7,
    D3DX_SF_A1R5G5B5 = 8,
    D3DX_SF_X4R4G4B4 = 9,
    D3DX_SF_A4R4G4B4 = 10,
    D3DX_SF_L8 = 11,
    D3DX_SF_A8L8 = 12,
    // Block-compressed files; their textures keep the pixels decompressed
    // (A8R8G8B8) and report the file's format.
    D3DX_SF_DXT1 = 18,
    D3DX_SF_DXT3 = 19,
    D3DX_SF_DXT5 = 20,
    D3DX_SF_A8 = 22,
};
// Creation flags.
enum : DWORD { D3DX_TEXTURE_NOMIPMAP = 0x100 };
typedef DWORD D3DX_FILTERTYPE;
enum : DWORD { D3DX_FT_POINT = 1, D3DX_FT_LINEAR = 2 };

// D3DX results: 0xC8770BB8 and up, in this order.
#define MAKE_D3DXHRESULT(offset) ((HRESULT)(0xC8770BB8u + (DWORD)(offset)))
#define D3DXERR_NOMEMORY MAKE_D3DXHRESULT(0)
#define D3DXERR_NULLPOINTER MAKE_D3DXHRESULT(1)
#define D3DXERR_INVALIDD3DXDEVICEINDEX MAKE_D3DXHRESULT(2)
#define D3DXERR_NODIRECTDRAWAVAILABLE MAKE_D3DXHRESULT(3)
#define D3DXERR_NODIRECT3DAVAILABLE MAKE_D3DXHRESULT(4)
#define D3DXERR_NODIRECT3DDEVICEAVAILABLE MAKE_D3DXHRESULT(5)
#define D3DXERR_INVALIDMODE MAKE_D3DXHRESULT(11)
#define D3DXERR_INVALIDPARAMETER MAKE_D3DXHRESULT(12)
#define D3DXERR_STARTUPFAILED MAKE_D3DXHRESULT(14)
#define D3DXERR_D3DXNOTSTARTEDYET MAKE_D3DXHRESULT(15)
#define D3DXERR_CANNOTRESIZEFULLSCREEN MAKE_D3DXHRESULT(23)
#define D3DXERR_UNSUPPORTEDFILEFORMAT MAKE_D3DXHRESULT(20)
#define D3DXERR_NOTEXTURE MAKE_D3DXHRESULT(29)
#define D3DXERR_MIPLEVELABSENT MAKE_D3DXHRESULT(30)
#define D3DXERR_INVALIDFILEFORMAT MAKE_D3DXHRESULT(34)

// The context: one device with its DirectDraw and Direct3D objects, a front
// and a back buffer and a depth buffer, for one window.
struct ID3DXContext : IUnknown {
    // Each with a reference added, or NULL.
    IDirectDraw7* GetDD();
    IDirect3D7* GetD3D();
    IDirect3DDevice7* GetD3DDevice();
    // Surface 0 of GetBackBuffer is the render target. Each with a reference
    // added.
    HRESULT GetPrimary(IDirectDrawSurface7** surface);
    HRESULT GetBackBuffer(DWORD which, IDirectDrawSurface7** surface);
    HRESULT GetZBuffer(IDirectDrawSurface7** surface);
    DWORD GetNumBackBuffers();
    // New buffer size; windowed contexts only.
    HRESULT Resize(DWORD width, DWORD height);
    HRESULT SetClearColor(D3DCOLOR colour);
    HRESULT Clear(DWORD flags);
    HRESULT UpdateFrame(DWORD flags);

protected:
    ID3DXContext() = default;
};

struct D3DX_DEVICEDESC {
    DWORD deviceIndex;
    DWORD hwLevel;
    char driverDesc[256];
    BOOL onPrimary;
};
struct D3DX_VIDMODEDESC {
    DWORD width, height, bpp, refreshRate;
};

HRESULT D3DXInitialize(void);
HRESULT D3DXUninitialize(void);

// Every count, size and bit depth accepts D3DX_DEFAULT. `device_index`
// D3DX_DEFAULT picks the first device. The back-end is the one selected
// with d3d_select_backend (d3d_record.h).
HRESULT D3DXCreateContextEx(DWORD device_index, DWORD flags, HWND window, HWND focus_window,
                            DWORD colour_bits, DWORD alpha_bits, DWORD depth_bits,
                            DWORD stencil_bits, DWORD back_buffers, DWORD width, DWORD height,
                            DWORD refresh_rate, ID3DXContext** context);

// Where a frame of `width` x `height` pixels shows in a window area of
// `area_width` x `area_height`: as large as fits, keeping its shape, centred,
// with black bars beside or above it. A frame whose size differs from its
// window's (full screen, or buffers of a chosen mode in a window of another
// size) is presented so, and pointer positions map back through the same
// rectangle. The whole area for a frame or area without size.
RECT d3dx_frame_rect(DWORD width, DWORD height, int area_width, int area_height);

// A text for the result, cut to `size` - 1 characters.
void D3DXGetErrorString(HRESULT result, DWORD size, char* text);

DWORD D3DXGetDeviceCount(void);
HRESULT D3DXGetDeviceDescription(DWORD device_index, D3DX_DEVICEDESC* desc);
DWORD D3DXGetMaxNumVideoModes(DWORD device_index, DWORD flags);
HRESULT D3DXGetVideoMode(DWORD device_index, DWORD flags, DWORD mode_index, D3DX_VIDMODEDESC* desc);
HRESULT D3DXGetCurrentVideoMode(DWORD device_index, D3DX_VIDMODEDESC* desc);
HRESULT D3DXGetDeviceCaps(DWORD device_index, DDCAPS* hardware_caps, DDCAPS* emulation_caps,
                          D3DDEVICEDESC* d3d_hardware_caps, D3DDEVICEDESC* d3d_emulation_caps);

// Makes a texture surface on the device. Width and height D3DX_DEFAULT mean
// 256; the format becomes A8R8G8B8 when the requested one has alpha, else
// X8R8G8B8, and is written back with the size and a mipmap count of 1.
HRESULT D3DXCreateTexture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                          D3DX_SURFACEFORMAT* format, void* palette, IDirectDrawSurface7** texture,
                          DWORD* mipmap_count);
// Makes a texture from an image file: ".tga" (true colour, grey or
// colour-mapped, plain or run-length encoded), ".bmp" (palette, plain or
// RLE8/RLE4, 16, 24 or 32 bits) or ".dds"
// (uncompressed RGB or DXT1, DXT3, DXT5, with its mipmap levels), told apart
// by their content. In and out as D3DXCreateTexture: width and height
// D3DX_DEFAULT (or 0) take the file's size, other sizes scale the image by
// the filter; format D3DX_SF_UNKNOWN takes the file's (A8R8G8B8 with alpha,
// else X8R8G8B8, or the DXT format of a block-compressed file); a mipmap
// count of 0 or D3DX_DEFAULT makes the file's levels or, for a one-level
// image, the full chain (one level with D3DX_TEXTURE_NOMIPMAP); every value
// is written back. On failure *texture is NULL.
HRESULT D3DXCreateTextureFromFile(IDirect3DDevice7* device, DWORD* flags, DWORD* width,
                                  DWORD* height, D3DX_SURFACEFORMAT* format, void* palette,
                                  IDirectDrawSurface7** texture, DWORD* mipmap_count,
                                  const char* file_name, D3DX_FILTERTYPE filter);
// Copies a surface (24- or 32-bit RGB formats) into a texture, converting
// the pixel format and scaling by point sampling.
HRESULT D3DXLoadTextureFromSurface(IDirect3DDevice7* device, IDirectDrawSurface7* texture,
                                   DWORD mip_level, IDirectDrawSurface7* source, RECT* source_rect,
                                   RECT* dest_rect, D3DX_FILTERTYPE filter);
