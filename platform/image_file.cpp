// TGA, BMP and DDS decoding into 32-bit pixels.
#include "platform/image_file.h"

#include <algorithm>
#include <cerrno>
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

HRESULT decode_tga(const bytes_view& file, platform_image* image)
{
    if (!file.has(0, 18))
        return D3DXERR_INVALIDFILEFORMAT;
    uint32_t id_length = file.u8(0), map_type = file.u8(1), type = file.u8(2);
    uint32_t map_length = file.u16(5), map_bits = file.u8(7);
    uint32_t width = file.u16(12), height = file.u16(14), bits = file.u8(16);
    uint32_t descriptor = file.u8(17), attribute_bits = descriptor & 0x0F;
    bool rle = type == 10 || type == 11;
    bool grey_image = type == 3 || type == 11;
    bool true_colour = type == 2 || type == 10;
    if (!(grey_image && bits == 8) &&
        !(true_colour && (bits == 15 || bits == 16 || bits == 24 || bits == 32)))
        return D3DXERR_INVALIDFILEFORMAT;
    if (map_type > 1 || !size_ok(width, height))
        return D3DXERR_INVALIDFILEFORMAT;
    size_t offset = 18 + id_length + (map_type ? (size_t)map_length * ((map_bits + 7) / 8) : 0);
    bool alpha = (bits == 32 && attribute_bits > 0) || (bits == 16 && attribute_bits == 1);
    DDPIXELFORMAT format = {};
    if (grey_image)
        format = d3d_masks_format(8, 0xFF, 0xFF, 0xFF, 0);
    else if (bits == 15 || bits == 16)
        format = d3d_masks_format(16, 0x7C00, 0x03E0, 0x001F, alpha ? 0x8000 : 0);
    else
        format = d3d_masks_format(bits, 0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0);
    d3d_pixel_layout layout;
    d3d_pixel_layout_make(format, &layout);
    size_t pixel_bytes = (bits + 7) / 8;

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
                return D3DXERR_INVALIDFILEFORMAT;
            uint32_t packet = file.u8(offset++);
            run = (packet & 0x7F) + 1;
            repeat = (packet & 0x80) != 0;
            if (run > total - done)
                return D3DXERR_INVALIDFILEFORMAT;
        }
        size_t bytes = (repeat ? 1 : run) * pixel_bytes;
        if (!file.has(offset, bytes))
            return D3DXERR_INVALIDFILEFORMAT;
        DWORD repeated = 0;
        if (repeat)
            d3d_pixels_to_argb(layout, file.data + offset, &repeated, 1);
        for (size_t placed = 0; placed < run;) {
            size_t x = done % width, y = done / width;
            size_t count = std::min(run - placed, (size_t)width - x);
            DWORD* out = pixel_at(level, (DWORD)x, top_down ? (DWORD)y : height - 1 - (DWORD)y);
            if (repeat)
                std::fill_n(out, count, repeated);
            else
                d3d_pixels_to_argb(layout, file.data + offset + placed * pixel_bytes, out,
                                   (DWORD)count);
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

HRESULT decode_bmp(const bytes_view& file, platform_image* image)
{
    if (!file.has(0, 26) || file.data[0] != 'B' || file.data[1] != 'M')
        return D3DXERR_INVALIDFILEFORMAT;
    uint32_t bits_offset = file.u32(10), header_size = file.u32(14);
    int64_t width, height;
    uint32_t bits, compression = 0, colours_used = 0, planes;
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
        if (compression == 3) {  // bit-field masks: in the header, or right after it
            size_t masks = header_size >= 52 ? 54 : 14 + header_size;
            if (!file.has(masks, 12))
                return D3DXERR_INVALIDFILEFORMAT;
            red = file.u32(masks);
            green = file.u32(masks + 4);
            blue = file.u32(masks + 8);
            if (header_size >= 56)
                alpha = file.u32(66);
        }
    } else {
        return D3DXERR_INVALIDFILEFORMAT;
    }
    bool top_down = height < 0;
    if (top_down)
        height = -height;
    if (planes != 1 || !size_ok((uint32_t)(width < 0 ? 0 : width), (uint32_t)height))
        return D3DXERR_INVALIDFILEFORMAT;
    bool palette = bits == 1 || bits == 4 || bits == 8;
    DDPIXELFORMAT format = {};
    if (palette && compression == 0) {
        if (colours_used == 0 || colours_used > (1u << bits))
            colours_used = 1u << bits;
    } else if (compression == 0 && (bits == 16 || bits == 24 || bits == 32)) {
        format = bits == 16 ? d3d_masks_format(16, 0x7C00, 0x03E0, 0x001F, 0)
                            : d3d_masks_format(bits, 0xFF0000, 0xFF00, 0xFF, 0);
    } else if (compression == 3 && (bits == 16 || bits == 32) && red && green && blue &&
               masks_contiguous({red, green, blue, alpha})) {
        format = d3d_masks_format(bits, red, green, blue, alpha);
    } else {
        return D3DXERR_INVALIDFILEFORMAT;  // run-length encoded and unknown layouts
    }
    size_t palette_offset = 14 + header_size;
    if (palette && !file.has(palette_offset, colours_used * palette_entry))
        return D3DXERR_INVALIDFILEFORMAT;
    size_t stride = ((size_t)width * bits + 31) / 32 * 4;
    if (!file.has(bits_offset, stride * (size_t)height))
        return D3DXERR_INVALIDFILEFORMAT;

    if (!add_level(image, (DWORD)width, (DWORD)height))
        return D3DXERR_NOMEMORY;
    platform_image_level& level = image->levels[0];
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
            uint32_t index = (line[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1u << bits) - 1);
            if (index >= colours_used)
                return D3DXERR_INVALIDFILEFORMAT;
            const uint8_t* entry = file.data + palette_offset + index * palette_entry;
            *pixel_at(level, x, y) = 0xFF000000u | (DWORD)entry[2] << 16 | (DWORD)entry[1] << 8 |
                                     entry[0];
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

HRESULT decode_dds(const bytes_view& file, platform_image* image)
{
    const size_t data_offset = 128;
    if (!file.has(0, data_offset) || file.u32(0) != fourcc("DDS ") || file.u32(4) != 124)
        return D3DXERR_INVALIDFILEFORMAT;
    uint32_t flags = file.u32(8), height = file.u32(12), width = file.u32(16);
    uint32_t mipmaps = file.u32(28), format_flags = file.u32(80), code = file.u32(84);
    uint32_t caps2 = file.u32(112);
    if (!size_ok(width, height) || (caps2 & (DDS_CUBEMAP | DDS_VOLUME)))
        return D3DXERR_INVALIDFILEFORMAT;
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
            return D3DXERR_INVALIDFILEFORMAT;
    } else if (format_flags & DDS_RGB) {
        uint32_t bits = file.u32(88);
        uint32_t alpha = (format_flags & DDS_ALPHAPIXELS) ? file.u32(104) : 0;
        if ((bits != 16 && bits != 24 && bits != 32) || !file.u32(92) || !file.u32(96) ||
            !file.u32(100) || !masks_contiguous({file.u32(92), file.u32(96), file.u32(100), alpha}))
            return D3DXERR_INVALIDFILEFORMAT;
        format = d3d_masks_format(bits, file.u32(92), file.u32(96), file.u32(100), alpha);
        image->has_alpha = alpha != 0;
    } else {
        return D3DXERR_INVALIDFILEFORMAT;
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
            return D3DXERR_INVALIDFILEFORMAT;
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

HRESULT decode(const uint8_t* data, size_t size, platform_image_kind kind, platform_image* image)
{
    bytes_view file = {data, size};
    HRESULT result;
    if (kind == PLATFORM_IMAGE_BMP || (file.has(0, 2) && data[0] == 'B' && data[1] == 'M'))
        result = decode_bmp(file, image);
    else if (file.has(0, 4) && file.u32(0) == fourcc("DDS "))
        result = decode_dds(file, image);
    else
        result = decode_tga(file, image);
    if (SUCCEEDED(result) && image->level_count < 1)
        result = D3DXERR_INVALIDFILEFORMAT;  // every user takes level 0
    if (FAILED(result)) {
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
    HRESULT result = decode(data, size, kind, image);
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
