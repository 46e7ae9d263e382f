#include "d3dtextr_dx7.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "d3dxframe.h"
#include "debug.h"
#include "file_io.h"
#include "platform/d3dx.h"
#include "png_io.h"
#include "str_util.h"
#include "text_io.h"

texture_container* d3dtexr_texture_container_list = nullptr;
int32_t d3dtexr_texture_container_list_size = 0;
transparent_texture* d3dtextr_transparent_texture_list = nullptr;
int32_t d3dtextr_transparent_texture_list_size = 0;
int32_t d3dtextr_texture_id_counter = 0;
texture_container* d3dtextr_current_texture = nullptr;

namespace {

char restore_directory[D3DTEXTR_PATH_SIZE];

template <typename T>
void release(T*& object)
{
    if (object)
        object->Release();
    object = nullptr;
}

int restore_from_bitmap_directory(void)
{
    return d3dtextr_restore_all_textures(restore_directory);
}

// Stage 0 holds no texture afterwards, so no binding is remembered either.
void unbind_stage_0(void)
{
    d3dxframe_set_texture(0, nullptr);
    d3dtextr_current_texture = nullptr;
}

// Formats that carry alpha: the renderers blend textures made in them.
bool has_alpha_format(D3DX_SURFACEFORMAT format)
{
    static const D3DX_SURFACEFORMAT alpha_formats[] = {
        D3DX_SF_A8R8G8B8, D3DX_SF_A1R5G5B5, D3DX_SF_A4R4G4B4, D3DX_SF_A8L8, D3DX_SF_A8,
    };
    for (D3DX_SURFACEFORMAT alpha : alpha_formats)
        if (format == alpha)
            return true;
    return false;
}

// Black becomes the source colour key of the container's surface.
void set_black_colour_key(texture_container* container, bool with_notices)
{
    IDirectDrawSurface7* surface = container->texture_container_surface;
    if (!surface)
        return;
    DDCOLORKEY key;
    key.dwColorSpaceLowValue = d3dtextr_get_surface_pixel(surface, RGB(0, 0, 0));
    key.dwColorSpaceHighValue = d3dtextr_get_surface_pixel(surface, RGB(0, 0, 0));
    if (with_notices)
        LOG_NOTICE("low value = %ld, high value = %ld.\n", (long)(int32_t)key.dwColorSpaceLowValue,
                   (long)(int32_t)key.dwColorSpaceHighValue);
    if (FAILED(surface->SetColorKey(DDCKEY_SRCBLT, &key)))
        LOG_ERROR("%s\n", "Failed to set colorkey.");
}

// Locks the whole surface, asking again while the device is still drawing.
HRESULT lock_surface(IDirectDrawSurface7* surface, DDSURFACEDESC2* desc)
{
    HRESULT result;
    int tries = 0;
    do {
        memset(desc, 0, sizeof *desc);
        desc->dwSize = 124;
        result = surface->Lock(nullptr, desc, 0, nullptr);
    } while (result == DDERR_WASSTILLDRAWING && ++tries < 1000);
    return result;
}

DWORD pixel_bytes(const DDSURFACEDESC2& desc)
{
    DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    return bytes > 4 ? 4 : bytes;
}

// Keeps the new texture of a successful load: the container's old surface
// (none after invalidation, or the one being restored) goes.
void take_surface(texture_container* container, IDirectDrawSurface7* surface)
{
    release(container->texture_container_surface);
    container->texture_container_surface = surface;
}

const char* name_of(const texture_container* container)
{
    return container->texture_container_name ? container->texture_container_name : "(null)";
}

// Takes a container out of the cache without its surface. Only the list's
// reference goes: the container is released unless a holder still counts it.
int drop_from_cache(texture_container* container)
{
    int ok = remove_from_texture_container_list(&d3dtexr_texture_container_list,
                                                &d3dtexr_texture_container_list_size, container);
    ++container->texture_container_ref_cnt;  // back for free_texture_container to drop
    release(container->texture_container_surface);
    return free_texture_container(container) && ok;
}

// Names whose load failed and was reported. A frame that asks for a missing
// or broken texture asks again every frame: the files are tried, and the
// failure logged, once; the name is tried again only after the cache was
// cleaned (a new level) or emptied.
std::vector<std::string> failing_names;

bool is_failing_name(const char* key)
{
    return std::find(failing_names.begin(), failing_names.end(), key) != failing_names.end();
}

texture_container* load_into_cache(const char* texture_name, const char* key, const char* directory,
                                   void* user_value);

}  // namespace

