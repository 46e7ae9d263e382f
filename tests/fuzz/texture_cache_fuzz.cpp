// Every image format through the texture cache on the recording back-end:
// the input is an image file, named "tex.png" when it begins like a PNG file
// and "tex.tga" otherwise (the D3DX loader tells TGA, BMP and DDS by their
// bytes), loaded by its base name as the game loads its textures. Some inputs
// also take the colour-key path or a restore after a lost device. A texture
// that loads has sane levels whose pixels can all be read; releasing the
// cache leaves no surface behind.
#include <cstring>
#include <string>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "fuzz_support.h"
#include "image_writers.h"
#include "platform/d3d_record.h"
#include "platform/image_file.h"
#include "platform/win32.h"
#include "texture_container.h"

namespace {

int device_objects = -1;  // the frame's own, once it is up

bool start_frame(void)
{
    WNDCLASS window_class = {};
    window_class.lpfnWndProc = DefWindowProc;
    window_class.lpszClassName = "Fuzz Window";
    RegisterClass(&window_class);
    HWND window = CreateWindow("Fuzz Window", "fuzz", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr,
                               nullptr, nullptr, nullptr);
    d3dxframe_set_defaults();
    d3dxframe_set_hwnd(window);
    ShowWindow(window, SW_SHOW);
    FUZZ_CHECK(d3dxframe_initialize(window) == S_OK);
    device_objects = d3d_live_objects();
    return true;
}

void check_texture(IDirectDrawSurface7* surface)
{
    FUZZ_CHECK(surface != nullptr);
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    FUZZ_CHECK(SUCCEEDED(surface->GetSurfaceDesc(&desc)));
    FUZZ_CHECK(desc.dwWidth > 0 && desc.dwWidth <= PLATFORM_IMAGE_MAX_SIZE);
    FUZZ_CHECK(desc.dwHeight > 0 && desc.dwHeight <= PLATFORM_IMAGE_MAX_SIZE);
    FUZZ_CHECK(desc.dwMipMapCount <= PLATFORM_IMAGE_MAX_LEVELS);
    DDSURFACEDESC2 locked = {};
    locked.dwSize = 124;
    FUZZ_CHECK(SUCCEEDED(surface->Lock(nullptr, &locked, 0, nullptr)));
    FUZZ_CHECK(locked.lPitch >= (LONG)(locked.dwWidth * 4));
    // Every byte is read, so a surface smaller than it says is found.
    uint8_t sum = 0;
    for (size_t i = 0; i < (size_t)locked.lPitch * locked.dwHeight; ++i)
        sum ^= ((const uint8_t*)locked.lpSurface)[i];
    (void)sum;
    surface->Unlock(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool started = start_frame();
    (void)started;
    static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool png = size >= 8 && std::memcmp(data, png_signature, 8) == 0;
    std::remove((fuzz_dir() + "/tex.png").c_str());
    std::remove((fuzz_dir() + "/tex.tga").c_str());
    fuzz_file(png ? "tex.png" : "tex.tga", data, size);

    if (size % 2)
        add_to_transparent_texture_list(&d3dtextr_transparent_texture_list,
                                        &d3dtextr_transparent_texture_list_size,
                                        malloc_transparent_texture("tex"));
    char name[] = "Tex";
    if (texture_container* container = d3dtextr_load_texture(name, fuzz_dir().c_str(), nullptr)) {
        check_texture(container->texture_container_surface);
        if (size % 3 == 0) {
            d3dtextr_invalidate_all_textures();
            d3dtextr_restore_all_textures(fuzz_dir().c_str());
            check_texture(container->texture_container_surface);
        }
    }
    d3dtextr_cleanup();
    FUZZ_CHECK(d3d_live_objects() == device_objects);
    return 0;
}

void fuzz_write_seeds(void)
{
    const Pixels four = {0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFFFFFFFF};
    fuzz_seed("plain.tga", tga_image(2, 2, 32, false, 0x28, four));
    fuzz_seed("rle.tga", tga_image(2, 2, 24, true, 0, four));
    fuzz_seed("grey.tga", tga_image(2, 2, 8, false, 0x20, four));
    fuzz_seed("bits16.tga", tga_image(2, 2, 16, true, 0x21, four));
    fuzz_seed("true.bmp", bmp_image(2, 2, four));
    fuzz_seed("palette.bmp", bmp_image(2, 2, {0, 1, 1, 0}, {0xFF0000, 0x00FF00}));
    // Palette pictures as image programs write them: RLE8 BMP, colour-mapped
    // TGA (plain and run-length encoded), and map entries of 16 bits.
    for (const char* name :
         {"rle8_magick.bmp", "palette_magick.tga", "palette_rle_magick.tga", "palette_ffmpeg.tga"})
        fuzz_seed(name, read_test_data(std::string("images/") + name));
    fuzz_seed("mapped16.tga", tga_mapped_image(9, 2, 2, 5, 16, bytes_of({0x00, 0xFC, 0xE0, 0x03}),
                                               0x21, bytes_of({0x81, 5, 0x01, 6, 5})));
    std::string block = dxt_colour_block(0xF800, 0x001F, {0, 1, 2, 3});
    fuzz_seed("dxt1.dds", dds_header(4, 4, 3, "DXT1") + block + block + block);
    fuzz_seed("dxt5.dds", dds_header(4, 4, 1, "DXT5") + std::string(8, '\x40') + block);
    fuzz_seed("argb.dds", dds_header(2, 1, 1, nullptr) + std::string(8, '\x7F'));
    // A mipmap count of 2^31 used to decode into no levels at all.
    std::string many = dds_header(4, 4, 2, "DXT1") + block;
    many[28] = many[29] = many[30] = 0;
    many[31] = (char)0x80;
    fuzz_seed("mipmaps_2_31.dds", many);
    PngLayout rgba;
    rgba.width = 2;
    rgba.color_type = 6;
    rgba.rows = {std::string("\xFF\x00\x00\x80\x00\xFF\x00\xFF", 8)};
    fuzz_seed("rgba.png", png_file(rgba));
    PngLayout palette;
    palette.color_type = 3;
    palette.rows = {std::string(1, '\0')};
    palette.palette = {0x102030};
    palette.palette_alpha = std::string(1, '\x80');
    palette.gamma = 0.5;
    fuzz_seed("palette.png", png_file(palette));
    PngLayout deep;
    deep.bit_depth = 16;
    deep.srgb = true;
    deep.interlaced = true;
    deep.rows = {std::string(6, '\x55')};
    fuzz_seed("deep.png", png_file(deep));
}
