#include "txtrload.h"

#include <cstdio>
#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "str_util.h"

namespace {

// Where a PPM image is read from: an open file, or bytes in memory.
struct ppm_source {
    FILE* file;
    const uint8_t* data;
    const uint8_t* end;
};

int raw_char(ppm_source* source)
{
    if (source->file)
        return fgetc(source->file);
    return source->data < source->end ? *source->data++ : EOF;
}

// The next character, a comment ("#" to the end of its line) folded into
// the line end that closes it.
int txtrload_ppm_get_char(ppm_source* source)
{
    int c = raw_char(source);
    if (c == '#') {
        do
            c = raw_char(source);
        while (c != '\n' && c != '\r' && c != EOF);
    }
    return c;
}

// The next decimal number, modulo 65536; the character after it is consumed.
int txtrload_ppm_get_int(ppm_source* source, uint16_t* value)
{
    int c;
    do
        c = txtrload_ppm_get_char(source);
    while (c != EOF && (c < '0' || c > '9'));
    if (c == EOF)
        return 0;
    uint16_t number = 0;
    for (; c >= '0' && c <= '9'; c = txtrload_ppm_get_char(source))
        number = (uint16_t)(number * 10 + (c - '0'));
    *value = number;
    return 1;
}

// "P6", width, height and maximum value; afterwards the source stands at the
// first pixel byte.
int txtrload_ppm_read_header(ppm_source* source, uint16_t* width, uint16_t* height)
{
    uint16_t maximum = 0;
    if (raw_char(source) != 'P' || raw_char(source) != '6' ||
        !txtrload_ppm_get_int(source, width) || !txtrload_ppm_get_int(source, height) ||
        !txtrload_ppm_get_int(source, &maximum))
        return 0;
    int c;
    do
        c = raw_char(source);
    while (c == ' ' || c == '\t' || c == '\n' || c == '\r');
    if (c == EOF)
        return 1;  // no pixels: the pixel read fails
    if (source->file)
        ungetc(c, source->file);
    else
        --source->data;
    return 1;
}

HRESULT load_ppm(ppm_source* source, HBITMAP* bitmap)
{
    uint16_t width = 0, height = 0;
    if (!txtrload_ppm_read_header(source, &width, &height))
        return E_FAIL;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = (DWORD)width * height * 4;
    info.bmiHeader.biXPelsPerMeter = 4000;
    info.bmiHeader.biYPelsPerMeter = 4000;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP made = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    DeleteDC(dc);
    if (!made || !bits) {
        if (made)
            DeleteObject(made);
        return E_FAIL;
    }
    uint8_t* pixel = (uint8_t*)bits;
    for (size_t i = 0; i < (size_t)width * height; ++i, pixel += 4) {
        int red = raw_char(source), green = raw_char(source), blue = raw_char(source);
        if (blue == EOF) {
            DeleteObject(made);
            return E_FAIL;
        }
        pixel[0] = (uint8_t)blue;
        pixel[1] = (uint8_t)green;
        pixel[2] = (uint8_t)red;
        pixel[3] = 0;
    }
    *bitmap = made;
    return 0;
}

bool power_of_two_size(LONG value)
{
    return value >= 2 && value <= VKB_MAX_SIZE && (value & (value - 1)) == 0;
}

}  // namespace

HRESULT txtrload_load_ppm_file(const char* file_name, HBITMAP* bitmap)
{
    if (!file_name || !bitmap)
        return E_INVALIDARG;
    LOG_NOTICE("Reading PPM '%s'\n", file_name);
    FILE* file = file_open(file_name, FILE_MODE_READ_BIN);
    if (!file)
        return DDERR_NOTFOUND;
    ppm_source source = {file, nullptr, nullptr};
    HRESULT result = load_ppm(&source, bitmap);
    file_close(file);
    return result;
}