texture_container* d3dtextr_load_texture(char* texture_name, const char* directory,
                                         void* user_value)
{
    REFUSE_NULL(texture_name, "d3dtextr_load_texture", "texture_name", nullptr);
    to_lower_case(texture_name);
    const char* base = get_base_filename(texture_name);
    if (!base)
        return nullptr;
    if (!base[0]) {
        LOG_ERROR("Cannot d3dtextr_load_texture '%s' without a base name.\n", texture_name);
        return nullptr;
    }
    char key[D3DTEXTR_PATH_SIZE];  // the base name's buffer is shared
    if (!STR_CPY(key, sizeof key, base))
        return nullptr;
    dlink* cached = dlink_find((dlink*)d3dtexr_texture_container_list, key);
    if (cached)
        return (texture_container*)cached;

    if (is_failing_name(key))
        return nullptr;
    int32_t errors_before = debug_log.error_count;
    texture_container* container = load_into_cache(texture_name, key, directory, user_value);
    // Only a failure that was reported is not tried again (none is without
    // a device, or under the caller's quiet idiom).
    if (!container && debug_log.error_count > errors_before)
        failing_names.push_back(key);
    return container;
}

namespace {

// A new container for `key` with the image loaded, in the cache; NULL when
// no file of the name loads.
texture_container* load_into_cache(const char* texture_name, const char* key, const char* directory,
                                   void* user_value)
{
    texture_container* container = malloc_texture_container(key);
    if (!container) {
        LOG_ERROR("Failed to allocate memory for the texture container for '%s'.\n", texture_name);
        return nullptr;
    }
    if (!d3dtextr_dx7_load_texture_image(texture_name, directory, container)) {
        LOG_ERROR("Failed d3dtextr_load_texture_image for '%s'.\n", texture_name);
        release(container->texture_container_surface);
        free_texture_container(container);
        return nullptr;
    }
    container->texture_container_user_value = (intptr_t)user_value;
    container->texture_container_transparent = dlink_find((dlink*)d3dtextr_transparent_texture_list,
                                                          container->texture_container_name)
                                                   ? 1
                                                   : 0;
    if (container->texture_container_transparent) {
        LOG_NOTICE("Texture %s is transparent.\n", texture_name);
        set_black_colour_key(container, true);
    }
    add_to_texture_container_list(&d3dtexr_texture_container_list,
                                  &d3dtexr_texture_container_list_size, container);
    container->texture_container_id = ++d3dtextr_texture_id_counter;
    --container->texture_container_ref_cnt;  // the list's reference is the only one
    return container;
}

}  // namespace

int d3dtextr_dx7_load_texture_image(const char* texture_name, const char* directory,
                                    texture_container* container)
{
    REFUSE_NULL(texture_name, "d3dtextr_dx7_load_texture_image", "strFilename", 0);
    if (!container) {
        LOG_ERROR("%s\n",
                  "Cannot d3dtextr_dx7_load_texture_image with NULL texture_container_ptr.");
        return 0;
    }
    LOG_NOTICE("d3dtextr_dx7_load_texture_image called for %s.\n", texture_name);
    if (!d3dx_globals.bInitialized)
        return 0;
    REFUSE_NULL(directory, "d3dtextr_dx7_load_texture_image", "directory", 0);
    // The joined path with an extension added must fit in 259 characters.
    char path[D3DTEXTR_PATH_SIZE];
    if (strlen(directory) + 1 + strlen(texture_name) + 4 >= sizeof path) {
        LOG_ERROR("Texture path too long for '%s'.\n", texture_name);
        return 0;
    }
    STR_CPY(path, sizeof path, directory);
    STR_CAT(path, sizeof path, "\\");
    STR_CAT(path, sizeof path, texture_name);

    // Shared by every attempt: each may write back into them.
    DWORD flags = 0, width = D3DX_DEFAULT, height = D3DX_DEFAULT, mipmaps = 0;
    D3DX_SURFACEFORMAT format = D3DX_SF_UNKNOWN;
    IDirectDrawSurface7* texture = nullptr;
    IDirect3DDevice7* device = d3dx_globals.device;

    // Only the file's own name tells whether it names its extension: a dot in
    // a folder (the data folder's "varnock-1.0") is none.
    if (strchr(debug_base_filename(texture_name), '.')) {
        HRESULT result = D3DXCreateTextureFromFile(device, &flags, &width, &height, &format,
                                                   nullptr, &texture, &mipmaps, path,
                                                   D3DX_FT_POINT);
        if (FAILED(result) || !texture) {
            release(texture);
            LOG_ERROR("Failed to D3DXCreateTextureFromFile %s.\n", path);
            return 0;
        }
        take_surface(container, texture);
        return 1;
    }

    static const char* const extensions[] = {".png", ".tga", ".bmp", ".dds"};
    for (const char* extension : extensions) {
        char file_name[D3DTEXTR_PATH_SIZE];
        STR_CPY(file_name, sizeof file_name, path);
        STR_CAT(file_name, sizeof file_name, extension);
        HRESULT result = extension == extensions[0]
                             ? png_io_load_texture(device, &flags, &width, &height, &format,
                                                   nullptr, &texture, &mipmaps, file_name,
                                                   D3DX_FT_POINT, d3dx_globals.gamma)
                             : D3DXCreateTextureFromFile(device, &flags, &width, &height, &format,
                                                         nullptr, &texture, &mipmaps, file_name,
                                                         D3DX_FT_POINT);
        if (FAILED(result) || !texture) {
            release(texture);
            continue;
        }
        LOG_NOTICE("Loaded Texture %s.\n", file_name);
        if (has_alpha_format(format)) {
            LOG_NOTICE("Texture %s has alpha.\n", file_name);
            container->texture_container_has_alpha = 1;
        }
        take_surface(container, texture);
        return 1;
    }
    LOG_ERROR("Failed to D3DXCreateTextureFromFile %s.\n", texture_name);
    return 0;
}

