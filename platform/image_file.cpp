// TGA, BMP and DDS decoding into 32-bit pixels.
#include "platform/image_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/d3d_internal.h"
#include "platform/path.h"
#include "platform/report.h"

namespace {

// A bounded view of the file's bytes.
struct bytes_view {
    const uint8_t* data;
    size_t size;

    bool has(size_t offset, size_t count) const { return offset <= size && count <= size - offset; }
    uint32_t u8(size_t offset) const { return data[offset]; }
    uint32_t u16(size_t offset) const { return data[offset] | (uint32_t)data[offset + 1] << 8; }
    uint32_t u32(size_t offset) const { return u16(offset) | u16(offset + 2) << 16; }
};

// Why a file was refused, for the one line that names it: the format, and
// what of it the decoder does not take (type, bit depth, compression) or
// where its bytes end too soon.
struct refusal {
    char text[192];

    HRESULT set(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        return D3DXERR_INVALIDFILEFORMAT;
    }
};

bool size_ok(uint32_t width, uint32_t height)
{
    return width > 0 && height > 0 && width <= PLATFORM_IMAGE_MAX_SIZE &&
           height <= PLATFORM_IMAGE_MAX_SIZE;
}

// Every decoder writes every pixel of a level it adds.
bool add_level(platform_image* image, DWORD width, DWORD height)
{
    platform_image_level& level = image->levels[image->level_count];
    level.argb = (DWORD*)malloc((size_t)width * height * sizeof(DWORD));
    if (!level.argb)
        return false;
    level.width = width;
    level.height = height;
    ++image->level_count;
    return true;
}

DWORD* pixel_at(platform_image_level& level, DWORD x, DWORD y)
{
    return level.argb + (size_t)y * level.width + x;
}

// Bit-field masks from a file: each one run of bits, or none. A mask with
// gaps gives its channel no width, and values past the ones its width allows.
bool masks_contiguous(std::initializer_list<uint32_t> masks)
{
    for (uint32_t mask : masks) {
        uint32_t run = mask ? mask >> __builtin_ctz(mask) : 0;
        if ((run & (run + 1)) != 0)
            return false;
    }
    return true;
}

// ---- TGA

// The pixel format of TGA pixels (or colour map entries) of `bits` bits.
DDPIXELFORMAT tga_format(uint32_t bits, bool alpha)
{
    if (bits == 15 || bits == 16)
        return d3d_masks_format(16, 0x7C00, 0x03E0, 0x001F, alpha ? 0x8000 : 0);
    return d3d_masks_format(bits, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0);
}

bool tga_colour_bits(uint32_t bits)
{
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

HRESULT decode_tga(const bytes_view& file, platform_image* image, refusal* why)
{
    if (!file.has(0, 18))
        return why->set("the TGA header is cut short (%zu bytes)", file.size);
    uint32_t id_length = file.u8(0), map_type = file.u8(1), type = file.u8(2);
    uint32_t map_first = file.u16(3), map_length = file.u16(5), map_bits = file.u8(7);
    uint32_t width = file.u16(12), height = file.u16(14), bits = file.u8(16);
    uint32_t descriptor = file.u8(17), attribute_bits = descriptor & 0x0F;
    bool rle = type == 9 || type == 10 || type == 11;
    bool grey_image = type == 3 || type == 11;
    bool true_colour = type == 2 || type == 10;
    bool mapped = type == 1 || type == 9;
    if (!grey_image && !true_colour && !mapped)
        return why->set("TGA image type %u is not taken (1, 2, 3, 9, 10 and 11 are)", type);
    if ((grey_image && bits != 8) || (true_colour && !tga_colour_bits(bits)) ||
        (mapped && bits != 8))
        return why->set("a TGA of image type %u with %u bits per pixel is not taken", type, bits);
    if (map_type > 1 || (mapped && map_type != 1))
        return why->set("TGA colour map type %u with image type %u is not taken", map_type, type);
    if (mapped && !tga_colour_bits(map_bits))
        return why->set("a TGA colour map of %u-bit entries is not taken (15, 16, 24 and 32 are)",
                        map_bits);
    if (!size_ok(width, height))
        return why->set("a TGA of %u x %u pixels is not taken", width, height);
    size_t map_offset = 18 + id_length;
    size_t map_bytes = map_type ? (size_t)map_length * ((map_bits + 7) / 8) : 0;
    if (!file.has(map_offset, map_bytes))
        return why->set("the TGA colour map is cut short");
    size_t offset = map_offset + map_bytes;
    // The alpha bits of the descriptor tell whether the top bit of 16-bit
    // colours, or the fourth byte of 32-bit ones, is alpha.
    uint32_t colour_bits = mapped ? map_bits : bits;
    bool alpha = (colour_bits == 32 && attribute_bits > 0) ||
                 (colour_bits == 16 && attribute_bits == 1);
    d3d_pixel_layout layout;
    d3d_pixel_layout_make(grey_image ? d3d_masks_format(8, 0xFF, 0xFF, 0xFF, 0)
                                     : tga_format(colour_bits, alpha),
                          &layout);
    // The colours of the map's entries that 8-bit pixel values reach: entry
    // `i` is the colour of pixel value map_first + i.
    DWORD map_argb[256];
    uint32_t reachable = 0;
    if (mapped) {
        reachable = map_first < 256 ? std::min<uint32_t>(map_length, 256 - map_first) : 0;
        d3d_pixels_to_argb(layout, file.data + map_offset, map_argb, reachable);
    }
    size_t pixel_bytes = (bits + 7) / 8;
    // Colours of `count` pixels as stored; false when a pixel value lies
    // outside the colour map.
    auto convert = [&](const uint8_t* from, DWORD* out, size_t count) {
        if (!mapped) {
            d3d_pixels_to_argb(layout, from, out, (DWORD)count);
            return true;
        }
        for (size_t i = 0; i < count; ++i) {
            if (from[i] < map_first || from[i] - map_first >= reachable)
                return false;
            out[i] = map_argb[from[i] - map_first];
        }
        return true;
    };

    if (!add_level(image, width, height))
        return D3DXERR_NOMEMORY;
    platform_image_level& level = image->levels[0];
    bool top_down = (descriptor & 0x20) != 0, right_to_left = (descriptor & 0x10) != 0;
    // Pixels come row by row in file order; a run of them may go on into the
    // next row.
    size_t total = (size_t)width * height;
    size_t done = 0;
    while (done < total) {
        size_t run = total - done;  // an uncompressed image is one raw run
        bool repeat = false;
        if (rle) {
            if (!file.has(offset, 1))
                return why->set("the TGA's run-length packets end before its last pixel");
            uint32_t packet = file.u8(offset++);
            run = (packet & 0x7F) + 1;
            repeat = (packet & 0x80) != 0;
            if (run > total - done)
                return why->set("a TGA run of %zu pixels goes past the last pixel", run);
        }
        size_t bytes = (repeat ? 1 : run) * pixel_bytes;
        if (!file.has(offset, bytes))
            return why->set("the TGA's pixels are cut short");
        DWORD repeated = 0;
        if (repeat && !convert(file.data + offset, &repeated, 1))
            return why->set("a TGA pixel value lies outside the colour map");
        for (size_t placed = 0; placed < run;) {
            size_t x = done % width, y = done / width;
            size_t count = std::min(run - placed, (size_t)width - x);
            DWORD* out = pixel_at(level, (DWORD)x, top_down ? (DWORD)y : height - 1 - (DWORD)y);
            if (repeat)
                std::fill_n(out, count, repeated);
            else if (!convert(file.data + offset + placed * pixel_bytes, out, count))
                return why->set("a TGA pixel value lies outside the colour map");
            placed += count;
            done += count;
        }
        offset += bytes;
    }
    if (right_to_left)
        for (DWORD y = 0; y < height; ++y)
            std::reverse(pixel_at(level, 0, y), pixel_at(level, 0, y) + width);
    image->has_alpha = alpha;
    return D3D_OK;
}

// ---- BMP

enum : uint32_t { BMP_RGB = 0, BMP_RLE8 = 1, BMP_RLE4 = 2, BMP_BITFIELDS = 3 };

// Pixel `i` of a row of `bits`-bit palette indices (1, 4 or 8), the first
// in a byte's high bits.
uint32_t packed_index(const uint8_t* bytes, uint32_t i, uint32_t bits)
{
    return (bytes[i * bits / 8] >> (8 - bits - i * bits % 8)) & ((1u << bits) - 1);
}

// The palette of a palette BMP as colours.
struct bmp_palette {
    const uint8_t* entries;
    size_t entry_bytes;
    uint32_t count;

    DWORD colour(uint32_t index) const
    {
        const uint8_t* entry = entries + index * entry_bytes;
        return 0xFF000000u | (DWORD)entry[2] << 16 | (DWORD)entry[1] << 8 | entry[0];
    }
};

// Run-length encoded pixels (RLE8, or RLE4 with `bits` 4) from `offset` to
// the end of the file, bottom row first. Pairs of bytes: a count and a pixel
// value (two alternating values for RLE4), or 0 and an escape: 0 ends the
// row, 1 the bitmap, 2 moves right and up by the next two bytes, more is
// that many pixels stored as they are, padded to a whole 16-bit word. What
// the runs skip keeps the colour of index 0, and what lies past a row's end
// is dropped.
HRESULT decode_bmp_runs(const bytes_view& file, size_t offset, uint32_t bits,
                        const bmp_palette& palette, platform_image_level& level, refusal* why)
{
    std::fill_n(level.argb, (size_t)level.width * level.height, palette.colour(0));
    DWORD x = 0, y = 0;  // y counts rows from the bottom one
    auto put = [&](uint32_t index) {
        if (index >= palette.count)
            return false;
        if (x < level.width && y < level.height)  // else past the row's end: dropped
            *pixel_at(level, x, level.height - 1 - y) = palette.colour(index);
        ++x;
        return true;
    };
    auto outside = [&](uint32_t index) {
        return why->set("a BMP pixel value %u lies outside its %u colours", index, palette.count);
    };
    for (;;) {
        if (!file.has(offset, 2)) {
            // The end marks may be left out after the last row's last pixel.
            if (y >= level.height || (y + 1 == level.height && x >= level.width))
                return D3D_OK;
            return why->set("the BMP's RLE%u data ends in row %u of %u", bits, y, level.height);
        }
        uint32_t count = file.u8(offset), value = file.u8(offset + 1);
        offset += 2;
        if (count > 0) {
            const uint8_t pair = (uint8_t)value;  // RLE4: two values in turn
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t index = packed_index(&pair, i % (8 / bits), bits);
                if (!put(index))
                    return outside(index);
            }
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return D3D_OK;
        } else if (value == 2) {
            if (!file.has(offset, 2))
                return why->set("the BMP's RLE%u data ends in a move", bits);
            x += file.u8(offset);
            y += file.u8(offset + 1);
            offset += 2;
        } else {
            size_t bytes = bits == 8 ? value : (value + 1) / 2;
            if (!file.has(offset, bytes))
                return why->set("the BMP's RLE%u data ends in a run of %u pixels", bits, value);
            for (uint32_t i = 0; i < value; ++i) {
                uint32_t index = packed_index(file.data + offset, i, bits);
                if (!put(index))
                    return outside(index);
            }
            offset += bytes + (bytes & 1);
        }
    }
}

HRESULT decode_bmp(const bytes_view& file, platform_image* image, refusal* why)
{
    if (!file.has(0, 26) || file.data[0] != 'B' || file.data[1] != 'M')
        return why->set("it is no BMP (no \"BM\" and header)");
    uint32_t bits_offset = file.u32(10), header_size = file.u32(14);
    int64_t width, height;
    uint32_t bits, compression = BMP_RGB, colours_used = 0, planes;
    size_t palette_entry = 4;
    DWORD red = 0, green = 0, blue = 0, alpha = 0;
    if (header_size == 12) {
        width = file.u16(18);
        height = (int16_t)file.u16(20);
        planes = file.u16(22);
        bits = file.u16(24);
        palette_entry = 3;
    } else if (header_size >= 40 && file.has(14, header_size)) {
        width = (int32_t)file.u32(18);
        height = (int32_t)file.u32(22);
        planes = file.u16(26);
        bits = file.u16(28);
        compression = file.u32(30);
        colours_used = file.u32(46);
        if (compression == BMP_BITFIELDS) {  // masks: in the header, or right after it
            size_t masks = header_size >= 52 ? 54 : 14 + header_size;
            if (!file.has(masks, 12))
                return why->set("the BMP's bit-field masks are cut short");
            red = file.u32(masks);
            green = file.u32(masks + 4);
            blue = file.u32(masks + 8);
            if (header_size >= 56)
                alpha = file.u32(66);
        }
    } else if (header_size >= 40) {
        return why->set("the BMP header of %u bytes is cut short", header_size);
    } else {
        return why->set("a BMP header of %u bytes is not taken (12, or 40 and more, are)",
                        header_size);
    }
    bool top_down = height < 0;
    if (top_down)
        height = -height;
    if (planes != 1)
        return why->set("a BMP of %u planes is not taken", planes);
    if (!size_ok((uint32_t)(width < 0 ? 0 : width), (uint32_t)height))
        return why->set("a BMP of %lld x %lld pixels is not taken", (long long)width,
                        (long long)height);
    bool palette = bits == 1 || bits == 4 || bits == 8;
    bool runs = (compression == BMP_RLE8 && bits == 8) || (compression == BMP_RLE4 && bits == 4);
    DDPIXELFORMAT format = {};
    if (palette && (compression == BMP_RGB || runs)) {
        if (colours_used == 0 || colours_used > (1u << bits))
            colours_used = 1u << bits;
    } else if (compression == BMP_RGB && (bits == 16 || bits == 24 || bits == 32)) {
        format = bits == 16 ? d3d_masks_format(16, 0x7C00, 0x03E0, 0x001F, 0)
                            : d3d_masks_format(bits, 0xFF0000, 0xFF00, 0xFF, 0);
    } else if (compression == BMP_BITFIELDS && (bits == 16 || bits == 32) && red && green && blue &&
               masks_contiguous({red, green, blue, alpha})) {
        format = d3d_masks_format(bits, red, green, blue, alpha);
    } else if (compression == BMP_BITFIELDS) {
        return why->set("BMP bit-field masks %08X %08X %08X %08X over %u bits are not taken", red,
                        green, blue, alpha, bits);
    } else {
        static const char* const names[] = {"none", "RLE8", "RLE4", "bit fields", "JPEG", "PNG"};
        return why->set("a BMP of %u bits per pixel with compression %u (%s) is not taken", bits,
                        compression, compression < 6 ? names[compression] : "unknown");
    }
    if (runs && top_down)
        return why->set("a top-down BMP cannot be run-length encoded");
    size_t palette_offset = 14 + header_size;
    if (palette && !file.has(palette_offset, colours_used * palette_entry))
        return why->set("the BMP's palette of %u colours is cut short", colours_used);
    size_t stride = ((size_t)width * bits + 31) / 32 * 4;
    if (!runs && !file.has(bits_offset, stride * (size_t)height))
        return why->set("the BMP's pixels are cut short");
    if (runs && !file.has(bits_offset, 0))
        return why->set("the BMP's pixels begin past its end");

    if (!add_level(image, (DWORD)width, (DWORD)height))
        return D3DXERR_NOMEMORY;
    platform_image_level& level = image->levels[0];
    bmp_palette colours = {file.data + palette_offset, palette_entry, colours_used};
    if (runs)
        return decode_bmp_runs(file, bits_offset, bits, colours, level, why);
    d3d_pixel_layout layout;
    if (!palette)
        d3d_pixel_layout_make(format, &layout);
    for (DWORD row = 0; row < (DWORD)height; ++row) {
        const uint8_t* line = file.data + bits_offset + stride * row;
        DWORD y = top_down ? row : (DWORD)height - 1 - row;
        if (!palette) {
            d3d_pixels_to_argb(layout, line, pixel_at(level, 0, y), (DWORD)width);
            continue;
        }
        for (DWORD x = 0; x < (DWORD)width; ++x) {
            uint32_t index = packed_index(line, x, bits);
            if (index >= colours_used)
                return why->set("a BMP pixel value %u lies outside its %u colours", index,
                                colours_used);
            *pixel_at(level, x, y) = colours.colour(index);
        }
    }
    image->has_alpha = alpha != 0;
    return D3D_OK;
}

// ---- DDS

DWORD rgb565(uint32_t value)
{
    uint32_t r = value >> 11 & 0x1F, g = value >> 5 & 0x3F, b = value & 0x1F;
    return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}

// Channel-wise (a * wa + b * wb) / (wa + wb) of two opaque colours.
DWORD mix(DWORD a, DWORD b, uint32_t wa, uint32_t wb)
{
    DWORD result = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        result |= (((a >> shift & 0xFF) * wa + (b >> shift & 0xFF) * wb) / (wa + wb)) << shift;
    return result;
}

// The 16 colours of a colour block; `three_colour` allows the mode with a
// transparent fourth colour (DXT1 only).
void colour_block(const uint8_t* block, bool three_colour, DWORD texels[16])
{
    uint32_t c0 = block[0] | (uint32_t)block[1] << 8, c1 = block[2] | (uint32_t)block[3] << 8;
    DWORD colours[4] = {rgb565(c0), rgb565(c1), 0, 0};
    if (c0 > c1 || !three_colour) {
        colours[2] = mix(colours[0], colours[1], 2, 1);
        colours[3] = mix(colours[0], colours[1], 1, 2);
    } else {
        colours[2] = mix(colours[0], colours[1], 1, 1);
        colours[3] = 0;  // transparent black
    }
    uint32_t indices = block[4] | (uint32_t)block[5] << 8 | (uint32_t)block[6] << 16 |
                       (uint32_t)block[7] << 24;
    for (int i = 0; i < 16; ++i)
        texels[i] = colours[indices >> (2 * i) & 3];
}

void alpha_block_explicit(const uint8_t* block, DWORD texels[16])
{
    for (int i = 0; i < 16; ++i) {
        uint32_t nibble = block[i / 2] >> (4 * (i % 2)) & 0x0F;
        texels[i] = (texels[i] & 0x00FFFFFFu) | (nibble * 17) << 24;
    }
}

void alpha_block_interpolated(const uint8_t* block, DWORD texels[16])
{
    uint32_t a0 = block[0], a1 = block[1];
    uint32_t alphas[8] = {a0, a1};
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i)
            alphas[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (uint32_t i = 1; i < 5; ++i)
            alphas[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        alphas[6] = 0;
        alphas[7] = 255;
    }
    uint64_t indices = 0;
    for (int i = 0; i < 6; ++i)
        indices |= (uint64_t)block[2 + i] << (8 * i);
    for (int i = 0; i < 16; ++i)
        texels[i] = (texels[i] & 0x00FFFFFFu) | alphas[indices >> (3 * i) & 7] << 24;
}

enum : uint32_t {
    DDS_MIPMAPCOUNT = 0x20000,
    DDS_FOURCC = 0x4,
    DDS_RGB = 0x40,
    DDS_ALPHAPIXELS = 0x1,
    DDS_CUBEMAP = 0x200,
    DDS_VOLUME = 0x200000,
};

uint32_t fourcc(const char* code)
{
    return (uint32_t)(uint8_t)code[0] | (uint32_t)(uint8_t)code[1] << 8 |
           (uint32_t)(uint8_t)code[2] << 16 | (uint32_t)(uint8_t)code[3] << 24;
}

// A byte of a four-character code as it is shown in a line.
char printable(uint32_t byte)
{
    byte &= 0xFF;
    return byte >= 0x20 && byte < 0x7F ? (char)byte : '?';
}

HRESULT decode_dds(const bytes_view& file, platform_image* image, refusal* why)
{
    const size_t data_offset = 128;
    if (!file.has(0, data_offset) || file.u32(0) != fourcc("DDS ") || file.u32(4) != 124)
        return why->set("the DDS header is cut short or not of 124 bytes");
    uint32_t flags = file.u32(8), height = file.u32(12), width = file.u32(16);
    uint32_t mipmaps = file.u32(28), format_flags = file.u32(80), code = file.u32(84);
    uint32_t caps2 = file.u32(112);
    if (!size_ok(width, height))
        return why->set("a DDS of %u x %u pixels is not taken", width, height);
    if (caps2 & (DDS_CUBEMAP | DDS_VOLUME))
        return why->set("a DDS %s is not taken", caps2 & DDS_CUBEMAP ? "cube map" : "volume");
    // The stored count is unsigned and may be anything: it is bounded by the
    // full chain before it becomes a level number.
    uint32_t stored = (flags & DDS_MIPMAPCOUNT) && mipmaps > 0 ? mipmaps : 1;
    uint32_t full = (uint32_t)platform_image_full_chain(width, height);
    int levels = (int)(stored < full ? stored : full);

    size_t block_bytes = 0;
    DDPIXELFORMAT format = {};
    if (format_flags & DDS_FOURCC) {
        if (code == fourcc("DXT1"))
            image->format = D3DX_SF_DXT1, block_bytes = 8;
        else if (code == fourcc("DXT3"))
            image->format = D3DX_SF_DXT3, block_bytes = 16;
        else if (code == fourcc("DXT5"))
            image->format = D3DX_SF_DXT5, block_bytes = 16;
        else
            return why->set(
                "the DDS block format '%c%c%c%c' is not taken (DXT1, DXT3 and DXT5 are)",
                printable(code), printable(code >> 8), printable(code >> 16),
                printable(code >> 24));
    } else if (format_flags & DDS_RGB) {
        uint32_t bits = file.u32(88);
        uint32_t alpha = (format_flags & DDS_ALPHAPIXELS) ? file.u32(104) : 0;
        if ((bits != 16 && bits != 24 && bits != 32) || !file.u32(92) || !file.u32(96) ||
            !file.u32(100) || !masks_contiguous({file.u32(92), file.u32(96), file.u32(100), alpha}))
            return why->set("DDS pixels of %u bits with masks %08X %08X %08X %08X are not taken",
                            bits, file.u32(92), file.u32(96), file.u32(100), alpha);
        format = d3d_masks_format(bits, file.u32(92), file.u32(96), file.u32(100), alpha);
        image->has_alpha = alpha != 0;
    } else {
        return why->set("DDS pixels of format flags 0x%X are not taken (RGB or DXT blocks are)",
                        format_flags);
    }

    size_t offset = data_offset;
    for (int index = 0; index < levels; ++index) {
        DWORD level_width = width >> index ? width >> index : 1;
        DWORD level_height = height >> index ? height >> index : 1;
        size_t across = (level_width + 3) / 4, down = (level_height + 3) / 4;
        size_t pixel_bytes = format.dwRGBBitCount / 8;
        size_t bytes = block_bytes ? across * down * block_bytes
                                   : (size_t)level_width * level_height * pixel_bytes;
        if (!file.has(offset, bytes))
            return why->set("the DDS level %d of %u is cut short", index + 1, levels);
        if (!add_level(image, level_width, level_height))
            return D3DXERR_NOMEMORY;
        platform_image_level& level = image->levels[index];
        const uint8_t* data = file.data + offset;
        if (!block_bytes) {
            d3d_pixel_layout layout;
            d3d_pixel_layout_make(format, &layout);
            for (DWORD y = 0; y < level_height; ++y)
                d3d_pixels_to_argb(layout, data + (size_t)y * level_width * pixel_bytes,
                                   pixel_at(level, 0, y), level_width);
        }
        for (size_t b = 0; block_bytes && b < across * down; ++b) {
            const uint8_t* block = data + b * block_bytes;
            DWORD texels[16];
            if (image->format == D3DX_SF_DXT1) {
                colour_block(block, true, texels);
            } else {
                colour_block(block + 8, false, texels);
                if (image->format == D3DX_SF_DXT3)
                    alpha_block_explicit(block, texels);
                else
                    alpha_block_interpolated(block, texels);
            }
            for (int i = 0; i < 16; ++i) {
                DWORD x = (DWORD)(b % across * 4 + i % 4), y = (DWORD)(b / across * 4 + i / 4);
                if (x < level_width && y < level_height)
                    *pixel_at(level, x, y) = texels[i];
            }
        }
        offset += bytes;
    }
    return D3D_OK;
}

// The whole file, or NULL when it cannot be read: a directory, or a size
// beyond what is read whole, is reported and refused before anything is
// allocated.
uint8_t* read_file(const char* path, size_t* size)
{
    FILE* file = path ? platform_fopen(path, "rb") : nullptr;
    if (!file) {
        if (errno == EISDIR)
            PLATFORM_ERROR("The image '%s' is not a file: it is a directory", path);
        return nullptr;
    }
    uint8_t* data = nullptr;
    long long length = platform_file_size(file);
    if (length > PLATFORM_MAX_WHOLE_FILE)
        PLATFORM_ERROR("The image '%s' has %lld bytes, more than the %lld read whole", path, length,
                       PLATFORM_MAX_WHOLE_FILE);
    else if (length >= 0)
        data = (uint8_t*)malloc(length > 0 ? (size_t)length : 1);
    if (data && fread(data, 1, (size_t)length, file) != (size_t)length) {
        free(data);
        data = nullptr;
    }
    fclose(file);
    if (data)
        *size = (size_t)length;
    return data;
}

// Decodes the file's bytes; a refusal is reported in one line that names the
// file and what of it was not taken.
HRESULT decode(const char* path, const uint8_t* data, size_t size, platform_image_kind kind,
               platform_image* image)
{
    bytes_view file = {data, size};
    refusal why = {};
    HRESULT result;
    if (kind == PLATFORM_IMAGE_BMP || (file.has(0, 2) && data[0] == 'B' && data[1] == 'M'))
        result = decode_bmp(file, image, &why);
    else if (file.has(0, 4) && file.u32(0) == fourcc("DDS "))
        result = decode_dds(file, image, &why);
    else if (file.has(0, 8) && memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        result = why.set("it is a PNG file, which the texture cache reads itself for a name "
                         "given without its extension");
    else
        result = decode_tga(file, image, &why);
    if (SUCCEEDED(result) && image->level_count < 1)
        result = why.set("it holds no level");  // every user takes level 0
    if (FAILED(result)) {
        if (result == D3DXERR_NOMEMORY)
            PLATFORM_ERROR("The image '%s' does not fit in memory", path);
        else
            PLATFORM_ERROR("The image '%s' is refused: %s", path, why.text);
        platform_image_free(image);
        return result;
    }
    if (image->format == D3DX_SF_UNKNOWN)
        image->format = image->has_alpha ? D3DX_SF_A8R8G8B8 : D3DX_SF_X8R8G8B8;
    return result;
}

}  // namespace

HRESULT platform_image_load(const char* path, platform_image_kind kind, platform_image* image)
{
    memset(image, 0, sizeof *image);
    size_t size = 0;
    uint8_t* data = read_file(path, &size);
    if (!data)
        return DDERR_NOTFOUND;
    HRESULT result = decode(path, data, size, kind, image);
    free(data);
    return result;
}

void platform_image_free(platform_image* image)
{
    for (int i = 0; i < image->level_count; ++i)
        free(image->levels[i].argb);
    memset(image, 0, sizeof *image);
}

int platform_image_full_chain(DWORD width, DWORD height)
{
    int levels = 1;
    while ((width > 1 || height > 1) && levels < PLATFORM_IMAGE_MAX_LEVELS) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}
