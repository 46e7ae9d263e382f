// The image-file tools beside the texture cache: the input is read as a PPM
// file and as a PPM image in memory (the two must agree, pixel for pixel), as
// a BMP file through GDI and as a VKB file. A bitmap that is made can be
// described and released; a VKB record holds exactly the pixels its header
// words give.
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "image_writers.h"
#include "platform/gdi.h"
#include "texture_container.h"
#include "txtrload.h"

namespace {

// The bitmap's pixel bytes, or "" for none.
std::string bitmap_bytes(HBITMAP bitmap)
{
    BITMAP description = {};
    if (!bitmap)
        return "";
    FUZZ_CHECK(GetObject(bitmap, sizeof description, &description) == (int)sizeof description);
    FUZZ_CHECK(description.bmWidth > 0 && description.bmHeight > 0 && description.bmBits);
    return std::string((const char*)description.bmBits,
                       (size_t)description.bmWidthBytes * (size_t)description.bmHeight);
}

HBITMAP dib_section(int width, int height, uint8_t fill)
{
    BITMAPINFO info = {};
    info.bmiHeader = {40, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP made = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(dc);
    std::memset(bits, fill, (size_t)width * height * 4);
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzz_file("image.bin", data, size);

    HBITMAP from_file = nullptr, from_memory = nullptr;
    HRESULT file_result = txtrload_load_ppm_file(path.c_str(), &from_file);
    HRESULT memory_result = txtrload_load_ppm_from_memory(data, size, &from_memory);
    FUZZ_CHECK(file_result == memory_result);
    FUZZ_CHECK(bitmap_bytes(from_file) == bitmap_bytes(from_memory));
    if (from_file)
        DeleteObject(from_file);
    if (from_memory)
        DeleteObject(from_memory);

    HBITMAP bmp = nullptr;
    if (txtrload_load_bmp_file(path.c_str(), &bmp) == 0) {
        bitmap_bytes(bmp);
        DeleteObject(bmp);
    }

    if (vk_bitmap* bitmap = LoadVKBFile(path.c_str())) {
        int32_t bytes = vk_bitmap_pixel_bytes(bitmap);
        FUZZ_CHECK(bytes > 0 && (size_t)bytes + VKB_HEADER_SIZE <= size);
        FUZZ_CHECK(std::memcmp(bitmap->vk_bitmap_pixels, data + VKB_HEADER_SIZE, bytes) == 0);
        FUZZ_CHECK(free_vk_bitmap(bitmap));
    }
    return 0;
}

void fuzz_write_seeds(void)
{
    fuzz_seed("plain.ppm", "P6\n# a comment\n2 2\n255\r\n" + std::string(12, '\x40'));
    fuzz_seed("true.bmp", bmp_image(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    // Run-length encoded: RLE8 as ImageMagick writes it, and RLE4 with
    // every escape (a stored run, a move, the ends of a row and the bitmap).
    fuzz_seed("rle8.bmp", read_test_data("images/rle8_magick.bmp"));
    fuzz_seed("rle4.bmp", bmp_rle_image(5, 3, 4, {0x102030, 0xFF0000, 0x00FF00, 0x0000FF},
                                        bytes_of({7, 0x12, 0, 0, 0, 5, 0x32, 0x10, 0x20, 0,
                                                  0, 0,    0, 2, 2, 0, 2,    0x33, 0,    1})));
    HBITMAP colour = dib_section(4, 2, 0x30);
    HBITMAP alpha = dib_section(4, 2, 0x80);
    SaveVKBFile("colour", &colour, nullptr, fuzz_dir().c_str());
    fuzz_seed("colour.vkb", read_host_file(fuzz_dir() + "/colour.vkb"));
    SaveVKBFile("with_alpha", &colour, &alpha, fuzz_dir().c_str());
    fuzz_seed("with_alpha.vkb", read_host_file(fuzz_dir() + "/with_alpha.vkb"));
    DeleteObject(colour);
    DeleteObject(alpha);
}
