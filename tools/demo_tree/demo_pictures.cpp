#include "demo_pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "file_io.h"
#include "platform/d3d.h"
#include "platform/gdi.h"

namespace {

const char* const font_file = "gamefont.ttf";
IDirectDraw7* ddraw = nullptr;

}  // namespace

uint32_t mix_colour(uint32_t from, uint32_t to, int step, int steps)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int a = (int)((from >> shift) & 0xFF), b = (int)((to >> shift) & 0xFF);
        out |= (uint32_t)(a + (b - a) * step / std::max(1, steps)) << shift;
    }
    return out;
}

void blend_pixel(picture& target, int x, int y, uint32_t colour, int coverage)
{
    if (x < 0 || y < 0 || x >= target.width || y >= target.height)
        return;
    uint32_t alpha = (colour >> 24) * (uint32_t)std::clamp(coverage, 0, 255) / 255;
    if (alpha == 0)
        return;
    uint32_t& pixel = target.at(x, y);
    uint32_t out_alpha = alpha + ((pixel >> 24) * (255 - alpha) + 127) / 255;
    uint32_t out = out_alpha << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t a = (colour >> shift) & 0xFF, b = (pixel >> shift) & 0xFF;
        // Over a transparent pixel the colour stays the colour.
        uint32_t mixed = out_alpha
                             ? (a * alpha + b * (pixel >> 24) * (255 - alpha) / 255) / out_alpha
                             : a;
        out |= std::min<uint32_t>(mixed, 255) << shift;
    }
    pixel = out;
}

void vertical_gradient(picture& target, uint32_t top, uint32_t bottom)
{
    for (int y = 0; y < target.height; ++y) {
        uint32_t colour = mix_colour(top, bottom, y, target.height - 1);
        for (int x = 0; x < target.width; ++x)
            target.at(x, y) = colour;
    }
}

void fill_rect(picture& target, int left, int top, int right, int bottom, uint32_t colour)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            blend_pixel(target, x, y, colour, 255);
}

void soft_disc(picture& target, int cx, int cy, int radius, int fade, uint32_t colour)
{
    int reach = radius + fade;
    for (int y = cy - reach; y <= cy + reach; ++y)
        for (int x = cx - reach; x <= cx + reach; ++x) {
            int dx = x - cx, dy = y - cy;
            int distance = 0;
            while ((distance + 1) * (distance + 1) <= dx * dx + dy * dy)
                ++distance;
            if (distance <= radius)
                blend_pixel(target, x, y, colour, 255);
            else if (distance < reach)
                blend_pixel(target, x, y, colour, 255 * (reach - distance) / fade);
        }
}

void fill_below(picture& target, int (*ridge)(int x), uint32_t colour)
{
    for (int x = 0; x < target.width; ++x)
        for (int y = std::max(0, ridge(x)); y < target.height; ++y)
            blend_pixel(target, x, y, colour, 255);
}

bool pictures_open_font(void)
{
    if (!AddFontResource(font_file))
        return false;
    return SUCCEEDED(DirectDrawCreateEx(nullptr, &ddraw, nullptr));
}

void pictures_close_font(void)
{
    if (ddraw)
        ddraw->Release();
    ddraw = nullptr;
    RemoveFontResource(font_file);
}

// White text on black in a surface over our own memory; the red channel is
// the coverage.
text_mask make_text(const char* text, int height)
{
    text_mask mask;
    HFONT font = CreateFont(height, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, PROOF_QUALITY, VARIABLE_PITCH | FF_SWISS,
                            font_file);
    if (!ddraw || !font)
        return mask;
    int width = height * (int)strlen(text) + 16, rows = height * 2;
    std::vector<uint32_t> pixels((size_t)width * rows, 0xFF000000u);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_LPSURFACE |
                   DDSD_PIXELFORMAT;
    desc.dwWidth = (DWORD)width;
    desc.dwHeight = (DWORD)rows;
    desc.lPitch = width * 4;
    desc.lpSurface = pixels.data();
    desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
    desc.ddpfPixelFormat.dwSize = 32;
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS;
    desc.ddpfPixelFormat.dwRGBBitCount = 32;
    desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
    desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
    desc.ddpfPixelFormat.dwBBitMask = 0xFF;
    desc.ddpfPixelFormat.dwRGBAlphaBitMask = 0xFF000000u;
    IDirectDrawSurface7* surface = nullptr;
    HDC dc = nullptr;
    if (FAILED(ddraw->CreateSurface(&desc, &surface, nullptr)) || FAILED(surface->GetDC(&dc))) {
        if (surface)
            surface->Release();
        DeleteObject(font);
        return mask;
    }
    SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    SIZE size = {};
    GetTextExtentPoint32(dc, text, (int)strlen(text), &size);
    TextOut(dc, 0, 0, text, (int)strlen(text));
    surface->ReleaseDC(dc);
    surface->Release();
    DeleteObject(font);
    mask.width = std::min<int>(width, size.cx + 2);
    mask.height = std::min<int>(rows, size.cy);
    mask.coverage.resize((size_t)mask.width * mask.height);
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            mask.coverage[(size_t)y * mask.width + x] =
                (uint8_t)((pixels[(size_t)y * width + x] >> 16) & 0xFF);
    return mask;
}

text_mask blur(const text_mask& mask, int radius)
{
    text_mask out;
    out.width = mask.width + 2 * radius;
    out.height = mask.height + 2 * radius;
    out.coverage.assign((size_t)out.width * out.height, 0);
    int area = (2 * radius + 1) * (2 * radius + 1);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            int sum = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx) {
                    int sx = x - radius + dx, sy = y - radius + dy;
                    if (sx >= 0 && sy >= 0 && sx < mask.width && sy < mask.height)
                        sum += mask.coverage[(size_t)sy * mask.width + sx];
                }
            out.coverage[(size_t)y * out.width + x] = (uint8_t)std::min(255, sum * 2 / area);
        }
    return out;
}

void draw_mask(picture& target, const text_mask& mask, int x, int y, uint32_t colour)
{
    for (int row = 0; row < mask.height; ++row)
        for (int column = 0; column < mask.width; ++column)
            blend_pixel(target, x + column, y + row, colour,
                        mask.coverage[(size_t)row * mask.width + column]);
}

bool write_tga(const char* directory, const char* name, const picture& image, bool alpha)
{
    char path[300];
    snprintf(path, sizeof path, "%s\\%s.tga", directory, name);
    FILE* file = file_open(path, FILE_MODE_WRITE_BIN);
    if (!file)
        return false;
    uint8_t header[18] = {};
    header[2] = 2;  // true colour
    header[12] = (uint8_t)(image.width & 0xFF);
    header[13] = (uint8_t)(image.width >> 8);
    header[14] = (uint8_t)(image.height & 0xFF);
    header[15] = (uint8_t)(image.height >> 8);
    header[16] = alpha ? 32 : 24;
    header[17] = alpha ? 0x28 : 0x20;  // top row first, with 8 alpha bits or none
    std::vector<uint8_t> bytes;
    for (uint32_t argb : image.argb) {
        uint8_t bgra[4] = {(uint8_t)argb, (uint8_t)(argb >> 8), (uint8_t)(argb >> 16),
                           (uint8_t)(argb >> 24)};
        bytes.insert(bytes.end(), bgra, bgra + (alpha ? 4 : 3));
    }
    bool ok = file_write(file, header, sizeof header) &&
              file_write(file, bytes.data(), (int32_t)bytes.size());
    return file_close(file) && ok;
}