int d3dtextr_load_transparent_texture_list(const char* filename)
{
    if (!filename) {
        LOG_ERROR("%s\n", "Cannot d3dtextr_load_transparent_texture_list with NULL "
                          "transparent_texture_filename.");
        return 0;
    }
    LOG_NOTICE("Reading TTW '%s'\n", filename);
    int16_t line_cnt = 0;
    int found = 0;
    FILE* file = file_open_search_verify_version_text(
        filename, &line_cnt, nullptr, FILE_TYPE_TRANSTEX, FILE_VERSION_TRANSTEX, &found);
    if (!file) {
        if (found)
            LOG_ERROR("'%s' found, but bad file type or file version\n", filename);
        else
            LOG_WARNING("Could not find '%s'\n", filename);
        return 0;
    }
    int complete = 0;
    char line[TEXT_LINE_SIZE];
    while (get_text_line(file, &line_cnt, line, sizeof line)) {
        to_lower_case(line);
        if (strcmp(line, "end_of_entries") == 0) {
            complete = 1;
            break;
        }
        transparent_texture* entry = malloc_transparent_texture(line);
        if (!entry) {
            LOG_ERROR("Could not malloc_transparent_texture for '%s'\n", line);
            break;
        }
        add_to_transparent_texture_list(&d3dtextr_transparent_texture_list,
                                        &d3dtextr_transparent_texture_list_size, entry);
    }
    file_close(file);
    if (!complete)
        LOG_ERROR("There was an error reading %s(%d)\n", filename, (int)line_cnt);
    return complete;
}

int d3dtextr_attach_to_frame(const char* bitmap_directory)
{
    REFUSE_NULL(bitmap_directory, "d3dtextr_attach_to_frame", "bitmap_directory", 0);
    if (!STR_CPY(restore_directory, sizeof restore_directory, bitmap_directory))
        return 0;
    d3dxframe_set_texture_functs(d3dtextr_invalidate_all_textures, restore_from_bitmap_directory);
    return 1;
}

int d3dtextr_restore_all_textures(const char* directory)
{
    LOG_NOTICE("%s\n", "d3dtextr_restore_all_textures called.");
    if (!d3dtexr_texture_container_list)
        return 0;
    unbind_stage_0();
    texture_container* container = d3dtexr_texture_container_list;
    for (int32_t i = 0; i < d3dtexr_texture_container_list_size; ++i) {
        if (container->texture_container_surface)
            container->texture_container_surface->Restore();
        // A container whose image cannot be loaded keeps what it had.
        d3dtextr_dx7_load_texture_image(container->texture_container_name, directory, container);
        if (container->texture_container_transparent == 1)
            set_black_colour_key(container, false);
        container = container->next_ptr;
    }
    return 0;
}

int d3dtextr_invalidate_all_textures(void)
{
    LOG_NOTICE("%s\n", "d3dtextr_invalidate_all_textures called.");
    texture_container* container = d3dtexr_texture_container_list;
    for (int32_t i = 0; container && i < d3dtexr_texture_container_list_size; ++i) {
        d3dtextr_invalidate_texture(container);
        container = container->next_ptr;
    }
    if (d3dx_globals.d3d)
        d3dx_globals.d3d->EvictManagedTextures();
    // The device that held stage 0 is going.
    d3dtextr_current_texture = nullptr;
    return 0;
}

HRESULT d3dtextr_invalidate_texture(texture_container* container)
{
    REFUSE_NULL(container, "d3dtextr_invalidate_texture", "texture_container", DDERR_NOTFOUND);
    LOG_NOTICE("d3dtextr_invalidate_texture called for %s.\n", name_of(container));
    release(container->texture_container_surface);
    if (container == d3dtextr_current_texture)
        unbind_stage_0();
    return 0;
}

