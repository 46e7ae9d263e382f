#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "image_writers.h"
#include "platform/d3d.h"
#include "platform/d3d_internal.h"
#include "platform/d3d_record.h"
#include "platform/d3dx.h"
#include "platform/gdi.h"
#include "platform/win32.h"
#include "test_support.h"
#include "texture_support.h"

namespace {

class Textures : public TextureFrameTest {
protected:
    void TearDown() override
    {
        release(texture);
        TextureFrameTest::TearDown();
    }
    static void release(IDirectDrawSurface7*& surface)
    {
        if (surface)
            surface->Release();
        surface = nullptr;
    }

    // Loads `bytes` as a file through D3DXCreateTextureFromFile with the
    // default arguments (or the given flags); the values written back are
    // kept.
    HRESULT load(const std::string& name, const std::string& bytes, DWORD in_flags = 0)
    {
        release(texture);
        std::string path = dir.write(name, bytes);
        flags = in_flags;
        width = height = D3DX_DEFAULT;
        format = D3DX_SF_UNKNOWN;
        mipmaps = 0;
        return D3DXCreateTextureFromFile(device(), &flags, &width, &height, &format, nullptr,
                                         &texture, &mipmaps, path.c_str(), D3DX_FT_POINT);
    }
    IDirectDrawSurface7* texture = nullptr;
    DWORD flags = 0, width = 0, height = 0, mipmaps = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_UNKNOWN;
};

const Pixels six = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808040};

// The picture of the image files in tests/data/images (tests/data/README.md),
// or it upside down.
Pixels data_picture(bool upside_down = false)
{
    Pixels picture;
    for (int row = 0; row < 9; ++row)
        for (int x = 0; x < 21; ++x) {
            int y = upside_down ? 8 - row : row;
            int k = x < 15 ? (x / 3 + 2 * y) % 20 : (x + y) % 20;
            picture.push_back(0xFF000000u | (uint32_t)((k * 53 + 20) % 256) << 16 |
                              (uint32_t)((k * 97 + 40) % 256) << 8 |
                              (uint32_t)((k * 151 + 60) % 256));
        }
    return picture;
}

}  // namespace

