#include "texture_support.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "d3dtextr_dx7.h"
#include "d3dxframe.h"
#include "platform/d3d_record.h"
#include "platform/win32_test.h"
#include "test_support.h"

Pixels surface_pixels(IDirectDrawSurface7* surface)
{
    Pixels out;
    DDSURFACEDESC2 desc = {};
    desc.dwSize = 124;
    if (!surface || FAILED(surface->Lock(nullptr, &desc, 0, nullptr)))
        return out;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            uint32_t value;
            std::memcpy(&value, (const char*)desc.lpSurface + y * desc.lPitch + x * 4, 4);
            out.push_back(desc.ddpfPixelFormat.dwRGBAlphaBitMask ? value : value | 0xFF000000u);
        }
    }
    surface->Unlock(nullptr);
    return out;
}

texture_container* test_load_two_tone_texture(const TempDir& dir, const char* name, uint32_t top,
                                              uint32_t bottom)
{
    Pixels texels(16, top);
    std::fill(texels.begin() + 8, texels.end(), bottom);
    dir.write(std::string(name) + ".tga", tga_image(4, 4, 24, false, 0x20, texels));
    if (!d3dtextr_attach_to_frame(dir.path().c_str()))
        return nullptr;
    // The cache lower-cases the name it is given in place.
    std::string writable = name;
    return d3dtextr_load_texture(writable.data(), dir.path().c_str(), nullptr);
}

void TextureFrameTest::SetUp()
{
    test_reset_state();
    if (on_gl_)
        test_use_gl_backend();
    log = std::make_unique<LogCapture>();
    window = test_make_window("Texture Test Window", DefWindowProc);
    ASSERT_NE(window, nullptr);
    d3dxframe_set_defaults();
    d3dxframe_set_hwnd(window);
    ShowWindow(window, SW_SHOW);
    HRESULT started = d3dxframe_initialize(window);
    if (FAILED(started) && on_gl_) {
        if (getenv("CI"))
            FAIL() << "no GL context could be made";
        GTEST_SKIP() << "no GL context could be made";
    }
    ASSERT_EQ(started, S_OK);
}

void TextureFrameTest::TearDown()
{
    d3dxframe_unitialize();
    EXPECT_EQ(d3d_live_objects(), 0) << "device objects left";
    win32_reset();
}

IDirect3DDevice7* TextureFrameTest::device() const
{
    return d3dx_globals.device;
}
