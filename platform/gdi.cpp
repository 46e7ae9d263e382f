// Fonts, device contexts of surfaces, text and pixels. Text and font files go
// to the font back-end of font.h.
#include "platform/gdi.h"

#include <cstdlib>
#include <vector>

#include "platform/d3d_internal.h"
#include "platform/font.h"

struct platform_dc {
    d3d_surface* surface;
    COLORREF text_colour;
    int background_mode;
    HFONT font;
};

struct platform_font {
    const platform_font_ops* ops;  // the back-end that made it
    void* face;
};

namespace {

const platform_font_ops* font_ops = &platform_font_freetype_ops;
std::vector<HFONT>& fonts()
{
    static std::vector<HFONT>* made = new std::vector<HFONT>();  // lives for the whole run
    return *made;
}
int stock_object;  // stands for every stock object and a context's own font

bool is_font(HGDIOBJ object)
{
    for (HFONT font : fonts())
        if (font == object)
            return true;
    return false;
}

void* face_of(HDC dc)
{
    return dc && dc->font ? dc->font->face : nullptr;
}

bool pixel_address(HDC dc, int x, int y, uint8_t** pixel)
{
    if (!dc || !dc->surface || !dc->surface->pixels || x < 0 || y < 0 ||
        (DWORD)x >= dc->surface->width || (DWORD)y >= dc->surface->height)
        return false;
    *pixel = dc->surface->pixels + (size_t)y * (size_t)dc->surface->pitch +
             (size_t)x * (dc->surface->format.dwRGBBitCount / 8);
    return true;
}

}  // namespace

void platform_font_use(const platform_font_ops* ops)
{
    font_ops = ops ? ops : &platform_font_recording_ops;
}

const platform_font_ops* platform_font_current(void)
{
    return font_ops;
}

HDC d3d_dc_make(d3d_surface* surface)
{
    platform_dc* dc = new platform_dc{surface, RGB(0, 0, 0), OPAQUE, nullptr};
    d3d_live_add(1);
    return dc;
}

void d3d_dc_free(HDC dc)
{
    delete dc;
    d3d_live_add(-1);
}

int AddFontResource(const char* file_name)
{
    return file_name ? font_ops->add_resource(file_name) : 0;
}

BOOL RemoveFontResource(const char* file_name)
{
    return file_name && font_ops->remove_resource(file_name) ? TRUE : FALSE;
}

HFONT CreateFont(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                 DWORD, DWORD, const char* face)
{
    void* made = font_ops->create(face ? face : "", abs(height), weight);
    if (!made)
        return nullptr;
    HFONT font = new platform_font{font_ops, made};
    fonts().push_back(font);
    d3d_live_add(1);
    return font;
}

HDC CreateCompatibleDC(HDC)
{
    return d3d_dc_make(nullptr);
}

BOOL DeleteDC(HDC dc)
{
    // Contexts of surfaces go back through ReleaseDC.
    if (!dc || dc->surface)
        return FALSE;
    d3d_dc_free(dc);
    return TRUE;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (object == &stock_object)
        return TRUE;
    if (gdi_bitmap_delete(object))
        return TRUE;
    std::vector<HFONT>& made = fonts();
    for (size_t i = 0; i < made.size(); ++i) {
        if (made[i] != object)
            continue;
        made[i]->ops->destroy(made[i]->face);
        delete made[i];
        made.erase(made.begin() + (long)i);
        d3d_live_add(-1);
        return TRUE;
    }
    return FALSE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    if (FAILED(d3d_call("GDI.SelectObject", "%s", object ? "object" : "none")))
        return nullptr;
    if (!dc || !is_font(object))
        return nullptr;
    HGDIOBJ previous = dc->font ? (HGDIOBJ)dc->font : (HGDIOBJ)&stock_object;
    dc->font = (HFONT)object;
    return previous;
}

HGDIOBJ GetStockObject(int)
{
    return &stock_object;
}

COLORREF SetTextColor(HDC dc, COLORREF colour)
{
    if (!dc)
        return CLR_INVALID;
    COLORREF previous = dc->text_colour;
    dc->text_colour = colour;
    return previous;
}

int SetBkMode(HDC dc, int mode)
{
    if (!dc)
        return 0;
    int previous = dc->background_mode;
    dc->background_mode = mode;
    return previous;
}

BOOL ExtTextOut(HDC dc, int x, int y, UINT, const void*, const char* text, UINT count, const int*)
{
    if (!dc || !dc->surface || (!text && count > 0))
        return FALSE;
    return font_ops->draw(dc->surface, face_of(dc), x, y, text ? text : "", (int)count,
                          dc->text_colour)
               ? TRUE
               : FALSE;
}

BOOL TextOut(HDC dc, int x, int y, const char* text, int count)
{
    return ExtTextOut(dc, x, y, 0, nullptr, text, (UINT)(count < 0 ? 0 : count), nullptr);
}

BOOL GetTextExtentPoint32(HDC dc, const char* text, int count, SIZE* size)
{
    TEXTMETRIC metrics = {};
    if (!dc || !size || (!text && count > 0) || count < 0 ||
        !font_ops->metrics(face_of(dc), &metrics))
        return FALSE;
    size->cx = font_ops->text_width(face_of(dc), text ? text : "", count);
    size->cy = metrics.tmHeight;
    return TRUE;
}

BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics)
{
    if (!dc || !metrics)
        return FALSE;
    return font_ops->metrics(face_of(dc), metrics) ? TRUE : FALSE;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    uint8_t* pixel = nullptr;
    if (!pixel_address(dc, x, y, &pixel))
        return CLR_INVALID;
    DWORD argb = d3d_read_pixel(dc->surface->format, pixel);
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour)
{
    uint8_t* pixel = nullptr;
    if (!pixel_address(dc, x, y, &pixel))
        return CLR_INVALID;
    DWORD argb = 0xFF000000u | (DWORD)GetRValue(colour) << 16 | (DWORD)GetGValue(colour) << 8 |
                 GetBValue(colour);
    d3d_write_pixel(dc->surface->format, pixel, argb);
    return GetPixel(dc, x, y);
}
