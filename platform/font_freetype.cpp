// The FreeType font back-end: font files added by name, faces sized by
// their cell height, and text drawn as antialiased glyph coverage, into a
// surface's pixels or, for a buffer the device back-end keeps (the render
// target), through that back-end. A face that names no added font file
// falls back to a free face from the system's fonts.
//
// The calls pass the gate of d3d_record.h under the recording back-end's
// names, so failures can be injected whichever font back-end runs.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <strings.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/d3d_internal.h"
#include "platform/font.h"
#include "platform/path.h"
#include "platform/report.h"

namespace {

// Free faces of the Debian package fonts-dejavu-core: bold, then regular.
const char* const fallback_files[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};
const int default_height = 16;  // a device context's own font

struct added_font {
    std::string file_name;  // as the caller named it
    std::string path;       // on the host
    std::string family;
    int count;
};

struct glyph {
    bool made;
    int left, top;  // bitmap origin from the pen on the baseline
    int width, rows;
    int advance;
    std::vector<uint8_t> coverage;
};

struct face_record {
    FT_Face face;
    int weight;
    bool embolden;  // bold asked of a face that is not bold
    TEXTMETRIC metrics;
    glyph glyphs[256];
};

FT_Library library()
{
    static FT_Library made = nullptr;  // lives for the whole run
    if (!made && FT_Init_FreeType(&made) != 0) {
        PLATFORM_ERROR("%s", "FreeType could not start: no text can be drawn.");
        made = nullptr;
    }
    return made;
}

std::vector<added_font>& added()
{
    static std::vector<added_font>* fonts =
        new std::vector<added_font>();  // lives for the whole run
    return *fonts;
}

added_font* find_added(const char* name, bool by_family)
{
    for (added_font& font : added())
        if (strcasecmp(font.file_name.c_str(), name) == 0 ||
            (by_family && strcasecmp(font.family.c_str(), name) == 0))
            return &font;
    return nullptr;
}

int round_26_6(FT_Pos value)
{
    return (int)((value + 32) >> 6);
}

void measure(face_record* record, int height)
{
    FT_Face face = record->face;
    const FT_Size_Metrics& size = face->size->metrics;
    TEXTMETRIC& m = record->metrics;
    m = {};
    m.tmAscent = round_26_6(size.ascender);
    m.tmDescent = round_26_6(-size.descender);
    m.tmHeight = std::max<LONG>(m.tmAscent + m.tmDescent, height);
    m.tmMaxCharWidth = round_26_6(size.max_advance);
    const TT_OS2* os2 = (const TT_OS2*)FT_Get_Sfnt_Table(face, FT_SFNT_OS2);
    if (os2 && os2->xAvgCharWidth > 0) {
        m.tmAveCharWidth = round_26_6(FT_MulFix(os2->xAvgCharWidth, size.x_scale));
    } else if (FT_Load_Char(face, 'x', FT_LOAD_DEFAULT) == 0) {
        m.tmAveCharWidth = round_26_6(face->glyph->advance.x);
    }
    if (record->embolden)
        m.tmAveCharWidth += 1;  // synthetic bold is a pixel wider
    m.tmWeight = record->weight;
}

face_record* open_face(const char* path, int height, int weight)
{
    FT_Library ft = library();
    FT_Face face = nullptr;
    if (!ft || FT_New_Face(ft, path, 0, &face) != 0)
        return nullptr;
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_CELL;
    request.height = (FT_Long)(height > 0 ? height : default_height) << 6;
    if (FT_Request_Size(face, &request) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    face_record* record = new face_record();
    record->face = face;
    record->weight = weight;
    record->embolden = weight >= 600 && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    measure(record, height > 0 ? height : default_height);
    return record;
}

// The face for a name: an added font file (by its file or family name),
// else the fallback, bold or regular as asked.
face_record* make_face(const char* name, int height, int weight)
{
    if (added_font* font = find_added(name, true))
        if (face_record* record = open_face(font->path.c_str(), height, weight))
            return record;
    int first = weight >= 600 ? 0 : 1;
    for (int i = 0; i < 2; ++i)
        if (face_record* record = open_face(fallback_files[(first + i) % 2], height, weight))
            return record;
    return nullptr;
}

face_record* default_face()
{
    static face_record* made = make_face("", default_height, 400);  // lives for the whole run
    return made;
}

// Latin-1 text: bytes are code points.
const glyph& glyph_for(face_record* record, unsigned char code)
{
    glyph& g = record->glyphs[code];
    if (g.made)
        return g;
    g.made = true;
    FT_Face face = record->face;
    if (FT_Load_Char(face, code, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
        return g;
    if (record->embolden)
        FT_GlyphSlot_Embolden(face->glyph);
    g.advance = round_26_6(face->glyph->advance.x);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return g;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.width = (int)bitmap.width;
    g.rows = (int)bitmap.rows;
    g.coverage.resize((size_t)g.width * g.rows);
    for (int row = 0; row < g.rows; ++row) {
        const uint8_t* in = bitmap.buffer + (ptrdiff_t)row * bitmap.pitch;
        std::copy(in, in + g.width, g.coverage.begin() + (ptrdiff_t)row * g.width);
    }
    return g;
}

// Blends the coverage into a surface's own pixels, keeping their alpha.
void blend_into_pixels(d3d_surface* surface, int x, int y, int width, int height,
                       const uint8_t* coverage, D3DCOLOR colour)
{
    DWORD bytes = surface->format.dwRGBBitCount / 8;
    for (int row = 0; row < height; ++row) {
        int ty = y + row;
        if (ty < 0 || (DWORD)ty >= surface->height)
            continue;
        for (int column = 0; column < width; ++column) {
            int tx = x + column;
            DWORD a = coverage[(size_t)row * width + column];
            if (a == 0 || tx < 0 || (DWORD)tx >= surface->width)
                continue;
            uint8_t* pixel = surface->pixels + (size_t)ty * (size_t)surface->pitch +
                             (size_t)tx * bytes;
            DWORD old = d3d_read_pixel(surface->format, pixel);
            DWORD mixed = old & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                DWORD from = (old >> shift) & 0xFF, to = (colour >> shift) & 0xFF;
                mixed |= ((to * a + from * (255 - a) + 127) / 255) << shift;
            }
            d3d_write_pixel(surface->format, pixel, mixed);
        }
    }
}

int add_resource(const char* file_name)
{
    if (FAILED(d3d_call("Font.AddResource", "%s", file_name)))
        return 0;
    char path[4096];
    FT_Face face = nullptr;
    FT_Library ft = library();
    if (!ft || !platform_resolve_path(file_name, path, sizeof path) ||
        FT_New_Face(ft, path, 0, &face) != 0)
        return 0;
    int faces = (int)face->num_faces;
    if (added_font* known = find_added(file_name, false))
        ++known->count;
    else
        added().push_back({file_name, path, face->family_name ? face->family_name : "", 1});
    FT_Done_Face(face);
    return faces;
}

int remove_resource(const char* file_name)
{
    if (FAILED(d3d_call("Font.RemoveResource", "%s", file_name)))
        return 0;
    std::vector<added_font>& fonts = added();
    for (size_t i = 0; i < fonts.size(); ++i) {
        if (strcasecmp(fonts[i].file_name.c_str(), file_name) != 0)
            continue;
        if (--fonts[i].count == 0)
            fonts.erase(fonts.begin() + (long)i);
        return 1;
    }
    return 0;
}

void* create(const char* face, int height, int weight)
{
    if (FAILED(d3d_call("Font.Create", "%s %d %d", face, height, weight)))
        return nullptr;
    return make_face(face, height, weight);
}

void destroy(void* font)
{
    d3d_call("Font.Destroy", "%s", "");
    face_record* record = (face_record*)font;
    if (!record)
        return;
    FT_Done_Face(record->face);
    delete record;
}

int metrics(void* font, TEXTMETRIC* metrics)
{
    if (FAILED(d3d_call("Font.Metrics", "%s", "")))
        return 0;
    face_record* record = font ? (face_record*)font : default_face();
    if (!record)
        return 0;
    *metrics = record->metrics;
    return 1;
}

// Lays the glyphs out from the cell's top left at (x, y) into one coverage
// bitmap around the inked pixels, then blends it in the colour.
int draw(IDirectDrawSurface7* target, void* font, int x, int y, const char* text, int count,
         COLORREF colour)
{
    face_record* record = font ? (face_record*)font : default_face();
    if (FAILED(d3d_call("Font.Draw", "%d %d %d 0x%06x %.*s",
                        record ? (int)record->metrics.tmHeight : 0, x, y, colour, count, text)))
        return 0;
    if (!record || !target)
        return 0;
    int ascent = record->metrics.tmAscent;
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    int pen = 0;
    for (int i = 0; i < count; ++i) {
        const glyph& g = glyph_for(record, (unsigned char)text[i]);
        if (g.width > 0 && g.rows > 0) {
            left = std::min(left, pen + g.left);
            right = std::max(right, pen + g.left + g.width);
            top = std::min(top, ascent - g.top);
            bottom = std::max(bottom, ascent - g.top + g.rows);
        }
        pen += g.advance;
    }
    if (left >= right)
        return 1;  // nothing inked
    int width = right - left, height = bottom - top;
    std::vector<uint8_t> coverage((size_t)width * height);
    pen = 0;
    for (int i = 0; i < count; ++i) {
        const glyph& g = record->glyphs[(unsigned char)text[i]];
        for (int row = 0; row < g.rows; ++row) {
            uint8_t* out =
                &coverage[(size_t)(ascent - g.top + row - top) * width + (pen + g.left - left)];
            const uint8_t* in = &g.coverage[(size_t)row * g.width];
            for (int column = 0; column < g.width; ++column)
                out[column] = std::max(out[column], in[column]);
        }
        pen += g.advance;
    }
    D3DCOLOR argb = 0xFF000000u | (DWORD)GetRValue(colour) << 16 | (DWORD)GetGValue(colour) << 8 |
                    GetBValue(colour);
    d3d_surface* surface = static_cast<d3d_surface*>(target);
    if (surface->pixels) {
        blend_into_pixels(surface, x + left, y + top, width, height, coverage.data(), argb);
        return 1;
    }
    return SUCCEEDED(surface->ddraw->backend->blend_coverage(surface, x + left, y + top, width,
                                                             height, coverage.data(), argb))
               ? 1
               : 0;
}

int text_width(void* font, const char* text, int count)
{
    face_record* record = font ? (face_record*)font : default_face();
    int width = 0;
    for (int i = 0; record && text && i < count; ++i)
        width += glyph_for(record, (unsigned char)text[i]).advance;
    return width;
}

}  // namespace

const platform_font_ops platform_font_freetype_ops = {
    add_resource, remove_resource, create, destroy, metrics, draw, text_width};
