// Files built in code, byte by byte, for tests and fuzz seeds: binary images
// word by word, and small writers of the image formats the texture loaders
// read (TGA, BMP, DDS headers and DXT colour blocks, PNG through libpng); and
// whole host files read back.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// Binary images built word by word, little-endian, for golden-byte tests.
class ImageBytes {
public:
    ImageBytes& word(uint32_t value);
    ImageBytes& real(float value);
    ImageBytes& half(uint16_t value);
    ImageBytes& words(std::initializer_list<uint32_t> values);
    ImageBytes& reals(std::initializer_list<float> values);
    ImageBytes& halves(std::initializer_list<uint16_t> values);
    // A string record: length with the zero, the text, zero padding to 4.
    ImageBytes& str(const std::string& text);
    ImageBytes& raw(const std::string& bytes);
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

typedef std::vector<uint32_t> Pixels;  // 0xAARRGGBB, top row first

std::string bytes_of(std::initializer_list<int> values);

// TGA of 8 (grey: the blue byte), 16, 24 or 32 bits; `descriptor` 0x20
// stores the top row first, its low bits are the alpha bits. The run-length
// form packs a row as one run when all its pixels are equal, else as one raw
// packet.
std::string tga_image(int width, int height, int bits, bool rle, int descriptor,
                      const Pixels& pixels);

// A 24-bit bottom-up BMP (rows padded to 4 bytes), or, with a palette, an
// 8-bit top-down one whose pixels are palette indices.
std::string bmp_image(int width, int height, const Pixels& pixels, const Pixels& palette = {});

// A colour-mapped TGA (image type 1, or 9 with the `pixels` already in
// run-length packets) of 8-bit pixel values; its map holds the entries of
// `map_bits` bits in `map`, the first for pixel value `first`.
std::string tga_mapped_image(int type, int width, int height, int first, int map_bits,
                             const std::string& map, int descriptor, const std::string& pixels);

// A bottom-up run-length encoded BMP, RLE8 for `bits` 8 and RLE4 for 4, of
// the palette (0xRRGGBB) and the encoded `pixels`.
std::string bmp_rle_image(int width, int height, int bits, const Pixels& palette,
                          const std::string& pixels);

// A DDS header for a block format `code` ("DXT1" ...) or, with NULL, for
// 32-bit ARGB; `levels` above 1 announces mipmap levels.
std::string dds_header(int width, int height, int levels, const char* code);
// A DXT colour block: two 5:6:5 colours and the 2-bit index of texels 0, 1, ...
std::string dxt_colour_block(int c0, int c1, std::initializer_list<int> indices);

// A PNG written by libpng. `rows` are the stored rows (16-bit samples big-
// endian); palette entries are 0xRRGGBB.
struct PngLayout {
    int width = 1, height = 1;
    int color_type = 2;  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
    int bit_depth = 8;
    std::vector<std::string> rows;
    Pixels palette;
    std::string palette_alpha;  // tRNS of a palette image
    // tRNS of an RGB image (of a grey one: trans_red is the grey level)
    int trans_red = -1, trans_green = -1, trans_blue = -1;
    double gamma = 0.0;  // gAMA when above 0
    bool srgb = false;
    bool interlaced = false;
};
std::string png_file(const PngLayout& layout);

// Reads a whole host file; empty when it cannot be read.
std::string read_host_file(const std::string& path);
// A file written by another program (tests/data), by its path below that
// folder ("sounds/pcm24_sox.wav"); empty when it cannot be read.
std::string read_test_data(const std::string& relative);
