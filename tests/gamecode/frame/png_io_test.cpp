#include <gtest/gtest.h>

#include <string>

#include <zlib.h>

#include "d3dtextr_dx7.h"
#include "png_io.h"
#include "test_support.h"
#include "texture_support.h"

namespace {

// Rows of 8-bit samples from pixels: RGB or RGBA, as stored in the file.
std::vector<std::string> rgb_rows(int width, const Pixels& pixels, bool alpha)
{
    std::vector<std::string> rows;
    for (size_t i = 0; i < pixels.size(); i += (size_t)width) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            uint32_t p = pixels[i + (size_t)x];
            row += bytes_of({(int)(p >> 16 & 0xFF), (int)(p >> 8 & 0xFF), (int)(p & 0xFF)});
            if (alpha)
                row += bytes_of({(int)(p >> 24)});
        }
        rows.push_back(row);
    }
    return rows;
}

PngLayout rgb_png(int width, int height, const Pixels& pixels, bool alpha)
{
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.color_type = alpha ? 6 : 2;
    layout.rows = rgb_rows(width, pixels, alpha);
    return layout;
}

class PngReader : public TextureFrameTest {
protected:
    void TearDown() override
    {
        if (texture)
            texture->Release();
        EXPECT_EQ(png_io_row_pointers, nullptr);
        TextureFrameTest::TearDown();
    }

    // Writes the file and loads it as the texture cache does.
    HRESULT load(const std::string& bytes, float gamma = 2.2f)
    {
        if (texture)
            texture->Release();
        texture = nullptr;
        std::string path = dir.write("image.png", bytes);
        flags = 0;
        width = height = D3DX_DEFAULT;
        format = D3DX_SF_UNKNOWN;
        mipmaps = 0;
        return png_io_load_texture(device(), &flags, &width, &height, &format, nullptr, &texture,
                                   &mipmaps, path.c_str(), D3DX_FT_POINT, gamma);
    }

    IDirectDrawSurface7* texture = nullptr;
    DWORD flags = 0, width = 0, height = 0, mipmaps = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_UNKNOWN;
};

const Pixels four = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF102030};

}  // namespace

