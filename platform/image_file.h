// Decoders of the image files that D3DX and GDI load, inside the platform
// folder: TGA (true colour, grey and colour-mapped with 15-, 16-, 24- or
// 32-bit map entries, plain or run-length encoded), BMP (palette, also RLE8
// and RLE4, 16, 24 and 32 bits, bit-field masks) and DDS (uncompressed RGB or
// DXT1, DXT3 and DXT5 blocks, with the mipmap levels the file holds). Every
// length and offset is checked against the bytes of the file before it is
// read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3dx.h"

enum { PLATFORM_IMAGE_MAX_SIZE = 16384, PLATFORM_IMAGE_MAX_LEVELS = 15 };

// One level: width x height pixels as 0xAARRGGBB, the top row first.
struct platform_image_level {
    DWORD width, height;
    DWORD* argb;
};

struct platform_image {
    int level_count;  // 1, or the mipmap levels a DDS file holds
    platform_image_level levels[PLATFORM_IMAGE_MAX_LEVELS];
    bool has_alpha;  // the file's pixels carry alpha
    // The format D3DX reports for the file when none is requested:
    // A8R8G8B8 with alpha, else X8R8G8B8; DXT1, DXT3 or DXT5 for blocks.
    D3DX_SURFACEFORMAT format;
};

enum platform_image_kind { PLATFORM_IMAGE_ANY, PLATFORM_IMAGE_BMP };

// Reads a file through the path resolver and decodes it (`kind` ANY tells
// the format by its content: "DDS ", "BM", else TGA; a PNG signature is
// refused with a line of its own). Returns D3D_OK,
// DDERR_NOTFOUND for a file that cannot be read, D3DXERR_INVALIDFILEFORMAT
// for what it cannot decode, or D3DXERR_NOMEMORY; on failure nothing is kept.
// A file that is there but not decoded is reported (platform/report.h) in one
// line with its path and what of it was not taken; a missing one is not, since
// the texture cache looks for several names in turn.
HRESULT platform_image_load(const char* path, platform_image_kind kind, platform_image* image);
void platform_image_free(platform_image* image);

// The number of levels of a full mipmap chain for a width x height image.
int platform_image_full_chain(DWORD width, DWORD height);
