#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "heap.h"
#include "platform/d3d_record.h"
#include "platform/gdi.h"
#include "test_support.h"
#include "texture_support.h"
#include "txtrload.h"

namespace {

// The memory rows of a bitmap: width x height pixels of `bytes` bytes.
std::string bitmap_bytes(HBITMAP bitmap)
{
    BITMAP description = {};
    GetObject(bitmap, sizeof description, &description);
    std::string bytes;
    for (LONG row = 0; row < description.bmHeight; ++row)
        bytes.append((const char*)description.bmBits + row * description.bmWidthBytes,
                     (size_t)description.bmWidth * description.bmBitsPixel / 8);
    return bytes;
}

// A zeroed DIB of 24 or 32 bits whose pixel bytes are 1, 2, 3, ... row by row.
HBITMAP numbered_bitmap(LONG width, LONG height, WORD bits)
{
    BITMAPINFO info = {};
    info.bmiHeader = {40, width, height, 1, bits, BI_RGB, 0, 0, 0, 0, 0};
    void* memory = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    BITMAP description = {};
    GetObject(bitmap, sizeof description, &description);
    int value = 1;
    for (LONG row = 0; row < height; ++row)
        for (LONG i = 0; i < width * bits / 8; ++i)
            ((uint8_t*)memory)[row * description.bmWidthBytes + i] = (uint8_t)value++;
    return bitmap;
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { EXPECT_EQ(d3d_live_objects(), 0); }

    TempDir dir;
    LogCapture log;
};

}  // namespace

TEST_F(ImageFiles, PpmImagesReadTheSameFromFilesAndMemory)
{
    const std::string pixels = bytes_of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    const std::string expected = bytes_of({3, 2, 1, 0, 6, 5, 4, 0, 9, 8, 7, 0, 12, 11, 10, 0});
    for (const std::string& header :
         {std::string("P6\n2 2\n255\n"), std::string("P6\n# made by hand\n2 # two\n2\r\n255\r\n"),
          std::string("P6 65538 2 255 ")}) {  // 65538 is 2 modulo 65536
        SCOPED_TRACE(header);
        std::string path = dir.write("image.ppm", header + pixels);
        HBITMAP from_file = nullptr, from_memory = nullptr;
        ASSERT_EQ(txtrload_load_ppm_file(path.c_str(), &from_file), 0);
        std::string image = header + pixels;
        ASSERT_EQ(
            txtrload_load_ppm_from_memory((const uint8_t*)image.data(), image.size(), &from_memory),
            0);
        EXPECT_EQ(bitmap_bytes(from_file), expected);  // the first row at the start of memory
        EXPECT_EQ(bitmap_bytes(from_memory), expected);
        DeleteObject(from_file);
        DeleteObject(from_memory);
    }
    EXPECT_EQ(log.notices().back(), "Reading PPM '" + dir.file("image.ppm") + "'");
}

TEST_F(ImageFiles, BrokenPpmImagesAreRefused)
{
    HBITMAP bitmap = nullptr;
    for (const std::string& image :
         {std::string("P3\n2 2\n255\n"), std::string("P6\n2 # no height"),
          std::string("P6\n2 2\n255\n\x01\x02\x03"), std::string("P6 0 1 255 ")}) {
        SCOPED_TRACE(image);
        EXPECT_EQ(
            txtrload_load_ppm_from_memory((const uint8_t*)image.data(), image.size(), &bitmap),
            E_FAIL);
        std::string path = dir.write("broken.ppm", image);
        EXPECT_EQ(txtrload_load_ppm_file(path.c_str(), &bitmap), E_FAIL);
    }
    std::string good = "P6 1 1 255 abc";
    d3d_inject("GDI.CreateDIBSection", E_FAIL, 0, 1);
    EXPECT_EQ(txtrload_load_ppm_from_memory((const uint8_t*)good.data(), good.size(), &bitmap),
              E_FAIL);
    EXPECT_EQ(txtrload_load_ppm_file(dir.file("missing.ppm").c_str(), &bitmap), DDERR_NOTFOUND);
    EXPECT_EQ(txtrload_load_ppm_file(nullptr, &bitmap), E_INVALIDARG);
    EXPECT_EQ(txtrload_load_ppm_from_memory(nullptr, 0, &bitmap), E_INVALIDARG);
}

TEST_F(ImageFiles, BmpFilesBecomeBitmaps)
{
    std::string path = dir.write("pic.bmp", bmp_image(2, 1, {0xFF010203, 0xFF040506}));
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(txtrload_load_bmp_file(path.c_str(), &bitmap), 0);
    EXPECT_EQ(bitmap_bytes(bitmap), bytes_of({3, 2, 1, 0, 6, 5, 4, 0}));
    DeleteObject(bitmap);
    EXPECT_EQ(txtrload_load_bmp_file(dir.file("none.bmp").c_str(), &bitmap), DDERR_NOTFOUND);
    EXPECT_EQ(txtrload_load_bmp_file(nullptr, &bitmap), E_INVALIDARG);
}

