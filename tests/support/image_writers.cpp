#include "image_writers.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <sstream>

#include <png.h>

ImageBytes& ImageBytes::word(uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes_.push_back((char)(value >> shift & 0xff));
    return *this;
}

ImageBytes& ImageBytes::real(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return word(bits);
}

ImageBytes& ImageBytes::half(uint16_t value)
{
    bytes_.push_back((char)(value & 0xff));
    bytes_.push_back((char)(value >> 8));
    return *this;
}

ImageBytes& ImageBytes::words(std::initializer_list<uint32_t> values)
{
    for (uint32_t value : values)
        word(value);
    return *this;
}

ImageBytes& ImageBytes::reals(std::initializer_list<float> values)
{
    for (float value : values)
        real(value);
    return *this;
}

ImageBytes& ImageBytes::halves(std::initializer_list<uint16_t> values)
{
    for (uint16_t value : values)
        half(value);
    return *this;
}

ImageBytes& ImageBytes::str(const std::string& text)
{
    word((uint32_t)text.size() + 1);
    bytes_ += text;
    bytes_.push_back('\0');
    // The padding counts from the string's own length, not from its offset.
    for (size_t length = text.size() + 1; length % 4 != 0; ++length)
        bytes_.push_back('\0');
    return *this;
}

ImageBytes& ImageBytes::raw(const std::string& bytes)
{
    bytes_ += bytes;
    return *this;
}

std::string bytes_of(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes.push_back((char)value);
    return bytes;
}

std::string tga_image(int width, int height, int bits, bool rle, int descriptor,
                      const Pixels& pixels)
{
    int type = bits == 8 ? (rle ? 11 : 3) : (rle ? 10 : 2);
    ImageBytes out;
    out.raw(bytes_of({0, 0, type})).raw(std::string(5, '\0')).half(0).half(0);
    out.half((uint16_t)width).half((uint16_t)height).raw(bytes_of({bits, descriptor}));
    auto pixel = [&](uint32_t argb) {
        if (bits == 8)
            return bytes_of({(int)(argb & 0xFF)});
        if (bits == 16) {
            int value = (int)((argb >> 31) << 15 | ((argb >> 19) & 31) << 10 |
                              ((argb >> 11) & 31) << 5 | ((argb >> 3) & 31));
            return bytes_of({value & 0xFF, value >> 8});
        }
        std::string bgr = bytes_of(
            {(int)(argb & 0xFF), (int)(argb >> 8 & 0xFF), (int)(argb >> 16 & 0xFF)});
        return bits == 32 ? bgr + bytes_of({(int)(argb >> 24)}) : bgr;
    };
    for (int row = 0; row < height; ++row) {
        int y = (descriptor & 0x20) ? row : height - 1 - row;
        const uint32_t* line = &pixels[(size_t)y * width];
        if (rle && std::count(line, line + width, line[0]) == width) {
            out.raw(bytes_of({0x80 | (width - 1)})).raw(pixel(line[0]));
            continue;
        }
        if (rle)
            out.raw(bytes_of({width - 1}));
        for (int x = 0; x < width; ++x)
            out.raw(pixel(line[x]));
    }
    return out.bytes();
}

std::string bmp_image(int width, int height, const Pixels& pixels, const Pixels& palette)
{
    int bits = palette.empty() ? 24 : 8;
    int stride = (width * bits + 31) / 32 * 4;
    int palette_bytes = (int)palette.size() * 4;
    ImageBytes out;
    out.raw("BM").word(54 + palette_bytes + stride * height).word(0).word(54 + palette_bytes);
    out.word(40).word((uint32_t)width).word((uint32_t)(bits == 8 ? -height : height));
    out.half(1).half((uint16_t)bits).word(0).word(0).word(0).word(0);
    out.word((uint32_t)palette.size()).word(0);
    for (uint32_t colour : palette)
        out.word(colour & 0xFFFFFF);
    for (int row = 0; row < height; ++row) {
        int y = bits == 8 ? row : height - 1 - row;
        std::string line;
        for (int x = 0; x < width; ++x) {
            uint32_t value = pixels[(size_t)y * width + x];
            line += bits == 8 ? bytes_of({(int)value})
                              : bytes_of({(int)(value & 0xFF), (int)(value >> 8 & 0xFF),
                                          (int)(value >> 16 & 0xFF)});
        }
        line.resize((size_t)stride, '\0');
        out.raw(line);
    }
    return out.bytes();
}

