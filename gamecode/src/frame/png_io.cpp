#include "png_io.h"

#include <csetjmp>
#include <cstring>

#include <png.h>

#include "d3dtextr_dx7.h"
#include "debug.h"
#include "file_io.h"
#include "heap.h"

uint32_t png_io_width = 0;
uint32_t png_io_height = 0;
int32_t png_io_bit_depth = 0;
int32_t png_io_color_type = 0;
int32_t png_io_interlace_type = 0;
int32_t png_io_channels = 0;
double png_io_screen_gamma = 0.0;
double png_io_file_gamma = 0.0;
uint8_t** png_io_row_pointers = nullptr;

namespace {

// Textures are never this large; bigger headers are refused before any
// memory is taken for them.
const png_uint_32 max_image_size = 16384;
const double default_screen_gamma = 2.2;
const double default_file_gamma = 0.45455;

// libpng's complaints belong in the game's log, not on standard error. An
// error must not return: it goes back to the reader's recovery point.
void png_error_to_log(png_structp png, png_const_charp message)
{
    LOG_ERROR("libpng error: %s\n", message);
    png_longjmp(png, 1);
}

void png_warning_to_log(png_structp, png_const_charp message)
{
    LOG_WARNING("libpng warning: %s\n", message);
}

}  // namespace

void png_io_free_rows(void)
{
    if (!png_io_row_pointers)
        return;
    for (uint8_t** row = png_io_row_pointers; *row; ++row)
        FREE(*row);
    FREE(png_io_row_pointers);
    png_io_row_pointers = nullptr;
}

int png_io_read_png(FILE* png_file, int32_t sig_bytes, float screen_gamma)
{
    png_io_free_rows();
    // The library's own version: headers and library are one installation.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_to_log,
                                             png_warning_to_log);
    if (!png) {
        file_close(png_file);
        return 0;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        file_close(png_file);
        png_destroy_read_struct(&png, nullptr, nullptr);
        return 0;
    }
    // Everything below that libpng refuses comes back here. Only module
    // state changes after this point, so nothing local is left stale.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        png_io_free_rows();
        file_close(png_file);
        return 0;
    }
    png_set_user_limits(png, max_image_size, max_image_size);
    png_init_io(png, png_file);
    png_set_sig_bytes(png, sig_bytes);
    png_read_info(png, info);
    int bit_depth = 0, color_type = 0, interlace_type = 0;
    png_get_IHDR(png, info, &png_io_width, &png_io_height, &bit_depth, &color_type, &interlace_type,
                 nullptr, nullptr);
    png_io_bit_depth = bit_depth;
    png_io_color_type = color_type;
    png_io_interlace_type = interlace_type;

    png_set_strip_16(png);
    if (color_type == PNG_COLOR_TYPE_PALETTE)
        png_set_expand(png);
    if (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8)
        png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);

    png_io_screen_gamma = screen_gamma > 0.0f ? (double)screen_gamma : default_screen_gamma;
    // An sRGB image is taken as it is.
    int intent = 0;
    if (png_get_sRGB(png, info, &intent)) {
        png_io_file_gamma = 0.0;
    } else {
        if (!png_get_gAMA(png, info, &png_io_file_gamma))
            png_io_file_gamma = default_file_gamma;
        png_set_gamma(png, png_io_screen_gamma, png_io_file_gamma);
    }
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_io_channels = png_get_channels(png, info);

    size_t row_bytes = png_get_rowbytes(png, info);
    png_io_row_pointers = (uint8_t**)MALLOC(((size_t)png_io_height + 1) * sizeof(uint8_t*));
    if (!png_io_row_pointers)
        png_error(png, "out of memory");
    memset(png_io_row_pointers, 0, ((size_t)png_io_height + 1) * sizeof(uint8_t*));
    for (png_uint_32 row = 0; row < png_io_height; ++row)
        if (!(png_io_row_pointers[row] = (uint8_t*)MALLOC(row_bytes)))
            png_error(png, "out of memory");
    png_read_image(png, png_io_row_pointers);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return 1;
}

HRESULT png_io_load_texture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                            D3DX_SURFACEFORMAT* format, void* palette,
                            IDirectDrawSurface7** texture, DWORD* mipmap_count,
                            const char* file_name, D3DX_FILTERTYPE filter, float screen_gamma)
{
    if (!texture)
        return E_INVALIDARG;
    *texture = nullptr;
    FILE* png_file = file_name ? file_open(file_name, FILE_MODE_READ_BIN) : nullptr;
    if (!png_file)
        return E_FAIL;
    if (!png_io_read_png(png_file, 0, screen_gamma))
        return E_FAIL;
    file_close(png_file);

    if (png_io_color_type != PNG_COLOR_TYPE_RGB && png_io_color_type != PNG_COLOR_TYPE_RGB_ALPHA) {
        LOG_ERROR("Unsupported color_type %ld.\n", (long)png_io_color_type);
        png_io_free_rows();
        return E_FAIL;
    }
    // The layout libpng delivered decides: an RGB image with a transparency
    // chunk comes with alpha.
    int32_t bytes_per_pixel = png_io_channels == 4 ? 4 : 3;
    if (format)
        *format = bytes_per_pixel == 4 ? D3DX_SF_A8R8G8B8 : D3DX_SF_R8G8B8;
    IDirectDrawSurface7* surface = d3dtextr_create_surface_from_memory(
        (int32_t)png_io_height, (int32_t)png_io_width, bytes_per_pixel);
    if (!surface) {
        LOG_ERROR("%s\n", "Failed to create matching surface.");
        png_io_free_rows();
        return E_FAIL;
    }
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    if (FAILED(surface->Lock(nullptr, &desc, 0, nullptr))) {
        LOG_ERROR("%s\n", "Failed to Lock surface.");
        png_io_free_rows();
        surface->Release();
        return E_FAIL;
    }
    uint8_t* destination = (uint8_t*)desc.lpSurface;
    for (uint32_t row = 0; row < png_io_height; ++row, destination += desc.lPitch)
        memcpy(destination, png_io_row_pointers[row], (size_t)png_io_width * bytes_per_pixel);
    surface->Unlock(nullptr);
    png_io_free_rows();

    if (width)
        *width = png_io_width;
    if (height)
        *height = png_io_height;
    IDirectDrawSurface7* made = nullptr;
    D3DXCreateTexture(device, flags, width, height, format, palette, &made, mipmap_count);
    HRESULT result = D3DXLoadTextureFromSurface(device, made, 0, surface, nullptr, nullptr, filter);
    surface->Release();
    LOG_NOTICE("opened %s as PNG file.\n", file_name);
    if (FAILED(result)) {
        if (made)
            made->Release();
        return result;
    }
    *texture = made;
    return result;
}