TEST_F(PngReader, ColourImagesLoadInTheMatchingLayout)
{
    const Pixels alpha = {0x80FF0000, 0x00000000, 0xFF0000FF, 0x40102030};
    PngLayout wide = rgb_png(2, 2, alpha, true);
    wide.bit_depth = 16;
    for (std::string& row : wide.rows) {  // each sample twice: 0xAB becomes 0xABAB
        std::string doubled;
        for (char sample : row)
            doubled += std::string(2, sample);
        row = doubled;
    }
    PngLayout interlaced = rgb_png(2, 2, four, false);
    interlaced.interlaced = true;
    struct Case {
        const char* what;
        PngLayout layout;
        Pixels expected;
        D3DX_SURFACEFORMAT format;
    } cases[] = {
        {"RGB", rgb_png(2, 2, four, false), four, D3DX_SF_X8R8G8B8},
        {"RGBA", rgb_png(2, 2, alpha, true), alpha, D3DX_SF_A8R8G8B8},
        {"RGBA, 16 bits a sample", wide, alpha, D3DX_SF_A8R8G8B8},
        {"RGB, interlaced", interlaced, four, D3DX_SF_X8R8G8B8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log->clear();
        ASSERT_EQ(load(png_file(c.layout)), S_OK);
        EXPECT_EQ(surface_pixels(texture), c.expected);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(width, 2u);
        EXPECT_EQ(height, 2u);
        EXPECT_EQ(log->notices(),
                  std::vector<std::string>{"opened " + dir.file("image.png") + " as PNG file."});
        EXPECT_TRUE(log->warnings().empty()) << "libpng was set up for what it reads";
    }
    EXPECT_EQ(png_io_bit_depth, 8);
}

TEST_F(PngReader, AnRgbImageWithATransparentColourGainsAlpha)
{
    PngLayout layout = rgb_png(2, 2, four, false);
    layout.trans_red = 0x00, layout.trans_green = 0xFF, layout.trans_blue = 0x00;
    ASSERT_EQ(load(png_file(layout)), S_OK);
    EXPECT_EQ(format, (D3DX_SURFACEFORMAT)D3DX_SF_A8R8G8B8);
    EXPECT_EQ(surface_pixels(texture), (Pixels{0xFFFF0000, 0x0000FF00, 0xFF0000FF, 0xFF102030}));
}

TEST_F(PngReader, GreyAndPaletteImagesAreRefused)
{
    PngLayout grey;
    grey.color_type = 0;
    grey.rows = {bytes_of({0x80})};
    PngLayout grey_key = grey;
    grey_key.trans_red = 0x80;
    PngLayout grey_alpha;
    grey_alpha.color_type = 4;
    grey_alpha.rows = {bytes_of({0x80, 0xFF})};
    PngLayout palette;
    palette.color_type = 3;
    palette.palette = {0xFF0000, 0x00FF00};
    palette.rows = {bytes_of({1})};
    PngLayout palette_alpha = palette;
    palette_alpha.palette_alpha = bytes_of({0, 255});
    PngLayout grey_4_bits = grey;
    grey_4_bits.bit_depth = 4;
    grey_4_bits.rows = {bytes_of({0x80})};
    struct Case {
        const char* what;
        PngLayout layout;
        int color_type;
    } cases[] = {
        {"grey", grey, 0},
        {"grey with a transparent level", grey_key, 0},
        {"grey, 4 bits", grey_4_bits, 0},
        {"grey with alpha", grey_alpha, 4},
        {"palette", palette, 3},
        {"palette with transparency", palette_alpha, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log->clear();
        EXPECT_EQ(load(png_file(c.layout)), E_FAIL);
        EXPECT_EQ(texture, nullptr);
        EXPECT_EQ(log->errors(), std::vector<std::string>{"Unsupported color_type " +
                                                          std::to_string(c.color_type) + "."});
    }
}

TEST_F(PngReader, GammaFollowsTheFileAndTheScreen)
{
    PngLayout layout = rgb_png(1, 1, {0xFF808080}, false);
    ASSERT_EQ(load(png_file(layout), 0.0f), S_OK);
    EXPECT_EQ(png_io_screen_gamma, 2.2);
    EXPECT_EQ(png_io_file_gamma, 0.45455);
    EXPECT_EQ(surface_pixels(texture), Pixels{0xFF808080});  // 2.2 x 0.45455 is about 1

    // A screen gamma of 1 darkens an untagged image; an sRGB one stays.
    ASSERT_EQ(load(png_file(layout), 1.0f), S_OK);
    EXPECT_LT(surface_pixels(texture)[0] & 0xFF, 0x50u);
    layout.srgb = true;
    ASSERT_EQ(load(png_file(layout), 1.0f), S_OK);
    EXPECT_EQ(png_io_file_gamma, 0.0);
    EXPECT_EQ(surface_pixels(texture), Pixels{0xFF808080});
    layout.srgb = false;
    layout.gamma = 1.0;
    ASSERT_EQ(load(png_file(layout), 1.0f), S_OK);
    EXPECT_EQ(png_io_file_gamma, 1.0);
    EXPECT_EQ(surface_pixels(texture), Pixels{0xFF808080});
}

TEST_F(PngReader, CorruptAndMissingFilesFailCleanly)
{
    std::string good = png_file(rgb_png(2, 2, four, false));
    std::string flipped = good;
    flipped[flipped.size() - 20] ^= 0x55;  // inside the image data: its check fails
    PngLayout huge = rgb_png(1, 1, {0}, false);
    std::string too_large = png_file(huge);
    too_large[16] = 0x00, too_large[17] = 0x00, too_large[18] = 0x4E,
    too_large[19] = 0x20;                                           // 20000 wide
    uLong crc = crc32(0, (const Bytef*)too_large.data() + 12, 17);  // "IHDR" and its 13 bytes
    for (int i = 0; i < 4; ++i)
        too_large[29 + i] = (char)(crc >> (24 - 8 * i));
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"not a PNG", "GIF89a this is something else entirely"},
        {"cut inside the image data", good.substr(0, good.size() - 30)},
        {"damaged image data", flipped},
        {"wider than any texture", too_large},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(load(c.bytes), E_FAIL);
        EXPECT_EQ(texture, nullptr);
        EXPECT_EQ(png_io_row_pointers, nullptr);
    }
    log->clear();
    std::string missing = dir.file("missing.png");
    EXPECT_EQ(png_io_load_texture(device(), &flags, &width, &height, &format, nullptr, &texture,
                                  &mipmaps, missing.c_str(), D3DX_FT_POINT, 2.2f),
              E_FAIL);
    EXPECT_TRUE(log->lines().empty());
}

TEST_F(PngReader, EachFailingAllocationOfTheRowsIsRefusedWithoutALeak)
{
    Pixels pixels(16 * 16, 0xFF204060);
    std::string path = dir.write("rows.png", png_file(rgb_png(16, 16, pixels, true)));
    int swept = heap_failure_sweep([&] {
        FILE* file = fopen(path.c_str(), "rb");
        int read = png_io_read_png(file, 0, 2.2f);  // closes the file when it fails
        if (read)
            fclose(file);
        bool whole = read && png_io_row_pointers && png_io_height == 16;
        png_io_free_rows();
        return whole;
    });
    EXPECT_EQ(swept, 17) << "the row table and its sixteen rows";
}

TEST_F(PngReader, TheCacheTriesTheNextExtensionAfterARefusedPng)
{
    PngLayout grey;
    grey.color_type = 0;
    grey.rows = {bytes_of({0x80})};
    dir.write("grey.png", png_file(grey));
    dir.write("grey.tga", tga_image(1, 1, 24, false, 0, {0xFF405060}));
    dir.write("colour.png",
              png_file(rgb_png(2, 2, {0x80FF0000, 0xFF000000, 0xFF000000, 0xFF000000}, true)));
    char grey_name[] = "Grey";
    texture_container* container = d3dtextr_load_texture(grey_name, dir.path().c_str(), nullptr);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(surface_pixels(container->texture_container_surface), Pixels{0xFF405060});
    EXPECT_TRUE(log->contains("Loaded Texture " + dir.path() + "\\grey.tga."));

    char colour_name[] = "colour";
    container = d3dtextr_load_texture(colour_name, dir.path().c_str(), nullptr);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->texture_container_has_alpha, 1);
    d3dtextr_cleanup();
}