std::string tga_mapped_image(int type, int width, int height, int first, int map_bits,
                             const std::string& map, int descriptor, const std::string& pixels)
{
    int entry_bytes = (map_bits + 7) / 8;
    ImageBytes out;
    out.raw(bytes_of({0, 1, type})).half((uint16_t)first);
    out.half((uint16_t)(map.size() / entry_bytes)).raw(bytes_of({map_bits}));
    out.half(0).half(0).half((uint16_t)width).half((uint16_t)height);
    return out.raw(bytes_of({8, descriptor})).raw(map).raw(pixels).bytes();
}

std::string bmp_rle_image(int width, int height, int bits, const Pixels& palette,
                          const std::string& pixels)
{
    uint32_t offset = 14 + 40 + 4 * (uint32_t)palette.size();
    ImageBytes out;
    out.raw("BM").word(offset + (uint32_t)pixels.size()).word(0).word(offset).word(40);
    out.word((uint32_t)width).word((uint32_t)height).half(1).half((uint16_t)bits);
    out.word(bits == 8 ? 1 : 2).word((uint32_t)pixels.size()).word(0).word(0);
    out.word((uint32_t)palette.size()).word(0);
    for (uint32_t colour : palette)
        out.word(colour & 0xFFFFFF);
    return out.raw(pixels).bytes();
}

std::string dds_header(int width, int height, int levels, const char* code)
{
    ImageBytes out;
    out.raw("DDS ").word(124).word(0x1007 | (levels > 1 ? 0x20000 : 0)).word((uint32_t)height);
    out.word((uint32_t)width).word(0).word(0).word((uint32_t)levels);
    for (int i = 0; i < 11; ++i)
        out.word(0);
    out.word(32).word(code ? 0x4 : 0x41);
    if (code)
        out.raw(code).word(0).word(0).word(0).word(0).word(0);
    else
        out.word(0).word(32).word(0xFF0000).word(0xFF00).word(0xFF).word(0xFF000000);
    out.word(0x1000).word(0).word(0).word(0).word(0);
    return out.bytes();
}

std::string dxt_colour_block(int c0, int c1, std::initializer_list<int> indices)
{
    uint32_t bits = 0;
    int i = 0;
    for (int index : indices)
        bits |= (uint32_t)index << (2 * i++);
    return ImageBytes().half((uint16_t)c0).half((uint16_t)c1).word(bits).bytes();
}

namespace {

void append(png_structp png, png_bytep data, png_size_t length)
{
    ((std::string*)png_get_io_ptr(png))->append((const char*)data, length);
}

void flush(png_structp) {}

}  // namespace

std::string png_file(const PngLayout& layout)
{
    // Everything with a destructor is made before libpng may jump back.
    std::string* out = new std::string();
    std::vector<png_color> palette;
    for (uint32_t colour : layout.palette)
        palette.push_back({(png_byte)(colour >> 16), (png_byte)(colour >> 8), (png_byte)colour});
    std::vector<png_bytep> rows;
    for (const std::string& row : layout.rows)
        rows.push_back((png_bytep)row.data());
    png_color_16 trans = {};
    trans.red = (png_uint_16)layout.trans_red;
    trans.green = (png_uint_16)layout.trans_green;
    trans.blue = (png_uint_16)layout.trans_blue;
    trans.gray = (png_uint_16)layout.trans_red;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        delete out;
        return std::string();
    }
    png_set_write_fn(png, out, append, flush);
    png_set_IHDR(png, info, (png_uint_32)layout.width, (png_uint_32)layout.height, layout.bit_depth,
                 layout.color_type, layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), (int)palette.size());
    if (!layout.palette_alpha.empty())
        png_set_tRNS(png, info, (png_const_bytep)layout.palette_alpha.data(),
                     (int)layout.palette_alpha.size(), nullptr);
    else if (layout.trans_red >= 0)
        png_set_tRNS(png, info, nullptr, 0, &trans);
    if (layout.gamma > 0.0)
        png_set_gAMA(png, info, layout.gamma);
    if (layout.srgb)
        png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::string bytes = *out;
    delete out;
    return bytes;
}

std::string read_host_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string read_test_data(const std::string& relative)
{
    return read_host_file(std::string(VARNOCK_TEST_DATA) + "/" + relative);
}
