// Pixel formats and conversion of pixels.
#include "platform/d3d_pixels.h"

#include <cstddef>
#include <cstring>

namespace {

DWORD bytes_of(const DDPIXELFORMAT& format)
{
    DWORD bytes = format.dwRGBBitCount / 8;
    return bytes < 4 ? bytes : 4;
}

DWORD load(const uint8_t* pixel, DWORD bytes)
{
    DWORD value = 0;
    for (DWORD i = 0; i < bytes; ++i)
        value |= (DWORD)pixel[i] << (8 * i);
    return value;
}

void store(uint8_t* pixel, DWORD bytes, DWORD value)
{
    for (DWORD i = 0; i < bytes; ++i)
        pixel[i] = (uint8_t)(value >> (8 * i));
}

// A channel's value in 8 bits, and an 8-bit value in the channel.
DWORD channel_from(DWORD value, DWORD mask)
{
    if (!mask)
        return 0;
    int bits = __builtin_popcount(mask);
    DWORD maximum = (bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1u);
    DWORD raw = (value & mask) >> __builtin_ctz(mask);
    return bits >= 8 ? (raw >> (bits - 8)) : (raw * 255u + maximum / 2) / maximum;
}

DWORD channel_to(DWORD channel, DWORD mask)
{
    if (!mask)
        return 0;
    int bits = __builtin_popcount(mask);
    DWORD raw = bits >= 8 ? (channel << (bits - 8)) : (channel * ((1u << bits) - 1u) + 127u) / 255u;
    return (raw << __builtin_ctz(mask)) & mask;
}

// Channel c of the layout (0 alpha, 1 red, 2 green, 3 blue) in 8 bits.
DWORD read_channel(const d3d_pixel_layout& layout, int c, DWORD value)
{
    DWORD mask = layout.masks[c];
    if (!mask)
        return 0;
    DWORD raw = (value & mask) >> layout.shifts[c];
    return layout.widths[c] >= 8 ? raw >> (layout.widths[c] - 8) : layout.read[c][raw];
}

DWORD write_channel(const d3d_pixel_layout& layout, int c, DWORD channel)
{
    DWORD mask = layout.masks[c];
    if (!mask)
        return 0;
    DWORD raw = layout.widths[c] >= 8 ? channel << (layout.widths[c] - 8)
                                      : (DWORD)layout.write[c][channel];
    return (raw << layout.shifts[c]) & mask;
}

}  // namespace

DDPIXELFORMAT d3d_masks_format(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha)
{
    DDPIXELFORMAT format = {};
    format.dwSize = 32;
    format.dwFlags = alpha ? DDPF_RGB | DDPF_ALPHAPIXELS : (DWORD)DDPF_RGB;
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    format.dwRGBAlphaBitMask = alpha;
    return format;
}

