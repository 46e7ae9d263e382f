// D3DXCreateTextureFromFile: an image file decoded (image_file.h) into a
// texture surface. The levels the file holds (DDS) come with the texture;
// the rest of its mipmap chain is only described (the level count the
// texture reports), since no back-end samples below the top level.
#include <cstdlib>

#include "platform/d3d_internal.h"
#include "platform/image_file.h"
#include "platform/report.h"

namespace {

// Replaces the image's only level by one of width x height, sampled from it
// (nearest texel with point filtering, else the average of the 2 x 2 texels
// around the sample point).
bool scale_image(platform_image* image, DWORD width, DWORD height, bool point_filter)
{
    platform_image_level& from = image->levels[0];
    DWORD* scaled = (DWORD*)malloc((size_t)width * height * sizeof(DWORD));
    if (!scaled)
        return false;
    for (DWORD y = 0; y < height; ++y) {
        for (DWORD x = 0; x < width; ++x) {
            DWORD sx = (DWORD)((uint64_t)x * from.width / width);
            DWORD sy = (DWORD)((uint64_t)y * from.height / height);
            if (point_filter) {
                scaled[(size_t)y * width + x] = from.argb[(size_t)sy * from.width + sx];
                continue;
            }
            DWORD sx1 = sx + 1 < from.width ? sx + 1 : sx, sy1 = sy + 1 < from.height ? sy + 1 : sy;
            DWORD corners[4] = {from.argb[(size_t)sy * from.width + sx],
                                from.argb[(size_t)sy * from.width + sx1],
                                from.argb[(size_t)sy1 * from.width + sx],
                                from.argb[(size_t)sy1 * from.width + sx1]};
            DWORD average = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                DWORD sum = 2;
                for (DWORD corner : corners)
                    sum += corner >> shift & 0xFF;
                average |= (sum / 4) << shift;
            }
            scaled[(size_t)y * width + x] = average;
        }
    }
    free(from.argb);
    from = {width, height, scaled};
    return true;
}

// A texture surface that takes over a level's pixels (the level is left
// without them): a plain A8R8G8B8 image is already the surface's pixels;
// X8R8G8B8 drops the alpha byte.
d3d_surface* adopt_level(d3d_ddraw* ddraw, platform_image_level& level, DWORD caps,
                         D3DX_SURFACEFORMAT pixel_format)
{
    DDPIXELFORMAT format = d3d_pixel_format(pixel_format);
    d3d_surface* surface = d3d_make_surface(ddraw, level.width, level.height, caps, format,
                                            level.argb, (LONG)(level.width * 4));
    if (!surface)
        return nullptr;
    surface->own_pixels = true;
    level.argb = nullptr;
    d3d_pixel_layout layout;
    d3d_pixel_layout_make(format, &layout);
    d3d_pixels_from_argb(layout, (const DWORD*)surface->pixels, surface->pixels,
                         surface->width * surface->height);
    return surface;
}

}  // namespace

HRESULT D3DXCreateTextureFromFile(IDirect3DDevice7* device, DWORD* flags, DWORD* width,
                                  DWORD* height, D3DX_SURFACEFORMAT* format, void*,
                                  IDirectDrawSurface7** texture, DWORD* mipmap_count,
                                  const char* file_name, D3DX_FILTERTYPE filter)
{
    HRESULT result = d3d_call("D3DXCreateTextureFromFile", "%s", file_name ? file_name : "(null)");
    if (FAILED(result))
        return result;
    if (!device || !texture || !file_name)
        return D3DXERR_NULLPOINTER;
    *texture = nullptr;
    platform_image image;
    HRESULT decoded = platform_image_load(file_name, PLATFORM_IMAGE_ANY, &image);
    if (FAILED(decoded))
        return decoded;

    bool point_filter = filter == D3DX_FT_POINT;
    DWORD wanted_width = (!width || *width == D3DX_DEFAULT || *width == 0) ? image.levels[0].width
                                                                           : *width;
    DWORD wanted_height = (!height || *height == D3DX_DEFAULT || *height == 0)
                              ? image.levels[0].height
                              : *height;
    bool scaled = wanted_width != image.levels[0].width || wanted_height != image.levels[0].height;
    if (scaled) {
        // The file's own smaller levels do not fit a new size: the chain is made again.
        for (int i = 1; i < image.level_count; ++i) {
            free(image.levels[i].argb);
            image.levels[i] = {};
        }
        image.level_count = 1;
        if (wanted_width > PLATFORM_IMAGE_MAX_SIZE || wanted_height > PLATFORM_IMAGE_MAX_SIZE ||
            !scale_image(&image, wanted_width, wanted_height, point_filter)) {
            platform_image_free(&image);
            return D3DXERR_INVALIDPARAMETER;
        }
    }

    // Levels: the file's own, or a chain from the top one.
    int full = platform_image_full_chain(wanted_width, wanted_height);
    int levels = image.level_count > 1 ? image.level_count : full;
    if (flags && (*flags & D3DX_TEXTURE_NOMIPMAP))
        levels = 1;
    else if (mipmap_count && *mipmap_count != 0 && *mipmap_count != D3DX_DEFAULT &&
             (int)*mipmap_count < levels)
        levels = (int)*mipmap_count;
    int made = levels < image.level_count ? levels : image.level_count;
    // A decoded image has its top level, and every level count above is at
    // least 1: the loop below makes the top surface.
    PLATFORM_INVARIANT(made >= 1);

    D3DX_SURFACEFORMAT reported = image.format;
    if (format && *format != D3DX_SF_UNKNOWN)
        reported = d3dx_format_has_alpha(*format) ? D3DX_SF_A8R8G8B8 : D3DX_SF_X8R8G8B8;
    D3DX_SURFACEFORMAT pixel_format = (reported == D3DX_SF_X8R8G8B8) ? D3DX_SF_X8R8G8B8
                                                                     : D3DX_SF_A8R8G8B8;
    d3d_ddraw* ddraw = static_cast<d3d_device*>(device)->ddraw;
    DWORD caps = DDSCAPS_TEXTURE | (levels > 1 ? (DWORD)DDSCAPS_MIPMAP : 0u);
    d3d_surface* top = nullptr;
    d3d_surface* last = nullptr;
    for (int i = 0; i < made; ++i) {
        d3d_surface* level = adopt_level(ddraw, image.levels[i], caps, pixel_format);
        if (!level) {
            if (top)
                top->Release();
            platform_image_free(&image);
            return D3DXERR_NOMEMORY;
        }
        level->d3dx_format = reported;
        if (last)
            last->mip_next = level;
        else
            top = level;
        last = level;
    }
    platform_image_free(&image);
    top->mip_levels = (DWORD)levels;
    ddraw->backend->surface_changed(top);

    d3dx_write_back({flags ? *flags & D3DX_TEXTURE_NOMIPMAP : 0u, wanted_width, wanted_height,
                     reported, (DWORD)levels},
                    flags, width, height, format, mipmap_count);
    *texture = top;
    return result;
}
