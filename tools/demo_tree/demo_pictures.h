// Pictures for the demo data tree: gradients, shapes and text set in the
// game font through the game's own font stand-in (FreeType), written as TGA
// files the texture loader reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct picture {
    int width, height;
    std::vector<uint32_t> argb;  // top row first
    picture(int w, int h, uint32_t colour) : width(w), height(h), argb((size_t)w * h, colour) {}
    uint32_t& at(int x, int y) { return argb[(size_t)y * width + x]; }
};

// Text as coverage (0 .. 255 a pixel), `width` x `height` with the cell's
// top left at (0, 0).
struct text_mask {
    int width = 0, height = 0;
    std::vector<uint8_t> coverage;
};

// `from` to `to` over `steps`, channel by channel (alpha too).
uint32_t mix_colour(uint32_t from, uint32_t to, int step, int steps);
// `colour` over the pixel by its alpha times `coverage` / 255.
void blend_pixel(picture& target, int x, int y, uint32_t colour, int coverage);
void vertical_gradient(picture& target, uint32_t top, uint32_t bottom);
void fill_rect(picture& target, int left, int top, int right, int bottom, uint32_t colour);
// A soft disc: full inside `radius`, fading out over `fade` pixels.
void soft_disc(picture& target, int x, int y, int radius, int fade, uint32_t colour);
// Fills everything below the ridge `ridge(x)` (a row per column).
void fill_below(picture& target, int (*ridge)(int x), uint32_t colour);

// Opens "gamefont.ttf" of the working directory for the masks; false when it
// cannot be read.
bool pictures_open_font(void);
void pictures_close_font(void);
// The text in the game font of cell height `height` (bold).
text_mask make_text(const char* text, int height);
// Blurs a mask by `radius` pixels (grown by the radius on every side), for
// glows and soft shadows.
text_mask blur(const text_mask& mask, int radius);
// Puts the mask's ink at (x, y) in `colour`.
void draw_mask(picture& target, const text_mask& mask, int x, int y, uint32_t colour);

// An uncompressed TGA file (top row first): 32 bits with alpha, else 24.
bool write_tga(const char* directory, const char* name, const picture& image, bool alpha);