DDPIXELFORMAT d3d_pixel_format(D3DX_SURFACEFORMAT format)
{
    struct entry {
        D3DX_SURFACEFORMAT format;
        DWORD bits, red, green, blue, alpha;
    };
    static const entry table[] = {
        {D3DX_SF_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DX_SF_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {D3DX_SF_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DX_SF_R5G6B5, 16, 0xF800, 0x07E0, 0x001F, 0},
        {D3DX_SF_R5G5B5, 16, 0x7C00, 0x03E0, 0x001F, 0},
        {D3DX_SF_A1R5G5B5, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
        {D3DX_SF_A4R4G4B4, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
    };
    for (const entry& known : table)
        if (known.format == format)
            return d3d_masks_format(known.bits, known.red, known.green, known.blue, known.alpha);
    DDPIXELFORMAT unknown = {};
    unknown.dwSize = 32;
    return unknown;
}

bool d3d_same_format(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b)
{
    DWORD alpha_a = a.dwFlags & DDPF_ALPHAPIXELS, alpha_b = b.dwFlags & DDPF_ALPHAPIXELS;
    return a.dwRGBBitCount == b.dwRGBBitCount && alpha_a == alpha_b &&
           a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask &&
           a.dwBBitMask == b.dwBBitMask && (!alpha_a || a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask);
}

DWORD d3d_read_pixel(const DDPIXELFORMAT& format, const uint8_t* pixel)
{
    DWORD value = load(pixel, bytes_of(format));
    DWORD alpha = 0xFFu;
    if (format.dwFlags & DDPF_ALPHAPIXELS)
        alpha = channel_from(value, format.dwRGBAlphaBitMask);
    return alpha << 24 | channel_from(value, format.dwRBitMask) << 16 |
           channel_from(value, format.dwGBitMask) << 8 | channel_from(value, format.dwBBitMask);
}

DWORD d3d_pack_pixel(const DDPIXELFORMAT& format, DWORD argb)
{
    DWORD value = channel_to((argb >> 16) & 0xFF, format.dwRBitMask) |
                  channel_to((argb >> 8) & 0xFF, format.dwGBitMask) |
                  channel_to(argb & 0xFF, format.dwBBitMask);
    if (format.dwFlags & DDPF_ALPHAPIXELS)
        value |= channel_to(argb >> 24, format.dwRGBAlphaBitMask);
    return value;
}

void d3d_write_pixel(const DDPIXELFORMAT& format, uint8_t* pixel, DWORD argb)
{
    store(pixel, bytes_of(format), d3d_pack_pixel(format, argb));
}

void d3d_pixel_layout_make(const DDPIXELFORMAT& format, d3d_pixel_layout* layout)
{
    d3d_pixel_layout& l = *layout;
    l.bytes = bytes_of(format);
    l.has_alpha = (format.dwFlags & DDPF_ALPHAPIXELS) != 0;
    const DWORD masks[4] = {l.has_alpha ? format.dwRGBAlphaBitMask : 0u, format.dwRBitMask,
                            format.dwGBitMask, format.dwBBitMask};
    for (int c = 0; c < 4; ++c) {
        DWORD mask = masks[c];
        l.masks[c] = mask;
        l.shifts[c] = mask ? __builtin_ctz(mask) : 0;
        l.widths[c] = __builtin_popcount(mask);
        if (!mask || l.widths[c] >= 8)
            continue;
        for (DWORD raw = 0; raw < (1u << l.widths[c]); ++raw)
            l.read[c][raw] = (uint8_t)channel_from(raw << l.shifts[c], mask);
        for (DWORD value = 0; value < 256; ++value)
            l.write[c][value] = (uint8_t)(channel_to(value, mask) >> l.shifts[c]);
    }
    bool rgb = masks[1] == 0xFF0000 && masks[2] == 0xFF00 && masks[3] == 0xFF;
    if (l.bytes == 4 && rgb && l.has_alpha && masks[0] == 0xFF000000u)
        l.kind = d3d_pixel_layout::ARGB32;
    else if (l.bytes == 4 && rgb && !l.has_alpha)
        l.kind = d3d_pixel_layout::XRGB32;
    else if (l.bytes == 3 && rgb && !l.has_alpha)
        l.kind = d3d_pixel_layout::RGB24;
    else if (l.bytes == 1 && !l.has_alpha && masks[1] == 0xFF && masks[2] == 0xFF &&
             masks[3] == 0xFF)
        l.kind = d3d_pixel_layout::GREY8;
    else
        l.kind = d3d_pixel_layout::GENERIC;
}

void d3d_pixels_to_argb(const d3d_pixel_layout& layout, const uint8_t* pixels, DWORD* argb,
                        DWORD count)
{
    switch (layout.kind) {
    case d3d_pixel_layout::ARGB32:
        memcpy(argb, pixels, (size_t)count * 4);
        return;
    case d3d_pixel_layout::XRGB32:
        for (DWORD i = 0; i < count; ++i, pixels += 4)
            argb[i] = load(pixels, 4) | 0xFF000000u;
        return;
    case d3d_pixel_layout::RGB24:
        for (DWORD i = 0; i < count; ++i, pixels += 3)
            argb[i] = 0xFF000000u | load(pixels, 3);
        return;
    case d3d_pixel_layout::GREY8:
        for (DWORD i = 0; i < count; ++i)
            argb[i] = 0xFF000000u | pixels[i] * 0x010101u;
        return;
    case d3d_pixel_layout::GENERIC:
        break;
    }
    for (DWORD i = 0; i < count; ++i, pixels += layout.bytes) {
        DWORD value = load(pixels, layout.bytes);
        DWORD alpha = layout.has_alpha ? read_channel(layout, 0, value) : 0xFFu;
        argb[i] = alpha << 24 | read_channel(layout, 1, value) << 16 |
                  read_channel(layout, 2, value) << 8 | read_channel(layout, 3, value);
    }
}

void d3d_pixels_from_argb(const d3d_pixel_layout& layout, const DWORD* argb, uint8_t* pixels,
                          DWORD count)
{
    switch (layout.kind) {
    case d3d_pixel_layout::ARGB32:
        if ((const void*)argb != (const void*)pixels)
            memcpy(pixels, argb, (size_t)count * 4);
        return;
    case d3d_pixel_layout::XRGB32:
        for (DWORD i = 0; i < count; ++i, pixels += 4)
            store(pixels, 4, argb[i] & 0x00FFFFFFu);
        return;
    case d3d_pixel_layout::RGB24:
        for (DWORD i = 0; i < count; ++i, pixels += 3)
            store(pixels, 3, argb[i]);
        return;
    case d3d_pixel_layout::GREY8:  // each channel goes into the one byte, as generic formats do
    case d3d_pixel_layout::GENERIC:
        break;
    }
    for (DWORD i = 0; i < count; ++i, pixels += layout.bytes) {
        DWORD value = write_channel(layout, 1, argb[i] >> 16 & 0xFF) |
                      write_channel(layout, 2, argb[i] >> 8 & 0xFF) |
                      write_channel(layout, 3, argb[i] & 0xFF);
        if (layout.has_alpha)
            value |= write_channel(layout, 0, argb[i] >> 24);
        store(pixels, layout.bytes, value);
    }
}

void d3d_convert_pixels(const DDPIXELFORMAT& from, const uint8_t* from_pixels, LONG from_pitch,
                        const DDPIXELFORMAT& to, uint8_t* to_pixels, LONG to_pitch, DWORD width,
                        DWORD height)
{
    if (d3d_same_format(from, to)) {
        for (DWORD y = 0; y < height; ++y)
            memcpy(to_pixels + (ptrdiff_t)y * to_pitch, from_pixels + (ptrdiff_t)y * from_pitch,
                   (size_t)width * bytes_of(from));
        return;
    }
    d3d_pixel_layout in, out;
    d3d_pixel_layout_make(from, &in);
    d3d_pixel_layout_make(to, &out);
    const DWORD chunk = 256;
    DWORD argb[chunk];
    for (DWORD y = 0; y < height; ++y) {
        const uint8_t* source = from_pixels + (ptrdiff_t)y * from_pitch;
        uint8_t* destination = to_pixels + (ptrdiff_t)y * to_pitch;
        for (DWORD x = 0; x < width; x += chunk) {
            DWORD count = width - x < chunk ? width - x : chunk;
            d3d_pixels_to_argb(in, source + (size_t)x * in.bytes, argb, count);
            d3d_pixels_from_argb(out, argb, destination + (size_t)x * out.bytes, count);
        }
    }
}
