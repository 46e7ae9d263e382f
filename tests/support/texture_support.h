// What the texture tests share: small writers of the image files they load
// (TGA, BMP, DDS headers and DXT colour blocks, PNG through libpng), a reader
// of surface pixels, and a fixture with the render frame up.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/d3d.h"
#include "platform/win32.h"
#include "test_support.h"

typedef std::vector<uint32_t> Pixels;  // 0xAARRGGBB, top row first

std::string bytes_of(std::initializer_list<int> values);

// TGA of 8 (grey: the blue byte), 16, 24 or 32 bits; `descriptor` 0x20
// stores the top row first, its low bits are the alpha bits. The run-length
// form packs a row as one run when all its pixels are equal, else as one raw
// packet.
std::string tga_image(int width, int height, int bits, bool rle, int descriptor,
                      const Pixels& pixels);

// A 24-bit bottom-up BMP (rows padded to 4 bytes), or, with a palette, an
// 8-bit top-down one whose pixels are palette indices.
std::string bmp_image(int width, int height, const Pixels& pixels, const Pixels& palette = {});

// A DDS header for a block format `code` ("DXT1" ...) or, with NULL, for
// 32-bit ARGB; `levels` above 1 announces mipmap levels.
std::string dds_header(int width, int height, int levels, const char* code);
// A DXT colour block: two 5:6:5 colours and the 2-bit index of texels 0, 1, ...
std::string dxt_colour_block(int c0, int c1, std::initializer_list<int> indices);

// A PNG written by libpng. `rows` are the stored rows (16-bit samples big-
// endian); palette entries are 0xRRGGBB.
struct PngLayout {
    int width = 1, height = 1;
    int color_type = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bit_depth = 8;
    std::vector<std::string> rows;
    Pixels palette;
    std::string palette_alpha;  // tRNS of a palette image
    // tRNS of an RGB image (of a grey one: trans_red is the grey level)
    int trans_red = -1, trans_green = -1, trans_blue = -1;
    double gamma = 0.0;  // gAMA when above 0
    bool srgb = false;
    bool interlaced = false;
};
std::string png_file(const PngLayout& layout);

// The pixels of a 32-bit surface as 0xAARRGGBB, alpha 0xFF where the format
// has none.
Pixels surface_pixels(IDirectDrawSurface7* surface);

// A window with the render frame initialised (d3dx_globals) on the recording
// back-end, or on the GL one (test_use_gl_backend) for a fixture made with
// `on_gl`, a log capture and a temporary directory. Where no GL context can
// be made the test is skipped, except under CI, where that is a failure. At
// the end the frame is released and no device object may be left.
class TextureFrameTest : public ::testing::Test {
protected:
    explicit TextureFrameTest(bool on_gl = false) : on_gl_(on_gl) {}
    void SetUp() override;
    void TearDown() override;
    IDirect3DDevice7* device() const;

    TempDir dir;
    std::unique_ptr<LogCapture> log;
    HWND window = nullptr;

private:
    bool on_gl_;
};