int d3dtextr_clean_texture_container_list(void)
{
    LOG_NOTICE("%s\n", "d3dtextr_clean_texture_container_list called.");
    unbind_stage_0();
    failing_names.clear();
    int ok = 1;
    texture_container* container = d3dtexr_texture_container_list;
    int32_t visits = d3dtexr_texture_container_list_size;
    for (int32_t i = 0; container && i < visits; ++i) {
        texture_container* next = container->next_ptr;
        if (container->texture_container_ref_cnt <= 1) {
            LOG_NOTICE("removing texture_container %s from list.\n", name_of(container));
            ok &= drop_from_cache(container);
        }
        container = next;
    }
    return ok;
}

void d3dtextr_cleanup(void)
{
    LOG_NOTICE("%s\n", "d3dtextr_cleanup called.");
    unbind_stage_0();
    failing_names.clear();
    while (d3dtexr_texture_container_list)
        drop_from_cache(d3dtexr_texture_container_list);
    if (d3dtextr_transparent_texture_list) {
        free_transparent_texture_list(d3dtextr_transparent_texture_list);
        d3dtextr_transparent_texture_list = nullptr;
        d3dtextr_transparent_texture_list_size = 0;
    }
}

DWORD d3dtextr_get_surface_pixel(IDirectDrawSurface7* surface, COLORREF colour)
{
    DWORD result = 0xFFFFFFFF;
    if (!surface)
        return result;
    // The pixel at (0,0) is borrowed to let the device context convert the
    // colour; its bytes are put back exactly, alpha included.
    DDSURFACEDESC2 desc;
    uint8_t saved[4] = {};
    if (FAILED(lock_surface(surface, &desc)))
        return result;
    DWORD bytes = pixel_bytes(desc);
    memcpy(saved, desc.lpSurface, bytes);
    surface->Unlock(nullptr);

    HDC dc = nullptr;
    if (colour != CLR_INVALID && SUCCEEDED(surface->GetDC(&dc)) && dc) {
        SetPixel(dc, 0, 0, colour);
        surface->ReleaseDC(dc);
    } else {
        LOG_ERROR("%s\n", "Failed to GetDC or rgb == CLR_INVALID.");
    }

    if (SUCCEEDED(lock_surface(surface, &desc))) {
        DWORD value = 0;
        memcpy(&value, desc.lpSurface, bytes);
        DWORD bits = desc.ddpfPixelFormat.dwRGBBitCount;
        result = bits < 32 ? value & ((1u << bits) - 1u) : value;
        memcpy(desc.lpSurface, saved, bytes);
        surface->Unlock(nullptr);
    }
    return result;
}

IDirectDrawSurface7* d3dtextr_create_surface_from_memory(int32_t height, int32_t width,
                                                         int32_t bytes_per_pixel)
{
    if (bytes_per_pixel != 3 && bytes_per_pixel != 4) {
        LOG_ERROR("Invalid byte_depth: %ld.  Acceptable values are 3 or 4.\n",
                  (long)bytes_per_pixel);
        return nullptr;
    }
    if (height <= 0 || width <= 0 || width > INT32_MAX / 4 / height) {
        LOG_ERROR("%s\n", "Could not allocate surface. Probably out of memory.");
        return nullptr;
    }
    // DirectDraw keeps the zeroed memory, so releasing the surface frees it.
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY | DDSCAPS_OFFSCREENPLAIN;
    desc.dwHeight = (DWORD)height;
    desc.dwWidth = (DWORD)width;
    desc.lPitch = width * bytes_per_pixel;
    DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    format.dwSize = 32;
    format.dwFlags = bytes_per_pixel == 4 ? DDPF_RGB | DDPF_ALPHAPIXELS : (DWORD)DDPF_RGB;
    format.dwRGBBitCount = (DWORD)bytes_per_pixel * 8;
    format.dwRBitMask = 0xFF0000;
    format.dwGBitMask = 0xFF00;
    format.dwBBitMask = 0xFF;
    format.dwRGBAlphaBitMask = bytes_per_pixel == 4 ? 0xFF000000u : 0u;
    IDirectDrawSurface7* surface = nullptr;
    HRESULT result = d3dx_globals.ddraw
                         ? d3dx_globals.ddraw->CreateSurface(&desc, &surface, nullptr)
                         : DDERR_NOTINITIALIZED;
    if (FAILED(result) || !surface) {
        LOG_ERROR("%s\n", "Failed to CreateSurface.");
        d3dxframe_display_error(result);
        return nullptr;
    }
    return surface;
}

void d3dtextr_reset(void)
{
    d3dtexr_texture_container_list = nullptr;
    d3dtexr_texture_container_list_size = 0;
    d3dtextr_transparent_texture_list = nullptr;
    d3dtextr_transparent_texture_list_size = 0;
    d3dtextr_texture_id_counter = 0;
    d3dtextr_current_texture = nullptr;
    restore_directory[0] = '\0';
    failing_names.clear();
}