TEST_F(Textures, TgaAndBmpFilesDecodeInEveryLayoutTheyCome)
{
    const Pixels grey = {0xFF101010, 0xFF101010, 0xFF101010, 0xFF202020, 0xFF303030, 0xFF404040};
    const Pixels alpha = {0x80FF0000, 0x00000000, 0xFF0000FF, 0x40404040, 0x40404040, 0x40404040};
    const Pixels bits16 = {0xFFFF0000, 0x0000FF00, 0xFF0000FF, 0x00FFFFFF, 0xFF000000, 0x00080808};
    struct Case {
        const char* what;
        std::string bytes;
        Pixels expected;
        D3DX_SURFACEFORMAT format;
    } cases[] = {
        {"tga 24 bits, bottom row first", tga_image(3, 2, 24, false, 0, six), six,
         D3DX_SF_X8R8G8B8},
        {"tga 24 bits, run-length", tga_image(3, 2, 24, true, 0x20, six), six, D3DX_SF_X8R8G8B8},
        {"tga 32 bits with alpha, run-length", tga_image(3, 2, 32, true, 0x28, alpha), alpha,
         D3DX_SF_A8R8G8B8},
        {"tga grey, run-length", tga_image(3, 2, 8, true, 0, grey), grey, D3DX_SF_X8R8G8B8},
        {"tga 16 bits with one alpha bit", tga_image(3, 2, 16, false, 0x21, bits16), bits16,
         D3DX_SF_A8R8G8B8},
        {"bmp 24 bits, padded rows", bmp_image(3, 2, six), six, D3DX_SF_X8R8G8B8},
        {"bmp 8 bits over a palette",
         bmp_image(3, 2, {2, 1, 0, 0, 1, 2}, {0xFF0000, 0x00FF00, 0x0000FF}),
         {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
         D3DX_SF_X8R8G8B8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(load("picture.img", c.bytes), S_OK);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(surface_pixels(texture), c.expected);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(width, 3u);
        EXPECT_EQ(height, 2u);
        EXPECT_EQ(mipmaps, 2u);  // 3 x 2 and 1 x 1
    }
}

TEST_F(Textures, TgaRunsGoOnIntoTheNextRowAndRowsRunEitherWay)
{
    // 3 x 2, top row first, right to left: a repeated run of four pixels
    // fills the first row and the first of the second, a raw run of two the
    // rest.
    const uint32_t a = 0xFF102030, b = 0xFF405060, c = 0xFF708090;
    auto bgr = [](uint32_t argb) {
        return bytes_of({(int)(argb & 0xFF), (int)(argb >> 8 & 0xFF), (int)(argb >> 16 & 0xFF)});
    };
    std::string file = ImageBytes()
                           .raw(bytes_of({0, 0, 10}))
                           .raw(std::string(5, '\0'))
                           .half(0)
                           .half(0)
                           .half(3)
                           .half(2)
                           .raw(bytes_of({24, 0x30}))
                           .bytes() +
                       bytes_of({0x83}) + bgr(a) + bytes_of({0x01}) + bgr(b) + bgr(c);
    ASSERT_EQ(load("runs.tga", file), S_OK);
    EXPECT_EQ(surface_pixels(texture), (Pixels{a, a, a, c, b, a}));
}

// Palette pictures as image programs write them by default: RLE8 BMP and
// colour-mapped TGA, plain and run-length encoded, bottom or top row first.
TEST_F(Textures, PalettePicturesOfImageProgramsDecodeToTheirPixels)
{
    // ImageMagick writes the TGA of a picture it read from a PPM file with
    // the top row first, yet says the bottom row comes first: read as the
    // header says (as ffmpeg reads it too), the picture is upside down.
    const struct {
        const char* name;
        bool upside_down;
    } files[] = {
        {"rle8_magick.bmp", false},
        {"palette_magick.tga", true},
        {"palette_rle_magick.tga", true},
        {"palette_ffmpeg.tga", false},
    };
    for (const auto& [name, upside_down] : files) {
        SCOPED_TRACE(name);
        std::string bytes = read_test_data(std::string("images/") + name);
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(load(name, bytes), S_OK);
        EXPECT_EQ(width, 21u);
        EXPECT_EQ(height, 9u);
        EXPECT_EQ(format, D3DX_SF_X8R8G8B8);
        EXPECT_EQ(surface_pixels(texture), data_picture(upside_down));
    }
}

TEST_F(Textures, RunLengthBmpTakesRunsStoredPixelsMovesAndEnds)
{
    const uint32_t p0 = 0x102030, p1 = 0xFF0000, p2 = 0x00FF00, p3 = 0x0000FF;
    auto opaque = [](Pixels colours) {
        for (uint32_t& colour : colours)
            colour |= 0xFF000000u;
        return colours;
    };
    struct Case {
        const char* what;
        std::string bytes;
        Pixels expected;  // top row first
    } cases[] = {
        // Bottom row: a run of 7 alternating values, 2 past the row's end;
        // middle: 5 stored values and a pad byte; top: a move 2 to the
        // right, a run of 2, the end (the rest keeps colour 0).
        {"RLE4, 5 x 3",
         bmp_rle_image(
             5, 3, 4, {p0, p1, p2, p3},
             bytes_of({7, 0x12, 0, 0, 0, 5, 0x32, 0x10, 0x20, 0, 0, 0, 0, 2, 2, 0, 2, 0x33, 0, 1})),
         opaque({p0, p0, p3, p3, p0, p3, p2, p1, p0, p2, p1, p2, p1, p2, p1})},
        // Bottom row: 3 stored values and a pad byte, the row ended early;
        // top: a move of 1, a run of 2, the end.
        {"RLE8, 4 x 2",
         bmp_rle_image(4, 2, 8, {p0, p1, p2},
                       bytes_of({0, 3, 1, 2, 1, 0, 0, 0, 0, 2, 1, 0, 2, 2, 0, 1})),
         opaque({p0, p2, p2, p0, p1, p2, p1, p0})},
        // The last row full: the end marks may be left out.
        {"RLE8 without its end mark", bmp_rle_image(2, 1, 8, {p0, p1}, bytes_of({2, 1})),
         opaque({p1, p1})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(load("runs.bmp", c.bytes), S_OK);
        EXPECT_EQ(surface_pixels(texture), c.expected);
    }
}

TEST_F(Textures, ColourMappedTgaTakesEveryEntrySize)
{
    // Two entries from pixel value 5 on; the pixels are 5, 6, 6, 5, top row
    // first.
    const std::string pixels = bytes_of({5, 6, 6, 5});
    struct Case {
        const char* what;
        int type, map_bits, descriptor;
        std::string map, pixels;
        Pixels colours;  // of values 5 and 6
        D3DX_SURFACEFORMAT format;
    } cases[] = {
        {"15-bit entries",
         1,
         15,
         0x20,
         ImageBytes().halves({0xFC00, 0x03E0}).bytes(),
         pixels,
         {0xFFFF0000, 0xFF00FF00},
         D3DX_SF_X8R8G8B8},
        {"16-bit entries with an alpha bit",
         1,
         16,
         0x21,
         ImageBytes().halves({0xFC00, 0x03E0}).bytes(),
         pixels,
         {0xFFFF0000, 0x0000FF00},
         D3DX_SF_A8R8G8B8},
        {"24-bit entries, run-length",
         9,
         24,
         0x20,
         bytes_of({0x30, 0x20, 0x10, 0x60, 0x50, 0x40}),
         bytes_of({0x00, 5, 0x81, 6, 0x00, 5}),
         {0xFF102030, 0xFF405060},
         D3DX_SF_X8R8G8B8},
        {"32-bit entries with alpha",
         1,
         32,
         0x28,
         bytes_of({0x30, 0x20, 0x10, 0x80, 0x60, 0x50, 0x40, 0xFF}),
         pixels,
         {0x80102030, 0xFF405060},
         D3DX_SF_A8R8G8B8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(load("mapped.tga", tga_mapped_image(c.type, 2, 2, 5, c.map_bits, c.map,
                                                      c.descriptor, c.pixels)),
                  S_OK);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(surface_pixels(texture),
                  (Pixels{c.colours[0], c.colours[1], c.colours[1], c.colours[0]}));
    }
}

TEST_F(Textures, DdsBlocksDecodeWithTheLevelsTheFileHolds)
{
    // DXT1, 4 x 4 with two smaller levels. The top block uses the four-colour
    // mode; the 2 x 2 level the three-colour mode with its transparent texel.
    std::string top = dxt_colour_block(0xF800, 0x001F,
                                       {0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1});
    std::string middle = dxt_colour_block(0x001F, 0xF800, {2, 3, 0, 0, 0, 1});
    std::string last = dxt_colour_block(0x07E0, 0x07E0, {0});
    ASSERT_EQ(load("blocks.dds", dds_header(4, 4, 3, "DXT1") + top + middle + last), S_OK);
    EXPECT_EQ(format, (D3DX_SURFACEFORMAT)D3DX_SF_DXT1);
    EXPECT_EQ(mipmaps, 3u);
    Pixels pixels = surface_pixels(texture);
    EXPECT_EQ((Pixels{pixels[0], pixels[1], pixels[2], pixels[3], pixels[12]}),
              (Pixels{0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA, 0xFF0000FF}));
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    texture->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.dwMipMapCount, 3u);
    d3d_surface* level = static_cast<d3d_surface*>(texture)->mip_next;
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(surface_pixels(level), (Pixels{0xFF7F007F, 0x00000000, 0xFF0000FF, 0xFFFF0000}));
    ASSERT_NE(level->mip_next, nullptr);
    EXPECT_EQ(surface_pixels(level->mip_next), Pixels{0xFF00FF00});

    // DXT3 and DXT5: the alpha half before the colour half.
    std::string red = dxt_colour_block(0xF800, 0xF800, {0});
    std::string dxt3_alpha =
        ImageBytes().half(0x08F0).half(0).word(0).bytes();  // texels 0..3: 0, F, 8, 0
    ASSERT_EQ(load("a3.dds", dds_header(4, 4, 1, "DXT3") + dxt3_alpha + red), S_OK);
    pixels = surface_pixels(texture);
    EXPECT_EQ((Pixels{pixels[0], pixels[1], pixels[2]}),
              (Pixels{0x00FF0000, 0xFFFF0000, 0x88FF0000}));
    EXPECT_EQ(mipmaps, 3u);  // a one-level file gets the full chain

    // Eight-alpha mode (255 > 0): indices 0, 1, 2, 7.
    uint64_t indices = 0 | 1 << 3 | 2 << 6 | 7 << 9;
    std::string dxt5_alpha = bytes_of({255, 0}) + std::string((const char*)&indices, 6);
    ASSERT_EQ(load("a5.dds", dds_header(4, 4, 1, "DXT5") + dxt5_alpha + red), S_OK);
    pixels = surface_pixels(texture);
    EXPECT_EQ((Pixels{pixels[0] >> 24, pixels[1] >> 24, pixels[2] >> 24, pixels[3] >> 24}),
              (Pixels{255, 0, 218, 36}));

    // Uncompressed 32 bits with an alpha mask.
    std::string argb = ImageBytes().word(0x80112233).word(0xFF445566).bytes();
    ASSERT_EQ(load("plain.dds", dds_header(2, 1, 1, nullptr) + argb), S_OK);
    EXPECT_EQ(format, (D3DX_SURFACEFORMAT)D3DX_SF_A8R8G8B8);
    EXPECT_EQ(surface_pixels(texture), (Pixels{0x80112233, 0xFF445566}));
}

TEST_F(Textures, AChainTheFileDoesNotHoldIsDescribedButNotMade)
{
    // No back-end samples below the top level: a one-level file reports the
    // full chain and holds its top level alone.
    ASSERT_EQ(load("a.tga", tga_image(4, 4, 24, false, 0, Pixels(16, 0xFF804020))), S_OK);
    EXPECT_EQ(mipmaps, 3u);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    ASSERT_EQ(texture->GetSurfaceDesc(&desc), S_OK);
    EXPECT_EQ(desc.dwMipMapCount, 3u);
    EXPECT_TRUE(desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP);
    EXPECT_EQ(static_cast<d3d_surface*>(texture)->mip_next, nullptr);

    // A texture without alpha keeps the fourth byte of its pixels clear.
    ASSERT_EQ(texture->Lock(nullptr, &desc, 0, nullptr), S_OK);
    const uint8_t* pixel = (const uint8_t*)desc.lpSurface;
    EXPECT_EQ(bytes_of({pixel[0], pixel[1], pixel[2], pixel[3]}), bytes_of({0x20, 0x40, 0x80, 0}));
    texture->Unlock(nullptr);
}

TEST_F(Textures, ChainsSizesAndFormatsFollowTheRequest)
{
    std::string file = tga_image(4, 4, 32, false, 0x28, Pixels(16, 0x80FF8040));
    ASSERT_EQ(load("a.tga", file, D3DX_TEXTURE_NOMIPMAP), S_OK);
    EXPECT_EQ(mipmaps, 1u);

    // A requested size scales; a requested format without alpha drops it.
    release(texture);
    std::string path = dir.file("a.tga");
    width = 8, height = 2, mipmaps = 2, flags = 0;
    format = D3DX_SF_R5G6B5;
    ASSERT_EQ(D3DXCreateTextureFromFile(device(), &flags, &width, &height, &format, nullptr,
                                        &texture, &mipmaps, path.c_str(), D3DX_FT_LINEAR),
              S_OK);
    EXPECT_EQ(format, (D3DX_SURFACEFORMAT)D3DX_SF_X8R8G8B8);
    EXPECT_EQ(mipmaps, 2u);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    texture->GetSurfaceDesc(&desc);
    EXPECT_EQ(desc.dwWidth, 8u);
    EXPECT_EQ(desc.dwHeight, 2u);
    EXPECT_EQ(surface_pixels(texture)[15], 0xFFFF8040);
}

// A file that is there but not taken is refused with one line that names it
// and says what of it was not taken.
TEST_F(Textures, BrokenFilesAreRefusedWithoutATextureAndALineThatSaysWhy)
{
    std::string dxt1 = dds_header(4, 4, 2, "DXT1") + dxt_colour_block(0, 0, {0});
    std::string cube = dds_header(4, 4, 1, "DXT1") + dxt_colour_block(0, 0, {0});
    cube[4 + 108] = 0x00;
    cube[4 + 109] = 0x02;  // caps2: a cube map
    std::string rle_bmp24 = bmp_image(2, 2, Pixels(4, 0));
    rle_bmp24[30] = 1;  // run-length compression
    std::string short_run = tga_image(3, 2, 24, true, 0, six);
    ImageBytes gapped;  // 2 x 1, 16 bits, bit fields: red 0x0101
    gapped.raw("BM").words({66 + 4, 0, 66, 40, 2, 1}).halves({1, 16});
    gapped.words({3, 4, 0, 0, 0, 0, 0x0101, 0x03E0, 0x001F}).raw(std::string(4, '\xFF'));
    std::string gapped_bmp = gapped.bytes();
    std::string gapped_dds = dds_header(2, 1, 1, nullptr) + std::string(8, '\x7F');
    for (int i = 0; i < 4; ++i)
        gapped_dds[92 + i] = (char)(0x00FF0F00u >> (8 * i));
    PngLayout png;
    png.rows = {bytes_of({1, 2, 3})};
    std::string top_down_rle = bmp_rle_image(2, 2, 8, {0, 0xFF}, bytes_of({2, 1, 0, 1}));
    top_down_rle[22] = (char)0xFE, top_down_rle[23] = top_down_rle[24] = top_down_rle[25] = '\xFF';
    struct Case {
        const char* what;
        std::string bytes;
        const char* why;
    } cases[] = {
        {"empty", "", "the TGA header is cut short (0 bytes)"},
        {"tga of an unknown type", bytes_of({0, 0, 4}) + std::string(40, '\0'),
         "TGA image type 4 is not taken"},
        {"tga of 12 bits", tga_image(3, 2, 24, false, 0, six).replace(16, 1, 1, '\x0C'),
         "a TGA of image type 2 with 12 bits per pixel is not taken"},
        {"tga pixels cut short", tga_image(3, 2, 24, false, 0, six).substr(0, 30),
         "the TGA's pixels are cut short"},
        {"tga run past the image", short_run.substr(0, 18) + bytes_of({0xFF, 1, 2, 3}),
         "a TGA run of 128 pixels goes past the last pixel"},
        {"tga colour map of 8-bit entries",
         tga_mapped_image(1, 1, 1, 0, 8, bytes_of({1, 2}), 0, bytes_of({0})),
         "a TGA colour map of 8-bit entries is not taken"},
        {"tga pixel before the colour map",
         tga_mapped_image(1, 1, 1, 5, 24, bytes_of({1, 2, 3}), 0, bytes_of({4})),
         "a TGA pixel value lies outside the colour map"},
        {"tga colour map cut short",
         tga_mapped_image(1, 1, 1, 0, 24, bytes_of({1, 2, 3}), 0, "").substr(0, 20),
         "the TGA colour map is cut short"},
        {"bmp info header cut short", bmp_image(3, 2, six).substr(0, 40),
         "the BMP header of 40 bytes is cut short"},
        {"bmp rows cut short", bmp_image(3, 2, six).substr(0, 60),
         "the BMP's pixels are cut short"},
        {"bmp 24 bits run-length compressed", rle_bmp24,
         "a BMP of 24 bits per pixel with compression 1 (RLE8) is not taken"},
        {"bmp RLE8 ending in a row", bmp_rle_image(2, 2, 8, {0, 0xFF}, bytes_of({2, 1, 0, 0})),
         "the BMP's RLE8 data ends in row 1 of 2"},
        {"bmp RLE4 run outside the palette", bmp_rle_image(2, 1, 4, {0, 0xFF}, bytes_of({2, 0x12})),
         "a BMP pixel value 2 lies outside its 2 colours"},
        {"bmp RLE4 stored pixels cut short",
         bmp_rle_image(4, 1, 4, {0, 0xFF}, bytes_of({0, 4, 0x11})),
         "the BMP's RLE4 data ends in a run of 4 pixels"},
        {"bmp run-length top down", top_down_rle, "a top-down BMP cannot be run-length encoded"},
        {"dds second level missing", dxt1, "the DDS level 2 of 2 is cut short"},
        {"dds cube map", cube, "a DDS cube map is not taken"},
        {"dds unknown block format", dds_header(4, 4, 1, "ATI2") + std::string(16, '\0'),
         "the DDS block format 'ATI2' is not taken"},
        {"dds zero width", dds_header(0, 4, 1, "DXT1") + std::string(16, '\0'),
         "a DDS of 0 x 4 pixels is not taken"},
        // Masks with gaps used to read past the conversion tables.
        {"bmp mask with a gap", gapped_bmp,
         "BMP bit-field masks 00000101 000003E0 0000001F 00000000 over 16 bits are not taken"},
        {"dds mask with a gap", gapped_dds, "DDS pixels of 32 bits with masks 00FF0F00"},
        {"png", png_file(png), "it is a PNG file, which the texture cache reads itself"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log->clear();
        EXPECT_EQ(load("broken", c.bytes), D3DXERR_INVALIDFILEFORMAT);
        EXPECT_EQ(texture, nullptr);
        ASSERT_EQ(log->errors().size(), 1u);
        EXPECT_NE(
            log->errors()[0].find("The image '" + dir.file("broken") + "' is refused: " + c.why),
            std::string::npos)
            << log->errors()[0];
    }
    // A file that is not there is the texture cache's to report: it looks
    // for several names in turn.
    log->clear();
    std::string missing = dir.file("missing.tga");
    EXPECT_TRUE(
        FAILED(D3DXCreateTextureFromFile(device(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                         &texture, nullptr, missing.c_str(), D3DX_FT_POINT)));
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(log->errors().size(), 0u);
}

// A directory, or a file larger than any image is read whole, in place of an
// image: refused with a line that says why, before anything is allocated.
TEST_F(Textures, DirectoriesAndHugeFilesAreRefusedBeforeTheyAreRead)
{
    dir.write("folder.tga/.keep", "");
    std::string huge = dir.write("huge.tga", tga_image(3, 2, 24, false, 0, six));
    ASSERT_EQ(truncate(huge.c_str(), (off_t)(1LL << 32) + 50), 0);
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {dir.file("folder.tga"), "is not a file: it is a directory"},
        {huge, "has 4294967346 bytes, more than the 268435456 read whole"},
    };
    for (const auto& c : cases) {
        log->clear();
        EXPECT_EQ(D3DXCreateTextureFromFile(device(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                            &texture, nullptr, c.path.c_str(), D3DX_FT_POINT),
                  DDERR_NOTFOUND);
        EXPECT_EQ(texture, nullptr);
        ASSERT_EQ(log->errors().size(), 1u);
        EXPECT_NE(log->errors()[0].find("'" + c.path + "' " + c.why), std::string::npos)
            << log->errors()[0];
    }
}

TEST_F(Textures, ADdsMipmapCountBeyondTheChainIsBoundedByIt)
{
    // A count of 2^31 or more used to become a negative level count: the file
    // "decoded" with no levels and the texture was made from level -1.
    std::string block = dxt_colour_block(0xF800, 0xF800, {0});
    for (uint32_t count : {0x80000000u, 0xFFFFFFFFu, 4u}) {
        SCOPED_TRACE(count);
        std::string header = dds_header(4, 4, 2, "DXT1");
        for (int i = 0; i < 4; ++i)
            header[28 + i] = (char)(count >> (8 * i));
        EXPECT_EQ(load("many.dds", header + block + block + block), S_OK);
        EXPECT_EQ(mipmaps, 3u);
        EXPECT_EQ(load("many.dds", header + block), D3DXERR_INVALIDFILEFORMAT);
        EXPECT_EQ(texture, nullptr);
    }
}

TEST_F(Textures, BitmapsAreMadeLoadedAndDescribed)
{
    BITMAPINFO info = {};
    info.bmiHeader = {40, 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP made = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(made, nullptr);
    BITMAP description = {};
    EXPECT_EQ(GetObject(made, sizeof description, &description), (int)sizeof description);
    EXPECT_EQ(description.bmWidthBytes, 12);  // 9 bytes padded to 12
    EXPECT_EQ(description.bmBits, bits);
    EXPECT_EQ(SetPixel(dc, 0, 0, 0), CLR_INVALID);  // a memory context has no surface
    EXPECT_TRUE(DeleteObject(made));
    EXPECT_FALSE(DeleteObject(made)) << "deleted already";
    EXPECT_TRUE(DeleteDC(dc));
    info.bmiHeader.biBitCount = 8;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);

    // A BMP file becomes a 32-bit bottom-up bitmap.
    std::string path = dir.write("pic.bmp", bmp_image(3, 2, six));
    HBITMAP loaded = (HBITMAP)LoadImage(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                        LR_CREATEDIBSECTION | LR_LOADFROMFILE);
    ASSERT_NE(loaded, nullptr);
    GetObject(loaded, sizeof description, &description);
    EXPECT_EQ(description.bmBitsPixel, 32);
    const uint8_t* bottom_left = (const uint8_t*)description.bmBits;
    EXPECT_EQ(bytes_of({bottom_left[0], bottom_left[1], bottom_left[2], bottom_left[3]}),
              bytes_of({0xFF, 0xFF, 0xFF, 0}));
    EXPECT_EQ(LoadImage(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
    EXPECT_TRUE(DeleteObject(loaded));
}
