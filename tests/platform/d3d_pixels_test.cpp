#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d_pixels.h"

namespace {

struct named_format {
    const char* name;
    DDPIXELFORMAT format;
};

// Every layout kind, narrow and wide channels, and masks out of the usual
// order, as bit-field bitmaps and DDS files bring them.
std::vector<named_format> formats()
{
    return {
        {"A8R8G8B8", d3d_pixel_format(D3DX_SF_A8R8G8B8)},
        {"X8R8G8B8", d3d_pixel_format(D3DX_SF_X8R8G8B8)},
        {"R8G8B8", d3d_pixel_format(D3DX_SF_R8G8B8)},
        {"R5G6B5", d3d_pixel_format(D3DX_SF_R5G6B5)},
        {"A1R5G5B5", d3d_pixel_format(D3DX_SF_A1R5G5B5)},
        {"A4R4G4B4", d3d_pixel_format(D3DX_SF_A4R4G4B4)},
        {"grey", d3d_masks_format(8, 0xFF, 0xFF, 0xFF, 0)},
        {"A2B10G10R10", d3d_masks_format(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000)},
        {"A8B8G8R8", d3d_masks_format(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000)},
        {"X4R4G4B4", d3d_masks_format(16, 0x0F00, 0x00F0, 0x000F, 0)},
    };
}

// Bytes that reach every value of every channel somewhere.
std::vector<uint8_t> varied_bytes(size_t count)
{
    std::vector<uint8_t> bytes(count);
    uint32_t state = 12345;
    for (size_t i = 0; i < count; ++i) {
        state = state * 214013 + 2531011;
        bytes[i] = i < 256 ? (uint8_t)i : (uint8_t)(state >> 16);
    }
    return bytes;
}

}  // namespace

TEST(PixelRows, ConvertAsSinglePixelsDo)
{
    const DWORD count = 700;  // more than one chunk of a conversion
    std::vector<uint8_t> bytes = varied_bytes(count * 4);
    std::vector<DWORD> colours(count);
    memcpy(colours.data(), bytes.data(), bytes.size());
    for (const named_format& f : formats()) {
        SCOPED_TRACE(f.name);
        DWORD size = f.format.dwRGBBitCount / 8;
        d3d_pixel_layout layout;
        d3d_pixel_layout_make(f.format, &layout);

        std::vector<DWORD> read(count);
        d3d_pixels_to_argb(layout, bytes.data(), read.data(), count);
        std::vector<uint8_t> written(count * size);
        d3d_pixels_from_argb(layout, colours.data(), written.data(), count);
        for (DWORD i = 0; i < count; ++i) {
            ASSERT_EQ(read[i], d3d_read_pixel(f.format, &bytes[i * size])) << "pixel " << i;
            uint8_t one[4] = {};
            d3d_write_pixel(f.format, one, colours[i]);
            ASSERT_EQ(memcmp(one, &written[i * size], size), 0) << "pixel " << i;
        }
    }
}

TEST(PixelRows, BlocksConvertBetweenEveryPairOfFormats)
{
    // 3 x 2 pixels, rows padded on both sides.
    const DWORD width = 3, height = 2;
    const LONG from_pitch = 16, to_pitch = 20;
    std::vector<uint8_t> source = varied_bytes((size_t)from_pitch * height);
    for (const named_format& from : formats())
        for (const named_format& to : formats()) {
            SCOPED_TRACE(std::string(from.name) + " to " + to.name);
            std::vector<uint8_t> converted((size_t)to_pitch * height, 0xEE);
            d3d_convert_pixels(from.format, source.data(), from_pitch, to.format, converted.data(),
                               to_pitch, width, height);
            DWORD from_size = from.format.dwRGBBitCount / 8, to_size = to.format.dwRGBBitCount / 8;
            for (DWORD y = 0; y < height; ++y)
                for (DWORD x = 0; x < width; ++x) {
                    const uint8_t* in = &source[y * from_pitch + x * from_size];
                    const uint8_t* out = &converted[y * to_pitch + x * to_size];
                    uint8_t expected[4] = {};
                    if (d3d_same_format(from.format, to.format))
                        memcpy(expected, in, from_size);  // copied as they are
                    else
                        d3d_write_pixel(to.format, expected, d3d_read_pixel(from.format, in));
                    ASSERT_EQ(memcmp(out, expected, to_size), 0) << x << ", " << y;
                }
            // The padding is left alone.
            EXPECT_EQ(converted[width * to_size], 0xEE);
            EXPECT_EQ(converted.back(), 0xEE);
        }
}

TEST(PixelRows, FormatsMatchByTheirBytes)
{
    DDPIXELFORMAT argb = d3d_pixel_format(D3DX_SF_A8R8G8B8);
    DDPIXELFORMAT xrgb = d3d_pixel_format(D3DX_SF_X8R8G8B8);
    EXPECT_TRUE(d3d_same_format(argb, d3d_masks_format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)));
    EXPECT_FALSE(d3d_same_format(argb, xrgb));
    DDPIXELFORMAT stray_alpha = xrgb;
    stray_alpha.dwRGBAlphaBitMask = 0xFF000000;  // a mask without the flag counts for nothing
    EXPECT_TRUE(d3d_same_format(xrgb, stray_alpha));
    EXPECT_FALSE(
        d3d_same_format(d3d_pixel_format(D3DX_SF_R5G6B5), d3d_pixel_format(D3DX_SF_R5G5B5)));
}