TEST_F(ImageFiles, VkbFilesAreWrittenAndReadBack)
{
    // 24 bits, 2 wide: rows of 6 bytes padded to 8 in the bitmap.
    HBITMAP colour = numbered_bitmap(2, 2, 24);
    HBITMAP alpha = numbered_bitmap(2, 2, 32);
    ASSERT_EQ(SaveVKBFile("c:\\art\\Rock.ppm", &colour, &alpha, dir.path().c_str()), 1);
    std::string bytes = dir.read("Rock.vkb");
    std::string name = std::string("Rock") + std::string(252, '\0');
    std::string rows = bytes_of({1, 2, 3, 1, 4, 5, 6, 5, 7, 8, 9, 9, 10, 11, 12, 13});
    EXPECT_EQ(bytes, name + ImageBytes().word(2).word(2).word(8).word(1).bytes() + rows);

    vk_bitmap* read = LoadVKBFile(dir.file("Rock.vkb").c_str());
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read->vk_bitmap_name, "Rock");
    EXPECT_EQ(read->vk_bitmap_pitch, 8);
    EXPECT_EQ(read->vk_bitmap_has_alpha, 1);
    EXPECT_EQ(std::string((const char*)read->vk_bitmap_pixels, 16), rows);
    EXPECT_EQ(log.notices().back(), "Succeeded.");
    free_vk_bitmap(read);

    ASSERT_EQ(SaveVKBFile("plain", &colour, nullptr, dir.path().c_str()), 1);
    EXPECT_EQ(dir.read("plain.vkb").size(), 272u + 2 * 6);
    DeleteObject(colour);
    DeleteObject(alpha);
}

// The bytes fit the stream's buffer, so only the close finds the disk full.
TEST_F(ImageFiles, AVkbFileTheDiskCannotTakeIsNotSaved)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    std::filesystem::create_symlink("/dev/full", dir.file("full.vkb"));
    HBITMAP colour = numbered_bitmap(2, 2, 24);
    EXPECT_EQ(SaveVKBFile("full", &colour, nullptr, dir.path().c_str()), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Error closing"});
    log.clear();
    const std::string missing = dir.file("missing");
    EXPECT_EQ(SaveVKBFile("full", &colour, nullptr, missing.c_str()), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Unable to open file to save bitmap " +
                                                     missing + "\\full.vkb."});
    DeleteObject(colour);
}

TEST_F(ImageFiles, VkbSizesMustBePowersOfTwoUpTo4096)
{
    struct Case {
        LONG width, height;
        const char* error;  // NULL: written
    } cases[] = {
        {1, 2, "Bad bitmap width = 1 (not power of 2) for 'b'"},
        {6, 2, "Bad bitmap width = 6 (not power of 2) for 'b'"},
        {8192, 2, "Bad bitmap width = 8192 (not power of 2) for 'b'"},
        {2, 1, "Bad bitmap height = 1 (not power of 2) for 'b'"},
        {4096, 2, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        log.clear();
        HBITMAP bitmap = numbered_bitmap(c.width, c.height, 32);
        EXPECT_EQ(SaveVKBFile("b", &bitmap, nullptr, dir.path().c_str()), c.error ? 0 : 1);
        if (c.error) {
            EXPECT_EQ(log.errors(), std::vector<std::string>{c.error});
        }
        DeleteObject(bitmap);
    }
    HBITMAP colour = numbered_bitmap(4, 4, 24), small_alpha = numbered_bitmap(2, 4, 24);
    log.clear();
    EXPECT_EQ(SaveVKBFile("b", &colour, &small_alpha, dir.path().c_str()), 0);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Bad alpha bitmap width = 2 for 'b'"});
    DeleteObject(colour);
    DeleteObject(small_alpha);
}

TEST_F(ImageFiles, VkbFilesWithBadHeadersAreRefused)
{
    std::string name = std::string(256, 'n');  // no terminator of its own
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"pitch not 3 x width",
         name + ImageBytes().word(2).word(1).word(8).word(0).bytes() + std::string(8, 'x')},
        {"has alpha neither 0 nor 1",
         name + ImageBytes().word(2).word(1).word(6).word(2).bytes() + std::string(6, 'x')},
        {"negative height", name + ImageBytes().word(2).word(-1).word(6).word(0).bytes()},
        {"more pixels than the file holds",
         name + ImageBytes().word(2).word(2).word(6).word(0).bytes() + std::string(6, 'x')},
        {"huge size",
         name + ImageBytes().word(0x10000000).word(0x10000000).word(0x30000000).word(0).bytes()},
        {"header cut short", name.substr(0, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        std::string path = dir.write("bad.vkb", c.bytes);
        const int64_t live = heap_live_blocks();
        EXPECT_EQ(LoadVKBFile(path.c_str()), nullptr);
        EXPECT_EQ(heap_live_blocks(), live) << "nothing of the refused file is kept";
        EXPECT_FALSE(log.errors().empty());
    }
    std::string good = name + ImageBytes().word(2).word(1).word(6).word(0).bytes() +
                       std::string(6, 'x');
    vk_bitmap* read = LoadVKBFile(dir.write("good.vkb", good).c_str());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(std::strlen(read->vk_bitmap_name), 255u);
    free_vk_bitmap(read);
    EXPECT_EQ(LoadVKBFile(dir.file("none.vkb").c_str()), nullptr);
    EXPECT_EQ(log.errors().back(),
              "Unable to open file to load bitmap " + dir.file("none.vkb") + ".");
}
