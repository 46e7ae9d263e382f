// Device-independent bitmaps: made in memory, loaded from BMP files,
// described and deleted.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/d3d_internal.h"
#include "platform/gdi.h"
#include "platform/image_file.h"

struct platform_bitmap {
    BITMAP description;
    uint8_t* bits;
};

namespace {

std::vector<HBITMAP>& bitmaps()
{
    static std::vector<HBITMAP>* made = new std::vector<HBITMAP>();  // lives for the whole run
    return *made;
}

long find(HGDIOBJ object)
{
    std::vector<HBITMAP>& made = bitmaps();
    for (size_t i = 0; i < made.size(); ++i)
        if (made[i] == object)
            return (long)i;
    return -1;
}

HBITMAP make_bitmap(LONG width, LONG height, WORD bits_per_pixel)
{
    if (width <= 0 || height <= 0 || width > PLATFORM_IMAGE_MAX_SIZE ||
        height > PLATFORM_IMAGE_MAX_SIZE || (bits_per_pixel != 24 && bits_per_pixel != 32))
        return nullptr;
    LONG stride = (width * bits_per_pixel + 31) / 32 * 4;
    uint8_t* bits = (uint8_t*)calloc((size_t)stride * (size_t)height, 1);
    if (!bits)
        return nullptr;
    HBITMAP bitmap = new platform_bitmap{{0, width, height, stride, 1, bits_per_pixel, bits}, bits};
    bitmaps().push_back(bitmap);
    d3d_live_add(1);
    return bitmap;
}

}  // namespace

bool gdi_bitmap_delete(HGDIOBJ object)
{
    long index = find(object);
    if (index < 0)
        return false;
    HBITMAP bitmap = bitmaps()[(size_t)index];
    bitmaps().erase(bitmaps().begin() + index);
    free(bitmap->bits);
    delete bitmap;
    d3d_live_add(-1);
    return true;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD)
{
    const BITMAPINFOHEADER* header = info ? &info->bmiHeader : nullptr;
    if (FAILED(d3d_call("GDI.CreateDIBSection", "%d %d %u", header ? (int)header->biWidth : 0,
                        header ? (int)header->biHeight : 0, header ? header->biBitCount : 0)))
        return nullptr;
    if (bits)
        *bits = nullptr;
    if (!header || usage != DIB_RGB_COLORS || header->biCompression != BI_RGB ||
        header->biPlanes != 1 || header->biHeight == INT32_MIN)
        return nullptr;
    HBITMAP bitmap = make_bitmap(header->biWidth,
                                 header->biHeight < 0 ? -header->biHeight : header->biHeight,
                                 header->biBitCount);
    if (bitmap && bits)
        *bits = bitmap->bits;
    return bitmap;
}

int GetObject(HGDIOBJ object, int size, void* buffer)
{
    long index = find(object);
    if (index < 0 || !buffer || size < (int)sizeof(BITMAP))
        return 0;
    memcpy(buffer, &bitmaps()[(size_t)index]->description, sizeof(BITMAP));
    return (int)sizeof(BITMAP);
}

HANDLE LoadImage(HINSTANCE, LPCSTR name, UINT type, int, int, UINT flags)
{
    if (FAILED(d3d_call("GDI.LoadImage", "%s 0x%x", name ? name : "(null)", flags)))
        return nullptr;
    if (!name || type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE))
        return nullptr;
    platform_image image;
    if (FAILED(platform_image_load(name, PLATFORM_IMAGE_BMP, &image)))
        return nullptr;
    const platform_image_level& level = image.levels[0];
    HBITMAP bitmap = make_bitmap((LONG)level.width, (LONG)level.height, 32);
    for (DWORD y = 0; bitmap && y < level.height; ++y) {
        // Bottom-up: the image's last row is the bitmap's first.
        size_t stride = (size_t)bitmap->description.bmWidthBytes;
        uint8_t* row = bitmap->bits + (size_t)(level.height - 1 - y) * stride;
        for (DWORD x = 0; x < level.width; ++x) {
            DWORD argb = level.argb[(size_t)y * level.width + x];
            row[4 * x] = (uint8_t)argb;
            row[4 * x + 1] = (uint8_t)(argb >> 8);
            row[4 * x + 2] = (uint8_t)(argb >> 16);
            row[4 * x + 3] = 0;
        }
    }
    platform_image_free(&image);
    return bitmap;
}