HRESULT txtrload_load_ppm_from_memory(const uint8_t* data, size_t size, HBITMAP* bitmap)
{
    if (!data || !bitmap)
        return E_INVALIDARG;
    ppm_source source = {nullptr, data, data + size};
    return load_ppm(&source, bitmap);
}

HRESULT txtrload_load_bmp_file(const char* name, HBITMAP* bitmap)
{
    if (!name || !bitmap)
        return E_INVALIDARG;
    LOG_NOTICE("Reading BMP '%s'\n", name);
    *bitmap = (HBITMAP)LoadImage(GetModuleHandle(nullptr), name, IMAGE_BITMAP, 0, 0,
                                 LR_CREATEDIBSECTION);
    if (!*bitmap)
        *bitmap = (HBITMAP)LoadImage(nullptr, name, IMAGE_BITMAP, 0, 0,
                                     LR_CREATEDIBSECTION | LR_LOADFROMFILE);
    return *bitmap ? 0 : DDERR_NOTFOUND;
}

int SaveVKBFile(const char* bitmap_name, HBITMAP* colour_bitmap, HBITMAP* alpha_bitmap,
                const char* directory)
{
    REFUSE_NULL(bitmap_name, "SaveVKBFile", "bitmapname", 0);
    REFUSE_NULL(colour_bitmap, "SaveVKBFile", "pvkm", 0);
    REFUSE_NULL(directory, "SaveVKBFile", "directory", 0);
    LOG_NOTICE("Saving VKB file %s.\n", bitmap_name);
    BITMAP colour = {}, alpha = {};
    if (!GetObject(*colour_bitmap, sizeof colour, &colour)) {
        LOG_ERROR("Could not GetObject for bitmap %s.\n", bitmap_name);
        return 0;
    }
    // Each file pixel takes the first three bytes of its source pixel.
    LONG colour_bytes = colour.bmPlanes * colour.bmBitsPixel / 8;
    if (colour_bytes < 3) {
        LOG_ERROR("Bad bitmap depth = %ld for '%s'\n", (long)colour.bmBitsPixel, bitmap_name);
        return 0;
    }
    if (!power_of_two_size(colour.bmWidth)) {
        LOG_ERROR("Bad bitmap width = %ld (not power of 2) for '%s'\n", (long)colour.bmWidth,
                  bitmap_name);
        return 0;
    }
    if (!power_of_two_size(colour.bmHeight)) {
        LOG_ERROR("Bad bitmap height = %ld (not power of 2) for '%s'\n", (long)colour.bmHeight,
                  bitmap_name);
        return 0;
    }
    LONG alpha_bytes = 0;
    if (alpha_bitmap) {
        if (!GetObject(*alpha_bitmap, sizeof alpha, &alpha) || alpha.bmWidth != colour.bmWidth ||
            alpha.bmHeight != colour.bmHeight ||
            (alpha_bytes = alpha.bmPlanes * alpha.bmBitsPixel / 8) < 1) {
            LOG_ERROR("Bad alpha bitmap width = %ld for '%s'\n", (long)alpha.bmWidth, bitmap_name);
            return 0;
        }
    }
    int32_t width = colour.bmWidth, height = colour.bmHeight;
    int32_t pitch = (alpha_bitmap ? 4 : 3) * width;
    uint8_t* pixels = (uint8_t*)MALLOC((size_t)height * (size_t)pitch);
    if (!pixels) {
        LOG_ERROR("Failed to allocate memory for vk_bitmap %s.\n", bitmap_name);
        return 0;
    }
    // Source rows lie bmWidthBytes apart (rows are padded to 4 bytes).
    for (int32_t r = 0; r < height; ++r) {
        uint8_t* out = pixels + (size_t)r * pitch;
        const uint8_t* in = (const uint8_t*)colour.bmBits + (size_t)r * colour.bmWidthBytes;
        const uint8_t* in_alpha = alpha_bitmap ? (const uint8_t*)alpha.bmBits +
                                                     (size_t)r * alpha.bmWidthBytes
                                               : nullptr;
        for (int32_t c = 0; c < width; ++c) {
            memcpy(out, in + (size_t)c * colour_bytes, 3);
            out += 3;
            if (in_alpha)
                *out++ = in_alpha[(size_t)c * alpha_bytes];
        }
    }

    char path[1024];
    const char* base = get_base_filename(bitmap_name);
    int ok = base && STR_CPY(path, sizeof path, directory) && STR_CAT(path, sizeof path, "\\") &&
             STR_CAT(path, sizeof path, base) && STR_CAT(path, sizeof path, ".vkb");
    if (!ok) {
        FREE(pixels);
        return 0;
    }
    LOG_NOTICE("Saving VKB '%s'\n", path);
    FILE* file = file_open(path, FILE_MODE_WRITE_BIN);
    if (!file) {
        LOG_ERROR("Unable to open file to save bitmap %s.\n", path);
        FREE(pixels);
        return 0;
    }
    char name[VKB_NAME_SIZE] = {};  // zero-padded, so files are reproducible
    memcpy(name, base, strnlen(base, sizeof name - 1));
    int32_t has_alpha = alpha_bitmap ? 1 : 0;
    ok = file_write(file, name, sizeof name) && file_write(file, &width, 4) &&
         file_write(file, &height, 4) && file_write(file, &pitch, 4) &&
         file_write(file, &has_alpha, 4) && file_write(file, pixels, height * pitch);
    ok = file_close(file) && ok;
    FREE(pixels);
    return ok ? 1 : 0;
}

