// The PNG texture reader: a PNG file decoded with libpng into blue, green,
// red (and alpha) bytes, copied into a temporary system-memory surface of the
// matching layout, and loaded by D3DX into a new texture. It takes and gives
// its arguments as D3DXCreateTextureFromFile does, so the texture cache
// treats both alike.
//
// Only RGB and RGBA images are taken (16-bit samples are cut to 8 bits; an
// RGB image with a transparency chunk gains an alpha channel and loads as
// A8R8G8B8); grey and palette images are refused with "Unsupported
// color_type", so the cache goes on to the next extension.
//
// One PNG is read at a time: the reader keeps its state in the module.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/d3dx.h"

// What the last read found and did.
extern uint32_t png_io_width;
extern uint32_t png_io_height;
extern int32_t png_io_bit_depth;
extern int32_t png_io_color_type;
extern int32_t png_io_interlace_type;
extern int32_t png_io_channels;     // bytes of a decoded pixel: 3 or 4
extern double png_io_screen_gamma;  // the gamma pair handed to libpng
extern double png_io_file_gamma;    // 0 when the file is sRGB (no correction)
// One heap row buffer per image row, a NULL entry after the last; NULL
// outside a read.
extern uint8_t** png_io_row_pointers;

// Reads the open PNG file into the module state (`sig_bytes` signature bytes
// were read already). Returns 1 with the file still open; 0, with the file
// closed, when libpng gave up. A gamma of 0 or below stands for 2.2.
int png_io_read_png(FILE* png_file, int32_t sig_bytes, float screen_gamma);
void png_io_free_rows(void);

// D3D_OK with a new texture in *texture, or a failure (E_FAIL for the
// reader's own) with *texture NULL.
HRESULT png_io_load_texture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                            D3DX_SURFACEFORMAT* format, void* palette,
                            IDirectDrawSurface7** texture, DWORD* mipmap_count,
                            const char* file_name, D3DX_FILTERTYPE filter, float screen_gamma);
