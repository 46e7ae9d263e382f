// Pixel formats of surfaces and image files, and conversion of their pixels
// to and from 0xAARRGGBB words.
//
// Single pixels convert through the format's masks directly. Rows of many
// pixels convert through a layout worked out once per image (the channels'
// shifts and the scaling of channels narrower than 8 bits as tables), with
// fast paths for the formats textures come in: 32-bit with or without
// alpha, 24-bit, and 8-bit grey. Rows whose formats match are copied as
// they are.
//
// A channel of fewer than 8 bits widens to 8 bits rounded to the nearest
// value (5 bits of 31 become 255), a wider one keeps its top 8 bits; a
// format without alpha reads as opaque and writes no alpha.
#pragma once

#include <cstdint>

#include "platform/d3d.h"
#include "platform/d3dx.h"

DDPIXELFORMAT d3d_pixel_format(D3DX_SURFACEFORMAT format);
// A format described by its bits per pixel and masks (an alpha mask of 0
// for none).
DDPIXELFORMAT d3d_masks_format(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha);
// Whether pixels of the two formats are the same bytes.
bool d3d_same_format(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);

DWORD d3d_read_pixel(const DDPIXELFORMAT& format, const uint8_t* pixel);  // as 0xAARRGGBB
void d3d_write_pixel(const DDPIXELFORMAT& format, uint8_t* pixel, DWORD argb);
// The surface's own pixel value for an 0xAARRGGBB colour.
DWORD d3d_pack_pixel(const DDPIXELFORMAT& format, DWORD argb);

// A format set up for converting rows.
struct d3d_pixel_layout {
    enum kind { GENERIC, ARGB32, XRGB32, RGB24, GREY8 } kind;
    DWORD bytes;            // per pixel, 1 to 4
    bool has_alpha;         // reading gives opaque pixels without
    DWORD masks[4];         // alpha, red, green, blue
    int shifts[4];          // of each mask's lowest bit
    int widths[4];          // bits of each channel
    uint8_t read[4][256];   // a channel narrower than 8 bits, widened
    uint8_t write[4][256];  // an 8-bit channel, narrowed to one narrower
};
void d3d_pixel_layout_make(const DDPIXELFORMAT& format, d3d_pixel_layout* layout);

// `count` pixels of the layout to 0xAARRGGBB words, and back.
void d3d_pixels_to_argb(const d3d_pixel_layout& layout, const uint8_t* pixels, DWORD* argb,
                        DWORD count);
// `pixels` may be `argb` itself when the layout has 4 bytes a pixel.
void d3d_pixels_from_argb(const d3d_pixel_layout& layout, const DWORD* argb, uint8_t* pixels,
                          DWORD count);

// Converts a width x height block from one format to another (a copy when
// they match); the rows are `pitch` bytes apart.
void d3d_convert_pixels(const DDPIXELFORMAT& from, const uint8_t* from_pixels, LONG from_pitch,
                        const DDPIXELFORMAT& to, uint8_t* to_pixels, LONG to_pitch, DWORD width,
                        DWORD height);