vk_bitmap* LoadVKBFile(const char* file_name)
{
    REFUSE_NULL(file_name, "LoadVKBFile", "bitmapname", nullptr);
    LOG_NOTICE("Opening varnock format bitmap '%s'\n", file_name);
    FILE* file = file_open(file_name, FILE_MODE_READ_BIN);
    if (!file) {
        LOG_ERROR("Unable to open file to load bitmap %s.\n", file_name);
        return nullptr;
    }
    char name[VKB_NAME_SIZE];
    int32_t words[4];
    if (!file_read(file, name, sizeof name) || !file_read(file, words, sizeof words)) {
        file_close(file);
        return nullptr;
    }
    name[sizeof name - 1] = '\0';
    vk_bitmap* bitmap = malloc_vk_bitmap(name);
    if (!bitmap) {
        LOG_ERROR("Unable to allocate memory for new bitmap %s.\n", file_name);
        file_close(file);
        return nullptr;
    }
    bitmap->vk_bitmap_width = words[0];
    bitmap->vk_bitmap_height = words[1];
    bitmap->vk_bitmap_pitch = words[2];
    bitmap->vk_bitmap_has_alpha = words[3];
    int32_t bytes = vk_bitmap_pixel_bytes(bitmap);
    if (bytes < 0 || bytes > file_bytes_left(file)) {
        LOG_ERROR("Bad VKB header in %s: width = %ld, height = %ld, pitch = %ld, has alpha = %ld\n",
                  file_name, (long)words[0], (long)words[1], (long)words[2], (long)words[3]);
        free_vk_bitmap(bitmap);
        file_close(file);
        return nullptr;
    }
    bitmap->vk_bitmap_pixels = (uint8_t*)MALLOC((size_t)bytes);
    if (!bitmap->vk_bitmap_pixels) {
        LOG_ERROR("Unable to allocate memory for new bitmap %s pixels.\n", file_name);
        free_vk_bitmap(bitmap);
        file_close(file);
        return nullptr;
    }
    int ok = file_read(file, bitmap->vk_bitmap_pixels, bytes);
    file_close(file);
    if (!ok) {
        free_vk_bitmap(bitmap);
        return nullptr;
    }
    LOG_NOTICE("%s\n", "Succeeded.");
    return bitmap;
}
